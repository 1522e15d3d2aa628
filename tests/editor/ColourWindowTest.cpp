// Syntax colouring in the real main window (offscreen, real text control): the colours that
// reach the control, the size questions, typing, the slices of a whole recolouring with the
// user at work in its pauses, the resource failure, coloured log files and real programs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

#include "WindowTest.h"
#include "document/AppTitle.h"
#include "editor/EditUnit.h"
#include "nctools/Colour.h"
#include "settings/PathResolve.h"
#include "settings/Recent.h"
#include "settings/Settings.h"

namespace {
// One letter per attribute set the colouring uses: program text R (address), G (comment),
// B (star line), "." (plain); log text r, m, k, b, g (bold colours).
char ClassLetter(const TextStyle& s) {
    if (s == TextStyle{}) return '.';
    if (s == TextStyle{0x0000FF, false, false}) return 'B';
    if (s == TextStyle{0x008000, false, true}) return 'G';
    if (s == TextStyle{0xFF0000, true, false}) return 'R';
    if (s == TextStyle{0xFF00FF, true, false}) return 'm';
    if (s == TextStyle{0x000000, true, false}) return 'k';
    if (s == TextStyle{0x0000FF, true, false}) return 'b';
    if (s == TextStyle{0x008000, true, false}) return 'g';
    return '?';
}

std::string Letters(TextControl& c, int line) {
    std::string out;
    int start = c.LineIndex(line);
    size_t n = c.Line(line).size();
    for (size_t i = 0; i < n; ++i) out += ClassLetter(c.StyleAt(start + static_cast<int>(i)));
    return out;
}

// What the core's rule says of a line, in the same letters.
std::string Expected(const std::string& line) {
    std::vector<uint8_t> cls(line.size());
    ColourLineStyles(line, cls.data());
    std::string out;
    for (uint8_t c : cls) out += ".BGR"[c];
    return out;
}

std::string Program(int lines) {
    std::string s;
    for (int i = 1; i <= lines; ++i) s += "N" + std::to_string(i) + " G01 X5 (A)\r\n";
    return s;
}

class ColourWindow : public WindowTest {
protected:
    void SetUp() override { WritePersonalInt(kColourSettingName, 1); }
    std::string Ini() {
        return "[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nKatalog=" + dir.Dnc("") + "\r\n";
    }
    void Open(TTextForm& form, const std::string& name, const std::string& bytes) {
        WriteFileBytes(dir.File(name), bytes);
        prompter.files.push_back(dir.Dnc(name));
        form.Aapne1Click();
    }
    // A text put into the control by the program, uncoloured, with the switch on.
    void Uncoloured(TTextForm& form, const std::string& text) {
        {
            LoadingGuard loading(form);
            form.Text().SetText(text);
        }
        form.Text().SetModified(false);
        form.Actions().TekstFormatering->setChecked(true);
    }
    size_t Asked() { return prompter.Texts("question").size(); }

    MessageRecorder messages;
};
}  // namespace

TEST_F(ColourWindow, ColoursThatReachTheControl) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    ASSERT_TRUE(form.Actions().TekstFormatering->isChecked());
    Open(form, "P.NC",
         "N10 G01 X10.5 (FRES) Y5\r\n*** DEL 1 ***\r\nG01 X5 ; SLUTT A) B\r\nX5 (FRES\r\n"
         "X5 (\r\ng01 x5 \xC6\xD8\r\n");
    TextControl& c = form.Text();
    EXPECT_EQ(Letters(c, 0), "R...R...R.....GGGGGG.R.");
    EXPECT_EQ(Letters(c, 1), "BBBBBBBBBBBBB");
    EXPECT_EQ(Letters(c, 2), "R...R..GGGGGGGGGG.R");
    EXPECT_EQ(Letters(c, 3), "R..GGGGG");
    EXPECT_EQ(Letters(c, 4), "R...");
    EXPECT_EQ(Letters(c, 5), ".........");
    // The colouring is no edit, and leaves the window as it found it.
    EXPECT_FALSE(c.Modified());
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_FALSE(form.HourglassShown());
    EXPECT_EQ(c.SelStart(), 0);
    EXPECT_TRUE(messages.messages.empty());

    // Switched off in the menu: all black, stored; on again: coloured, stored.
    form.Actions().TekstFormatering->trigger();
    EXPECT_FALSE(form.Actions().TekstFormatering->isChecked());
    EXPECT_EQ(ReadPersonalInt(kColourSettingName, 9), 0);
    EXPECT_EQ(Letters(c, 0), std::string(23, '.'));
    form.Actions().TekstFormatering->trigger();
    EXPECT_TRUE(form.Actions().TekstFormatering->isChecked());
    EXPECT_EQ(ReadPersonalInt(kColourSettingName, 9), 1);
    EXPECT_EQ(Letters(c, 2), "R...R..GGGGGGGGGG.R");
    EXPECT_FALSE(c.Modified());
    EXPECT_EQ(Asked(), 0u);
}

