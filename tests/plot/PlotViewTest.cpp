// The picture of a toolpath: views, the level-of-detail polylines and pixels, looking moves
// up by line and by a click, the figures' texts and the SVG.
#include <gtest/gtest.h>

#include <cmath>

#include "PlotTestSupport.h"
#include "plot/MoveIndex.h"
#include "plot/PlotModel.h"
#include "plot/PlotFigures.h"
#include "plot/PlotView.h"

using Lines = std::vector<std::string>;

namespace {
struct ScreenPoint {
    double x, y;
};
ScreenPoint At(const Projection& p, PlotPoint q) {
    ScreenPoint s;
    p.Apply(q, s.x, s.y);
    return s;
}

Projection Scaled(PlotView view, double scale) {
    Projection p = ViewProjection(view, false);
    p.scale = scale;
    return p;
}
}  // namespace

TEST(PlotView, ViewsLookAlongTheirAxes) {
    // Screen y grows downwards: "up" is a smaller y.
    Projection xy = ViewProjection(PlotView::XY, false);
    EXPECT_GT(At(xy, {1, 0, 0}).x, 0);
    EXPECT_LT(At(xy, {0, 1, 0}).y, 0);
    EXPECT_EQ(At(xy, {0, 0, 7}).x, 0);
    Projection xz = ViewProjection(PlotView::XZ, false);
    EXPECT_GT(At(xz, {1, 0, 0}).x, 0);
    EXPECT_LT(At(xz, {0, 0, 1}).y, 0);
    Projection yz = ViewProjection(PlotView::YZ, false);
    EXPECT_GT(At(yz, {0, 1, 0}).x, 0);
    EXPECT_LT(At(yz, {0, 0, 1}).y, 0);
    // On a lathe Z runs across and X (the radius) up.
    Projection lathe = ViewProjection(PlotView::XZ, true);
    EXPECT_GT(At(lathe, {0, 0, 1}).x, 0);
    EXPECT_LT(At(lathe, {1, 0, 0}).y, 0);
    // The 3D view keeps Z up and shows all three axes.
    Projection orbit = ViewProjection(PlotView::Orbit, false);
    EXPECT_LT(At(orbit, {0, 0, 1}).y, 0);
    EXPECT_GT(At(orbit, {1, 0, 0}).x, 0);
    EXPECT_NE(At(orbit, {0, 1, 0}).x, 0);
    EXPECT_NEAR(std::hypot(orbit.right[0], std::hypot(orbit.right[1], orbit.right[2])), 1, 1e-12);
}

TEST(PlotView, FitCentresTheBoxAndZoomKeepsThePointUnderTheMouse) {
    PlotBox box;
    box.Add(PlotPoint{-10, 0, 0});
    box.Add(PlotPoint{30, 20, 5});
    Projection p = ViewProjection(PlotView::XY, false);
    FitProjection(p, box, 800, 600, 20);
    ScreenPoint lo = At(p, {-10, 0, 0}), hi = At(p, {30, 20, 0});
    EXPECT_NEAR(lo.x, 20, 1e-9);  // the wider side fills the width less the margins
    EXPECT_NEAR(hi.x, 780, 1e-9);
    EXPECT_NEAR((lo.y + hi.y) / 2, 300, 1e-9);
    PlotPoint q{12.5, 7.25, 0};
    ScreenPoint before = At(p, q);
    ZoomAbout(p, 3.5, before.x, before.y);
    ScreenPoint after = At(p, q);
    EXPECT_NEAR(after.x, before.x, 1e-9);
    EXPECT_NEAR(after.y, before.y, 1e-9);
    Pan(p, 5, -7);
    EXPECT_NEAR(At(p, q).x, before.x + 5, 1e-9);
    // Turning the 3D view keeps the box's middle where it was on the screen, at the same scale.
    const ScreenPoint middle = At(p, box.Centre());
    Projection turned = TurnedAbout(p, 30, -45, box.Centre());
    EXPECT_NEAR(At(turned, box.Centre()).x, middle.x, 1e-9);
    EXPECT_NEAR(At(turned, box.Centre()).y, middle.y, 1e-9);
    EXPECT_EQ(turned.scale, p.scale);
    EXPECT_NE(At(turned, {30, 20, 5}).x, At(p, {30, 20, 5}).x);
}

