// The ESSI writer counts from where it has put the cutter: drawings in whole tenths give the
// bytes they always gave, other drawings no longer wander, and an arc below the format's
// tenth never turns into a circle.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "TestSupport.h"
#include "convert/DXF.h"
#include "convert/DrawingPieces.h"
#include "convert/DxfDrawing.h"
#include "convert/ESSI.h"
#include "plot/Plot.h"
#include "settings/PathResolve.h"

namespace {
// The writing as it was before: each increment rounded by itself, a cut measured from its own
// piece's start, so what one rounding loses the next never wins back.
class PieceByPieceEssi : public NcWriter {
public:
    std::string text;
    void BeginOutput(const std::string&, bool&) override {
        Put("1");
        Put("ESSI Upload");
        Put("Part Number 1");
    }
    void WriteLineEntity(const NcPoint& s, const NcPoint& e) override {
        if (!SamePoint(at_, s)) Rapid(s.x - at_.x, s.y - at_.y);
        Cut(Values({e.x - s.x, e.y - s.y}));
        at_ = e;
    }
    void WriteCircleEntity(const NcPoint& c, double r) override {
        NcPoint p = std::fabs(std::hypot(at_.x - c.x, at_.y - c.y) - r) < 0.05 ? at_ : NcPoint{c.x + r, c.y, 0};
        WriteArcEntity(p, p, c);
    }
    void WriteArcEntity(const NcPoint& start, const NcPoint& end, const NcPoint& c) override {
        NcPoint s = start, e = end;
        char sign = '+';
        if (SamePoint(at_, e)) {
            std::swap(s, e);
            sign = '-';
        }
        if (!SamePoint(at_, s)) Rapid(s.x - at_.x, s.y - at_.y);
        Cut(Values({e.x - s.x, e.y - s.y, c.x - s.x, c.y - s.y}) + sign);
        at_ = e;
    }
    void WritePointEntity(const NcPoint& p) override {
        if (SamePoint(at_, p)) return;
        Rapid(p.x - at_.x, p.y - at_.y);
        at_ = p;
    }
    void EndOutput(bool&) override {
        if (cutting_) Put("8");
        Put("63");
        Put("0");
    }
    NcPoint CurrentPosition() const override { return at_; }
    bool SamePoint(const NcPoint& a, const NcPoint& b) const override {
        return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) < 0.05;
    }
    double SamePointReach() const override { return 0.05; }

private:
    static std::string Values(std::initializer_list<double> values) {
        std::string s;
        for (double v : values) EssiValue(v, s);
        return s;
    }
    void Put(const std::string& line) { text += line + "\r\n"; }
    void Rapid(double dx, double dy) {
        if (cutting_) Put("8");
        if (!rapid_) Put("5");
        cutting_ = false;
        rapid_ = true;
        Put(Values({dx, dy}));
    }
    void Cut(const std::string& line) {
        if (rapid_) Put("6");
        if (!cutting_) Put("7");
        rapid_ = false;
        cutting_ = true;
        Put(line);
    }
    NcPoint at_;
    bool rapid_ = false;
    bool cutting_ = false;
};

// The program the real writer makes of the pieces.
std::string WrittenByTheWriter(const std::vector<Piece>& pieces) {
    TempDir dir;
    EssiWriter w;
    bool ok = true;
    w.BeginOutput(dir.Dnc("PART.ESI"), ok);
    for (const Piece& p : pieces) WritePiece(w, p);
    w.EndOutput(ok);
    EXPECT_TRUE(ok);
    return ReadFileBytes(dir.File("PART.ESI"));
}

std::string WrittenPieceByPiece(const std::vector<Piece>& pieces) {
    PieceByPieceEssi w;
    bool ok = true;
    w.BeginOutput("", ok);
    for (const Piece& p : pieces) WritePiece(w, p);
    w.EndOutput(ok);
    return w.text;
}

NcPoint Tenths(long x, long y) { return NcPoint{x / 10.0, y / 10.0, 0}; }

