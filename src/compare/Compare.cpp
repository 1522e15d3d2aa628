#include "compare/Compare.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>

namespace {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Bytes of the block number at the start of a line, with the blanks after it: the block
// character and its digits ("N10 "), the digits alone in the Heidenhain dialect ("5 "). A
// skipped block ("/N10") keeps its "/": keep is 1 then.
size_t BlockNumberLength(std::string_view line, const BlockModel& model, size_t& keep) {
    keep = 0;
    size_t p = 0;
    if (model.heidenhain) {
        while (p < line.size() && IsBlank(line[p])) ++p;
        size_t digits = p;
        while (p < line.size() && IsDigit(line[p])) ++p;
        if (p == digits) return 0;
    } else {
        if (line.size() < 2) return 0;
        if (line[0] == '/' && line[1] == 'N') {
            keep = 1;
            p = 2;
        } else if (model.blockChars.test(static_cast<unsigned char>(line[0]))) {
            p = 1;
        } else {
            return 0;
        }
        while (p < line.size() && IsDigit(line[p])) ++p;
    }
    while (p < line.size() && IsBlank(line[p])) ++p;
    return p;
}

// A number at s[i]: an optional sign (only right after a letter or "="), digits, a point and
// digits; at least one digit. Returns its length, 0 when none starts here.
size_t NumberLength(std::string_view s, size_t i, char before) {
    size_t p = i;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) {
        if (!(IsLetter(before) || before == '=')) return 0;
        ++p;
    }
    size_t digits = 0;
    while (p < s.size() && IsDigit(s[p])) ++p, ++digits;
    if (p < s.size() && s[p] == '.') {
        ++p;
        while (p < s.size() && IsDigit(s[p])) ++p, ++digits;
    }
    return digits ? p - i : 0;
}

// A number in one form for its value: no "+", no leading or trailing zeros, no point without
// decimals, no sign on zero ("X10." "X10.000" "X+010" all read X10). Done on the digits, so
// no value is rounded.
void AppendCanonical(std::string_view num, std::string& out) {
    size_t p = 0;
    bool negative = false;
    if (num[p] == '+' || num[p] == '-') negative = num[p++] == '-';
    size_t intStart = p;
    while (p < num.size() && IsDigit(num[p])) ++p;
    std::string_view whole = num.substr(intStart, p - intStart);
    std::string_view frac;
    if (p < num.size() && num[p] == '.') frac = num.substr(p + 1);
    while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
    while (!frac.empty() && frac.back() == '0') frac.remove_suffix(1);
    if (whole.empty() && frac.empty()) {
        out += '0';
        return;
    }
    if (negative) out += '-';
    if (whole.empty()) out += '0';
    else out.append(whole);
    if (!frac.empty()) {
        out += '.';
        out.append(frac);
    }
}

// The words of a line for the word marks: [start, end) with their kind.
enum class TokenKind { Blank, Word, Comment, Other };
struct Token {
    size_t start, end;
    TokenKind kind;
};
void Tokenise(std::string_view s, std::vector<Token>& out) {
    out.clear();
    size_t i = 0, n = s.size();
    while (i < n) {
        char c = s[i];
        size_t start = i;
        if (c == '(') {
            size_t close = s.find(')', i + 1);
            i = close == std::string_view::npos ? n : close + 1;
            out.push_back({start, i, TokenKind::Comment});
        } else if (c == ';') {
            out.push_back({start, n, TokenKind::Comment});
            i = n;
        } else if (IsBlank(c)) {
            while (i < n && IsBlank(s[i])) ++i;
            out.push_back({start, i, TokenKind::Blank});
        } else if (IsLetter(c) || IsDigit(c) || c == '.') {
            while (i < n && IsLetter(s[i])) ++i;
            char before = i > start ? s[i - 1] : ' ';
            size_t num = NumberLength(s, i, before);
            i += num;
            if (i == start) ++i;  // a lone point
            out.push_back({start, i, TokenKind::Word});
        } else {
            out.push_back({start, i + 1, TokenKind::Other});
            ++i;
        }
    }
}

