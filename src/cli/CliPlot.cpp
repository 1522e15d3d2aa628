// skarv plot: the toolpath of a program as the editor reads it for the machine: its moves,
// its figures, or its picture as SVG. Notes go to standard error as "Linje N: text".
#include <cstdio>
#include <string>

#include "cli/Cli.h"
#include "document/DocFiles.h"
#include "document/Loaders.h"
#include "plot/Plot.h"
#include "plot/PlotFigures.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"

namespace {
bool ParseView(const std::string& s, PlotView& view) {
    if (s == "xy") view = PlotView::XY;
    else if (s == "xz") view = PlotView::XZ;
    else if (s == "yz") view = PlotView::YZ;
    else if (s == "3d") view = PlotView::Orbit;
    else return false;
    return true;
}

bool PrintMoves(const Toolpath& path) {
    std::string out;
    out.reserve(1 << 20);
    for (size_t i = 0; i < path.size(); ++i) {
        AppendMoveText(path, i, out);
        if (out.size() >= (1 << 20) - 256) {
            if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return false;
            out.clear();
        }
    }
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0;
}

int Plot(CliContext& ctx) {
    std::string file, svg;
    PlotView view = PlotView::XY;
    bool viewGiven = false, moves = false, stats = false;
    const auto& a = ctx.args;
    for (size_t i = 0; i < a.size(); ++i) {
        const std::string& s = a[i];
        if (s == "--view") {
            std::string name;
            if (!OptionValue(a, i, name)) return UsageError("--view mangler verdi");
            if (!ParseView(name, view)) return UsageError("ukjent visning: " + name);
            viewGiven = true;
        } else if (s == "-o") {
            if (!OptionValue(a, i, svg)) return UsageError("-o mangler verdi");
        } else if (s == "--moves") {
            moves = true;
        } else if (s == "--stats") {
            stats = true;
        } else if (file.empty() && !s.empty() && s[0] != '-') {
            file = s;
        } else {
            return UsageError("ukjent argument: " + s);
        }
    }
    if (file.empty()) return UsageError("plot tar en fil");
    if (!moves && svg.empty()) stats = true;

    LoadOptions load;
    load.currentMachine = ctx.machine;
    load.tekstFormat = ReadIniBool("Program", "TekstFormat", true);
    load.dosFormat = ReadIniBool("Program", "DOSFormat", false);
    LoadedDocument doc = ReadDocument(NativeToDncPath(file), load);
    if (!doc.replaced) return 1;  // the loader has said why
    const std::string& text = doc.kind == LoadKind::Log ? doc.log.text : doc.text.text;

    std::string section = MachineSection(ctx.machine - 1);
    PlotSettings settings = ReadPlotSettings(section, doc.resultName, text);
    if (!viewGiven && settings.lathe) view = PlotView::XZ;
    PlotRun run;
    run.onNote = [](const PlotNote& note) { PrintError(NoteLine(note)); };
    Toolpath path = InterpretProgram(text, settings, run);

    int rc = 0;
    if (moves && !PrintMoves(path)) rc = 1;
    if (stats) {
        std::string s = StatsText(path, ComputeFigures(path));
        std::fputs(Cp1252ToUtf8(s).c_str(), stdout);
    }
    if (!svg.empty() && !WriteAllBytes(svg, ToolpathSvg(path, view))) {
        ShowMessageBox(kSaveFailCaption, kSaveFailText + svg);
        rc = 1;
    }
    return rc;
}
}  // namespace

SKARV_COMMAND("plot",
              "[--machine N] plot FIL [--view xy|xz|yz|3d] [-o UT.svg] [--moves] [--stats]", Plot);
