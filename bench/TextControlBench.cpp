// Loading a 100 MB program of 2.5 million lines into the text control: the time of the load
// and the process's peak memory, against the file's size.
#include "BenchSupport.h"
#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "widgets/TextControl.h"

namespace {

// 2.5 million lines of 40 bytes on average (CR LF included): 100 MB.
size_t WriteProgram(const std::string& path, int lines) {
    std::ofstream out(path, std::ios::binary);
    std::string block;
    size_t total = 0;
    char line[96];
    for (int n = 1; n <= lines; ++n) {
        int len = std::snprintf(line, sizeof line, "N%07d G01 X%08.3f Z-%07.3f F%04d (ø)", n,
                                (n % 9973) * 0.125, (n % 503) * 0.5, 100 + n % 900);
        // Pad to 38 characters and end with CR LF.
        std::string l(line, static_cast<size_t>(len));
        l.resize(38, ' ');
        block += l;
        block += "\r\n";
        if (block.size() > (1u << 20)) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
            total += block.size();
            block.clear();
        }
    }
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    total += block.size();
    return total;
}
}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::string path = (std::filesystem::temp_directory_path() /
                        ("skarv-bench-" + std::to_string(::getpid()) + ".nc")).string();
    // An optional argument gives another line count (for profiling).
    int lines = argc > 1 ? std::atoi(argv[1]) : 2'500'000;
    if (lines <= 0) lines = 2'500'000;
    size_t size = WriteProgram(path, lines);
    TextControl control;
    control.resize(640, 480);
    control.show();
    app.processEvents();
    long before = bench::CurrentKb();

    auto t0 = std::chrono::steady_clock::now();
    {
        // As a loader does it: the file streamed in pieces, in the update bracket.
        std::ifstream in(path, std::ios::binary);
        std::string piece(1 << 22, '\0');
        control.BeginUpdate();
        control.Clear();
        control.Reserve(size);
        while (in) {
            in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
            std::streamsize got = in.gcount();
            if (got <= 0) break;
            control.AppendText(std::string_view(piece.data(), static_cast<size_t>(got)));
        }
        control.SetModified(false);
        control.EndUpdate();
    }
    auto t1 = std::chrono::steady_clock::now();
    app.processEvents();  // the first paint
    auto t2 = std::chrono::steady_clock::now();
    long peak = bench::PeakKb();

    double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
    double paint = std::chrono::duration<double, std::milli>(t2 - t1).count();
    std::printf("file: %.1f MB, %d lines\n", size / 1e6, control.LineCount());
    std::printf("load: %.0f ms (first paint %.0f ms)\n", ms, paint);
    std::printf("peak memory: %.1f MB = %.2f x the file (process before the load: %.1f MB)\n",
                peak / 1024.0, peak * 1024.0 / static_cast<double>(size), before / 1024.0);
    bool ok = control.LineCount() == lines && control.TextLength() == static_cast<int>(size);
    std::printf("text complete: %s\n", ok ? "yes" : "NO");

    // The whole text back out, as a save or a tool reads it.
    auto t3 = std::chrono::steady_clock::now();
    std::string all = control.Text();
    auto t4 = std::chrono::steady_clock::now();
    std::printf("read back: %.0f ms\n", std::chrono::duration<double, std::milli>(t4 - t3).count());
    // Find at the very end.
    auto t5 = std::chrono::steady_clock::now();
    int at = control.FindText("n" + std::to_string(lines), 0);
    auto t6 = std::chrono::steady_clock::now();
    std::printf("find at the end: %.0f ms (position %d)\n",
                std::chrono::duration<double, std::milli>(t6 - t5).count(), at);
    // A line-by-line loader (the program's own text loader adds one line at a time).
    std::vector<std::string> lineList = control.AllLines();
    auto t7 = std::chrono::steady_clock::now();
    control.BeginUpdate();
    control.Clear();
    control.Reserve(size);
    for (const auto& l : lineList) control.AddLine(l);
    control.EndUpdate();
    auto t8 = std::chrono::steady_clock::now();
    std::printf("line by line (AddLine x %zu): %.0f ms\n", lineList.size(),
                std::chrono::duration<double, std::milli>(t8 - t7).count());
    // A tool rewriting every line (renumbering through the line list).
    auto t9 = std::chrono::steady_clock::now();
    control.BeginUpdate();
    for (int i = 0; i < 100000; ++i) control.SetLine(i, lineList[static_cast<size_t>(i)] + " ");
    control.EndUpdate();
    auto t10 = std::chrono::steady_clock::now();
    std::printf("SetLine x 100000 at the start: %.0f ms\n",
                std::chrono::duration<double, std::milli>(t10 - t9).count());
    ok = ok && control.LineCount() == lines;
    std::filesystem::remove(path);
    return ok ? 0 : 1;
}
