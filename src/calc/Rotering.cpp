#include "calc/Rotering.h"

#include <cmath>
#include <numbers>

#include "settings/Settings.h"
#include "settings/Strings.h"

double ReadRotationNumber(const std::string& text) {
    std::string t = text;
    size_t comma = t.find(',');
    if (comma != std::string::npos) t[comma] = '.';
    if (t.empty() || static_cast<unsigned char>(t.front()) <= 32 || static_cast<unsigned char>(t.back()) <= 32)
        return 0.0;
    double v;
    return ParseFloat(t, v) && std::isfinite(v) ? v : 0.0;
}

std::string FormatRotationNumber(double value) { return FormatFixed(0, 4, value); }

RotationResult CalculateRotation(double x, double z, int position, double newAngleDegrees) {
    constexpr double pi = std::numbers::pi;
    RotationResult r;
    r.bUtAngle = newAngleDegrees * pi / 180.0;
    double radius = std::sqrt(x * x + z * z);
    double phi = (x == 0 && z == 0) ? 0.0 : std::atan2(x, z);
    int k = position < 0 || position > 3 ? -1 : position;
    r.pointAngle = phi + k * pi / 2;
    double theta = r.pointAngle - r.bUtAngle;
    r.utX = radius * std::sin(theta);
    r.utZ = radius * std::cos(theta);
    return r;
}

int RoundHalfEven(double v) {
    double f = std::floor(v);
    double d = v - f;
    double r;
    if (d > 0.5) r = f + 1;
    else if (d < 0.5) r = f;
    else r = std::fmod(f, 2.0) == 0 ? f : f + 1;
    return static_cast<int>(r);
}

Pixel SketchPoint(int centreX, int centreY, double a, double len) {
    return {centreX + RoundHalfEven(len * std::sin(a)), centreY + RoundHalfEven(len * std::cos(a))};
}

RotationSketch ComputeRotationSketch(int width, int height, bool calculated, double bUtAngle,
                                     double pointAngle, const std::string& newAngleText) {
    constexpr double pi = std::numbers::pi;
    RotationSketch s;
    s.centreX = width / 2;
    s.centreY = height / 2;
    s.l = RoundHalfEven(height / 2.2);
    s.l2 = RoundHalfEven(0.75 * s.l);
    s.xAxisFrom = {s.centreX - s.l, s.centreY};
    s.xAxisTo = {s.centreX + s.l, s.centreY};
    s.zAxisFrom = {s.centreX, s.centreY - s.l};
    s.zAxisTo = {s.centreX, s.centreY + s.l};
    s.calculated = calculated;
    if (!calculated) return s;
    s.blueFrom = SketchPoint(s.centreX, s.centreY, bUtAngle + pi, s.l);
    s.blueTo = SketchPoint(s.centreX, s.centreY, bUtAngle, s.l);
    s.blueLabel = "B" + newAngleText + " (Z+)";
    s.marker = SketchPoint(s.centreX, s.centreY, pointAngle, s.l2);
    s.redTo = SketchPoint(s.centreX, s.centreY, bUtAngle + pi / 2,
                          s.l2 * std::sin(pointAngle - bUtAngle));
    s.greenTo = s.marker;
    return s;
}
