// Colouring and loading a very large program: 100 MB, 2.5 million lines. The figures that
// matter are the whole colouring (style bytes for the text), the line form used per keystroke,
// the loaders on the same file, and putting text and colours into the real text control.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <Qsci/qsciscintilla.h>
#include <Qsci/qsciscintillabase.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "document/Loaders.h"
#include "nctools/Colour.h"
#include "settings/PathResolve.h"

namespace {
constexpr size_t kLines = 2500000;
constexpr size_t kLineBytes = 38;  // + CR LF = 40 bytes a line, 100 MB in all

// A program as the shop writes them: block numbers, moves, comments, now and then a star line.
const std::string& Program() {
    static const std::string text = [] {
        std::string t;
        t.reserve(kLines * (kLineBytes + 2));
        char buf[128];
        for (size_t i = 0; i < kLines; ++i) {
            int n;
            if (i % 1000 == 0)
                n = std::snprintf(buf, sizeof buf, "*** DEL %zu ***", i / 1000);
            else if (i % 7 == 0)
                n = std::snprintf(buf, sizeof buf, "N%zu G01 X%zu.5 (FRES T%zu) Y5", i, i % 977, i % 13);
            else if (i % 11 == 0)
                n = std::snprintf(buf, sizeof buf, "N%zu G00 Z%zu.25 ; SLUTT A) B", i, i % 97);
            else
                n = std::snprintf(buf, sizeof buf, "N%zu G01 X%zu.456 Y-%zu.345 F200 S1200", i,
                                  i % 500, i % 300);
            std::string line(buf, static_cast<size_t>(n));
            line.resize(kLineBytes, ' ');
            t += line;
            t += "\r\n";
        }
        return t;
    }();
    return text;
}

std::string g_written;  // removed at the end

const std::string& ProgramFile() {
    static const std::string path = [] {
        std::string p = "/tmp/skarv-colourbench-" + std::to_string(::getpid()) + ".NC";
        std::FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(Program().data(), 1, Program().size(), f);
        std::fclose(f);
        g_written = p;
        return p;
    }();
    return path;
}

void BM_ColourTextStyles(benchmark::State& state) {
    const std::string& text = Program();
    std::vector<uint8_t> styles(text.size());
    for (auto _ : state) {
        ColourTextStyles(text, styles.data());
        benchmark::DoNotOptimize(styles.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ColourTextStyles)->Unit(benchmark::kMillisecond)->Iterations(3);

// The line form over every line, one reused vector (what a keystroke costs, times 2.5 M).
void BM_ColourLineRuns(benchmark::State& state) {
    const std::string& text = Program();
    std::vector<ColourRun> runs;
    runs.reserve(64);
    size_t total = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < text.size(); i += kLineBytes + 2) {
            runs.clear();
            ColourLine(std::string_view(text.data() + i, kLineBytes), runs, i);
            total += runs.size();
        }
        benchmark::DoNotOptimize(total);
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(kLines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ColourLineRuns)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadTextAsIs(benchmark::State& state) {
    std::string dnc = NativeToDncPath(ProgramFile());
    for (auto _ : state) {
        LineText t;
        bool header = false;
        LoadTextAsIs(dnc, t, header);
        if (t.lineCount != kLines) state.SkipWithError("wrong line count");
    }
}
BENCHMARK(BM_LoadTextAsIs)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadTextFile(benchmark::State& state) {
    std::string dnc = NativeToDncPath(ProgramFile());
    for (auto _ : state) {
        LineText t;
        bool header = false;
        LoadTextFile(dnc, true, t, header);
        if (t.lineCount != kLines) state.SkipWithError("wrong line count");
    }
}
BENCHMARK(BM_LoadTextFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadBinaryFile(benchmark::State& state) {
    std::string dnc = NativeToDncPath(ProgramFile());
    for (auto _ : state) {
        LineText t;
        LoadBinaryFile(dnc, false, t);
        benchmark::DoNotOptimize(t.text.data());
    }
}
BENCHMARK(BM_LoadBinaryFile)->Unit(benchmark::kMillisecond)->Iterations(2);

// Open and colour completely: read the file, put the text into the real control, colour it
// and hand the style bytes to the control.
void BM_OpenAndColourInControl(benchmark::State& state) {
    std::string dnc = NativeToDncPath(ProgramFile());
    QsciScintilla editor;
    editor.SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE, 0L);
    editor.SendScintilla(QsciScintillaBase::SCI_SETEOLMODE, QsciScintillaBase::SC_EOL_CRLF);
    std::vector<uint8_t> styles;
    for (auto _ : state) {
        LineText t;
        bool header = false;
        LoadTextAsIs(dnc, t, header);
        editor.SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0L);
        editor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, t.text.c_str());
        editor.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
        editor.SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 1L);
        long length = editor.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
        const char* p = reinterpret_cast<const char*>(
            editor.SendScintilla(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
        styles.resize(static_cast<size_t>(length));
        ColourTextStyles(std::string_view(p, static_cast<size_t>(length)), styles.data());
        editor.SendScintilla(QsciScintillaBase::SCI_STARTSTYLING, 0UL, 0L);
        editor.SendScintilla(QsciScintillaBase::SCI_SETSTYLINGEX, static_cast<unsigned long>(length),
                             reinterpret_cast<const char*>(styles.data()));
        if (editor.SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT) != static_cast<long>(kLines))
            state.SkipWithError("wrong line count in the control");
    }
}
BENCHMARK(BM_OpenAndColourInControl)->Unit(benchmark::kMillisecond)->Iterations(2);

// One keystroke in that program: colour the caret's line and hand it to the control.
void BM_KeystrokeRecolour(benchmark::State& state) {
    QsciScintilla editor;
    editor.SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE, 0L);
    editor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, Program().c_str());
    long line = static_cast<long>(kLines / 2);
    std::vector<uint8_t> styles(256);
    for (auto _ : state) {
        long start = editor.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
        long end = editor.SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, line);
        const char* p = reinterpret_cast<const char*>(
            editor.SendScintilla(QsciScintillaBase::SCI_GETRANGEPOINTER, start, end - start));
        ColourLineStyles(std::string_view(p, static_cast<size_t>(end - start)), styles.data());
        editor.SendScintilla(QsciScintillaBase::SCI_STARTSTYLING, static_cast<unsigned long>(start), 0L);
        editor.SendScintilla(QsciScintillaBase::SCI_SETSTYLINGEX, static_cast<unsigned long>(end - start),
                             reinterpret_cast<const char*>(styles.data()));
    }
}
BENCHMARK(BM_KeystrokeRecolour)->Unit(benchmark::kMicrosecond);
}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_written.empty()) std::remove(g_written.c_str());
    return 0;
}
