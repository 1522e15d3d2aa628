// Word-address programs on a mill: arcs, modes, units, cycles, subprograms, shifts, notes.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "PlotTestSupport.h"
#include "plot/PlotFigures.h"

using Lines = std::vector<std::string>;

TEST(IsoPlot, ArcsInTheThreePlanesByCentreAndByRadius) {
    // Centre words relative to the start; R positive under half a turn, negative over it.
    EXPECT_EQ(Moves(Program({"G17 G0 X0 Y0 Z0", "G2 X10 Y0 I5 J0", "G3 X0 Y10 R10",
                             "G3 X10 Y0 R-10"})),
              (Lines{"1\tG0\t0.0000\t0.0000\t0.0000",
                     "2\tG2\t10.0000\t0.0000\t0.0000\t5.0000\t0.0000\t0.0000\t17",
                     "3\tG3\t0.0000\t10.0000\t0.0000\t0.0000\t0.0000\t0.0000\t17",
                     "4\tG3\t10.0000\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000\t17"}));
    EXPECT_EQ(Moves(Program({"G18 G0 X0 Y0 Z0", "G2 X10 Z0 I5 K0", "G3 X0 Z10 R10",
                             "G2 X0 Z-10 R-10"})),
              (Lines{"1\tG0\t0.0000\t0.0000\t0.0000",
                     "2\tG2\t10.0000\t0.0000\t0.0000\t5.0000\t0.0000\t0.0000\t18",
                     "3\tG3\t0.0000\t0.0000\t10.0000\t10.0000\t0.0000\t10.0000\t18",
                     "4\tG2\t0.0000\t0.0000\t-10.0000\t0.0000\t0.0000\t0.0000\t18"}));
    EXPECT_EQ(Moves(Program({"G19 G0 X0 Y0 Z0", "G2 Y10 Z0 J5 K0", "G3 Y0 Z10 R10"})),
              (Lines{"1\tG0\t0.0000\t0.0000\t0.0000",
                     "2\tG2\t0.0000\t10.0000\t0.0000\t0.0000\t5.0000\t0.0000\t19",
                     "3\tG3\t0.0000\t0.0000\t10.0000\t0.0000\t0.0000\t0.0000\t19"}));

    // Which way each bulges, looking down the plane's axis (G17 from +Z, G18 from +Y,
    // G19 from +X): a clockwise half circle from the first axis' low end.
    PlotBox xy = ComputeFigures(InterpretProgram(Program({"G17 G0 X0 Y0 Z0", "G2 X10 I5"}), Mill())).feedBox;
    EXPECT_NEAR(xy.max.y, 5, 1e-9);
    EXPECT_NEAR(xy.min.y, 0, 1e-9);
    PlotBox zx = ComputeFigures(InterpretProgram(Program({"G18 G0 X0 Y0 Z0", "G2 X10 I5"}), Mill())).feedBox;
    EXPECT_NEAR(zx.min.z, -5, 1e-9);
    EXPECT_NEAR(zx.max.z, 0, 1e-9);
    PlotBox yz = ComputeFigures(InterpretProgram(Program({"G19 G0 X0 Y0 Z0", "G2 Y10 J5"}), Mill())).feedBox;
    EXPECT_NEAR(yz.max.z, 5, 1e-9);
    EXPECT_NEAR(yz.min.z, 0, 1e-9);
}

TEST(IsoPlot, HelixFullCircleAndIncrementalArcs) {
    Toolpath helix = InterpretProgram(Program({"G0 X10 Y0 Z0", "G3 X10 Y0 Z-5 I-10 J0 F600"}), Mill());
    ASSERT_EQ(helix.size(), 2u);
    EXPECT_EQ(MovesOf(helix)[1], "2\tG3\t10.0000\t0.0000\t-5.0000\t0.0000\t0.0000\t0.0000\t17");
    EXPECT_TRUE(helix.FullCircle(1));
    EXPECT_NEAR(helix.totals.feedLength, std::hypot(2 * 3.141592653589793 * 10, 5), 1e-9);

    // A whole turn in incremental mode, then half circles going on from where they end.
    EXPECT_EQ(Moves(Program({"G0 X0 Y0 Z0", "G91 G2 I5", "X10 Y0 I5", "X10 I5", "G3 X-20 R10"})),
              (Lines{"1\tG0\t0.0000\t0.0000\t0.0000",
                     "2\tG2\t0.0000\t0.0000\t0.0000\t5.0000\t0.0000\t0.0000\t17",
                     "3\tG2\t10.0000\t0.0000\t0.0000\t5.0000\t0.0000\t0.0000\t17",
                     "4\tG2\t20.0000\t0.0000\t0.0000\t15.0000\t0.0000\t0.0000\t17",
                     "5\tG3\t0.0000\t0.0000\t0.0000\t10.0000\t0.0000\t0.0000\t17"}));
}

