// The drawing reader over the DXF library, the pieces a drawing is cut into, the order of
// cutting and the report of what is left out.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "convert/ContourOrder.h"
#include "convert/DXF.h"
#include "convert/DrawingPieces.h"
#include "convert/DxfDrawing.h"
#include "convert/DxfGroups.h"
#include "convert/ESSI.h"
#include "settings/PathResolve.h"
#include "settings/Strings.h"

namespace {
std::string Num(double v) {
    std::string s;
    AppendExactNumber(s, v);
    return s;
}
std::string G(int code, const std::string& value) { return std::to_string(code) + "\r\n" + value + "\r\n"; }
std::string G(int code, double value) { return G(code, Num(value)); }

std::string Section(const std::string& name, const std::string& body) {
    return G(0, "SECTION") + G(2, name) + body + G(0, "ENDSEC");
}
std::string Dxf(const std::string& entities, const std::string& blocks = "") {
    return (blocks.empty() ? "" : Section("BLOCKS", blocks)) + Section("ENTITIES", entities) + G(0, "EOF");
}
std::string LineE(double x1, double y1, double x2, double y2) {
    return G(0, "LINE") + G(8, "0") + G(10, x1) + G(20, y1) + G(30, 0.0) + G(11, x2) + G(21, y2) + G(31, 0.0);
}
std::string ArcE(double cx, double cy, double r, double a0, double a1, const std::string& extra = "") {
    return G(0, "ARC") + G(10, cx) + G(20, cy) + G(30, 0.0) + G(40, r) + G(50, a0) + G(51, a1) + extra;
}
struct V {
    double x, y, bulge = 0;
};
std::string LwPolyline(const std::vector<V>& vs, bool closed) {
    std::string s = G(0, "LWPOLYLINE") + G(100, "AcDbPolyline") + G(90, std::to_string(vs.size())) +
                    G(70, closed ? "1" : "0");
    for (const V& v : vs) {
        s += G(10, v.x) + G(20, v.y);
        if (v.bulge != 0) s += G(42, v.bulge);
    }
    return s;
}
std::string InsertE(const std::string& block, double x, double y, double sx = 1, double sy = 1, double rot = 0,
                    int cols = 1, int rows = 1, double cs = 0, double rs = 0) {
    return G(0, "INSERT") + G(2, block) + G(10, x) + G(20, y) + G(30, 0.0) + G(41, sx) + G(42, sy) + G(50, rot) +
           G(70, std::to_string(cols)) + G(71, std::to_string(rows)) + G(44, cs) + G(45, rs);
}
std::string BlockE(const std::string& name, double bx, double by, const std::string& entities) {
    return G(0, "BLOCK") + G(2, name) + G(70, "0") + G(10, bx) + G(20, by) + G(30, 0.0) + entities + G(0, "ENDBLK");
}

std::vector<Piece> PiecesOf(const std::string& dxf, LeftOutCounts* leftOut = nullptr, double tol = 0.01) {
    Drawing d;
    EXPECT_EQ(ReadDrawing(dxf, d), DrawingRead::Ok);
    std::vector<Piece> out;
    LeftOutCounts counts;
    PieceOptions o;
    o.tolerance = tol;
    EXPECT_TRUE(DrawingPieces(d, o, [&](const Piece& p) { out.push_back(p); }, counts));
    if (leftOut) *leftOut = counts;
    return out;
}

std::vector<Piece> PolylinePieces(const PolylineEntity& p) {
    Drawing d;
    d.entities.push_back(p);
    std::vector<Piece> out;
    LeftOutCounts counts;
    DrawingPieces(d, PieceOptions{}, [&](const Piece& x) { out.push_back(x); }, counts);
    return out;
}

void ExpectNear(const NcPoint& p, double x, double y, double eps = 1e-9) {
    EXPECT_NEAR(p.x, x, eps);
    EXPECT_NEAR(p.y, y, eps);
}

struct Converted {
    bool ok = false;
    std::string text;
    std::string leftOut;
};
Converted Convert(const std::string& bytes, DxfOptions options = DxfOptions{}) {
    TempDir dir;
    WriteFileBytes(dir.File("D.DXF"), bytes);
    Converted c;
    ConvertDrawing(options, dir.Dnc("D.DXF"), dir.Dnc("D.NC"), c.ok, &c.leftOut);
    if (c.ok) c.text = ReadFileBytes(dir.File("D.NC"));
    return c;
}
Converted ConvertFile(const std::string& nativePath, DxfOptions options = DxfOptions{}) {
    TempDir dir;
    Converted c;
    ConvertDrawing(options, NativeToDncPath(nativePath), dir.Dnc("D.NC"), c.ok, &c.leftOut);
    if (c.ok) c.text = ReadFileBytes(dir.File("D.NC"));
    return c;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// The tool path of a word-address program: the runs of cutting moves between rapid moves,
// each as the points the tool passes (arcs sampled every few degrees).
struct PathRun {
    std::vector<NcPoint> points;
};
std::vector<PathRun> ToolPath(const std::string& program) {
    std::vector<PathRun> runs;
    NcPoint pos;
    int g = -1;
    std::istringstream in(program);
    std::string line;
    bool cutting = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] != 'N' || line.find("M30") != std::string::npos) continue;
        NcPoint to = pos;
        double i = 0, j = 0;
        std::istringstream words(line);
        std::string w;
        while (words >> w) {
            double v = w.size() > 1 ? std::atof(w.c_str() + 1) : 0;
            switch (w[0]) {
                case 'G': g = static_cast<int>(v); break;
                case 'X': to.x = v; break;
                case 'Y': to.y = v; break;
                case 'Z': to.z = v; break;
                case 'I': i = v; break;
                case 'J': j = v; break;
            }
        }
        if (g == 0) {
            cutting = false;
        } else {
            if (!cutting) runs.push_back(PathRun{{pos}});
            cutting = true;
            if (g == 2 || g == 3) {
                NcPoint c{pos.x + i, pos.y + j, pos.z};
                double r = std::hypot(pos.x - c.x, pos.y - c.y);
                double a0 = std::atan2(pos.y - c.y, pos.x - c.x), a1 = std::atan2(to.y - c.y, to.x - c.x);
                double sweep = g == 3 ? a1 - a0 : a0 - a1;
                while (sweep <= 1e-9) sweep += 2 * M_PI;
                int n = std::max(2, static_cast<int>(sweep / 0.05));
                for (int k = 1; k < n; ++k) {
                    double a = a0 + (g == 3 ? 1 : -1) * sweep * k / n;
                    runs.back().points.push_back(NcPoint{c.x + r * std::cos(a), c.y + r * std::sin(a), pos.z});
                }
            }
            runs.back().points.push_back(to);
        }
        pos = to;
    }
    return runs;
}