TEST(PlotView, MovesWithinAPixelMergeAndAStyleChangeThereDoesNotBreakTheLine) {
    // 2000 feeds wandering within half a pixel, then one long feed: a single polyline of
    // few points that ends exactly at the end.
    std::string program = "G0 X0 Y0 Z0\r\nG1 F100\r\n";
    for (int i = 0; i < 1000; ++i) program += "X0.3\r\nY0.2\r\n";
    program += "X100 Y0\r\n";
    Toolpath path = InterpretProgram(program, Mill());
    PathDetail d;
    DetailOptions o;
    o.width = 200;
    o.height = 100;
    Projection p = Scaled(PlotView::XY, 1);
    p.ty = 50;
    BuildDetail(path, p, o, d);
    const int feed = static_cast<int>(PathStyle::Feed);
    ASSERT_EQ(d.RunCount(feed), 1u);
    EXPECT_LE(d.PointCount(feed), 3u);
    EXPECT_FLOAT_EQ(d.points[feed][d.points[feed].size() - 2], 100);

    // Drilling seen from above: the rapid up and down between two feeds stays in its pixel.
    Toolpath holes = InterpretProgram(
        Program({"G0 X0 Y0 Z0", "G1 X50 F100", "G0 Z5", "G0 Z0", "G1 X100"}), Mill());
    BuildDetail(holes, p, o, d);
    EXPECT_EQ(d.RunCount(feed), 1u);
    EXPECT_EQ(d.RunCount(static_cast<int>(PathStyle::Rapid)), 0u);
    // Seen from the front the same rapids are drawn: up five pixels (and down the same
    // pixels, drawn once), the feed going on from where it stopped.
    Projection front = Scaled(PlotView::XZ, 1);
    front.ty = 50;
    BuildDetail(holes, front, o, d);
    const int rapid = static_cast<int>(PathStyle::Rapid);
    ASSERT_EQ(d.RunCount(rapid), 1u);
    ASSERT_EQ(d.PointCount(rapid), 2u);
    EXPECT_FLOAT_EQ(d.points[rapid][1], 50);
    EXPECT_FLOAT_EQ(d.points[rapid][3], 45);
    EXPECT_EQ(d.RunCount(feed), 1u);
    EXPECT_FLOAT_EQ(d.points[feed].back(), 50);
}

