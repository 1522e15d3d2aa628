#include "plot/PlotView.h"

#include "plot/MoveIndex.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxArcSegments = 4096;

void SetRows(Projection& p, double r0, double r1, double r2, double d0, double d1, double d2) {
    p.right[0] = r0, p.right[1] = r1, p.right[2] = r2;
    p.down[0] = d0, p.down[1] = d1, p.down[2] = d2;
}

// The number of chords for an arc of this radius (pixels) and sweep.
int ArcSegments(double radiusPx, double sweep, double flatness) {
    double s = std::fabs(sweep);
    if (!(radiusPx > flatness) || s <= 0) return 1;
    double step = 2 * std::acos(1 - flatness / radiusPx);
    double n = std::ceil(s / step);
    if (!(n >= 1)) return 1;
    return n > kMaxArcSegments ? kMaxArcSegments : static_cast<int>(n);
}

// Walks an arc in n chords, calling fn(point) for the n - 1 points between its ends.
template <class Fn>
void ArcPoints(const ArcGeometry& g, int n, Fn fn) {
    if (n <= 1) return;
    double step = g.sweep / n;
    double cs = std::cos(step), sn = std::sin(step);
    double cu = g.c0, su = g.s0;
    for (int k = 1; k < n; ++k) {
        double nc = cu * cs - su * sn;
        su = su * cs + cu * sn;
        cu = nc;
        double t = static_cast<double>(k) / n;
        double r = g.r0 + (g.r1 - g.r0) * t;
        PlotPoint q;
        q[g.axes.first] = g.cu + r * cu;
        q[g.axes.second] = g.cv + r * su;
        q[g.axes.normal] = g.w0 + (g.w1 - g.w0) * t;
        fn(q);
    }
}

// Liang-Barsky: the part of the piece from a to b within the box; false when none is.
bool ClipToBox(double& ax, double& ay, double& bx, double& by, double x0, double y0, double x1,
               double y1) {
    double dx = bx - ax, dy = by - ay, t0 = 0, t1 = 1;
    auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        double r = q / p;
        if (p < 0) {
            if (r > t1) return false;
            if (r > t0) t0 = r;
        } else {
            if (r < t0) return false;
            if (r < t1) t1 = r;
        }
        return true;
    };
    if (!edge(-dx, ax - x0) || !edge(dx, x1 - ax) || !edge(-dy, ay - y0) || !edge(dy, y1 - ay))
        return false;
    double nax = ax + t0 * dx, nay = ay + t0 * dy;
    bx = ax + t1 * dx, by = ay + t1 * dy;
    ax = nax, ay = nay;
    return true;
}

// Collects the polylines of one picture: merging points that fall within a pixel, leaving
// out what lies outside the view or over pixels its style has drawn, clipping what reaches
// far beyond the view. A change of style that does not leave the pixel it began in (a drill
// move seen from above, an arc smaller than a pixel) does not break the polyline.
class DetailWriter {
public:
    DetailWriter(PathDetail& out, const DetailOptions& o) : out_(out), merge_(o.merge) {
        cull_ = o.width > 0 && o.height > 0;
        if (cull_ && o.width * o.height < 64e6) {
            gridW_ = static_cast<size_t>(std::ceil(o.width)) + 1;
            gridH_ = static_cast<size_t>(std::ceil(o.height)) + 1;
            words_ = (gridW_ * gridH_ + 63) / 64;
            out_.inked.assign(words_ * (kPathStyles + 1), 0);  // the last for the dots
        }
        // What lies in the margin is drawn; the guard keeps coordinates sane for the painter.
        double m = 2;
        x0_ = -m, y0_ = -m, x1_ = o.width + m, y1_ = o.height + m;
        double g = std::max(o.width, o.height) + 1000;
        gx0_ = -g, gy0_ = -g, gx1_ = o.width + g, gy1_ = o.height + g;
    }

    void Start(double x, double y) { px_ = x, py_ = y; }

