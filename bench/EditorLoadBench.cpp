// A 100 MB program of 2.5 million lines opened in the main window with colouring on: the
// time until the top is coloured and the window takes events (the first slice), the time
// until the whole text is coloured, a keystroke that recolours the caret's line, and a save.
// Whole-program timings of the real window (offscreen); an optional argument gives another
// line count.
#include "BenchSupport.h"
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "editor/EditUnit.h"
#include "ScriptedPrompter.h"
#include "nctools/Colour.h"
#include "settings/KeyStore.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"

namespace {
using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Lines of 40 bytes on average (CR LF included), with address letters, comments and star
// lines as a real program has them.
size_t WriteProgram(const std::string& path, int lines) {
    std::ofstream out(path, std::ios::binary);
    std::string block;
    size_t total = 0;
    char line[96];
    for (int n = 1; n <= lines; ++n) {
        int len;
        if (n % 500 == 1)
            len = std::snprintf(line, sizeof line, "*** DEL %d ***", n / 500 + 1);
        else
            len = std::snprintf(line, sizeof line, "N%07d G01 X%08.3f Z-%07.3f F%04d (FRES)", n,
                                (n % 9973) * 0.125, (n % 503) * 0.5, 100 + n % 900);
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

bool LineColoured(TextControl& c, int line) {
    std::string text = c.Line(line);
    std::vector<uint8_t> cls(text.size());
    ColourLineStyles(text, cls.data());
    int start = c.LineIndex(line);
    for (size_t i = 0; i < text.size(); ++i) {
        TextStyle s = c.StyleAt(start + static_cast<int>(i));
        bool plain = s == TextStyle{};
        if (plain != (cls[i] == 0)) return false;
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    int lines = argc > 1 ? std::atoi(argv[1]) : 2'500'000;
    if (lines <= 0) lines = 2'500'000;
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() / ("skarv-editorbench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "BIG.NC").string();
    const std::string ini = (folder / "Vako.ini").string();
    {
        std::ofstream out(ini, std::ios::binary);
        out << "[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nKatalog=" << folder.string() << "/\r\n";
    }
    SetIniFileName(ini);
    MemoryKeyStore store;
    SetKeyStore(&store);
    WritePersonalInt(kColourSettingName, 1);
    ScriptedPrompter prompter;
    size_t size = WriteProgram(path, lines);

    TTextForm form;
    form.show();
    app.processEvents();
    TextControl& c = form.Text();

    // The first pause of the colouring runs this: the window takes events from here on.
    Clock::time_point usable{};
    bool topColoured = false, hourglassAtTop = true;
    QTimer::singleShot(0, &form, [&] {
        usable = Clock::now();
        topColoured = LineColoured(c, 0) && LineColoured(c, 29);
        hourglassAtTop = form.HourglassShown();
    });
    prompter.answers = {Answer::Yes};  // "Bruke tekstformatering likevel ?"
    auto t0 = Clock::now();
    std::string name = form.LoadDocument(NativeToDncPath(path));
    auto t1 = Clock::now();
    long peak = bench::PeakKb();
    bool asked = prompter.Texts("question").size() == 1;
    bool complete = c.LineCount() == lines && c.TextLength() == static_cast<int>(size);
    bool allColoured = form.Actions().TekstFormatering->isChecked() && LineColoured(c, lines / 2) &&
                       LineColoured(c, lines - 1);
    std::printf("file: %.1f MB, %d lines\n", size / 1e6, c.LineCount());
    std::printf("opened and fully coloured: %.0f ms (size question asked: %s)\n", Ms(t0, t1),
                asked ? "yes" : "NO");
    std::printf("window usable, top coloured: %.0f ms after the start (top coloured: %s, "
                "normal cursor: %s)\n",
                usable == Clock::time_point{} ? -1.0 : Ms(t0, usable), topColoured ? "yes" : "NO",
                hourglassAtTop ? "NO" : "yes");
    std::printf("text complete: %s, coloured to the end: %s, modified: %s\n",
                complete ? "yes" : "NO", allColoured ? "yes" : "NO",
                c.Modified() ? "YES" : "no");
    std::printf("peak memory: %.1f MB\n", peak / 1024.0);

    // Keystrokes in the middle of the program: the change handler recolours the caret's line.
    c.SetSelStart(c.LineIndex(lines / 2) + 9);
    std::vector<double> keys;
    for (int k = 0; k < 200; ++k) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        auto a = Clock::now();
        QApplication::sendEvent(&c, &press);
        app.processEvents();  // the recolouring runs once the edit is complete
        auto b = Clock::now();
        keys.push_back(Ms(a, b));
    }
    const double firstKey = keys.front();  // moves the control's gap to the caret
    std::sort(keys.begin(), keys.end());
    bool keyColoured = LineColoured(c, lines / 2);
    std::printf("keystroke with recolouring of its line: median %.3f ms, 99th %.3f ms, max "
                "%.3f ms; the first at the new place %.3f ms (line coloured: %s)\n",
                keys[keys.size() / 2], keys[keys.size() * 99 / 100], keys.back(), firstKey,
                keyColoured ? "yes" : "NO");

    // Saving the whole program (safe save with backup).
    auto s0 = Clock::now();
    form.SaveDocument(name);
    auto s1 = Clock::now();
    std::printf("save: %.0f ms (%s)\n", Ms(s0, s1), form.LastSaveFailed() ? "FAILED" : "ok");

    // Loading again with colouring off, for comparison.
    form.Actions().TekstFormatering->setChecked(false);
    auto o0 = Clock::now();
    form.LoadDocument(name);
    auto o1 = Clock::now();
    std::printf("opened without colouring: %.0f ms\n", Ms(o0, o1));

    std::error_code ec;
    fs::remove_all(folder, ec);
    SetKeyStore(nullptr);
    return complete && allColoured && topColoured && keyColoured ? 0 : 1;
}