TEST(PlotView, ArcsAreFlattenedToTheZoom) {
    Toolpath circle = InterpretProgram(Program({"G0 X10 Y0 Z0", "G3 I-10 F100"}), Mill());
    PathDetail d;
    const int arc = static_cast<int>(PathStyle::Arc);
    size_t previous = 0;
    for (double scale : {1.0, 10.0, 100.0}) {
        Projection p = Scaled(PlotView::XY, scale);
        BuildDetail(circle, p, DetailOptions(), d);
        ASSERT_EQ(d.RunCount(arc), 1u);
        size_t n = d.PointCount(arc);
        EXPECT_GT(n, previous);  // more chords the closer one looks
        previous = n;
        // Every chord keeps within a quarter of a pixel of the circle, and it closes.
        double radius = 10 * scale;
        for (size_t k = 0; k + 1 < n; ++k) {
            double mx = 0.5 * (d.points[arc][2 * k] + d.points[arc][2 * k + 2]);
            double my = 0.5 * (d.points[arc][2 * k + 1] + d.points[arc][2 * k + 3]);
            EXPECT_LE(radius - std::hypot(mx, my), 0.25 + 1e-3 * scale);
        }
        EXPECT_NEAR(d.points[arc][0], d.points[arc][2 * n - 2], 1e-3 * scale);
    }
    EXPECT_LT(previous, 200u);

    // Looking closely at a piece of a large circle: only the chords near the view are made,
    // and those still keep to the circle.
    Projection close = Scaled(PlotView::XY, 1000);  // the radius is 10000 pixels
    close.tx = -10000 + 100, close.ty = 100;         // its rightmost point in the middle
    DetailOptions view;
    view.width = view.height = 200;
    view.merge = 0.01;  // the chords themselves, not the merging of points within a pixel
    BuildDetail(circle, close, view, d);
    size_t n = d.PointCount(arc);
    EXPECT_GT(n, 2u);
    EXPECT_LT(n, 60u);
    for (size_t run = 0; run < d.RunCount(arc); ++run) {
        size_t first, end;
        d.Run(arc, run, first, end);
        for (size_t k = first; k + 1 < end; ++k) {
            double mx = 0.5 * (d.points[arc][2 * k] + d.points[arc][2 * k + 2]) - close.tx;
            double my = 0.5 * (d.points[arc][2 * k + 1] + d.points[arc][2 * k + 3]) - close.ty;
            EXPECT_LE(10000 - std::hypot(mx, my), 0.3);
        }
    }
}

TEST(PlotView, WhatLiesOutsideTheViewIsLeftOutAndFarLinesClipped) {
    Toolpath path = InterpretProgram(
        Program({"G0 X0 Y0 Z0", "G1 X-5000 F100", "Y-5000", "X5000 Y5000", "G2 X5010 I5"}), Mill());
    Projection p = Scaled(PlotView::XY, 1);
    p.tx = 50, p.ty = 50;
    DetailOptions o;
    o.width = 100;
    o.height = 100;
    PathDetail d;
    BuildDetail(path, p, o, d);
    const int feed = static_cast<int>(PathStyle::Feed);
    // Only the diagonal crosses the view; it is cut to the guard around it.
    EXPECT_EQ(d.RunCount(static_cast<int>(PathStyle::Arc)), 0u);
    ASSERT_GE(d.RunCount(feed), 1u);
    for (float v : d.points[feed]) EXPECT_LT(std::fabs(v), 1300);
    bool throughView = false;
    for (size_t k = 0; k < d.RunCount(feed); ++k) {
        size_t a, b;
        d.Run(feed, k, a, b);
        for (size_t i = a; i + 1 < b; ++i) {
            float x0 = d.points[feed][2 * i], x1 = d.points[feed][2 * i + 2];
            if (x0 < 50 && x1 > 50) throughView = true;
        }
    }
    EXPECT_TRUE(throughView);

    // "Vis til linje": only the moves up to the line.
    DetailOptions upTo;
    upTo.endMove = 2;
    BuildDetail(path, p, upTo, d);
    EXPECT_EQ(d.PointCount(feed), 2u);
}

TEST(PlotView, HolesSeenEndOnAreMarked) {
    // Three holes drilled from above, one of them twice: three marks seen from above, none
    // from the front (where the drill is a line), and a cross in the pixels.
    Toolpath path = InterpretProgram(
        Program({"G0 X0 Y0 Z5", "G81 X10 Y10 Z-5 R2 F100", "X20", "X30", "X10", "G80",
                 "G1 X40 Y40 Z-1"}),
        Mill());
    Projection top = Scaled(PlotView::XY, 4);
    top.tx = 10, top.ty = 200;
    DetailOptions o;
    o.width = 300, o.height = 300;
    PathDetail d;
    BuildDetail(path, top, o, d);
    ASSERT_EQ(d.DotCount(), 3u);
    EXPECT_EQ(d.dots[0], At(top, {10, 10, 0}).x);
    EXPECT_EQ(d.dots[1], At(top, {10, 10, 0}).y);
    Projection front = Scaled(PlotView::XZ, 4);
    front.tx = 10, front.ty = 100;
    BuildDetail(path, front, o, d);
    EXPECT_EQ(d.DotCount(), 0u);
    // Up to the first hole only.
    o.endMove = 4;
    BuildDetail(path, top, o, d);
    EXPECT_EQ(d.DotCount(), 1u);

    PathRaster r;
    o.endMove = SIZE_MAX;
    BuildRaster(path, top, o, r);
    ScreenPoint hole = At(top, {20, 10, 0});
    const uint8_t feed = static_cast<uint8_t>(PathStyle::Feed) + 1;
    EXPECT_EQ(r.At(static_cast<int>(hole.x), static_cast<int>(hole.y) + 2), feed);
    EXPECT_EQ(r.At(static_cast<int>(hole.x), static_cast<int>(hole.y) - 2), feed);
}