    void SetStyle(int style) {
        if (style == style_) return;
        style_ = style;
        if (!open_) return;
        if (style == runStyle_) {
            waiting_ = false;  // back to the open polyline's style within its pixel
            return;
        }
        if (!waiting_) {
            waiting_ = true;
            wx_ = px_, wy_ = py_;
        }
    }

    // A straight piece from the previous point to (x, y).
    void To(double x, double y) {
        if (waiting_) {
            if (std::fabs(x - wx_) < merge_ && std::fabs(y - wy_) < merge_) {
                px_ = x, py_ = y;
                return;
            }
            // The new style leaves the pixel: its own polyline from where it began.
            waiting_ = false;
            Close();
            px_ = wx_, py_ = wy_;
        }
        double ax = px_, ay = py_;
        px_ = x, py_ = y;
        if (cull_) {
            int ca = Code(ax, ay, x0_, y0_, x1_, y1_), cb = Code(x, y, x0_, y0_, x1_, y1_);
            if (ca & cb) {  // wholly outside the view
                Close();
                return;
            }
            if ((ca | cb) && ((Code(ax, ay, gx0_, gy0_, gx1_, gy1_) |
                               Code(x, y, gx0_, gy0_, gx1_, gy1_)) != 0)) {
                ClippedTo(ax, ay, x, y);
                return;
            }
        }
        if (open_ && std::fabs(x - ex_) < merge_ && std::fabs(y - ey_) < merge_) {
            qx_ = x, qy_ = y;  // within a pixel of the last point written
            pending_ = true;
            return;
        }
        if (words_ && InkedOver(ax, ay, x, y)) {
            Close();  // a piece over pixels this style has drawn adds nothing to the picture
            return;
        }
        if (!open_) Open(ax, ay);
        Add(x, y);
    }

    bool Visible(double minX, double minY, double maxX, double maxY) const {
        return !cull_ || !(maxX < x0_ || minX > x1_ || maxY < y0_ || minY > y1_);
    }
    bool Inside(double minX, double minY, double maxX, double maxY) const {
        return !cull_ || (minX >= x0_ && maxX <= x1_ && minY >= y0_ && maxY <= y1_);
    }

    // A feed move seen end-on ends here.
    void Dot(double x, double y) {
        if (cull_ && Code(x, y, x0_, y0_, x1_, y1_)) return;
        if (words_) {
            if (!(x >= 0 && y >= 0)) return;
            size_t ix = static_cast<size_t>(x), iy = static_cast<size_t>(y);
            if (ix >= gridW_ || iy >= gridH_) return;
            size_t b = kPathStyles * words_ * 64 + iy * gridW_ + ix;
            uint64_t& word = out_.inked[b >> 6];
            const uint64_t bit = uint64_t{1} << (b & 63);
            if (word & bit) return;  // a hole there already
            word |= bit;
        }
        out_.dots.push_back(static_cast<float>(x));
        out_.dots.push_back(static_cast<float>(y));
    }

    // Passes over a piece known to lie outside the view.
    void Skip(double x, double y) {
        waiting_ = false;
        Close();
        px_ = x, py_ = y;
    }

    void Finish() {
        waiting_ = false;
        Close();
    }

private:
    void Close() {
        if (!open_) return;
        open_ = false;
        if (pending_) Emit(qx_, qy_);
        pending_ = false;
        std::vector<float>& pts = out_.points[runStyle_];
        size_t first = out_.runs[runStyle_].back();
        size_t count = pts.size() / 2 - first;
        if (count < 2 || !movedOut_) {
            // A polyline that never left its first pixel shows nothing.
            pts.resize(first * 2);
            out_.runs[runStyle_].pop_back();
        }
    }

