#include "compare/Transform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "compare/Compare.h"
#include "plot/PathBuilder.h"
#include "settings/Strings.h"

namespace {

constexpr double kEps = 1e-9;
constexpr double kDegree = kPi / 180;
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline bool Same(double a, double b) { return std::fabs(a - b) <= 1e-12 * std::max(1.0, std::fabs(a)); }

// The map of points p -> m p + t; distances go through m alone.
struct Affine {
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double t[3] = {0, 0, 0};
    PlotPoint Vector(const PlotPoint& v) const {
        PlotPoint r;
        for (int a = 0; a < 3; ++a) r[a] = m[a][0] * v.x + m[a][1] * v.y + m[a][2] * v.z;
        return r;
    }
    PlotPoint Point(const PlotPoint& p) const {
        PlotPoint r = Vector(p);
        for (int a = 0; a < 3; ++a) r[a] += t[a];
        return r;
    }
    bool Mixes(int row, int col) const { return row != col && std::fabs(m[row][col]) > 1e-15; }
    // Whether the axis keeps every value (its row is the identity's).
    bool Keeps(int a) const {
        for (int c = 0; c < 3; ++c)
            if (std::fabs(m[a][c] - (a == c ? 1.0 : 0.0)) > 1e-15) return false;
        return std::fabs(t[a]) <= kEps;
    }
};

// A line's new text: pieces replaced, words put in.
struct Edit {
    size_t pos, length;
    std::string text;
};
std::string ApplyEdits(std::string_view line, std::vector<Edit>& edits) {
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.pos < b.pos; });
    std::string out;
    out.reserve(line.size() + 16);
    size_t at = 0;
    for (const Edit& e : edits) {
        out.append(line.substr(at, e.pos - at));
        out += e.text;
        at = e.pos + e.length;
    }
    out.append(line.substr(at));
    return out;
}

// ---------------------------------------------------------------- the words of a line
// A word of a line: its letters and its number (positions within the line).
struct Word {
    std::string letters;  // upper case: "X", "IX", "PA", "Q201="
    size_t start = 0;     // the first letter
    size_t numStart = 0, numLength = 0;
    double value = 0;
    bool hasNumber = false;
    std::string_view Number(std::string_view line) const { return line.substr(numStart, numLength); }
};

// The words of a word-address block (comments and the block skip left out).
bool IsoWords(std::string_view s, std::vector<Word>& words, bool& blanks) {
    words.clear();
    blanks = false;
    size_t i = 0, n = s.size();
    while (i < n && IsBlank(s[i])) ++i;
    if (i < n && (s[i] == '%' || s[i] == '*')) return true;
    if (i < n && s[i] == '/') {
        ++i;
        while (i < n && IsDigit(s[i])) ++i;
    }
    bool atStart = true;
    while (i < n) {
        char c = s[i];
        if (IsBlank(c)) {
            if (!words.empty()) blanks = true;
            ++i;
            continue;
        }
        if (c == '(') {
            size_t close = s.find(')', i + 1);
            i = close == std::string_view::npos ? n : close + 1;
            continue;
        }
        if (c == ';') break;
        if (c == ':' && atStart) c = 'O';
        atStart = false;
        if (!IsLetter(c)) return false;
        Word w;
        w.letters = std::string(1, Upper(c));
        w.start = i;
        size_t j = i + 1;
        while (j < n && IsBlank(s[j])) ++j;
        bool decimal = false;
        size_t used = ParseNumber(s, j, w.value, decimal);
        if (used == 0) return false;
        w.hasNumber = true;
        w.numStart = j;
        w.numLength = used;
        words.push_back(w);
        i = j + used;
    }
    return true;
}

// The words of a Heidenhain block over its lines: tokens between blanks, before the comment
// and the "~" that carries the block on; the block number left out.
struct Token {
    size_t line;  // index of the block's line
    size_t start, end;
    std::string upper;
};
void HeidenhainTokens(const std::vector<std::string_view>& lines, std::vector<Token>& out) {
    out.clear();
    for (size_t l = 0; l < lines.size(); ++l) {
        std::string_view s = lines[l];
        size_t end = s.find(';');
        if (end == std::string_view::npos) end = s.size();
        while (end > 0 && IsBlank(s[end - 1])) --end;
        if (end > 0 && s[end - 1] == '~') --end;
        size_t i = 0;
        while (i < end) {
            while (i < end && IsBlank(s[i])) ++i;
            if (i >= end) break;
            size_t start = i;
            if (s[i] == '"') {
                size_t close = s.find('"', i + 1);
                i = close == std::string_view::npos || close > end ? end : close + 1;
            } else {
                while (i < end && !IsBlank(s[i])) ++i;
            }
            Token t{l, start, i, std::string(s.substr(start, i - start))};
            for (char& c : t.upper) c = Upper(c);
            out.push_back(std::move(t));
        }
    }
    if (!out.empty() && std::all_of(out[0].upper.begin(), out[0].upper.end(), IsDigit))
        out.erase(out.begin());
}

// A number that a token holds from `from` to its end.
bool TokenNumber(const std::string& t, size_t from, double& v) {
    bool decimal = false;
    size_t used = ParseNumber(t, from, v, decimal);
    return used > 0 && from + used == t.size();
}

int PlaneFirst(ArcPlane p) { return AxesOf(p).first; }
int PlaneSecond(ArcPlane p) { return AxesOf(p).second; }

// ---------------------------------------------------------------- the transformer
// The axis words of a block that give a point (the end of a move, an absolute centre).
struct AxisWords {
    bool has[3] = {false, false, false};
    bool inc[3] = {false, false, false};
    double value[3] = {0, 0, 0};  // as written
    int word[3] = {-1, -1, -1};   // the word or token that holds it
};
// The new values of a point's words (as written, program units).
struct NewAxes {
    bool write[3] = {false, false, false};
    bool inc[3] = {false, false, false};
    double value[3] = {0, 0, 0};  // as written (rounded once written)
    double rel[3] = {0, 0, 0};    // the exact move, mm
    double abs[3] = {0, 0, 0};    // the exact end without the shifts, mm
};

