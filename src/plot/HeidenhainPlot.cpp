// Heidenhain conversational programs: straight lines (L, LP), circles about a pole (CC, C,
// CP), by radius (CR) and tangential (CT), rounded and chamfered corners (RND, CHF), the
// stock box (BLK FORM), tool calls, labels with repeats, and the drilling cycle 200.
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "plot/Interpreters.h"
#include "settings/Strings.h"

namespace {

constexpr double kInch = 25.4;
constexpr size_t kMaxCallDepth = 1000;
constexpr double kDegree = kPi / 180;

inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The words of a block, upper-cased, quoted names kept whole.
void SplitTokens(std::string_view s, std::vector<std::string>& out) {
    out.clear();
    size_t i = 0, n = s.size();
    while (i < n) {
        while (i < n && IsBlank(s[i])) ++i;
        if (i >= n) break;
        size_t start = i;
        if (s[i] == '"') {
            size_t close = s.find('"', i + 1);
            i = close == std::string_view::npos ? n : close + 1;
            out.emplace_back(s.substr(start, i - start));
            continue;
        }
        while (i < n && !IsBlank(s[i])) ++i;
        out.push_back(UpperCase1252(s.substr(start, i - start)));
    }
}

bool AllDigits(const std::string& t) {
    if (t.empty()) return false;
    for (char c : t)
        if (c < '0' || c > '9') return false;
    return true;
}

// A whole token read as a number ("+10", "-2.5", "5"); false for anything else.
bool TokenNumber(std::string_view t, size_t from, double& v) {
    bool decimal = false;
    size_t used = ParseNumber(t, from, v, decimal);
    return used > 0 && from + used == t.size();
}

// An axis word: X+10, IX-5 (also the rotary and parallel axes, which are not drawn).
struct AxisWord {
    int axis = -1;  // 0..2, or 3 for an axis that is not drawn
    bool incremental = false;
    double value = 0;
};
enum class WordRead { No, Yes, Variable };
WordRead ReadAxisWord(const std::string& t, AxisWord& w) {
    size_t i = 0;
    w.incremental = false;
    if (t.size() >= 2 && t[0] == 'I' && std::string_view("XYZABCUVW").find(t[1]) != std::string_view::npos) {
        w.incremental = true;
        i = 1;
    }
    if (i >= t.size()) return WordRead::No;
    char c = t[i];
    if (c == 'X' || c == 'Y' || c == 'Z') w.axis = c - 'X';
    else if (std::string_view("ABCUVW").find(c) != std::string_view::npos) w.axis = 3;
    else return WordRead::No;
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    if (j < t.size() && t[j] == 'Q') return WordRead::Variable;
    return TokenNumber(t, i + 1, w.value) ? WordRead::Yes : WordRead::No;
}

class HeidenhainInterpreter {
public:
    HeidenhainInterpreter(ProgramText& text, PathBuilder& b) : text_(text), b_(b) {}
    void Run();

private:
    struct Frame : CallFrame {
        uint32_t callLine = 0;
    };
    struct Label {
        size_t bodyOffset = 0;
        uint32_t bodyLine = 0;
    };
    struct Corner {
        bool active = false;
        bool round = false;
        double size = 0;
        uint32_t line = 0;
        std::string word;
        size_t moves = 0;  // the moves made when it was read: the line before it is the last
    };
    struct DrillCycle {
        bool defined = false;
        double setup = 2, depth = 0, feed = 0, plunge = 0, dwellTop = 0, surface = 0,
               second = 0, dwellBottom = 0;
    };

    bool ReadBlock(ProgramText::LineRef& first, std::string& block, std::string& comment);
    void Execute(uint32_t ln);
    bool Motion(const std::string& kind, uint32_t ln);
    bool Coordinates(size_t from, PlotPoint& end, bool& any, bool& machine, bool& rapid,
                     uint32_t ln, std::vector<size_t>* rest);
    void FinishLine(MoveKind kind, const PlotPoint& end, uint32_t ln);
    void Turn(bool ccw, const PlotPoint& end, const PlotPoint& centre, bool full, uint32_t ln);
    void Polar(bool circle, uint32_t ln);
    void Pole(uint32_t ln);
    void Stock();
    void ToolCall(const std::string& comment, uint32_t ln);
    void CycleDef(uint32_t ln);
    void CycleCall(uint32_t ln);
    void CallLabel(uint32_t ln);
    void Return();
    void IndexLabels();
    void Words(size_t from, uint32_t ln);
    bool Feed(const std::string& t);
    void SetDirection(double du, double dv);
    void NoteUnknown(uint32_t ln, const std::string& word) { b_.Note(ln, UnknownWordNote(word)); }
    // The words every motion block may hold: compensation, feed, M. True when t was one.
    bool MotionWord(const std::string& t, uint32_t ln, bool& rapid);

