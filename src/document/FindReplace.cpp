#include "document/FindReplace.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "settings/Strings.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
struct FoldTable {
    std::array<unsigned char, 256> fold{};
    FoldTable() {
        for (int c = 0; c < 256; ++c) fold[static_cast<size_t>(c)] = UpperChar1252(static_cast<unsigned char>(c));
    }
};
const FoldTable& Fold() {
    static const FoldTable t;
    return t;
}

bool HasCase(std::string_view what) {
    const auto& f = Fold().fold;
    for (unsigned char c : what)
        if (f[c] != c || LowerChar1252(c) != c) return true;
    return false;
}

#if !defined(__SSE2__)
// Case-insensitive Horspool over folded bytes.
int64_t FindFolded(std::string_view text, std::string_view what, int64_t start) {
    const auto& f = Fold().fold;
    const size_t m = what.size();
    const size_t n = text.size();
    if (static_cast<size_t>(start) + m > n) return -1;
    std::string pat(m, '\0');
    for (size_t i = 0; i < m; ++i) pat[i] = static_cast<char>(f[static_cast<unsigned char>(what[i])]);
    std::array<size_t, 256> shift;
    shift.fill(m);
    for (size_t i = 0; i + 1 < m; ++i) {
        unsigned char c = static_cast<unsigned char>(pat[i]);
        size_t s = m - 1 - i;
        shift[c] = s;
        shift[LowerChar1252(c)] = s;
        for (int b = 0; b < 256; ++b)  // every byte that folds to c
            if (f[static_cast<size_t>(b)] == c) shift[static_cast<size_t>(b)] = s;
    }
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pat.data());
    const unsigned char last = p[m - 1];
    size_t i = static_cast<size_t>(start);
    while (i + m <= n) {
        unsigned char c = t[i + m - 1];
        if (f[c] == last) {
            size_t j = 0;
            while (j + 1 < m && f[t[i + j]] == p[j]) ++j;
            if (j + 1 >= m) return static_cast<int64_t>(i);
        }
        i += shift[c];
    }
    return -1;
}
#endif
#if defined(__SSE2__)
// The bytes that fold like c: c itself and at most one other (Windows-1252 has no letter
// with three forms).
void Variants(unsigned char c, unsigned char& a, unsigned char& b) {
    const auto& f = Fold().fold;
    a = b = c;
    for (int x = 0; x < 256; ++x)
        if (x != c && f[static_cast<size_t>(x)] == f[c]) b = static_cast<unsigned char>(x);
}

// Sixteen start positions at a time: the two forms of the pattern's first and last byte pick
// the candidates, the fold table decides.
int64_t FindFoldedWide(std::string_view text, std::string_view what, int64_t start) {
    const auto& f = Fold().fold;
    const size_t m = what.size();
    const size_t n = text.size();
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text.data());
    std::string pat(m, '\0');
    for (size_t i = 0; i < m; ++i) pat[i] = static_cast<char>(f[static_cast<unsigned char>(what[i])]);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pat.data());
    unsigned char f1, f2, l1, l2;
    Variants(p[0], f1, f2);
    Variants(p[m - 1], l1, l2);
    const __m128i first1 = _mm_set1_epi8(static_cast<char>(f1));
    const __m128i first2 = _mm_set1_epi8(static_cast<char>(f2));
    const __m128i last1 = _mm_set1_epi8(static_cast<char>(l1));
    const __m128i last2 = _mm_set1_epi8(static_cast<char>(l2));
    auto matchesAt = [&](size_t i) {
        for (size_t j = 0; j < m; ++j)
            if (f[t[i + j]] != p[j]) return false;
        return true;
    };
    size_t i = static_cast<size_t>(start);
    for (; i + m - 1 + 16 <= n; i += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + m - 1));
        __m128i fa = _mm_or_si128(_mm_cmpeq_epi8(a, first1), _mm_cmpeq_epi8(a, first2));
        __m128i lb = _mm_or_si128(_mm_cmpeq_epi8(b, last1), _mm_cmpeq_epi8(b, last2));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(fa, lb)));
        while (mask) {
            unsigned k = static_cast<unsigned>(__builtin_ctz(mask));
            if (matchesAt(i + k)) return static_cast<int64_t>(i + k);
            mask &= mask - 1;
        }
    }
    for (; i + m <= n; ++i)
        if (matchesAt(i)) return static_cast<int64_t>(i);
    return -1;
}
#endif
}  // namespace

int64_t FindText(std::string_view text, std::string_view what, int64_t start) {
    if (what.empty()) return -1;
    if (start < 0) start = 0;
    if (static_cast<uint64_t>(start) >= text.size()) return -1;
    if (!HasCase(what)) {
        const void* r = memmem(text.data() + start, text.size() - static_cast<size_t>(start), what.data(), what.size());
        return r ? static_cast<const char*>(r) - text.data() : -1;
    }
#if defined(__SSE2__)
    return FindFoldedWide(text, what, start);
#else
    return FindFolded(text, what, start);
#endif
}

