#pragma once
// Shared by the toolpath fuzz targets: any bytes as a program, read with the move limits
// small, then everything the window does with a toolpath. Aborts on anything that must not
// happen: a number that is not finite, a move or note on a line the text does not have, an
// arc of more than a turn, an index that loses a move, a point of the picture that is not
// finite.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "plot/MoveIndex.h"
#include "plot/Plot.h"
#include "plot/PlotFigures.h"
#include "plot/PlotView.h"

namespace plotfuzz {

inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "PlotFuzz: %s\n", what);
        std::abort();
    }
}

inline bool Finite(const PlotPoint& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// Lines as the editor counts them: CR LF, LF or a lone CR end a line.
inline size_t CountLines(std::string_view t) {
    size_t n = 0, i = 0;
    while (i < t.size()) {
        ++n;
        while (i < t.size() && t[i] != '\r' && t[i] != '\n') ++i;
        if (i < t.size()) i += (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ? 2 : 1;
    }
    return n;
}

inline void Run(std::string_view text, const PlotSettings& settings) {
    PlotRun run;
    run.maxMoves = 2000;
    run.maxBlocks = 200000;
    Toolpath path = InterpretProgram(text, settings, run);
    const size_t lines = CountLines(text);
    Check(path.size() <= run.maxMoves, "more moves than the limit");
    Check(Finite(path.origin()), "origin");
    size_t arcs = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        Check(Finite(path.End(i)), "end point");
        Check(path.Line(i) >= 1 && path.Line(i) <= lines, "line of a move");
        if (path.IsArc(i)) {
            ++arcs;
            Check(Finite(path.Centre(i)), "centre");
            ArcGeometry g = ArcOfMove(path, i);
            Check(std::isfinite(g.sweep) && std::fabs(g.sweep) <= 6.2832, "sweep");
        }
    }
    Check(arcs == path.ArcCount(), "arc slots");
    for (const PlotNote& n : path.notes) Check(n.line >= 1 && n.line <= lines, "line of a note");
    const PlotTotals& t = path.totals;
    Check(std::isfinite(t.Seconds()) && t.feedSeconds >= -1e-6 && t.rapidSeconds >= -1e-6 &&
              std::isfinite(t.feedLength) && std::isfinite(t.rapidLength),
          "totals");

    PlotFigures f = ComputeFigures(path);
    Check(f.allBox.empty == path.empty(), "extents");
    MoveIndex index(path);
    Check(index.MovesUpToLine(static_cast<uint32_t>(lines)) == path.size(), "moves up to the end");
    size_t listed = 0;
    for (uint32_t l = 1; l <= lines && l < 64; ++l)
        for (uint32_t m : index.MovesOfLine(l)) {
            Check(path.Line(m) == l, "moves of a line");
            ++listed;
        }
    (void)listed;
    for (PlotView view : {PlotView::XY, PlotView::Orbit}) {
        Projection p = ViewProjection(view, path.lathe);
        PlotBox box = f.allBox;
        box.Add(path.stock);
        FitProjection(p, box, 320, 200, 5);
        DetailOptions o;
        o.width = 320;
        o.height = 200;
        PathDetail d;
        BuildDetail(path, p, o, d, &index);
        for (int s = 0; s < kPathStyles; ++s)
            for (float v : d.points[s]) Check(std::isfinite(v), "point of the picture");
        PathRaster r;
        BuildRaster(path, p, o, r, &index);
        long long m = index.Pick(p, 160, 100, 5);
        Check(m < static_cast<long long>(path.size()), "picked move");
        ZoomAbout(p, 1000, 160, 100);
        BuildDetail(path, p, o, d, &index);
    }
}

}  // namespace plotfuzz
