// ESSI programs of cutting machines, read as the ESSI writer of the DXF conversion writes
// them: a function code alone on a line switches rapid traverse (5 on, 6 off) and cutting
// (7 on, 8 off); a line of two values is a straight move, of four values and a sign an arc
// (end and centre measured from the start, "+" counter-clockwise, "-" clockwise). Values are
// tenths of the drawing unit with their sign always written; "+" alone is zero.
#include <cmath>

#include "plot/Interpreters.h"
#include "settings/Strings.h"

namespace {
constexpr double kTenth = 0.1;
// Each of the four values of an arc is rounded to a tenth: the two radii may differ by that.
constexpr double kRoundingSlack = 0.25;

// Splits a statement into signed values. sign receives a trailing "+" or "-" with no digits
// (the direction of an arc). False when the text is no list of values.
bool ReadValues(std::string_view s, double* values, int& count, char& sign) {
    count = 0;
    sign = 0;
    size_t i = 0, n = s.size();
    while (i < n) {
        char c = s[i];
        if (c != '+' && c != '-') return false;
        size_t j = i + 1;
        int64_t v = 0;
        while (j < n && s[j] >= '0' && s[j] <= '9') {
            v = v * 10 + (s[j] - '0');
            if (v > 100000000000LL) return false;
            ++j;
        }
        if (j == i + 1 && j == n && count == 4) {
            sign = c;  // the direction after the four values of an arc
            return true;
        }
        if (count == 4) return false;
        values[count++] = (c == '-' ? -static_cast<double>(v) : static_cast<double>(v)) * kTenth;
        i = j;
    }
    return true;
}
}  // namespace

void InterpretEssi(ProgramText& text, PathBuilder& b) {
    for (int a = 0; a < 3; ++a) b.known[a] = true;  // increments from where the machine stands
    bool rapid = false, cutting = false;
    ProgramText::LineRef line;
    while (!b.Stopped() && text.Next(line)) {
        if (!b.Poll(line.number)) break;
        std::string_view s = TrimBlanks(line.text);
        if (s.empty()) continue;
        uint32_t ln = line.number;
        if (s[0] >= '0' && s[0] <= '9') {
            int code = 0;
            size_t i = 0;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9' && code < 100000)
                code = code * 10 + (s[i++] - '0');
            if (i != s.size()) {
                b.Note(ln, UnknownWordNote(s));
                continue;
            }
            switch (code) {
                case 5: rapid = true; break;
                case 6: rapid = false; break;
                case 7: cutting = true; break;
                case 8: cutting = false; break;
                case 0: case 1: case 3: case 4: case 63: case 64: break;  // begin and end
                default: b.Note(ln, UnknownWordNote(s)); break;
            }
            continue;
        }
        if (s[0] != '+' && s[0] != '-') {
            // The writer's header names the upload and the part.
            if (StartsWithNoCase1252(s, "ESSI Upload") || StartsWithNoCase1252(s, "Part Number")) continue;
            b.Note(ln, UnknownWordNote(s));
            continue;
        }
        double v[4];
        int count = 0;
        char sign = 0;
        if (!ReadValues(s, v, count, sign) || !(count == 2 || (count == 4 && sign))) {
            b.Note(ln, UnknownWordNote(s));
            continue;
        }
        MoveKind kind = cutting && !rapid ? MoveKind::Feed : MoveKind::Rapid;
        PlotPoint start = b.pos;
        PlotPoint end{start.x + v[0], start.y + v[1], start.z};
        if (count == 2) {
            b.Move(kind, end, ln);
            continue;
        }
        PlotPoint centre{start.x + v[2], start.y + v[3], start.z};
        bool full = v[0] == 0 && v[1] == 0;
        double r1 = std::hypot(v[2], v[3]), r2 = std::hypot(v[2] - v[0], v[3] - v[1]);
        if (std::fabs(r1 - r2) > RadiusTolerance(std::max(r1, r2)) + kRoundingSlack)
            b.Note(ln, RadiusMismatchNote(r1, r2));
        b.Arc(sign == '+' ? MoveKind::ArcCcw : MoveKind::ArcCw, ArcPlane::XY, end, centre, full, ln);
    }
}
