// ESSI programs read back: a drawing converted to ESSI draws as the drawing, to the tenth
// of a millimetre the format holds.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "PlotTestSupport.h"
#include "TestSupport.h"
#include "convert/DXF.h"
#include "convert/DrawingPieces.h"
#include "convert/DxfDrawing.h"
#include "plot/PlotFigures.h"
#include "settings/PathResolve.h"
#include "settings/Strings.h"
#include "settings/TextUtil.h"

using Lines = std::vector<std::string>;

namespace {
std::string Code(const char* code, double value) {
    std::ostringstream s;
    s.precision(17);
    s << code << "\r\n" << value << "\r\n";
    return s.str();
}
std::string Entities(const std::string& body) {
    return std::string("  0\r\nSECTION\r\n  2\r\nENTITIES\r\n") + body + "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
}
std::string LineEntityText(double x1, double y1, double x2, double y2) {
    return "  0\r\nLINE\r\n  8\r\n0\r\n" + Code(" 10", x1) + Code(" 20", y1) + Code(" 30", 0) +
           Code(" 11", x2) + Code(" 21", y2) + Code(" 31", 0);
}
std::string CircleEntityText(double cx, double cy, double r) {
    return "  0\r\nCIRCLE\r\n  8\r\n0\r\n" + Code(" 10", cx) + Code(" 20", cy) + Code(" 30", 0) +
           Code(" 40", r);
}
std::string ArcEntityText(double cx, double cy, double r, double a50, double a51) {
    return "  0\r\nARC\r\n  8\r\n0\r\n" + Code(" 10", cx) + Code(" 20", cy) + Code(" 30", 0) +
           Code(" 40", r) + Code(" 50", a50) + Code(" 51", a51);
}

// The drawing's entities as the conversion hands them to the ESSI writer, with the writer's
// own rule for where the tool stands and where each cut begins and ends.
struct Entity {
    char kind;  // L line, A arc (counter-clockwise from a to b about c), C circle
    NcPoint a, b, c;
    double r = 0;
    NcPoint from, to;  // the cut: an arc is cut backwards when the tool stands at its end, a
                       // circle begins and ends where the tool enters it
    bool backwards = false;
};
constexpr double kJoin = 0.05;  // the writer's same-point reach: no rapid move within it
bool Joined(const NcPoint& a, const NcPoint& b) { return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) < kJoin; }

class EntityRecorder : public NcWriter {
public:
    std::vector<Entity> entities;
    NcPoint at;
    void BeginOutput(const std::string&, bool&) override {}
    void WriteLineEntity(const NcPoint& s, const NcPoint& e) override {
        entities.push_back(Entity{'L', s, e, {}, 0, s, e});
        at = e;
    }
    void WriteCircleEntity(const NcPoint& c, double r) override {
        if (std::fabs(std::hypot(at.x - c.x, at.y - c.y) - r) >= kJoin) at = NcPoint{c.x + r, c.y, 0};
        entities.push_back(Entity{'C', {}, {}, c, r, at, at});
    }
    void WriteArcEntity(const NcPoint& s, const NcPoint& e, const NcPoint& c) override {
        bool backwards = Joined(at, e);
        entities.push_back(Entity{'A', s, e, c, 0, backwards ? e : s, backwards ? s : e, backwards});
        at = entities.back().to;
    }
    void WritePointEntity(const NcPoint& p) override { at = p; }
    void EndOutput(bool&) override {}
    NcPoint CurrentPosition() const override { return at; }
    bool SamePoint(const NcPoint& a, const NcPoint& b) const override { return Joined(a, b); }
    double SamePointReach() const override { return kJoin; }
};

std::vector<Entity> ReadEntities(const std::string& dncPath) {
    EntityRecorder w;
    Drawing drawing;
    if (ReadDrawing(ReadFileBytes(ResolvePath(dncPath)), drawing) != DrawingRead::Ok) return {};
    LeftOutCounts leftOut;
    DrawingPieces(drawing, PieceOptions{}, [&](const Piece& piece) { WritePiece(w, piece); }, leftOut);
    return w.entities;
}

