// Heidenhain conversational programs: a contour worked out by hand with every kind of
// element, labels with repeats, the drilling cycle, and what is skipped with a note.
#include <gtest/gtest.h>

#include <cmath>

#include "PlotTestSupport.h"
#include "plot/MoveIndex.h"
#include "plot/PlotFigures.h"

using Lines = std::vector<std::string>;

namespace {
const std::string kContour = Program({
    "0 BEGIN PGM KONTUR MM",           // 1
    "1 BLK FORM 0.1 Z X+0 Y+0 Z-20",   // 2
    "2 BLK FORM 0.2 X+100 Y+100 Z+0",  // 3
    "3 TOOL CALL 1 Z S2000 ; FRES D10",  // 4
    "4 L Z+10 R0 FMAX",                // 5
    "5 L X+0 Y+0 R0 FMAX",             // 6
    "6 L Z-5 F100",                    // 7
    "7 L X+50 RL F200",                // 8
    "8 RND R10",                       // 9
    "9 L Y+50",                        // 10
    "10 CHF 5",                        // 11
    "11 L X+0",                        // 12
    "12 CC X+0 Y+75",                  // 13
    "13 C X+0 Y+100 DR-",              // 14
    "14 CR X+50 Y+100 R+30 DR-",       // 15
    "15 CT X+100 Y+50",                // 16
    "16 CC X+50 Y+50",                 // 17
    "17 LP PR+50 PA+0",                // 18
    "18 CP IPA+360 DR+ IZ-2",          // 19
    "19 L Z+10 R0 FMAX M30",           // 20
    "20 END PGM KONTUR MM",            // 21
});
}  // namespace

TEST(HeidenhainPlot, AContourOfEveryElementWorkedOutByHand) {
    Toolpath path = InterpretProgram(kContour, Heidenhain());
    Lines moves = MovesOf(path);
    ASSERT_EQ(moves.size(), 14u);
    // The corner at (50, 0) rounded with R10: the line ends 10 before it, a quarter circle
    // about (40, 10) turns left to (50, 10). The corner at (50, 50) cut 5 along each side.
    EXPECT_EQ(Lines(moves.begin(), moves.begin() + 10),
              (Lines{"5\tG0\t0.0000\t0.0000\t10.0000", "6\tG0\t0.0000\t0.0000\t10.0000",
                     "7\tG1\t0.0000\t0.0000\t-5.0000", "8\tG1\t40.0000\t0.0000\t-5.0000",
                     "9\tG3\t50.0000\t10.0000\t-5.0000\t40.0000\t10.0000\t-5.0000\t17",
                     "10\tG1\t50.0000\t45.0000\t-5.0000", "11\tG1\t45.0000\t50.0000\t-5.0000",
                     "12\tG1\t0.0000\t50.0000\t-5.0000",
                     // About the pole (0, 75) clockwise: out to X-25 on the way.
                     "14\tG2\t0.0000\t100.0000\t-5.0000\t0.0000\t75.0000\t-5.0000\t17",
                     // R30 over the chord of 50: the centre sqrt(30^2 - 25^2) below it.
                     "15\tG2\t50.0000\t100.0000\t-5.0000\t25.0000\t83.4169\t-5.0000\t17"}));
    // The tangential arc leaves the R30 arc without a kink and reaches its end point.
    ASSERT_EQ(path.Line(10), 16u);
    PlotPoint c = path.Centre(10), s = path.Start(10), e = path.End(10);
    EXPECT_EQ(e, (PlotPoint{100, 50, -5}));
    EXPECT_NEAR(std::hypot(s.x - c.x, s.y - c.y), std::hypot(e.x - c.x, e.y - c.y), 1e-9);
    PlotPoint before = path.Centre(9);  // the tangent at (50, 100) is across both radii
    double cross = (s.x - before.x) * (s.y - c.y) - (s.y - before.y) * (s.x - c.x);
    EXPECT_NEAR(cross, 0, 1e-9);
    EXPECT_EQ(path.Kind(10), MoveKind::ArcCcw);  // the bend turns the other way
    EXPECT_EQ(Lines(moves.begin() + 11, moves.end()),
              (Lines{"18\tG1\t100.0000\t50.0000\t-5.0000",
                     "19\tG3\t100.0000\t50.0000\t-7.0000\t50.0000\t50.0000\t-5.0000\t17",
                     "20\tG0\t100.0000\t50.0000\t10.0000"}));
    EXPECT_TRUE(path.FullCircle(12));
    EXPECT_NEAR(ComputeFigures(path).feedBox.min.x, -25, 1e-9);

    // The lengths of the corner: 40 + a quarter of R10 + 35 + the chamfer + 45.
    Toolpath upToChamfer = InterpretProgram(
        Program({"0 BEGIN PGM K MM", "1 L X+0 Y+0 Z+0 F100", "2 L X+50", "3 RND R10", "4 L Y+50",
                 "5 CHF 5", "6 L X+0"}),
        Heidenhain());
    EXPECT_NEAR(upToChamfer.totals.feedLength,
                40 + 3.141592653589793 * 5 + 35 + 5 * std::sqrt(2.0) + 45, 1e-9);

    EXPECT_EQ(NotesOf(path), (Lines{"Linje 8: radiuskompensasjon vises ikke"}));
    EXPECT_EQ(path.stock.min, (PlotPoint{0, 0, -20}));
    EXPECT_EQ(path.stock.max, (PlotPoint{100, 100, 0}));
    ASSERT_EQ(path.tools.size(), 1u);
    EXPECT_EQ(ToolText(path.tools[0]), "T1  FRES D10");
}

