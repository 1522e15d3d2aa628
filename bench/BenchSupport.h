#pragma once
// Shared by the benchmarks: the big shop-like test program and the process's memory figures.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

// A shop-like program of the given number of lines (about 41 bytes each with CR LF): block
// numbers, spaced and compressed words, comments, tool changes, tabs.
inline std::string MakeShopProgram(size_t lines) {
    std::string text;
    text.reserve(lines * 42);
    char buf[128];
    for (size_t i = 0; i < lines; ++i) {
        int n;
        double x = (i % 9973) * 0.137, y = -((i * 7) % 5011) * 0.219;
        switch (i % 8) {
        case 0:
            n = std::snprintf(buf, sizeof buf, "N%zu G01 X%.3f Y%.3f Z-1.5 F250", i * 10, x, y);
            break;
        case 1:
            n = std::snprintf(buf, sizeof buf, "N%zuG01X%.3fY%.3fZ-1.5F250", i * 10, x, y);
            break;
        case 2:
            n = std::snprintf(buf, sizeof buf, "N%zu G02 X%.3f Y%.3f I2.5 J0.", i * 10, x, y);
            break;
        case 3:
            n = std::snprintf(buf, sizeof buf, "(KONTUR %zu X %.1f)", i, x);
            break;
        case 4:
            n = std::snprintf(buf, sizeof buf, "N%zu G00 Z5.0 M09 (RETUR)", i * 10);
            break;
        case 5:
            n = std::snprintf(buf, sizeof buf, "N%zuT%zuM6S1200M3", i * 10, i % 20 + 1);
            break;
        case 6:
            n = std::snprintf(buf, sizeof buf, "N%zu X%.3f\tY%.3f", i * 10, x, y);
            break;
        default:
            n = std::snprintf(buf, sizeof buf, "G01X%.3fY%.3fF180.5", x, y);
            break;
        }
        text.append(buf, static_cast<size_t>(n));
        text += "\r\n";
    }
    return text;
}

// A value in kB from /proc/self/status ("VmHWM:" peak, "VmRSS:" current); -1 when missing.
inline long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = field;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    return -1;
}
inline long PeakKb() { return StatusKb("VmHWM:"); }
inline long CurrentKb() { return StatusKb("VmRSS:"); }

}  // namespace bench
