#pragma once
// The rotation calculator: a point in the X/Z plane with the rotary table (B axis) in one of
// its quarter positions, found again after the table has turned to another angle; and the
// sketch of the situation as pixel geometry.
#include <string>

inline constexpr const char* kRoteringCaption = "Rotering av B-akse";

// A number from an edit box: the first "," read as ".", the whole text converted as it
// stands (no blanks dropped); anything else reads as 0.
double ReadRotationNumber(const std::string& text);
// Fixed-point with four decimals and ".".
std::string FormatRotationNumber(double value);

struct RotationResult {
    double bUtAngle = 0;    // the new table angle, radians
    double pointAngle = 0;  // the point's direction in the table's frame, radians
    double utX = 0;
    double utZ = 0;
};
// position: 0 for "B0", 1 "B90", 2 "B180", 3 "B270"; -1 (nothing chosen) acts as "B270".
RotationResult CalculateRotation(double x, double z, int position, double newAngleDegrees);

struct Pixel {
    int x = 0;
    int y = 0;
    bool operator==(const Pixel&) const = default;
};

// The sketch in the paint box: +X to the right, +Z downwards.
struct RotationSketch {
    int centreX = 0;
    int centreY = 0;
    int l = 0;   // half length of the axes: height / 2.2
    int l2 = 0;  // 0.75 L: where the "O" marker stands
    // The axes and their labels (each label's top-left corner at the axis end).
    Pixel xAxisFrom, xAxisTo;  // "B270 (X-)" at the left end, "B90 (X+)" at the right
    Pixel zAxisFrom, zAxisTo;  // "B180 (Z-)" at the top, "B0 (Z+)" at the bottom
    bool calculated = false;
    // Only when calculated:
    Pixel blueFrom, blueTo;  // the new table axis; its label at blueTo
    std::string blueLabel;   // "B" + the text of the new angle + " (Z+)"
    Pixel marker;            // "O"
    Pixel redTo;             // from the centre: the new X component
    Pixel greenTo;           // from redTo to the marker: the new Z component
};
inline constexpr const char* kAxisLabelXMinus = "B270 (X-)";
inline constexpr const char* kAxisLabelXPlus = "B90 (X+)";
inline constexpr const char* kAxisLabelZMinus = "B180 (Z-)";
inline constexpr const char* kAxisLabelZPlus = "B0 (Z+)";
inline constexpr const char* kMarkerText = "O";

// Nearest integer, halves to even.
int RoundHalfEven(double v);
// The pixel of the point at direction a (radians from +Z towards +X) and length len.
Pixel SketchPoint(int centreX, int centreY, double a, double len);
RotationSketch ComputeRotationSketch(int width, int height, bool calculated, double bUtAngle,
                                     double pointAngle, const std::string& newAngleText);
