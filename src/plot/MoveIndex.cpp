#include "plot/MoveIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr float kFloatMax = std::numeric_limits<float>::max();

double SegmentDistance(double ax, double ay, double bx, double by, double px, double py) {
    double dx = bx - ax, dy = by - ay;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(ax + t * dx - px, ay + t * dy - py);
}

// Float boxes rounded outwards, so that they hold the double points they were made from.
float Down(double v) {
    float f = static_cast<float>(v);
    return static_cast<double>(f) > v ? std::nextafter(f, -kFloatMax) : f;
}
float Up(double v) {
    float f = static_cast<float>(v);
    return static_cast<double>(f) < v ? std::nextafter(f, kFloatMax) : f;
}
}  // namespace

void MoveIndex::Build(const Toolpath& path) {
    path_ = &path;
    size_t n = path.size();
    const uint32_t* lines = path.Lines();

    // Moves by line: most programs run down their lines, so the order is there already.
    byLine_.resize(n);
    bool sorted = true;
    uint32_t maxLine = 0;
    for (size_t i = 0; i < n; ++i) {
        byLine_[i] = static_cast<uint32_t>(i);
        if (i > 0 && lines[i] < lines[i - 1]) sorted = false;
        maxLine = std::max(maxLine, lines[i]);
    }
    if (!sorted) {
        std::vector<uint32_t> start(static_cast<size_t>(maxLine) + 2, 0);
        for (size_t i = 0; i < n; ++i) ++start[lines[i] + 1];
        for (size_t l = 1; l < start.size(); ++l) start[l] += start[l - 1];
        for (size_t i = 0; i < n; ++i) byLine_[start[lines[i]]++] = static_cast<uint32_t>(i);
    }

    // Boxes over runs of moves that follow one another: they lie close together.
    levels_.clear();
    std::vector<Box> leaves((n + kLeafMoves - 1) / kLeafMoves);
    size_t slot = 0;
    for (size_t leaf = 0; leaf < leaves.size(); ++leaf) {
        PlotBox b;
        size_t first = leaf * kLeafMoves, end = std::min(n, first + kLeafMoves);
        for (size_t i = first; i < end; ++i) {
            b.Add(path.Start(i));
            b.Add(path.End(i));
            if (path.IsArc(i)) b.Add(CircleBox(ArcOfSlot(path, i, slot++)));
        }
        Box& box = leaves[leaf];
        for (int a = 0; a < 3; ++a) {
            box.min[a] = Down(b.min[a]);
            box.max[a] = Up(b.max[a]);
        }
    }
    levels_.push_back(std::move(leaves));
    while (levels_.back().size() > 1) {
        const std::vector<Box>& below = levels_.back();
        std::vector<Box> up((below.size() + 1) / 2);
        for (size_t k = 0; k < up.size(); ++k) {
            up[k] = below[2 * k];
            if (2 * k + 1 < below.size()) {
                const Box& o = below[2 * k + 1];
                for (int a = 0; a < 3; ++a) {
                    up[k].min[a] = std::min(up[k].min[a], o.min[a]);
                    up[k].max[a] = std::max(up[k].max[a], o.max[a]);
                }
            }
        }
        levels_.push_back(std::move(up));
    }
}

std::span<const uint32_t> MoveIndex::MovesOfLine(uint32_t line) const {
    if (!path_) return {};
    const uint32_t* lines = path_->Lines();
    auto lo = std::lower_bound(byLine_.begin(), byLine_.end(), line,
                               [&](uint32_t move, uint32_t l) { return lines[move] < l; });
    auto hi = std::upper_bound(lo, byLine_.end(), line,
                               [&](uint32_t l, uint32_t move) { return l < lines[move]; });
    return std::span<const uint32_t>(byLine_.data() + (lo - byLine_.begin()),
                                     static_cast<size_t>(hi - lo));
}