    // A piece reaching beyond the guard: the part within it, as a polyline of its own.
    void ClippedTo(double ax, double ay, double bx, double by) {
        bool startOutside = Code(ax, ay, gx0_, gy0_, gx1_, gy1_) != 0;
        bool endOutside = Code(bx, by, gx0_, gy0_, gx1_, gy1_) != 0;
        if (!Clip(ax, ay, bx, by)) {
            Close();
            return;
        }
        if (startOutside) Close();
        if (!open_) Open(ax, ay);
        Add(bx, by);
        if (endOutside) Close();
    }

    // Whether a piece of up to kInkReach pixels lies over pixels of this style only, its
    // pixels seen a pixel apart; if not, they are marked as drawn now.
    static constexpr double kInkReach = 8;
    bool InkedOver(double ax, double ay, double bx, double by) {
        double reach = std::max(std::fabs(bx - ax), std::fabs(by - ay));
        if (reach >= kInkReach) {
            Ink(ax, ay);
            Ink(bx, by);
            return false;
        }
        int n = static_cast<int>(reach) + 1;
        double dx = (bx - ax) / n, dy = (by - ay) / n;
        bool all = true;
        for (int k = 0; k <= n && all; ++k) all = Inked(ax + k * dx, ay + k * dy);
        if (all) return true;
        for (int k = 0; k <= n; ++k) Ink(ax + k * dx, ay + k * dy);
        return false;
    }

    // The bit of a pixel of the view for the current style; SIZE_MAX outside.
    size_t Bit(double x, double y) const {
        if (!(x >= 0 && y >= 0)) return SIZE_MAX;
        size_t ix = static_cast<size_t>(x), iy = static_cast<size_t>(y);
        if (ix >= gridW_ || iy >= gridH_) return SIZE_MAX;
        return static_cast<size_t>(style_) * words_ * 64 + iy * gridW_ + ix;
    }
    bool Inked(double x, double y) const {
        size_t b = Bit(x, y);
        return b != SIZE_MAX && ((out_.inked[b >> 6] >> (b & 63)) & 1u);
    }
    void Ink(double x, double y) {
        size_t b = Bit(x, y);
        if (b != SIZE_MAX) out_.inked[b >> 6] |= uint64_t{1} << (b & 63);
    }

    static int Code(double x, double y, double x0, double y0, double x1, double y1) {
        return (x < x0 ? 1 : 0) | (x > x1 ? 2 : 0) | (y < y0 ? 4 : 0) | (y > y1 ? 8 : 0);
    }

    bool Clip(double& ax, double& ay, double& bx, double& by) const {
        return ClipToBox(ax, ay, bx, by, gx0_, gy0_, gx1_, gy1_);
    }

    void Open(double x, double y) {
        runStyle_ = style_;
        std::vector<float>& pts = out_.points[runStyle_];
        std::vector<uint32_t>& runs = out_.runs[runStyle_];
        open_ = true;
        pending_ = false;
        // Going on from where the last polyline of this style ended: one polyline, not two.
        if (!runs.empty() && pts.size() / 2 > runs.back() + 1) {
            float lx = pts[pts.size() - 2], ly = pts.back();
            if (std::fabs(lx - x) < merge_ && std::fabs(ly - y) < merge_) {
                movedOut_ = true;
                ex_ = lx, ey_ = ly;
                return;
            }
        }
        runs.push_back(static_cast<uint32_t>(pts.size() / 2));
        movedOut_ = false;
        Emit(x, y);
        sx_ = x, sy_ = y;
    }

    void Add(double x, double y) {
        if (std::fabs(x - ex_) < merge_ && std::fabs(y - ey_) < merge_) {
            qx_ = x, qy_ = y;
            pending_ = true;
            return;
        }
        Emit(x, y);
        pending_ = false;
        if (!movedOut_ && (std::fabs(x - sx_) >= merge_ || std::fabs(y - sy_) >= merge_))
            movedOut_ = true;
    }

    void Emit(double x, double y) {
        std::vector<float>& pts = out_.points[runStyle_];
        pts.push_back(static_cast<float>(x));
        pts.push_back(static_cast<float>(y));
        ex_ = x, ey_ = y;
    }

