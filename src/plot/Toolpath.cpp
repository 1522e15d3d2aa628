#include "plot/Toolpath.h"

#include <algorithm>
#include <charconv>
#include <cmath>

int PlaneNumber(ArcPlane plane) { return 17 + static_cast<int>(plane); }

void PlotBox::Add(const PlotPoint& p) {
    if (empty) {
        min = max = p;
        empty = false;
        return;
    }
    min.x = std::min(min.x, p.x);
    min.y = std::min(min.y, p.y);
    min.z = std::min(min.z, p.z);
    max.x = std::max(max.x, p.x);
    max.y = std::max(max.y, p.y);
    max.z = std::max(max.z, p.z);
}

void PlotBox::Add(const PlotBox& b) {
    if (b.empty) return;
    Add(b.min);
    Add(b.max);
}

PlotPoint PlotBox::Centre() const {
    if (empty) return PlotPoint{};
    return PlotPoint{(min.x + max.x) / 2, (min.y + max.y) / 2, (min.z + max.z) / 2};
}

std::string NoteLine(const PlotNote& note) {
    return "Linje " + std::to_string(note.line) + ": " + note.text;
}

size_t Toolpath::ArcSlot(size_t move) const {
    auto it = std::lower_bound(arcMove_.begin(), arcMove_.end(), static_cast<uint32_t>(move));
    return static_cast<size_t>(it - arcMove_.begin());
}

PlotPoint Toolpath::Centre(size_t i) const {
    size_t slot = ArcSlot(i);
    if (slot >= arcMove_.size() || arcMove_[slot] != i) return End(i);
    return ArcCentre(slot);
}

uint32_t Toolpath::FlowLine(size_t i) const {
    auto it = std::upper_bound(callRuns_.begin(), callRuns_.end(), static_cast<uint32_t>(i),
                               [](uint32_t m, const CallRun& r) { return m < r.first; });
    if (it != callRuns_.begin() && i < (it - 1)->end) return (it - 1)->line;
    return line_[i];
}

void Toolpath::NoteCall() {
    uint32_t i = static_cast<uint32_t>(line_.size() - 1);
    if (!callRuns_.empty() && callRuns_.back().end == i && callRuns_.back().line == callLine_)
        ++callRuns_.back().end;
    else
        callRuns_.push_back(CallRun{i, i + 1, callLine_});
}

size_t Toolpath::MemoryBytes() const {
    return (x_.capacity() + y_.capacity() + z_.capacity() + cx_.capacity() + cy_.capacity() +
            cz_.capacity()) * sizeof(double) +
           (line_.capacity() + arcMove_.capacity()) * sizeof(uint32_t) + flags_.capacity() +
           notes.capacity() * sizeof(PlotNote) + tools.capacity() * sizeof(ToolUse) +
           dwells.capacity() * sizeof(Dwell) + callRuns_.capacity() * sizeof(CallRun);
}

void Toolpath::Reserve(size_t moves) {
    x_.reserve(moves);
    y_.reserve(moves);
    z_.reserve(moves);
    line_.reserve(moves);
    flags_.reserve(moves);
}

void Toolpath::AddMove(MoveKind kind, const PlotPoint& end, uint32_t line) {
    x_.push_back(end.x);
    y_.push_back(end.y);
    z_.push_back(end.z);
    line_.push_back(line);
    flags_.push_back(static_cast<uint8_t>(kind));
    if (callLine_) NoteCall();
}

void Toolpath::AddArc(MoveKind kind, ArcPlane plane, const PlotPoint& end, const PlotPoint& centre,
                      bool full, uint32_t line) {
    arcMove_.push_back(static_cast<uint32_t>(line_.size()));
    cx_.push_back(centre.x);
    cy_.push_back(centre.y);
    cz_.push_back(centre.z);
    x_.push_back(end.x);
    y_.push_back(end.y);
    z_.push_back(end.z);
    line_.push_back(line);
    flags_.push_back(static_cast<uint8_t>(static_cast<uint8_t>(kind) |
                                          (static_cast<uint8_t>(plane) << 2) |
                                          (full ? kFullBit : 0)));
    if (callLine_) NoteCall();
}

void Toolpath::SetLastEnd(const PlotPoint& end) {
    if (line_.empty()) return;
    x_.back() = end.x;
    y_.back() = end.y;
    z_.back() = end.z;
}

void Toolpath::SetAxisEverywhere(int axis, double v) {
    std::vector<double>& a = axis == 0 ? x_ : axis == 1 ? y_ : z_;
    std::vector<double>& c = axis == 0 ? cx_ : axis == 1 ? cy_ : cz_;
    std::fill(a.begin(), a.end(), v);
    std::fill(c.begin(), c.end(), v);
    origin_[axis] = v;
}

void Toolpath::ShrinkToFit() {
    // Only worth a copy when much of the room is unused.
    if (line_.capacity() > line_.size() + line_.size() / 4 + 1024) {
        x_.shrink_to_fit();
        y_.shrink_to_fit();
        z_.shrink_to_fit();
        line_.shrink_to_fit();
        flags_.shrink_to_fit();
    }
    if (arcMove_.capacity() > arcMove_.size() + arcMove_.size() / 4 + 1024) {
        arcMove_.shrink_to_fit();
        cx_.shrink_to_fit();
        cy_.shrink_to_fit();
        cz_.shrink_to_fit();
    }
}

