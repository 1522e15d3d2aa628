#include "nctools/LineList.h"

#include <cstring>

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t n = text.size();
    size_t start = 0;
    size_t i = 0;
    while (i < n) {
        char c = text[i];
        if (c == '\n' || c == '\r') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
            start = i;
            continue;
        }
        const void* hit = nullptr;
        // Jump to the next line end quickly.
        const char* p = text.data() + i;
        size_t rest = n - i;
        const void* lf = std::memchr(p, '\n', rest);
        size_t stop = lf ? static_cast<const char*>(lf) - text.data() : n;
        hit = std::memchr(p, '\r', stop - i);
        i = hit ? static_cast<const char*>(hit) - text.data() : stop;
    }
    if (start < n) lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
    size_t total = 0;
    for (const auto& l : lines) total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}