// A word as the options compare it.
void TokenKey(std::string_view text, TokenKind kind, const CompareOptions& options,
              std::string& key) {
    key.clear();
    if (kind != TokenKind::Word || !options.byValue) {
        key.assign(text);
        return;
    }
    size_t i = 0;
    while (i < text.size() && IsLetter(text[i])) key += text[i++];
    if (i < text.size()) AppendCanonical(text.substr(i), key);
}

// ---------------------------------------------------------------- the line diff
class LineDiff {
public:
    LineDiff(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b,
             std::vector<DiffHunk>& hunks)
        : a_(a), b_(b), hunks_(hunks) {}
    void Solve(size_t a0, size_t a1, size_t b0, size_t b1, int depth);

private:
    // Gaps this small go to dtl at once; a gap larger than kMaxDtl without a line found once
    // on each side is one change of the whole gap (dtl's time grows with the gap times its
    // differences, so a huge gap of nothing in common could run for hours).
    static constexpr size_t kSmallGap = 2000;
    static constexpr size_t kMaxDtl = 200000;
    static constexpr int kMaxDepth = 8;

    void Emit(size_t a0, size_t na, size_t b0, size_t nb);
    void Dtl(size_t a0, size_t a1, size_t b0, size_t b1);
    void Anchors(size_t a0, size_t a1, size_t b0, size_t b1,
                 std::vector<std::pair<uint32_t, uint32_t>>& out);

    const std::vector<uint64_t>& a_;
    const std::vector<uint64_t>& b_;
    std::vector<DiffHunk>& hunks_;
};

void LineDiff::Emit(size_t a0, size_t na, size_t b0, size_t nb) {
    if (na == 0 && nb == 0) return;
    if (!hunks_.empty()) {
        DiffHunk& last = hunks_.back();
        if (last.leftFirst + last.leftCount == a0 && last.rightFirst + last.rightCount == b0) {
            last.leftCount += na;
            last.rightCount += nb;
            return;
        }
    }
    hunks_.push_back({a0, na, b0, nb});
}

void LineDiff::Solve(size_t a0, size_t a1, size_t b0, size_t b1, int depth) {
    while (a0 < a1 && b0 < b1 && a_[a0] == b_[b0]) ++a0, ++b0;
    while (a0 < a1 && b0 < b1 && a_[a1 - 1] == b_[b1 - 1]) --a1, --b1;
    if (a0 == a1 || b0 == b1) {
        Emit(a0, a1 - a0, b0, b1 - b0);
        return;
    }
    size_t n = a1 - a0, m = b1 - b0;
    if (n + m <= kSmallGap) {
        Dtl(a0, a1, b0, b1);
        return;
    }
    std::vector<std::pair<uint32_t, uint32_t>> anchors;
    if (depth < kMaxDepth) Anchors(a0, a1, b0, b1, anchors);
    if (anchors.empty()) {
        if (n + m <= kMaxDtl) Dtl(a0, a1, b0, b1);
        else Emit(a0, n, b0, m);
        return;
    }
    size_t pa = a0, pb = b0;
    for (auto [i, j] : anchors) {
        Solve(pa, i, pb, j, depth + 1);
        pa = i + 1;
        pb = j + 1;
    }
    Solve(pa, a1, pb, b1, depth + 1);
}

void LineDiff::Dtl(size_t a0, size_t a1, size_t b0, size_t b1) {
    std::vector<uint64_t> sa(a_.begin() + a0, a_.begin() + a1);
    std::vector<uint64_t> sb(b_.begin() + b0, b_.begin() + b1);
    dtl::Diff<uint64_t, std::vector<uint64_t>> diff(sa, sb, true);
    diff.compose();
    size_t ia = a0, ib = b0;
    size_t hunkA = a0, hunkB = b0, na = 0, nb = 0;
    for (const auto& e : diff.getSes().getSequence()) {
        switch (e.second.type) {
            case dtl::SES_COMMON:
                Emit(hunkA, na, hunkB, nb);
                ++ia, ++ib;
                hunkA = ia, hunkB = ib, na = nb = 0;
                break;
            case dtl::SES_DELETE:
                ++ia, ++na;
                break;
            case dtl::SES_ADD:
                ++ib, ++nb;
                break;
        }
    }
    Emit(hunkA, na, hunkB, nb);
}