TEST_F(ColourWindow, SizeQuestionsAt250And251Lines) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    TextControl& c = form.Text();

    // Loading: 250 lines are coloured without a question.
    Open(form, "P250.NC", Program(250));
    EXPECT_EQ(Asked(), 0u);
    EXPECT_EQ(Letters(c, 249)[0], 'R');

    // 251 lines ask; "no" switches colouring off without storing it.
    prompter.answers = {Answer::No};
    Open(form, "P251.NC", Program(251));
    ASSERT_EQ(Asked(), 1u);
    EXPECT_EQ(prompter.shown.back().caption, kLargeTextCaption);
    EXPECT_EQ(prompter.shown.back().text, kLargeTextOnLoad);
    EXPECT_EQ(prompter.shown.back().buttons, Buttons::YesNo);
    EXPECT_FALSE(form.Actions().TekstFormatering->isChecked());
    EXPECT_EQ(ReadPersonalInt(kColourSettingName, 9), 1);
    EXPECT_EQ(Letters(c, 0)[0], '.');
    // Colouring off: a large program asks nothing on loading.
    Open(form, "P251B.NC", Program(251));
    EXPECT_EQ(Asked(), 1u);

    // The menu switch on a large text asks its own question; "no" leaves the mark off but the
    // stored value on, "yes" colours.
    prompter.answers = {Answer::No};
    form.Actions().TekstFormatering->trigger();
    ASSERT_EQ(Asked(), 2u);
    EXPECT_EQ(prompter.shown.back().text, kLargeTextOnSwitch);
    EXPECT_FALSE(form.Actions().TekstFormatering->isChecked());
    EXPECT_EQ(ReadPersonalInt(kColourSettingName, 9), 1);
    EXPECT_EQ(Letters(c, 0)[0], '.');
    prompter.answers = {Answer::Yes};
    form.Actions().TekstFormatering->trigger();
    EXPECT_EQ(Asked(), 3u);
    EXPECT_TRUE(form.Actions().TekstFormatering->isChecked());
    EXPECT_EQ(Letters(c, 250)[0], 'R');
    // Off asks nothing; on for 250 lines asks nothing.
    form.Actions().TekstFormatering->trigger();
    EXPECT_EQ(Asked(), 3u);
    EXPECT_EQ(ReadPersonalInt(kColourSettingName, 9), 0);
    Open(form, "P250.NC", Program(250));
    form.Actions().TekstFormatering->trigger();
    EXPECT_EQ(Asked(), 3u);
    EXPECT_EQ(Letters(c, 0)[0], 'R');
    EXPECT_FALSE(c.Modified());
}

// Typing recolours the line the caret is on once the edit is complete: a break typed inside
// a comment leaves its rest outside it on the new line.
TEST_F(ColourWindow, TypingRecoloursTheCaretsLine) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    Open(form, "P.NC", "N10 X5\r\nN20 (FRES) Y5\r\nN30 Z1\r\n");
    TextControl& c = form.Text();
    c.SetSelStart(c.LineIndex(1) + 7);  // after "N20 (FR"
    QTest::keyClick(&c, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(c.Line(1), "N20 (FR");
    EXPECT_EQ(c.Line(2), "ES) Y5");
    EXPECT_EQ(Letters(c, 1), "R...GGG");
    EXPECT_EQ(Letters(c, 2), "RR..R.");
    c.SetSelStart(c.LineIndex(0) + 6);
    QTest::keyClicks(&c, "x7 (a");
    QApplication::processEvents();
    EXPECT_EQ(c.Line(0), "N10 X5X7 (A");
    EXPECT_EQ(Letters(c, 0), "R...R.R..GG");
    EXPECT_EQ(Letters(c, 3), "R...R.");
    EXPECT_TRUE(c.Modified());

    // An inserted file comes coloured.
    WriteFileBytes(dir.File("C.NC"), "*SYKLUS\r\nG81 Z-5\r\n");
    prompter.files = {dir.Dnc("C.NC")};
    c.SetSelStart(c.LineIndex(3));
    form.Liminnfil1Click();
    EXPECT_EQ(c.Line(3), "*SYKLUS");
    EXPECT_EQ(Letters(c, 3), "BBBBBBB");
    EXPECT_EQ(Letters(c, 4), "R...R..");

    // With colouring off, typed text stays plain.
    form.Actions().TekstFormatering->trigger();
    c.SetSelStart(0);
    QTest::keyClicks(&c, "g1");
    QApplication::processEvents();
    EXPECT_EQ(Letters(c, 0).substr(0, 2), "..");
}