size_t MoveIndex::MovesUpToLine(uint32_t line) const {
    if (!path_) return 0;
    // The first move whose line of the main program lies beyond the line.
    size_t lo = 0, hi = path_->size();
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (path_->FlowLine(mid) <= line) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

namespace {
// The box's shadow on the screen: its centre plus the reach of its half sizes.
template <class B>
void ShadowOf(const Projection& p, const B& b, double& cx, double& cy, double& hx, double& hy) {
    double c[3], h[3];
    for (int a = 0; a < 3; ++a) {
        c[a] = 0.5 * (static_cast<double>(b.min[a]) + b.max[a]);
        h[a] = 0.5 * (static_cast<double>(b.max[a]) - b.min[a]);
    }
    p.Apply(PlotPoint{c[0], c[1], c[2]}, cx, cy);
    hx = p.scale * (std::fabs(p.right[0]) * h[0] + std::fabs(p.right[1]) * h[1] +
                    std::fabs(p.right[2]) * h[2]);
    hy = p.scale * (std::fabs(p.down[0]) * h[0] + std::fabs(p.down[1]) * h[1] +
                    std::fabs(p.down[2]) * h[2]);
}
}  // namespace

void MoveIndex::LeafScreenBox(size_t leaf, const Projection& p, double& minX, double& minY,
                              double& maxX, double& maxY) const {
    double cx, cy, hx, hy;
    ShadowOf(p, levels_[0][leaf], cx, cy, hx, hy);
    minX = cx - hx, maxX = cx + hx, minY = cy - hy, maxY = cy + hy;
}

double MoveIndex::BoxDistance(const Projection& p, const Box& b, double sx, double sy) const {
    double cx, cy, hx, hy;
    ShadowOf(p, b, cx, cy, hx, hy);
    double dx = std::max(0.0, std::fabs(sx - cx) - hx);
    double dy = std::max(0.0, std::fabs(sy - cy) - hy);
    return std::sqrt(dx * dx + dy * dy);
}

double MoveIndex::Distance(const Projection& p, size_t i, double sx, double sy) const {
    double ax, ay, bx, by;
    p.Apply(path_->Start(i), ax, ay);
    p.Apply(path_->End(i), bx, by);
    if (!path_->IsArc(i)) return SegmentDistance(ax, ay, bx, by, sx, sy);
    ArcGeometry g = ArcOfMove(*path_, i);
    double r = std::max(g.r0, g.r1) * p.scale;
    int n = 1;
    if (r > 0.25) {
        double step = 2 * std::acos(1 - 0.25 / r);
        n = static_cast<int>(std::min(4096.0, std::ceil(std::fabs(g.sweep) / step)));
        if (n < 1) n = 1;
    }
    double best = std::numeric_limits<double>::infinity();
    double lx = ax, ly = ay;
    for (int k = 1; k <= n; ++k) {
        double x, y;
        if (k == n) {
            x = bx, y = by;
        } else {
            p.Apply(ArcPointAt(g, static_cast<double>(k) / n), x, y);
        }
        best = std::min(best, SegmentDistance(lx, ly, x, y, sx, sy));
        lx = x, ly = y;
    }
    return best;
}

template <class Visit>
void MoveIndex::Descend(size_t end, Visit visit) const {
    struct Item {
        size_t level, index;
    };
    std::vector<Item> stack;
    stack.push_back(Item{levels_.size() - 1, 0});
    while (!stack.empty()) {
        Item it = stack.back();
        stack.pop_back();
        const std::vector<Box>& level = levels_[it.level];
        if (it.index >= level.size()) continue;
        const size_t first = it.index * (kLeafMoves << it.level);  // the node's first move
        if (first >= end) continue;
        if (!visit(it.level, level[it.index], first) || it.level == 0) continue;
        // The later half is looked at first.
        stack.push_back(Item{it.level - 1, 2 * it.index});
        stack.push_back(Item{it.level - 1, 2 * it.index + 1});
    }
}

long long MoveIndex::Pick(const Projection& p, double sx, double sy, double tolerance,
                          size_t endMove) const {
    if (!path_ || levels_.empty() || path_->empty()) return -1;
    const size_t end = std::min(endMove, path_->size());
    long long best = -1;
    double bestDistance = tolerance;
    Descend(end, [&](size_t level, const Box& box, size_t first) {
        if (BoxDistance(p, box, sx, sy) > bestDistance) return false;
        if (level > 0) return true;
        // Of moves equally near, the later one wins.
        const size_t last = std::min(end, first + kLeafMoves);
        for (size_t i = first; i < last; ++i) {
            double d = Distance(p, i, sx, sy);
            if (d < bestDistance || (d == bestDistance && static_cast<long long>(i) > best)) {
                bestDistance = d;
                best = static_cast<long long>(i);
            }
        }
        return false;
    });
    return best;
}

size_t MoveIndex::MovesInView(const Projection& p, double width, double height,
                              size_t endMove) const {
    if (!path_ || levels_.empty() || path_->empty()) return 0;
    const size_t end = std::min(endMove, path_->size());
    size_t count = 0;
    Descend(end, [&](size_t level, const Box& box, size_t first) {
        double cx, cy, hx, hy;
        ShadowOf(p, box, cx, cy, hx, hy);
        if (cx + hx < 0 || cx - hx > width || cy + hy < 0 || cy - hy > height) return false;
        const bool inside = cx - hx >= 0 && cx + hx <= width && cy - hy >= 0 && cy + hy <= height;
        if (!inside && level > 0) return true;
        count += std::min(end, first + (kLeafMoves << level)) - first;
        return false;
    });
    return count;
}

size_t MoveIndex::MemoryBytes() const {
    size_t bytes = byLine_.capacity() * sizeof(uint32_t);
    for (const auto& l : levels_) bytes += l.capacity() * sizeof(Box);
    return bytes;
}