TEST(PlotView, PixelsForDenseViews) {
    Toolpath path = InterpretProgram(
        Program({"G0 X0 Y10 Z0", "G1 X99 F100", "G0 Y20", "X0", "G2 X20 Y20 I10"}), Mill());
    Projection p = Scaled(PlotView::XY, 1);
    p.ty = 50;  // y 10 is row 40, y 20 row 30
    DetailOptions o;
    o.width = 100;
    o.height = 50;
    PathRaster r;
    BuildRaster(path, p, o, r);
    ASSERT_EQ(r.width, 100);
    ASSERT_EQ(r.height, 50);
    const uint8_t feed = 1 + static_cast<uint8_t>(PathStyle::Feed);
    const uint8_t rapid = 1 + static_cast<uint8_t>(PathStyle::Rapid);
    int feedPixels = 0, rapidPixels = 0;
    for (int x = 0; x < 99; ++x) {  // the last column is the rapid's, drawn later
        feedPixels += r.At(x, 40) == feed;
        rapidPixels += r.At(x, 30) == rapid;
    }
    EXPECT_EQ(r.At(99, 40), rapid);
    EXPECT_EQ(feedPixels, 99);
    EXPECT_NEAR(rapidPixels, 99 * 4 / 7, 3);  // dashed
    EXPECT_EQ(r.At(10, 20), 1 + static_cast<uint8_t>(PathStyle::Arc));  // the top of the arc
    EXPECT_EQ(r.At(50, 10), 0);

    // Shared among threads, the moves of a large program give the pixels one walk gives:
    // later moves over earlier ones across the runs' seams, arcs found by their slots.
    std::string big;
    for (int i = 0; i < 205000; ++i) {
        int x = (i * 37) % 200, y = (i * 53) % 150;
        if (i % 10 == 0) big += "G2 X" + std::to_string(x) + " Y" + std::to_string(y) + " R90\r\n";
        else big += "G1 X" + std::to_string(x) + " Y" + std::to_string(y) + " F100\r\n";
    }
    Toolpath many = InterpretProgram(big, Mill());
    ASSERT_GT(many.size(), 2 * kMovesPerThread);
    MoveIndex index(many);
    Projection q = Scaled(PlotView::XY, 2);
    q.ty = 300;
    DetailOptions whole;
    whole.width = 400, whole.height = 300;
    PathRaster one, shared;
    BuildRaster(many, q, whole, one, &index);
    whole.threads = 3;
    BuildRaster(many, q, whole, shared, &index);
    EXPECT_TRUE(one.pixels == shared.pixels);
    whole.endMove = many.size() - 7;
    BuildRaster(many, q, whole, shared, &index);
    whole.threads = 1;
    BuildRaster(many, q, whole, one, &index);
    EXPECT_TRUE(one.pixels == shared.pixels);
}

