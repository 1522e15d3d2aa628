#include <gtest/gtest.h>

#include "TestSupport.h"
#include "nctools/CompressAir.h"
#include "nctools/LineList.h"
#include "settings/Settings.h"

using Lines = std::vector<std::string>;

TEST(CompressLine, RemovesSingleBlanksBetweenNumberAndAddress) {
    EXPECT_EQ(CompressLine("N10 G01 X10.5 Y-3 F200"), "N10G01X10.5Y-3F200");
    EXPECT_EQ(CompressLine("N10 G01 X5 (FRES 1 X)"), "N10G01X5 (FRES 1 X)");
    EXPECT_EQ(CompressLine("(T1 D10)"), "(T1 D10)");
    EXPECT_EQ(CompressLine("X10  Y5"), "X10  Y5");
    EXPECT_EQ(CompressLine("X10 "), "X10");
    EXPECT_EQ(CompressLine("g01 x5"), "g01 x5");
    EXPECT_EQ(CompressLine("G01 X5 x6"), "G01X5 x6");
    // "." is a number byte: X5. Y3 joins; a blank after a letter stays.
    EXPECT_EQ(CompressLine("X5. Y3 M 3"), "X5.Y3M 3");
    // A comment closes at ")"; after it the rules apply again.
    EXPECT_EQ(CompressLine("(A 1 B) X1 Y2"), "(A 1 B) X1Y2");
    // An unclosed comment runs to the end of the line, not into the next one.
    EXPECT_EQ(CompressLine("X1 (OPEN 1 B"), "X1 (OPEN 1 B");
    EXPECT_EQ(CompressLine("1 "), "1");
    EXPECT_EQ(CompressLine(" "), " ");
    EXPECT_EQ(CompressLine(""), "");
}

TEST(CompressLine, TabsGoEverywhereButTheFirstPosition) {
    EXPECT_EQ(CompressLine("X1\tY2"), "X1Y2");
    EXPECT_EQ(CompressLine("(A\tB)\tX1"), "(AB)X1");
    EXPECT_EQ(CompressLine("\tX1 Y2"), "\tX1Y2");
    // A tab before a blank: the blank is looked at again after the tab went.
    EXPECT_EQ(CompressLine("X1\t Y2"), "X1Y2");
    // A blank before a tab is not before an address letter, so it stays.
    EXPECT_EQ(CompressLine("X1 \tY2"), "X1 Y2");
    EXPECT_EQ(CompressLine("X1\t\t\t"), "X1");
}

TEST(AirLine, SeparatesNumbersFromAddresses) {
    EXPECT_EQ(AirLine("N10G01X10.5Y-3", ' '), "N10 G01 X10.5 Y-3");
    EXPECT_EQ(AirLine("G1X5(T1D3)", ' '), "G1 X5(T1D3)");
    EXPECT_EQ(AirLine("(T1D3)X1Y2", ' '), "(T1D3)X1 Y2");
    EXPECT_EQ(AirLine("g1x5", ' '), "g1x5");
    EXPECT_EQ(AirLine("X5.Y3", ' '), "X5. Y3");
    EXPECT_EQ(AirLine("N10 G01", ' '), "N10 G01");
    EXPECT_EQ(AirLine("1A", '\t'), "1\tA");
    EXPECT_EQ(AirLine("", ' '), "");
    EXPECT_EQ(AirLine("5", ' '), "5");
}

TEST(CompressAirLines, OnlyLinesThatChangedTheExpectedWayAreReplaced) {
    Lines lines = {"N10 G01 X5", "(T1 D10)", "", "N20G1X5"};
    auto changed = CompressLines(lines);
    EXPECT_EQ(changed, (std::vector<size_t>{0}));
    EXPECT_EQ(lines, (Lines{"N10G01X5", "(T1 D10)", "", "N20G1X5"}));
    changed = AirLines(lines, ' ');
    EXPECT_EQ(changed, (std::vector<size_t>{0, 3}));
    EXPECT_EQ(lines, (Lines{"N10 G01 X5", "(T1 D10)", "", "N20 G1 X5"}));
    Lines empty;
    EXPECT_TRUE(CompressLines(empty).empty());
    EXPECT_TRUE(AirLines(empty, ' ').empty());
}

TEST(CompressAirLines, TabSettingAndRoundTrip) {
    ScopedIni ini("[Maskin1]\r\nTab=True\r\n[Maskin2]\r\nTab=ja\r\n");
    EXPECT_EQ(ReadAirSeparator(MachineSection(0)), '\t');
    EXPECT_EQ(ReadAirSeparator(MachineSection(1)), ' ');
    EXPECT_EQ(ReadAirSeparator(MachineSection(2)), ' ');
    Lines lines = {"N10G01X10.5Y-3F200"};
    AirLines(lines, ReadAirSeparator(MachineSection(0)));
    EXPECT_EQ(lines[0], "N10\tG01\tX10.5\tY-3\tF200");
    CompressLines(lines);
    EXPECT_EQ(lines[0], "N10G01X10.5Y-3F200");
}

TEST(CompressAirLines, RealProgramsSurviveAirThenCompress) {
    std::string dir = SharedDir() + "/nc-samples/";
    int seen = 0;
    for (const char* name : {"lathe_pawn.ngc", "3D_Chips.ngc", "metric_pipe.ngc", "g76.ngc"}) {
        std::string bytes = ReadFileBytes(dir + name);
        if (bytes.empty()) continue;
        ++seen;
        Lines original = SplitLines(bytes);
        // Compressed once, the program is a fixed point of air followed by compress as long
        // as it holds no blank between a number and a letter inside its words any more.
        Lines compressed = original;
        CompressLines(compressed);
        Lines aired = compressed;
        AirLines(aired, ' ');
        Lines again = aired;
        CompressLines(again);
        for (size_t i = 0; i < compressed.size(); ++i) {
            if (compressed[i].find('(') != std::string::npos) continue;
            if (compressed[i].find(' ') != std::string::npos) continue;
            EXPECT_EQ(again[i], compressed[i]) << name << " line " << i;
        }
        // Air never touches comments.
        for (size_t i = 0; i < compressed.size(); ++i) {
            size_t c = compressed[i].find('(');
            if (c == std::string::npos) continue;
            size_t e = compressed[i].find(')', c);
            std::string tail = compressed[i].substr(c, e == std::string::npos ? e : e - c + 1);
            EXPECT_NE(aired[i].find(tail), std::string::npos) << name << " line " << i;
        }
    }
    if (seen == 0) GTEST_SKIP() << "no samples in " << dir;
}