TEST(IsoPlot, InchProgramsDrawnInMillimetres) {
    Toolpath path = InterpretProgram(
        Program({"G20 G0 X1 Y2 Z.5", "G1 X2 F10", "G2 X3 Y2 I.5 J0", "G21 G1 X100"}), Mill());
    EXPECT_EQ(MovesOf(path),
              (Lines{"1\tG0\t25.4000\t50.8000\t12.7000", "2\tG1\t50.8000\t50.8000\t12.7000",
                     "3\tG2\t76.2000\t50.8000\t12.7000\t63.5000\t50.8000\t12.7000\t17",
                     "4\tG1\t100.0000\t50.8000\t12.7000"}));
    // F10 is ten inches a minute: 25.4 mm take 6 s.
    double arc = 3.141592653589793 * 12.7;
    EXPECT_NEAR(path.totals.feedSeconds, (25.4 + arc + (100 - 76.2)) / 254 * 60, 1e-9);
}

TEST(IsoPlot, AxisWordsGoOnWithTheLastMotion) {
    EXPECT_EQ(Moves(Program({"N10 G1 X10 Y0 Z0 F100", "N20 Y10", "N30 G0 X0", "N40 Y0",
                             "N50 G2 X10 I5", "N60 X20 I5", "N70 (KOMMENTAR) M8", "N80 X30 I5"})),
              (Lines{"1\tG1\t10.0000\t0.0000\t0.0000", "2\tG1\t10.0000\t10.0000\t0.0000",
                     "3\tG0\t0.0000\t10.0000\t0.0000", "4\tG0\t0.0000\t0.0000\t0.0000",
                     "5\tG2\t10.0000\t0.0000\t0.0000\t5.0000\t0.0000\t0.0000\t17",
                     "6\tG2\t20.0000\t0.0000\t0.0000\t15.0000\t0.0000\t0.0000\t17",
                     "8\tG2\t30.0000\t0.0000\t0.0000\t25.0000\t0.0000\t0.0000\t17"}));
    // Compressed words, lower case, blanks inside words, block skip and comments.
    EXPECT_EQ(Moves(Program({"n10g1x1.5y-2z0f100", "/N20 X 3 ; slutt", "N30 (X9) Y4"})),
              (Lines{"1\tG1\t1.5000\t-2.0000\t0.0000", "2\tG1\t3.0000\t-2.0000\t0.0000",
                     "3\tG1\t3.0000\t4.0000\t0.0000"}));
}