bool Passes(const PathRun& run, double x, double y, double eps) {
    for (const NcPoint& p : run.points)
        if (std::fabs(p.x - x) <= eps && std::fabs(p.y - y) <= eps) return true;
    return false;
}

// The entities of an ASCII drawing as group pairs: enough to know what a sample holds.
struct SampleEntity {
    std::string type;
    std::vector<std::pair<int, std::string>> groups;
    double Real(int code, double def = 0) const {
        for (auto& [c, v] : groups)
            if (c == code) return std::atof(v.c_str());
        return def;
    }
};
std::vector<SampleEntity> SampleEntities(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line, code;
    std::vector<SampleEntity> out;
    bool inEntities = false;
    while (std::getline(in, code) && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        int c = std::atoi(code.c_str());
        std::string v(TrimBlanks(line));
        if (c == 2 && (v == "ENTITIES" || v == "BLOCKS" || v == "OBJECTS")) inEntities = v == "ENTITIES";
        if (!inEntities) continue;
        if (c == 0) out.push_back(SampleEntity{v, {}});
        else if (!out.empty()) out.back().groups.emplace_back(c, v);
    }
    return out;
}

std::string Samples() { return SharedDir() + "/dxf-samples"; }
}  // namespace

// ------------------------------------------------------------------------ bulges
TEST(PolylineBulges, HalfCircleNegativeClosingAndZeroLength) {
    PolylineEntity p;
    p.vertices = {{0, 0, 0, 1}, {10, 0, 0, 0}};
    auto pieces = PolylinePieces(p);
    ASSERT_EQ(pieces.size(), 1u);  // a bulge of 1: half a circle about the chord's middle
    EXPECT_EQ(pieces[0].kind, Piece::Kind::Arc);
    EXPECT_FALSE(pieces[0].clockwise);
    ExpectNear(pieces[0].centre, 5, 0);
    ExpectNear(pieces[0].From(), 0, 0);
    ExpectNear(pieces[0].To(), 10, 0);

    p.vertices = {{0, 0, 0, -0.5}, {10, 0, 0, 0}};  // negative: clockwise, centre to the right
    pieces = PolylinePieces(p);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_TRUE(pieces[0].clockwise);
    ExpectNear(pieces[0].centre, 5, -3.75);
    ExpectNear(pieces[0].From(), 0, 0);
    ExpectNear(pieces[0].To(), 10, 0);
    // The sagitta of a bulge b over a chord c is b c / 2: the arc passes (5, 2.5).
    EXPECT_NEAR(std::hypot(5 - pieces[0].centre.x, 2.5 - pieces[0].centre.y), 6.25, 1e-12);

    // The closing segment carries the last vertex's bulge: two half circles make a circle.
    p.vertices = {{0, 0, 0, 1}, {10, 0, 0, 1}};
    p.closed = true;
    pieces = PolylinePieces(p);
    ASSERT_EQ(pieces.size(), 2u);
    ExpectNear(pieces[1].From(), 10, 0);
    ExpectNear(pieces[1].To(), 0, 0);
    ExpectNear(pieces[1].centre, 5, 0);

    // A repeated vertex cuts nothing; the polyline goes on from it.
    p.vertices = {{0, 0, 0, 0.3}, {0, 0, 0, 0}, {10, 0, 0, 0}, {10, 0, 0, 0}};
    p.closed = false;
    pieces = PolylinePieces(p);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].kind, Piece::Kind::Line);
}

