// The dialect and the rules of a program, from its machine's settings.
#include "document/Loaders.h"
#include "nctools/Renum.h"
#include "plot/PathBuilder.h"
#include "plot/Plot.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

namespace {
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