// Two texts of one line that differ only by the last digits of their numbers (a line read
// again, its words rounded from another rest).
bool NearlySame(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        bool na = IsDigit(a[i]) || a[i] == '.' || a[i] == '-' || a[i] == '+';
        bool nb = IsDigit(b[j]) || b[j] == '.' || b[j] == '-' || b[j] == '+';
        if (na && nb) {
            double va = 0, vb = 0;
            bool d = false;
            size_t ua = ParseNumber(a, i, va, d), ub = ParseNumber(b, j, vb, d);
            if (ua == 0 || ub == 0) {
                if (a[i] != b[j]) return false;
                ++i, ++j;
                continue;
            }
            if (std::fabs(va - vb) > 0.0011) return false;
            i += ua, j += ub;
            continue;
        }
        if (a[i] != b[j]) return false;
        ++i, ++j;
    }
    return i == a.size() && j == b.size();
}

class Transformer {
public:
    Transformer(std::string_view text, const PlotSettings& settings, const TransformRequest& r)
        : text_(text), settings_(settings), req_(r), lines_(LineViews(text)) {}
    TransformResult Run();

private:
    void OnBlock(const BlockState& st);
    void OnNote(const PlotNote& note);
    bool InRange(size_t index) const {
        return !req_.onlyLines || (index >= req_.first && index <= req_.last);
    }
    void Begin(ArcPlane plane);
    void Refuse(uint32_t line, std::string reason) {
        if (refusedLine_ == 0 || line < refusedLine_) {
            refusedLine_ = line;
            refusal_ = std::move(reason);
        }
    }
    // Settles the new text of a line; false when it is refused.
    void Store(size_t index, const std::string& text, bool changed);

    bool Iso(const BlockState& st, std::string_view line, std::string& out, std::string& why);
    bool Heidenhain(const BlockState& st, std::vector<std::string>& out, std::string& why);
    bool NextIsTangentArc(size_t index) const {
        while (index < lines_.size()) {
            std::vector<Token> t;
            HeidenhainTokens({lines_[index]}, t);
            if (!t.empty()) return t[0].upper == "CT";
            ++index;
        }
        return false;
    }

    // The point of a block's axis words moved: false (with why) when it cannot be.
    bool MovePoint(const BlockState& st, const AxisWords& w, const double k[3], int axisMask,
                   NewAxes& out, std::string& why) const;
    // After an end point is written: what the new program is off from the exact point, so
    // that the next incremental word takes it back (a G91 run does not add up its roundings).
    void Settle(const NewAxes& na, const double k[3], int axisMask) {
        for (int a = 0; a < 3; ++a) {
            if (!(axisMask >> a & 1)) continue;
            if (!na.write[a]) residual_[a] -= na.rel[a];
            else if (na.inc[a]) residual_[a] += na.value[a] * k[a] - na.rel[a];
            else residual_[a] = na.value[a] * k[a] - na.abs[a];
        }
    }
    // The words of a shift (a distance) or of a named place (a point), axis by axis: the
    // axes they leave out keep their old values, so a turn needs both of its plane's.
    bool ShiftAxes(const AxisWords& aw, const double k[3], bool point, NewAxes& na,
                   std::string& why) const {
        PlotPoint v;
        for (int a = 0; a < 3; ++a) v[a] = aw.value[a] * k[a];
        PlotPoint r = point ? map_.Point(v) : map_.Vector(v);
        for (int a = 0; a < 3; ++a) {
            if (!aw.has[a]) continue;
            for (int c = 0; c < 3; ++c) {
                if (map_.Mixes(a, c) && !aw.has[c]) {
                    why = kPartialShiftReason;
                    return false;
                }
            }
            na.write[a] = true;
            na.inc[a] = aw.inc[a];
            na.value[a] = r[a] / k[a];
        }
        return true;
    }
    bool Tilts(ArcPlane plane) const {
        return req_.mode == TransformMode::Rotate && plane != rotPlane_ && std::fabs(std::sin(req_.angle * kDegree)) > 1e-12;
    }
    bool Mirrored(int axis) const {
        return req_.mode == TransformMode::Mirror && ((axis == 0 && req_.mirrorX) || (axis == 1 && req_.mirrorY));
    }
    // One mirror in the plane: arcs and the compensation side turn the other way.
    bool Swaps(ArcPlane plane) const {
        return Mirrored(PlaneFirst(plane)) != Mirrored(PlaneSecond(plane));
    }
    double Scale() const { return req_.mode == TransformMode::Scale ? req_.factor : 1.0; }
    // The number in the style of the old one; the old text when the value did not change.
    std::string Number(double value, double old, std::string_view style, double unit) const {
        if (Same(value, old)) return std::string(style);
        return FormatLike(value, style, Decimals(unit));
    }
    // A thousandth of a millimetre, or of an inch a hundred-thousandth.
    int Decimals(double unit) const { return (unit > 1.5 ? 5 : 3) + extraDecimals_; }
    // The value a written number stands for.
    static double Written(std::string_view text) {
        double v = 0;
        bool d = false;
        ParseNumber(text, 0, v, d);
        return v;
    }

    std::string_view text_;
    const PlotSettings& settings_;
    const TransformRequest& req_;
    std::vector<std::string_view> lines_;
    bool begun_ = false;
    ArcPlane rotPlane_ = ArcPlane::XY;
    Affine map_;
    uint32_t refusedLine_ = 0;
    std::string refusal_;
    // Per line: 0 not read, 1 read and unchanged, else 2 + the text's place in texts_.
    std::vector<uint64_t> done_;
    std::string texts_;
    std::vector<std::pair<uint32_t, std::string>> notes_;  // notes that stop a transform
    std::vector<Word> words_;
    std::vector<Token> tokens_;
    double residual_[3] = {0, 0, 0};  // the new program's place less the exact one, mm
    bool lastInRange_ = false;
    // The block before was not transformed: the new program stands where the old one does.
    bool boundary_ = false;
    bool readBefore_ = false;
    int extraDecimals_ = 0;  // a distance repeated K times is written K times finer
};