TEST(PlotView, LinesToMovesAndAClickToItsMove) {
    // The subprogram's line makes moves at each call; the main program's lines come first.
    Toolpath path = InterpretProgram(
        Program({"O1", "G0 X0 Y0 Z0", "M98 P2 L3", "G1 X0 Y50 F100", "M30", "O2",
                 "G91 G1 X10", "G2 X10 I5", "G90", "M99"}),
        Mill());
    MoveIndex index(path);
    auto sub = index.MovesOfLine(7);
    ASSERT_EQ(sub.size(), 3u);
    EXPECT_EQ(path.End(sub[2]).x, 50);
    EXPECT_EQ(index.MovesOfLine(8).size(), 3u);
    EXPECT_TRUE(index.MovesOfLine(3).empty());
    EXPECT_EQ(index.MovesOfLine(4).size(), 1u);
    // Before the call nothing of the subprogram is drawn; with the call's line all of it.
    EXPECT_EQ(index.MovesUpToLine(2), 1u);
    EXPECT_EQ(index.MovesUpToLine(3), 7u);
    EXPECT_EQ(index.MovesUpToLine(7), path.size());  // past the end of the main program
    EXPECT_EQ(index.MovesUpToLine(4), path.size());
    EXPECT_EQ(index.MovesUpToLine(1), 0u);

    Projection p = Scaled(PlotView::XY, 4);
    p.tx = 20, p.ty = 300;
    auto pick = [&](PlotPoint q, double tolerance = 3, size_t end = SIZE_MAX) {
        ScreenPoint s = At(p, q);
        return index.Pick(p, s.x, s.y + 2, tolerance, end);  // two pixels off the path
    };
    long long onLine = pick({5, 0, 0});
    ASSERT_GE(onLine, 0);
    EXPECT_EQ(path.Line(static_cast<size_t>(onLine)), 7u);
    long long onArc = pick({15, 5, 0});  // the top of the first half circle
    ASSERT_GE(onArc, 0);
    EXPECT_EQ(path.Line(static_cast<size_t>(onArc)), 8u);
    // The last move runs from (60, 0) back to (0, 50).
    EXPECT_EQ(pick({30, 25, 0}), static_cast<long long>(path.size() - 1));
    EXPECT_EQ(pick({200, 200, 0}), -1);
    EXPECT_EQ(pick({30, 25, 0}, 3, path.size() - 1), -1);  // not drawn when the view stops before
    // In the 3D view too.
    Projection orbit = ViewProjection(PlotView::Orbit, false);
    orbit.scale = 4, orbit.tx = 300, orbit.ty = 300;
    ScreenPoint s = At(orbit, {45, 0, 0});
    long long m = index.Pick(orbit, s.x, s.y, 2);
    ASSERT_GE(m, 0);
    EXPECT_EQ(path.Line(static_cast<size_t>(m)), 7u);
}

TEST(PlotView, MovesInAViewCountWholeLeaves) {
    // A thousand moves along X, one millimetre each: what a view of them would cost.
    std::string text;
    for (int i = 1; i <= 1000; ++i) text += "G1 X" + std::to_string(i) + " F100\r\n";
    Toolpath path = InterpretProgram(text, Mill());
    MoveIndex index(path);
    Projection p = Scaled(PlotView::XY, 1);
    p.ty = 50;
    EXPECT_EQ(index.MovesInView(p, 1200, 100), 1000u);
    EXPECT_EQ(index.MovesInView(p, 1200, 100, 300), 300u);
    p.tx = -500;  // x 500 to 600 in a view 100 wide
    size_t some = index.MovesInView(p, 100, 100);
    EXPECT_GE(some, 100u);
    EXPECT_LE(some, 100u + 2 * MoveIndex::kLeafMoves);
    p.ty = 500;  // below the view
    EXPECT_EQ(index.MovesInView(p, 100, 100), 0u);
}