TEST(HeidenhainPlot, PolarMovesAndTurnsOfMoreThanACircle) {
    Toolpath path = InterpretProgram(
        Program({"0 BEGIN PGM P MM", "1 CC X+0 Y+0", "2 LP PR+10 PA+90 R0 FMAX", "3 L Z+0 F100",
                 "4 CP PA+0 DR-", "5 CP IPA+720 DR- IZ-4", "6 LP IPR+5 IPA+90",
                 "7 CC IX+10", "8 CP PA+0 DR+"}),
        Heidenhain());
    EXPECT_EQ(MovesOf(path),
              (Lines{"3\tG0\t0.0000\t10.0000\t0.0000", "4\tG1\t0.0000\t10.0000\t0.0000",
                     "5\tG2\t10.0000\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000\t17",
                     // Two whole turns, two millimetres down each.
                     "6\tG2\t10.0000\t0.0000\t-2.0000\t0.0000\t0.0000\t0.0000\t17",
                     "6\tG2\t10.0000\t0.0000\t-4.0000\t0.0000\t0.0000\t-2.0000\t17",
                     "7\tG1\t0.0000\t15.0000\t-4.0000",
                     // The pole 10 on from where the tool is: a half turn about (10, 15).
                     "9\tG3\t20.0000\t15.0000\t-4.0000\t10.0000\t15.0000\t-4.0000\t17"}));
    EXPECT_TRUE(path.FullCircle(3));
    EXPECT_TRUE(path.FullCircle(4));
    // A turn of nothing goes only down.
    EXPECT_EQ(Moves(Program({"0 BEGIN PGM P MM", "1 CC X+0 Y+0", "2 L X+10 Y+0 Z+0 F100",
                             "3 CP IPA+0 DR+ IZ-2", "4 CP IPA+0 DR+"}),
                    Heidenhain()),
              (Lines{"3\tG1\t10.0000\t0.0000\t0.0000", "4\tG1\t10.0000\t0.0000\t-2.0000"}));
}

TEST(HeidenhainPlot, LabelsRepeatAndSubprogramsReturn) {
    Toolpath path = InterpretProgram(
        Program({"0 BEGIN PGM REP MM", "1 L X+0 Y+0 Z+0 R0 FMAX", "2 LBL 1", "3 L IX+10 F100",
                 "4 CALL LBL 1 REP 2/2", "5 CALL LBL 5", "6 CALL LBL 9", "7 M30", "8 LBL 5",
                 "9 L IY+10", "10 LBL 0", "11 END PGM REP MM"}),
        Heidenhain());
    EXPECT_EQ(MovesOf(path), (Lines{"2\tG0\t0.0000\t0.0000\t0.0000", "4\tG1\t10.0000\t0.0000\t0.0000",
                                    "4\tG1\t20.0000\t0.0000\t0.0000", "4\tG1\t30.0000\t0.0000\t0.0000",
                                    "10\tG1\t30.0000\t10.0000\t0.0000"}));
    EXPECT_EQ(NotesOf(path), (Lines{"Linje 7: underprogram 9 finnes ikke"}));
    // The repeats come with the call that makes them.
    MoveIndex index(path);
    EXPECT_EQ(index.MovesUpToLine(4), 2u);
    EXPECT_EQ(index.MovesUpToLine(5), 4u);
    EXPECT_EQ(index.MovesUpToLine(6), 5u);
}