void Transformer::Begin(ArcPlane plane) {
    if (begun_) return;
    begun_ = true;
    rotPlane_ = plane;
    Affine& a = map_;
    switch (req_.mode) {
        case TransformMode::Move:
            for (int i = 0; i < 3; ++i) a.t[i] = req_.move[i];
            break;
        case TransformMode::Rotate: {
            int u = PlaneFirst(plane), v = PlaneSecond(plane);
            double c = std::cos(req_.angle * kDegree), s = std::sin(req_.angle * kDegree);
            // Whole quarter turns are exact.
            if (std::fabs(c) < 1e-15) c = 0;
            if (std::fabs(s) < 1e-15) s = 0;
            a.m[u][u] = c, a.m[u][v] = -s;
            a.m[v][u] = s, a.m[v][v] = c;
            double cu = req_.centre[0], cv = req_.centre[1];
            a.t[u] = cu - (c * cu - s * cv);
            a.t[v] = cv - (s * cu + c * cv);
            break;
        }
        case TransformMode::Mirror:
            if (req_.mirrorX) a.m[0][0] = -1, a.t[0] = 2 * req_.mirrorAt;
            if (req_.mirrorY) a.m[1][1] = -1, a.t[1] = 2 * req_.mirrorAt;
            break;
        case TransformMode::Scale:
            for (int i = 0; i < 3; ++i) {
                a.m[i][i] = req_.factor;
                a.t[i] = req_.centre[i] - req_.factor * req_.centre[i];
            }
            break;
    }
}

void Transformer::Store(size_t index, const std::string& text, bool changed) {
    uint64_t& d = done_[index];
    if (d == 0) {
        if (!changed) {
            d = 1;
            return;
        }
        d = 2 + ((static_cast<uint64_t>(texts_.size()) << 24) | text.size());
        texts_ += text;
        return;
    }
    // Read again (a subprogram, a repeat): it must mean the same.
    std::string_view before = lines_[index];
    if (d >= 2) {
        uint64_t v = d - 2;
        before = std::string_view(texts_).substr(v >> 24, v & 0xFFFFFF);
    }
    std::string_view now = changed ? std::string_view(text) : lines_[index];
    if (before != now && !NearlySame(before, now))
        Refuse(static_cast<uint32_t>(index + 1), kVariesReason);
}

void Transformer::OnNote(const PlotNote& note) {
    if (note.line == 0 || note.line > lines_.size() || !InRange(note.line - 1)) return;
    static const std::string unknown = UnknownWordNote("");
    std::string_view prefix(unknown);
    prefix = prefix.substr(0, prefix.find(' ', prefix.find(' ') + 1));  // "ukjent ord"
    if (note.text == kVariablesNote || note.text.compare(0, prefix.size(), prefix) == 0)
        notes_.emplace_back(note.line, note.text);
}

void Transformer::OnBlock(const BlockState& st) {
    size_t index = st.line - 1;
    if (index >= lines_.size() || !InRange(index)) {
        lastInRange_ = false;
        readBefore_ = true;
        return;
    }
    boundary_ = readBefore_ && !lastInRange_;
    readBefore_ = true;
    if (boundary_) std::fill(residual_, residual_ + 3, 0.0);
    lastInRange_ = true;
    Begin(st.plane);
    std::string why;
    if (settings_.dialect == PlotDialect::Heidenhain) {
        std::vector<std::string> out;
        size_t count = std::min<size_t>(st.lineCount, lines_.size() - index);
        if (!Heidenhain(st, out, why)) {
            Refuse(st.line, why);
            return;
        }
        for (size_t k = 0; k < count; ++k)
            Store(index + k, out[k], out[k] != lines_[index + k]);
        return;
    }
    std::string out;
    if (!Iso(st, lines_[index], out, why)) {
        Refuse(st.line, why);
        return;
    }
    Store(index, out, out != lines_[index]);
}

bool Transformer::MovePoint(const BlockState& st, const AxisWords& w, const double k[3],
                            int axisMask, NewAxes& out, std::string& why) const {
    const Affine& A = map_;
    PlotPoint s = st.pos, e = s;
    bool allInc = true, any = false;
    for (int a = 0; a < 3; ++a) {
        if (!w.has[a]) continue;
        any = true;
        allInc = allInc && w.inc[a];
        e[a] = w.inc[a] ? s[a] + w.value[a] * k[a] : w.value[a] * k[a] + st.offset[a];
    }
    PlotPoint q;  // the end without the shifts
    for (int a = 0; a < 3; ++a) q[a] = e[a] - st.offset[a];
    PlotPoint abs = A.Point(q), d;
    for (int a = 0; a < 3; ++a) d[a] = e[a] - s[a];
    PlotPoint rel = A.Vector(d);
    for (int b = 0; b < 3; ++b) {
        if (!(axisMask >> b & 1)) continue;
        bool inc = w.has[b] ? w.inc[b] : (any && allInc) || (!any && st.incremental);
        // An axis the block leaves out is written when the new end lies elsewhere on it than
        // where the new program stands: after a transformed block that is the old move
        // transformed; at the first block of the marked lines, the place the tool is at (an
        // incremental block is not shifted there either).
        double away = boundary_ && !inc && st.known[b] ? abs[b] - (s[b] - st.offset[b]) : rel[b];
        bool write = w.has[b] || std::fabs(away) > kEps;
        if (!write) continue;
        if (!inc) {
            // An absolute value made of an axis whose place is not known yet.
            for (int c = 0; c < 3; ++c) {
                if (std::fabs(A.m[b][c]) <= 1e-15 || (w.has[c] && !w.inc[c]) || st.known[c]) continue;
                why = UnknownPositionReason(static_cast<char>('X' + c));
                return false;
            }
        }
        out.write[b] = true;
        out.inc[b] = inc;
        out.value[b] = (inc ? rel[b] - residual_[b] : abs[b]) / k[b];
    }
    for (int b = 0; b < 3; ++b) {
        out.rel[b] = rel[b];
        out.abs[b] = abs[b];
    }
    return true;
}