TEST(PolylineBulges, ProgramOfARoundedSlot) {
    // A slot: straight, half circle clockwise at the right, straight back, half circle at the left.
    std::string d = Dxf(LwPolyline({{0, 0, 0}, {10, 0, -1}, {10, 10, 0}, {0, 10, -1}}, true));
    Converted c = Convert(d);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.text, "%\r\nN0010 G01 X10.000\r\nN0020 G02 Y10.000 J5.000\r\nN0030 G01 X0.000\r\n"
                      "N0040 G02 Y0.000 J-5.000\r\nN0050 M30\r\n%\r\n");
    // The first piece clockwise: the tool goes to its start and cuts it clockwise from there.
    d = Dxf(LwPolyline({{10, 0, -1}, {10, 10, 0}}, false));
    c = Convert(d);
    EXPECT_EQ(c.text, "%\r\nN0010 G00 X10.000\r\nN0020 G02 Y10.000 J5.000\r\nN0030 M30\r\n%\r\n");
}

// ------------------------------------------------------------------------ blocks
TEST(DrawingBlocks, PlacedScaledRotatedNestedAndMirrored) {
    std::string blocks = BlockE("LEG", 1, 0, LineE(1, 0, 2, 0) + ArcE(1, 0, 1, 0, 90)) +
                         BlockE("PAIR", 0, 0, InsertE("leg", 0, 0) + InsertE("LEG", 0, 5, 2, 2, 90)) +
                         BlockE("UNUSED", 0, 0, LineE(100, 100, 200, 200));
    // Placed at (10, 0): the base point (1, 0) lands there.
    auto pieces = PiecesOf(Dxf(InsertE("LEG", 10, 0), blocks));
    ASSERT_EQ(pieces.size(), 2u);
    ExpectNear(pieces[0].a, 10, 0);
    ExpectNear(pieces[0].b, 11, 0);
    ExpectNear(pieces[1].From(), 11, 0);  // the arc from 0 to 90 degrees about the base
    ExpectNear(pieces[1].To(), 10, 1);
    EXPECT_FALSE(pieces[1].clockwise);

    // Nested: PAIR holds LEG twice, once scaled by 2 and turned 90 degrees about (0, 5).
    pieces = PiecesOf(Dxf(InsertE("PAIR", 0, 0), blocks));
    ASSERT_EQ(pieces.size(), 4u);
    ExpectNear(pieces[2].a, 0, 5);
    ExpectNear(pieces[2].b, 0, 7);
    ExpectNear(pieces[3].centre, 0, 5);
    ExpectNear(pieces[3].To(), -2, 5);

    // Mirrored in X: the line runs leftwards and the arc turns the other way.
    pieces = PiecesOf(Dxf(InsertE("LEG", 0, 0, -1, 1), blocks));
    ExpectNear(pieces[0].b, -1, 0);
    EXPECT_TRUE(pieces[1].clockwise);
    ExpectNear(pieces[1].From(), -1, 0);
    ExpectNear(pieces[1].To(), 0, 1);

    // An array of 3 columns and 2 rows, 5 apart; the block that is never inserted is not drawn.
    pieces = PiecesOf(Dxf(InsertE("LEG", 0, 0, 1, 1, 0, 3, 2, 5, 5), blocks));
    ASSERT_EQ(pieces.size(), 12u);
    ExpectNear(pieces[10].a, 10, 5);
    for (const Piece& p : pieces) EXPECT_LT(p.a.x, 100);

    // A scale of (2, 1) turns the arc into an ellipse: arcs and lines within the tolerance.
    pieces = PiecesOf(Dxf(InsertE("LEG", 0, 0, 2, 1), blocks), nullptr, 0.001);
    ASSERT_GT(pieces.size(), 2u);
    for (size_t i = 1; i < pieces.size(); ++i) {
        NcPoint q = pieces[i].To();
        EXPECT_NEAR(q.x * q.x / 4 + q.y * q.y, 1, 0.01);
    }
}

