// Transforms of programs. The key property: the toolpath of the transformed program is the
// original toolpath transformed, move by move, within 0.001 mm; checked with the interpreter
// on the demo programs and on generated programs with arcs, helices, G91 runs and drilling
// cycles, in all four modes and both dialects. Then the rules one by one, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "compare/Transform.h"
#include "nctools/LineList.h"

namespace {

constexpr double kPiValue = 3.14159265358979323846;

PlotSettings Dialect(PlotDialect d, bool lathe = false) {
    PlotSettings s;
    s.dialect = d;
    s.lathe = lathe;
    return s;
}

std::string Program(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) s += std::string(l) + "\r\n";
    return s;
}

// The transform as the test sees it, written out on its own.
PlotPoint Expected(const TransformRequest& r, ArcPlane plane, PlotPoint p) {
    switch (r.mode) {
        case TransformMode::Move:
            for (int a = 0; a < 3; ++a) p[a] += r.move[a];
            return p;
        case TransformMode::Rotate: {
            PlaneAxes ax = AxesOf(plane);
            double u = p[ax.first] - r.centre[0], v = p[ax.second] - r.centre[1];
            double c = std::cos(r.angle * kPiValue / 180), s = std::sin(r.angle * kPiValue / 180);
            p[ax.first] = r.centre[0] + u * c - v * s;
            p[ax.second] = r.centre[1] + u * s + v * c;
            return p;
        }
        case TransformMode::Mirror:
            if (r.mirrorX) p.x = 2 * r.mirrorAt - p.x;
            if (r.mirrorY) p.y = 2 * r.mirrorAt - p.y;
            return p;
        case TransformMode::Scale:
            for (int a = 0; a < 3; ++a) p[a] = r.centre[a] + (p[a] - r.centre[a]) * r.factor;
            return p;
    }
    return p;
}

bool TurnsArcs(const TransformRequest& r, ArcPlane plane) {
    if (r.mode != TransformMode::Mirror) return false;
    PlaneAxes ax = AxesOf(plane);
    auto m = [&](int a) { return (a == 0 && r.mirrorX) || (a == 1 && r.mirrorY); };
    return m(ax.first) != m(ax.second);
}

