#include "plot/Plot.h"

#include "editor/Loaders.h"
#include "nctools/Renum.h"
#include "plot/Interpreters.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

namespace {
std::string Fixed3(double v) {
    std::string s;
    AppendFixed(s, v, 3);
    return s;
}

// Whether a conversational program opens within its first lines.
bool OpensWithBeginPgm(std::string_view text) {
    ProgramText lines(text);
    ProgramText::LineRef l;
    int seen = 0;
    while (seen < 20 && lines.Next(l)) {
        std::string_view t = TrimBlanks(l.text);
        if (t.empty()) continue;
        ++seen;
        if (UpperCase1252(t.substr(0, 64)).find("BEGIN PGM") != std::string::npos) return true;
    }
    return false;
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

PlotSettings ReadPlotSettings(const std::string& section, const std::string& fileName,
                              std::string_view text) {
    PlotSettings s;
    s.lathe = ReadIniString(section, kMachineTypeKey, kMillType) == kLatheType;
    s.rapidRate = ReadIniFloat(section, kRapidRateKey, kDefaultRapidRate);
    if (!(s.rapidRate > 0)) s.rapidRate = kDefaultRapidRate;
    std::string ext = LoadExtension(fileName);
    if (ext == ".ESI" || ReadIniString(section, "DXFFormat", "STANDARD") == "ESSI") {
        s.dialect = PlotDialect::Essi;
    } else if (OpensWithBeginPgm(text)) {
        s.dialect = PlotDialect::Heidenhain;
    } else if (ReadBlockModel(section).heidenhain) {
        // The machine's own programs; its other extensions hold other kinds (ISO programs).
        if (ext.empty() || ext == ".H" || ext == ReadIniString(section, "Ext", ReadProgramExt()) ||
            ext == ReadIniString(section, "EditorExt", ""))
            s.dialect = PlotDialect::Heidenhain;
    }
    return s;
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