// ---------------------------------------------------------------- word address
bool Transformer::Iso(const BlockState& st, std::string_view line, std::string& out,
                      std::string& why) {
    out.assign(line);
    bool blanks = false;
    if (!IsoWords(line, words_, blanks)) return true;  // the interpreter has noted it
    if (words_.empty()) return true;
    const Affine& A = map_;
    const bool lathe = st.lathe;
    std::vector<Edit> edits;
    auto find = [&](char letter) -> int {
        for (size_t i = 0; i < words_.size(); ++i)
            if (words_[i].letters[0] == letter) return static_cast<int>(i);
        return -1;
    };
    auto has = [&](char letter) { return find(letter) >= 0; };
    auto gCode = [&](int code) {
        for (const Word& w : words_)
            if (w.letters[0] == 'G' && std::lround(w.value * 10) == code) return true;
        return false;
    };
    auto replaceNumber = [&](int idx, double value) {
        const Word& w = words_[idx];
        std::string text = Number(value, w.value, w.Number(line), st.unit);
        if (text != w.Number(line)) edits.push_back({w.numStart, w.numLength, text});
        return Written(text);
    };
    // Word values to mm: a lathe's X is a diameter.
    double k[3] = {st.unit, st.unit, st.unit};
    if (st.diameter) k[0] = st.unit / 2;
    const char axisLetter[3] = {'X', 'Y', 'Z'};
    auto axisWords = [&](AxisWords& aw) {
        for (int a = 0; a < 3; ++a) {
            int i = find(axisLetter[a]);
            if (i < 0) continue;
            aw.has[a] = true;
            aw.inc[a] = st.incremental;
            aw.value[a] = words_[i].value;
            aw.word[a] = i;
        }
        if (lathe) {
            const char incLetter[3] = {'U', 'V', 'W'};
            for (int a : {0, 2}) {
                int i = find(incLetter[a]);
                if (i < 0 || aw.has[a]) continue;
                aw.has[a] = aw.inc[a] = true;
                aw.value[a] = words_[i].value;
                aw.word[a] = i;
            }
        }
    };
    bool anyAxis = has('X') || has('Y') || has('Z') || (lathe && (has('U') || has('W')));
    // Where a new word goes: after the last word of its kind, else after the last axis word,
    // else after the last word.
    auto insertAfter = [&](const char* kinds) -> size_t {
        int best = -1;
        for (const char* group : {kinds, "XYZUW"}) {
            for (size_t i = 0; i < words_.size(); ++i)
                if (std::strchr(group, words_[i].letters[0])) best = static_cast<int>(i);
            if (best >= 0) break;
        }
        if (best < 0) best = static_cast<int>(words_.size()) - 1;
        return words_[best].numStart + words_[best].numLength;
    };
    // Writes the new values of a point's or a distance's words.
    auto writeAxes = [&](const AxisWords& aw, NewAxes& na, const char letters[3],
                         const char incLetters[3], const char* kinds) {
        std::string_view style = "0.000";
        for (int a = 0; a < 3; ++a)
            if (aw.word[a] >= 0) {
                style = words_[aw.word[a]].Number(line);
                break;
            }
        size_t at = insertAfter(kinds);
        for (int a = 0; a < 3; ++a) {
            if (!na.write[a]) continue;
            if (aw.word[a] >= 0) {
                na.value[a] = replaceNumber(aw.word[a], na.value[a]);
                continue;
            }
            char letter = na.inc[a] && incLetters ? incLetters[a] : letters[a];
            std::string number = FormatLike(na.value[a], style, Decimals(st.unit));
            na.value[a] = Written(number);
            std::string word = blanks ? " " : "";
            word += letter;
            word += number;
            edits.push_back({at, 0, word});
        }
    };
    const char latheInc[3] = {'U', 'V', 'W'};

    switch (st.role) {
        case BlockRole::Dwell:
        case BlockRole::Data:
            return true;
        case BlockRole::Machine: {
            if (!gCode(530)) return true;
            for (int a = 0; a < 3; ++a) {
                if (has(axisLetter[a]) && !A.Keeps(a)) {
                    why = kMachineMoveReason;
                    return false;
                }
            }
            return true;
        }
        case BlockRole::Contour:
            if (req_.mode == TransformMode::Move) return true;
            for (char c : {'U', 'W', 'D', 'R', 'I', 'K'}) {
                if (has(c)) {
                    why = kLatheCycleReason;
                    return false;
                }
            }
            return true;
        case BlockRole::Shift:
        case BlockRole::SetPosition: {
            AxisWords aw;
            axisWords(aw);
            NewAxes na;
            const bool naming = st.role == BlockRole::SetPosition;
            if (!ShiftAxes(aw, k, naming, na, why)) return false;
            // The place named is where the new program stands, rest and all: the new zero
            // point is then the exact one.
            for (int a = 0; a < 3 && naming; ++a)
                if (na.write[a]) na.value[a] += residual_[a] / k[a];
            // A shift counts in every point after it: a decimal finer than the points.
            extraDecimals_ = 1;
            writeAxes(aw, na, axisLetter, nullptr, "XYZ");
            extraDecimals_ = 0;
            for (int a = 0; a < 3 && naming; ++a)
                if (na.write[a]) residual_[a] = 0;
            out = ApplyEdits(line, edits);
            return true;
        }
        case BlockRole::Motion:
            break;
    }

    const bool arc = (st.motion == 20 || st.motion == 30) && st.cycle == 0 &&
                     (anyAxis || has('I') || has('J') || has('K'));
    const bool drill = st.cycle != 0 && (anyAxis || gCode(st.cycle));
    if (drill) {
        int w = st.drillAxis;
        if (req_.mode == TransformMode::Rotate) {
            for (int c = 0; c < 3; ++c) {
                if (A.Mixes(w, c) || A.Mixes(c, w)) {
                    why = kTiltedCycleReason;
                    return false;
                }
            }
        }
        if (req_.mode == TransformMode::Scale && !Same(req_.factor, 1) &&
            (st.cycle == 730 || st.cycle == 830) && has('Q')) {
            why = kPeckScaleReason;
            return false;
        }
        AxisWords aw;
        axisWords(aw);
        NewAxes na;
        // The depth word does not fall back on where the tool stands: it is kept as it is
        // when the block has none.
        int mask = 7 & ~(aw.has[w] ? 0 : 1 << w);
        int kw = find('K') >= 0 ? find('K') : find('L');
        double holes = kw >= 0 ? std::max(1.0, std::floor(words_[kw].value)) : 1.0;
        if (st.incremental && holes > 1)
            extraDecimals_ = std::min(6, static_cast<int>(std::ceil(std::log10(holes * 1.5))));
        // The holes of a repeat (K) each take the rounding of the distance: it is not
        // taken back on the way.
        double saved[3] = {residual_[0], residual_[1], residual_[2]};
        std::fill(residual_, residual_ + 3, 0.0);
        bool ok = MovePoint(st, aw, k, mask, na, why);
        std::copy(saved, saved + 3, residual_);
        if (!ok) return false;
        if (aw.has[w] && st.incremental) {
            // In G91 the depth counts from the R level.
            na.value[w] = A.m[w][w] * aw.value[w];
        }
        writeAxes(aw, na, axisLetter, lathe ? latheInc : nullptr, "XYZ");
        extraDecimals_ = 0;
        for (int a = 0; a < 3; ++a) {
            if (a == w || !na.write[a]) continue;
            if (na.inc[a]) residual_[a] += (na.value[a] * k[a] - na.rel[a]) * holes;
            else residual_[a] = na.value[a] * k[a] - na.abs[a];
        }
        int r = find('R');
        if (r >= 0) {
            double v = words_[r].value;
            double nv = st.incremental ? A.m[w][w] * v : (A.m[w][w] * v * st.unit + A.t[w]) / st.unit;
            replaceNumber(r, nv);
        }
        int q = find('Q');
        if (q >= 0) replaceNumber(q, words_[q].value * std::fabs(Scale()));
    } else if (anyAxis || arc) {
        PlaneAxes pa = AxesOf(st.plane);
        if (arc && Tilts(st.plane)) {
            why = kTiltedArcReason;
            return false;
        }
        AxisWords aw;
        axisWords(aw);
        NewAxes na;
        if (!MovePoint(st, aw, k, 7, na, why)) return false;
        writeAxes(aw, na, axisLetter, lathe ? latheInc : nullptr, "XYZ");
        // The centre of an arc counts from where the new program starts it.
        double startOff[3] = {residual_[0], residual_[1], residual_[2]};
        Settle(na, k, 7);
        if (arc) {
            const char centreLetter[3] = {'I', 'J', 'K'};
            int r = find('R');
            if (r >= 0) {
                replaceNumber(r, words_[r].value * std::fabs(Scale()));
            } else if (has(centreLetter[pa.first]) || has(centreLetter[pa.second])) {
                AxisWords cw;
                for (int a : {pa.first, pa.second}) {
                    int i = find(centreLetter[a]);
                    if (i < 0) continue;
                    cw.has[a] = true;
                    cw.inc[a] = !st.arcAbsolute;
                    cw.value[a] = words_[i].value;
                    cw.word[a] = i;
                }
                double kc[3] = {st.unit, st.unit, st.unit};
                NewAxes nc;
                if (st.arcAbsolute) {
                    if (!MovePoint(st, cw, kc, 1 << pa.first | 1 << pa.second, nc, why)) return false;
                } else {
                    PlotPoint v;
                    for (int a : {pa.first, pa.second}) v[a] = cw.value[a] * kc[a];
                    PlotPoint r2 = A.Vector(v);
                    for (int a : {pa.first, pa.second}) {
                        double d = r2[a] - startOff[a];
                        if (!cw.has[a] && std::fabs(d) <= kEps) continue;
                        nc.write[a] = true;
                        nc.value[a] = d / kc[a];
                    }
                }
                // A centre a decimal finer than the points: the arc's path stays within a
                // thousandth of the exact one.
                extraDecimals_ = 1;
                writeAxes(cw, nc, centreLetter, nullptr, "IJK");
                extraDecimals_ = 0;
            }
        }
    }
    // One mirror turns the arcs and the compensation side.
    if (Swaps(st.plane)) {
        for (const Word& w : words_) {
            if (w.letters[0] != 'G') continue;
            int code = static_cast<int>(std::lround(w.value * 10));
            int to = code == 20 ? 30 : code == 30 ? 20 : code == 410 ? 420 : code == 420 ? 410 : 0;
            if (!to) continue;
            std::string num(w.Number(line));
            size_t point = num.find('.');
            size_t last = (point == std::string::npos ? num.size() : point) - 1;
            num[last] = static_cast<char>('0' + (to / 10) % 10);
            edits.push_back({w.numStart, w.numLength, num});
        }
    }
    if (req_.mode == TransformMode::Scale && req_.scaleFeed) {
        int f = find('F');
        if (f >= 0) replaceNumber(f, words_[f].value * req_.factor);
    }
    out = ApplyEdits(line, edits);
    return true;
}