// Every drilling cycle with G98 and G99: the levels the drill goes to, hole by hole.
TEST(IsoPlot, DrillingCyclesReturnToTheStartLevelOrToR) {
    struct Case {
        const char* code;
        Lines hole;         // after the rapid over the hole, returning with G98
        bool outAtFeed;     // back to R at feed (then on to the start level with G98)
        bool dwell;
    };
    const Case cases[] = {
        {"G81", {"G0 2.0", "G1 -10.0"}, false, false},
        {"G82", {"G0 2.0", "G1 -10.0"}, false, true},
        {"G83", {"G0 2.0", "G1 -2.0", "G0 2.0", "G0 -1.5", "G1 -6.0", "G0 2.0", "G0 -5.5", "G1 -10.0"}, false, false},
        {"G73", {"G0 2.0", "G1 -2.0", "G0 -1.5", "G1 -6.0", "G0 -5.5", "G1 -10.0"}, false, false},
        {"G74", {"G0 2.0", "G1 -10.0"}, true, true},
        {"G76", {"G0 2.0", "G1 -10.0"}, false, true},
        {"G84", {"G0 2.0", "G1 -10.0"}, true, true},
        {"G85", {"G0 2.0", "G1 -10.0"}, true, false},
        {"G86", {"G0 2.0", "G1 -10.0"}, false, false},
        {"G88", {"G0 2.0", "G1 -10.0"}, false, true},
        {"G89", {"G0 2.0", "G1 -10.0"}, true, true},
    };
    for (const Case& c : cases) {
        for (bool toR : {false, true}) {
            std::string block = std::string(toR ? "G99 " : "G98 ") + c.code +
                                " X10 Y0 Z-10 R2 Q4 P500 F100";
            Toolpath path = InterpretProgram(
                Program({"G17 G90 G0 X0 Y0 Z50", block.c_str(), "X20", "G80", "G0 Z60"}), Mill());
            SCOPED_TRACE(block);
            Lines expected{"G0 50.0"};  // the first rapid of the program
            for (int hole = 0; hole < 2; ++hole) {
                // Over the hole at the level the last one left; down to R unless there.
                bool atR = hole == 1 && toR;
                expected.push_back(atR ? "G0 2.0" : "G0 50.0");
                expected.insert(expected.end(), c.hole.begin() + (atR ? 1 : 0), c.hole.end());
                if (c.outAtFeed) expected.push_back("G1 2.0");
                else if (toR) expected.push_back("G0 2.0");
                if (!toR) expected.push_back("G0 50.0");
            }
            expected.push_back("G0 60.0");
            EXPECT_EQ(Levels(path, 2), expected);
            EXPECT_EQ(path.dwells.size(), c.dwell ? 2u : 0u);
            EXPECT_EQ(path.Line(2), 2u);  // the cycle's moves take the cycle's line
            EXPECT_EQ(path.End(path.size() - 2).x, 20);
        }
    }
    // Back boring comes out above the work whatever the return level.
    Toolpath g87 = InterpretProgram(Program({"G0 X0 Y0 Z50", "G99 G87 X10 Z-2 R-12 F100"}), Mill());
    EXPECT_EQ(Levels(g87, 2), (Lines{"G0 50.0", "G0 50.0", "G0 -12.0", "G1 -2.0", "G0 50.0"}));
}

TEST(IsoPlot, CycleRepeatsStepInIncrementalMode) {
    Toolpath path = InterpretProgram(
        Program({"G0 X0 Y0 Z50", "G91 G99 G81 X10 Y5 Z-12 R-48 K3 F100", "G80 G90"}), Mill());
    // R is 48 below the start level, the depth 12 below R; each hole 10, 5 on from the last.
    EXPECT_EQ(Levels(path, 2), (Lines{"G0 50.0", "G0 50.0", "G0 2.0", "G1 -10.0", "G0 2.0",
                                      "G0 2.0", "G1 -10.0", "G0 2.0", "G0 2.0", "G1 -10.0",
                                      "G0 2.0"}));
    EXPECT_EQ(MovesOf(path)[path.size() - 1], "2\tG0\t30.0000\t15.0000\t2.0000");
    // K0 keeps the cycle's data without drilling.
    EXPECT_EQ(InterpretProgram(Program({"G0 X0 Y0 Z50", "G81 X10 Z-5 R2 K0"}), Mill()).size(), 1u);
}

TEST(IsoPlot, SubprogramsWithRepeatsInBothForms) {
    Toolpath path = InterpretProgram(Program({"%", "O0001 (HOVED)", "G90 G0 X0 Y0 Z5",
                                              "M98 P1000 L2", "M98 P00031000", "M98 P2000",
                                              "M30", "O1000 (SPOR)", "G91 G1 X10", "G90", "M99"}),
                                     Mill());
    // The subprogram's moves take its own line; twice, then three times.
    EXPECT_EQ(MovesOf(path), (Lines{"3\tG0\t0.0000\t0.0000\t5.0000", "9\tG1\t10.0000\t0.0000\t5.0000",
                                    "9\tG1\t20.0000\t0.0000\t5.0000", "9\tG1\t30.0000\t0.0000\t5.0000",
                                    "9\tG1\t40.0000\t0.0000\t5.0000", "9\tG1\t50.0000\t0.0000\t5.0000"}));
    EXPECT_EQ(NotesOf(path), (Lines{"Linje 6: underprogram 2000 finnes ikke"}));

    // A subprogram written before the main program runs only when it is called.
    EXPECT_EQ(Moves(Program({"O0100", "G91 G1 Y5", "G90", "M99", "O0001", "G0 X0 Y0 Z0",
                             "M98 P100", "M30"})),
              (Lines{"6\tG0\t0.0000\t0.0000\t0.0000", "2\tG1\t0.0000\t5.0000\t0.0000"}));
    // A file holding one subprogram alone is drawn.
    EXPECT_EQ(Moves(Program({"O0100", "G1 X5 Y0 Z0 F100", "M99"})).size(), 1u);
}