// Converts a drawing to ESSI and reads the program back; false when it does not convert.
bool ConvertAndRead(const std::string& dxfDnc, Toolpath& path, std::string* text = nullptr) {
    TempDir dir;
    bool ok = false;
    ConvertDxfToNcAs(OutputFormat::Essi, dxfDnc, dir.Dnc("PART.ESI"), ok);
    if (!ok) return false;
    std::string program = ReadFileBytes(dir.File("PART.ESI"));
    if (text) *text = program;
    path = InterpretProgram(program, Essi());
    return true;
}

double Off(const PlotPoint& p, const NcPoint& q) { return std::max(std::fabs(p.x - q.x), std::fabs(p.y - q.y)); }

// Each cut of the program against the entity it was written from: the same shape, and every
// point the machine reaches within the half tenth the format rounds to of where the drawing
// puts it, however many cuts came before. Returns how far the cuts wander from the drawing.
double ExpectDrawnAsTheDrawing(const std::vector<Entity>& entities, const Toolpath& path,
                               const std::string& name) {
    constexpr double kHalfTenth = 0.05 + 1e-9;
    std::vector<size_t> cuts;
    for (size_t i = 0; i < path.size(); ++i)
        if (path.Kind(i) != MoveKind::Rapid) cuts.push_back(i);
    EXPECT_EQ(cuts.size(), entities.size()) << name;
    if (cuts.size() != entities.size()) return 0;
    double drift = 0;  // how far the cuts have wandered from the drawing's own places
    EXPECT_TRUE(path.notes.empty()) << name << ": " << (path.notes.empty() ? "" : NoteLine(path.notes[0]));
    for (size_t k = 0; k < entities.size(); ++k) {
        const Entity& e = entities[k];
        size_t i = cuts[k];
        PlotPoint s = path.Start(i), t = path.End(i);
        SCOPED_TRACE(name + " entity " + std::to_string(k) + " " + e.kind);
        // A cut begins where the last move ended: at most the join from the drawing's start.
        EXPECT_LE(Off(s, e.from), kHalfTenth + kJoin);
        bool fullCircle = path.IsArc(i) && path.FullCircle(i);
        if (fullCircle && e.kind == 'A' && Off(s, e.from) > kHalfTenth) {
            // A whole turn entered from a joined point closes where it began.
            EXPECT_LE(Off(t, e.to), kHalfTenth + kJoin);
        } else {
            drift = std::max(drift, Off(t, e.to));
        }
        if (e.kind == 'L') {
            EXPECT_EQ(path.Kind(i), MoveKind::Feed);
            continue;
        }
        if (e.kind == 'A' && path.Kind(i) == MoveKind::Feed) {
            // An arc whose ends lie within one tenth, and that turns no more than half way, is
            // a cut of nothing: it is below what the format can say.
            EXPECT_LT(Off(s, e.to), kHalfTenth);
            double cross = (e.a.x - e.c.x) * (e.b.y - e.c.y) - (e.a.y - e.c.y) * (e.b.x - e.c.x);
            EXPECT_GE(cross, 0);
            continue;
        }
        if (!path.IsArc(i)) {
            ADD_FAILURE() << "not an arc";
            continue;
        }
        PlotPoint c = path.Centre(i);
        EXPECT_LE(Off(c, e.c), kHalfTenth);
        if (e.kind == 'C') {
            EXPECT_TRUE(fullCircle);
            // The entry may lie the join's reach off the circle; start and centre are rounded.
            EXPECT_NEAR(std::hypot(s.x - c.x, s.y - c.y), std::fabs(e.r), 3 * kHalfTenth);
            continue;
        }
        EXPECT_EQ(path.Kind(i), e.backwards ? MoveKind::ArcCw : MoveKind::ArcCcw);
        if (fullCircle) {
            // A whole turn, or one so nearly whole that its ends lie within the format's tenth.
            EXPECT_LT(std::hypot(e.b.x - e.a.x, e.b.y - e.a.y), 4 * kHalfTenth);
        }
    }
    return drift;
}
}  // namespace