    PathDetail& out_;
    double merge_;
    bool cull_ = false;
    size_t gridW_ = 0, gridH_ = 0, words_ = 0;
    double x0_, y0_, x1_, y1_, gx0_, gy0_, gx1_, gy1_;
    int style_ = 0;     // the style of the moves coming
    int runStyle_ = 0;  // the style of the open polyline
    bool open_ = false, pending_ = false, movedOut_ = false;
    bool waiting_ = false;    // a new style that has not left its pixel yet
    double wx_ = 0, wy_ = 0;  // where it began
    double px_ = 0, py_ = 0;  // the end of the last piece
    double ex_ = 0, ey_ = 0;  // the last point written
    double qx_ = 0, qy_ = 0;  // a point within a pixel of it, not yet written
    double sx_ = 0, sy_ = 0;  // the first point of the polyline
};

// Draws the pieces into pixels, later moves over earlier ones; rapid moves dashed.
class RasterWriter {
public:
    RasterWriter(PathRaster& out, const DetailOptions& o) : out_(out) {
        out_.width = static_cast<int>(std::max(0.0, std::ceil(o.width)));
        out_.height = static_cast<int>(std::max(0.0, std::ceil(o.height)));
        out_.pixels.assign(static_cast<size_t>(out_.width) * static_cast<size_t>(out_.height), 0);
        w_ = out_.width;
        h_ = out_.height;
    }
    void Start(double x, double y) { px_ = x, py_ = y; }
    void SetStyle(int style) {
        if (style != style_) dash_ = 0;
        style_ = style;
        value_ = static_cast<uint8_t>(style + 1);
    }
    bool Visible(double minX, double minY, double maxX, double maxY) const {
        return !(maxX < 0 || minX > w_ || maxY < 0 || minY > h_);
    }
    bool Inside(double minX, double minY, double maxX, double maxY) const {
        return minX >= 0 && maxX <= w_ && minY >= 0 && maxY <= h_;
    }
    void Skip(double x, double y) { px_ = x, py_ = y; }
    void Finish() {}
    // A feed move seen end-on: a cross of five pixels.
    void Dot(double x, double y) {
        if (!(x >= 0 && y >= 0 && x < w_ && y < h_)) return;
        const int cx = static_cast<int>(x), cy = static_cast<int>(y);
        const uint8_t value = static_cast<uint8_t>(static_cast<int>(PathStyle::Feed) + 1);
        for (int k = -2; k <= 2; ++k) {
            if (cx + k >= 0 && cx + k < w_) out_.pixels[static_cast<size_t>(cy) * w_ + cx + k] = value;
            if (cy + k >= 0 && cy + k < h_) out_.pixels[static_cast<size_t>(cy + k) * w_ + cx] = value;
        }
    }