// A drawing in whole tenths: lines head to tail and apart, arcs both ways round (3-4-5
// triangles keep their ends on the tenths), arcs that end where the tool stands, circles
// through the tool and away from it, whole turns and drill points.
std::vector<Piece> WholeTenthsDrawing(unsigned seed, int count) {
    std::mt19937 rng(seed);
    auto pick = [&](long n) { return static_cast<long>(rng() % static_cast<unsigned long>(n)); };
    static const long kDirs[12][2] = {{5, 0}, {4, 3}, {3, 4}, {0, 5}, {-3, 4}, {-4, 3},
                                      {-5, 0}, {-4, -3}, {-3, -4}, {0, -5}, {3, -4}, {4, -3}};
    std::vector<Piece> pieces;
    long ax = 0, ay = 0;  // where the last piece ended, in tenths
    for (int n = 0; n < count; ++n) {
        Piece p;
        long k = 1 + pick(30);
        const long* d1 = kDirs[pick(12)];
        const long* d2 = kDirs[pick(12)];
        long cx = pick(4001) - 2000, cy = pick(4001) - 2000;
        bool fromHere = pick(3) > 0;
        switch (pick(6)) {
            case 0: {
                p.kind = Piece::Kind::Line;
                if (!fromHere) ax = pick(4001) - 2000, ay = pick(4001) - 2000;
                p.a = Tenths(ax, ay);
                ax += pick(401) - 200;
                ay += pick(401) - 200;
                p.b = Tenths(ax, ay);
                break;
            }
            case 1:
            case 2: {
                p.kind = Piece::Kind::Arc;
                p.clockwise = pick(2) == 0;
                if (fromHere) {  // the cut begins where the tool stands
                    cx = ax - k * (p.clockwise ? d2 : d1)[0];
                    cy = ay - k * (p.clockwise ? d2 : d1)[1];
                }
                if (pick(8) == 0) d2 = d1;  // a whole turn
                p.a = Tenths(cx + k * d1[0], cy + k * d1[1]);
                p.b = Tenths(cx + k * d2[0], cy + k * d2[1]);
                p.centre = Tenths(cx, cy);
                const long* to = p.clockwise ? d1 : d2;
                ax = cx + k * to[0];
                ay = cy + k * to[1];
                break;
            }
            case 3: {  // counter-clockwise, ending where the tool stands: cut backwards
                p.kind = Piece::Kind::Arc;
                cx = ax - k * d2[0];
                cy = ay - k * d2[1];
                p.a = Tenths(cx + k * d1[0], cy + k * d1[1]);
                p.b = Tenths(ax, ay);
                p.centre = Tenths(cx, cy);
                if (d1 != d2) ax = cx + k * d1[0], ay = cy + k * d1[1];
                break;
            }
            case 4: {
                p.kind = Piece::Kind::Circle;
                p.radius = k * 0.5;
                if (fromHere) {
                    cx = ax - k * d1[0];
                    cy = ay - k * d1[1];
                } else {
                    ax = cx + 5 * k;
                    ay = cy;
                }
                p.centre = Tenths(cx, cy);
                break;
            }
            default:
                p.kind = Piece::Kind::Point;
                ax = cx;
                ay = cy;
                p.a = Tenths(cx, cy);
                break;
        }
        pieces.push_back(p);
    }
    return pieces;
}

std::vector<Piece> DrawingPiecesOf(const std::string& dxfNative) {
    Drawing drawing;
    EXPECT_EQ(ReadDrawing(ReadFileBytes(dxfNative), drawing), DrawingRead::Ok);
    std::vector<Piece> pieces;
    LeftOutCounts leftOut;
    DrawingPieces(drawing, PieceOptions{}, [&](const Piece& p) { pieces.push_back(p); }, leftOut);
    return pieces;
}

Toolpath ReadBack(const std::string& program) {
    PlotSettings s;
    s.dialect = PlotDialect::Essi;
    return InterpretProgram(program, s);
}

std::string Dxf(const std::string& entities) {
    return "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n" + entities + "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
}
std::string Num(double v) {
    std::ostringstream s;
    s.precision(17);
    s << v;
    return s.str();
}
std::string LineText(double x1, double y1, double x2, double y2) {
    return "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n" + Num(x1) + "\r\n 20\r\n" + Num(y1) + "\r\n 11\r\n" + Num(x2) +
           "\r\n 21\r\n" + Num(y2) + "\r\n";
}
std::string ArcText(double cx, double cy, double r, double a50, double a51) {
    return "  0\r\nARC\r\n  8\r\n0\r\n 10\r\n" + Num(cx) + "\r\n 20\r\n" + Num(cy) + "\r\n 40\r\n" + Num(r) +
           "\r\n 50\r\n" + Num(a50) + "\r\n 51\r\n" + Num(a51) + "\r\n";
}
std::string ConvertToEssi(const std::string& dxfBytes) {
    TempDir dir;
    WriteFileBytes(dir.File("PART.DXF"), dxfBytes);
    bool ok = false;
    ConvertDxfToNcAs(OutputFormat::Essi, dir.Dnc("PART.DXF"), dir.Dnc("PART.ESI"), ok);
    EXPECT_TRUE(ok);
    return ok ? ReadFileBytes(dir.File("PART.ESI")) : std::string();
}
}  // namespace

TEST(EssiWriter, DrawingsInWholeTenthsGiveTheBytesTheyAlwaysGave) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::vector<Piece> pieces = WholeTenthsDrawing(seed, 400);
        std::string now = WrittenByTheWriter(pieces);
        ASSERT_EQ(now, WrittenPieceByPiece(pieces)) << "seed " << seed;
        if (seed == 1) {  // every kind of statement took part
            for (const char* s : {"\r\n5\r\n", "\r\n6\r\n", "\r\n7\r\n", "\r\n8\r\n"})
                EXPECT_NE(now.find(s), std::string::npos) << s;
        }
    }
    // The shop's stored example is still what its drawing converts to.
    std::string plasma = std::string(SKARV_SOURCE_DIR) + "/examples/shop/Plasma/";
    EXPECT_EQ(ConvertToEssi(ReadFileBytes(plasma + "BRAKETT.DXF")), ReadFileBytes(plasma + "BRAKETT.ESI"));
}