double Distance(const PlotPoint& a, const PlotPoint& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// Transforms the program and checks the key property; returns the result (refused or not).
TransformResult CheckTransform(const std::string& program, const PlotSettings& settings,
                               const TransformRequest& r, ArcPlane plane, const std::string& what) {
    TransformResult res = TransformProgram(program, settings, r);
    if (!res.ok) return res;
    // Axes the program never places stand at no known place: they are not compared.
    bool placed[3] = {false, false, false};
    PlotRun run;
    run.onBlock = [&](const BlockState& st) {
        for (int a = 0; a < 3; ++a) placed[a] = placed[a] || st.known[a];
    };
    Toolpath before = InterpretProgram(program, settings, run);
    std::string text = ApplyTransform(program, res);
    Toolpath after = InterpretProgram(text, settings);
    if (before.notes.size() != after.notes.size()) {
        std::string notes;
        for (const PlotNote& n : after.notes) notes += NoteLine(n) + "\n";
        ADD_FAILURE() << what << ": notes before " << before.notes.size() << ", after:\n" << notes;
    }
    EXPECT_EQ(before.size(), after.size()) << what << "\n" << text;
    if (before.size() != after.size()) return res;
    for (size_t i = 0; i < before.size(); ++i) {
        PlotPoint want = Expected(r, plane, before.End(i)), got = after.End(i);
        for (int a = 0; a < 3; ++a)
            if (!placed[a]) want[a] = got[a];
        double d = Distance(want, got);
        MoveKind kind = before.Kind(i);
        if (before.IsArc(i) && TurnsArcs(r, before.Plane(i)))
            kind = kind == MoveKind::ArcCw ? MoveKind::ArcCcw : MoveKind::ArcCw;
        bool ok = d <= 0.001 && after.Kind(i) == kind && after.Line(i) == before.Line(i);
        std::string centre;
        if (ok && before.IsArc(i)) {
            // The arc's middle: the path itself (a tangent arc's centre follows the rounding of
            // the direction it continues, far out for a flat arc).
            PlotPoint c = Expected(r, plane, ArcPointAt(ArcOfMove(before, i), 0.5));
            PlotPoint cg = ArcPointAt(ArcOfMove(after, i), 0.5);
            for (int a = 0; a < 3; ++a)
                if (!placed[a]) c[a] = cg[a];
            ok = after.Plane(i) == before.Plane(i) && Distance(c, cg) <= 0.001;
            centre = " middle " + std::to_string(cg.x) + " " + std::to_string(cg.y) + " wanted " +
                     std::to_string(c.x) + " " + std::to_string(c.y);
        }
        if (!ok) {
            ADD_FAILURE() << what << ": move " << i << " of line " << before.Line(i) << " is at "
                          << after.End(i).x << " " << after.End(i).y << " " << after.End(i).z
                          << ", wanted " << want.x << " " << want.y << " " << want.z << centre << "\n"
                          << text;
            break;
        }
    }
    return res;
}

std::vector<TransformRequest> AllModes() {
    std::vector<TransformRequest> out;
    TransformRequest move;
    move.move[0] = 12.5, move.move[1] = -7.25, move.move[2] = 3;
    out.push_back(move);
    TransformRequest rotate;
    rotate.mode = TransformMode::Rotate;
    rotate.angle = 33;
    rotate.centre[0] = 10, rotate.centre[1] = -4;
    out.push_back(rotate);
    for (int m = 0; m < 3; ++m) {
        TransformRequest mirror;
        mirror.mode = TransformMode::Mirror;
        mirror.mirrorX = m != 1;
        mirror.mirrorY = m != 0;
        mirror.mirrorAt = 5;
        out.push_back(mirror);
    }
    TransformRequest scale;
    scale.mode = TransformMode::Scale;
    scale.factor = 1.75;
    scale.centre[0] = 3, scale.centre[1] = 4, scale.centre[2] = -1;
    out.push_back(scale);
    return out;
}

std::string Fixed(double v, int decimals = 3) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// A word-address program with rapid and feed moves, arcs by centre and by radius, helices,
// a G91 run, drilling cycles and arcs in G18 (withArcsOffPlane).
std::string GeneratedIso(unsigned seed, bool withArcsOffPlane, bool withPecks) {
    std::mt19937 rng(seed);
    auto rnd = [&](double lo, double hi) {
        return lo + (hi - lo) * std::uniform_real_distribution<double>(0, 1)(rng);
    };
    std::ostringstream p;
    p << "%\r\nO1000 (GENERERT)\r\nN10 G90 G17 G21\r\nN20 G0 X0. Y0. Z10.\r\n";
    int n = 30;
    double x = 0, y = 0, z = 10;
    for (int b = 0; b < 120; ++b, n += 10) {
        p << "N" << n << " ";
        switch (rng() % 10) {
            case 0:
                x = rnd(-50, 50), y = rnd(-50, 50);
                p << "G0 X" << Fixed(x) << " Y" << Fixed(y);
                break;
            case 1:
                z = std::round(rnd(-5, 5) * 100) / 100;
                p << "G1 Z" << Fixed(z, 2) << " F200";
                break;
            case 2: {  // an arc by its centre, sometimes a helix
                double cx = x + rnd(-10, 10), cy = y + rnd(-10, 10);
                double r = std::hypot(x - cx, y - cy), a = rnd(0, 2 * kPiValue);
                double ex = cx + r * std::cos(a), ey = cy + r * std::sin(a);
                p << (rng() % 2 ? "G2" : "G3") << " X" << Fixed(ex, 4) << " Y" << Fixed(ey, 4);
                if (rng() % 3 == 0) p << " Z" << Fixed(z -= 1, 1);
                p << " I" << Fixed(cx - x, 4) << " J" << Fixed(cy - y, 4);
                x = ex, y = ey;
                break;
            }
            case 3: {  // an arc by its radius
                double ex = x + rnd(-20, 20), ey = y + rnd(-20, 20);
                double chord = std::hypot(ex - x, ey - y);
                p << "G3 X" << Fixed(ex, 4) << " Y" << Fixed(ey, 4) << " R" << Fixed(chord * 0.8, 3);
                x = ex, y = ey;
                break;
            }
            case 4: {  // a G91 run
                p << "G91 G1 X" << Fixed(rnd(-5, 5), 2) << " F300\r\n";
                n += 10;
                p << "N" << n << " Y" << Fixed(rnd(-5, 5), 2) << "\r\n";
                n += 10;
                p << "N" << n << " G2 X5. Y0 I2.5 J0\r\n";
                n += 10;
                p << "N" << n << " G90";
                x = y = 1e9;  // unknown to the generator; the next move is absolute
                p << "\r\nN" << (n += 10) << " G0 X" << Fixed(x = rnd(-30, 30)) << " Y" << Fixed(y = rnd(-30, 30));
                break;
            }
            case 5: {  // a drilling cycle over three holes, in G90 and G91
                p << "G0 Z10.\r\nN" << (n += 10) << " G99 G81 X" << Fixed(rnd(-40, 40)) << " Y"
                  << Fixed(rnd(-40, 40)) << " Z-8. R2. F120\r\n";
                p << "N" << (n += 10) << " X" << Fixed(rnd(-40, 40)) << "\r\n";
                p << "N" << (n += 10) << " G91 Y10. K2\r\n";
                if (withPecks)
                    p << "N" << (n += 10) << " G90 G83 X1. Y2. Z-20. R1. Q4. F100\r\n";
                p << "N" << (n += 10) << " G80 G90 G0 Z10.";
                x = y = 1e9;
                p << "\r\nN" << (n += 10) << " G0 X" << Fixed(x = rnd(-30, 30)) << " Y" << Fixed(y = rnd(-30, 30));
                z = 10;
                break;
            }
            case 6:
                if (withArcsOffPlane) {
                    p << "G18 G2 X" << Fixed(x + 4) << " Z" << Fixed(z) << " I2. K0 (IN G18)\r\n";
                    p << "N" << (n += 10) << " G17";
                    x += 4;
                } else {
                    p << "G1 X" << Fixed(x += 1) << " (ONE MORE)";
                }
                break;
            case 7:
                y = std::round(rnd(-50, 50) * 10) / 10;
                p << "G1 Y" << Fixed(y, 1) << " F500";  // one axis: a turn adds the other
                break;
            case 8:  // a shifted zero point, and the tool's place named anew
                if (rng() % 2) {
                    p << "G52 X" << Fixed(rnd(-9, 9)) << " Y" << Fixed(rnd(-9, 9)) << "\r\nN" << (n += 10);
                    p << " G1 X" << Fixed(rnd(-20, 20)) << " Y" << Fixed(rnd(-20, 20)) << "\r\nN" << (n += 10);
                    p << " G52 X0 Y0";
                } else {
                    p << "G92 X10. Y10.\r\nN" << (n += 10);
                    p << " G1 X" << Fixed(rnd(-20, 20)) << " Y" << Fixed(rnd(-20, 20)) << "\r\nN" << (n += 10);
                    p << " G92.1";
                }
                p << "\r\nN" << (n += 10) << " G0 X" << Fixed(x = rnd(-30, 30)) << " Y" << Fixed(y = rnd(-30, 30));
                break;
            default:
                p << "G4 X1.5\r\nN" << (n += 10) << " M08";
                break;
        }
        p << "\r\n";
    }
    p << "N" << n << " M30\r\n%\r\n";
    return p.str();
}

// A Heidenhain program with lines, poles, circles by pole, radius and tangent, polar lines
// and circles, helices, rounded corners, incremental moves and the drilling cycle.
std::string GeneratedHeidenhain(unsigned seed) {
    std::mt19937 rng(seed);
    auto rnd = [&](double lo, double hi) {
        return lo + (hi - lo) * std::uniform_real_distribution<double>(0, 1)(rng);
    };
    auto s = [](double v, int d = 3) { return (v >= 0 ? "+" : "") + Fixed(v, d); };
    std::vector<std::string> l = {"BEGIN PGM GEN MM", "BLK FORM 0.1 Z X+0 Y+0 Z-20",
                                  "BLK FORM 0.2 X+100 Y+80 Z+0", "TOOL CALL 1 Z S3000",
                                  "L X+0 Y+0 Z+10 R0 FMAX M3"};
    double x = 0, y = 0;
    for (int b = 0; b < 100; ++b) {
        switch (rng() % 8) {
            case 0:
                x = rnd(-40, 40), y = rnd(-40, 40);
                l.push_back("L X" + s(x) + " Y" + s(y) + " R0 F500");
                break;
            case 1: {
                double cx = x + rnd(-10, 10), cy = y + rnd(-10, 10);
                l.push_back("CC X" + s(cx) + " Y" + s(cy));
                double r = std::hypot(x - cx, y - cy), a = rnd(0, 2 * kPiValue);
                x = cx + r * std::cos(a), y = cy + r * std::sin(a);
                l.push_back("C X" + s(x, 4) + " Y" + s(y, 4) + (rng() % 2 ? " DR+" : " DR-") + " RL");
                break;
            }
            case 2: {
                double ex = x + rnd(-20, 20), ey = y + rnd(-20, 20);
                double chord = std::hypot(ex - x, ey - y);
                l.push_back("CR X" + s(ex, 4) + " Y" + s(ey, 4) + " R" + s(chord * 0.7) +
                            (rng() % 2 ? " DR+" : " DR-"));
                x = ex, y = ey;
                break;
            }
            case 3: {  // an incremental line and a tangent arc turning from it
                double len = rnd(10, 20), a = rnd(0, 2 * kPiValue);
                double dx = len * std::cos(a), dy = len * std::sin(a);
                l.push_back("L IX" + s(dx, 2) + " IY" + s(dy, 2));
                x += dx, y += dy;
                double turn = rnd(15, 60) * kPiValue / 180 * (rng() % 2 ? 1 : -1), len2 = rnd(5, 20);
                x += len2 * std::cos(a + turn), y += len2 * std::sin(a + turn);
                l.push_back("CT X" + s(x) + " Y" + s(y));
                l.push_back("L IZ-1");
                break;
            }
            case 4:
                l.push_back("CC X" + s(x + 5) + " Y" + s(y));
                l.push_back("LP PR+5 PA" + s(rnd(0, 180), 1) + " R0");
                l.push_back("CP IPA" + s(rnd(-270, 270), 1) + " IZ-2 DR" + (rng() % 2 ? "+" : "-"));
                l.push_back("LP IPA+30");
                x = y = 1e9;
                l.push_back("L X" + s(x = rnd(-30, 30)) + " Y" + s(y = rnd(-30, 30)));
                break;
            case 5:
                l.push_back("L X" + s(x += 10));
                l.push_back("RND R2");
                l.push_back("L Y" + s(y += 10));
                l.push_back("CHF 1.5");
                l.push_back("L X" + s(x -= 10));
                break;
            case 6:
                l.push_back("CYCL DEF 200 BOHRING ~");
                l.push_back("  Q200=2 ;SIKKERHETSAVSTAND ~");
                l.push_back("  Q201=-15 ;DYBDE ~");
                l.push_back("  Q206=150 ;MATING ~");
                l.push_back("  Q202=5 ;TILSTILLING ~");
                l.push_back("  Q210=0 ~");
                l.push_back("  Q203=+0 ;OVERFLATE ~");
                l.push_back("  Q204=50 ;2. AVSTAND ~");
                l.push_back("  Q211=0.2");
                l.push_back("L X" + s(x = rnd(-30, 30)) + " Y" + s(y = rnd(-30, 30)) + " R0 FMAX M99");
                l.push_back("L Z+10 FMAX");
                break;
            default:
                l.push_back("L Y" + s(y = rnd(-40, 40)) + " F300");
                break;
        }
    }
    l.push_back("L Z+50 R0 FMAX M30");
    l.push_back("END PGM GEN MM");
    std::string out;
    for (size_t i = 0; i < l.size(); ++i) out += std::to_string(i) + " " + l[i] + "\r\n";
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const char* ModeName(const TransformRequest& r) {
    switch (r.mode) {
        case TransformMode::Move: return "Flytt";
        case TransformMode::Rotate: return "Roter";
        case TransformMode::Mirror: return "Speil";
        case TransformMode::Scale: return "Skaler";
    }
    return "";
}

TEST(TransformTest, GeneratedWordAddressProgramsKeepTheirToolpath) {
    for (unsigned seed = 1; seed <= 60; ++seed) {
        for (const TransformRequest& r : AllModes()) {
            bool rotate = r.mode == TransformMode::Rotate, scale = r.mode == TransformMode::Scale;
            std::string program = GeneratedIso(seed, !rotate, !scale);
            std::string what = std::string(ModeName(r)) + " seed " + std::to_string(seed);
            TransformResult res = CheckTransform(program, Dialect(PlotDialect::Iso), r, ArcPlane::XY, what);
            EXPECT_TRUE(res.ok) << what << ": " << res.message;
        }
        // The refusals: a turn would tilt the G18 arcs, a scale the peck return.
        TransformRequest rotate = AllModes()[1];
        TransformResult res = TransformProgram(GeneratedIso(seed, true, false), Dialect(PlotDialect::Iso), rotate);
        if (!res.ok) {
            EXPECT_NE(res.message.find("buen ville ligge i et skrått plan"), std::string::npos);
        }
        TransformRequest scale = AllModes().back();
        res = TransformProgram(GeneratedIso(seed, false, true), Dialect(PlotDialect::Iso), scale);
        if (!res.ok) {
            EXPECT_NE(res.message.find("hakkesyklus"), std::string::npos) << res.message;
        }
    }
}

TEST(TransformTest, GeneratedHeidenhainProgramsKeepTheirToolpath) {
    for (unsigned seed = 1; seed <= 60; ++seed) {
        for (const TransformRequest& r : AllModes()) {
            std::string what = std::string(ModeName(r)) + " seed " + std::to_string(seed);
            TransformResult res = CheckTransform(GeneratedHeidenhain(seed), Dialect(PlotDialect::Heidenhain),
                                                 r, ArcPlane::XY, what);
            EXPECT_TRUE(res.ok) << what << ": " << res.message;
        }
    }
}

TEST(TransformTest, DemoProgramsKeepTheirToolpath) {
    struct Demo {
        const char* file;
        PlotSettings settings;
        ArcPlane plane;
    } demos[] = {
        {"Fres/FLENS.NC", Dialect(PlotDialect::Iso), ArcPlane::XY},
        {"Fres/LOKK.H", Dialect(PlotDialect::Heidenhain), ArcPlane::XY},
        {"Portal/DEKSEL.MPF", Dialect(PlotDialect::Iso), ArcPlane::XY},
        {"Gammel/BRAKETT.NC", Dialect(PlotDialect::Iso), ArcPlane::XY},
        {"Dreiebenk/BOLT.NC", Dialect(PlotDialect::Iso, true), ArcPlane::ZX},
        {"Dreiebenk/AKSEL.NC", Dialect(PlotDialect::Iso, true), ArcPlane::ZX},
    };
    for (const Demo& d : demos) {
        std::string program = ReadFile(std::string(SKARV_SOURCE_DIR) + "/examples/shop/" + d.file);
        ASSERT_FALSE(program.empty()) << d.file;
        for (const TransformRequest& r : AllModes()) {
            std::string what = std::string(d.file) + " " + ModeName(r);
            TransformResult res = CheckTransform(program, d.settings, r, d.plane, what);
            // The lathe's roughing cycles can only be moved; its thread cycle is not read.
            bool mayRefuse = std::string(d.file).find("Dreiebenk") == 0 && r.mode != TransformMode::Move;
            mayRefuse = mayRefuse || std::string(d.file) == "Dreiebenk/BOLT.NC";
            if (!mayRefuse) {
                EXPECT_TRUE(res.ok) << what << ": " << res.message;
            }
            if (res.ok) {
                EXPECT_FALSE(res.changed.empty()) << what;
            } else {
                EXPECT_EQ(res.message.rfind("Linje ", 0), 0u) << what;
            }
        }
    }
}

// The shop's own sample programs: each transform either keeps the toolpath or is refused
// with a line named, and never changes a line when refused.
TEST(TransformTest, SharedSamplesAreTransformedOrRefused) {
    std::string folder = std::string(SKARV_SHARED_DIR) + "/nc-samples";
    if (!std::filesystem::exists(folder)) GTEST_SKIP() << "no " << folder;
    int transformed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".ngc") continue;
        std::string program = ReadFile(entry.path().string());
        bool lathe = name.find("lathe") != std::string::npos || name.find("g76") != std::string::npos;
        for (const TransformRequest& r : AllModes()) {
            std::string what = name + " " + ModeName(r);
            TransformResult res = CheckTransform(program, Dialect(PlotDialect::Iso, lathe), r,
                                                 lathe ? ArcPlane::ZX : ArcPlane::XY, what);
            if (res.ok) ++transformed;
            else EXPECT_EQ(res.message.rfind("Linje ", 0), 0u) << what << ": " << res.message;
            if (!res.ok) {
                EXPECT_TRUE(res.changed.empty());
            }
        }
    }
    EXPECT_GT(transformed, 0);
}