TEST(DrawingBlocks, MissingAndSelfInsertingBlocksAreReported) {
    std::string blocks = BlockE("LOOP", 0, 0, LineE(0, 0, 1, 0) + InsertE("LOOP", 5, 5)) +
                         BlockE("LABEL", 0, 0, G(0, "TEXT") + G(1, "A") + G(0, "ATTDEF") + G(2, "T"));
    LeftOutCounts counts;
    auto pieces = PiecesOf(Dxf(InsertE("LOOP", 0, 0) + InsertE("NONE", 0, 0) + InsertE("LABEL", 0, 0, 1, 1, 0, 2, 1, 3, 0), blocks),
                           &counts);
    EXPECT_EQ(pieces.size(), 1u);
    EXPECT_EQ(LeftOutText(counts), "Tegningen har elementer som ikke er tatt med: 2 INSERT, 2 TEXT");

    // Arrays in arrays beyond any program (here 30000^2 copies of 30000^2): refused, and fast.
    std::string huge = BlockE("E", 0, 0, "") + BlockE("F", 0, 0, InsertE("E", 0, 0, 1, 1, 0, 30000, 30000, 1, 1));
    DxfOptions o;
    o.maxPieces = 1000000;
    TempDir dir;
    WriteFileBytes(dir.File("H.DXF"), Dxf(InsertE("F", 0, 0, 1, 1, 0, 30000, 30000, 1, 1), huge));
    bool ok = true;
    ConvertDrawing(o, dir.Dnc("H.DXF"), dir.Dnc("H.NC"), ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(std::filesystem::exists(dir.File("H.NC")));
}

TEST(DrawingExtrusion, UpsideDownEntitiesAreMirrored) {
    std::string down = G(210, 0.0) + G(220, 0.0) + G(230, -1.0);
    // An arc 0..90 degrees about (5, 0) seen from below: about (-5, 0), from 180 down to 90.
    auto pieces = PiecesOf(Dxf(ArcE(5, 0, 1, 0, 90, down) + LwPolyline({{1, 1}, {2, 1}}, false) + down));
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_TRUE(pieces[0].clockwise);
    ExpectNear(pieces[0].centre, -5, 0);
    ExpectNear(pieces[0].From(), -6, 0);
    ExpectNear(pieces[0].To(), -5, 1);
    ExpectNear(pieces[1].a, -1, 1);
    ExpectNear(pieces[1].b, -2, 1);
}

// ------------------------------------------------------------------------ curves
TEST(DrawingCurves, EllipseAndSplineWithinTheTolerance) {
    std::string ellipse = G(0, "ELLIPSE") + G(10, 10.0) + G(20, 5.0) + G(30, 0.0) + G(11, 20.0) + G(21, 0.0) +
                          G(31, 0.0) + G(40, 0.5) + G(41, 0.0) + G(42, 2 * M_PI);
    for (double tol : {0.1, 0.01, 0.001}) {
        auto pieces = PiecesOf(Dxf(ellipse), nullptr, tol);
        ASSERT_GT(pieces.size(), 3u);
        // Every piece joins the next; every point lies on the ellipse within the tolerance.
        for (size_t i = 0; i < pieces.size(); ++i) {
            const Piece& p = pieces[i];
            const Piece& next = pieces[(i + 1) % pieces.size()];
            EXPECT_NEAR(p.To().x, next.From().x, 1e-9);
            EXPECT_NEAR(p.To().y, next.From().y, 1e-9);
            std::vector<NcPoint> probe = {p.From()};
            if (p.kind == Piece::Kind::Arc) {
                double r = std::hypot(p.a.x - p.centre.x, p.a.y - p.centre.y);
                double a0 = std::atan2(p.a.y - p.centre.y, p.a.x - p.centre.x);
                double a1 = std::atan2(p.b.y - p.centre.y, p.b.x - p.centre.x);
                if (a1 < a0) a1 += 2 * M_PI;
                probe.push_back(NcPoint{p.centre.x + r * std::cos((a0 + a1) / 2), p.centre.y + r * std::sin((a0 + a1) / 2), 0});
            } else {
                probe.push_back(NcPoint{(p.a.x + p.b.x) / 2, (p.a.y + p.b.y) / 2, 0});
            }
            for (const NcPoint& q : probe) {
                // Distance to the ellipse x^2/400 + y^2/100 = 1 about (10, 5), to first order.
                double u = q.x - 10, v = q.y - 5;
                double f = u * u / 400 + v * v / 100 - 1;
                double grad = 2 * std::hypot(u / 400, v / 100);
                EXPECT_LE(std::fabs(f) / grad, tol * 1.01) << tol;
            }
        }
        EXPECT_FALSE(pieces.front().clockwise);
    }
    // A quadratic spline with clamped knots is a parabola: (0,0) (1,2) (2,0) gives y = 2x - x^2.
    std::string spline = G(0, "SPLINE") + G(70, "8") + G(71, "2") + G(72, "6") + G(73, "3") + G(74, "0");
    for (double k : {0, 0, 0, 1, 1, 1}) spline += G(40, k);
    spline += G(10, 0.0) + G(20, 0.0) + G(30, 0.0) + G(10, 1.0) + G(20, 2.0) + G(30, 0.0) + G(10, 2.0) + G(20, 0.0) + G(30, 0.0);
    auto pieces = PiecesOf(Dxf(spline), nullptr, 0.001);
    ASSERT_FALSE(pieces.empty());
    ExpectNear(pieces.front().From(), 0, 0);
    ExpectNear(pieces.back().To(), 2, 0);
    for (const Piece& p : pieces) EXPECT_NEAR(p.To().y, 2 * p.To().x - p.To().x * p.To().x, 1e-9);

    // Fit points alone: a smooth curve through every one of them, starting and ending on them.
    std::string fit = G(0, "SPLINE") + G(70, "8") + G(71, "3") + G(74, "5");
    for (double x : {0.0, 1.0, 2.0, 3.0, 4.0}) fit += G(11, x) + G(21, std::sin(x)) + G(31, 0.0);
    pieces = PiecesOf(Dxf(fit), nullptr, 0.001);
    ASSERT_GT(pieces.size(), 4u);
    ExpectNear(pieces.front().From(), 0, 0);
    ExpectNear(pieces.back().To(), 4, std::sin(4.0));
    for (double x : {1.0, 2.0, 3.0}) {
        bool through = false;
        for (const Piece& p : pieces) through = through || std::hypot(p.To().x - x, p.To().y - std::sin(x)) < 1e-9;
        EXPECT_TRUE(through) << x;
    }
    for (const Piece& p : pieces) EXPECT_NEAR(p.To().y, std::sin(p.To().x), 0.05);
}

// ------------------------------------------------------------------------ order of cutting
TEST(CuttingOrder, ShortestJoinsContoursAndCutsHolesFirst) {
    // An outline 0..100 and a hole 40..60, their sides out of order and some reversed.
    std::string e = LineE(100, 0, 100, 100) + LineE(40, 40, 60, 40) + LineE(0, 100, 0, 0) + LineE(60, 60, 60, 40) +
                    LineE(100, 100, 0, 100) + LineE(40, 60, 40, 40) + LineE(0, 0, 100, 0) + LineE(60, 60, 40, 60) +
                    G(0, "POINT") + G(10, 50.0) + G(20, 50.0) + G(30, 0.0);
    DxfOptions file, shortest;
    shortest.order = DxfOrder::Shortest;
    Converted f = Convert(Dxf(e), file), s = Convert(Dxf(e), shortest);
    ASSERT_TRUE(f.ok && s.ok);
    EXPECT_EQ(Count(f.text, "G00"), 9);
    // The drill point inside the hole, the hole, then the outline from its corner at the origin.
    EXPECT_EQ(s.text, "%\r\nN0010 G00 X50.000 Y50.000\r\nN0020 X40.000 Y40.000\r\nN0030 G01 X60.000\r\n"
                      "N0040 Y60.000\r\nN0050 X40.000\r\nN0060 Y40.000\r\nN0070 G00 X0.000 Y0.000\r\n"
                      "N0080 G01 X100.000\r\nN0090 Y100.000\r\nN0100 X0.000\r\nN0110 Y0.000\r\nN0120 M30\r\n%\r\n");

    // The writer's own rule joins the ends: ESSI counts points 0.04 apart as the same.
    std::string gap = LineE(10, 0.04, 20, 0) + LineE(0, 0, 10, 0);
    shortest.format = OutputFormat::Essi;
    EXPECT_EQ(Count(Convert(Dxf(gap), shortest).text, "\r\n5\r\n"), 0);
    shortest.format = OutputFormat::Standard;
    EXPECT_EQ(Count(Convert(Dxf(gap), shortest).text, "G00"), 1);

    // Five hundred copies of a square on top of one another: every side is cut, none lost.
    std::string square = BlockE("SQ", 0, 0, LineE(0, 0, 5, 0) + LineE(5, 0, 5, 5) + LineE(5, 5, 0, 5) + LineE(0, 5, 0, 0));
    Converted stack = Convert(Dxf(InsertE("SQ", 1, 1, 1, 1, 0, 25, 20, 0, 0), square), shortest);
    ASSERT_TRUE(stack.ok);
    EXPECT_EQ(Count(stack.text, "\r\nN"), 2000 + 1 + 1);  // the sides, one rapid, M30
}

// ------------------------------------------------------------------------ reading
TEST(DrawingRead, NotADrawingPaperSpaceAndLeftOutEntities) {
    EXPECT_FALSE(Convert("Dette er ingen tegning\r\n0\r\nLINE\r\n").ok);
    EXPECT_FALSE(Convert(std::string("\x00\x01\x02 binary", 10)).ok);
    Converted header = Convert(Section("HEADER", G(9, "$ACADVER") + G(1, "AC1009")) + G(0, "EOF"));
    EXPECT_TRUE(header.ok);
    EXPECT_EQ(header.text, "%\r\nN0010 M30\r\n%\r\n");

    std::string e = G(0, "TEXT") + G(1, "A") + LineE(0, 0, 1, 0) + G(0, "HATCH") + G(91, "99999999") + G(0, "MTEXT") +
                    G(0, "TEXT") + G(67, "1") + G(0, "LINE") + G(67, "1") + G(10, 5.0) + G(11, 6.0) +
                    G(0, "POLYLINE") + G(70, "64") + G(0, "VERTEX") + G(10, 1.0) + G(0, "SEQEND") +
                    G(0, "TEXT") + G(0, "ACAD_TABLE");
    Converted c = Convert(Dxf(e));
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.text, "%\r\nN0010 G01 X1.000\r\nN0020 M30\r\n%\r\n");  // paper space left out
    EXPECT_EQ(c.leftOut,
              "Tegningen har elementer som ikke er tatt med: 2 TEXT, 1 HATCH, 1 MTEXT, 1 POLYLINE, 1 ACAD_TABLE");
    EXPECT_EQ(Convert(Dxf(LineE(0, 0, 1, 0))).leftOut, "");
    EXPECT_EQ(Convert("\xEF\xBB\xBF" + Dxf(LineE(0, 0, 1, 0))).text, "%\r\nN0010 G01 X1.000\r\nN0020 M30\r\n%\r\n");

    // A damaged file full of odd names: the twelve most frequent are told, the rest hinted.
    std::string odd;
    for (int i = 0; i < 20; ++i) odd += G(0, "X" + std::to_string(i)) + (i == 7 ? G(0, "X7") : "");
    std::string told = Convert(Dxf(odd)).leftOut;
    EXPECT_EQ(told.substr(0, 56), "Tegningen har elementer som ikke er tatt med: 2 X7, 1 X0");
    EXPECT_EQ(told.substr(told.size() - 17), "1 X10, 1 X11, ...");
}

