// Find and replace in the main window on a 100 MB program of 2.5 million lines, through the
// replace dialog's buttons: find next from the top to a match near the end, and replace all
// of a word with 100,000 matches (the text back in the control, the caret placed).
#include <QApplication>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "editor/EditUnit.h"
#include "windows/document/FindDialog.h"
#include "ScriptedPrompter.h"
#include "settings/KeyStore.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"

namespace {
double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}
}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    MemoryKeyStore store;
    SetKeyStore(&store);
    ScriptedPrompter prompter;
    // A shop of one machine, so the window's settings come from a file.
    std::string iniPath = (std::filesystem::temp_directory_path() / ("findbench-" + std::to_string(::getpid()) + ".ini")).string();
    std::ofstream(iniPath, std::ios::binary) << "[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nKatalog=C:\\Vako\\Maskin1\\\r\n";
    SetIniFileName(NativeToDncPath(iniPath));
    TTextForm form;
    form.show();

    // 2.5 million lines of 40 bytes; every 25th line holds the word M08.
    const int lines = 2'500'000;
    std::string text;
    text.reserve(static_cast<size_t>(lines) * 40 + 64);
    char line[96];
    for (int n = 1; n <= lines; ++n) {
        int len = std::snprintf(line, sizeof line, "N%07d G01 X%08.3f Z-%07.3f %s", n, (n % 9973) * 0.125,
                                (n % 503) * 0.5, n % 25 == 0 ? "M08" : "F200");
        std::string l(line, static_cast<size_t>(len));
        if (n == lines - 10) l = "N9999999 (SLUTT AV PROGRAM)";
        l.resize(38, ' ');
        text += l;
        text += "\r\n";
    }
    form.Text().SetText(text);
    form.Text().SetSelStart(0);
    app.processEvents();
    std::printf("text: %.1f MB, %d lines\n", static_cast<double>(form.Text().TextLength()) / 1e6,
                form.Text().LineCount());

    // Find next from the top to a match near the end.
    form.Seek1Click();
    form.Windows().FindDialog1->SetFindText("slutt av");
    auto t0 = std::chrono::steady_clock::now();
    form.Windows().FindDialog1->FindNextButton->click();
    auto t1 = std::chrono::steady_clock::now();
    std::printf("find next to line %d: %.1f ms (the selection: %s)\n",
                form.Text().LineFromChar(form.Text().SelStart()), Ms(t0, t1),
                form.Text().SelText().c_str());
    // Again from the top, the text now in the control's own buffer order.
    form.Text().SetSelStart(0);
    form.Seek1Click();
    t0 = std::chrono::steady_clock::now();
    form.Windows().FindDialog1->FindNextButton->click();
    t1 = std::chrono::steady_clock::now();
    std::printf("find next again: %.1f ms\n", Ms(t0, t1));
    form.Windows().FindDialog1->close();

    // Replace all of a word with 100,000 matches.
    form.Text().SetSelStart(0);
    form.Erstatt1Click();
    form.Windows().ReplaceDialog1->SetFindText("M08");
    form.Windows().ReplaceDialog1->SetReplaceText("M09");
    t0 = std::chrono::steady_clock::now();
    form.Windows().ReplaceDialog1->ReplaceAllButton->click();
    t1 = std::chrono::steady_clock::now();
    std::string after = form.Text().Text();
    size_t left = 0, made = 0;
    for (size_t p = after.find("M08"); p != std::string::npos; p = after.find("M08", p + 1)) ++left;
    for (size_t p = after.find("M09"); p != std::string::npos; p = after.find("M09", p + 1)) ++made;
    std::printf("replace all: %.0f ms (%zu replaced, %zu left, message: %s)\n", Ms(t0, t1), made, left,
                prompter.shown.empty() ? "none" : prompter.shown.back().text.c_str());
    app.processEvents();
    SetKeyStore(nullptr);
    std::filesystem::remove(iniPath);
    return left == 0 && made == 100'000 ? 0 : 1;
}
