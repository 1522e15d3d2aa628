#pragma once
// The toolpath as a picture: views as projections onto the screen, and the level-of-detail
// builders that turn millions of moves into what a view can show: polylines (few when the
// view is zoomed in or the program sparse; the SVG uses them) or pixels (a cost that follows
// the moves and the view's size, never the ink, shared among threads: the picture to paint
// when the polylines would be too many; a painter spends some 30 ms on a hundred thousand
// points, so the window takes pixels above some tens of thousands of moves). The window
// draws what the builders give and never walks the moves itself. Both are in screen pixels:
// a pan only shifts what was built; building for an area larger than the view spares the
// rebuild until the pan leaves it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "plot/Toolpath.h"

class MoveIndex;

enum class PlotView { XY, XZ, YZ, Orbit };

// Screen = scale * (rows . point) + (tx, ty), in pixels, y growing downwards. The two rows
// are unit vectors: the screen's right and down directions in the program's space.
struct Projection {
    double right[3] = {1, 0, 0};
    double down[3] = {0, -1, 0};
    double scale = 1;  // pixels per mm
    double tx = 0, ty = 0;

    void Apply(const PlotPoint& p, double& sx, double& sy) const {
        sx = scale * (right[0] * p.x + right[1] * p.y + right[2] * p.z) + tx;
        sy = scale * (down[0] * p.x + down[1] * p.y + down[2] * p.z) + ty;
    }
};

inline constexpr double kDefaultYaw = -45;    // degrees about Z
inline constexpr double kDefaultPitch = -60;  // degrees, tilting Z towards the viewer's up

// The orientation of a view (scale 1, no offset). XY looks down from +Z with X to the
// right; XZ looks from the front (-Y) with Z up; YZ from the side (+X) with Z up. On a lathe
// the XZ view has Z across and X up. Orbit turns the XY view by yaw about Z and then tilts
// it by pitch about the screen's horizontal axis (the 3D view).
Projection ViewProjection(PlotView view, bool lathe, double yawDegrees = kDefaultYaw,
                          double pitchDegrees = kDefaultPitch);
// Scale and offset so that box fills the width x height pixels less a margin on each side,
// centred; the orientation is kept.
void FitProjection(Projection& p, const PlotBox& box, double width, double height, double margin);
// Zooms by factor keeping the program point under (sx, sy) where it is.
void ZoomAbout(Projection& p, double factor, double sx, double sy);
void Pan(Projection& p, double dx, double dy);
// The 3D view turned to yaw and pitch at p's scale, with the program point fixed kept where p
// shows it on the screen.
Projection TurnedAbout(const Projection& p, double yawDegrees, double pitchDegrees,
                       const PlotPoint& fixed);
// The extent of a box on the screen.
void ProjectBox(const Projection& p, const PlotBox& box, double& minX, double& minY, double& maxX,
                double& maxY);

// How a move is drawn: rapid moves dashed, feeds solid, arcs in their own colour.
enum class PathStyle : uint8_t { Rapid = 0, Feed = 1, Arc = 2 };
inline constexpr int kPathStyles = 3;
inline PathStyle StyleOf(MoveKind kind) {
    return kind == MoveKind::Rapid ? PathStyle::Rapid
           : kind == MoveKind::Feed ? PathStyle::Feed
                                    : PathStyle::Arc;
}
struct PathColour {
    uint8_t red, green, blue;
};
// Rapid, feed, arc, stock box, highlight.
inline constexpr PathColour kRapidColour{200, 0, 0};
inline constexpr PathColour kFeedColour{0, 0, 170};
inline constexpr PathColour kArcColour{0, 128, 0};
inline constexpr PathColour kStockColour{150, 150, 150};
inline constexpr PathColour kHighlightColour{255, 140, 0};

// Polylines in screen pixels, one list per style: points are x, y pairs; runs[s][k] is the
// first point of polyline k of style s, which ends where the next begins.
struct PathDetail {
    std::vector<float> points[kPathStyles];
    std::vector<uint32_t> runs[kPathStyles];
    std::vector<uint64_t> inked;  // room for the builder: the pixels each style has drawn
    // Feed moves seen end-on (a drill going into the hole, seen from above): x, y pairs,
    // one per pixel, where the picture marks a hole.
    std::vector<float> dots;
    size_t DotCount() const { return dots.size() / 2; }
    void Clear();
    size_t PointCount(int style) const { return points[style].size() / 2; }
    size_t RunCount(int style) const { return runs[style].size(); }
    // The points [first, end) of polyline k of a style.
    void Run(int style, size_t k, size_t& first, size_t& end) const;
};

struct DetailOptions {
    // The view in pixels: what lies wholly outside it is left out, and so is a short piece
    // whose pixels its style has drawn already. 0 keeps everything.
    double width = 0, height = 0;
    size_t endMove = SIZE_MAX;  // moves [0, endMove): "Vis til linje"
    double merge = 1.0;         // points closer than this (pixels) are one
    double flatness = 0.25;     // pixels an arc's chords may stray from it
    // Pixels only: the moves are shared among up to this many threads, each taking at
    // least kMovesPerThread of them.
    unsigned threads = 1;
};
inline constexpr size_t kMovesPerThread = 100000;

// The picture of moves [0, endMove) at this projection. out keeps its room between calls.
// With the path's index (optional), what lies outside the view costs next to nothing.
void BuildDetail(const Toolpath& path, const Projection& p, const DetailOptions& options,
                 PathDetail& out, const MoveIndex* index = nullptr);

// The same picture as pixels of width x height (the view of options, which must be given):
// 0 where nothing is drawn, else 1 + the PathStyle of the move drawn last there; rapid moves
// dashed; a feed move seen end-on marked by a small cross. Its cost follows the moves and the pixels, never the points: the picture to show
// when a view holds so much that its polylines would be too many to paint at once.
struct PathRaster {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // row by row
    uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
void BuildRaster(const Toolpath& path, const Projection& p, const DetailOptions& options,
                 PathRaster& out, const MoveIndex* index = nullptr);
// The picture of the given moves (the caret's block), each in full, one polyline per move.
void BuildMovesDetail(const Toolpath& path, const Projection& p, std::span<const uint32_t> moves,
                      PathDetail& out, double flatness = 0.25);
// The twelve edges of the stock box as polylines (in runs[Feed]); nothing without a box.
void BuildStockDetail(const Toolpath& path, const Projection& p, PathDetail& out);