TEST(DrawingRead, BinaryFormsReadAsTheTextForm) {
    // The same drawing in both binary layouts: one-byte codes (255 escapes a larger one) and
    // two-byte codes.
    struct Pair {
        int code;
        std::string text;
        double real;
    };
    std::vector<Pair> pairs = {{0, "SECTION", 0}, {2, "ENTITIES", 0}, {0, "LWPOLYLINE", 0}, {90, "", 3},
                               {70, "", 1},        {10, "", 0},        {20, "", 0},          {10, "", 10},
                               {20, "", 0},        {42, "", -1},       {10, "", 10},         {20, "", 10},
                               {0, "CIRCLE", 0},   {10, "", 4.5},      {20, "", -2.25},      {30, "", 0},
                               {40, "", 1.5},      {0, "ENDSEC", 0},   {0, "EOF", 0}};
    std::string text;
    for (const Pair& p : pairs) {
        switch (DxfValueKindOf(p.code)) {
            case DxfValueKind::Text: text += G(p.code, p.text); break;
            case DxfValueKind::Real: text += G(p.code, p.real); break;
            default: text += G(p.code, std::to_string(static_cast<int>(p.real))); break;
        }
    }
    for (bool wide : {false, true}) {
        std::string bin("AutoCAD Binary DXF\r\n\x1a\0", 22);
        for (const Pair& p : pairs) {
            if (wide) bin.append({static_cast<char>(p.code & 255), static_cast<char>(p.code >> 8)});
            else if (p.code < 255) bin.push_back(static_cast<char>(p.code));
            else bin.append({'\xff', static_cast<char>(p.code & 255), static_cast<char>(p.code >> 8)});
            switch (DxfValueKindOf(p.code)) {
                case DxfValueKind::Text: bin += p.text, bin.push_back('\0'); break;
                case DxfValueKind::Real: bin.append(reinterpret_cast<const char*>(&p.real), 8); break;
                case DxfValueKind::Int16: {
                    int16_t v = static_cast<int16_t>(p.real);
                    bin.append(reinterpret_cast<const char*>(&v), 2);
                    break;
                }
                default: {
                    int32_t v = static_cast<int32_t>(p.real);
                    bin.append(reinterpret_cast<const char*>(&v), 4);
                    break;
                }
            }
        }
        for (OutputFormat f : {OutputFormat::Standard, OutputFormat::Essi}) {
            DxfOptions o;
            o.format = f;
            Converted b = Convert(bin, o), t = Convert(text, o);
            ASSERT_TRUE(b.ok && t.ok) << wide;
            EXPECT_EQ(b.text, t.text);
            EXPECT_NE(t.text.find(f == OutputFormat::Standard ? "G02" : "-"), std::string::npos);
        }
        // Cut short inside a group: a broken file, not a shorter drawing.
        EXPECT_FALSE(Convert(bin.substr(0, bin.size() - 12)).ok);
    }
}

