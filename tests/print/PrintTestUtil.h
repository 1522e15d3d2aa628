#pragma once
// Helpers of the print tests: a fixed clock, a stream that keeps the bytes (the printer
// driver's stand-in for layout checks), the settings of a shop, and the page texts the
// layout must produce.
#include <string>
#include <string_view>
#include <vector>

#include "print/Clock.h"
#include "print/Utskrift.h"

inline LocalTime TestTime() {
    LocalTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 8;
    t.hour = 14;
    t.minute = 5;
    return t;
}
inline constexpr const char* kTestDateTime = "08.12.2026 14:05";

// Keeps what is written; can refuse to open or fail from the n-th write on.
class MemoryStream : public PrintStream {
public:
    std::string bytes;
    bool opened = false;
    bool closed = false;
    bool failOpen = false;
    int failFromWrite = -1;  // 0-based index of the first write that fails
    int writes = 0;
    std::string* keep = nullptr;  // receives the bytes on Close (the stream may be freed)
    bool Open() override {
        opened = !failOpen;
        return opened;
    }
    bool Write(std::string_view b) override {
        if (failFromWrite >= 0 && writes >= failFromWrite) return false;
        ++writes;
        bytes.append(b);
        return true;
    }
    bool Close() override {
        closed = true;
        if (keep) *keep = bytes;
        return true;
    }
};

inline std::string PadRight(std::string s, size_t width) {
    while (s.size() < width) s += ' ';
    return s;
}
inline std::string StarLine(int lineWidth) {
    return "     " + std::string(static_cast<size_t>(lineWidth - 5), '*');
}
inline std::string HeaderText(const std::string& title, int lineWidth = 75) {
    return "\r\n" + PadRight("     " + title, static_cast<size_t>(lineWidth)) + "\r\n" +
           StarLine(lineWidth) + "\r\n";
}
inline std::string FooterText(int page, bool formFeed, int lineWidth = 75) {
    std::string side = "Side: " + std::to_string(page);
    return StarLine(lineWidth) + "\r\n" +
           PadRight(std::string("     Dato: ") + kTestDateTime,
                    static_cast<size_t>(lineWidth) - side.size()) +
           side + (formFeed ? "\f" : "");
}

// Program lines "N10G01X1.5" .. of the given count.
inline std::vector<std::string> ProgramLines(int count) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i)
        lines.push_back("N" + std::to_string(i * 10) + "G01X" + std::to_string(i) + ".5");
    return lines;
}

// Splits bytes at form feeds (a trailing form feed gives no empty last page).
inline std::vector<std::string> SplitPages(const std::string& bytes) {
    std::vector<std::string> pages;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t ff = bytes.find('\f', start);
        if (ff == std::string::npos) ff = bytes.size();
        pages.push_back(bytes.substr(start, ff - start));
        start = ff + 1;
    }
    return pages;
}

// Lines of a text split at CR LF (the last piece, without a line end, included).
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t e = text.find("\r\n", start);
        if (e == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, e - start));
        start = e + 2;
    }
}