std::string Transformed(const std::string& program, const TransformRequest& r,
                        PlotDialect dialect = PlotDialect::Iso) {
    TransformResult res = TransformProgram(program, Dialect(dialect), r);
    if (!res.ok) return res.message;
    return ApplyTransform(program, res);
}

TEST(TransformTest, NumbersKeepTheProgramsStyle) {
    EXPECT_EQ(FormatLike(15, "10.", 3), "15.");
    EXPECT_EQ(FormatLike(7.0710678, "10.", 3), "7.071");
    EXPECT_EQ(FormatLike(15, "10.000", 3), "15.000");
    EXPECT_EQ(FormatLike(15, "10", 3), "15");
    EXPECT_EQ(FormatLike(7.25, "010.5", 3), "007.25");
    EXPECT_EQ(FormatLike(0.25, ".5", 3), ".25");
    EXPECT_EQ(FormatLike(7.0710678, "+10", 3), "+7.071");
    EXPECT_EQ(FormatLike(-0.0001, "10", 3), "0");
    EXPECT_EQ(FormatLike(-2.5, "+10.0", 3), "-2.5");
    EXPECT_EQ(FormatLike(0.12345, "1.", 4), "0.1235");
    EXPECT_EQ(FormatLike(0, "+5", 3), "+0");
}