// ---------------------------------------------------------------- Heidenhain
bool Transformer::Heidenhain(const BlockState& st, std::vector<std::string>& out,
                             std::string& why) {
    size_t index = st.line - 1;
    size_t count = std::min<size_t>(st.lineCount, lines_.size() - index);
    std::vector<std::string_view> lines(lines_.begin() + index, lines_.begin() + index + count);
    out.assign(lines.begin(), lines.end());
    HeidenhainTokens(lines, tokens_);
    if (tokens_.empty()) return true;
    const Affine& A = map_;
    const std::string& key = tokens_[0].upper;
    std::vector<std::vector<Edit>> edits(count);
    auto text = [&](const Token& t) { return lines[t.line].substr(t.start, t.end - t.start); };
    // The number of token t from byte `from` on, replaced by value in its style.
    auto replace = [&](const Token& t, size_t from, double old, double value, int decimals = 0) {
        std::string_view style = text(t).substr(from);
        std::string s = Same(value, old) ? std::string(style)
                                         : FormatLike(value, style, decimals ? decimals : Decimals(st.unit));
        if (s != style) edits[t.line].push_back({t.start + from, style.size(), s});
        return Written(s);
    };
    // Axis words: X+10, IX-5.
    auto axisOf = [](const std::string& u, bool& inc, size_t& numAt) -> int {
        size_t i = 0;
        inc = false;
        if (u.size() >= 2 && u[0] == 'I' && (u[1] == 'X' || u[1] == 'Y' || u[1] == 'Z')) {
            inc = true;
            i = 1;
        }
        if (i >= u.size() || (u[i] != 'X' && u[i] != 'Y' && u[i] != 'Z')) return -1;
        numAt = i + 1;
        return u[i] - 'X';
    };
    auto axisWords = [&](AxisWords& aw, std::vector<size_t>& numAt) {
        numAt.assign(tokens_.size(), 0);
        for (size_t i = 1; i < tokens_.size(); ++i) {
            bool inc = false;
            size_t at = 0;
            int a = axisOf(tokens_[i].upper, inc, at);
            double v = 0;
            if (a < 0 || !TokenNumber(tokens_[i].upper, at, v)) continue;
            aw.has[a] = true;
            aw.inc[a] = inc;
            aw.value[a] = v;
            aw.word[a] = static_cast<int>(i);
            numAt[i] = at;
        }
    };
    double k[3] = {st.unit, st.unit, st.unit};
    // New axis words go after the last one, in the style of the first.
    auto writeAxes = [&](const AxisWords& aw, NewAxes& na, const std::vector<size_t>& numAt) {
        std::string style = "+0.000";
        int last = 0;
        for (int a = 0; a < 3; ++a) {
            if (aw.word[a] < 0) continue;
            if (style == "+0.000") style = tokens_[aw.word[a]].upper.substr(numAt[aw.word[a]]);
            last = std::max(last, aw.word[a]);
        }
        const Token& after = tokens_[last];
        for (int a = 0; a < 3; ++a) {
            if (!na.write[a]) continue;
            if (aw.word[a] >= 0) {
                na.value[a] = replace(tokens_[aw.word[a]], numAt[aw.word[a]], aw.value[a], na.value[a]);
                continue;
            }
            std::string word = " ";
            if (na.inc[a]) word += 'I';
            word += static_cast<char>('X' + a);
            std::string number = FormatLike(na.value[a], style, Decimals(st.unit));
            na.value[a] = Written(number);
            word += number;
            edits[after.line].push_back({after.end, 0, word});
        }
    };
    auto machine = [&]() {
        for (const Token& t : tokens_)
            if (t.upper == "M91" || t.upper == "M92") return true;
        return false;
    };
    const bool swaps = Swaps(st.plane);
    auto otherWords = [&](bool arcWords) {
        for (size_t i = 1; i < tokens_.size(); ++i) {
            const Token& t = tokens_[i];
            const std::string& u = t.upper;
            if (swaps && (u == "RL" || u == "RR"))
                edits[t.line].push_back({t.start + 1, 1, u == "RL" ? "R" : "L"});
            else if (swaps && arcWords && (u == "DR+" || u == "DR-"))
                edits[t.line].push_back({t.start + 2, 1, u == "DR+" ? "-" : "+"});
            else if (req_.mode == TransformMode::Scale && req_.scaleFeed && u.size() > 1 &&
                     u[0] == 'F' && (IsDigit(u[1]) || u[1] == '.')) {
                double v = 0;
                if (TokenNumber(u, 1, v)) replace(t, 1, v, v * req_.factor);
            }
        }
    };
    auto finish = [&]() {
        for (size_t l = 0; l < count; ++l)
            if (!edits[l].empty()) out[l] = ApplyEdits(lines[l], edits[l]);
        return true;
    };

    if (key == "L" || key == "C" || key == "CR" || key == "CT") {
        AxisWords aw;
        std::vector<size_t> numAt;
        axisWords(aw, numAt);
        if (machine()) {
            for (int a = 0; a < 3; ++a) {
                if (aw.has[a] && !A.Keeps(a)) {
                    why = kMachineMoveReason;
                    return false;
                }
            }
            return true;
        }
        if (key != "L" && Tilts(st.plane)) {
            why = kTiltedArcReason;
            return false;
        }
        bool any = aw.has[0] || aw.has[1] || aw.has[2];
        if (any) {
            NewAxes na;
            if (!MovePoint(st, aw, k, 7, na, why)) return false;
            // A tangent arc next continues this move's direction: its end a decimal finer.
            extraDecimals_ = NextIsTangentArc(index + count) ? 1 : 0;
            writeAxes(aw, na, numAt);
            extraDecimals_ = 0;
            Settle(na, k, 7);
        }
        if (key == "CR") {
            for (size_t i = 1; i < tokens_.size(); ++i) {
                const std::string& u = tokens_[i].upper;
                double v = 0;
                if (u.size() > 1 && u[0] == 'R' && u != "R0" && TokenNumber(u, 1, v))
                    replace(tokens_[i], 1, v, v * std::fabs(Scale()));
            }
        }
        otherWords(key != "L");
        return finish();
    }
    if (key == "CC") {
        if (Tilts(st.plane)) {
            why = kTiltedArcReason;
            return false;
        }
        AxisWords aw;
        std::vector<size_t> numAt;
        axisWords(aw, numAt);
        PlaneAxes pa = AxesOf(st.plane);
        aw.has[pa.normal] = false;
        aw.word[pa.normal] = -1;
        NewAxes na;
        if (!MovePoint(st, aw, k, 1 << pa.first | 1 << pa.second, na, why)) return false;
        // The pole a decimal finer than the points, as an arc's centre.
        extraDecimals_ = 1;
        writeAxes(aw, na, numAt);
        extraDecimals_ = 0;
        return finish();
    }
    if (key == "LP" || key == "CP") {
        if (Tilts(st.plane)) {
            why = kTiltedArcReason;
            return false;
        }
        PlaneAxes pa = AxesOf(st.plane);
        bool mu = Mirrored(pa.first), mv = Mirrored(pa.second);
        AxisWords aw;
        std::vector<size_t> numAt;
        axisWords(aw, numAt);
        for (size_t i = 1; i < tokens_.size(); ++i) {
            const Token& t = tokens_[i];
            const std::string& u = t.upper;
            bool inc = u.size() > 3 && u[0] == 'I' && u[1] == 'P';
            size_t at = inc ? 1 : 0;
            if (u.size() <= at + 2 || u[at] != 'P' || (u[at + 1] != 'A' && u[at + 1] != 'R')) continue;
            double v = 0;
            if (!TokenNumber(u, at + 2, v)) continue;
            double nv = v;
            if (u[at + 1] == 'R') {
                nv = v * std::fabs(Scale());
            } else if (inc) {
                if (mu != mv) nv = -v;
            } else {
                if (req_.mode == TransformMode::Rotate) nv = v + req_.angle;
                if (mu && mv) nv = v + 180;
                else if (mu) nv = 180 - v;
                else if (mv) nv = -v;
                while (nv > 360 + kEps) nv -= 360;
                while (nv < -360 - kEps) nv += 360;
            }
            // Angles to a ten-thousandth of a degree: a hundredth of a micron a radius of 100 mm.
            replace(t, at + 2, v, nv, u[at + 1] == 'A' ? 4 : 0);
        }
        // The polar end lies where the pole and the words put it, whatever the rest before.
        residual_[pa.first] = residual_[pa.second] = 0;
        // Only the axis across the plane moves along with the polar words.
        if (aw.has[pa.normal]) {
            AxisWords nw;
            nw.has[pa.normal] = true;
            nw.inc[pa.normal] = aw.inc[pa.normal];
            nw.value[pa.normal] = aw.value[pa.normal];
            nw.word[pa.normal] = aw.word[pa.normal];
            NewAxes na;
            if (!MovePoint(st, nw, k, 1 << pa.normal, na, why)) return false;
            writeAxes(nw, na, numAt);
            Settle(na, k, 1 << pa.normal);
        }
        otherWords(key == "CP");
        return finish();
    }
    if (key == "RND" || key == "CHF") {
        if (tokens_.size() >= 2) {
            const Token& t = tokens_[1];
            size_t from = (key == "RND" && !t.upper.empty() && t.upper[0] == 'R') ? 1 : 0;
            double v = 0;
            if (TokenNumber(t.upper, from, v)) replace(t, from, v, v * std::fabs(Scale()));
        }
        otherWords(false);
        return finish();
    }
    if (key == "CYCL" && tokens_.size() >= 3 && tokens_[1].upper == "DEF") {
        const std::string& number = tokens_[2].upper;
        int w = AxesOf(st.plane).normal;
        if (number == "200") {
            if ((req_.mode == TransformMode::Rotate && Tilts(st.plane)) ||
                (req_.mode == TransformMode::Mirror && Mirrored(w))) {
                why = kTiltedCycleReason;
                return false;
            }
            for (size_t i = 3; i < tokens_.size(); ++i) {
                const std::string& u = tokens_[i].upper;
                size_t eq = u.find('=');
                double v = 0;
                if (u[0] != 'Q' || eq == std::string::npos || !TokenNumber(u, eq + 1, v)) continue;
                int q = std::atoi(u.substr(1, eq - 1).c_str());
                double nv = v;
                if (q == 200 || q == 201 || q == 202 || q == 204) nv = v * std::fabs(Scale());
                else if (q == 203) nv = (A.m[w][w] * v * st.unit + A.t[w]) / st.unit;
                replace(tokens_[i], eq + 1, v, nv);
            }
            return finish();
        }
        if (number == "7.1" || number == "7.2" || number == "7.3") {
            AxisWords aw;
            std::vector<size_t> numAt;
            axisWords(aw, numAt);
            NewAxes na;
            if (!ShiftAxes(aw, k, false, na, why)) return false;
            extraDecimals_ = 1;
            writeAxes(aw, na, numAt);
            extraDecimals_ = 0;
            return finish();
        }
        return true;
    }
    if (key == "BLK" && tokens_.size() >= 3 && tokens_[1].upper == "FORM" &&
        (req_.mode == TransformMode::Move || req_.mode == TransformMode::Scale)) {
        // The stock box moves and scales with the program; turned or mirrored it would no
        // longer be a box along the axes, so it stays.
        AxisWords aw;
        std::vector<size_t> numAt;
        axisWords(aw, numAt);
        NewAxes na;
        for (int a = 0; a < 3; ++a) {
            if (!aw.has[a]) continue;
            double mm = aw.value[a] * k[a];
            na.write[a] = true;
            na.value[a] = (aw.inc[a] ? A.m[a][a] * mm : A.m[a][a] * mm + A.t[a]) / k[a];
        }
        writeAxes(aw, na, numAt);
        return finish();
    }
    return true;
}