    ProgramText& text_;
    PathBuilder& b_;
    std::vector<std::string> tok_;
    bool finished_ = false;
    double unit_ = 1;
    ArcPlane plane_ = ArcPlane::XY;
    double shift_[3] = {0, 0, 0};
    double pole_[2] = {0, 0};
    bool havePole_ = false;
    double dir_[2] = {0, 0};  // the direction the contour leaves its last element in
    bool haveDir_ = false;
    Corner corner_;
    DrillCycle drill_;
    int cycleNumber_ = 0;  // the cycle of CYCL DEF: 0 none, 200, 7 (datum shift), 9 (dwell)
    bool cycleCallEveryBlock_ = false;
    bool stockStarted_ = false;
    PlotPoint stockMin_;
    std::vector<Frame> stack_;
    bool labelsIndexed_ = false;
    std::unordered_map<std::string, Label> labels_;
};

void HeidenhainInterpreter::Run() {
    ProgramText::LineRef first;
    std::string block, comment;
    while (!finished_ && !b_.Stopped()) {
        if (!ReadBlock(first, block, comment)) {
            break;  // a label that runs to the end of the text ends there
        }
        if (!b_.Poll(first.number)) break;
        if (b_.WantsBlocks()) {
            BlockState st;
            st.line = first.number;
            st.lineCount = text_.NextNumber() - first.number;
            st.pos = b_.pos;
            std::copy(b_.known, b_.known + 3, st.known);
            for (int a = 0; a < 3; ++a) st.offset[a] = shift_[a];
            st.plane = plane_;
            st.unit = unit_;
            st.havePole = havePole_;
            st.pole[0] = pole_[0];
            st.pole[1] = pole_[1];
            b_.Block(st);
        }
        SplitTokens(block, tok_);
        if (!tok_.empty() && AllDigits(tok_[0])) tok_.erase(tok_.begin());  // the block number
        if (tok_.empty()) continue;
        if (tok_[0][0] == '*') continue;  // a comment block
        // The comment of a tool call names the tool.
        if (tok_[0] == "TOOL") {
            if (tok_.size() >= 2 && tok_[1] == "CALL") ToolCall(comment, first.number);
            continue;
        }
        Execute(first.number);
    }
}

bool HeidenhainInterpreter::ReadBlock(ProgramText::LineRef& first, std::string& block,
                                      std::string& comment) {
    block.clear();
    comment.clear();
    ProgramText::LineRef l;
    bool started = false;
    // A block goes on over lines that end in "~".
    while (text_.Next(l)) {
        if (!started) first = l;
        started = true;
        std::string_view s = l.text;
        size_t semi = s.find(';');
        bool more = false;
        std::string_view body = s;
        if (semi != std::string_view::npos) {
            std::string_view c = TrimBlanks(s.substr(semi + 1));
            if (!c.empty() && c.back() == '~') {
                more = true;
                c = TrimBlanks(c.substr(0, c.size() - 1));
            }
            if (comment.empty()) comment = std::string(c);
            body = s.substr(0, semi);
        }
        body = TrimBlanks(body);
        if (!body.empty() && body.back() == '~') {
            more = true;
            body = body.substr(0, body.size() - 1);
        }
        block += ' ';
        block += body;
        if (!more) return true;
    }
    return started;
}

bool HeidenhainInterpreter::Feed(const std::string& t) {
    if (t == "FMAX") return true;
    if (t == "FAUTO" || t == "FT" || t == "F") return true;
    if (t.size() >= 2 && t[0] == 'F') {
        double v = 0;
        size_t from = (t[1] == 'U' || t[1] == 'Z') ? 2 : 1;
        if (!TokenNumber(t, from, v)) return false;
        if (t[1] == 'U') {
            b_.feedMode = FeedMode::PerRevolution;
            b_.feed = v * unit_;
        } else if (t[1] == 'Z') {
            b_.feedMode = FeedMode::PerMinute;  // per tooth: the teeth are not known here
            b_.feed = 0;
        } else {
            b_.feedMode = FeedMode::PerMinute;
            b_.feed = v * unit_;
        }
        return true;
    }
    return false;
}

// Reads the coordinate, feed, compensation and M words of a motion block from token from.
// Tokens it does not know go to rest (when given) or end the block with a note.
bool HeidenhainInterpreter::Coordinates(size_t from, PlotPoint& end, bool& any, bool& machine,
                                        bool& rapid, uint32_t ln, std::vector<size_t>* rest) {
    end = b_.pos;
    any = machine = rapid = false;
    bool given[3] = {false, false, false};
    AxisWord w;
    for (size_t k = from; k < tok_.size(); ++k) {
        const std::string& t = tok_[k];
        WordRead r = ReadAxisWord(t, w);
        if (r == WordRead::Variable) {
            b_.Note(ln, kVariablesNote);
            return false;
        }
        if (r == WordRead::Yes) {
            if (w.axis > 2) continue;
            given[w.axis] = true;
            double v = w.value * unit_;
            if (w.incremental) {
                b_.Use(w.axis);
                end[w.axis] = b_.pos[w.axis] + v;
            } else {
                end[w.axis] = v + shift_[w.axis];
            }
            any = true;
            continue;
        }
        if (t[0] == 'M' && t.size() > 1) {
            double m = 0;
            if (!TokenNumber(t, 1, m)) {
                NoteUnknown(ln, t);
                return false;
            }
            if (m == 91 || m == 92) machine = true;
            continue;
        }
        if (MotionWord(t, ln, rapid)) continue;
        if (rest) {
            rest->push_back(k);
            continue;
        }
        NoteUnknown(ln, t);
        return false;
    }
    if (machine) return true;
    for (int a = 0; a < 3; ++a)
        if (given[a]) b_.Place(a, end[a]);
    return true;
}

bool HeidenhainInterpreter::MotionWord(const std::string& t, uint32_t ln, bool& rapid) {
    if (t == "R0" || t == "R+" || t == "R-") return true;
    if (t == "RL" || t == "RR") {
        b_.NoteCompensation(ln);
        return true;
    }
    if (t == "FMAX") {
        rapid = true;
        return true;
    }
    if (t[0] == 'F') return Feed(t);
    if (t[0] == 'M' && t.size() > 1) {
        double m = 0;
        return TokenNumber(t, 1, m);
    }
    return false;
}

void HeidenhainInterpreter::SetDirection(double du, double dv) {
    double len = std::hypot(du, dv);
    if (len <= 0) return;
    dir_[0] = du / len;
    dir_[1] = dv / len;
    haveDir_ = true;
}

// A straight move, after a pending rounded or chamfered corner is cut into the move before.
void HeidenhainInterpreter::FinishLine(MoveKind kind, const PlotPoint& end, uint32_t ln) {
    PlaneAxes ax = AxesOf(plane_);
    int u = ax.first, v = ax.second, w = ax.normal;
    if (corner_.active) {
        corner_.active = false;
        Corner c = corner_;
        size_t last = b_.path.size() - 1;
        PlotPoint a = b_.path.Start(last), p = b_.pos;
        double d1u = p[u] - a[u], d1v = p[v] - a[v], d2u = end[u] - p[u], d2v = end[v] - p[v];
        double len1 = std::hypot(d1u, d1v), len2 = std::hypot(d2u, d2v);
        bool done = false;
        if (len1 > 0 && len2 > 0 && c.moves == b_.path.size()) {
            d1u /= len1, d1v /= len1, d2u /= len2, d2v /= len2;
            double cross = d1u * d2v - d1v * d2u, dot = d1u * d2u + d1v * d2v;
            double turn = std::atan2(std::fabs(cross), dot);
            if (std::fabs(cross) < 1e-12) {
                done = true;  // a straight corner has nothing to round
            } else {
                double t = c.round ? c.size * std::tan(turn / 2) : c.size;
                if (t <= len1 + 1e-9 && t <= len2 + 1e-9 && t > 0) {
                    PlotPoint t1 = p, t2 = p;
                    t1[u] = p[u] - d1u * t;
                    t1[v] = p[v] - d1v * t;
                    t1[w] = p[w] - (p[w] - a[w]) * t / len1;
                    t2[u] = p[u] + d2u * t;
                    t2[v] = p[v] + d2v * t;
                    t2[w] = p[w] + (end[w] - p[w]) * t / len2;
                    b_.MoveLastEnd(t1);
                    if (c.round) {
                        double side = cross > 0 ? 1 : -1;
                        PlotPoint centre = t1;
                        centre[u] = t1[u] - d1v * c.size * side;
                        centre[v] = t1[v] + d1u * c.size * side;
                        b_.Arc(cross > 0 ? MoveKind::ArcCcw : MoveKind::ArcCw, plane_, t2, centre,
                               false, c.line);
                    } else {
                        b_.Move(MoveKind::Feed, t2, c.line);
                    }
                    done = true;
                }
            }
        }
        if (!done) NoteUnknown(c.line, c.word);
    }
    PlotPoint start = b_.pos;
    b_.Move(kind, end, ln);
    SetDirection(end[u] - start[u], end[v] - start[v]);
}

void HeidenhainInterpreter::Turn(bool ccw, const PlotPoint& end, const PlotPoint& centre,
                                 bool full, uint32_t ln) {
    PlaneAxes ax = AxesOf(plane_);
    int u = ax.first, v = ax.second;
    if (corner_.active) {  // a corner between a line and an arc is not rounded here
        corner_.active = false;
        NoteUnknown(corner_.line, corner_.word);
    }
    b_.Arc(ccw ? MoveKind::ArcCcw : MoveKind::ArcCw, plane_, end, centre, full, ln);
    // The tangent at the end: across the radius, in the turning direction.
    double ru = end[u] - centre[u], rv = end[v] - centre[v];
    if (ccw) SetDirection(-rv, ru);
    else SetDirection(rv, -ru);
}

void HeidenhainInterpreter::Pole(uint32_t ln) {
    PlaneAxes ax = AxesOf(plane_);
    int axes[2] = {ax.first, ax.second};
    double p[2] = {b_.pos[axes[0]], b_.pos[axes[1]]};
    AxisWord w;
    for (size_t k = 1; k < tok_.size(); ++k) {
        WordRead r = ReadAxisWord(tok_[k], w);
        if (r == WordRead::Variable) {
            b_.Note(ln, kVariablesNote);
            return;
        }
        if (r != WordRead::Yes) {
            NoteUnknown(ln, tok_[k]);
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (w.axis != axes[i]) continue;
            double v = w.value * unit_;
            if (w.incremental) {
                b_.Use(w.axis);
                p[i] = b_.pos[w.axis] + v;  // from where the tool was last programmed
            } else {
                p[i] = v + shift_[w.axis];
            }
        }
    }
    b_.Use(axes[0]);
    b_.Use(axes[1]);
    pole_[0] = p[0];
    pole_[1] = p[1];
    havePole_ = true;
}

void HeidenhainInterpreter::Polar(bool circle, uint32_t ln) {
    PlaneAxes ax = AxesOf(plane_);
    int u = ax.first, v = ax.second, w = ax.normal;
    if (!havePole_) {
        NoteUnknown(ln, tok_[0]);
        return;
    }
    b_.Use(u);
    b_.Use(v);
    double r0 = std::hypot(b_.pos[u] - pole_[0], b_.pos[v] - pole_[1]);
    double a0 = std::atan2(b_.pos[v] - pole_[1], b_.pos[u] - pole_[0]);
    double radius = r0, angle = a0, turn = 0;
    bool haveTurn = false, havePa = false, rapid = false;
    int dr = 0;
    PlotPoint end = b_.pos;
    AxisWord aw;
    for (size_t k = 1; k < tok_.size(); ++k) {
        const std::string& t = tok_[k];
        double val = 0;
        bool inc = t.size() > 3 && t[0] == 'I' && t[1] == 'P';
        size_t at = inc ? 1 : 0;
        if ((t.compare(at, 2, "PR") == 0 || t.compare(at, 2, "PA") == 0) && t.size() > at + 2) {
            if (t[at + 2] == 'Q' || (t.size() > at + 3 && t[at + 3] == 'Q')) {
                b_.Note(ln, kVariablesNote);
                return;
            }
            if (!TokenNumber(t, at + 2, val)) {
                NoteUnknown(ln, t);
                return;
            }
            if (t[at + 1] == 'R') {
                radius = inc ? r0 + val * unit_ : val * unit_;
            } else if (inc) {
                turn = val * kDegree;
                haveTurn = true;
            } else {
                angle = val * kDegree;
                havePa = true;
            }
            continue;
        }
        if (t == "DR+" || t == "DR-") {
            dr = t[2] == '+' ? 1 : -1;
            continue;
        }
        WordRead r = ReadAxisWord(t, aw);
        if (r == WordRead::Variable) {
            b_.Note(ln, kVariablesNote);
            return;
        }
        if (r == WordRead::Yes) {
            if (aw.axis == w) {
                double val2 = aw.value * unit_;
                end[w] = aw.incremental ? b_.pos[w] + val2 : val2 + shift_[w];
                if (!aw.incremental) b_.Place(w, end[w]);
                else b_.Use(w);
            } else if (aw.axis <= 2) {
                NoteUnknown(ln, t);
                return;
            }
            continue;
        }
        if (MotionWord(t, ln, rapid)) continue;
        NoteUnknown(ln, t);
        return;
    }
    if (!circle) {
        if (haveTurn) angle = a0 + turn;
        end[u] = pole_[0] + radius * std::cos(angle);
        end[v] = pole_[1] + radius * std::sin(angle);
        FinishLine(rapid ? MoveKind::Rapid : MoveKind::Feed, end, ln);
        Words(1, ln);
        return;
    }
    // CP: about the pole at the radius the tool stands on.
    double sweep;
    if (haveTurn) {
        if (dr == 0) dr = turn >= 0 ? 1 : -1;
        sweep = std::fabs(turn) * dr;
    } else if (havePa) {
        if (dr == 0) dr = 1;
        double s = dr > 0 ? angle - a0 : a0 - angle;
        s = std::fmod(s, 2 * kPi);
        if (s < 0) s += 2 * kPi;
        if (s < 1e-12) s = 2 * kPi;  // back to where it began: a whole turn
        sweep = s * dr;
    } else {
        Words(1, ln);
        return;
    }
    // Turns of more than a whole circle are drawn one whole turn at a time.
    double total = std::fabs(sweep);
    if (!(total > 0)) {
        // No turn at all: only the height moves, straight.
        if (end[w] != b_.pos[w]) {
            PlotPoint down = b_.pos;
            down[w] = end[w];
            FinishLine(MoveKind::Feed, down, ln);
        }
        Words(1, ln);
        return;
    }
    int pieces = static_cast<int>(std::ceil(total / (2 * kPi) - 1e-9));
    if (pieces < 1) pieces = 1;
    if (pieces > 100000) pieces = 100000;
    double w0 = b_.pos[w];
    PlotPoint centre = b_.pos;
    centre[u] = pole_[0];
    centre[v] = pole_[1];
    double done = 0;
    for (int k = 1; k <= pieces && !b_.Stopped(); ++k) {
        double step = std::min(2 * kPi, total - done);
        done += step;
        double a = a0 + (dr > 0 ? done : -done);
        PlotPoint p = end;
        p[u] = pole_[0] + r0 * std::cos(a);
        p[v] = pole_[1] + r0 * std::sin(a);
        p[w] = w0 + (end[w] - w0) * done / total;
        bool full = step >= 2 * kPi - 1e-12;
        if (full) {
            p[u] = b_.pos[u];
            p[v] = b_.pos[v];
        }
        if (k == pieces && !full) {
            p[u] = pole_[0] + r0 * std::cos(a0 + sweep);
            p[v] = pole_[1] + r0 * std::sin(a0 + sweep);
        }
        Turn(dr > 0, p, centre, full, ln);
    }
    Words(1, ln);
}

// The M words of a block that act after its move.
void HeidenhainInterpreter::Words(size_t from, uint32_t ln) {
    for (size_t k = from; k < tok_.size() && !finished_; ++k) {
        const std::string& t = tok_[k];
        if (t.size() < 2 || t[0] != 'M') continue;
        double m = 0;
        if (!TokenNumber(t, 1, m)) continue;
        if (m == 2 || m == 30) finished_ = true;
        else if (m == 99 || m == 89) CycleCall(ln);
    }
}

bool HeidenhainInterpreter::Motion(const std::string& kind, uint32_t ln) {
    PlaneAxes ax = AxesOf(plane_);
    int u = ax.first, v = ax.second;
    PlotPoint end;
    bool any = false, machine = false, rapid = false;
    std::vector<size_t> rest;
    bool arcWords = kind == "C" || kind == "CR";
    if (!Coordinates(1, end, any, machine, rapid, ln, arcWords ? &rest : nullptr)) return false;
    if (machine) {
        b_.Note(ln, kMachineCoordinatesNote);
        return true;
    }
    if (kind == "L") {
        if (any) FinishLine(rapid ? MoveKind::Rapid : MoveKind::Feed, end, ln);
        return true;
    }
    b_.Use(u);
    b_.Use(v);
    PlotPoint start = b_.pos;
    if (kind == "CT") {
        double du = end[u] - start[u], dv = end[v] - start[v];
        double nu = -dir_[1], nv = dir_[0];  // to the left of the direction
        double across = du * nu + dv * nv;
        if (!haveDir_ || std::fabs(across) < 1e-9) {
            FinishLine(MoveKind::Feed, end, ln);
            return true;
        }
        double r = (du * du + dv * dv) / (2 * across);
        PlotPoint centre = start;
        centre[u] = start[u] + nu * r;
        centre[v] = start[v] + nv * r;
        Turn(r > 0, end, centre, false, ln);
        return true;
    }
    int dr = 0;
    double radius = 0;
    bool haveRadius = false;
    for (size_t k : rest) {
        const std::string& t = tok_[k];
        if (t == "DR+" || t == "DR-") {
            dr = t[2] == '+' ? 1 : -1;
        } else if (kind == "CR" && t.size() > 1 && t[0] == 'R' && TokenNumber(t, 1, radius)) {
            radius *= unit_;
            haveRadius = true;
        } else if (t.size() > 2 && t[0] == 'R' && (t[1] == 'Q' || t[2] == 'Q')) {
            b_.Note(ln, kVariablesNote);
            return false;
        } else {
            NoteUnknown(ln, t);
            return false;
        }
    }
    bool ccw = dr >= 0;
    if (kind == "C") {
        if (!havePole_) {
            NoteUnknown(ln, kind);
            return false;
        }
        PlotPoint centre = start;
        centre[u] = pole_[0];
        centre[v] = pole_[1];
        bool full = std::fabs(end[u] - start[u]) < 1e-7 && std::fabs(end[v] - start[v]) < 1e-7;
        double r1 = std::hypot(start[u] - pole_[0], start[v] - pole_[1]);
        double r2 = std::hypot(end[u] - pole_[0], end[v] - pole_[1]);
        if (std::fabs(r1 - r2) > RadiusTolerance(std::max(r1, r2)))
            b_.Note(ln, RadiusMismatchNote(r1, r2));
        Turn(ccw, end, centre, full, ln);
        return true;
    }
    // CR
    if (!haveRadius || (std::fabs(end[u] - start[u]) < 1e-9 && std::fabs(end[v] - start[v]) < 1e-9)) {
        b_.Note(ln, kRadiusTooSmallNote);
        FinishLine(MoveKind::Feed, end, ln);
        return true;
    }
    PlotPoint centre = start;
    if (!CentreFromRadius(start[u], start[v], end[u], end[v], radius, ccw, centre[u], centre[v]))
        b_.Note(ln, kRadiusTooSmallNote);
    Turn(ccw, end, centre, false, ln);
    return true;
}

void HeidenhainInterpreter::Execute(uint32_t ln) {
    const std::string& key = tok_[0];
    for (const std::string& t : tok_) {
        if (t == "FN" || (t.find('=') != std::string::npos && key != "CYCL")) {
            b_.Note(ln, kVariablesNote);
            return;
        }
    }
    if (key == "L" || key == "C" || key == "CR" || key == "CT") {
        if (Motion(key, ln)) Words(1, ln);
    } else if (key == "LP" || key == "CP") {
        Polar(key == "CP", ln);
    } else if (key == "CC") {
        Pole(ln);
    } else if (key == "RND" || key == "CHF") {
        double size = 0;
        bool ok = false;
        if (tok_.size() >= 2) {
            const std::string& t = tok_[1];
            size_t from = (key == "RND" && !t.empty() && t[0] == 'R') ? 1 : 0;
            ok = TokenNumber(t, from, size) && size > 0;
        }
        if (!ok || !b_.LastMoveIsLinear()) {
            NoteUnknown(ln, key);
            return;
        }
        corner_ = Corner{true, key == "RND", size * unit_, ln, key, b_.path.size()};
    } else if (key == "BEGIN") {
        for (const std::string& t : tok_) {
            if (t == "INCH") unit_ = kInch;
            else if (t == "MM") unit_ = 1;
        }
    } else if (key == "END") {
        finished_ = true;
    } else if (key == "BLK") {
        Stock();
    } else if (key == "LBL") {
        if (tok_.size() >= 2 && tok_[1] == "0") Return();
    } else if (key == "CALL") {
        if (tok_.size() >= 2 && tok_[1] == "LBL") CallLabel(ln);
        else if (tok_.size() >= 3 && tok_[1] == "PGM") b_.Note(ln, MissingSubprogramNote(tok_[2]));
        else NoteUnknown(ln, key);
    } else if (key == "CYCL") {
        if (tok_.size() >= 2 && tok_[1] == "DEF") CycleDef(ln);
        else if (tok_.size() >= 2 && tok_[1] == "CALL") {
            CycleCall(ln);
            Words(2, ln);
        } else NoteUnknown(ln, key);
    } else if (key == "STOP") {
        Words(1, ln);
    } else if (key[0] == 'M' && key.size() > 1) {
        double m = 0;
        if (!TokenNumber(key, 1, m)) NoteUnknown(ln, key);
        else Words(0, ln);
    } else if (key[0] == 'Q' && key.size() > 1 && key[1] >= '0' && key[1] <= '9') {
        b_.Note(ln, kVariablesNote);
    } else {
        NoteUnknown(ln, key);
    }
}

void HeidenhainInterpreter::Stock() {
    // BLK FORM 0.1 Z X+0 Y+0 Z-20 (the corner below) and 0.2 X+100 Y+80 Z+0 (the one above).
    if (tok_.size() < 3 || tok_[1] != "FORM") return;
    bool first = tok_[2] == "0.1";
    if (!first && tok_[2] != "0.2") return;
    PlotPoint p = first ? PlotPoint{} : stockMin_;
    AxisWord w;
    for (size_t k = 3; k < tok_.size(); ++k) {
        if (ReadAxisWord(tok_[k], w) != WordRead::Yes || w.axis > 2) continue;
        double v = w.value * unit_;
        p[w.axis] = w.incremental ? stockMin_[w.axis] + v : v + shift_[w.axis];
    }
    if (first) {
        stockMin_ = p;
        stockStarted_ = true;
    } else if (stockStarted_) {
        b_.path.stock = PlotBox();
        b_.path.stock.Add(stockMin_);
        b_.path.stock.Add(p);
    }
}

void HeidenhainInterpreter::ToolCall(const std::string& comment, uint32_t ln) {
    std::string word;
    for (size_t k = 2; k < tok_.size(); ++k) {
        const std::string& t = tok_[k];
        if (word.empty() && (AllDigits(t) || t[0] == '"')) {
            word = AllDigits(t) ? "T" + t : t;
        } else if (t == "X" || t == "Y" || t == "Z") {
            plane_ = t == "Z" ? ArcPlane::XY : t == "Y" ? ArcPlane::ZX : ArcPlane::YZ;
        } else if (t.size() > 1 && t[0] == 'S') {
            double s = 0;
            if (TokenNumber(t, 1, s)) b_.spindle = s;
        } else if (t.size() > 1 && t[0] == 'F') {
            Feed(t);
        }
    }
    if (!word.empty()) b_.UseTool(ln, word, comment);
}

void HeidenhainInterpreter::CycleDef(uint32_t ln) {
    if (tok_.size() < 3) {
        NoteUnknown(ln, "CYCL DEF");
        return;
    }
    const std::string& number = tok_[2];
    std::string word = "CYCL DEF " + number;
    if (number == "200") {
        DrillCycle d;
        for (size_t k = 3; k < tok_.size(); ++k) {
            const std::string& t = tok_[k];
            size_t eq = t.find('=');
            if (t[0] != 'Q' || eq == std::string::npos) continue;
            double v = 0;
            if (!TokenNumber(t, eq + 1, v)) {
                b_.Note(ln, kVariablesNote);
                cycleNumber_ = 0;
                return;
            }
            int q = std::atoi(t.substr(1, eq - 1).c_str());
            switch (q) {
                case 200: d.setup = v * unit_; break;
                case 201: d.depth = v * unit_; break;
                case 206: d.feed = v * unit_; break;
                case 202: d.plunge = v * unit_; break;
                case 210: d.dwellTop = v; break;
                case 203: d.surface = v * unit_; break;
                case 204: d.second = v * unit_; break;
                case 211: d.dwellBottom = v; break;
                default: break;
            }
        }
        d.defined = true;
        drill_ = d;
        cycleNumber_ = 200;
        return;
    }
    if (number == "7.0" || number == "9.0") {  // the heads of the datum shift and the dwell
        cycleNumber_ = number == "7.0" ? 7 : 9;
        return;
    }
    if ((number == "7.1" || number == "7.2" || number == "7.3") && cycleNumber_ == 7) {
        AxisWord w;
        for (size_t k = 3; k < tok_.size(); ++k) {
            if (tok_[k][0] == '#') {
                b_.Note(ln, kVariablesNote);
                return;
            }
            if (ReadAxisWord(tok_[k], w) != WordRead::Yes || w.axis > 2) continue;
            double v = w.value * unit_;
            shift_[w.axis] = w.incremental ? shift_[w.axis] + v : v;
        }
        return;
    }
    if (number == "9.1" && cycleNumber_ == 9) {
        // "V.ZEIT 1.5", "DWELL 1.5" or "V.ZEIT1.5": the seconds end the block.
        const std::string& t = tok_.back();
        size_t i = t.size();
        while (i > 0 && ((t[i - 1] >= '0' && t[i - 1] <= '9') || t[i - 1] == '.')) --i;
        double s = 0;
        if (TokenNumber(t, i, s)) b_.AddDwell(ln, s);
        return;
    }
    cycleNumber_ = 0;
    NoteUnknown(ln, word);
}

void HeidenhainInterpreter::CycleCall(uint32_t ln) {
    if (cycleNumber_ != 200 || !drill_.defined) return;
    const DrillCycle& d = drill_;
    int w = AxesOf(plane_).normal;
    b_.Use(w);
    double surface = d.surface + shift_[w];
    double top = surface + d.setup;
    double bottom = surface + d.depth;
    if (d.depth == 0) return;
    double dir = d.depth < 0 ? -1 : 1;
    FeedMode mode = b_.feedMode;
    double feed = b_.feed;
    if (d.feed > 0) {
        b_.feedMode = FeedMode::PerMinute;
        b_.feed = d.feed;
    }
    auto go = [&](MoveKind kind, double level) {
        if (b_.pos[w] == level) return !b_.Stopped();
        PlotPoint p = b_.pos;
        p[w] = level;
        return b_.Move(kind, p, ln);
    };
    if (go(MoveKind::Rapid, top)) {
        double reached = surface;
        bool pecks = d.plunge > 0 && d.plunge < std::fabs(d.depth);
        while (!b_.Stopped()) {
            double to = pecks ? reached + dir * d.plunge : bottom;
            if ((to - bottom) * dir >= 0) to = bottom;
            if (reached != surface && !go(MoveKind::Rapid, reached - dir * d.setup)) break;
            if (!go(MoveKind::Feed, to)) break;
            if (to == bottom) break;
            if (!go(MoveKind::Rapid, top)) break;
            b_.AddDwell(ln, d.dwellTop);
            reached = to;
        }
        b_.AddDwell(ln, d.dwellBottom);
        if (go(MoveKind::Rapid, top) && d.second > d.setup) go(MoveKind::Rapid, surface + d.second);
    }
    b_.feedMode = mode;
    b_.feed = feed;
}

void HeidenhainInterpreter::IndexLabels() {
    if (labelsIndexed_) return;
    labelsIndexed_ = true;
    ProgramText scan(text_.Text());
    ProgramText::LineRef l;
    std::vector<std::string> tokens;
    while (scan.Next(l)) {
        std::string_view s = l.text;
        size_t semi = s.find(';');
        if (semi != std::string_view::npos) s = s.substr(0, semi);
        if (s.find("LBL") == std::string_view::npos && s.find("lbl") == std::string_view::npos)
            continue;
        SplitTokens(s, tokens);
        size_t k = (!tokens.empty() && AllDigits(tokens[0])) ? 1 : 0;
        if (tokens.size() < k + 2 || tokens[k] != "LBL" || tokens[k + 1] == "0") continue;
        labels_.emplace(tokens[k + 1], Label{scan.Position(), l.number + 1});
    }
}

void HeidenhainInterpreter::CallLabel(uint32_t ln) {
    if (tok_.size() < 3) {
        NoteUnknown(ln, "CALL LBL");
        return;
    }
    // Back at the call that repeats a part of the program: once more, or on past it.
    if (!stack_.empty() && stack_.back().callLine == ln) {
        if (!stack_.back().Again(text_, b_.path.size())) {
            stack_.pop_back();
            if (stack_.empty()) b_.path.SetCallLine(0);
        }
        return;
    }
    uint64_t repeats = 0;
    for (size_t k = 3; k + 1 < tok_.size(); ++k) {
        if (tok_[k] != "REP") continue;
        std::string n = tok_[k + 1].substr(0, tok_[k + 1].find('/'));
        double v = 0;
        if (TokenNumber(n, 0, v) && v >= 1) repeats = static_cast<uint64_t>(v);
    }
    IndexLabels();
    auto it = labels_.find(tok_[2]);
    if (it == labels_.end()) {
        b_.Note(ln, MissingSubprogramNote(tok_[2]));
        return;
    }
    if (stack_.size() >= kMaxCallDepth) {
        b_.StopHere(ln);
        return;
    }
    Frame f;
    f.callLine = ln;
    f.returnOffset = text_.Position();
    f.returnLine = text_.NextNumber();
    f.startOffset = it->second.bodyOffset;
    f.startLine = it->second.bodyLine;
    f.repeatsLeft = repeats > 0 ? repeats - 1 : 0;
    f.movesAtStart = b_.path.size();
    if (stack_.empty()) b_.path.SetCallLine(ln);
    stack_.push_back(f);
    text_.Seek(f.startOffset, f.startLine);
}

void HeidenhainInterpreter::Return() {
    if (stack_.empty()) return;  // LBL 0 on the way through the main program
    if (stack_.back().Again(text_, b_.path.size())) return;
    stack_.back().Back(text_);
    stack_.pop_back();
    if (stack_.empty()) b_.path.SetCallLine(0);
}

}  // namespace

void InterpretHeidenhain(ProgramText& text, PathBuilder& b) {
    HeidenhainInterpreter(text, b).Run();
}
