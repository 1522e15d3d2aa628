#pragma once
// Shared by the benchmarks: the big shop-like test program and the process's memory figures.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

// A shop-like program of the given number of lines (about 39 bytes each with CR LF, 2.5
// million lines make some 98 MB): block numbers, spaced and compressed words, comments, tool
// changes, tabs. The moves are a real toolpath: each arc is a half circle from the point
// before it, its centre in the middle of the chord.
inline std::string MakeShopProgram(size_t lines) {
    std::string text;
    text.reserve(lines * 40);
    char buf[160];
    auto xAt = [](size_t i) { return static_cast<double>(i % 9973) * 0.137; };
    auto yAt = [](size_t i) { return -static_cast<double>((i * 7) % 5011) * 0.219; };
    for (size_t i = 0; i < lines; ++i) {
        int n;
        double x = xAt(i), y = yAt(i);
        switch (i % 8) {
        case 0:
            n = std::snprintf(buf, sizeof buf, "N%zu G01 X%.4f Y%.4f Z-1.5000 F250.0", i * 10, x, y);
            break;
        case 1:
            n = std::snprintf(buf, sizeof buf, "N%zuG01X%.4fY%.4fZ-1.5000F250.0", i * 10, x, y);
            break;
        case 2:
            n = std::snprintf(buf, sizeof buf, "N%zu G02 X%.4f Y%.4f I%.4f J%.4f", i * 10, x, y,
                              (x - xAt(i - 1)) / 2, (y - yAt(i - 1)) / 2);
            break;
        case 3:
            n = std::snprintf(buf, sizeof buf, "(KONTUR %zu X %.3f)", i, x);
            break;
        case 4:
            n = std::snprintf(buf, sizeof buf, "N%zu G00 Z5.0000 M09 (RETUR)", i * 10);
            break;
        case 5:
            n = std::snprintf(buf, sizeof buf, "N%zuT%zuM06S1200M03", i * 10, i % 20 + 1);
            break;
        case 6:
            n = std::snprintf(buf, sizeof buf, "N%zu X%.4f\tY%.4f Z-1.5000", i * 10, x, y);
            break;
        default:
            n = std::snprintf(buf, sizeof buf, "G01X%.4fY%.4fZ-1.5F180.5", x, y);
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

// Runs a program and waits; cpuSeconds gets its user + system time (the wall time on a
// shared machine also holds the time other work had the cores), peakKb its peak memory.
inline int Spawn(const std::vector<std::string>& args, const std::string& stdoutFile = std::string(),
                 double* cpuSeconds = nullptr, long* peakKb = nullptr) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (!stdoutFile.empty())
        posix_spawn_file_actions_addopen(&fa, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return -1;
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    if (cpuSeconds)
        *cpuSeconds += ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
                       ru.ru_stime.tv_usec / 1e6;
    if (peakKb) *peakKb = ru.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace bench
