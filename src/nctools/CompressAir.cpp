#include "nctools/CompressAir.h"

#include "settings/Settings.h"

namespace {
// The comment state at one position: outside, "(" opens a comment (the "(" is inside);
// inside, ")" closes it (the ")" is outside).
inline void UpdateComment(bool& inComment, char c) {
    if (!inComment) {
        if (c == '(') inComment = true;
    } else if (c == ')') {
        inComment = false;
    }
}
}  // namespace

std::string CompressLine(std::string_view s) {
    std::string out;
    size_t n = s.size();
    if (n == 0) return out;
    out.reserve(n);
    bool inComment = false;
    // The first position is only looked at for the comment: a tab or blank there stays.
    UpdateComment(inComment, s[0]);
    out.push_back(s[0]);
    for (size_t i = 1; i < n; ++i) {
        char c = s[i];
        UpdateComment(inComment, c);
        // A blank after a number byte, before an address letter or at the end of the line.
        // The byte before it is the last one kept, since deletions only happen behind.
        if (!inComment && c == ' ' && IsNumberByte(out.back()) &&
            (i + 1 == n || IsAddressLetter(s[i + 1])))
            continue;
        if (c == '\t') continue;  // inside comments too
        out.push_back(c);
    }
    return out;
}

std::string AirLine(std::string_view s, char separator) {
    std::string out;
    size_t n = s.size();
    out.reserve(n + n / 4 + 1);
    bool inComment = false;
    for (size_t i = 0; i < n; ++i) {
        char c = s[i];
        out.push_back(c);
        if (i + 1 == n) break;  // the last byte is never examined
        UpdateComment(inComment, c);
        if (!inComment && IsNumberByte(c) && IsAddressLetter(s[i + 1])) out.push_back(separator);
    }
    return out;
}

char ReadAirSeparator(const std::string& section) {
    return ReadIniBool(section, "Tab", false) ? '\t' : ' ';
}

std::vector<size_t> CompressLines(std::vector<std::string>& lines) {
    std::vector<size_t> changed;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string t = CompressLine(lines[i]);
        if (t.size() < lines[i].size()) {
            lines[i] = std::move(t);
            changed.push_back(i);
        }
    }
    return changed;
}

std::vector<size_t> AirLines(std::vector<std::string>& lines, char separator) {
    std::vector<size_t> changed;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string t = AirLine(lines[i], separator);
        if (t.size() > lines[i].size()) {
            lines[i] = std::move(t);
            changed.push_back(i);
        }
    }
    return changed;
}