    void To(double x, double y) {
        double ax = px_, ay = py_, bx = x, by = y;
        px_ = x, py_ = y;
        // Within the picture at both ends (the usual piece), no clipping is needed.
        if (!(ax >= 0 && ay >= 0 && bx >= 0 && by >= 0 && ax < w_ && bx < w_ && ay < h_ &&
              by < h_) &&
            !Clip(ax, ay, bx, by))
            return;
        int x0 = static_cast<int>(ax), y0 = static_cast<int>(ay);
        int x1 = static_cast<int>(bx), y1 = static_cast<int>(by);
        x0 = std::min(x0, w_ - 1), x1 = std::min(x1, w_ - 1);
        y0 = std::min(y0, h_ - 1), y1 = std::min(y1, h_ - 1);
        uint8_t* px = out_.pixels.data();
        const bool dashed = style_ == static_cast<int>(PathStyle::Rapid);
        if (x0 == x1 && y0 == y1) {  // within one pixel: most pieces of a dense view
            if (!dashed || dash_ < 4) px[static_cast<size_t>(y0) * w_ + x0] = value_;
            return;
        }
        int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const ptrdiff_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? w_ : -static_cast<ptrdiff_t>(w_);
        int err = dx + dy;
        uint8_t* at = px + static_cast<size_t>(y0) * w_ + x0;
        const uint8_t value = value_;
        int steps = std::max(dx, -dy);
        if (!dashed) {
            for (int k = 0;; ++k) {
                *at = value;
                if (k == steps) break;
                int e2 = 2 * err;
                if (e2 >= dy) err += dy, at += sx;
                if (e2 <= dx) err += dx, at += sy;
            }
            return;
        }
        // Rapid moves: 4 pixels drawn, 3 left, carried on from piece to piece.
        unsigned dash = dash_;
        for (int k = 0;; ++k) {
            if (dash < 4) *at = value;
            if (k == steps) break;
            dash = dash == 6 ? 0 : dash + 1;
            int e2 = 2 * err;
            if (e2 >= dy) err += dy, at += sx;
            if (e2 <= dx) err += dx, at += sy;
        }
        dash_ = dash;
    }

private:
    bool Clip(double& ax, double& ay, double& bx, double& by) const {
        if (w_ <= 0 || h_ <= 0) return false;
        return ClipToBox(ax, ay, bx, by, 0, 0, w_ - 1e-6, h_ - 1e-6) && std::isfinite(ax) &&
               std::isfinite(ay) && std::isfinite(bx) && std::isfinite(by);
    }

    PathRaster& out_;
    int w_ = 0, h_ = 0;
    int style_ = -1;
    uint8_t value_ = 0;
    unsigned dash_ = 0;
    double px_ = 0, py_ = 0;
};

// Walks moves [first, end) in order, handing the writer their pieces on the screen. With an
// index, runs of moves whose box lies outside the view are passed over at once.
template <class Writer>
void Traverse(const Toolpath& path, const Projection& p, const DetailOptions& options,
              const MoveIndex* index, Writer& w, size_t first = 0, size_t end = SIZE_MAX) {
    end = std::min({end, options.endMove, path.size()});
    if (first >= end) return;
    double x, y;
    p.Apply(path.Start(first), x, y);
    w.Start(x, y);
    double lx = x, ly = y;  // the end of the move before, on the screen
    const double* xs = path.Xs();
    const double* ys = path.Ys();
    const double* zs = path.Zs();
    const uint8_t* flags = path.Flags();
    const double r0 = p.right[0] * p.scale, r1 = p.right[1] * p.scale, r2 = p.right[2] * p.scale;
    const double d0 = p.down[0] * p.scale, d1 = p.down[1] * p.scale, d2 = p.down[2] * p.scale;
    const bool skipping = index && options.width > 0 && options.height > 0;
    const size_t leafMoves = MoveIndex::kLeafMoves;
    size_t slot = first ? path.ArcSlot(first) : 0;  // the arcs come in the order of their moves
    for (size_t i = first; i < end;) {
        if (skipping && i % leafMoves == 0 && i + leafMoves <= end) {
            double minX, minY, maxX, maxY;
            index->LeafScreenBox(i / leafMoves, p, minX, minY, maxX, maxY);
            if (!w.Visible(minX, minY, maxX, maxY)) {
                size_t last = i + leafMoves - 1;
                for (size_t k = i; k <= last; ++k) slot += (flags[k] & 2) ? 1 : 0;
                lx = r0 * xs[last] + r1 * ys[last] + r2 * zs[last] + p.tx;
                ly = d0 * xs[last] + d1 * ys[last] + d2 * zs[last] + p.ty;
                w.Skip(lx, ly);
                i += leafMoves;
                continue;
            }
        }
        double ex = r0 * xs[i] + r1 * ys[i] + r2 * zs[i] + p.tx;
        double ey = d0 * xs[i] + d1 * ys[i] + d2 * zs[i] + p.ty;
        MoveKind kind = static_cast<MoveKind>(flags[i] & Toolpath::kKindMask);
        w.SetStyle(static_cast<int>(StyleOf(kind)));
        if (kind == MoveKind::Rapid || kind == MoveKind::Feed) w.To(ex, ey);
        else DrawArc(path, i, slot++, p, options.flatness, options.merge, w, ex, ey);
        // A feed straight into the screen (a drill seen from above) leaves a mark.
        if (kind == MoveKind::Feed && std::fabs(ex - lx) < 0.5 && std::fabs(ey - ly) < 0.5) {
            const double dx = xs[i] - (i ? xs[i - 1] : path.origin().x);
            const double dy = ys[i] - (i ? ys[i - 1] : path.origin().y);
            const double dz = zs[i] - (i ? zs[i - 1] : path.origin().z);
            if ((dx * dx + dy * dy + dz * dz) * p.scale * p.scale > 4) w.Dot(ex, ey);
        }
        lx = ex, ly = ey;
        ++i;
    }
    w.Finish();
}