TEST(EssiWriter, ManyShortPiecesEndWhereTheDrawingSays) {
    // A staircase of 1000 pieces of 0.26 by 0.13: each rounds to 0.3 by 0.1 by itself.
    std::string entities;
    for (int i = 0; i < 1000; ++i) entities += LineText(0.26 * i, 0.13 * i, 0.26 * (i + 1), 0.13 * (i + 1));
    TempDir dir;
    WriteFileBytes(dir.File("STAIR.DXF"), Dxf(entities));
    std::string program = ConvertToEssi(ReadFileBytes(dir.File("STAIR.DXF")));
    Toolpath now = ReadBack(program);
    ASSERT_EQ(now.size(), 1000u);
    EXPECT_TRUE(now.notes.empty());
    double drift = 0;
    for (size_t i = 0; i < now.size(); ++i) {
        PlotPoint t = now.End(i);
        drift = std::max({drift, std::fabs(t.x - 0.26 * (i + 1)), std::fabs(t.y - 0.13 * (i + 1))});
    }
    EXPECT_LE(drift, 0.05 + 1e-9);
    EXPECT_NEAR(now.End(999).x, 260, 1e-6);
    EXPECT_NEAR(now.End(999).y, 130, 1e-6);

    // Rounded piece by piece the same drawing ended 40 mm and 30 mm off.
    Toolpath before = ReadBack(WrittenPieceByPiece(DrawingPiecesOf(dir.File("STAIR.DXF"))));
    ASSERT_EQ(before.size(), 1000u);
    EXPECT_NEAR(before.End(999).x, 300, 1e-6);
    EXPECT_NEAR(before.End(999).y, 100, 1e-6);
    std::printf("1000 pieces of 0.26 x 0.13: the last cut ends %.4f mm off, rounded piece by piece %.4f mm\n",
                std::hypot(now.End(999).x - 260, now.End(999).y - 130),
                std::hypot(before.End(999).x - 260, before.End(999).y - 130));
}

TEST(EssiWriter, AnArcBelowTheTenthIsNoCircle) {
    // From (10, 0) an arc of two degrees on a radius of 1 (0.035 long) ends in the same tenth:
    // a straight cut of nothing, where an end step of nothing would cut the whole circle.
    std::string program = ConvertToEssi(Dxf(LineText(0, 0, 10, 0) + ArcText(10, 1, 1, 270, 272) +
                                            LineText(10.0349, 0.0006, 20, 0)));
    EXPECT_EQ(program, "1\r\nESSI Upload\r\nPart Number 1\r\n7\r\n+100+\r\n++\r\n+100+\r\n8\r\n63\r\n0\r\n");
    Toolpath path = ReadBack(program);
    for (size_t i = 0; i < path.size(); ++i) EXPECT_FALSE(path.IsArc(i)) << i;
    EXPECT_NEAR(path.End(path.size() - 1).x, 20, 1e-9);

    // Cut backwards, from its end where the tool stands, the same.
    program = ConvertToEssi(Dxf(LineText(0, 0, 10.0349, 0.0006) + ArcText(10, 1, 1, 270, 272)));
    EXPECT_EQ(program, "1\r\nESSI Upload\r\nPart Number 1\r\n7\r\n+100+\r\n++\r\n8\r\n63\r\n0\r\n");

    // One of four degrees (0.07) whose end lies in the next tenth stays a short arc.
    path = ReadBack(ConvertToEssi(Dxf(LineText(0, 0, 10.04, 0) + ArcText(10.04, 1, 1, 270, 274))));
    ASSERT_EQ(path.size(), 2u);
    ASSERT_TRUE(path.IsArc(1));
    EXPECT_FALSE(path.FullCircle(1));
    EXPECT_TRUE(path.notes.empty());

    // Whole turns stay circles: 0 to 360 degrees, 3 to 363 and 5 to 365 (whose ends the
    // arithmetic of the angles puts a hair apart, the end a hair past the start), and one
    // short of whole by less than the tenth.
    for (auto [a50, a51] : {std::pair{0.0, 360.0}, {3.0, 363.0}, {5.0, 365.0}, {0.0, 359.5}}) {
        program = ConvertToEssi(Dxf(ArcText(20, 0, 5, a50, a51)));
        path = ReadBack(program);
        ASSERT_EQ(path.size(), 2u) << a50;
        ASSERT_TRUE(path.IsArc(1)) << a50;
        EXPECT_TRUE(path.FullCircle(1)) << a50 << " " << program;
        EXPECT_EQ(path.Kind(1), MoveKind::ArcCcw);
    }
    // A whole turn that begins 0.02 from where the tool stands (no rapid move between, and cut
    // clockwise as the tool stands at its end) closes where the cutter is, a tenth short of its
    // own start, about its own centre.
    program = ConvertToEssi(Dxf(LineText(0, 0, 10.04, 0) + ArcText(5.06, 0, 5, 0, 360)));
    EXPECT_EQ(program, "1\r\nESSI Upload\r\nPart Number 1\r\n7\r\n+100+\r\n++-49+-\r\n8\r\n63\r\n0\r\n");
}
