// The main window's recovery copy: kept while the text is modified, gone when the document
// is saved, replaced or closed without saving; and the copies an earlier editor left,
// offered at the start.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>

#include <filesystem>

#include "WindowTest.h"
#include "document/Recovery.h"
#include "editor/EditUnit.h"
#include "editor/EditUnitRecovery.h"
#include "settings/PathResolve.h"
#include "settings/Strings.h"

namespace {
class RecoveryWindow : public WindowTest {
protected:
    std::string Ini() {
        return "[Program]\r\nMaskiner=2\r\n[Maskin1]\r\nKatalog=" + dir.Dnc("M1") +
               "\\\r\n[Maskin2]\r\nKatalog=" + dir.Dnc("M2") + "\\\r\n";
    }
    void SetUp() override {
        std::filesystem::create_directories(dir.File("M1"));
        std::filesystem::create_directories(dir.File("M2"));
    }
    // This process's copy, or nullopt when there is none.
    std::optional<RecoveryCopy> Kept(TTextForm& form) {
        form.Recovery()->Writer().Flush();
        RecoveryCopy c;
        c.path = RecoveryCopyPath(folder, ThisProcess());
        if (!std::filesystem::exists(c.path)) return std::nullopt;
        if (!DecodeRecoveryCopy(ReadFileBytes(c.path), c)) return std::nullopt;
        return c;
    }
    std::string M1(const std::string& name) { return dir.Dnc("M1") + "\\" + name; }
    const std::string folder = dir.File("state/skarv-editor/recovery");
};
}  // namespace

TEST_F(RecoveryWindow, ACopyWhileModifiedGoneWhenSavedReplacedOrClosed) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M1/PROG.NC"), "N10\r\n");
    WriteFileBytes(dir.File("M1/ANNET.NC"), "N20\r\n");
    TTextForm form;
    form.show();
    form.StartRecovery(folder, 3600000);
    prompter.files.push_back(M1("PROG.NC"));
    form.Aapne1Click();
    form.Recovery()->Keep();
    EXPECT_FALSE(Kept(form));  // not modified: no copy

    form.Text().TypeCharacter('X');
    form.Recovery()->Keep();
    std::optional<RecoveryCopy> c = Kept(form);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->text, "XN10\r\n");
    EXPECT_EQ(c->folder, UpperCase1252(dir.Dnc("M1") + "\\"));  // as the settings give it
    EXPECT_EQ(c->fileName, "PROG.NC");
    EXPECT_EQ(c->shownName, UpperCase1252(M1("PROG.NC")));
    EXPECT_EQ(c->machine, 1);
    // Unchanged text: not written again. A program's change of the text counts too.
    form.Text().TypeCharacter(' ');
    form.Recovery()->Keep();
    ASSERT_TRUE(Kept(form));
    EXPECT_EQ(Kept(form)->text, "X N10\r\n");
    std::filesystem::remove(c->path);
    form.Recovery()->Keep();
    EXPECT_FALSE(Kept(form));
    {
        LoadingGuard tool(form);  // as the text tools rewrite lines: no change event
        form.Text().SetLine(0, "N99");
    }
    form.Recovery()->Keep();
    ASSERT_TRUE(Kept(form));
    EXPECT_EQ(Kept(form)->text, "N99\r\n");

    // Saved: gone.
    form.Lagre1Click();
    EXPECT_FALSE(Kept(form));
    // Replaced by New or Open (the changes not saved), or the catalogue: gone.
    auto modify = [&] {
        form.Text().TypeCharacter('Y');
        form.Recovery()->Keep();
        ASSERT_TRUE(Kept(form));
    };
    modify();
    prompter.answers = {Answer::No};
    form.Ny1Click();
    EXPECT_FALSE(Kept(form));
    modify();
    prompter.answers = {Answer::No};
    prompter.files.push_back(M1("ANNET.NC"));
    form.Aapne1Click();
    EXPECT_FALSE(Kept(form));
    modify();
    prompter.answers = {Answer::No};
    form.Katalog1Click();
    EXPECT_FALSE(Kept(form));
    // Cancelled close: kept; closed without saving: gone.
    modify();
    prompter.answers = {Answer::Cancel};
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(Kept(form));
    prompter.answers = {Answer::No};
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(Kept(form));
}

