// Word-address programs on a lathe: X as a diameter, G18 from the start, the roughing
// cycles drawn as their finishing contour.
#include <gtest/gtest.h>

#include <cmath>

#include "PlotTestSupport.h"
#include "plot/MoveIndex.h"

using Lines = std::vector<std::string>;

namespace {
const std::string kShaft = Program({
    "%",                                      // 1
    "O1001 (AKSEL)",                          // 2
    "N10 G21 G40 G99",                        // 3
    "N20 T0101 (GROVDREIING)",                // 4
    "N30 G50 S2500",                          // 5
    "N40 G96 S180 M03",                       // 6
    "N50 G00 X42. Z2.",                       // 7
    "N60 G71 U2. R0.5",                       // 8
    "N70 G71 P80 Q140 U0.4 W0.1 F0.25",       // 9
    "N80 G00 X20.",                           // 10
    "N90 G01 Z0. F0.15",                      // 11
    "N100 X24. Z-2.",                         // 12
    "N110 Z-30.",                             // 13
    "N120 G02 X32. Z-34. R4.",                // 14
    "N130 G01 X40. Z-40.",                    // 15
    "N140 Z-60.",                             // 16
    "N150 G70 P80 Q140",                      // 17
    "N160 G00 X100. Z100.",                   // 18
    "N170 M30",                               // 19
});
}  // namespace

TEST(LathePlot, RoughingAndFinishingDrawTheContourInRadius) {
    Lines contour{"10\tG0\t10.0000\t0.0000\t2.0000", "11\tG1\t10.0000\t0.0000\t0.0000",
                  "12\tG1\t12.0000\t0.0000\t-2.0000", "13\tG1\t12.0000\t0.0000\t-30.0000",
                  "14\tG2\t16.0000\t0.0000\t-34.0000\t16.0000\t0.0000\t-30.0000\t18",
                  "15\tG1\t20.0000\t0.0000\t-40.0000", "16\tG1\t20.0000\t0.0000\t-60.0000"};
    Lines expected{"7\tG0\t21.0000\t0.0000\t2.0000"};
    expected.insert(expected.end(), contour.begin(), contour.end());
    expected.push_back("9\tG0\t21.0000\t0.0000\t2.0000");  // back to where the cycle began
    expected.insert(expected.end(), contour.begin(), contour.end());
    expected.push_back("17\tG0\t21.0000\t0.0000\t2.0000");
    expected.push_back("18\tG0\t50.0000\t0.0000\t100.0000");
    Toolpath path = InterpretProgram(kShaft, Lathe());
    EXPECT_EQ(MovesOf(path), expected);
    EXPECT_TRUE(path.notes.empty());
    EXPECT_TRUE(path.lathe);
    // "Vis til linje": the roughing cycle's line brings its contour; the contour's own lines
    // are passed over by the program, the finishing cycle brings it again.
    MoveIndex index(path);
    EXPECT_EQ(index.MovesUpToLine(8), 1u);
    EXPECT_EQ(index.MovesUpToLine(9), 9u);
    EXPECT_EQ(index.MovesUpToLine(16), 9u);
    EXPECT_EQ(index.MovesUpToLine(17), 17u);
    EXPECT_EQ(index.MovesOfLine(13).size(), 2u);

    // Facing works the same way; a cycle whose contour is not there is noted.
    Toolpath facing = InterpretProgram(
        Program({"G0 X50 Z2", "G72 W2 R1", "G72 P10 Q20 F0.2", "N10 G0 Z-5", "N20 G1 X0",
                 "G70 P10 Q30", "M30"}),
        Lathe());
    EXPECT_EQ(MovesOf(facing),
              (Lines{"1\tG0\t25.0000\t0.0000\t2.0000", "4\tG0\t25.0000\t0.0000\t-5.0000",
                     "5\tG1\t0.0000\t0.0000\t-5.0000", "3\tG0\t25.0000\t0.0000\t2.0000"}));
    EXPECT_EQ(NotesOf(facing), (Lines{"Linje 6: underprogram N30 finnes ikke"}));
}

TEST(LathePlot, DistancesArcsAndCyclesOfTheLathe) {
    // U and W are distances (U on the diameter); I is a radius.
    EXPECT_EQ(Moves(Program({"G0 X20 Z0", "G1 U10 W-5 F0.1", "G2 X40 W-5 K-5"}), Lathe()),
              (Lines{"1\tG0\t10.0000\t0.0000\t0.0000", "2\tG1\t15.0000\t0.0000\t-5.0000",
                     "3\tG2\t20.0000\t0.0000\t-10.0000\t15.0000\t0.0000\t-10.0000\t18"}));
    // Radius programming, and back.
    EXPECT_EQ(Moves(Program({"G8 G0 X20 Z0", "G7 X20"}), Lathe()),
              (Lines{"1\tG0\t20.0000\t0.0000\t0.0000", "2\tG0\t10.0000\t0.0000\t0.0000"}));
    // The threading cycle is not drawn.
    Toolpath thread = InterpretProgram(
        Program({"G0 X14 Z5", "G76 P010060 Q100 R0.05", "G76 X10.16 Z-30 P920 Q300 F1.75"}), Lathe());
    EXPECT_EQ(NotesOf(thread), (Lines{"Linje 2: ukjent ord G76 er hoppet over",
                                      "Linje 3: ukjent ord G76 er hoppet over"}));
    EXPECT_EQ(thread.size(), 1u);
}

TEST(LathePlot, ConstantSurfaceSpeedTimesTheFeedPerRevolution) {
    // 100 m/min at a radius of 20 mm: 100000 / (2 pi 20) revolutions a minute.
    Toolpath path = InterpretProgram(
        Program({"G50 S2000", "G96 S100", "G99 G0 X40 Z0", "G1 Z-100 F0.2"}), Lathe());
    double rpm = 100000 / (2 * 3.141592653589793 * 20);
    EXPECT_NEAR(path.totals.feedSeconds, 100 / (0.2 * rpm) * 60, 1e-6);
    // Near the centre the spindle stays at its limit.
    Toolpath face = InterpretProgram(
        Program({"G50 S2000", "G96 S100", "G99 G0 X1 Z0", "G1 X0 F0.2"}), Lathe());
    EXPECT_NEAR(face.totals.feedSeconds, 0.5 / (0.2 * 2000) * 60, 1e-9);
    // Per minute (G98 on a lathe).
    EXPECT_NEAR(InterpretProgram(Program({"G98 G0 X0 Z0", "G1 Z-10 F100"}), Lathe())
                    .totals.feedSeconds,
                6, 1e-9);
}