TEST(HeidenhainPlot, DrillingCycle200PecksToDepth) {
    Toolpath path = InterpretProgram(
        Program({"0 BEGIN PGM BOR MM", "1 TOOL CALL 5 Z S3000", "2 L Z+50 R0 FMAX",
                 "3 CYCL DEF 200 BOHREN ~", "  Q200=2 ;SICHERHEITS-ABST. ~", "  Q201=-15 ;TIEFE ~",
                 "  Q206=150 ;VORSCHUB TIEFENZ. ~", "  Q202=5 ;ZUSTELL-TIEFE ~",
                 "  Q210=0 ;VERWEILZEIT OBEN ~", "  Q203=+0 ;KOOR. OBERFLAECHE ~",
                 "  Q204=50 ;2. SICHERHEITS-ABST. ~", "  Q211=0.5 ;VERWEILZEIT UNTEN",
                 "4 L X+10 Y+10 R0 FMAX M99", "5 L X+20 FMAX", "6 CYCL CALL", "7 END PGM BOR MM"}),
        Heidenhain());
    Lines hole{"G0 2.0", "G1 -5.0", "G0 2.0", "G0 -3.0", "G1 -10.0", "G0 2.0", "G0 -8.0",
               "G1 -15.0", "G0 2.0", "G0 50.0"};
    Lines expected{"G0 50.0", "G0 50.0"};
    expected.insert(expected.end(), hole.begin(), hole.end());
    expected.push_back("G0 50.0");
    expected.insert(expected.end(), hole.begin(), hole.end());
    EXPECT_EQ(Levels(path, 2), expected);
    EXPECT_EQ(path.Line(3), 13u);  // the cycle's moves take the line that calls it
    EXPECT_EQ(path.Line(path.size() - 1), 15u);
    EXPECT_EQ(path.dwells.size(), 2u);
    // The plunges at Q206, from the set-up clearance: 7 + 7 + 7 mm at 150 mm/min, twice.
    EXPECT_NEAR(path.totals.feedSeconds, 2 * 21.0 / 150 * 60, 1e-9);
    EXPECT_TRUE(path.notes.empty());
}

TEST(HeidenhainPlot, InchesShiftsAndWhatIsSkipped) {
    Toolpath path = InterpretProgram(
        Program({"0 BEGIN PGM T INCH", "1 L X+1 Y+0 Z+0 R0 FMAX", "2 FN 0: Q1 = +5", "3 L X+Q1",
                 "4 APPR CT X+0 Y+0 CCA90 R+5 RL", "5 CYCL DEF 7.0 NULLPUNKT", "6 CYCL DEF 7.1 X+1",
                 "7 L X+1", "8 L Z-1 R0 FMAX M91", "9 CYCL DEF 17.0 GEWINDEBOHREN", "10 RND R1",
                 "11 CYCL DEF 9.0 VERWEILZEIT", "12 CYCL DEF 9.1 V.ZEIT 1.5", "* - ende"}),
        Heidenhain());
    // FMAX holds for its own block only.
    EXPECT_EQ(MovesOf(path), (Lines{"2\tG0\t25.4000\t0.0000\t0.0000", "8\tG1\t50.8000\t0.0000\t0.0000"}));
    EXPECT_EQ(NotesOf(path), (Lines{"Linje 3: variabler og uttrykk tolkes ikke",
                                    "Linje 4: variabler og uttrykk tolkes ikke",
                                    "Linje 5: ukjent ord APPR er hoppet over",
                                    "Linje 9: maskinkoordinater tegnes ikke",
                                    "Linje 10: ukjent ord CYCL DEF 17.0 er hoppet over"}));
    EXPECT_NEAR(path.totals.dwellSeconds, 1.5, 1e-12);
}
