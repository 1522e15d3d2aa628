// Word-address programs: the G and M codes of the usual mill and lathe controls.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "plot/Interpreters.h"
#include "settings/Strings.h"

namespace {

constexpr double kInch = 25.4;
constexpr double kPeckClearance = 0.5;  // mm the drill stays clear of the last depth
constexpr size_t kMaxCallDepth = 1000;
constexpr int kMaxCodes = 16;

inline bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// One block's words.
struct Block {
    uint32_t present = 0;  // one bit per letter
    double value[26];
    bool decimal[26];
    std::string_view text[26];  // the number as written
    int g[kMaxCodes];           // G codes times ten (G71.1 is 711)
    std::string_view gText[kMaxCodes];
    int gCount = 0;
    int m[kMaxCodes];
    int mCount = 0;
    std::string_view comment;   // the first comment of the line
    bool Has(char c) const { return (present >> (c - 'A')) & 1u; }
    double V(char c) const { return value[c - 'A']; }
    bool HasM(int code) const {
        for (int i = 0; i < mCount; ++i)
            if (m[i] == code) return true;
        return false;
    }
};

enum class Parsed { Block, Empty, Variables, Unknown };

// Reads the words of a line. unknown receives the word not understood.
Parsed ParseBlock(std::string_view s, Block& blk, std::string_view& unknown) {
    size_t i = 0, n = s.size();
    while (i < n && IsBlank(s[i])) ++i;
    if (i == n) return Parsed::Empty;
    char first = s[i];
    if (first == '%' || first == '*') return Parsed::Empty;  // tape marks, star lines
    if (first == '/') {  // a skippable block: drawn as the control runs it with the switch off
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i;
    }
    bool any = false;
    bool atStart = true;
    while (i < n) {
        char c = s[i];
        if (IsBlank(c)) {
            ++i;
            continue;
        }
        if (c == '(') {
            size_t close = s.find(')', i + 1);
            size_t end = close == std::string_view::npos ? n : close;
            if (blk.comment.empty()) blk.comment = TrimBlanks(s.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? n : close + 1;
            continue;
        }
        if (c == ';') {
            if (blk.comment.empty()) blk.comment = TrimBlanks(s.substr(i + 1));
            break;
        }
        if (c == '#' || c == '[' || c == '=' || c == ']') return Parsed::Variables;
        if (c == ':' && atStart) c = 'O';  // a program number
        atStart = false;
        if (!IsLetter(c)) {
            size_t e = i + 1;
            while (e < n && ((s[e] >= '0' && s[e] <= '9') || s[e] == '.' || s[e] == '+' ||
                             s[e] == '-'))
                ++e;
            unknown = s.substr(i, e - i);
            return Parsed::Unknown;
        }
        char letter = Upper(c);
        size_t j = i + 1;
        while (j < n && (s[j] == ' ' || s[j] == '\t')) ++j;
        if (j < n && (s[j] == '#' || s[j] == '[')) return Parsed::Variables;
        double v = 0;
        bool decimal = false;
        size_t used = ParseNumber(s, j, v, decimal);
        if (used == 0) {
            // Letters without a number ("SUB", "GOTO"), or a number too large for any control.
            size_t e = i + 1;
            while (e < n && (IsLetter(s[e]) || (s[e] >= '0' && s[e] <= '9') || s[e] == '.' ||
                             s[e] == '-' || s[e] == '+'))
                ++e;
            unknown = s.substr(i, e - i);
            return Parsed::Unknown;
        }
        std::string_view num = s.substr(j, used);
        int idx = letter - 'A';
        if (letter == 'G' || letter == 'M') {
            int code = static_cast<int>(std::lround(v * 10));
            if (v < 0 || v > 100000 || std::fabs(v * 10 - code) > 1e-6) {
                unknown = s.substr(i, j + used - i);
                return Parsed::Unknown;
            }
            if (letter == 'G' && blk.gCount < kMaxCodes) {
                blk.gText[blk.gCount] = s.substr(i, j + used - i);
                blk.g[blk.gCount++] = code;
            } else if (letter == 'M' && blk.mCount < kMaxCodes) {
                blk.m[blk.mCount++] = code;
            }
        } else {
            blk.present |= 1u << idx;
            blk.value[idx] = v;
            blk.decimal[idx] = decimal;
            blk.text[idx] = num;
        }
        any = true;
        i = j + used;
    }
    if (!any) return blk.comment.empty() ? Parsed::Empty : Parsed::Block;
    return Parsed::Block;
}

// Whole digits of a number as written ("00031000" stays a text: its length counts).
std::string Digits(std::string_view num) {
    std::string d;
    for (char c : num)
        if (c >= '0' && c <= '9') d += c;
        else if (c == '.') break;
    return d;
}

int64_t DigitsValue(std::string_view d) {
    int64_t v = 0;
    for (char c : d) {
        v = v * 10 + (c - '0');
        if (v > 1000000000000LL) return -1;
    }
    return v;
}

class IsoInterpreter {
public:
    IsoInterpreter(ProgramText& text, PathBuilder& b)
        : text_(text), b_(b), lathe_(b.settings.lathe) {
        plane_ = lathe_ ? ArcPlane::ZX : ArcPlane::XY;
        if (lathe_) b_.feedMode = FeedMode::PerRevolution;
    }
    void Run();

private:
    // A subprogram in the file: "O" + number up to the next program.
    struct ProgramDef {
        int64_t number = 0;
        uint32_t line = 0;
        size_t offset = 0;      // the O line
        size_t bodyOffset = 0;  // the line after it
        size_t endOffset = 0;   // where the next program begins
        int m99State = 0;       // 0 not looked for, 1 none, 2 found
        size_t afterM99Offset = 0;
        uint32_t afterM99Line = 0;
    };
    struct LinePlace {
        uint32_t line = 0;
        size_t offset = 0;
    };
    struct Frame : CallFrame {
        bool contour = false;
        // contours
        uint32_t endLine = 0;
        uint32_t cycleLine = 0;
        PlotPoint startPoint;
        bool restoreFeed = false;
        double feed = 0;
    };

    void Execute(const ProgramText::LineRef& line);
    bool KnownG(int g) const;
    void Evaluate(const Block& blk, uint32_t ln);
    double Length(double v) const { return v * unit_; }
    double AxisValue(const Block& blk, int axis) const;
    double Offset(int axis) const { return off52_[axis] + off92_[axis]; }
    PlotPoint Target(const Block& blk);
    void ArcTo(const Block& blk, bool cw, const PlotPoint& end, uint32_t ln);
    void Drill(const Block& blk, int code, bool entering, uint32_t ln);
    void DrillHole(uint32_t ln);
    bool GoLevel(MoveKind kind, double level, uint32_t ln);
    static std::string_view ContourText(const Block& blk, int code);
    void Call(const Block& blk, uint32_t ln);
    void Return();
    bool ProgramLine(const ProgramText::LineRef& line);
    void StartContour(const Block& blk, int code, std::string_view codeText, uint32_t ln);
    void EndContour();
    void IndexPrograms();
    void FindM99(ProgramDef& def);
    bool FindBlock(int64_t number, LinePlace& place);

    ProgramText& text_;
    PathBuilder& b_;
    bool lathe_;
    bool finished_ = false;

    int motion_ = 0;  // 0, 10, 20, 30
    ArcPlane plane_;
    bool incremental_ = false;
    bool arcAbsolute_ = false;
    double unit_ = 1;
    bool diameter_ = true;
    double off52_[3] = {0, 0, 0};
    double off92_[3] = {0, 0, 0};

    // Drilling cycles.
    int cycle_ = 0;
    bool returnToR_ = false;
    double initialLevel_ = 0;
    double rLevel_ = 0;
    bool haveR_ = false;
    double depth_ = 0;
    bool haveDepth_ = false;
    double peck_ = 0;
    double cycleDwell_ = 0;
    int drillAxis_ = 2;

    std::vector<Frame> stack_;
    bool programsIndexed_ = false;
    std::vector<ProgramDef> programs_;
    std::unordered_map<int64_t, size_t> programByNumber_;
    bool blocksIndexed_ = false;
    std::unordered_map<int64_t, LinePlace> blockByNumber_;
};

void IsoInterpreter::Run() {
    ProgramText::LineRef line;
    while (!finished_ && !b_.Stopped()) {
        if (!text_.Next(line)) {
            if (stack_.empty()) break;
            // A subprogram or a contour that runs to the end of the text ends there.
            if (stack_.back().contour) EndContour();
            else Return();
            continue;
        }
        if (!b_.Poll(line.number)) break;
        Execute(line);
        if (!stack_.empty() && stack_.back().contour && line.number == stack_.back().endLine &&
            !finished_)
            EndContour();
    }
}

void IsoInterpreter::Execute(const ProgramText::LineRef& line) {
    Block blk;
    std::string_view unknown;
    switch (ParseBlock(line.text, blk, unknown)) {
        case Parsed::Empty: return;
        case Parsed::Variables: b_.Note(line.number, kVariablesNote); return;
        case Parsed::Unknown: b_.Note(line.number, UnknownWordNote(unknown)); return;
        case Parsed::Block: break;
    }
    if (blk.Has('O') && ProgramLine(line)) return;
    for (int i = 0; i < blk.gCount; ++i) {
        if (!KnownG(blk.g[i])) {
            b_.Note(line.number, UnknownWordNote(blk.gText[i]));
            return;
        }
    }
    Evaluate(blk, line.number);
}

bool IsoInterpreter::KnownG(int g) const {
    switch (g) {
        case 0: case 10: case 20: case 30: case 40: case 80: case 90: case 100: case 170:
        case 180: case 190: case 200: case 210: case 280: case 300: case 310: case 320:
        case 330: case 400: case 410: case 420: case 430: case 440: case 490: case 500:
        case 520: case 530: case 540: case 550: case 560: case 570: case 580: case 590:
        case 541: case 591: case 592: case 593: case 610: case 611: case 640: case 700:
        case 710: case 730: case 800: case 810: case 820: case 830: case 840: case 850:
        case 860: case 870: case 880: case 890: case 900: case 910: case 901: case 911:
        case 920: case 921: case 922: case 930: case 940: case 950: case 960: case 970:
        case 980: case 990:
            return true;
        case 150: case 501: case 690: case 740: case 760:  // mill cycles and modes
            return !lathe_;
        case 70: case 720:  // diameter programming, facing contour
            return lathe_;
        default:
            return false;
    }
}

double IsoInterpreter::AxisValue(const Block& blk, int axis) const {
    double v = Length(blk.V(static_cast<char>('X' + axis)));
    if (lathe_ && axis == 0 && diameter_) v /= 2;
    return v;
}

PlotPoint IsoInterpreter::Target(const Block& blk) {
    PlotPoint t = b_.pos;
    for (int a = 0; a < 3; ++a) {
        if (!blk.Has(static_cast<char>('X' + a))) continue;
        double v = AxisValue(blk, a);
        if (incremental_) {
            b_.Use(a);
            t[a] = b_.pos[a] + v;
        } else {
            t[a] = v + Offset(a);
            b_.Place(a, t[a]);
        }
    }
    if (lathe_) {
        // U and W: X (as a diameter) and Z given as distances.
        if (blk.Has('U')) {
            b_.Use(0);
            double v = Length(blk.V('U'));
            t.x = b_.pos.x + (diameter_ ? v / 2 : v);
        }
        if (blk.Has('W')) {
            b_.Use(2);
            t.z = b_.pos.z + Length(blk.V('W'));
        }
    }
    return t;
}

void IsoInterpreter::ArcTo(const Block& blk, bool cw, const PlotPoint& end, uint32_t ln) {
    PlaneAxes ax = AxesOf(plane_);
    int u = ax.first, v = ax.second;
    b_.Use(u);
    b_.Use(v);
    PlotPoint start = b_.pos;
    PlotPoint c = start;
    bool full = false;
    MoveKind kind = cw ? MoveKind::ArcCw : MoveKind::ArcCcw;
    const char centreWord[3] = {'I', 'J', 'K'};
    if (blk.Has('R')) {
        double r = Length(blk.V('R'));
        if (std::fabs(end[u] - start[u]) < 1e-9 && std::fabs(end[v] - start[v]) < 1e-9) {
            // No circle runs through a single point with a radius: only the height moves.
            if (end[ax.normal] != start[ax.normal]) b_.Move(MoveKind::Feed, end, ln);
            return;
        }
        if (!CentreFromRadius(start[u], start[v], end[u], end[v], r, !cw, c[u], c[v]))
            b_.Note(ln, kRadiusTooSmallNote);
    } else if (blk.Has(centreWord[u]) || blk.Has(centreWord[v])) {
        for (int a : {u, v}) {
            char word = centreWord[a];
            if (arcAbsolute_) {
                c[a] = blk.Has(word) ? Length(blk.V(word)) + Offset(a) : start[a];
            } else {
                c[a] = start[a] + (blk.Has(word) ? Length(blk.V(word)) : 0.0);
            }
        }
        full = std::fabs(end[u] - start[u]) < 1e-7 && std::fabs(end[v] - start[v]) < 1e-7;
        double r1 = std::hypot(start[u] - c[u], start[v] - c[v]);
        double r2 = std::hypot(end[u] - c[u], end[v] - c[v]);
        if (std::fabs(r1 - r2) > RadiusTolerance(std::max(r1, r2)))
            b_.Note(ln, RadiusMismatchNote(r1, r2));
    } else {
        // Neither radius nor centre: no arc can be drawn; the tool still goes to the end.
        b_.Note(ln, kRadiusTooSmallNote);
        b_.Move(MoveKind::Feed, end, ln);
        return;
    }
    b_.Arc(kind, plane_, end, c, full, ln);
}

void IsoInterpreter::Evaluate(const Block& blk, uint32_t ln) {
    int newMotion = -1, newCycle = 0, contour = 0;
    bool dwell = false, data = false, machine = false, shift52 = false, shift92 = false,
         g50 = false, cancelCycle = false;
    for (int i = 0; i < blk.gCount; ++i) {
        int g = blk.g[i];
        switch (g) {
            case 0: case 10: case 20: case 30: newMotion = g; break;
            case 310: case 320: case 330: newMotion = 10; break;  // skip and thread moves
            case 40: dwell = true; break;
            case 100: data = true; break;
            case 170: plane_ = ArcPlane::XY; break;
            case 180: plane_ = ArcPlane::ZX; break;
            case 190: plane_ = ArcPlane::YZ; break;
            case 200: unit_ = kInch; break;
            case 210: unit_ = 1; break;
            case 280: case 300: case 530: machine = true; break;
            case 410: case 420: b_.NoteCompensation(ln); break;
            case 520: shift52 = true; break;
            case 800: cancelCycle = true; break;
            case 900: incremental_ = false; break;
            case 910: incremental_ = true; break;
            case 901: arcAbsolute_ = true; break;
            case 911: arcAbsolute_ = false; break;
            case 920: shift92 = true; break;
            case 921: case 922: std::fill(off92_, off92_ + 3, 0.0); break;
            case 930: b_.feedMode = FeedMode::InverseTime; break;
            case 940: b_.feedMode = FeedMode::PerMinute; break;
            case 950: b_.feedMode = FeedMode::PerRevolution; break;
            case 960: b_.surfaceSpeed = lathe_; break;
            case 970: b_.surfaceSpeed = false; break;
            case 980:
                if (lathe_) b_.feedMode = FeedMode::PerMinute;
                else returnToR_ = false;
                break;
            case 990:
                if (lathe_) b_.feedMode = FeedMode::PerRevolution;
                else returnToR_ = true;
                break;
            case 70: if (lathe_) diameter_ = true; break;
            case 80: if (lathe_) diameter_ = false; break;
            case 500: g50 = lathe_; break;
            case 700:
                if (lathe_) contour = g;
                else unit_ = kInch;
                break;
            case 710:
                if (lathe_) contour = g;
                else unit_ = 1;
                break;
            case 720: case 730:
                if (lathe_) contour = g;
                else newCycle = g;
                break;
            case 740: case 760: case 810: case 820: case 830: case 840: case 850: case 860:
            case 870: case 880: case 890:
                newCycle = g;
                break;
            default: break;  // modes that do not change the drawing
        }
    }

    if (b_.WantsBlocks()) {
        BlockState st;
        st.line = ln;
        st.role = dwell ? BlockRole::Dwell
                  : data ? BlockRole::Data
                  : machine ? BlockRole::Machine
                  : shift52 ? BlockRole::Shift
                  : (shift92 || g50) ? BlockRole::SetPosition
                  : contour ? BlockRole::Contour
                  : BlockRole::Motion;
        st.pos = b_.pos;
        std::copy(b_.known, b_.known + 3, st.known);
        for (int a = 0; a < 3; ++a) st.offset[a] = Offset(a);
        st.plane = plane_;
        st.unit = unit_;
        st.incremental = incremental_;
        st.arcAbsolute = arcAbsolute_;
        st.lathe = lathe_;
        st.diameter = lathe_ && diameter_;
        st.motion = newMotion >= 0 ? newMotion : motion_;
        st.cycle = newCycle ? newCycle : (newMotion >= 0 || cancelCycle) ? 0 : cycle_;
        st.drillAxis = newCycle ? (lathe_ ? 2 : AxesOf(plane_).normal) : drillAxis_;
        b_.Block(st);
    }
    if (blk.Has('F')) b_.feed = b_.feedMode == FeedMode::InverseTime ? blk.V('F') : Length(blk.V('F'));
    if (blk.Has('S')) {
        if (g50) b_.maxRpm = blk.V('S');
        else b_.spindle = blk.V('S');
    }
    if (blk.Has('T')) {
        std::string word = "T";
        word += blk.text['T' - 'A'];
        b_.UseTool(ln, std::move(word), std::string(blk.comment));
    }
    if (dwell) {
        double seconds = 0;
        if (blk.Has('X')) seconds = blk.V('X');
        else if (blk.Has('U')) seconds = blk.V('U');
        else if (blk.Has('P')) seconds = blk.decimal['P' - 'A'] ? blk.V('P') : blk.V('P') / 1000;
        b_.AddDwell(ln, seconds);
    }

    bool axisWords = blk.Has('X') || blk.Has('Y') || blk.Has('Z') ||
                     (lathe_ && (blk.Has('U') || blk.Has('W')));
    if (dwell || data) {
        // The words of these blocks are data, not a move.
    } else if (shift52 || shift92 || (g50 && axisWords)) {
        for (int a = 0; a < 3; ++a) {
            if (!blk.Has(static_cast<char>('X' + a))) continue;
            double v = AxisValue(blk, a);
            if (shift52) {
                off52_[a] = v;
            } else {
                b_.Use(a);
                off92_[a] = b_.pos[a] - v - off52_[a];
            }
        }
    } else if (machine) {
        if (axisWords || newMotion < 0) b_.Note(ln, kMachineCoordinatesNote);
        if (newMotion >= 0) motion_ = newMotion;
    } else if (contour) {
        if (blk.Has('P') && blk.Has('Q')) StartContour(blk, contour, ContourText(blk, contour), ln);
    } else {
        if (newMotion >= 0) {
            motion_ = newMotion;
            cycle_ = 0;
        }
        if (cancelCycle) cycle_ = 0;
        if (newCycle) {
            Drill(blk, newCycle, true, ln);
        } else if (cycle_ && axisWords) {
            Drill(blk, cycle_, false, ln);
        } else if (axisWords || ((motion_ == 20 || motion_ == 30) &&
                                 (blk.Has('I') || blk.Has('J') || blk.Has('K')))) {
            // A circle from centre words alone is a whole turn.
            PlotPoint end = Target(blk);
            if (motion_ == 0) b_.Move(MoveKind::Rapid, end, ln);
            else if (motion_ == 10) b_.Move(MoveKind::Feed, end, ln);
            else ArcTo(blk, motion_ == 20, end, ln);
        }
    }

    for (int i = 0; i < blk.mCount && !b_.Stopped(); ++i) {
        switch (blk.m[i]) {
            case 20: case 300: finished_ = true; return;
            case 980: Call(blk, ln); break;
            case 990: Return(); break;
            default: break;
        }
    }
}

}  // namespace

namespace {

std::string_view IsoInterpreter::ContourText(const Block& blk, int code) {
    for (int i = 0; i < blk.gCount; ++i)
        if (blk.g[i] == code) return blk.gText[i];
    return "G";
}

bool IsoInterpreter::GoLevel(MoveKind kind, double level, uint32_t ln) {
    if (b_.pos[drillAxis_] == level) return !b_.Stopped();
    PlotPoint p = b_.pos;
    p[drillAxis_] = level;
    return b_.Move(kind, p, ln);
}

void IsoInterpreter::Drill(const Block& blk, int code, bool entering, uint32_t ln) {
    int w = lathe_ ? 2 : AxesOf(plane_).normal;
    int u = (w + 1) % 3, v = (w + 2) % 3;
    if (entering && (cycle_ == 0 || w != drillAxis_)) {
        b_.Use(w);
        initialLevel_ = b_.pos[w];
        haveR_ = haveDepth_ = false;
        peck_ = cycleDwell_ = 0;
    }
    cycle_ = code;
    drillAxis_ = w;
    const char wWord = static_cast<char>('X' + w);
    const char uWord = static_cast<char>('X' + u), vWord = static_cast<char>('X' + v);
    if (blk.Has('R')) {
        double r = Length(blk.V('R'));
        rLevel_ = incremental_ ? initialLevel_ + r : r + Offset(w);
        haveR_ = true;
    }
    if (!haveR_) rLevel_ = initialLevel_;
    if (blk.Has(wWord)) {
        double z = AxisValue(blk, w);
        depth_ = incremental_ ? rLevel_ + z : z + Offset(w);
        haveDepth_ = true;
    }
    if (blk.Has('Q')) peck_ = std::fabs(Length(blk.V('Q')));
    if (blk.Has('P')) cycleDwell_ = blk.decimal['P' - 'A'] ? blk.V('P') : blk.V('P') / 1000;
    double count = 1;
    if (blk.Has('K')) count = std::floor(blk.V('K'));
    else if (blk.Has('L')) count = std::floor(blk.V('L'));
    if (count < 1 || !haveDepth_) return;  // K0 keeps the data without drilling

    bool hasU = blk.Has(uWord), hasV = blk.Has(vWord);
    double du = hasU ? AxisValue(blk, u) : 0, dv = hasV ? AxisValue(blk, v) : 0;
    double pu = b_.pos[u], pv = b_.pos[v];
    for (double k = 0; k < count && !b_.Stopped(); ++k) {
        if (incremental_) {
            if (hasU) {
                b_.Use(u);
                pu += du;
            }
            if (hasV) {
                b_.Use(v);
                pv += dv;
            }
        } else if (k == 0) {
            if (hasU) {
                pu = du + Offset(u);
                b_.Place(u, pu);
            }
            if (hasV) {
                pv = dv + Offset(v);
                b_.Place(v, pv);
            }
        }
        size_t before = b_.path.size();
        if (b_.pos[u] != pu || b_.pos[v] != pv) {
            PlotPoint over = b_.pos;
            over[u] = pu;
            over[v] = pv;
            if (!b_.Move(MoveKind::Rapid, over, ln)) return;
        }
        DrillHole(ln);
        // A hole that made no move makes none the next time either.
        if (b_.path.size() == before) break;
    }
}

void IsoInterpreter::DrillHole(uint32_t ln) {
    int w = drillAxis_;
    b_.Use(w);
    if (!GoLevel(MoveKind::Rapid, rLevel_, ln)) return;
    double dir = depth_ < rLevel_ ? -1 : 1;
    // The point a peck stops at, the depth at most.
    auto next = [&](double from) {
        double n = from + dir * peck_;
        return (n - depth_) * dir >= 0 ? depth_ : n;
    };
    // A level clear of a depth reached, the R level at most.
    auto clear = [&](double level) {
        double c = level - dir * kPeckClearance;
        return (c - rLevel_) * dir < 0 ? rLevel_ : c;
    };
    if ((cycle_ == 830 || cycle_ == 730) && peck_ > 0) {
        double reached = rLevel_;
        while (!b_.Stopped()) {
            double to = next(reached);
            if (cycle_ == 830 && reached != rLevel_ && !GoLevel(MoveKind::Rapid, clear(reached), ln))
                return;
            if (!GoLevel(MoveKind::Feed, to, ln)) return;
            if (to == depth_) break;
            if (!GoLevel(MoveKind::Rapid, cycle_ == 830 ? rLevel_ : clear(to), ln)) return;
            reached = to;
        }
    } else if (!GoLevel(MoveKind::Feed, depth_, ln)) {
        return;
    }
    switch (cycle_) {
        case 820: case 740: case 840: case 760: case 880: case 890:
            b_.AddDwell(ln, cycleDwell_);
            break;
        default: break;
    }
    switch (cycle_) {
        case 740: case 840: case 850: case 890:  // out at feed to R
            if (!GoLevel(MoveKind::Feed, rLevel_, ln)) return;
            if (!returnToR_) GoLevel(MoveKind::Rapid, initialLevel_, ln);
            break;
        case 870:  // back boring returns above the work
            GoLevel(MoveKind::Rapid, initialLevel_, ln);
            break;
        default:
            GoLevel(MoveKind::Rapid, returnToR_ ? rLevel_ : initialLevel_, ln);
            break;
    }
}

// ---------------------------------------------------------------- subprograms
void IsoInterpreter::IndexPrograms() {
    if (programsIndexed_) return;
    programsIndexed_ = true;
    ProgramText scan(text_.Text());
    ProgramText::LineRef l;
    int64_t number = 0;
    while (scan.Next(l)) {
        if (!LeadingNumber(l.text, "Oo:", number)) continue;
        ProgramDef d;
        d.number = number;
        d.line = l.number;
        d.offset = l.offset;
        d.bodyOffset = scan.Position();
        programs_.push_back(d);
    }
    for (size_t k = 0; k < programs_.size(); ++k) {
        programs_[k].endOffset =
            k + 1 < programs_.size() ? programs_[k + 1].offset : text_.Text().size();
        programByNumber_.emplace(programs_[k].number, k);
    }
}

void IsoInterpreter::FindM99(ProgramDef& def) {
    if (def.m99State) return;
    def.m99State = 1;
    ProgramText scan(text_.Text());
    scan.Seek(def.bodyOffset, def.line + 1);
    ProgramText::LineRef l;
    while (scan.Position() < def.endOffset && scan.Next(l)) {
        if (l.text.find("99") == std::string_view::npos) continue;
        Block blk;
        std::string_view unknown;
        if (ParseBlock(l.text, blk, unknown) == Parsed::Block && blk.HasM(990)) {
            def.m99State = 2;
            def.afterM99Offset = scan.Position();
            def.afterM99Line = l.number + 1;
            return;
        }
    }
}

bool IsoInterpreter::ProgramLine(const ProgramText::LineRef& line) {
    if (!stack_.empty()) {
        if (stack_.back().contour) return false;
        // A subprogram without M99 ends where the next program begins.
        Return();
        return true;
    }
    IndexPrograms();
    if (programs_.size() < 2) return false;
    auto it = std::lower_bound(programs_.begin(), programs_.end(), line.offset,
                               [](const ProgramDef& d, size_t off) { return d.offset < off; });
    if (it == programs_.end() || it->offset != line.offset) return false;
    // A subprogram met on the way through the main program is only run when it is called.
    FindM99(*it);
    if (it->m99State != 2) return false;
    text_.Seek(it->afterM99Offset, it->afterM99Line);
    return true;
}

void IsoInterpreter::Call(const Block& blk, uint32_t ln) {
    if (!blk.Has('P')) return;
    std::string digits = Digits(blk.text['P' - 'A']);
    if (digits.empty()) return;
    IndexPrograms();
    int64_t number = DigitsValue(digits);
    uint64_t repeats = 1;
    auto it = programByNumber_.find(number);
    if (it == programByNumber_.end() && digits.size() > 4) {
        // "P0003 1000": three times program 1000.
        number = DigitsValue(digits.substr(digits.size() - 4));
        int64_t r = DigitsValue(digits.substr(0, digits.size() - 4));
        repeats = r > 0 ? static_cast<uint64_t>(r) : 1;
        it = programByNumber_.find(number);
    }
    if (blk.Has('L')) {
        double l = std::floor(blk.V('L'));
        repeats = l >= 1 ? static_cast<uint64_t>(l) : 1;
    }
    if (it == programByNumber_.end()) {
        b_.Note(ln, MissingSubprogramNote(std::to_string(number)));
        return;
    }
    if (stack_.size() >= kMaxCallDepth) {
        b_.StopHere(ln);
        return;
    }
    const ProgramDef& d = programs_[it->second];
    Frame f;
    f.returnOffset = text_.Position();
    f.returnLine = text_.NextNumber();
    f.startOffset = d.bodyOffset;
    f.startLine = d.line + 1;
    f.repeatsLeft = repeats - 1;
    f.movesAtStart = b_.path.size();
    if (stack_.empty()) b_.path.SetCallLine(ln);
    stack_.push_back(f);
    text_.Seek(f.startOffset, f.startLine);
}

void IsoInterpreter::Return() {
    if (stack_.empty() || stack_.back().contour) return;  // M99 of the main program
    if (stack_.back().Again(text_, b_.path.size())) return;
    stack_.back().Back(text_);
    stack_.pop_back();
    if (stack_.empty()) b_.path.SetCallLine(0);
}

// ---------------------------------------------------------------- lathe contours
bool IsoInterpreter::FindBlock(int64_t number, LinePlace& place) {
    if (!blocksIndexed_) {
        blocksIndexed_ = true;
        ProgramText scan(text_.Text());
        ProgramText::LineRef l;
        int64_t n = 0;
        while (scan.Next(l))
            if (LeadingNumber(l.text, "Nn", n)) blockByNumber_.emplace(n, LinePlace{l.number, l.offset});
    }
    auto it = blockByNumber_.find(number);
    if (it == blockByNumber_.end()) return false;
    place = it->second;
    return true;
}

void IsoInterpreter::StartContour(const Block& blk, int code, std::string_view codeText,
                                  uint32_t ln) {
    for (const Frame& f : stack_) {
        if (f.contour) {  // a contour cycle inside a contour
            b_.Note(ln, UnknownWordNote(codeText));
            return;
        }
    }
    std::string pDigits = Digits(blk.text['P' - 'A']), qDigits = Digits(blk.text['Q' - 'A']);
    LinePlace from, to;
    if (pDigits.empty() || !FindBlock(DigitsValue(pDigits), from)) {
        b_.Note(ln, MissingSubprogramNote("N" + pDigits));
        return;
    }
    if (qDigits.empty() || !FindBlock(DigitsValue(qDigits), to) || to.line < from.line) {
        b_.Note(ln, MissingSubprogramNote("N" + qDigits));
        return;
    }
    if (stack_.size() >= kMaxCallDepth) {
        b_.StopHere(ln);
        return;
    }
    Frame f;
    f.contour = true;
    if (code != 700 && to.line > ln) {
        // The roughing cycle goes on after its contour.
        ProgramText after(text_.Text());
        after.Seek(to.offset, to.line);
        ProgramText::LineRef l;
        after.Next(l);
        f.returnOffset = after.Position();
        f.returnLine = to.line + 1;
    } else {
        f.returnOffset = text_.Position();
        f.returnLine = text_.NextNumber();
    }
    f.endLine = to.line;
    f.cycleLine = ln;
    f.startPoint = b_.pos;
    f.restoreFeed = code != 700;  // the roughing cycle cuts at its own feed
    f.feed = b_.feed;
    if (stack_.empty()) b_.path.SetCallLine(ln);
    stack_.push_back(f);
    text_.Seek(from.offset, from.line);
}

void IsoInterpreter::EndContour() {
    Frame f = stack_.back();
    stack_.pop_back();
    if (stack_.empty()) b_.path.SetCallLine(0);
    // Back to where the cycle began.
    if (!(b_.pos == f.startPoint)) b_.Move(MoveKind::Rapid, f.startPoint, f.cycleLine);
    if (f.restoreFeed) b_.feed = f.feed;
    text_.Seek(f.returnOffset, f.returnLine);
}

}  // namespace

void InterpretIso(ProgramText& text, PathBuilder& b) { IsoInterpreter(text, b).Run(); }