// The whole text in slices: the top is coloured and the normal cursor back after the first
// slice; what the user types during a pause is coloured before the end.
TEST_F(ColourWindow, SlicesLeaveTheWindowUsable) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    TextControl& c = form.Text();
    Uncoloured(form, Program(2000));
    int pauses = 0;
    std::string top, slice, below;
    bool loading = false, hourglass = true;
    QTimer::singleShot(0, &form, [&] {
        ++pauses;
        top = Letters(c, 0);
        slice = Letters(c, 29);
        below = Letters(c, 30);
        loading = form.Doc().Loading;
        hourglass = form.HourglassShown();
        // The user types at the start of line 10, already coloured.
        c.SetSelStart(c.LineIndex(10));
        c.TypeCharacter('Y');
    });
    form.Colour().RecolourAll();
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(top, Expected(c.Line(0)));
    EXPECT_EQ(slice, Expected(c.Line(29)));
    EXPECT_EQ(below, std::string(below.size(), '.'));
    EXPECT_TRUE(loading);
    EXPECT_FALSE(hourglass);
    EXPECT_EQ(c.Line(10), "YN11 G01 X5 (A)");
    EXPECT_EQ(Letters(c, 10), Expected(c.Line(10)));
    EXPECT_EQ(Letters(c, 1999), Expected(c.Line(1999)));
    EXPECT_TRUE(c.Modified());  // the user's typing, not the colouring
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_FALSE(form.HourglassShown());
}

// The switch used while the colouring pauses: the running colouring starts over with the
// new state instead of running on.
TEST_F(ColourWindow, SwitchedOffDuringAPause) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    TextControl& c = form.Text();
    Uncoloured(form, Program(400));
    QTimer::singleShot(0, &form, [&] { form.Actions().TekstFormatering->trigger(); });
    form.Colour().RecolourAll();
    EXPECT_FALSE(form.Actions().TekstFormatering->isChecked());
    EXPECT_EQ(ReadPersonalInt(kColourSettingName, 9), 0);
    for (int line : {0, 29, 399}) EXPECT_EQ(Letters(c, line), std::string(c.Line(line).size(), '.'));
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_FALSE(c.Modified());
}

TEST_F(ColourWindow, ResourceFailureTurnsColouringOff) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    TextControl& c = form.Text();
    Uncoloured(form, Program(300));
    form.Colour().SetStyleWriter(FailingStylesAfter(c, 3));
    form.Colour().RecolourAll();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].first, kColourCaption);
    EXPECT_EQ(messages.messages[0].second, kResourceFailureText);
    EXPECT_FALSE(form.Actions().TekstFormatering->isChecked());
    EXPECT_EQ(ReadPersonalInt(kColourSettingName, 9), 1);  // the stored choice stays
    for (int line : {0, 100, 299}) EXPECT_EQ(Letters(c, line), std::string(c.Line(line).size(), '.'));
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_FALSE(form.HourglassShown());
    EXPECT_FALSE(c.Modified());
    // Switched on again, it colours.
    form.Actions().TekstFormatering->trigger();  // 300 lines: the question
    EXPECT_EQ(Letters(c, 299), std::string(c.Line(299).size(), '.'));
    prompter.answers = {Answer::Yes};
    form.Actions().TekstFormatering->trigger();
    EXPECT_TRUE(form.Actions().TekstFormatering->isChecked());
    EXPECT_EQ(Letters(c, 299), Expected(c.Line(299)));
}

TEST_F(ColourWindow, ColouredLogFile) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    Open(form, "HENDELSE.LOG", std::string("\x40" "A\x21" "B\x23" "C\r\nD\xA3" "E\xA7" "F"));
    TextControl& c = form.Text();
    EXPECT_EQ(c.Text(), "ABC\r\nDEF\r\n");
    EXPECT_EQ(Letters(c, 0), "Rmk");  // red bold is the address letters' style
    EXPECT_EQ(Letters(c, 1), "kbg");  // the code carries over the line end
    EXPECT_EQ(form.Doc().FileName, "HENDELSE.LOG");
    EXPECT_FALSE(c.Modified());
    EXPECT_EQ(form.Doc().RecentFiles->Count(), 0);
    EXPECT_EQ(form.Doc().FileStamp, -1);
    EXPECT_EQ(Asked(), 0u);
}

// Real NC programs: every byte in the control has the style the core's rule gives it.
TEST_F(ColourWindow, RealProgramsColouredAsTheRuleSays) {
    const std::string samples = SharedDir() + "/nc-samples";
    if (!std::filesystem::is_directory(samples)) GTEST_SKIP() << "no " << samples;
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    TextControl& c = form.Text();
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(samples)) {
        if (e.path().extension() != ".ngc") continue;
        SCOPED_TRACE(e.path().string());
        prompter.answers = {Answer::Yes};  // the question of a large program
        prompter.files = {NativeToDncPath(e.path().string())};
        form.Aapne1Click();
        ASSERT_TRUE(form.Actions().TekstFormatering->isChecked());
        ASSERT_GT(c.LineCount(), 0);
        for (int i = 0; i < c.LineCount(); ++i) ASSERT_EQ(Letters(c, i), Expected(c.Line(i))) << i;
        ++files;
    }
    EXPECT_GT(files, 0);
}