template <class Writer>
void DrawArc(const Toolpath& path, size_t i, size_t slot, const Projection& p, double flatness,
             double merge, Writer& w, double ex, double ey) {
    // First the cheap tests: the circle outside the view, or the arc within a pixel.
    PlotPoint c = path.ArcCentre(slot);
    PlaneAxes ax = AxesOf(path.Plane(i));
    PlotPoint s = path.Start(i), e = path.End(i);
    double su = s[ax.first] - c[ax.first], sv = s[ax.second] - c[ax.second];
    double eu = e[ax.first] - c[ax.first], ev = e[ax.second] - c[ax.second];
    double r = std::sqrt(std::max(su * su + sv * sv, eu * eu + ev * ev)) * p.scale;
    double cx, cy;
    p.Apply(c, cx, cy);
    double dw = std::fabs(e[ax.normal] - s[ax.normal]) * p.scale;
    if (!w.Visible(cx - r - dw, cy - r - dw, cx + r + dw, cy + r + dw)) {
        w.Skip(ex, ey);
        return;
    }
    if (r < merge) {
        w.To(ex, ey);
        return;
    }
    ArcGeometry g = ArcOf(s, e, c, path.Plane(i), path.Kind(i), path.FullCircle(i));
    if (w.Inside(cx - r - dw, cy - r - dw, cx + r + dw, cy + r + dw)) {
        int n = ArcSegments(r, g.sweep, flatness);
        ArcPoints(g, n, [&](const PlotPoint& q) {
            double x, y;
            p.Apply(q, x, y);
            w.To(x, y);
        });
        w.To(ex, ey);
        return;
    }
    // Partly in view: halve the arc until each piece is flat enough or lies outside, so an
    // arc far larger than the view costs only the chords that show.
    double rMax = std::max(g.r0, g.r1) * p.scale;
    struct Piece {
        double t0, t1, x1, y1;
    };
    Piece stack[64];
    int top = 0;
    stack[top++] = Piece{0, 1, ex, ey};
    double x0 = 0, y0 = 0;
    p.Apply(s, x0, y0);
    while (top > 0) {
        Piece q = stack[--top];
        double half = 0.5 * std::fabs(g.sweep) * (q.t1 - q.t0);
        // How far the arc strays from its chord (within half a turn).
        double sag = half < kPi / 2 ? rMax * (1 - std::cos(half)) : rMax * 2;
        double spiral = std::fabs(g.r1 - g.r0) * p.scale * (q.t1 - q.t0);
        double reach = sag + spiral;
        if (!w.Visible(std::min(x0, q.x1) - reach, std::min(y0, q.y1) - reach,
                       std::max(x0, q.x1) + reach, std::max(y0, q.y1) + reach)) {
            w.Skip(q.x1, q.y1);
        } else if (reach <= flatness || top >= 62 || q.t1 - q.t0 < 1e-9) {
            w.To(q.x1, q.y1);
        } else {
            double tm = 0.5 * (q.t0 + q.t1), xm, ym;
            p.Apply(ArcPointAt(g, tm), xm, ym);
            stack[top++] = Piece{tm, q.t1, q.x1, q.y1};
            stack[top++] = Piece{q.t0, tm, xm, ym};
            continue;
        }
        x0 = q.x1, y0 = q.y1;
    }
}
}  // namespace

