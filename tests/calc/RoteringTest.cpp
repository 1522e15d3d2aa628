#include <gtest/gtest.h>

#include <numbers>

#include "calc/Rotering.h"

namespace {
std::pair<std::string, std::string> Rotate(double x, double z, int k, double v) {
    RotationResult r = CalculateRotation(x, z, k, v);
    return {FormatRotationNumber(r.utX), FormatRotationNumber(r.utZ)};
}
using P = std::pair<std::string, std::string>;
constexpr double kPi = std::numbers::pi;
}  // namespace

TEST(CalculateRotation, Examples) {
    EXPECT_EQ(Rotate(10, 0, 0, 90), (P{"0.0000", "10.0000"}));
    EXPECT_EQ(Rotate(0, 10, 1, 0), (P{"10.0000", "0.0000"}));
    EXPECT_EQ(Rotate(-10, 0, 0, 0), (P{"-10.0000", "0.0000"}));
    EXPECT_EQ(Rotate(0, 0, 2, 33), (P{"0.0000", "0.0000"}));
    EXPECT_EQ(Rotate(10, 0, 0, 45), (P{"7.0711", "7.0711"}));
    // No position chosen acts as B270.
    EXPECT_EQ(Rotate(3, 4, -1, 17), Rotate(3, 4, 3, 17));
    EXPECT_EQ(Rotate(0, 10, 2, 0), (P{"0.0000", "-10.0000"}));
    RotationResult r = CalculateRotation(0, 10, 1, 180);
    EXPECT_DOUBLE_EQ(r.bUtAngle, kPi);
    EXPECT_DOUBLE_EQ(r.pointAngle, kPi / 2);
}

TEST(RotationNumbers, CommaAndNoTrimming) {
    EXPECT_EQ(ReadRotationNumber("12,5"), 12.5);
    EXPECT_EQ(ReadRotationNumber("12.5"), 12.5);
    EXPECT_EQ(ReadRotationNumber(" 12.5"), 0.0);
    EXPECT_EQ(ReadRotationNumber("12.5 "), 0.0);
    EXPECT_EQ(ReadRotationNumber("x"), 0.0);
    EXPECT_EQ(ReadRotationNumber(""), 0.0);
    EXPECT_EQ(FormatRotationNumber(-0.00001), "0.0000");
}

TEST(RotationSketch, PixelLayoutAtHeight723) {
    RotationSketch s = ComputeRotationSketch(900, 723, false, 0, 0, "");
    EXPECT_EQ(s.centreX, 450);
    EXPECT_EQ(s.centreY, 361);
    EXPECT_EQ(s.l, 329);
    EXPECT_EQ(s.l2, 247);
    EXPECT_EQ(s.xAxisFrom, (Pixel{121, 361}));
    EXPECT_EQ(s.xAxisTo, (Pixel{779, 361}));
    EXPECT_EQ(s.zAxisFrom, (Pixel{450, 32}));
    EXPECT_EQ(s.zAxisTo, (Pixel{450, 690}));
    EXPECT_FALSE(s.calculated);
}

TEST(RotationSketch, ComponentsOfACalculatedPoint) {
    // X = 10, Z = 0 at B0, table to 90 degrees: the point lies on the new +Z axis.
    RotationResult r = CalculateRotation(10, 0, 0, 90);
    RotationSketch s = ComputeRotationSketch(900, 723, true, r.bUtAngle, r.pointAngle, "90");
    EXPECT_EQ(s.blueTo, (Pixel{779, 361}));    // new +Z to the right
    EXPECT_EQ(s.blueFrom, (Pixel{121, 361}));
    EXPECT_EQ(s.blueLabel, "B90 (Z+)");
    EXPECT_EQ(s.marker, (Pixel{697, 361}));    // 0.75 L along +X
    EXPECT_EQ(s.redTo, (Pixel{450, 361}));     // no new X component
    EXPECT_EQ(s.greenTo, s.marker);
    // 30 degrees: the red line runs along the new X direction (30 + 90 degrees) by
    // L2 sin(90 - 30) = 213.90: offsets 185.25 and -106.95.
    r = CalculateRotation(10, 0, 0, 30);
    s = ComputeRotationSketch(900, 723, true, r.bUtAngle, r.pointAngle, "30");
    EXPECT_EQ(s.marker, (Pixel{697, 361}));
    EXPECT_EQ(s.redTo, (Pixel{450 + 185, 361 - 107}));
    EXPECT_EQ(s.blueLabel, "B30 (Z+)");
    EXPECT_EQ(ComputeRotationSketch(900, 723, true, 0, 0, "").blueLabel, "B (Z+)");
}

TEST(RotationSketch, RoundingHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-2.6), -3);
    EXPECT_EQ(RoundHalfEven(0.49), 0);
    // Height 11: L = 5, L2 = 3.75 -> 4.
    RotationSketch s = ComputeRotationSketch(10, 11, false, 0, 0, "");
    EXPECT_EQ(s.l, 5);
    EXPECT_EQ(s.l2, 4);
}