// Whether a line that the program never reads holds words that would change.
bool HasTransformableWords(std::string_view line, bool heidenhain) {
    if (heidenhain) {
        std::vector<Token> tokens;
        HeidenhainTokens({line}, tokens);
        if (tokens.empty()) return false;
        const std::string& k = tokens[0].upper;
        return k == "L" || k == "C" || k == "CR" || k == "CT" || k == "CC" || k == "LP" ||
               k == "CP" || k == "RND" || k == "CHF" || k == "CYCL" || k[0] == 'X' ||
               k[0] == 'Y' || k[0] == 'Z' || k[0] == 'I' || k[0] == 'Q';
    }
    std::vector<Word> words;
    bool blanks = false;
    if (!IsoWords(line, words, blanks)) {
        // Words the interpreter does not read: an axis letter with a number counts.
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            char c = line[i], d = line[i + 1];
            if (c == '(' || c == ';') break;
            if (std::strchr("XYZIJKRUWxyzijkruw", c) && (IsDigit(d) || d == '-' || d == '+' || d == '.' || d == '#'))
                return true;
        }
        return false;
    }
    for (const Word& w : words)
        if (std::strchr("XYZIJKRUWQ", w.letters[0])) return true;
    return false;
}

TransformResult Transformer::Run() {
    TransformResult result;
    done_.assign(lines_.size(), 0);
    PlotRun run;
    run.onBlock = [this](const BlockState& st) { OnBlock(st); };
    run.onNote = [this](const PlotNote& note) { OnNote(note); };
    run.maxMoves = Toolpath::kMaxMoves;
    if (!begun_ && req_.mode != TransformMode::Rotate) Begin(ArcPlane::XY);
    InterpretProgram(text_, settings_, run);
    if (!begun_) Begin(ArcPlane::XY);
    const bool heidenhain = settings_.dialect == PlotDialect::Heidenhain;
    for (const auto& [line, text] : notes_) {
        if (text == kVariablesNote || HasTransformableWords(lines_[line - 1], heidenhain))
            Refuse(line, text);
    }
    size_t first = req_.onlyLines ? req_.first : 0;
    size_t end = req_.onlyLines ? std::min(lines_.size(), req_.last + 1) : lines_.size();
    for (size_t i = first; i < end && (refusedLine_ == 0 || i + 1 < refusedLine_); ++i) {
        if (done_[i] == 0 && HasTransformableWords(lines_[i], heidenhain)) {
            // A block's continuation lines are settled with its first line.
            bool continuation = heidenhain && i > 0 && done_[i - 1] != 0 &&
                                lines_[i - 1].find('~') != std::string_view::npos;
            if (!continuation) Refuse(static_cast<uint32_t>(i + 1), kNeverReachedReason);
        }
    }
    if (refusedLine_) {
        result.refusedLine = refusedLine_;
        result.message = RefusalText(refusedLine_, refusal_);
        return result;
    }
    for (size_t i = 0; i < done_.size(); ++i) {
        if (done_[i] < 2) continue;
        uint64_t v = done_[i] - 2;
        result.changed.emplace_back(i, texts_.substr(v >> 24, v & 0xFFFFFF));
    }
    result.ok = true;
    return result;
}

}  // namespace