int64_t LineOfPosition(std::string_view text, int64_t pos) {
    if (pos > static_cast<int64_t>(text.size())) pos = static_cast<int64_t>(text.size());
    if (pos <= 0) return 0;
    return std::count(text.begin(), text.begin() + pos, '\n');
}

namespace {
FindOutcome Search(std::string_view text, const std::string& what, FindState& st, bool resetOnFail) {
    FindOutcome out;
    int64_t p = FindText(text, what, st.searchPos);
    // Every match counts, also one at the first or second position of the text.
    if (p >= 0) {
        out.found = true;
        out.position = p;
        st.searchPos = p + 1;
        st.selStart = p;
        st.selLength = static_cast<int64_t>(what.size());
    } else {
        out.message = kNotFoundText + what;
        if (resetOnFail) st.searchPos = 0;
    }
    return out;
}
}  // namespace

FindOutcome FindDialogFind(std::string_view text, const std::string& what, FindState& st) {
    return Search(text, what, st, false);
}

FindOutcome ReplaceDialogFind(std::string_view text, const std::string& what, FindState& st) {
    return Search(text, what, st, true);
}

ReplaceOutcome ReplaceDialogReplace(std::string& text, const std::string& what, const std::string& with,
                                    FindState& st, bool all) {
    ReplaceOutcome out;
    const int64_t lw = static_cast<int64_t>(what.size());
    const int64_t lr = static_cast<int64_t>(with.size());
    if (what.empty()) {
        out.notFound = true;
        out.message = kNotFoundText + what;
        return out;
    }

    // The first round works on the text itself: the selection may be replaced without a
    // search, and SearchPos may stand anywhere.
    if (st.selLength != lw || st.selStart < 0 || st.selStart + st.selLength > static_cast<int64_t>(text.size())) {
        FindOutcome f = ReplaceDialogFind(text, what, st);
        if (!f.found) {
            out.notFound = true;
            out.message = f.message;
            return out;
        }
    }
    int64_t p = st.selStart;
    text.replace(static_cast<size_t>(p), static_cast<size_t>(lw), with);
    out.replaced = 1;
    out.lastReplacedAt = p;
    st.selStart = p + lr;
    st.selLength = 0;
    // Text taken away without a replacement: the next search starts where it was, so the
    // character that moved into its place is not passed over.
    if (lr == 0 && st.searchPos > p) st.searchPos = p;
    if (!all) return out;

    // Replace all: one pass that builds the new text. The current text is always
    // done + src[ip..]; done ends with the text inserted last, at insStart.
    std::string src;
    src.swap(text);
    std::string done;
    done.reserve(src.size() + src.size() / 8);
    size_t ip = 0;
    int64_t insStart = p;
    int64_t insEnd = p + lr;
    bool inPlace = true;  // done is still empty: positions are those of src
    for (;;) {
        int64_t m = -1;
        if (inPlace) {
            m = FindText(src, what, st.searchPos);
            if (m > insStart && m + lw <= insEnd) m = FindText(src, what, std::max(st.searchPos, insEnd - lw + 1));
        } else {
            // A match may start in the text just inserted (from SearchPos on) and run into
            // the rest; one lying wholly inside it would be found again after every
            // replacement, so the search goes on behind it.
            const int64_t doneSize = static_cast<int64_t>(done.size());
            int64_t from = st.searchPos;
            if (from < doneSize && lw > 1) {
                std::string window = done.substr(static_cast<size_t>(from));
                window.append(src, ip, static_cast<size_t>(lw - 1));
                int64_t w = FindText(window, what, 0);
                if (w >= 0 && from + w + lw <= insEnd) {
                    int64_t again = std::max<int64_t>(0, insEnd - lw + 1 - from);
                    w = FindText(window, what, again);
                }
                if (w >= 0 && from + w < doneSize) m = from + w;
            }
            if (m < 0) {
                int64_t s = std::max<int64_t>(from - doneSize, 0);
                int64_t r = FindText(std::string_view(src).substr(ip), what, s);
                if (r >= 0) m = doneSize + r;
            }
        }
        if (m < 0) {
            st.searchPos = 0;
            out.notFound = true;
            out.message = kNotFoundText + what;
            break;
        }
        st.searchPos = m + 1;
        if (inPlace) {
            done.assign(src, 0, static_cast<size_t>(m));
            ip = static_cast<size_t>(m + lw);
            inPlace = false;
        } else {
            const int64_t doneSize = static_cast<int64_t>(done.size());
            if (m < doneSize) {
                done.resize(static_cast<size_t>(m));
                ip += static_cast<size_t>(m + lw - doneSize);
            } else {
                size_t gap = static_cast<size_t>(m - doneSize);
                done.append(src, ip, gap);
                ip += gap + static_cast<size_t>(lw);
            }
        }
        insStart = static_cast<int64_t>(done.size());
        done += with;
        insEnd = static_cast<int64_t>(done.size());
        ++out.replaced;
        out.lastReplacedAt = insStart;
        st.selStart = insEnd;
        st.selLength = 0;
        if (lr == 0) st.searchPos = insStart;
    }
    if (inPlace) {
        text.swap(src);
    } else {
        done.append(src, ip, std::string::npos);
        text.swap(done);
    }
    return out;
}