void AppendFixed(std::string& out, double v, int decimals) {
    char buf[64];
    if (!std::isfinite(v) || std::fabs(v) >= 1e40) v = 0;  // never stored; kept out of reach
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    const char* b = buf;
    if (buf[0] == '-') {
        bool zero = true;
        for (const char* p = buf + 1; p < res.ptr; ++p)
            if (*p != '0' && *p != '.') zero = false;
        if (zero) ++b;
    }
    out.append(b, static_cast<size_t>(res.ptr - b));
}

void AppendMoveText(const Toolpath& path, size_t i, std::string& out) {
    static const char* const kKinds[] = {"G0", "G1", "G2", "G3"};
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, path.Line(i));
    out.append(buf, res.ptr);
    out += '\t';
    out += kKinds[static_cast<int>(path.Kind(i))];
    PlotPoint e = path.End(i);
    for (int a = 0; a < 3; ++a) {
        out += '\t';
        AppendFixed(out, e[a], 4);
    }
    if (path.IsArc(i)) {
        PlotPoint c = path.Centre(i);
        for (int a = 0; a < 3; ++a) {
            out += '\t';
            AppendFixed(out, c[a], 4);
        }
        out += '\t';
        out += std::to_string(PlaneNumber(path.Plane(i)));
    }
    out += '\n';
}

// ---------------------------------------------------------------- arc geometry
namespace {
constexpr double kTwoPi = 6.283185307179586476925286766559;
}  // namespace

double ArcSweep(double su, double sv, double eu, double ev, bool ccw, bool full) {
    if (full) return ccw ? kTwoPi : -kTwoPi;
    double a = std::atan2(su * ev - sv * eu, su * eu + sv * ev);  // (-pi, pi]
    double s = ccw ? (a >= 0 ? a : a + kTwoPi) : (a <= 0 ? -a : kTwoPi - a);
    return ccw ? s : -s;
}

double ArcGeometry::StartAngle() const { return std::atan2(s0, c0); }

ArcGeometry ArcOf(const PlotPoint& start, const PlotPoint& end, const PlotPoint& centre,
                  ArcPlane plane, MoveKind kind, bool full) {
    ArcGeometry g;
    g.axes = AxesOf(plane);
    int u = g.axes.first, v = g.axes.second, w = g.axes.normal;
    g.cu = centre[u];
    g.cv = centre[v];
    double su = start[u] - g.cu, sv = start[v] - g.cv;
    double eu = end[u] - g.cu, ev = end[v] - g.cv;
    g.r0 = std::sqrt(su * su + sv * sv);
    g.r1 = std::sqrt(eu * eu + ev * ev);
    if (g.r0 > 0) {
        g.c0 = su / g.r0;
        g.s0 = sv / g.r0;
    } else if (g.r1 > 0) {
        g.c0 = eu / g.r1;  // from the centre itself: set off towards the end
        g.s0 = ev / g.r1;
    }
    g.sweep = ArcSweep(su, sv, eu, ev, kind == MoveKind::ArcCcw, full);
    g.w0 = start[w];
    g.w1 = end[w];
    return g;
}

ArcGeometry ArcOfMove(const Toolpath& path, size_t i) {
    return ArcOf(path.Start(i), path.End(i), path.Centre(i), path.Plane(i), path.Kind(i),
                 path.FullCircle(i));
}

ArcGeometry ArcOfSlot(const Toolpath& path, size_t i, size_t slot) {
    return ArcOf(path.Start(i), path.End(i), path.ArcCentre(slot), path.Plane(i), path.Kind(i),
                 path.FullCircle(i));
}

PlotPoint ArcPointAt(const ArcGeometry& g, double t) {
    double a = g.sweep * t;
    double ca = std::cos(a), sa = std::sin(a);
    double r = g.r0 + (g.r1 - g.r0) * t;
    PlotPoint p;
    p[g.axes.first] = g.cu + r * (g.c0 * ca - g.s0 * sa);
    p[g.axes.second] = g.cv + r * (g.s0 * ca + g.c0 * sa);
    p[g.axes.normal] = g.w0 + (g.w1 - g.w0) * t;
    return p;
}

double ArcLength(const ArcGeometry& g) {
    double planar = std::fabs(g.sweep) * 0.5 * (g.r0 + g.r1);
    return std::hypot(planar, g.w1 - g.w0);
}

PlotBox CircleBox(const ArcGeometry& g) {
    double r = std::max(g.r0, g.r1);
    PlotPoint lo, hi;
    lo[g.axes.first] = g.cu - r;
    hi[g.axes.first] = g.cu + r;
    lo[g.axes.second] = g.cv - r;
    hi[g.axes.second] = g.cv + r;
    lo[g.axes.normal] = std::min(g.w0, g.w1);
    hi[g.axes.normal] = std::max(g.w0, g.w1);
    PlotBox b;
    b.Add(lo);
    b.Add(hi);
    return b;
}

PlotBox ArcBox(const ArcGeometry& g) {
    PlotBox box;
    box.Add(ArcPointAt(g, 0));
    box.Add(ArcPointAt(g, 1));
    double s = std::fabs(g.sweep);
    if (s <= 0) return box;
    // The quarter angles the arc passes: where the circle reaches out furthest along an axis.
    constexpr double kQuarter = kTwoPi / 4;
    double a0 = g.StartAngle();
    double dir = g.sweep > 0 ? 1 : -1;
    double k = std::floor(a0 / kQuarter);
    for (int n = 0; n < 6; ++n) {
        double q = (dir > 0 ? (k + 1 + n) : (k - n)) * kQuarter;
        if (dir < 0 && q == a0) continue;
        double t = (q - a0) * dir / s;
        if (t <= 0) continue;
        if (t >= 1) break;
        box.Add(ArcPointAt(g, t));
    }
    return box;
}
