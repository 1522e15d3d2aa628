#include "convert/ContourOrder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <numbers>
#include <unordered_map>

namespace {

struct Contour {
    std::vector<Piece> pieces;
    bool closed = false;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    std::vector<NcPoint> outline;  // closed contours: the boundary as a polygon
    NcPoint probe;                 // a point of the contour, for the inside test
};

double Dist2(const NcPoint& a, const NcPoint& b) {
    double dx = a.x - b.x, dy = a.y - b.y;
    return dx * dx + dy * dy;
}

// The point where the writer starts a piece that stands alone.
NcPoint Entry(const Piece& p) {
    if (p.kind == Piece::Kind::Circle) return NcPoint{p.centre.x + p.radius, p.centre.y, p.centre.z};
    return p.From();
}

struct CellKey {
    int64_t x, y;
    bool operator==(const CellKey& o) const { return x == o.x && y == o.y; }
};
struct CellHash {
    size_t operator()(const CellKey& k) const {
        return std::hash<int64_t>()(k.x * 0x9E3779B97F4A7C15LL ^ k.y);
    }
};

// Cells as wide as the writer's same-point reach: ends that meet lie in neighbouring cells.
bool CellOf(const NcPoint& p, double cell, CellKey& key) {
    double fx = std::floor(p.x / cell), fy = std::floor(p.y / cell);
    if (!(std::fabs(fx) < 1e15) || !(std::fabs(fy) < 1e15)) return false;
    key = CellKey{static_cast<int64_t>(fx), static_cast<int64_t>(fy)};
    return true;
}

class Joiner {
public:
    Joiner(const std::vector<Piece>& pieces, const NcWriter& writer) : pieces_(pieces), writer_(writer) {
        cell_ = std::max(writer.SamePointReach(), 1e-9);
        used_.assign(pieces.size(), false);
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (!Chainable(pieces[i])) continue;
            Insert(pieces[i].a, i);
            Insert(pieces[i].b, i);
        }
    }

    std::vector<Contour> Join() {
        std::vector<Contour> out;
        for (size_t i = 0; i < pieces_.size(); ++i) {
            if (used_[i]) continue;
            used_[i] = true;
            Contour c;
            if (!Chainable(pieces_[i])) {
                c.pieces.push_back(pieces_[i]);
                c.closed = pieces_[i].kind == Piece::Kind::Circle;
                out.push_back(std::move(c));
                continue;
            }
            std::deque<Piece> chain{pieces_[i]};
            Piece next;
            while (Take(chain.back().To(), true, next)) chain.push_back(next);
            while (Take(chain.front().From(), false, next)) chain.push_front(next);
            c.pieces.assign(chain.begin(), chain.end());
            c.closed = c.pieces.size() >= 2 && writer_.SamePoint(c.pieces.back().To(), c.pieces.front().From());
            out.push_back(std::move(c));
        }
        return out;
    }

private:
    static bool Chainable(const Piece& p) { return p.kind == Piece::Kind::Line || p.kind == Piece::Kind::Arc; }

    void Insert(const NcPoint& p, size_t i) {
        CellKey k;
        if (CellOf(p, cell_, k)) cells_[k].push_back(i);
    }

