// Colouring and loading a very large program: 100 MB, 2.5 million lines. The figures that
// matter are the whole colouring (style bytes for the text), the line form over every line, the
// loaders on the same file, putting text and colours into the real text control, and a
// keystroke typed into the program's text control with its colouring on.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QTest>
#include <Qsci/qsciscintilla.h>
#include <Qsci/qsciscintillabase.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "document/Loaders.h"
#include "editor/EditUnitColour.h"
#include "nctools/Colour.h"
#include "settings/PathResolve.h"
#include "widgets/TextControl.h"

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

// One keystroke in that program, as the user makes it: a key typed in the middle of the
// program in the text control with colouring on, and the caret's line coloured again when the
// edit is complete; then Backspace takes the character out again. Time per keystroke.
void BM_KeystrokeRecolour(benchmark::State& state) {
    TextControl control;
    control.resize(800, 600);
    control.show();
    QAction onOff;
    onOff.setCheckable(true);
    onOff.setChecked(true);
    bool loading = true;
    Colouring colouring(control, onOff, Colouring::Window{loading, [](bool) {}});
    control.SetText(Program());
    loading = false;
    const int line = static_cast<int>(kLines / 2) + 1;  // a line of the usual kind
    const int start = control.LineIndex(line);
    const std::string before = control.Line(line);
    control.SetSelStart(start + 4);  // inside the block number
    QApplication::processEvents();
    for (auto _ : state) {
        QTest::keyClick(&control, Qt::Key_X);
        QApplication::processEvents();  // the recolouring runs when the edit is complete
        QTest::keyClick(&control, Qt::Key_Backspace);
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * 2);
    // The keys reached the program and its line is coloured: its block letter is an address.
    QTest::keyClick(&control, Qt::Key_X);
    QApplication::processEvents();
    const bool typed = control.Line(line) == before.substr(0, 4) + "X" + before.substr(4);
    const TextStyle address = control.StyleAt(start);
    const TextStyle typedStyle = control.StyleAt(start + 4);
    if (!typed || !address.bold || !typedStyle.bold || address.rgb != typedStyle.rgb)
        state.SkipWithError("the keystroke was not typed or its line not coloured");
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
