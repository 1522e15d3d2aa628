#pragma once
// The trigonometry calculator: a right-angled triangle from two known quantities, and the
// holes of a bolt circle as lines of the program.
#include <string>
#include <vector>

inline constexpr const char* kTrigCaption = "Trigonometriske funksjoner";
inline constexpr const char* kInvalidValues = "Ugyldige verdier";
inline constexpr const char* kTriangleCaption = "Beregne trekant";
inline constexpr const char* kHoleCircleCaption = "Beregne hullsirkel";

// A number typed by the user: blanks around it dropped, the first "," read as ".", anything
// that is not a number (or nothing) reads as 0.
double ReadTrigNumber(const std::string& text);
// The number of holes: a whole number, 0 when the text is none.
int ReadHoleCount(const std::string& text);
// Fixed-point with three decimals and ".", no blanks: 5 is 5.000.
std::string FormatTrigNumber(double value);

// Hypotenuse, adjacent side, opposite side and the angle between hypotenuse and adjacent
// side, in degrees. A quantity is known when it is above 0.
struct Triangle {
    double h = 0;
    double a = 0;
    double o = 0;
    double angle = 0;
};
// Solves from the first known pair in the order H+A, H+O, H+V, A+O, A+V, O+V; with fewer
// than two known, nothing changes. False when a step fails arithmetically (a side longer
// than the hypotenuse): the values of the steps before it stay, that step stores nothing.
bool SolveTriangle(Triangle& t);
// The four field texts of a triangle.
struct TriangleTexts {
    std::string h, a, o, angle;
};
TriangleTexts FormatTriangle(const Triangle& t);

struct HoleCircle {
    double radius = 0;
    double startAngle = 0;  // degrees, counter-clockwise from +X
    int count = 0;
    double centreX = 0;
    double centreY = 0;
};
// "X" x " Y" y for every hole, in order from the start angle. False when a step fails
// (no holes, or a value that is not a finite number); the lines made before it are kept.
bool HoleCircleLines(const HoleCircle& circle, std::vector<std::string>& lines);

// Where the hole circle goes: the program's text control, seen as lines. The main window
// gives its editor; tests give a list.
class HoleCircleTarget {
public:
    virtual ~HoleCircleTarget() = default;
    virtual long long CaretLine() = 0;  // 0-based line that holds the caret
    virtual void InsertLine(long long index, const std::string& text) = 0;  // above index
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
};
// Inserts the holes above the caret's line. first and last tell the lines inserted (first >
// last when none). False when a step failed; the lines inserted before it stay.
bool InsertHoleCircle(HoleCircleTarget& target, const HoleCircle& circle, long long& first,
                      long long& last);

// The desktop's calculator: the first of the usual calculator programs found on the path
// (a colon-separated list of folders). Empty when there is none.
std::string FindCalculatorProgram(const std::string& pathList);
const std::vector<std::string>& CalculatorPrograms();
