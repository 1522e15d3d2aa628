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
    CompressLineInto(s, out);
    return out;
}

void CompressLineInto(std::string_view s, std::string& out) {
    out.clear();
    size_t n = s.size();
    if (n == 0) return;
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
}

std::string AirLine(std::string_view s, char separator) {
    std::string out;
    AirLineInto(s, separator, out);
    return out;
}

void AirLineInto(std::string_view s, char separator, std::string& out) {
    out.clear();
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
}

char ReadAirSeparator(const std::string& section) {
    return ReadIniBool(section, "Tab", false) ? '\t' : ' ';
}

size_t CompressLines(TextLines& lines) {
    size_t changed = 0;
    std::string t;
    size_t count = lines.Count();
    for (size_t i = 0; i < count; ++i) {
        std::string_view line = lines.Line(i);
        // A line without a blank or a tab cannot get shorter.
        if (line.find_first_of(" \t") == std::string_view::npos) continue;
        CompressLineInto(line, t);
        if (t.size() < line.size()) {
            lines.Replace(i, t);
            ++changed;
        }
    }
    return changed;
}

size_t AirLines(TextLines& lines, char separator) {
    size_t changed = 0;
    std::string t;
    size_t count = lines.Count();
    for (size_t i = 0; i < count; ++i) {
        std::string_view line = lines.Line(i);
        AirLineInto(line, separator, t);
        if (t.size() > line.size()) {
            lines.Replace(i, t);
            ++changed;
        }
    }
    return changed;
}

std::vector<size_t> CompressLines(std::vector<std::string>& lines) {
    VectorLines list(lines);
    CompressLines(list);
    return std::move(list.changed);
}

std::vector<size_t> AirLines(std::vector<std::string>& lines, char separator) {
    VectorLines list(lines);
    AirLines(list, separator);
    return std::move(list.changed);
}
