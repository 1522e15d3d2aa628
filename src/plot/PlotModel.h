#pragma once
// Everything a view of a program needs, made in one go on a worker from a snapshot of the
// text: the toolpath, its figures and its index. It does not move once made (the index
// points into the toolpath), so it travels to the window as a pointer; a reading that has
// been overtaken comes back with cancelled set and is thrown away.
#include <memory>
#include <string_view>

#include "plot/MoveIndex.h"
#include "plot/Plot.h"
#include "plot/PlotFigures.h"
#include "plot/Toolpath.h"

struct PlotModel {
    Toolpath path;
    PlotFigures figures;
    MoveIndex index;

    PlotModel() = default;
    PlotModel(const PlotModel&) = delete;
    PlotModel& operator=(const PlotModel&) = delete;

    // The moves drawn up to and including a line ("Vis til linje").
    size_t MovesUpToLine(uint32_t line) const { return index.MovesUpToLine(line); }
    // Where the tool stands after a line's last move; false when the line makes none.
    bool ToolAfterLine(uint32_t line, PlotPoint& at) const;
    // What the view fits: all the moves and the stock box.
    PlotBox DrawnBox() const;
};

// Reads the program and builds the figures and the index. The figures and index are left
// out of a reading that was called off.
std::unique_ptr<PlotModel> BuildPlotModel(std::string_view text, const PlotSettings& settings,
                                          const PlotRun& run = PlotRun());