    // An unused piece with an end at p, turned so that it starts at p (forward) or ends at p.
    // Where several meet, the one first in the file goes on (the drawing's own order wins at a
    // junction); a crowded point is settled among the first few that fit.
    bool Take(const NcPoint& p, bool forward, Piece& out) {
        constexpr int kEnough = 64;
        CellKey k;
        if (!CellOf(p, cell_, k)) return false;
        size_t best = pieces_.size();
        bool bestReversed = false;
        int fitting = 0;
        for (int64_t dx = -1; dx <= 1 && fitting < kEnough; ++dx) {
            for (int64_t dy = -1; dy <= 1 && fitting < kEnough; ++dy) {
                auto it = cells_.find(CellKey{k.x + dx, k.y + dy});
                if (it == cells_.end()) continue;
                auto& cell = it->second;
                for (size_t c = 0; c < cell.size() && fitting < kEnough;) {
                    size_t j = cell[c];
                    if (used_[j]) {  // taken already: out of the cell, so crowded cells stay quick
                        cell[c] = cell.back();
                        cell.pop_back();
                        continue;
                    }
                    ++c;
                    const Piece& q = pieces_[j];
                    bool straight = writer_.SamePoint(p, forward ? q.From() : q.To());
                    bool reversed = !straight && writer_.SamePoint(p, forward ? q.To() : q.From());
                    if (!straight && !reversed) continue;
                    ++fitting;
                    if (j < best) best = j, bestReversed = reversed;
                }
            }
        }
        if (best == pieces_.size()) return false;
        used_[best] = true;
        out = pieces_[best];
        if (bestReversed) out.Reverse();
        return true;
    }

    const std::vector<Piece>& pieces_;
    const NcWriter& writer_;
    double cell_ = 0.1;
    std::vector<bool> used_;
    std::unordered_map<CellKey, std::vector<size_t>, CellHash> cells_;
};

void AddArcOutline(std::vector<NcPoint>& out, const NcPoint& a, const NcPoint& b, const NcPoint& c, bool full,
                   bool clockwise) {
    double r = std::hypot(a.x - c.x, a.y - c.y);
    double a0 = std::atan2(a.y - c.y, a.x - c.x), a1 = std::atan2(b.y - c.y, b.x - c.x);
    double sweep = a1 - a0;
    while (sweep <= 0) sweep += 2 * std::numbers::pi;
    if (full) sweep = 2 * std::numbers::pi;
    int n = std::clamp(static_cast<int>(sweep / (std::numbers::pi / 16)) + 1, 2, 64);
    std::vector<NcPoint> pts;
    for (int k = 0; k < n; ++k) {
        double u = a0 + sweep * k / n;
        pts.push_back(NcPoint{c.x + r * std::cos(u), c.y + r * std::sin(u), c.z});
    }
    if (clockwise) {
        pts.push_back(b);
        std::reverse(pts.begin(), pts.end());
        pts.pop_back();
    }
    out.insert(out.end(), pts.begin(), pts.end());
}

void Describe(Contour& c, const NcWriter& writer) {
    c.minX = c.minY = std::numeric_limits<double>::infinity();
    c.maxX = c.maxY = -std::numeric_limits<double>::infinity();
    auto grow = [&](const NcPoint& p) {
        c.minX = std::min(c.minX, p.x);
        c.maxX = std::max(c.maxX, p.x);
        c.minY = std::min(c.minY, p.y);
        c.maxY = std::max(c.maxY, p.y);
    };
    const Piece& first = c.pieces.front();
    c.probe = Entry(first);
    if (first.kind == Piece::Kind::Circle) {
        double r = std::fabs(first.radius);
        grow(NcPoint{first.centre.x - r, first.centre.y - r, 0});
        grow(NcPoint{first.centre.x + r, first.centre.y + r, 0});
        AddArcOutline(c.outline, c.probe, c.probe, first.centre, true, false);
        return;
    }
    for (const Piece& p : c.pieces) {
        if (p.kind == Piece::Kind::Arc) {
            size_t from = c.outline.size();
            AddArcOutline(c.outline, p.a, p.b, p.centre, writer.SamePoint(p.a, p.b), p.clockwise);
            for (size_t i = from; i < c.outline.size(); ++i) grow(c.outline[i]);
        } else {
            c.outline.push_back(p.From());
        }
        grow(p.From());
        grow(p.To());
    }
    if (!c.closed) c.outline.clear();
}

