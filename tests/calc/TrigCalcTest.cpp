#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "calc/TrigCalc.h"

namespace {
TriangleTexts Solve(double h, double a, double o, double v, bool* ok = nullptr) {
    Triangle t{h, a, o, v};
    bool r = SolveTriangle(t);
    if (ok) *ok = r;
    return FormatTriangle(t);
}

class ListTarget : public HoleCircleTarget {
public:
    std::vector<std::string> lines;
    long long caret = 0;
    int updates = 0;
    long long CaretLine() override { return caret; }
    void InsertLine(long long index, const std::string& text) override {
        lines.insert(lines.begin() + index, text);
    }
    void BeginUpdate() override { ++updates; }
    void EndUpdate() override { --updates; }
};
}  // namespace

TEST(SolveTriangle, EachKnownPair) {
    auto t = Solve(5, 4, 0, 0);
    EXPECT_EQ(t.o, "3.000");
    EXPECT_EQ(t.angle, "36.870");
    t = Solve(0, 3, 4, 0);
    EXPECT_EQ(t.h, "5.000");
    EXPECT_EQ(t.angle, "53.130");
    t = Solve(5, 0, 3, 0);  // H+O
    EXPECT_EQ(t.a, "4.000");
    EXPECT_EQ(t.angle, "36.870");
    t = Solve(10, 0, 0, 30);  // H+V
    EXPECT_EQ(t.o, "5.000");
    EXPECT_EQ(t.a, "8.660");
    t = Solve(0, 10, 0, 45);  // A+V
    EXPECT_EQ(t.h, "14.142");
    EXPECT_EQ(t.o, "10.000");
    t = Solve(0, 0, 5, 30);  // O+V
    EXPECT_EQ(t.h, "10.000");
    EXPECT_EQ(t.a, "8.660");
}

TEST(SolveTriangle, FirstPairInPriorityOrderWins) {
    // H, A and O: O is recomputed from H and A; the angle too.
    auto t = Solve(5, 4, 99, 10);
    EXPECT_EQ(t.o, "3.000");
    EXPECT_EQ(t.angle, "36.870");
    // H and O and V: H+O comes before H+V.
    t = Solve(5, 0, 3, 80);
    EXPECT_EQ(t.a, "4.000");
    EXPECT_EQ(t.angle, "36.870");
    // A, O and V: A+O comes before A+V.
    t = Solve(0, 3, 4, 10);
    EXPECT_EQ(t.h, "5.000");
    EXPECT_EQ(t.angle, "53.130");
    // Negative counts as missing.
    t = Solve(-5, 3, 4, 0);
    EXPECT_EQ(t.h, "5.000");
}

TEST(SolveTriangle, HypotenuseShorterThanASideFails) {
    bool ok = true;
    auto t = Solve(4, 5, 0, 0, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(t.h, "4.000");
    EXPECT_EQ(t.a, "5.000");
    EXPECT_EQ(t.o, "0.000");
    EXPECT_EQ(t.angle, "0.000");
    t = Solve(3, 0, 7, 20, &ok);  // H+O fails before H+V is tried
    EXPECT_FALSE(ok);
    EXPECT_EQ(t.a, "0.000");
    EXPECT_EQ(t.angle, "20.000");
}

TEST(SolveTriangle, FewerThanTwoKnownOnlyReformats) {
    bool ok = false;
    auto t = Solve(7, 0, 0, 0, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(t.h, "7.000");
    EXPECT_EQ(t.a, "0.000");
    t = Solve(0, 0, 0, 0, &ok);
    EXPECT_EQ(t.angle, "0.000");
}

TEST(TrigNumbers, ReadingAndWriting) {
    EXPECT_EQ(ReadTrigNumber("12,5"), 12.5);
    EXPECT_EQ(ReadTrigNumber(" 12.5 "), 12.5);
    EXPECT_EQ(ReadTrigNumber("12,5,1"), 0.0);
    EXPECT_EQ(ReadTrigNumber("abc"), 0.0);
    EXPECT_EQ(ReadTrigNumber(""), 0.0);
    EXPECT_EQ(ReadTrigNumber("-3"), -3.0);
    EXPECT_EQ(ReadHoleCount("3"), 3);
    EXPECT_EQ(ReadHoleCount("3x"), 0);
    EXPECT_EQ(ReadHoleCount("-3"), -3);
    EXPECT_EQ(FormatTrigNumber(5), "5.000");
    EXPECT_EQ(FormatTrigNumber(-7.0714), "-7.071");
    EXPECT_EQ(FormatTrigNumber(-0.0001), "0.000");
}

TEST(HoleCircle, FourHolesAt45DegreesGoAboveTheCaretLine) {
    ListTarget t;
    t.lines = {"G0 X0", "M30"};
    t.caret = 1;
    HoleCircle c{10, 45, 4, 0, 0};
    long long first = 1, last = 0;
    EXPECT_TRUE(InsertHoleCircle(t, c, first, last));
    EXPECT_EQ(t.lines, (std::vector<std::string>{"G0 X0", "X7.071 Y7.071", "X-7.071 Y7.071",
                                                 "X-7.071 Y-7.071", "X7.071 Y-7.071", "M30"}));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 4);
    EXPECT_EQ(t.updates, 0);
}

TEST(HoleCircle, OneHoleAtTheStartAngleAndACentre) {
    std::vector<std::string> lines;
    EXPECT_TRUE(HoleCircleLines({12.5, 90, 1, 100, -20}, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"X100.000 Y-7.500"}));
    lines.clear();
    EXPECT_FALSE(HoleCircleLines({10, 0, 0, 0, 0}, lines));
    EXPECT_TRUE(lines.empty());
    ListTarget t;
    long long first = 1, last = 0;
    EXPECT_FALSE(InsertHoleCircle(t, {1e308, 0, 2, 1e308, 0}, first, last));
    EXPECT_GT(first, last);  // nothing inserted, nothing claimed
    EXPECT_TRUE(t.lines.empty());
}

TEST(Calculator, FirstUsualProgramOnThePath) {
    TempDir a, b;
    auto exe = [](const std::string& path) {
        std::ofstream(path) << "#!/bin/sh\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    };
    EXPECT_EQ(FindCalculatorProgram(a.path() + ":" + b.path()), "");
    exe(b.File("xcalc"));
    exe(a.File("kcalc"));
    WriteFileBytes(a.File("gnome-calculator"), "not executable");
    EXPECT_EQ(FindCalculatorProgram(a.path() + ":" + b.path()), a.File("kcalc"));
    exe(b.File("gnome-calculator"));
    EXPECT_EQ(FindCalculatorProgram(a.path() + ":" + b.path()), b.File("gnome-calculator"));
    EXPECT_EQ(FindCalculatorProgram(""), "");
}