// Lines found exactly once in each side of the gap, paired, and the longest run of pairs
// in the same order on both sides: the points the rest of the gap is split at.
void LineDiff::Anchors(size_t a0, size_t a1, size_t b0, size_t b1,
                       std::vector<std::pair<uint32_t, uint32_t>>& out) {
    constexpr uint32_t kNone = 0, kMany = 0xFFFFFFFFu;
    struct Slot {
        uint64_t key;
        uint32_t left;   // line + 1, kMany when it repeats
        uint32_t right;  // the same on the right
    };
    size_t n = a1 - a0;
    size_t size = 16;
    while (size < n + n / 2) size <<= 1;
    std::vector<Slot> table(size, Slot{0, kNone, kNone});
    const size_t mask = size - 1;
    auto find = [&](uint64_t key) -> Slot& {
        size_t h = (key ^ (key >> 29)) * 0x9E3779B97F4A7C15ull;
        size_t at = (h >> 20) & mask;
        while (table[at].left != kNone && table[at].key != key) at = (at + 1) & mask;
        return table[at];
    };
    for (size_t i = a0; i < a1; ++i) {
        Slot& s = find(a_[i]);
        if (s.left == kNone) {
            s.key = a_[i];
            s.left = static_cast<uint32_t>(i + 1);
        } else {
            s.left = kMany;
        }
    }
    for (size_t j = b0; j < b1; ++j) {
        Slot& s = find(b_[j]);
        if (s.left == kNone) continue;
        s.right = s.right == kNone ? static_cast<uint32_t>(j + 1) : kMany;
    }
    std::vector<std::pair<uint32_t, uint32_t>> pairs;  // (left, right) in the right's order
    for (size_t j = b0; j < b1; ++j) {
        const Slot& s = find(b_[j]);
        if (s.left == kNone || s.left == kMany || s.right != j + 1) continue;
        pairs.emplace_back(s.left - 1, static_cast<uint32_t>(j));
    }
    std::vector<Slot>().swap(table);
    if (pairs.empty()) return;
    // The longest increasing run of left lines (patience sorting).
    std::vector<uint32_t> tails;  // index into pairs of the smallest tail of each length
    std::vector<uint32_t> before(pairs.size());
    for (uint32_t k = 0; k < pairs.size(); ++k) {
        uint32_t v = pairs[k].first;
        auto it = std::lower_bound(tails.begin(), tails.end(), v,
                                   [&](uint32_t idx, uint32_t val) { return pairs[idx].first < val; });
        before[k] = it == tails.begin() ? kMany : *(it - 1);
        if (it == tails.end()) tails.push_back(k);
        else *it = k;
    }
    out.resize(tails.size());
    uint32_t k = tails.back();
    for (size_t r = tails.size(); r-- > 0;) {
        out[r] = pairs[k];
        k = before[k];
    }
}

void HashLines(const std::vector<std::string_view>& lines, const BlockModel& model,
               const CompareOptions& options, std::vector<uint64_t>& out) {
    out.resize(lines.size());
    std::hash<std::string_view> hash;
    bool plain = !options.ignoreNumbers && !options.ignoreBlanks && !options.byValue;
    std::string buffer;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (plain) {
            out[i] = hash(lines[i]);
        } else {
            NormaliseLine(lines[i], model, options, buffer);
            out[i] = hash(buffer);
        }
    }
}

void AppendRange(std::string& out, size_t first, size_t count) {
    // "@@ -l,n": the first line (1-based); with no lines, the line before them.
    out += std::to_string(count == 0 ? first : first + 1);
    if (count != 1) {
        out += ',';
        out += std::to_string(count);
    }
}

}  // namespace

std::vector<std::string_view> LineViews(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(text.size() / 32 + 1);
    size_t start = 0, i = 0, n = text.size();
    while (i < n) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            const void* hit = std::memchr(text.data() + i, '\n', n - i);
            size_t lf = hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : n;
            const void* cr = std::memchr(text.data() + i, '\r', lf - i);
            i = cr ? static_cast<size_t>(static_cast<const char*>(cr) - text.data()) : lf;
        }
    }
    if (start < n) lines.push_back(text.substr(start));
    return lines;
}