bool InsidePolygon(const NcPoint& p, const std::vector<NcPoint>& poly) {
    bool inside = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const NcPoint &a = poly[i], &b = poly[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside;
}

double Area(const Contour& c) { return (c.maxX - c.minX) * (c.maxY - c.minY); }

bool FiniteBox(const Contour& c) {
    return std::isfinite(c.minX) && std::isfinite(c.maxX) && std::isfinite(c.minY) && std::isfinite(c.maxY);
}

bool Inside(const Contour& inner, const Contour& outer) {
    if (!outer.closed || outer.outline.size() < 3) return false;
    if (inner.minX < outer.minX || inner.maxX > outer.maxX || inner.minY < outer.minY || inner.maxY > outer.maxY)
        return false;
    if (!(Area(inner) < Area(outer))) return false;
    return InsidePolygon(inner.probe, outer.outline);
}

// A uniform grid of cells over a box, about as many cells as items.
class Grid {
public:
    Grid() = default;
    Grid(double minX, double minY, double maxX, double maxY, size_t items) {
        size_t n = std::clamp<size_t>(static_cast<size_t>(std::ceil(std::sqrt(static_cast<double>(items)))), 1, 1024);
        nx_ = ny_ = n;
        minX_ = minX;
        minY_ = minY;
        cw_ = (maxX - minX) / n;
        ch_ = (maxY - minY) / n;
        if (!(cw_ > 0) || !std::isfinite(cw_)) cw_ = 1;
        if (!(ch_ > 0) || !std::isfinite(ch_)) ch_ = 1;
        cells_.assign(nx_ * ny_, {});
    }
    size_t Nx() const { return nx_; }
    size_t Ny() const { return ny_; }
    size_t CellCount() const { return cells_.size(); }
    long CellX(double x) const { return Clamp((x - minX_) / cw_, nx_); }
    long CellY(double y) const { return Clamp((y - minY_) / ch_, ny_); }
    std::vector<uint32_t>& At(long x, long y) { return cells_[static_cast<size_t>(y) * nx_ + static_cast<size_t>(x)]; }
    // The distance from p to the outside of the square of cells cx +- r, cy +- r (p inside it).
    double Reach(const NcPoint& p, long cx, long cy, long r) const {
        double x0 = minX_ + (cx - r) * cw_, x1 = minX_ + (cx + r + 1) * cw_;
        double y0 = minY_ + (cy - r) * ch_, y1 = minY_ + (cy + r + 1) * ch_;
        return std::max(0.0, std::min({p.x - x0, x1 - p.x, p.y - y0, y1 - p.y}));
    }

private:
    static long Clamp(double v, size_t n) {
        if (!(v >= 0)) return 0;
        if (v >= static_cast<double>(n)) return static_cast<long>(n) - 1;
        return static_cast<long>(v);
    }
    size_t nx_ = 1, ny_ = 1;
    double minX_ = 0, minY_ = 0, cw_ = 1, ch_ = 1;
    std::vector<std::vector<uint32_t>> cells_;
};

// For every contour the smallest closed contour that holds it, or -1.
std::vector<long> Holders(const std::vector<Contour>& contours) {
    constexpr size_t kScan = 2000;       // candidates looked at per contour at most
    constexpr size_t kWideCells = 1024;  // an outline over more cells is kept aside
    std::vector<long> holder(contours.size(), -1);
    std::vector<uint32_t> closed;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (size_t i = 0; i < contours.size(); ++i) {
        const Contour& c = contours[i];
        if (!c.closed || c.outline.size() < 3 || !FiniteBox(c)) continue;
        if (closed.empty()) minX = c.minX, minY = c.minY, maxX = c.maxX, maxY = c.maxY;
        minX = std::min(minX, c.minX), minY = std::min(minY, c.minY);
        maxX = std::max(maxX, c.maxX), maxY = std::max(maxY, c.maxY);
        closed.push_back(static_cast<uint32_t>(i));
    }
    if (closed.empty()) return holder;
    std::stable_sort(closed.begin(), closed.end(),
                     [&](uint32_t a, uint32_t b) { return Area(contours[a]) < Area(contours[b]); });
    Grid grid(minX, minY, maxX, maxY, closed.size());
    std::vector<uint32_t> wide;
    for (uint32_t k : closed) {
        const Contour& c = contours[k];
        long x0 = grid.CellX(c.minX), x1 = grid.CellX(c.maxX), y0 = grid.CellY(c.minY), y1 = grid.CellY(c.maxY);
        if (static_cast<size_t>((x1 - x0 + 1) * (y1 - y0 + 1)) > kWideCells) {
            wide.push_back(k);
            continue;
        }
        for (long y = y0; y <= y1; ++y)
            for (long x = x0; x <= x1; ++x) grid.At(x, y).push_back(k);
    }
    for (size_t i = 0; i < contours.size(); ++i) {
        const Contour& c = contours[i];
        if (!FiniteBox(c)) continue;
        long best = -1;
        auto scan = [&](const std::vector<uint32_t>& list) {
            size_t looked = 0;
            for (uint32_t k : list) {
                if (++looked > kScan) break;
                if (best >= 0 && !(Area(contours[k]) < Area(contours[static_cast<size_t>(best)]))) break;
                if (k != i && Inside(c, contours[k])) {
                    best = k;
                    break;
                }
            }
        };
        scan(grid.At(grid.CellX(c.probe.x), grid.CellY(c.probe.y)));
        scan(wide);
        holder[i] = best;
    }
    return holder;
}

struct Entrance {
    NcPoint at;
    uint32_t contour;
    uint32_t piece;
    bool reverse;
};

// The entrances of the contours not yet cut, in a grid, for the nearest one to the tool.
class Entrances {
public:
    Entrances(const std::vector<Contour>& contours, const std::vector<bool>& cut, const std::vector<size_t>& waiting)
        : contours_(contours), cut_(cut), waiting_(waiting) {
        for (size_t i = 0; i < contours.size(); ++i) {
            const Contour& c = contours[i];
            if (!FiniteBox(c)) continue;
            uint32_t ci = static_cast<uint32_t>(i);
            if (c.closed && c.pieces.size() > 1) {
                for (size_t k = 0; k < c.pieces.size(); ++k)
                    all_.push_back(Entrance{c.pieces[k].From(), ci, static_cast<uint32_t>(k), false});
            } else {
                all_.push_back(Entrance{Entry(c.pieces.front()), ci, 0, false});
                if (!c.closed) all_.push_back(Entrance{c.pieces.back().To(), ci, 0, true});
            }
        }
        Build();
    }

    // The nearest entrance of a contour that waits for nothing; false when none is left.
    bool Nearest(const NcPoint& pos, Entrance& out) {
        if (live_ * 4 < grid_.CellCount() && grid_.CellCount() > 1) Build();
        long cx = grid_.CellX(pos.x), cy = grid_.CellY(pos.y);
        long maxR = static_cast<long>(std::max(grid_.Nx(), grid_.Ny()));
        bool found = false;
        double bestD = std::numeric_limits<double>::infinity();
        uint32_t bestIdx = 0;
        for (long r = 0; r <= maxR; ++r) {
            if (r > 0 && found) {
                double reach = grid_.Reach(pos, cx, cy, r - 1);
                if (bestD <= reach * reach) break;
            }
            for (long y = cy - r; y <= cy + r; ++y) {
                if (y < 0 || y >= static_cast<long>(grid_.Ny())) continue;
                bool edge = y == cy - r || y == cy + r;
                for (long x = cx - r; x <= cx + r; x += edge ? 1 : 2 * r) {
                    if (x >= 0 && x < static_cast<long>(grid_.Nx())) Visit(grid_.At(x, y), pos, found, bestD, bestIdx);
                    if (r == 0) break;
                }
            }
        }
        if (!found) return false;
        out = all_[bestIdx];
        return true;
    }

    void Cut(size_t contour) {
        size_t n = contours_[contour].closed && contours_[contour].pieces.size() > 1 ? contours_[contour].pieces.size()
                   : contours_[contour].closed                                       ? 1
                                                                                     : 2;
        live_ -= std::min(live_, n);
    }

private:
    void Build() {
        std::vector<uint32_t> keep;
        double minX = 0, minY = 0, maxX = 0, maxY = 0;  // the origin is inside: the tool starts there
        for (uint32_t e = 0; e < all_.size(); ++e) {
            if (cut_[all_[e].contour]) continue;
            const NcPoint& p = all_[e].at;
            minX = std::min(minX, p.x), minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
            keep.push_back(e);
        }
        grid_ = Grid(minX, minY, maxX, maxY, keep.size());
        for (uint32_t e : keep) grid_.At(grid_.CellX(all_[e].at.x), grid_.CellY(all_[e].at.y)).push_back(e);
        live_ = keep.size();
    }

    void Visit(std::vector<uint32_t>& cell, const NcPoint& pos, bool& found, double& bestD, uint32_t& bestIdx) {
        for (size_t k = 0; k < cell.size();) {
            uint32_t e = cell[k];
            const Entrance& en = all_[e];
            if (cut_[en.contour]) {  // gone: taken out of the cell
                cell[k] = cell.back();
                cell.pop_back();
                continue;
            }
            ++k;
            if (waiting_[en.contour] > 0) continue;
            double d = Dist2(pos, en.at);
            if (d < bestD || (d == bestD && e < bestIdx)) {
                bestD = d;
                bestIdx = e;
                found = true;
            }
        }
    }

    const std::vector<Contour>& contours_;
    const std::vector<bool>& cut_;
    const std::vector<size_t>& waiting_;
    std::vector<Entrance> all_;
    Grid grid_;
    size_t live_ = 0;
};
}  // namespace