TEST(TransformTest, WordsFollowTheRules) {
    TransformRequest move;
    move.move[0] = 10, move.move[2] = -0.5;
    // Absolute words move, incremental ones do not; comments, G04 and G28 stay; the style stays.
    EXPECT_EQ(Transformed(Program({"N10 G90 G0 X5. Y0 Z010.0 (X5 Y0)", "N20 G04 X2.", "N30 G91 G1 X5. Z-1.",
                                   "N40 G28 X0 Y0", "N50 G90 X-10.000"}),
                          move),
              Program({"N10 G90 G0 X15. Y0 Z009.5 (X5 Y0)", "N20 G04 X2.", "N30 G91 G1 X5. Z-1.",
                       "N40 G28 X0 Y0", "N50 G90 X0.000"}));
    // A turn adds the axis a move gets, after the last axis word, spaced as the block is.
    TransformRequest rotate;
    rotate.mode = TransformMode::Rotate;
    rotate.angle = 90;
    EXPECT_EQ(Transformed(Program({"G0 X0 Y0 Z5.", "G1 X10. F100", "G1X20.F100", "G2 X0 Y20. I-20. J0"}), rotate),
              Program({"G0 X0 Y0 Z5.", "G1 X0. Y10. F100", "G1X0.Y20.F100", "G2 X-20 Y0. I0. J-20"}));
    // One mirror swaps the arcs and the compensation side; two do not.
    TransformRequest mirror;
    mirror.mode = TransformMode::Mirror;
    mirror.mirrorX = true;
    EXPECT_EQ(Transformed(Program({"G0 X0 Y0", "G41 G02 X10. Y10. R10.", "G3 X20 Y0 R10."}), mirror),
              Program({"G0 X0 Y0", "G42 G03 X-10. Y10. R10.", "G2 X-20 Y0 R10."}));
    mirror.mirrorY = true;
    EXPECT_EQ(Transformed(Program({"G0 X0 Y0", "G41 G02 X10. Y10. R10."}), mirror),
              Program({"G0 X0 Y0", "G41 G02 X-10. Y-10. R10."}));
    // A scale takes R and, when asked, F.
    TransformRequest scale;
    scale.mode = TransformMode::Scale;
    scale.factor = 2;
    scale.scaleFeed = true;
    EXPECT_EQ(Transformed(Program({"G0 X1. Y1.", "G2 X3. Y1. R1. F100."}), scale),
              Program({"G0 X2. Y2.", "G2 X6. Y2. R2. F200."}));
    // Heidenhain: the polar angle turns, the direction swaps in a mirror, the pole moves.
    EXPECT_EQ(Transformed(Program({"0 BEGIN PGM P MM", "1 L X+0 Y+0 Z+0 R0 FMAX", "2 CC X+10 Y+0",
                                   "3 LP PR+5 PA+30 RL", "4 CP IPA+90 DR+", "5 END PGM P MM"}),
                          rotate, PlotDialect::Heidenhain),
              Program({"0 BEGIN PGM P MM", "1 L X+0 Y+0 Z+0 R0 FMAX", "2 CC X+0 Y+10",
                       "3 LP PR+5 PA+120 RL", "4 CP IPA+90 DR+", "5 END PGM P MM"}));
    mirror.mirrorY = false;
    EXPECT_EQ(Transformed(Program({"0 BEGIN PGM P MM", "1 L X+0 Y+0 Z+0 R0 FMAX", "2 CC X+10 Y+0",
                                   "3 LP PR+5 PA+30 RL", "4 CP IPA+90 DR+", "5 END PGM P MM"}),
                          mirror, PlotDialect::Heidenhain),
              Program({"0 BEGIN PGM P MM", "1 L X+0 Y+0 Z+0 R0 FMAX", "2 CC X-10 Y+0",
                       "3 LP PR+5 PA+150 RR", "4 CP IPA-90 DR-", "5 END PGM P MM"}));
}