void NormaliseLine(std::string_view line, const BlockModel& model, const CompareOptions& options,
                   std::string& out) {
    out.clear();
    size_t i = 0, n = line.size();
    if (options.ignoreNumbers) {
        size_t keep = 0;
        size_t skip = BlockNumberLength(line, model, keep);
        if (skip) {
            out.append(line.substr(0, keep));
            i = skip;
        }
    }
    char before = ' ';
    while (i < n) {
        char c = line[i];
        if (c == '(' || c == ';') {
            size_t end = n;
            if (c == '(') {
                size_t close = line.find(')', i + 1);
                if (close != std::string_view::npos) end = close + 1;
            }
            out.append(line.substr(i, end - i));
            i = end;
            before = ')';
            continue;
        }
        if (options.ignoreBlanks && IsBlank(c)) {
            ++i;
            continue;
        }
        if (options.byValue && !IsDigit(before) && before != '.') {
            size_t num = NumberLength(line, i, before);
            if (num) {
                AppendCanonical(line.substr(i, num), out);
                i += num;
                before = '0';
                continue;
            }
        }
        out += c;
        before = c;
        ++i;
    }
}

CompareResult CompareLines(const std::vector<std::string_view>& left,
                           const std::vector<std::string_view>& right, const BlockModel& model,
                           const CompareOptions& options) {
    CompareResult r;
    r.leftLines = left.size();
    r.rightLines = right.size();
    std::vector<uint64_t> a, b;
    // The two sides are read at once on two cores.
    std::thread other([&] { HashLines(left, model, options, a); });
    HashLines(right, model, options, b);
    other.join();
    LineDiff(a, b, r.hunks).Solve(0, a.size(), 0, b.size(), 0);
    for (const DiffHunk& h : r.hunks) {
        r.changed += h.Changed();
        r.removed += h.Removed();
        r.added += h.Added();
    }
    return r;
}

CompareResult ComparePrograms(std::string_view left, std::string_view right,
                              const BlockModel& model, const CompareOptions& options) {
    std::vector<std::string_view> a;
    std::thread other([&] { a = LineViews(left); });
    std::vector<std::string_view> b = LineViews(right);
    other.join();
    return CompareLines(a, b, model, options);
}

WordMarks ChangedWords(std::string_view left, std::string_view right, const BlockModel& model,
                       const CompareOptions& options) {
    struct Side {
        std::vector<Token> tokens;
        std::vector<std::string> keys;
        std::vector<size_t> index;  // token of each key
    } sides[2];
    std::string_view lines[2] = {left, right};
    std::string key;
    for (int s = 0; s < 2; ++s) {
        Side& side = sides[s];
        Tokenise(lines[s], side.tokens);
        size_t keep = 0;
        size_t number = options.ignoreNumbers ? BlockNumberLength(lines[s], model, keep) : 0;
        for (size_t t = 0; t < side.tokens.size(); ++t) {
            const Token& tok = side.tokens[t];
            if (tok.start >= keep && tok.end <= number) continue;
            if (options.ignoreBlanks && tok.kind == TokenKind::Blank) continue;
            TokenKey(lines[s].substr(tok.start, tok.end - tok.start), tok.kind, options, key);
            side.keys.push_back(key);
            side.index.push_back(t);
        }
    }
    WordMarks marks;
    dtl::Diff<std::string, std::vector<std::string>> diff(sides[0].keys, sides[1].keys, true);
    diff.compose();
    size_t ia = 0, ib = 0;
    auto mark = [](std::vector<ByteSpan>& spans, const Token& tok) {
        if (!spans.empty() && spans.back().start + spans.back().length == tok.start) {
            spans.back().length = tok.end - spans.back().start;
            return;
        }
        spans.push_back({tok.start, tok.end - tok.start});
    };
    for (const auto& e : diff.getSes().getSequence()) {
        if (e.second.type == dtl::SES_COMMON) {
            ++ia, ++ib;
        } else if (e.second.type == dtl::SES_DELETE) {
            mark(marks.left, sides[0].tokens[sides[0].index[ia++]]);
        } else {
            mark(marks.right, sides[1].tokens[sides[1].index[ib++]]);
        }
    }
    return marks;
}