bool ReadTypedNumber(std::string_view text, double& value) {
    std::string t(TrimBlanks(text));
    size_t comma = t.find(',');
    if (comma != std::string::npos) t[comma] = '.';
    if (t.empty()) return false;
    return ParseFloat(t, value) && std::isfinite(value) && std::fabs(value) <= 1e9;
}

std::string RefusalText(uint32_t line, std::string_view reason) {
    return "Linje " + std::to_string(line) + " kan ikke transformeres: " + std::string(reason);
}

std::string UnknownPositionReason(char axis) {
    return std::string("posisjonen i ") + axis + " er ukjent";
}

std::string FormatLike(double value, std::string_view style, int minDecimals) {
    size_t p = 0;
    bool plus = false;
    if (p < style.size() && (style[p] == '+' || style[p] == '-')) plus = style[p++] == '+';
    size_t intStart = p;
    while (p < style.size() && IsDigit(style[p])) ++p;
    size_t intDigits = p - intStart;
    bool zeroPadded = intDigits > 1 && style[intStart] == '0';
    bool point = p < style.size() && style[p] == '.';
    size_t decimals = 0;
    if (point) {
        ++p;
        while (p < style.size() && IsDigit(style[p])) ++p, ++decimals;
    }
    // The style's own decimals when they hold the value, else enough for a thousandth of a
    // millimetre (a ten-thousandth of an inch), the zeros beyond the style's dropped.
    int use = static_cast<int>(decimals);
    double scale = std::pow(10.0, use);
    if (std::fabs(std::round(value * scale) / scale - value) > 1e-9) use = std::max(use, minDecimals);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", use, std::fabs(value));
    std::string digits = buf;
    if (use > static_cast<int>(decimals)) {
        while (!digits.empty() && digits.back() == '0' &&
               digits.size() - digits.find('.') - 1 > decimals)
            digits.pop_back();
        if (!digits.empty() && digits.back() == '.' && !point) digits.pop_back();
    }
    bool zero = digits.find_first_not_of("0.") == std::string::npos;
    size_t dot = digits.find('.');
    size_t whole = dot == std::string::npos ? digits.size() : dot;
    if (intDigits == 0 && point && whole == 1 && digits[0] == '0' && dot != std::string::npos)
        digits.erase(0, 1);  // ".5" stays without its zero
    else if (zeroPadded && whole < intDigits)
        digits.insert(0, intDigits - whole, '0');
    if (point && dot == std::string::npos) digits += '.';  // "10." keeps its point
    std::string out;
    if (value < 0 && !zero) out += '-';
    else if (plus) out += '+';
    return out + digits;
}

TransformResult TransformProgram(std::string_view text, const PlotSettings& settings,
                                 const TransformRequest& request) {
    if (settings.dialect == PlotDialect::Essi) {
        TransformResult r;
        r.message = kEssiText;
        return r;
    }
    return Transformer(text, settings, request).Run();
}

std::string ApplyTransform(std::string_view text, const TransformResult& result) {
    std::vector<std::string_view> lines = LineViews(text);
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 16);
    size_t k = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (k < result.changed.size() && result.changed[k].first == i) out += result.changed[k++].second;
        else out.append(lines[i]);
        out += "\r\n";
    }
    return out;
}
