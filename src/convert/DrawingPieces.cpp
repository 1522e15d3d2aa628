#include "convert/DrawingPieces.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>

namespace {
constexpr double kPi = std::numbers::pi;
constexpr int kMaxNesting = 16;
// The most pieces one curve may become: a curve that cannot meet the tolerance (a radius of
// 1e30 against a tolerance of 0.01) ends in chords at this depth instead of running on.
constexpr int kCurveBudget = 1 << 16;

// A 3D affine map: x' = m[r][0] x + m[r][1] y + m[r][2] z + m[r][3].
struct Affine {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    bool identity = true;

    NcPoint Apply(const NcPoint& p) const {
        if (identity) return p;
        return NcPoint{m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
                       m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
                       m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
    }
    // Determinant of the XY part: negative for a mirror image.
    double Det2() const { return m[0][0] * m[1][1] - m[0][1] * m[1][0]; }
    // True when the XY part keeps circles circles (rotation, uniform scale, mirror).
    bool Similar() const {
        if (identity) return true;
        double a = m[0][0], b = m[0][1], c = m[1][0], d = m[1][1];
        double n1 = a * a + c * c, n2 = b * b + d * d;
        double scale = std::max(n1, n2);
        if (!(scale > 0) || !std::isfinite(scale)) return false;
        return std::fabs(n1 - n2) <= 1e-9 * scale && std::fabs(a * b + c * d) <= 1e-9 * scale;
    }
};

Affine operator*(const Affine& p, const Affine& q) {
    if (p.identity) return q;
    if (q.identity) return p;
    Affine r;
    r.identity = false;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j) {
            double v = 0;
            for (int k = 0; k < 3; ++k) v += p.m[i][k] * q.m[k][j];
            if (j == 3) v += p.m[i][3];
            r.m[i][j] = v;
        }
    }
    return r;
}

Affine Translate(double x, double y, double z) {
    Affine a;
    if (x == 0 && y == 0 && z == 0) return a;
    a.identity = false;
    a.m[0][3] = x;
    a.m[1][3] = y;
    a.m[2][3] = z;
    return a;
}

Affine ScaleRotate(double sx, double sy, double sz, double radians) {
    Affine a;
    double c = std::cos(radians), s = std::sin(radians);
    a.identity = false;
    a.m[0][0] = c * sx;
    a.m[0][1] = -s * sy;
    a.m[1][0] = s * sx;
    a.m[1][1] = c * sy;
    a.m[2][2] = sz;
    return a;
}