TEST(IsoPlot, RunawayProgramsStopWithANote) {
    // A subprogram that calls itself.
    Toolpath self = InterpretProgram(
        Program({"O1", "G0 X0 Y0 Z0", "M98 P2", "M30", "O2", "G91 G1 X1 F100", "M98 P2", "M99"}),
        Mill());
    EXPECT_TRUE(self.stopped);
    ASSERT_FALSE(self.notes.empty());
    EXPECT_EQ(NoteLine(self.notes.back()), "Linje 7: for mange bevegelser, tegningen stopper her");

    // A repeat count of a billion ends at the move limit.
    PlotRun run;
    run.maxMoves = 500;
    Toolpath billion = InterpretProgram(
        Program({"O1", "G0 X0 Y0 Z0", "M98 P2 L1000000000", "M30", "O2", "G91 G1 X1 F100", "G90", "M99"}),
        Mill(), run);
    EXPECT_TRUE(billion.stopped);
    EXPECT_EQ(billion.size(), 500u);
    EXPECT_EQ(NotesOf(billion), (Lines{"Linje 6: for mange bevegelser, tegningen stopper her"}));

    // A billion passes that move nothing end after the first.
    Toolpath idle = InterpretProgram(
        Program({"O1", "G0 X0 Y0 Z0", "M98 P2 L1000000000", "G1 X5", "M30", "O2", "M8", "M99"}),
        Mill());
    EXPECT_FALSE(idle.stopped);
    EXPECT_EQ(idle.size(), 2u);
}

TEST(IsoPlot, ShiftsMoveTheDrawingAndMachineMovesAreLeftOut) {
    Toolpath path = InterpretProgram(
        Program({"G0 X10 Y0 Z0", "G92 X0", "G1 X5 F100", "G52 X100", "G1 X5", "G28 X0 Y0",
                 "G91 G28 Z0", "G90 G53 G0 Z0", "X0", "G92.1 G52 X0", "G1 X0"}),
        Mill());
    EXPECT_EQ(MovesOf(path), (Lines{"1\tG0\t10.0000\t0.0000\t0.0000", "3\tG1\t15.0000\t0.0000\t0.0000",
                                    "5\tG1\t115.0000\t0.0000\t0.0000", "9\tG0\t110.0000\t0.0000\t0.0000",
                                    "11\tG1\t0.0000\t0.0000\t0.0000"}));
    EXPECT_EQ(NotesOf(path), (Lines{"Linje 6: maskinkoordinater tegnes ikke",
                                    "Linje 7: maskinkoordinater tegnes ikke",
                                    "Linje 8: maskinkoordinater tegnes ikke"}));
}

TEST(IsoPlot, AxesNotYetPlacedStandWhereTheyAreFirstPlaced) {
    Toolpath path = InterpretProgram(Program({"N10 G0 Z5", "N20 X10 Y20", "N30 G1 X30 F100"}), Mill());
    EXPECT_EQ(MovesOf(path), (Lines{"1\tG0\t10.0000\t20.0000\t5.0000", "2\tG0\t10.0000\t20.0000\t5.0000",
                                    "3\tG1\t30.0000\t20.0000\t5.0000"}));
    EXPECT_EQ(path.origin(), (PlotPoint{10, 20, 5}));
    EXPECT_EQ(path.totals.rapidLength, 0);
}

TEST(IsoPlot, NotesAreTheSystemsOwnWords) {
    Toolpath path = InterpretProgram(
        Program({"G0 X0 Y0 Z0", "G12 X5", "#1=5", "G1 X[#1+2] F100", "X5 ^60",
                 "G2 X20 Y0 R5", "G1 G41 D1 X10 F100", "G42 X20", "G2 X30 Y0 I4 J1",
                 "M98 P77", "G53 Z0", "O100 SUB"}),
        Mill());
    EXPECT_EQ(NotesOf(path),
              (Lines{"Linje 2: ukjent ord G12 er hoppet over",
                     "Linje 3: variabler og uttrykk tolkes ikke",
                     "Linje 4: variabler og uttrykk tolkes ikke",
                     "Linje 5: ukjent ord ^60 er hoppet over",
                     "Linje 6: radius er for liten for buen",
                     "Linje 7: radiuskompensasjon vises ikke",
                     "Linje 9: buen har ulik radius i start og slutt (4.123 / 6.083)",
                     "Linje 10: underprogram 77 finnes ikke",
                     "Linje 11: maskinkoordinater tegnes ikke",
                     "Linje 12: ukjent ord SUB er hoppet over"}));
    // A skipped block leaves the tool where it was; the others still move.
    EXPECT_EQ(path.End(1).x, 20);
}