// ------------------------------------------------------------------------ the shared drawings
TEST(DxfSampleDrawings, FormsEveryOutlineClosedAndEllipsesWithinTolerance) {
    std::string path = Samples() + "/forms.dxf";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no samples";
    Converted c = ConvertFile(path);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.leftOut, "");
    auto runs = ToolPath(c.text);
    int outlines = 0;
    for (const SampleEntity& e : SampleEntities(path)) {
        if (e.type == "LWPOLYLINE") {
            ++outlines;
            std::vector<std::pair<double, double>> vs;
            for (auto& [code, v] : e.groups) {
                if (code == 10) vs.emplace_back(std::atof(v.c_str()), 0);
                if (code == 20) vs.back().second = std::atof(v.c_str());
            }
            bool found = false;
            for (const PathRun& r : runs) {
                bool all = true;
                for (auto& [x, y] : vs) all = all && Passes(r, x, y, 0.0011);
                const NcPoint &a = r.points.front(), &b = r.points.back();
                if (all && std::fabs(a.x - b.x) < 0.0011 && std::fabs(a.y - b.y) < 0.0011) found = true;
            }
            EXPECT_TRUE(found) << "outline " << outlines;
        }
        if (e.type == "ELLIPSE") {
            // Every point of the run that cuts the ellipse lies within the tolerance of it.
            double cx = e.Real(10), cy = e.Real(20), mx = e.Real(11), my = e.Real(21), ratio = e.Real(40);
            double a = std::hypot(mx, my), b = a * ratio, rot = std::atan2(my, mx);
            int near = 0;
            for (const PathRun& r : runs) {
                double worst = 0;
                for (const NcPoint& p : r.points) {
                    double dx = p.x - cx, dy = p.y - cy;
                    double u = dx * std::cos(rot) + dy * std::sin(rot), v = -dx * std::sin(rot) + dy * std::cos(rot);
                    double f = u * u / (a * a) + v * v / (b * b) - 1;
                    worst = std::max(worst, std::fabs(f) / (2 * std::hypot(u / (a * a), v / (b * b))));
                }
                if (worst < 0.01 + 0.002 && r.points.size() > 8) ++near;
            }
            EXPECT_GE(near, 1);
        }
    }
    EXPECT_EQ(outlines, 33);
}

