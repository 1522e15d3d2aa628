#include "plot/Plot.h"

#include "plot/Interpreters.h"

namespace {
std::string Fixed3(double v) {
    std::string s;
    AppendFixed(s, v, 3);
    return s;
}
}  // namespace

std::string UnknownWordNote(std::string_view word) {
    return "ukjent ord " + std::string(word) + " er hoppet over";
}

std::string RadiusMismatchNote(double r1, double r2) {
    return "buen har ulik radius i start og slutt (" + Fixed3(r1) + " / " + Fixed3(r2) + ")";
}

std::string MissingSubprogramNote(std::string_view name) {
    return "underprogram " + std::string(name) + " finnes ikke";
}

Toolpath InterpretProgram(std::string_view text, const PlotSettings& settings, const PlotRun& run) {
    Toolpath path;
    // About one move for every 48 bytes of program: room taken but not touched costs nothing.
    path.Reserve(text.size() / 48 + 16);
    ProgramText lines(text);
    PathBuilder b(path, settings, run);
    switch (settings.dialect) {
        case PlotDialect::Iso: InterpretIso(lines, b); break;
        case PlotDialect::Heidenhain: InterpretHeidenhain(lines, b); break;
        case PlotDialect::Essi: InterpretEssi(lines, b); break;
    }
    path.ShrinkToFit();
    return path;
}
