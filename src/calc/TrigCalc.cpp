#include "calc/TrigCalc.h"

#include <cmath>
#include <numbers>

#include "settings/Launcher.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

double ReadTrigNumber(const std::string& text) {
    double v = TextToFloat(text, 0, 0);
    return std::isfinite(v) ? v : 0.0;
}

int ReadHoleCount(const std::string& text) {
    int32_t v;
    return ParseInt32(text, v) ? v : 0;
}

std::string FormatTrigNumber(double value) { return FormatFixed(0, 3, value); }

namespace {
constexpr double kPi = std::numbers::pi;
bool Finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }
}  // namespace

bool SolveTriangle(Triangle& t) {
    double h = t.h, a = t.a, o = t.o;
    double r = t.angle * kPi / 180.0;
    bool unsolved = true;
    bool ok = true;
    // Each rule computes into locals and stores only when its arithmetic holds.
    auto apply = [&](double x, double y, double& dx, double& dy) {
        if (!Finite(x, y) || std::isnan(x) || std::isnan(y)) {
            ok = false;
            return;
        }
        dx = x;
        dy = y;
        unsolved = false;
    };
    if (h > 0) {
        if (a > 0) {
            double d = h * h - a * a;
            if (d < 0 || a / h > 1) ok = false;
            else apply(std::sqrt(d), std::acos(a / h), o, r);
        }
        if (ok && unsolved && o > 0) {
            double d = h * h - o * o;
            if (d < 0 || o / h > 1) ok = false;
            else apply(std::sqrt(d), std::asin(o / h), a, r);
        }
        if (ok && unsolved && r > 0) apply(h * std::sin(r), h * std::cos(r), o, a);
    }
    if (ok && unsolved && a > 0) {
        if (o > 0) apply(std::sqrt(o * o + a * a), std::atan(o / a), h, r);
        if (ok && unsolved && r > 0) apply(a / std::cos(r), a * std::tan(r), h, o);
    }
    if (ok && unsolved && o > 0 && r > 0) apply(o / std::sin(r), o / std::tan(r), h, a);
    t.h = h;
    t.a = a;
    t.o = o;
    t.angle = r * 180.0 / kPi;
    return ok;
}

TriangleTexts FormatTriangle(const Triangle& t) {
    return {FormatTrigNumber(t.h), FormatTrigNumber(t.a), FormatTrigNumber(t.o),
            FormatTrigNumber(t.angle)};
}

bool HoleCircleLines(const HoleCircle& c, std::vector<std::string>& lines) {
    if (c.count <= 0) return false;
    double step = 2 * kPi / c.count;
    double a = c.startAngle / 180.0 * kPi;
    for (int i = 0; i < c.count; ++i) {
        double x = c.radius * std::cos(a) + c.centreX;
        double y = c.radius * std::sin(a) + c.centreY;
        if (!Finite(x, y)) return false;
        lines.push_back("X" + FormatTrigNumber(x) + " Y" + FormatTrigNumber(y));
        a += step;
    }
    return true;
}

bool InsertHoleCircle(HoleCircleTarget& target, const HoleCircle& circle, long long& first,
                      long long& last) {
    target.BeginUpdate();
    long long l = target.CaretLine();
    std::vector<std::string> lines;
    bool ok = HoleCircleLines(circle, lines);
    for (size_t i = 0; i < lines.size(); ++i) target.InsertLine(l + static_cast<long long>(i), lines[i]);
    // The range tells what was really inserted, also after a failure.
    first = l;
    last = l + static_cast<long long>(lines.size()) - 1;
    target.EndUpdate();
    return ok;
}

const std::vector<std::string>& CalculatorPrograms() {
    static const std::vector<std::string> programs = {
        "gnome-calculator", "kcalc", "galculator", "mate-calc", "qalculate-gtk",
        "qalculate-qt", "xcalc"};
    return programs;
}

std::string FindCalculatorProgram(const std::string& pathList) {
    for (const auto& p : CalculatorPrograms()) {
        std::string found = FindProgramOnPath(p, pathList);
        if (!found.empty()) return found;
    }
    return std::string();
}