TEST(DxfSampleDrawings, PolylinesBinaryAndTextDrawings) {
    if (!std::filesystem::is_directory(Samples())) GTEST_SKIP() << "no samples";
    // Thirty old-style polylines, each in a plane of its own (an extrusion direction that is
    // not Z): every vertex is cut where the plane puts it, the closed ones end where they start.
    std::string poli = Samples() + "/POLI-ALL210_12.DXF";
    Converted c = ConvertFile(poli);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.leftOut, "Tegningen har elementer som ikke er tatt med: 1 3DFACE");
    auto runs = ToolPath(c.text);
    EXPECT_EQ(runs.size(), 30u);
    auto ents = SampleEntities(poli);
    size_t run = 0;
    for (size_t i = 0; i < ents.size() && run < runs.size(); ++i) {
        if (ents[i].type != "POLYLINE") continue;
        int flags = static_cast<int>(ents[i].Real(70));
        // The arbitrary axis rule, written out here on its own.
        double nx = ents[i].Real(210), ny = ents[i].Real(220), nz = ents[i].Real(230, 1);
        double nl = std::sqrt(nx * nx + ny * ny + nz * nz);
        nx /= nl, ny /= nl, nz /= nl;
        double ax, ay, az;
        if (std::fabs(nx) < 1.0 / 64 && std::fabs(ny) < 1.0 / 64) ax = nz, ay = 0, az = -nx;  // Y x N
        else ax = -ny, ay = nx, az = 0;                                                       // Z x N
        double al = std::sqrt(ax * ax + ay * ay + az * az);
        ax /= al, ay /= al, az /= al;
        double bx = ny * az - nz * ay, by = nz * ax - nx * az;
        double elevation = ents[i].Real(30);
        for (size_t j = i + 1; j < ents.size() && ents[j].type == "VERTEX"; ++j) {
            double x = ents[j].Real(10), y = ents[j].Real(20);
            double wx = ax * x + bx * y + nx * elevation, wy = ay * x + by * y + ny * elevation;
            EXPECT_TRUE(Passes(runs[run], wx, wy, 0.0011)) << run;
        }
        const NcPoint &a = runs[run].points.front(), &b = runs[run].points.back();
        EXPECT_EQ((flags & 1) != 0, std::hypot(a.x - b.x, a.y - b.y) < 0.0011) << run;
        ++run;
    }

    // The binary drawing holds three lines; as text they give the same program.
    std::string lines = LineE(335.7175512218761, 383.1616235910567, 533.2468418052385, 304.2703520470918) +
                        LineE(533.2468418052385, 304.2703520470918, 595.8780802828901, 439.7706275997033) +
                        LineE(595.8780802828901, 439.7706275997033, 338.7286684563786, 436.15728691830026);
    for (OutputFormat f : {OutputFormat::Standard, OutputFormat::Essi}) {
        DxfOptions o;
        o.format = f;
        Converted bin = ConvertFile(Samples() + "/bin_dxf_r13.dxf", o);
        ASSERT_TRUE(bin.ok);
        EXPECT_EQ(bin.text, Convert(Dxf(lines), o).text);
    }

    // Texts of every kind are reported; the block insert brings only its attributes.
    Converted t = ConvertFile(Samples() + "/text.dxf");
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.leftOut, "Tegningen har elementer som ikke er tatt med: 62 TEXT, 30 MTEXT, 4 ATTDEF, 4 ATTRIB");
    EXPECT_EQ(Count(t.text, "G01") + Count(t.text, "G02") + Count(t.text, "G03") > 50, true);

    // A drawing without its end marker but whose sections are closed still converts.
    EXPECT_TRUE(ConvertFile(Samples() + "/recover01.dxf").ok);
}