TEST(TransformTest, WhatCannotBeDoneExactlyIsRefusedWithItsLine) {
    TransformRequest move;
    move.move[2] = 1;
    TransformResult r = TransformProgram(Program({"G0 X0 Y0 Z5", "G1 X#1", "G1 X5"}), Dialect(PlotDialect::Iso), move);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Linje 2 kan ikke transformeres: variabler og uttrykk tolkes ikke");
    EXPECT_TRUE(r.changed.empty());
    r = TransformProgram(Program({"G0 X0 Y0 Z5", "G53 G0 Z0", "G1 X5"}), Dialect(PlotDialect::Iso), move);
    EXPECT_EQ(r.message, "Linje 2 kan ikke transformeres: en G53-bevegelse er i maskinkoordinater");
    move.move[2] = 0, move.move[0] = 1;  // the machine's Z is not touched by a move in X
    EXPECT_TRUE(TransformProgram(Program({"G0 X0 Y0 Z5", "G53 G0 Z0", "G1 X5"}), Dialect(PlotDialect::Iso), move).ok);
    TransformRequest rotate;
    rotate.mode = TransformMode::Rotate;
    rotate.angle = 45;
    r = TransformProgram(Program({"G0 X0 Y0 Z5", "G18 G2 X10 Z5 I5 K0"}), Dialect(PlotDialect::Iso), rotate);
    EXPECT_EQ(r.message, "Linje 2 kan ikke transformeres: buen ville ligge i et skrått plan");
    r = TransformProgram(Program({"G0 X0 Z5", "G1 X10"}), Dialect(PlotDialect::Iso), rotate);
    EXPECT_EQ(r.message, "Linje 1 kan ikke transformeres: posisjonen i Y er ukjent");
    // A subprogram run from two places with absolute words that a turn must complete.
    r = TransformProgram(Program({"O1", "G0 X0 Y0 Z5", "M98 P2", "G0 Y10", "M98 P2", "M30", "O2", "G1 X5", "M99"}),
                         Dialect(PlotDialect::Iso), rotate);
    EXPECT_EQ(r.message, "Linje 8 kan ikke transformeres: linjen kjøres flere ganger med ulik betydning");
    // A datum shift of one axis cannot be turned (the other axis keeps its shift); moved, it
    // stays as it is, the points moving instead.
    std::string shifted = Program({"0 BEGIN PGM P MM", "1 L X+0 Y+0 Z+0 R0 FMAX", "2 CYCL DEF 7.0 NULLPUNKT",
                                   "3 CYCL DEF 7.1 X+5", "4 L X+10 Y+0", "5 END PGM P MM"});
    r = TransformProgram(shifted, Dialect(PlotDialect::Heidenhain), rotate);
    EXPECT_EQ(r.message, "Linje 4 kan ikke transformeres: forskyvningen mangler en akse i planet");
    TransformRequest moveX;
    moveX.move[0] = 1;
    EXPECT_EQ(Transformed(shifted, moveX, PlotDialect::Heidenhain),
              Program({"0 BEGIN PGM P MM", "1 L X+1 Y+0 Z+0 R0 FMAX", "2 CYCL DEF 7.0 NULLPUNKT",
                       "3 CYCL DEF 7.1 X+5", "4 L X+11 Y+0", "5 END PGM P MM"}));
    // Lines the program never comes to.
    r = TransformProgram(Program({"G0 X0 Y0 Z5", "M30", "G1 X5"}), Dialect(PlotDialect::Iso), rotate);
    EXPECT_EQ(r.message, "Linje 3 kan ikke transformeres: programmet kommer aldri til linjen");
    // Only the marked lines count: the same program, the first two lines marked.
    rotate.onlyLines = true;
    rotate.first = 0, rotate.last = 1;
    EXPECT_TRUE(TransformProgram(Program({"G0 X0 Y0 Z5", "M30", "G1 X5"}), Dialect(PlotDialect::Iso), rotate).ok);
}

}  // namespace
