// Fuzz target: two programs (the bytes split at the first NUL; the first byte chooses the
// options and the dialect) compared. The hunks must rebuild the right program from the left,
// the word marks must lie inside their lines, and a program equals itself.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "compare/Compare.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint8_t flags = data[0];
    std::string_view all(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t nul = all.find('\0');
    std::string_view left = all.substr(0, nul), right = nul == std::string_view::npos ? all : all.substr(nul + 1);
    CompareOptions o;
    o.ignoreNumbers = flags & 1;
    o.ignoreBlanks = flags & 2;
    o.byValue = flags & 4;
    BlockModel m;
    m.heidenhain = flags & 8;
    m.blockChars.set('N');
    if (flags & 16) m.blockChars.set(':');
    std::vector<std::string_view> a = LineViews(left), b = LineViews(right);
    CompareResult r = CompareLines(a, b, m, o);
    size_t ia = 0, ib = 0;
    for (const DiffHunk& h : r.hunks) {
        if (h.leftFirst < ia || h.rightFirst < ib || h.leftFirst - ia != h.rightFirst - ib) abort();
        if (h.leftFirst + h.leftCount > a.size() || h.rightFirst + h.rightCount > b.size()) abort();
        std::string na, nb;
        // The lines between differences are equal as the options see them.
        for (; ia < h.leftFirst; ++ia, ++ib) {
            NormaliseLine(a[ia], m, o, na);
            NormaliseLine(b[ib], m, o, nb);
            if (na != nb) abort();
        }
        for (size_t k = 0; k < h.Changed(); ++k) {
            WordMarks w = ChangedWords(a[h.leftFirst + k], b[h.rightFirst + k], m, o);
            for (const ByteSpan& s : w.left)
                if (s.start + s.length > a[h.leftFirst + k].size()) abort();
            for (const ByteSpan& s : w.right)
                if (s.start + s.length > b[h.rightFirst + k].size()) abort();
        }
        ia += h.leftCount;
        ib += h.rightCount;
    }
    if (a.size() - ia != b.size() - ib) abort();
    if (!CompareLines(a, a, m, o).Equal()) abort();
    UnifiedDiff(a, b, r, "A", "B");
    return 0;
}