Projection ViewProjection(PlotView view, bool lathe, double yawDegrees, double pitchDegrees) {
    Projection p;
    switch (view) {
        case PlotView::XY: SetRows(p, 1, 0, 0, 0, -1, 0); break;
        case PlotView::XZ:
            if (lathe) SetRows(p, 0, 0, 1, -1, 0, 0);
            else SetRows(p, 1, 0, 0, 0, 0, -1);
            break;
        case PlotView::YZ: SetRows(p, 0, 1, 0, 0, 0, -1); break;
        case PlotView::Orbit: {
            double y = yawDegrees * kPi / 180, t = pitchDegrees * kPi / 180;
            double cy = std::cos(y), sy = std::sin(y), ct = std::cos(t), st = std::sin(t);
            SetRows(p, cy, -sy, 0, -ct * sy, -ct * cy, st);
            break;
        }
    }
    return p;
}

void ProjectBox(const Projection& p, const PlotBox& box, double& minX, double& minY, double& maxX,
                double& maxY) {
    minX = minY = maxX = maxY = 0;
    if (box.empty) return;
    bool first = true;
    for (int k = 0; k < 8; ++k) {
        PlotPoint c{(k & 1) ? box.max.x : box.min.x, (k & 2) ? box.max.y : box.min.y,
                    (k & 4) ? box.max.z : box.min.z};
        double x, y;
        p.Apply(c, x, y);
        if (first) {
            minX = maxX = x, minY = maxY = y;
            first = false;
        }
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
}

void FitProjection(Projection& p, const PlotBox& box, double width, double height, double margin) {
    p.scale = 1;
    p.tx = p.ty = 0;
    double minX, minY, maxX, maxY;
    ProjectBox(p, box, minX, minY, maxX, maxY);
    double w = std::max(width - 2 * margin, 1.0), h = std::max(height - 2 * margin, 1.0);
    double bw = maxX - minX, bh = maxY - minY;
    double scale;
    if (bw <= 0 && bh <= 0) scale = 1;
    else if (bw <= 0) scale = h / bh;
    else if (bh <= 0) scale = w / bw;
    else scale = std::min(w / bw, h / bh);
    if (!(scale > 0) || !std::isfinite(scale)) scale = 1;
    p.scale = scale;
    p.tx = width / 2 - scale * (minX + maxX) / 2;
    p.ty = height / 2 - scale * (minY + maxY) / 2;
}

void ZoomAbout(Projection& p, double factor, double sx, double sy) {
    if (!(factor > 0) || !std::isfinite(factor)) return;
    p.scale *= factor;
    p.tx = sx - (sx - p.tx) * factor;
    p.ty = sy - (sy - p.ty) * factor;
}

void Pan(Projection& p, double dx, double dy) {
    p.tx += dx;
    p.ty += dy;
}

Projection TurnedAbout(const Projection& p, double yawDegrees, double pitchDegrees,
                       const PlotPoint& fixed) {
    double sx, sy;
    p.Apply(fixed, sx, sy);
    Projection turned = ViewProjection(PlotView::Orbit, false, yawDegrees, pitchDegrees);
    turned.scale = p.scale;
    double x0, y0;
    turned.Apply(fixed, x0, y0);
    turned.tx = sx - x0;
    turned.ty = sy - y0;
    return turned;
}

void PathDetail::Clear() {
    for (int s = 0; s < kPathStyles; ++s) {
        points[s].clear();
        runs[s].clear();
    }
    dots.clear();
}

void PathDetail::Run(int style, size_t k, size_t& first, size_t& end) const {
    first = runs[style][k];
    end = k + 1 < runs[style].size() ? runs[style][k + 1] : points[style].size() / 2;
}

void BuildDetail(const Toolpath& path, const Projection& p, const DetailOptions& options,
                 PathDetail& out, const MoveIndex* index) {
    out.Clear();
    DetailWriter w(out, options);
    Traverse(path, p, options, index, w);
}

void BuildRaster(const Toolpath& path, const Projection& p, const DetailOptions& options,
                 PathRaster& out, const MoveIndex* index) {
    const size_t end = std::min(options.endMove, path.size());
    const size_t parts =
        std::min<size_t>({options.threads, 8, std::max<size_t>(1, end / kMovesPerThread)});
    RasterWriter w(out, options);
    if (parts <= 1) {
        Traverse(path, p, options, index, w);
        return;
    }
    // The moves in runs, each drawn into pixels of its own on a thread of its own; then the
    // later runs over the earlier ones, as one walk would have drawn them.
    const size_t leaves = (end + MoveIndex::kLeafMoves - 1) / MoveIndex::kLeafMoves;
    auto firstOf = [&](size_t k) { return std::min(end, leaves * k / parts * MoveIndex::kLeafMoves); };
    std::vector<PathRaster> later(parts - 1);
    std::vector<std::thread> threads;
    threads.reserve(parts - 1);
    for (size_t k = 1; k < parts; ++k)
        threads.emplace_back([&, k] {
            RasterWriter own(later[k - 1], options);
            Traverse(path, p, options, index, own, firstOf(k), firstOf(k + 1));
        });
    Traverse(path, p, options, index, w, 0, firstOf(1));
    for (std::thread& t : threads) t.join();
    uint8_t* px = out.pixels.data();
    const size_t n = out.pixels.size();
    for (const PathRaster& r : later) {
        const uint8_t* q = r.pixels.data();
        for (size_t i = 0; i < n; ++i) px[i] = q[i] ? q[i] : px[i];
    }
}

void BuildMovesDetail(const Toolpath& path, const Projection& p, std::span<const uint32_t> moves,
                      PathDetail& out, double flatness) {
    out.Clear();
    for (uint32_t i : moves) {
        if (i >= path.size()) continue;
        int style = static_cast<int>(StyleOf(path.Kind(i)));
        std::vector<float>& pts = out.points[style];
        out.runs[style].push_back(static_cast<uint32_t>(pts.size() / 2));
        auto add = [&](const PlotPoint& q) {
            double x, y;
            p.Apply(q, x, y);
            pts.push_back(static_cast<float>(x));
            pts.push_back(static_cast<float>(y));
        };
        add(path.Start(i));
        if (path.IsArc(i)) {
            ArcGeometry g = ArcOfMove(path, i);
            int n = ArcSegments(std::max(g.r0, g.r1) * p.scale, g.sweep, flatness);
            ArcPoints(g, n, add);
        }
        add(path.End(i));
    }
}

void BuildStockDetail(const Toolpath& path, const Projection& p, PathDetail& out) {
    out.Clear();
    const PlotBox& b = path.stock;
    if (b.empty) return;
    auto corner = [&](int k) {
        return PlotPoint{(k & 1) ? b.max.x : b.min.x, (k & 2) ? b.max.y : b.min.y,
                         (k & 4) ? b.max.z : b.min.z};
    };
    const int style = static_cast<int>(PathStyle::Feed);
    for (int k = 0; k < 8; ++k) {
        for (int bit = 1; bit < 8; bit <<= 1) {
            if (k & bit) continue;  // each edge once, from its lower corner
            out.runs[style].push_back(static_cast<uint32_t>(out.points[style].size() / 2));
            for (int c : {k, k | bit}) {
                double x, y;
                p.Apply(corner(c), x, y);
                out.points[style].push_back(static_cast<float>(x));
                out.points[style].push_back(static_cast<float>(y));
            }
        }
    }
}