TEST_F(RecoveryWindow, TheTimerKeepsTheCopy) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    form.StartRecovery(folder, 20);
    form.Text().TypeCharacter('G');
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(RecoveryCopyPath(folder, ThisProcess())); }, 5000));
    std::optional<RecoveryCopy> c = Kept(form);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->text, "G");
    EXPECT_EQ(c->fileName, "");
    EXPECT_EQ(c->shownName, UpperCase1252(dir.Dnc("M1") + "\\0000.NC"));  // as the question asks
}

TEST_F(RecoveryWindow, LeftOverWorkIsOfferedOneByOne) {
    ScopedIni ini(Ini());
    ProcessIdentity me = ThisProcess();
    auto leave = [&](unsigned long long startOffset, int64_t savedAt, const std::string& file,
                     int machine, const std::string& text) {
        RecoveryCopy c;
        c.writer = ProcessIdentity{me.pid, me.start + startOffset};  // an editor that ended
        c.savedAt = savedAt;
        c.folder = dir.Dnc("M2") + "\\";
        c.fileName = file;
        c.shownName = c.folder + file;
        c.machine = machine;
        c.text = text;
        EXPECT_TRUE(WriteRecoveryCopy(folder, c));
        return RecoveryCopyPath(folder, c.writer);
    };
    const std::string declined = leave(1, 1000, "GAMMEL.NC", 2, "N1\r\n");
    const std::string taken = leave(2, 2000, "BRAKETT.NC", 2, "N10 G01 X5\r\nN20 M30\r\n");
    WriteFileBytes(dir.File("M2/BRAKETT.NC"), "N10\r\n");
    TTextForm form;
    form.show();
    form.StartRecovery(folder, 3600000);
    prompter.answers = {Answer::No, Answer::Yes};
    form.OfferRecoveredWork(folder);

    std::vector<std::string> questions = prompter.Texts("question");
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(prompter.shown[0].caption, kRecoveryCaption);
    EXPECT_EQ(prompter.shown[0].buttons, Buttons::YesNo);
    EXPECT_EQ(questions[0], RecoveryQuestionText(RecoveryTimeText(1000), dir.Dnc("M2") + "\\GAMMEL.NC"));
    EXPECT_EQ(questions[1], RecoveryQuestionText(RecoveryTimeText(2000), dir.Dnc("M2") + "\\BRAKETT.NC"));
    EXPECT_FALSE(std::filesystem::exists(declined));  // No deletes the copy
    EXPECT_FALSE(std::filesystem::exists(taken));
    // Yes: the text as a modified document under its name, on its machine.
    EXPECT_EQ(form.Text().Text(), "N10 G01 X5\r\nN20 M30\r\n");
    EXPECT_TRUE(form.Text().Modified());
    EXPECT_EQ(form.Doc().FileName, "BRAKETT.NC");
    EXPECT_EQ(form.Doc().CurrentFolder, dir.Dnc("M2") + "\\");
    EXPECT_EQ(form.CurrentMachine(), 2);
    EXPECT_EQ(ReadFileBytes(dir.File("M2/BRAKETT.NC")), "N10\r\n");  // the file is untouched
    // This editor keeps its own copy of it now.
    std::optional<RecoveryCopy> own = Kept(form);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->text, "N10 G01 X5\r\nN20 M30\r\n");
    // A save puts it in the file.
    form.Lagre1Click();
    EXPECT_EQ(ReadFileBytes(dir.File("M2/BRAKETT.NC")), "N10 G01 X5\r\nN20 M30\r\n");

    // Another copy while the document has changes: the question about them comes first, and
    // a cancel keeps the copy for the next start.
    const std::string kept = leave(3, 3000, "TREDJE.NC", 1, "N3\r\n");
    form.Text().TypeCharacter('Z');
    prompter.shown.clear();
    prompter.answers = {Answer::Yes, Answer::Cancel};
    form.OfferRecoveredWork(folder);
    EXPECT_EQ(prompter.Texts("question").size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(kept));
    EXPECT_EQ(form.Doc().FileName, "BRAKETT.NC");
}