TEST(IsoPlot, RadiusToleranceIsTwoMicronsAndATenthOfAPercent) {
    // From (10, 0) about the origin: the end 10.011 from the centre is within 0.002 mm +
    // 0.1 % of the radius, 10.013 is not. Either way the arc ends at the end point.
    Toolpath within = InterpretProgram(Program({"G0 X10 Y0 Z0", "G3 X0 Y10.011 I-10 J0"}), Mill());
    EXPECT_TRUE(within.notes.empty());
    Toolpath beyond = InterpretProgram(Program({"G0 X10 Y0 Z0", "G3 X0 Y10.013 I-10 J0"}), Mill());
    EXPECT_EQ(NotesOf(beyond),
              (Lines{"Linje 2: buen har ulik radius i start og slutt (10.000 / 10.013)"}));
    EXPECT_EQ(beyond.End(1), (PlotPoint{0, 10.013, 0}));
    ArcGeometry g = ArcOfMove(beyond, 1);
    EXPECT_NEAR(ArcPointAt(g, 1).y, 10.013, 1e-12);
    // A radius that reaches the chord's half within the tolerance is a half circle.
    EXPECT_TRUE(InterpretProgram(Program({"G0 X0 Y0 Z0", "G2 X10.01 R5"}), Mill()).notes.empty());
}

TEST(IsoPlot, TimeFromFeedsRapidsAndDwells) {
    PlotSettings s;
    s.rapidRate = 5000;
    Toolpath path = InterpretProgram(
        Program({"G0 X0 Y0 Z0", "G94 G1 X100 F200", "G0 X0", "G4 P1500", "G4 X2",
                 "G95 S1000 G1 X10 F0.1"}),
        s);
    EXPECT_NEAR(path.totals.feedSeconds, 30 + 6, 1e-9);
    EXPECT_NEAR(path.totals.rapidSeconds, 100.0 / 5000 * 60, 1e-9);
    EXPECT_NEAR(path.totals.dwellSeconds, 3.5, 1e-12);
    EXPECT_FALSE(path.totals.feedTimeUnknown);
    EXPECT_EQ(TotalsText(path.totals), "Mating: 110.0 mm  Hurtiggang: 100.0 mm  Tid: 0:00:41");
    // Per revolution without a speed: the time of that move is not known.
    EXPECT_TRUE(InterpretProgram(Program({"G0 X0 Y0 Z0", "G95 G1 X10 F0.1"}), Mill())
                    .totals.feedTimeUnknown);
}

TEST(IsoPlot, ACancelledReadingStopsEarlyAndKeepsWhatItRead) {
    std::string big;
    for (int i = 0; i < 100000; ++i) big += "G1 X" + std::to_string(i % 100) + " Y1 Z0 F100\r\n";
    std::atomic<bool> cancel{true};
    PlotRun run;
    run.cancel = &cancel;
    Toolpath path = InterpretProgram(big, Mill(), run);
    EXPECT_TRUE(path.cancelled);
    EXPECT_GT(path.size(), 0u);
    EXPECT_LT(path.size(), 10000u);
}

TEST(IsoPlot, ToolsInTheOrderOfUse) {
    Toolpath path = InterpretProgram(
        Program({"N20 T1 M06 (PLANFRES D63)", "N70 T5 M06 (BOR D8.5)", "T1 M6", "T0303 ; GJENGE"}),
        Mill());
    ASSERT_EQ(path.tools.size(), 3u);
    EXPECT_EQ(ToolText(path.tools[0]), "T1  PLANFRES D63");
    EXPECT_EQ(path.tools[0].uses, 2u);
    EXPECT_EQ(ToolText(path.tools[1]), "T5  BOR D8.5");
    EXPECT_EQ(ToolText(path.tools[2]), "T0303  GJENGE");
}