TEST(EssiPlot, TheWritersExampleReadsBackExactly) {
    TempDir dir;
    WriteFileBytes(dir.File("PART.DXF"), Entities(LineEntityText(0, 0, 10, 0) + LineEntityText(10, 0, 10, 5) +
                                                  CircleEntityText(20, 5, 5)));
    Toolpath path;
    std::string text;
    ASSERT_TRUE(ConvertAndRead(dir.Dnc("PART.DXF"), path, &text));
    EXPECT_EQ(text, "1\r\nESSI Upload\r\nPart Number 1\r\n7\r\n+100+\r\n++50\r\n8\r\n5\r\n+150+\r\n"
                    "6\r\n7\r\n++-50++\r\n8\r\n63\r\n0\r\n");
    EXPECT_EQ(MovesOf(path), (Lines{"5\tG1\t10.0000\t0.0000\t0.0000", "6\tG1\t10.0000\t5.0000\t0.0000",
                                    "9\tG0\t25.0000\t5.0000\t0.0000",
                                    "12\tG3\t25.0000\t5.0000\t0.0000\t20.0000\t5.0000\t0.0000\t17"}));
    EXPECT_TRUE(path.FullCircle(3));
    EXPECT_TRUE(path.notes.empty());

    // An arc whose end is where the tool stands is cut backwards, clockwise.
    WriteFileBytes(dir.File("BACK.DXF"), Entities(LineEntityText(10, 0, 0, 0) + ArcEntityText(5, 0, 5, 0, 180)));
    ASSERT_TRUE(ConvertAndRead(dir.Dnc("BACK.DXF"), path, &text));
    EXPECT_NE(text.find("\r\n+100++50+-\r\n"), std::string::npos) << text;
    EXPECT_EQ(MovesOf(path).back(), "9\tG2\t10.0000\t0.0000\t0.0000\t5.0000\t0.0000\t0.0000\t17");
    EXPECT_NEAR(ComputeFigures(path).feedBox.max.y, 5, 1e-9);  // over the top, as drawn
}

TEST(EssiPlot, DrawingsConvertedToEssiDrawAsTheDrawings) {
    std::vector<std::string> drawings{std::string(SKARV_SOURCE_DIR) + "/examples/shop/Plasma/BRAKETT.DXF",
                                      std::string(SKARV_SOURCE_DIR) + "/examples/shop/Tegninger/PLATE.DXF"};
    std::string folder = SharedDir() + "/dxf-samples";
    if (std::filesystem::is_directory(folder))
        for (auto& e : std::filesystem::directory_iterator(folder))
            if (UpperCase1252(e.path().extension().string()) == ".DXF") drawings.push_back(e.path().string());
    int read = 0;
    size_t entities = 0;
    double largestDrift = 0;
    for (const std::string& d : drawings) {
        std::string dnc = NativeToDncPath(d);
        Toolpath path;
        if (!ConvertAndRead(dnc, path)) continue;  // drawings the converter refuses
        std::vector<Entity> drawn = ReadEntities(dnc);
        std::string name = std::filesystem::path(d).filename().string();
        double drift = ExpectDrawnAsTheDrawing(drawn, path, name);
        // The writer counts from where it has put the cutter, so no rounding adds up.
        EXPECT_LE(drift, 0.05 + 1e-9) << name;
        std::printf("%-32s %6zu entities, the cuts end up to %.4f mm from the drawing\n", name.c_str(),
                    drawn.size(), drift);
        largestDrift = std::max(largestDrift, drift);
        entities += drawn.size();
        ++read;
    }
    EXPECT_GE(read, 2);
    EXPECT_GT(entities, 10u);
    std::printf("%d drawings, %zu entities read back; the cuts end up to %.4f mm from the drawing\n", read,
                entities, largestDrift);
}

TEST(EssiPlot, StatementsTheWriterNeverWritesAreNoted) {
    Toolpath path = InterpretProgram(
        Program({"1", "ESSI Upload", "Part Number 1", "41", "7", "+1+2+3", "+10-20", "X10",
                 "+10+0+5+0", "+100+0+50+0-", "++", "8", "63", "0"}),
        Essi());
    EXPECT_EQ(NotesOf(path), (Lines{"Linje 4: ukjent ord 41 er hoppet over",
                                    "Linje 6: ukjent ord +1+2+3 er hoppet over",
                                    "Linje 8: ukjent ord X10 er hoppet over",
                                    "Linje 9: ukjent ord +10+0+5+0 er hoppet over"}));
    // A half circle from (1, -2) about (6, -2), then nothing: a cut of no length.
    EXPECT_EQ(MovesOf(path), (Lines{"7\tG1\t1.0000\t-2.0000\t0.0000",
                                    "10\tG2\t11.0000\t-2.0000\t0.0000\t6.0000\t-2.0000\t0.0000\t17",
                                    "11\tG1\t11.0000\t-2.0000\t0.0000"}));
}