SideBySide AlignSideBySide(const std::vector<std::string_view>& left,
                           const std::vector<std::string_view>& right, const CompareResult& result) {
    SideBySide out;
    size_t bytes = 0;
    for (std::string_view l : left) bytes += l.size() + 2;
    out.left.reserve(bytes + 64);
    out.right.reserve(bytes + 64);
    auto add = [](std::string& pane, std::string_view line) {
        pane.append(line);
        pane += "\r\n";
    };
    size_t a = 0, b = 0, row = 0;
    auto common = [&](size_t untilA) {
        for (; a < untilA && b < right.size(); ++row) {
            add(out.left, left[a++]);
            add(out.right, right[b++]);
        }
    };
    for (const DiffHunk& h : result.hunks) {
        common(h.leftFirst);
        a = h.leftFirst;
        b = h.rightFirst;
        out.hunkRows.push_back(row);
        const size_t n = std::max(h.leftCount, h.rightCount), changed = h.Changed();
        for (size_t k = 0; k < n; ++k, ++row) {
            add(out.left, k < h.leftCount ? left[a + k] : std::string_view());
            add(out.right, k < h.rightCount ? right[b + k] : std::string_view());
            const RowKind kind = k < changed ? RowKind::Changed
                                 : k < h.leftCount ? RowKind::Removed
                                                   : RowKind::Added;
            out.rows.push_back({row, kind, a + k, b + k});
        }
        a += h.leftCount;
        b += h.rightCount;
    }
    common(left.size());
    return out;
}

std::string UnifiedDiff(const std::vector<std::string_view>& left,
                        const std::vector<std::string_view>& right, const CompareResult& result,
                        const std::string& leftName, const std::string& rightName,
                        size_t context) {
    std::string out;
    if (result.hunks.empty()) return out;
    out += "--- " + leftName + "\n+++ " + rightName + "\n";
    const auto& hunks = result.hunks;
    size_t k = 0;
    while (k < hunks.size()) {
        // Differences whose context touches go into one group.
        size_t last = k;
        while (last + 1 < hunks.size() &&
               hunks[last + 1].leftFirst - (hunks[last].leftFirst + hunks[last].leftCount) <=
                   2 * context)
            ++last;
        size_t before = std::min(context, hunks[k].leftFirst);
        size_t aStart = hunks[k].leftFirst - before, bStart = hunks[k].rightFirst - before;
        size_t aEnd = std::min(left.size(), hunks[last].leftFirst + hunks[last].leftCount + context);
        // After the last difference the lines are common again: the right side is shifted.
        size_t afterA = hunks[last].leftFirst + hunks[last].leftCount;
        size_t afterB = hunks[last].rightFirst + hunks[last].rightCount;
        size_t bEnd = afterB + (aEnd - afterA);
        out += "@@ -";
        AppendRange(out, aStart, aEnd - aStart);
        out += " +";
        AppendRange(out, bStart, bEnd - bStart);
        out += " @@\n";
        size_t ia = aStart, ib = bStart;
        for (size_t h = k; h <= last; ++h) {
            for (; ia < hunks[h].leftFirst; ++ia, ++ib) (out += ' ').append(left[ia]) += '\n';
            for (size_t i = 0; i < hunks[h].leftCount; ++i, ++ia) (out += '-').append(left[ia]) += '\n';
            for (size_t i = 0; i < hunks[h].rightCount; ++i, ++ib) (out += '+').append(right[ib]) += '\n';
        }
        for (; ia < aEnd; ++ia, ++ib) (out += ' ').append(left[ia]) += '\n';
        k = last + 1;
    }
    return out;
}

std::string CountsText(const CompareResult& result) {
    if (result.Equal()) return kNoDifferencesText;
    return std::to_string(result.changed) + " endret, " + std::to_string(result.added) +
           " lagt til, " + std::to_string(result.removed) + " fjernet";
}
