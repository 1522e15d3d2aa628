#include "plot/PlotModel.h"

bool PlotModel::ToolAfterLine(uint32_t line, PlotPoint& at) const {
    auto moves = index.MovesOfLine(line);
    if (moves.empty()) return false;
    at = path.End(moves.back());
    return true;
}

std::unique_ptr<PlotModel> BuildPlotModel(std::string_view text, const PlotSettings& settings,
                                          const PlotRun& run) {
    auto model = std::make_unique<PlotModel>();
    model->path = InterpretProgram(text, settings, run);
    if (model->path.cancelled) return model;
    model->figures = ComputeFigures(model->path);
    model->index.Build(model->path);
    return model;
}

PlotBox PlotModel::DrawnBox() const {
    PlotBox box = figures.allBox;
    if (!path.stock.empty) box.Add(path.stock);
    return box;
}
