#pragma once
// Reading small programs in the tests: the moves in the fixed form of `skarv plot --moves`
// and the notes as the window lists them.
#include <string>
#include <vector>

#include "plot/Plot.h"
#include "plot/Toolpath.h"

inline PlotSettings Mill() { return PlotSettings(); }
inline PlotSettings Lathe() {
    PlotSettings s;
    s.lathe = true;
    return s;
}
inline PlotSettings Heidenhain() {
    PlotSettings s;
    s.dialect = PlotDialect::Heidenhain;
    return s;
}
inline PlotSettings Essi() {
    PlotSettings s;
    s.dialect = PlotDialect::Essi;
    return s;
}

// The lines of a program, each ended by CR LF as the editor saves them.
inline std::string Program(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) s += std::string(l) + "\r\n";
    return s;
}

inline std::vector<std::string> MovesOf(const Toolpath& path) {
    std::vector<std::string> out;
    for (size_t i = 0; i < path.size(); ++i) {
        std::string s;
        AppendMoveText(path, i, s);
        s.pop_back();  // the line feed
        out.push_back(s);
    }
    return out;
}

inline std::vector<std::string> Moves(const std::string& program,
                                      const PlotSettings& settings = Mill()) {
    return MovesOf(InterpretProgram(program, settings));
}

inline std::vector<std::string> NotesOf(const Toolpath& path) {
    std::vector<std::string> out;
    for (const PlotNote& n : path.notes) out.push_back(NoteLine(n));
    return out;
}

// The height of every move's end along one axis, and its kind: "G0 2", "G1 -10" ...
inline std::vector<std::string> Levels(const Toolpath& path, int axis, size_t from = 0) {
    static const char* const kKinds[] = {"G0", "G1", "G2", "G3"};
    std::vector<std::string> out;
    for (size_t i = from; i < path.size(); ++i) {
        std::string s = kKinds[static_cast<int>(path.Kind(i))];
        s += ' ';
        AppendFixed(s, path.End(i)[axis], 1);
        out.push_back(s);
    }
    return out;
}