std::vector<Piece> OrderShortest(std::vector<Piece> pieces, const NcWriter& writer) {
    std::vector<Contour> contours = Joiner(pieces, writer).Join();
    std::vector<Piece>().swap(pieces);
    for (Contour& c : contours) Describe(c, writer);

    // An outline waits for everything that lies inside it.
    size_t n = contours.size();
    std::vector<long> holder = Holders(contours);
    std::vector<size_t> waiting(n, 0);
    for (long h : holder)
        if (h >= 0) ++waiting[static_cast<size_t>(h)];

    std::vector<Piece> out;
    std::vector<bool> cut(n, false);
    Entrances entrances(contours, cut, waiting);
    NcPoint pos;
    auto take = [&](size_t i, size_t first, bool reverse) {
        Contour& c = contours[i];
        cut[i] = true;
        entrances.Cut(i);
        if (holder[i] >= 0) --waiting[static_cast<size_t>(holder[i])];
        if (reverse) {
            std::reverse(c.pieces.begin(), c.pieces.end());
            for (Piece& p : c.pieces) p.Reverse();
        }
        std::rotate(c.pieces.begin(), c.pieces.begin() + static_cast<long>(first), c.pieces.end());
        out.insert(out.end(), c.pieces.begin(), c.pieces.end());
        const Piece& last = c.pieces.back();
        pos = last.kind == Piece::Kind::Circle || last.kind == Piece::Kind::Point ? Entry(last) : last.To();
    };
    for (;;) {
        Entrance e;
        if (entrances.Nearest(pos, e)) {
            take(e.contour, e.piece, e.reverse);
            continue;
        }
        // Contours that hold one another (the same outline twice): the first one left goes.
        size_t next = n;
        for (size_t i = 0; i < n && next == n; ++i)
            if (!cut[i] && FiniteBox(contours[i]) && waiting[i] > 0) next = i;
        if (next == n) break;
        waiting[next] = 0;
    }
    // Pieces whose positions cannot be compared (not finite) keep their file order at the end.
    for (size_t i = 0; i < n; ++i)
        if (!cut[i]) out.insert(out.end(), contours[i].pieces.begin(), contours[i].pieces.end());
    return out;
}