NcPoint Cross(const NcPoint& a, const NcPoint& b) {
    return NcPoint{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(const NcPoint& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }
NcPoint Scaled(const NcPoint& a, double s) { return NcPoint{a.x * s, a.y * s, a.z * s}; }

// The object coordinate system of an extrusion direction (the arbitrary axis rule of DXF).
Affine ObjectToWorld(const DxfVector& normal) {
    NcPoint n{normal.x, normal.y, normal.z};
    double len = Length(n);
    if (!(len > 1e-12) || !std::isfinite(len)) return Affine{};
    n = Scaled(n, 1 / len);
    if (std::fabs(n.x) < 1e-12 && std::fabs(n.y) < 1e-12 && n.z > 0) return Affine{};
    NcPoint ax = std::fabs(n.x) < 1.0 / 64 && std::fabs(n.y) < 1.0 / 64 ? Cross(NcPoint{0, 1, 0}, n)
                                                                         : Cross(NcPoint{0, 0, 1}, n);
    ax = Scaled(ax, 1 / Length(ax));
    NcPoint ay = Cross(n, ax);
    Affine a;
    a.identity = false;
    const NcPoint cols[3] = {ax, ay, n};
    for (int j = 0; j < 3; ++j) {
        a.m[0][j] = cols[j].x;
        a.m[1][j] = cols[j].y;
        a.m[2][j] = cols[j].z;
    }
    return a;
}

bool Finite(const NcPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

class Flattener {
public:
    Flattener(const Drawing& drawing, const PieceOptions& options, const PieceSink& sink, LeftOutCounts& leftOut)
        : drawing_(drawing), options_(options), sink_(sink), leftOut_(leftOut) {
        tolerance_ = options.tolerance > 0 && std::isfinite(options.tolerance) ? options.tolerance : 0.01;
    }

    bool Run() {
        Entities(drawing_.entities, Affine{});
        leftOut_.Add(drawing_.leftOut);
        return !overflow_;
    }

private:
    void Emit(const Piece& p) {
        if (overflow_) return;
        if (++count_ > options_.maxPieces) {
            overflow_ = true;
            return;
        }
        sink_(p);
    }

    void Entities(const std::vector<DrawingEntity>& list, const Affine& t) {
        for (const DrawingEntity& e : list) {
            if (overflow_) return;
            std::visit([&](const auto& x) { One(x, t); }, e);
        }
    }

    void One(const std::monostate&, const Affine&) {}

    void One(const LineEntity& e, const Affine& t) {
        Piece p;
        p.kind = Piece::Kind::Line;
        p.a = t.Apply(e.start);
        p.b = t.Apply(e.end);
        Emit(p);
    }

    void One(const PointEntity& e, const Affine& t) {
        Piece p;
        p.kind = Piece::Kind::Point;
        p.a = t.Apply(e.at);
        Emit(p);
    }

    void One(const CircleEntity& e, const Affine& parent) {
        Affine t = parent * ObjectToWorld(e.normal);
        if (t.identity) {
            Piece p;
            p.kind = Piece::Kind::Circle;
            p.centre = e.centre;
            p.radius = e.radius;
            return Emit(p);
        }
        if (t.Similar()) {
            Piece p;
            p.kind = Piece::Kind::Circle;
            p.centre = t.Apply(e.centre);
            p.radius = e.radius * std::sqrt(std::fabs(t.Det2()));
            return Emit(p);
        }
        ArcCurve(t, e.centre, e.radius, 0, 2 * kPi);
    }

    void One(const ArcEntity& e, const Affine& parent) {
        Affine t = parent * ObjectToWorld(e.normal);
        double a0 = e.startDeg * kPi / 180.0;
        double a1 = e.endDeg * kPi / 180.0;
        const NcPoint& c = e.centre;
        double r = e.radius;
        NcPoint s{c.x + r * std::cos(a0), c.y + r * std::sin(a0), c.z};
        NcPoint n{c.x + r * std::cos(a1), c.y + r * std::sin(a1), c.z};
        double sweep = std::fmod(a1 - a0, 2 * kPi);
        if (!(sweep > 0)) sweep += 2 * kPi;
        Arc(t, s, n, c, true, r, a0, sweep);
    }

    // An arc in object coordinates, counter-clockwise (ccw) or clockwise from s to e about c.
    void Arc(const Affine& t, const NcPoint& s, const NcPoint& e, const NcPoint& c, bool ccw, double r,
             double a0, double sweep) {
        Piece p;
        p.kind = Piece::Kind::Arc;
        if (t.identity) {
            p.a = ccw ? s : e;
            p.b = ccw ? e : s;
            p.centre = c;
            p.clockwise = !ccw;
            return Emit(p);
        }
        if (t.Similar()) {
            NcPoint cw = t.Apply(c), sw = t.Apply(s), ew = t.Apply(e);
            sw.z = ew.z = cw.z;
            bool ccwWorld = ccw == (t.Det2() > 0);
            p.a = ccwWorld ? sw : ew;
            p.b = ccwWorld ? ew : sw;
            p.centre = cw;
            p.clockwise = !ccwWorld;
            return Emit(p);
        }
        ArcCurve(t, c, r, a0, ccw ? sweep : -sweep);
    }

    void ArcCurve(const Affine& t, const NcPoint& c, double r, double a0, double sweep) {
        Curve([&](double u) { return t.Apply(NcPoint{c.x + r * std::cos(u), c.y + r * std::sin(u), c.z}); }, a0,
              a0 + sweep, 8);
    }

    void One(const PolylineEntity& e, const Affine& parent) {
        const auto& v = e.vertices;
        size_t n = v.size();
        if (n < 2) return;
        size_t segments = e.closed ? n : n - 1;
        if (e.is3d) {
            for (size_t i = 0; i < segments && !overflow_; ++i) {
                const PolylineVertex &p = v[i], &q = v[(i + 1) % n];
                if (p.x == q.x && p.y == q.y && p.z == q.z) continue;
                One(LineEntity{NcPoint{p.x, p.y, p.z}, NcPoint{q.x, q.y, q.z}}, parent);
            }
            return;
        }
        Affine t = parent * ObjectToWorld(e.normal);
        for (size_t i = 0; i < segments && !overflow_; ++i) {
            const PolylineVertex &pv = v[i], &qv = v[(i + 1) % n];
            NcPoint p{pv.x, pv.y, e.elevation}, q{qv.x, qv.y, e.elevation};
            double dx = q.x - p.x, dy = q.y - p.y;
            double chord = std::hypot(dx, dy);
            if (!(chord > 0) || !std::isfinite(chord)) continue;  // a zero-length segment cuts nothing
            double b = pv.bulge;
            if (!std::isfinite(b) || std::fabs(b) < 1e-12) {
                Piece piece;
                piece.kind = Piece::Kind::Line;
                piece.a = t.Apply(p);
                piece.b = t.Apply(q);
                Emit(piece);
                continue;
            }
            // The centre lies on the chord's perpendicular bisector, (1 - b^2) / (4 b) chords to
            // the left of the direction of travel; the included angle is 4 atan(b).
            double h = (1 - b * b) / (4 * b);
            NcPoint c{(p.x + q.x) / 2 - h * dy, (p.y + q.y) / 2 + h * dx, e.elevation};
            double r = std::hypot(p.x - c.x, p.y - c.y);
            double a0 = std::atan2(p.y - c.y, p.x - c.x);
            double sweep = 4 * std::atan(std::fabs(b));
            Arc(t, p, q, c, b > 0, r, b > 0 ? a0 : a0, sweep);
        }
    }

    void One(const EllipseEntity& e, const Affine& t) {
        NcPoint n{e.normal.x, e.normal.y, e.normal.z};
        double nl = Length(n);
        n = nl > 1e-12 && std::isfinite(nl) ? Scaled(n, 1 / nl) : NcPoint{0, 0, 1};
        NcPoint major = e.majorAxis;
        double ml = Length(major);
        double ratio = e.ratio;
        if (!(ml > 0) || !std::isfinite(ml) || !(ratio > 0) || !std::isfinite(ratio)) return;
        NcPoint minor = Scaled(Cross(n, major), ratio);
        double t0 = e.startParam, t1 = e.endParam;
        if (!std::isfinite(t0) || !std::isfinite(t1)) return;
        double sweep = std::fmod(t1 - t0, 2 * kPi);
        if (sweep < 0) sweep += 2 * kPi;
        if (sweep < 1e-12) sweep = 2 * kPi;
        const NcPoint& c = e.centre;
        Curve(
            [&](double u) {
                double cu = std::cos(u), su = std::sin(u);
                return t.Apply(NcPoint{c.x + cu * major.x + su * minor.x, c.y + cu * major.y + su * minor.y,
                                       c.z + cu * major.z + su * minor.z});
            },
            t0, t0 + sweep, 8);
    }

    void One(const SplineEntity& e, const Affine& t) {
        const auto& cp = e.controlPoints;
        int p = std::clamp(e.degree, 1, 10);
        size_t n = cp.size();
        if (n < 2) return FitPointCurve(e, t);
        if (n < static_cast<size_t>(p) + 1) p = static_cast<int>(n) - 1;
        std::vector<double> knots = e.knots;
        bool valid = knots.size() == n + p + 1 && std::all_of(knots.begin(), knots.end(), [](double k) { return std::isfinite(k); });
        for (size_t i = 1; valid && i < knots.size(); ++i) valid = knots[i] >= knots[i - 1];
        if (valid) valid = knots[n] > knots[p];
        if (!valid) {  // a clamped uniform knot vector
            knots.assign(n + p + 1, 0);
            for (size_t i = 0; i < knots.size(); ++i)
                knots[i] = static_cast<double>(std::clamp<long long>(static_cast<long long>(i) - p, 0,
                                                                       static_cast<long long>(n) - p));
        }
        std::vector<double> w(n, 1.0);
        for (size_t i = 0; i < n && i < e.weights.size(); ++i)
            if (e.weights[i] > 0 && std::isfinite(e.weights[i])) w[i] = e.weights[i];
        std::vector<double> hx(p + 1), hy(p + 1), hz(p + 1), hw(p + 1);
        auto eval = [&](double u) {
            // de Boor in homogeneous coordinates
            size_t k = static_cast<size_t>(p);
            while (k + 1 < n && knots[k + 1] <= u) ++k;
            for (int j = 0; j <= p; ++j) {
                size_t i = k - p + j;
                hx[j] = cp[i].x * w[i];
                hy[j] = cp[i].y * w[i];
                hz[j] = cp[i].z * w[i];
                hw[j] = w[i];
            }
            for (int r = 1; r <= p; ++r) {
                for (int j = p; j >= r; --j) {
                    size_t i = k - p + j;
                    double den = knots[i + p - r + 1] - knots[i];
                    double a = den > 0 ? (u - knots[i]) / den : 0;
                    hx[j] = (1 - a) * hx[j - 1] + a * hx[j];
                    hy[j] = (1 - a) * hy[j - 1] + a * hy[j];
                    hz[j] = (1 - a) * hz[j - 1] + a * hz[j];
                    hw[j] = (1 - a) * hw[j - 1] + a * hw[j];
                }
            }
            double ww = hw[p] != 0 ? hw[p] : 1;
            return t.Apply(NcPoint{hx[p] / ww, hy[p] / ww, hz[p] / ww});
        };
        // Each knot span is a polynomial piece of its own.
        for (size_t i = static_cast<size_t>(p); i < n && !overflow_; ++i)
            if (knots[i + 1] > knots[i]) Curve(eval, knots[i], knots[i + 1], 2);
    }

    // A spline given by its fit points alone: the natural cubic spline through them, its
    // parameter the length along the chords.
    void FitPointCurve(const SplineEntity& e, const Affine& t) {
        std::vector<NcPoint> p;
        for (const NcPoint& q : e.fitPoints)
            if (Finite(q) && (p.empty() || Length(NcPoint{q.x - p.back().x, q.y - p.back().y, q.z - p.back().z}) > 0))
                p.push_back(q);
        if (e.closed && p.size() > 2 && Length(NcPoint{p[0].x - p.back().x, p[0].y - p.back().y, p[0].z - p.back().z}) > 0)
            p.push_back(p[0]);
        size_t n = p.size();
        if (n < 2) return;
        std::vector<double> u(n, 0);
        for (size_t i = 1; i < n; ++i)
            u[i] = u[i - 1] + Length(NcPoint{p[i].x - p[i - 1].x, p[i].y - p[i - 1].y, p[i].z - p[i - 1].z});
        // Second derivatives, natural ends: a tridiagonal system per coordinate.
        std::vector<NcPoint> m(n);
        if (n > 2) {
            std::vector<double> diag(n, 0), rhsX(n, 0), rhsY(n, 0), rhsZ(n, 0), upper(n, 0);
            for (size_t i = 1; i + 1 < n; ++i) {
                double h0 = u[i] - u[i - 1], h1 = u[i + 1] - u[i];
                diag[i] = (h0 + h1) / 3;
                upper[i] = h1 / 6;
                rhsX[i] = (p[i + 1].x - p[i].x) / h1 - (p[i].x - p[i - 1].x) / h0;
                rhsY[i] = (p[i + 1].y - p[i].y) / h1 - (p[i].y - p[i - 1].y) / h0;
                rhsZ[i] = (p[i + 1].z - p[i].z) / h1 - (p[i].z - p[i - 1].z) / h0;
            }
            for (size_t i = 2; i + 1 < n; ++i) {  // forward elimination; the lower band is h0 / 6
                double w = ((u[i] - u[i - 1]) / 6) / diag[i - 1];
                diag[i] -= w * upper[i - 1];
                rhsX[i] -= w * rhsX[i - 1];
                rhsY[i] -= w * rhsY[i - 1];
                rhsZ[i] -= w * rhsZ[i - 1];
            }
            for (size_t i = n - 2; i >= 1; --i) {
                m[i].x = (rhsX[i] - upper[i] * m[i + 1].x) / diag[i];
                m[i].y = (rhsY[i] - upper[i] * m[i + 1].y) / diag[i];
                m[i].z = (rhsZ[i] - upper[i] * m[i + 1].z) / diag[i];
                if (i == 1) break;
            }
        }
        for (size_t i = 0; i + 1 < n && !overflow_; ++i) {
            double h = u[i + 1] - u[i];
            auto f = [&](double v) {
                double a = (u[i + 1] - v) / h, b = (v - u[i]) / h;
                double ca = (a * a * a - a) * h * h / 6, cb = (b * b * b - b) * h * h / 6;
                return t.Apply(NcPoint{a * p[i].x + b * p[i + 1].x + ca * m[i].x + cb * m[i + 1].x,
                                       a * p[i].y + b * p[i + 1].y + ca * m[i].y + cb * m[i + 1].y,
                                       a * p[i].z + b * p[i + 1].z + ca * m[i].z + cb * m[i + 1].z});
            };
            Curve(f, u[i], u[i + 1], 1);
        }
    }

    void One(const InsertEntity& e, const Affine& parent) {
        auto it = drawing_.blocks.find(e.block);
        bool cyclic = std::find(stack_.begin(), stack_.end(), e.block) != stack_.end();
        if (it == drawing_.blocks.end() || cyclic || stack_.size() >= kMaxNesting || e.scaleX == 0 ||
            e.scaleY == 0 || !std::isfinite(e.scaleX) || !std::isfinite(e.scaleY) || !std::isfinite(e.rotationDeg)) {
            leftOut_.Add("INSERT");
            return;
        }
        const DrawingBlock& block = it->second;
        double sz = std::isfinite(e.scaleZ) ? e.scaleZ : 1;
        double rot = e.rotationDeg * kPi / 180.0;
        Affine ocs = parent * ObjectToWorld(e.normal);
        Affine local = ScaleRotate(e.scaleX, e.scaleY, sz, rot) * Translate(-block.base.x, -block.base.y, -block.base.z);
        int cols = std::max(1, e.columns), rows = std::max(1, e.rows);
        double cs = std::isfinite(e.columnSpacing) ? e.columnSpacing : 0;
        double rs = std::isfinite(e.rowSpacing) ? e.rowSpacing : 0;
        double c = std::cos(rot), s = std::sin(rot);
        stack_.push_back(e.block);
        for (int row = 0; row < rows && !overflow_; ++row) {
            for (int col = 0; col < cols && !overflow_; ++col) {
                // Every placed copy counts, so that an array of empty blocks cannot run on.
                if (++count_ > options_.maxPieces) overflow_ = true;
                double ox = col * cs, oy = row * rs;
                Affine place = Translate(e.at.x + c * ox - s * oy, e.at.y + s * ox + c * oy, e.at.z);
                Affine t = ocs * place * local;
                Entities(block.entities, t);
                leftOut_.Add(block.leftOut);
            }
        }
        stack_.pop_back();
    }

    // A smooth curve f(u), u from u0 to u1, as arcs and lines that stay within the tolerance.
    template <typename F>
    void Curve(const F& f, double u0, double u1, int parts) {
        int maxDepth = 0;
        while ((parts << (maxDepth + 1)) <= kCurveBudget) ++maxDepth;
        NcPoint prev = f(u0);
        for (int i = 1; i <= parts && !overflow_; ++i) {
            double u = i == parts ? u1 : u0 + (u1 - u0) * i / parts;
            NcPoint next = f(u);
            Fit(f, u0 + (u1 - u0) * (i - 1) / parts, u, prev, next, maxDepth);
            prev = next;
        }
    }

    // depth: how many more halvings the interval may take.
    template <typename F>
    void Fit(const F& f, double ua, double ub, const NcPoint& pa, const NcPoint& pb, int depth) {
        if (overflow_) return;
        if (!Finite(pa) || !Finite(pb)) return;
        double um = (ua + ub) / 2;
        NcPoint pm = f(um);
        NcPoint samples[7];
        for (int k = 1; k <= 7; ++k) samples[k - 1] = k == 4 ? pm : f(ua + (ub - ua) * k / 8);
        bool last = depth <= 0;
        // A line when every sample lies within the tolerance of the chord.
        double dx = pb.x - pa.x, dy = pb.y - pa.y;
        double len = std::hypot(dx, dy);
        bool lineFits = true;
        for (const NcPoint& q : samples) {
            // Distance to the chord itself: a curve that turns back past an end is no line.
            double s = len > 0 ? std::clamp(((q.x - pa.x) * dx + (q.y - pa.y) * dy) / (len * len), 0.0, 1.0) : 0;
            double d = std::hypot(q.x - (pa.x + s * dx), q.y - (pa.y + s * dy));
            if (!(d <= tolerance_)) lineFits = false;
        }
        if (lineFits || last) {
            if (len > 0 || std::fabs(pb.z - pa.z) > 0) {
                Piece p;
                p.kind = Piece::Kind::Line;
                p.a = pa;
                p.b = pb;
                Emit(p);
            }
            return;
        }
        // An arc through the ends and the middle when every sample lies within the tolerance
        // of its circle.
        double ax = pm.x - pa.x, ay = pm.y - pa.y, bx = pb.x - pa.x, by = pb.y - pa.y;
        double d = 2 * (ax * by - ay * bx);
        if (d != 0 && std::isfinite(d)) {
            double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by;
            NcPoint c{pa.x + (by * a2 - ay * b2) / d, pa.y + (ax * b2 - bx * a2) / d, pa.z};
            double r = std::hypot(pa.x - c.x, pa.y - c.y);
            bool arcFits = std::isfinite(r);
            for (const NcPoint& q : samples)
                if (!(std::fabs(std::hypot(q.x - c.x, q.y - c.y) - r) <= tolerance_)) arcFits = false;
            // The arc must turn the way the curve does at both ends, and stay under a half turn.
            if (arcFits && len > 0) {
                bool ccw = d > 0;
                Piece p;
                p.kind = Piece::Kind::Arc;
                p.a = ccw ? pa : pb;
                p.b = ccw ? pb : pa;
                p.centre = c;
                p.clockwise = !ccw;
                Emit(p);
                return;
            }
        }
        Fit(f, ua, um, pa, pm, depth - 1);
        Fit(f, um, ub, pm, pb, depth - 1);
    }

    const Drawing& drawing_;
    const PieceOptions& options_;
    const PieceSink& sink_;
    LeftOutCounts& leftOut_;
    double tolerance_;
    long long count_ = 0;
    bool overflow_ = false;
    std::vector<std::string> stack_;
};
}  // namespace

void Piece::Reverse() {
    if (kind == Kind::Line) std::swap(a, b);
    else if (kind == Kind::Arc) clockwise = !clockwise;
}

bool DrawingPieces(const Drawing& drawing, const PieceOptions& options, const PieceSink& sink,
                   LeftOutCounts& leftOut) {
    return Flattener(drawing, options, sink, leftOut).Run();
}

void WritePiece(NcWriter& writer, const Piece& piece) {
    switch (piece.kind) {
        case Piece::Kind::Line: writer.WriteLineEntity(piece.a, piece.b); break;
        case Piece::Kind::Arc:
            if (piece.clockwise && !writer.SamePoint(writer.CurrentPosition(), piece.b))
                writer.WritePointEntity(piece.b);
            writer.WriteArcEntity(piece.a, piece.b, piece.centre);
            break;
        case Piece::Kind::Circle: writer.WriteCircleEntity(piece.centre, piece.radius); break;
        case Piece::Kind::Point: writer.WritePointEntity(piece.a); break;
    }
}
