#include "convert/ContourOrder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <numbers>
#include <unordered_map>

namespace {
// Larger than any writer's same-point distance: ends that may meet fall into neighbouring cells.
constexpr double kCell = 0.1;

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

bool CellOf(const NcPoint& p, CellKey& key) {
    double fx = std::floor(p.x / kCell), fy = std::floor(p.y / kCell);
    if (!(std::fabs(fx) < 1e15) || !(std::fabs(fy) < 1e15)) return false;
    key = CellKey{static_cast<int64_t>(fx), static_cast<int64_t>(fy)};
    return true;
}

class Joiner {
public:
    Joiner(const std::vector<Piece>& pieces, const NcWriter& writer) : pieces_(pieces), writer_(writer) {
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
        if (CellOf(p, k)) cells_[k].push_back(i);
    }

    // An unused piece with an end at p, turned so that it starts at p (forward) or ends at p.
    bool Take(const NcPoint& p, bool forward, Piece& out) {
        CellKey k;
        if (!CellOf(p, k)) return false;
        for (int64_t dx = -1; dx <= 1; ++dx) {
            for (int64_t dy = -1; dy <= 1; ++dy) {
                auto it = cells_.find(CellKey{k.x + dx, k.y + dy});
                if (it == cells_.end()) continue;
                for (size_t j : it->second) {
                    if (used_[j]) continue;
                    Piece q = pieces_[j];
                    bool fits = writer_.SamePoint(p, forward ? q.From() : q.To());
                    if (!fits && writer_.SamePoint(p, forward ? q.To() : q.From())) {
                        q.Reverse();
                        fits = true;
                    }
                    if (!fits) continue;
                    used_[j] = true;
                    out = q;
                    return true;
                }
            }
        }
        return false;
    }

    const std::vector<Piece>& pieces_;
    const NcWriter& writer_;
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

bool Inside(const Contour& inner, const Contour& outer) {
    if (!outer.closed || outer.outline.size() < 3) return false;
    if (inner.minX < outer.minX || inner.maxX > outer.maxX || inner.minY < outer.minY || inner.maxY > outer.maxY)
        return false;
    if (!(Area(inner) < Area(outer))) return false;
    return InsidePolygon(inner.probe, outer.outline);
}
}  // namespace

std::vector<Piece> OrderShortest(std::vector<Piece> pieces, const NcWriter& writer) {
    std::vector<Contour> contours = Joiner(pieces, writer).Join();
    for (Contour& c : contours) Describe(c, writer);

    // Which closed contours hold which: an outline waits for everything inside it.
    size_t n = contours.size();
    std::vector<size_t> closedIdx;
    for (size_t i = 0; i < n; ++i)
        if (contours[i].closed) closedIdx.push_back(i);
    std::vector<std::vector<size_t>> holders(n);
    std::vector<size_t> waiting(n, 0);
    for (size_t i = 0; i < n; ++i) {
        for (size_t k : closedIdx) {
            if (k == i || !Inside(contours[i], contours[k])) continue;
            holders[i].push_back(k);
            ++waiting[k];
        }
    }

    std::vector<Piece> out;
    out.reserve(pieces.size());
    std::vector<bool> cut(n, false);
    NcPoint pos;
    for (size_t done = 0; done < n; ++done) {
        size_t best = n;
        size_t bestPiece = 0;
        bool bestReverse = false;
        double bestD = std::numeric_limits<double>::infinity();
        for (int pass = 0; pass < 2 && best == n; ++pass) {
            for (size_t i = 0; i < n; ++i) {
                if (cut[i] || (pass == 0 && waiting[i] > 0)) continue;
                const Contour& c = contours[i];
                if (c.closed && c.pieces.size() > 1) {
                    for (size_t k = 0; k < c.pieces.size(); ++k) {
                        double d = Dist2(pos, c.pieces[k].From());
                        if (d < bestD) bestD = d, best = i, bestPiece = k, bestReverse = false;
                    }
                } else {
                    double d = Dist2(pos, Entry(c.pieces.front()));
                    if (d < bestD) bestD = d, best = i, bestPiece = 0, bestReverse = false;
                    if (!c.closed) {
                        d = Dist2(pos, c.pieces.back().To());
                        if (d < bestD) bestD = d, best = i, bestPiece = 0, bestReverse = true;
                    }
                }
            }
            if (best == n && pass == 0) bestD = std::numeric_limits<double>::infinity();
        }
        if (best == n) break;  // not finite positions: nothing more can be measured
        Contour& c = contours[best];
        cut[best] = true;
        for (size_t k : holders[best]) --waiting[k];
        if (bestReverse) {
            std::reverse(c.pieces.begin(), c.pieces.end());
            for (Piece& p : c.pieces) p.Reverse();
        }
        std::rotate(c.pieces.begin(), c.pieces.begin() + static_cast<long>(bestPiece), c.pieces.end());
        for (const Piece& p : c.pieces) out.push_back(p);
        const Piece& last = c.pieces.back();
        pos = last.kind == Piece::Kind::Circle || last.kind == Piece::Kind::Point ? Entry(last) : last.To();
    }
    // Pieces whose positions cannot be compared (not finite) keep their file order at the end.
    for (size_t i = 0; i < n; ++i)
        if (!cut[i])
            for (const Piece& p : contours[i].pieces) out.push_back(p);
    return out;
}