TEST(PlotView, FiguresAndTheirTexts) {
    Toolpath path = InterpretProgram(
        Program({"T1 M6 (PLANFRES D63)", "G0 X-40 Y0 Z5", "G1 Z0 F300", "G2 X40 I40", "G0 Z100"}),
        Mill());
    PlotFigures f = ComputeFigures(path);
    EXPECT_EQ(ExtentsText(f.feedBox), "X -40.000 til 40.000  Y 0.000 til 40.000  Z 0.000 til 5.000");
    EXPECT_EQ(ExtentsText(f.allBox), "X -40.000 til 40.000  Y 0.000 til 40.000  Z 0.000 til 100.000");
    EXPECT_EQ(ExtentsText(PlotBox()), "");
    EXPECT_EQ(DurationText(3723.4), "1:02:03");
    EXPECT_EQ(DurationText(59.5), "0:01:00");
    EXPECT_EQ(DurationText(360000), "100:00:00");
    EXPECT_EQ(StatsText(path, f),
              "Bevegelser: 4\n"
              "Mating: 130.7 mm  Hurtiggang: 100.0 mm  Tid: 0:00:27\n"
              "Mating X -40.000 til 40.000  Y 0.000 til 40.000  Z 0.000 til 5.000\n"
              "Alle X -40.000 til 40.000  Y 0.000 til 40.000  Z 0.000 til 100.000\n"
              "Verktøy:\n"
              "  T1  PLANFRES D63\n");
}

TEST(PlotView, SvgDrawsEachKindInItsOwnStroke) {
    Toolpath path = InterpretProgram(
        Program({"0 BEGIN PGM S MM", "1 BLK FORM 0.1 Z X+0 Y+0 Z-10", "2 BLK FORM 0.2 X+50 Y+50 Z+0",
                 "3 L X+0 Y+0 Z+5 R0 FMAX", "4 L Z-2 F100", "5 L X+40", "6 CC X+25 Y+25",
                 "7 C X+40 Y+40 DR+", "8 L Z+10 FMAX", "9 L X+0 Y+0 FMAX"}),
        Heidenhain());
    std::string svg = ToolpathSvg(path, PlotView::XY, 400, 300);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
    EXPECT_NE(svg.find("width=\"400\" height=\"300\""), std::string::npos);
    EXPECT_NE(svg.find("<path stroke=\"#c80000\" stroke-width=\"1\" stroke-dasharray=\"4 3\""),
              std::string::npos);  // rapid moves
    EXPECT_NE(svg.find("<path stroke=\"#0000aa\""), std::string::npos);  // feeds
    EXPECT_NE(svg.find("<path stroke=\"#008000\""), std::string::npos);  // arcs
    EXPECT_NE(svg.find("<path stroke=\"#969696\" stroke-width=\"0.5\""), std::string::npos);  // stock
    // Every coordinate lies on the page.
    size_t at = 0, numbers = 0;
    while ((at = svg.find(" d=\"", at)) != std::string::npos) {
        at += 4;
        size_t end = svg.find('"', at);
        std::string d = svg.substr(at, end - at);
        for (size_t i = 0; i < d.size();) {
            if (d[i] == 'M' || d[i] == 'L' || d[i] == ' ') {
                ++i;
                continue;
            }
            size_t used = 0;
            double v = std::stod(d.substr(i), &used);
            EXPECT_GE(v, 0);
            EXPECT_LE(v, 400);
            i += used;
            ++numbers;
        }
    }
    EXPECT_GT(numbers, 20u);
}

TEST(PlotView, AModelForTheWindowInOneGo) {
    auto model = BuildPlotModel(
        Program({"G0 X0 Y0 Z5", "G1 Z-1 F100", "X10", "(SLUTT)", "G0 Z5"}), Mill());
    ASSERT_TRUE(model);
    EXPECT_EQ(model->figures.moves, 4u);
    PlotPoint at;
    ASSERT_TRUE(model->ToolAfterLine(3, at));
    EXPECT_EQ(at, (PlotPoint{10, 0, -1}));
    EXPECT_FALSE(model->ToolAfterLine(4, at));
    EXPECT_EQ(model->MovesUpToLine(4), 3u);
}
