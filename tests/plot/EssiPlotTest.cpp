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
// own rule for where the tool stands (an arc is cut backwards from its end).
struct Entity {
    char kind;  // L line, A arc (counter-clockwise from a to b about c), C circle
    NcPoint a, b, c;
    double r = 0;
};
class EntityRecorder : public NcWriter {
public:
    std::vector<Entity> entities;
    NcPoint at;
    void BeginOutput(const std::string&, bool&) override {}
    void WriteLineEntity(const NcPoint& s, const NcPoint& e) override {
        entities.push_back(Entity{'L', s, e, {}, 0});
        at = e;
    }
    void WriteCircleEntity(const NcPoint& c, double r) override {
        entities.push_back(Entity{'C', {}, {}, c, r});
        if (std::fabs(std::hypot(at.x - c.x, at.y - c.y) - r) >= 0.05) at = NcPoint{c.x + r, c.y, 0};
    }
    void WriteArcEntity(const NcPoint& s, const NcPoint& e, const NcPoint& c) override {
        entities.push_back(Entity{'A', s, e, c, 0});
        at = SamePoint(at, e) ? s : e;
    }
    void WritePointEntity(const NcPoint& p) override { at = p; }
    void EndOutput(bool&) override {}
    NcPoint CurrentPosition() const override { return at; }
    bool SamePoint(const NcPoint& a, const NcPoint& b) const override {
        return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) < 0.05;
    }
    double SamePointReach() const override { return 0.05; }
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

// Each cut of the program against the entity it was written from: the same shape, each
// increment within the half tenth it was rounded to.
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
    int checked = 0;
    for (size_t k = 0; k < entities.size(); ++k) {
        const Entity& e = entities[k];
        size_t i = cuts[k];
        PlotPoint s = path.Start(i), t = path.End(i);
        SCOPED_TRACE(name + " entity " + std::to_string(k) + " " + e.kind);
        if (e.kind != 'C') {
            const NcPoint& from = path.Kind(i) == MoveKind::ArcCw ? e.b : e.a;
            drift = std::max(drift, std::max(std::fabs(s.x - from.x), std::fabs(s.y - from.y)));
        }
        if (e.kind == 'L') {
            EXPECT_EQ(path.Kind(i), MoveKind::Feed);
            EXPECT_NEAR(t.x - s.x, e.b.x - e.a.x, kHalfTenth);
            EXPECT_NEAR(t.y - s.y, e.b.y - e.a.y, kHalfTenth);
        } else if (e.kind == 'C') {
            if (!path.IsArc(i)) {
                ADD_FAILURE() << "not an arc";
                continue;
            }
            EXPECT_TRUE(path.FullCircle(i));
            PlotPoint c = path.Centre(i);
            EXPECT_NEAR(std::hypot(s.x - c.x, s.y - c.y), std::fabs(e.r), 2 * kHalfTenth);
        } else {
            if (!path.IsArc(i)) {
                ADD_FAILURE() << "not an arc";
                continue;
            }
            // Cut backwards (clockwise) when the tool stood at the arc's end.
            bool backwards = path.Kind(i) == MoveKind::ArcCw;
            const NcPoint& from = backwards ? e.b : e.a;
            const NcPoint& to = backwards ? e.a : e.b;
            PlotPoint c = path.Centre(i);
            EXPECT_NEAR(c.x - s.x, e.c.x - from.x, kHalfTenth);
            EXPECT_NEAR(c.y - s.y, e.c.y - from.y, kHalfTenth);
            if (path.FullCircle(i)) {
                // An arc shorter than the format's tenth ends where it began.
                EXPECT_LT(std::fabs(to.x - from.x), 2 * kHalfTenth);
                EXPECT_LT(std::fabs(to.y - from.y), 2 * kHalfTenth);
            } else {
                EXPECT_NEAR(t.x - s.x, to.x - from.x, kHalfTenth);
                EXPECT_NEAR(t.y - s.y, to.y - from.y, kHalfTenth);
            }
        }
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(entities.size()));
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
        double drift = ExpectDrawnAsTheDrawing(drawn, path, std::filesystem::path(d).filename().string());
        largestDrift = std::max(largestDrift, drift);
        entities += drawn.size();
        ++read;
    }
    EXPECT_GE(read, 2);
    EXPECT_GT(entities, 10u);
    // Each increment is rounded by itself, so a long chain of cuts wanders from the drawing.
    std::printf("%d drawings, %zu entities read back; the cuts wander up to %.3f mm\n", read,
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