TEST(DxfSampleDrawings, ShortestOrderCutsTheRapidsOfTheBigDrawing) {
    std::string path = Samples() + "/3_us_main.dxf";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no samples";
    DxfOptions shortest;
    shortest.order = DxfOrder::Shortest;
    Converted f = ConvertFile(path), s = ConvertFile(path, shortest);
    ASSERT_TRUE(f.ok && s.ok);
    // The same cuts, the same report; never more rapid moves than in the file's order.
    EXPECT_EQ(f.leftOut, s.leftOut);
    EXPECT_LE(Count(s.text, "G00"), Count(f.text, "G00"));
    EXPECT_EQ(Count(s.text, "\r\n"), Count(f.text, "\r\n") + Count(s.text, "G00") - Count(f.text, "G00"));
}

TEST(DxfCommandOptions, OrderToleranceAndTheReportOnStandardError) {
    // The machine asks for the file's order; --order and --tolerance override it for one run.
    ScopedIni ini("[Maskin1]\r\nDXFRekkefolge=FIL\r\nDXFToleranse=0.5\r\n");
    TempDir dir;
    std::string e = LineE(50, 0, 60, 0) + LineE(0, 0, 10, 0) + G(0, "TEXT") +
                    G(0, "ELLIPSE") + G(10, 100.0) + G(20, 0.0) + G(11, 20.0) + G(21, 0.0) + G(40, 0.5);
    WriteFileBytes(dir.File("P.DXF"), Dxf(e));
    std::string skarv = BinDir() + "/skarv", out, err;
    auto run = [&](std::vector<std::string> extra) {
        std::vector<std::string> argv = {skarv, "--ini", ini.dncPath(), "dxf", dir.File("P.DXF"), "-o", dir.File("P.NC")};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return RunProgram(argv, &out, &err);
    };
    ASSERT_EQ(run({}), 0) << err;
    EXPECT_EQ(err, "Tegningen har elementer som ikke er tatt med: 1 TEXT\n");
    std::string file = ReadFileBytes(dir.File("P.NC"));
    EXPECT_EQ(file.substr(0, 23), "%\r\nN0010 G00 X50.000\r\nN");

    ASSERT_EQ(run({"--order", "kortest", "--tolerance", "0.001"}), 0) << err;
    std::string shortest = ReadFileBytes(dir.File("P.NC"));
    EXPECT_EQ(shortest.substr(0, 20), "%\r\nN0010 G01 X10.000");
    EXPECT_LT(Count(shortest, "G00"), Count(file, "G00"));
    EXPECT_GT(Count(shortest, "\r\n"), Count(file, "\r\n"));  // the finer tolerance: more pieces

    EXPECT_EQ(run({"--order", "tilfeldig"}), 2);
    EXPECT_EQ(run({"--tolerance", "-1"}), 2);
    WriteFileBytes(dir.File("P.DXF"), "ingen tegning\r\n");
    EXPECT_EQ(run({}), 1);
    EXPECT_NE(err.find("Feil med konvertering fra DXF TIL NC"), std::string::npos);
}
