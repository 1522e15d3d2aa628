// The document's file life in the real main window (offscreen, real text control), with a
// scripted person at the dialogs: the unsaved-changes question for every command that
// leaves the document, opening inside and outside the current folder, save as, backups, the
// reload question, saves the disk refuses, and real NC programs through open and save.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "WindowTest.h"
#include "windows/calc/TrigForm.h"
#include "document/AppTitle.h"
#include "document/DocFiles.h"
#include "editor/EditUnit.h"
#include "document/Loaders.h"
#include "windows/nctools/RenumForm.h"
#include "settings/PathResolve.h"
#include "settings/Recent.h"
#include "settings/Settings.h"
#include "settings/InputFile.h"
#include "settings/MessageSink.h"
#include "widgets/Prompter.h"

namespace {
void SetMtime(const std::string& native, long sec) {
    struct timespec t[2] = {{sec, 0}, {sec, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native.c_str(), t, 0), 0);
}

// The application gains the focus, as when the user comes back from another program.
void Activate() {
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
}

class DocWindow : public WindowTest {
protected:
    void SetUp() override { std::filesystem::create_directories(dir.File("M1")); }

    std::string Ini(const std::string& programExtra = "") {
        return "[Program]\r\nMaskiner=1\r\n" + programExtra + "\r\n[Maskin1]\r\nKatalog=" +
               dir.Dnc("M1") + "\\\r\n";
    }
public:
    std::string M1(const std::string& name) { return dir.Dnc("M1") + "\\" + name; }
    // Opens a file through the open dialog.
    void Open(TTextForm& form, const std::string& dncName) {
        prompter.files.push_back(dncName);
        form.Aapne1Click();
    }
    size_t Questions(const std::string& text) {
        size_t n = 0;
        for (const auto& s : prompter.shown)
            if (s.kind == "question" && s.text == text) ++n;
        return n;
    }

    MessageRecorder messages;
};
}  // namespace

// Cancel, no and yes at "Programmet er endret. Lagre ?" for every command that leaves an
// edited document: cancel stays with the text, no goes on without saving, yes saves first.
TEST_F(DocWindow, UnsavedChangesQuestionForNewOpenReopenAndClose) {
    ScopedIni ini(Ini());
    struct Command {
        const char* name;
        std::function<bool(DocWindow&, TTextForm&)> run;  // true when the command went on
    };
    const std::string other = M1("OTHER.NC");
    std::vector<Command> commands = {
        {"new",
         [](DocWindow&, TTextForm& f) {
             f.Ny1Click();
             return f.Text().TextLength() == 0;
         }},
        {"open",
         [other](DocWindow& t, TTextForm& f) {
             t.Open(f, other);
             return f.Text().Text() == "OTHER\r\n";
         }},
        {"reopen",
         [other](DocWindow&, TTextForm& f) {
             f.ReopenClick(other);
             return f.Text().Text() == "OTHER\r\n";
         }},
        {"close", [](DocWindow&, TTextForm& f) { return f.close(); }},
    };
    for (const Command& c : commands) {
        for (Answer answer : {Answer::Cancel, Answer::No, Answer::Yes}) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(static_cast<int>(answer)));
            WriteFileBytes(dir.File("M1/PROG.NC"), "N10 G00\r\n");
            WriteFileBytes(dir.File("M1/OTHER.NC"), "OTHER\r\n");
            prompter.shown.clear();
            TTextForm form;
            form.show();
            Open(form, M1("PROG.NC"));
            ASSERT_EQ(form.Text().Text(), "N10 G00\r\n");
            ASSERT_FALSE(form.Text().Modified());
            form.Text().SetSelStart(3);
            form.Text().TypeCharacter('5');
            ASSERT_TRUE(form.Text().Modified());
            prompter.answers = {answer};
            const std::string caption = form.Doc().CurrentFolder + "PROG.NC";
            bool wentOn = c.run(*this, form);
            ASSERT_EQ(Questions(kQuerySaveText), 1u);
            for (const auto& s : prompter.shown) {
                if (s.kind != "question") continue;
                EXPECT_EQ(s.caption, caption);
                EXPECT_EQ(s.buttons, Buttons::YesNoCancel);
            }
            EXPECT_EQ(wentOn, answer != Answer::Cancel);
            if (answer == Answer::Cancel) {
                EXPECT_EQ(form.Text().Text(), "N105 G00\r\n");
                EXPECT_EQ(form.Doc().FileName, "PROG.NC");
                EXPECT_TRUE(form.Text().Modified());
                EXPECT_TRUE(form.isVisible());
            }
            EXPECT_EQ(ReadFileBytes(dir.File("M1/PROG.NC")),
                      answer == Answer::Yes ? "N105 G00\r\n" : "N10 G00\r\n");
            if (wentOn && std::string(c.name) != "close") {
                EXPECT_FALSE(form.Text().Modified());
            }
        }
    }
}

TEST_F(DocWindow, NewDocumentAndItsQuestionCaption) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M1/PROG.NC"), "N10\r\n");
    TTextForm form;
    form.show();
    Open(form, M1("PROG.NC"));
    EXPECT_GE(form.Doc().FileStamp, 0);
    form.Ny1Click();  // not modified: no question
    EXPECT_TRUE(prompter.Texts("question").empty());
    EXPECT_EQ(form.Doc().FileName, "");
    EXPECT_EQ(form.Doc().FileStamp, -1);
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor");
    EXPECT_FALSE(form.Actions().Seek1->isEnabled());
    form.Text().TypeCharacter('N');
    prompter.answers = {Answer::Cancel};
    form.Ny1Click();
    ASSERT_EQ(prompter.shown.back().kind, "question");
    EXPECT_EQ(prompter.shown.back().caption, form.Doc().CurrentFolder + "0000.NC");
    EXPECT_EQ(form.Text().Text(), "N");
}

TEST_F(DocWindow, OpenInsideAndOutsideTheCurrentFolder) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M1/SUB/DEL.NC"), "N1\r\n");
    WriteFileBytes(dir.File("ANNET/P.NC"), "N2\r\n");
    TTextForm form;
    form.show();
    const std::string cf = form.Doc().CurrentFolder;
    ASSERT_EQ(cf.back(), '\\');

    // A cancelled dialog changes nothing and asks nothing.
    form.Aapne1Click();
    ASSERT_EQ(prompter.fileRequests.size(), 1u);
    const FileDialogRequest& r = prompter.fileRequests[0];
    EXPECT_EQ(r.folder, cf.substr(0, cf.size() - 1));
    EXPECT_EQ(r.fileName, "*.NC");
    EXPECT_EQ(r.filter, OpenDialogFilter(".NC", ""));
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_TRUE(prompter.Texts("question").empty());

    // Below the current folder: the folder stays, the name keeps the sub-folder.
    Open(form, M1("SUB\\DEL.NC"));
    EXPECT_EQ(form.Text().Text(), "N1\r\n");
    EXPECT_EQ(form.Doc().FileName, "SUB\\DEL.NC");
    EXPECT_EQ(form.Doc().CurrentFolder, cf);
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor - SUB\\DEL.NC");
    ASSERT_EQ(form.Doc().RecentFiles->Count(), 1);
    EXPECT_EQ(form.Doc().RecentFiles->Entry(0), M1("SUB\\DEL.NC"));
    EXPECT_EQ(form.Doc().FileStamp, FileAge(M1("SUB\\DEL.NC")));

    // Elsewhere: the folder moves to the file's folder.
    Open(form, dir.Dnc("ANNET") + "\\P.NC");
    EXPECT_EQ(form.Doc().FileName, "P.NC");
    EXPECT_EQ(form.Doc().CurrentFolder, dir.Dnc("ANNET") + "\\");
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor - P.NC");

    // A folder with a name part: folder plus prefix in the dialog.
    form.SetFolder(cf + "PRE");
    form.Aapne1Click();
    EXPECT_EQ(prompter.fileRequests.back().folder, cf.substr(0, cf.size() - 1));
    EXPECT_EQ(prompter.fileRequests.back().fileName, "PRE*.NC");
    // A log file proposes its own name.
    form.SetFolder(cf);
    form.Doc().FileName = "HENDELSE.LOG";
    form.Aapne1Click();
    EXPECT_EQ(prompter.fileRequests.back().fileName, "HENDELSE.LOG");
}

TEST_F(DocWindow, FailedLoadKeepsTheDocumentAndItsName) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M1/PROG.NC"), "N10\r\n");
    TTextForm form;
    form.show();
    Open(form, M1("PROG.NC"));
    int64_t stamp = form.Doc().FileStamp;
    form.Text().TypeCharacter('X');
    prompter.answers = {Answer::No};
    Open(form, M1("MANGLER.NC"));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].first, kLoadFailCaption);
    EXPECT_EQ(messages.messages[0].second, kLoadFailText + M1("MANGLER.NC"));
    EXPECT_EQ(form.Doc().FileName, "PROG.NC");
    EXPECT_EQ(form.Text().Text(), "XN10\r\n");
    EXPECT_TRUE(form.Text().Modified());
    EXPECT_EQ(form.Doc().FileStamp, stamp);
    EXPECT_EQ(form.Doc().RecentFiles->Count(), 1);
}

// What is not a program file, through every way the window opens a file: the open dialog,
// "Siste filer", insert file and the catalogue. Each is reported in the system's words and
// the document with its unsaved changes stays as it was.
TEST_F(DocWindow, FilesThatAreNoProgramsAreReportedAndLoseNothing) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M1/PROG.NC"), "N10\r\n");
    std::filesystem::create_directory(dir.File("M1/MAPPE.NC"));
    ASSERT_EQ(::mkfifo(dir.File("M1/KO.NC").c_str(), 0600), 0);  // nobody writes to it
    TTextForm form;
    form.show();
    Open(form, M1("PROG.NC"));
    form.Text().TypeCharacter('X');
    struct Bad {
        std::string name;
        InputFault fault;
    } bad[] = {
        {M1("MAPPE.NC"), InputFault::Folder},
        {M1("KO.NC"), InputFault::NotAFile},
        {"/dev/zero", InputFault::NotAFile},          // a device that never ends
        {"/proc/self/mem", InputFault::ReadError},    // a file whose reading fails
    };
    auto keptAsItWas = [&](const std::string& what) {
        EXPECT_EQ(form.Doc().FileName, "PROG.NC") << what;
        EXPECT_EQ(form.Text().Text(), "XN10\r\n") << what;
        EXPECT_TRUE(form.Text().Modified()) << what;
        EXPECT_FALSE(form.HourglassShown()) << what;
    };
    for (const Bad& b : bad) {
        const std::string expected = LoadFailureText(b.name, b.fault);
        messages.Clear();
        prompter.answers = {Answer::No};
        Open(form, b.name);
        ASSERT_EQ(messages.messages.size(), 1u) << b.name;
        EXPECT_EQ(messages.messages[0].first, kLoadFailCaption);
        EXPECT_EQ(messages.messages[0].second, expected);
        keptAsItWas("open " + b.name);

        messages.Clear();
        prompter.answers = {Answer::No};
        form.ReopenClick(b.name);
        ASSERT_EQ(messages.messages.size(), 1u) << b.name;
        EXPECT_EQ(messages.messages[0].second, expected);
        keptAsItWas("reopen " + b.name);

        messages.Clear();
        prompter.files.push_back(b.name);
        form.Liminnfil1Click();
        ASSERT_EQ(messages.messages.size(), 1u) << b.name;
        EXPECT_EQ(messages.messages[0].second, expected);
        keptAsItWas("insert " + b.name);
    }
    // A file the user may not read (the superuser reads every file: the open runs as
    // nobody then).
    WriteFileBytes(dir.File("M1/LUKKET.NC"), "N1\r\n");
    ::chmod(dir.File("M1/LUKKET.NC").c_str(), 0);
    ::chmod(dir.path().c_str(), 0755);
    messages.Clear();
    prompter.answers = {Answer::No};
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    Open(form, M1("LUKKET.NC"));
    if (asRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].second,
              LoadFailureText(M1("LUKKET.NC"), InputFault::NoAccess));
    keptAsItWas("no access");
    ::chmod(dir.File("M1/LUKKET.NC").c_str(), 0600);

    // The catalogue lists only the programs that are files, and does not wait on the FIFO.
    form.Text().SetModified(false);
    form.Katalog1Click();
    ASSERT_EQ(form.Text().LineCount(), 2);
    EXPECT_EQ(form.Text().Line(0).substr(0, 9), "LUKKET.NC");
    EXPECT_EQ(form.Text().Line(1).substr(0, 7), "PROG.NC");

    // From the command line: reported, and the document has no name to save over.
    messages.Clear();
    TTextForm started({dir.File("M1/KO.NC")});
    started.show();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(started.Doc().FileName, "");
}

// A file removed while it is read is not the file that was asked for. A program of normal
// size is read whole before the text is replaced: the document stays as it was. A very large
// one goes straight into the text as it is read: what came is not shown under the file's
// name, so a save cannot cut the program short.
TEST_F(DocWindow, FileRemovedWhileItIsRead) {
    ScopedIni ini(Ini());
    auto program = [](size_t bytes) {
        std::string text;
        for (int n = 1; text.size() < bytes; ++n) text += "N" + std::to_string(n) + " G01 X1\r\n";
        return text;
    };
    WriteFileBytes(dir.File("M1/PROG.NC"), "N10\r\n");
    WriteFileBytes(dir.File("M1/BORTE.NC"), program(600000));
    WriteFileBytes(dir.File("M1/STOR.NC"), program(kLoadWholeLimit + 1000));
    TTextForm form;
    form.show();
    Open(form, M1("PROG.NC"));
    form.Text().TypeCharacter('X');
    SetInputReadHook([](const std::string& native) { std::filesystem::remove(native); });
    prompter.answers = {Answer::No};
    Open(form, M1("BORTE.NC"));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].second,
              LoadFailureText(M1("BORTE.NC"), InputFault::Changed));
    EXPECT_EQ(form.Text().Text(), "XN10\r\n");
    EXPECT_EQ(form.Doc().FileName, "PROG.NC");
    EXPECT_TRUE(form.Text().Modified());

    messages.Clear();
    prompter.answers = {Answer::No};
    Open(form, M1("STOR.NC"));
    SetInputReadHook(nullptr);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].second, LoadFailureText(M1("STOR.NC"), InputFault::Changed));
    EXPECT_EQ(form.Text().Text(), "");
    EXPECT_EQ(form.Doc().FileName, "");
    EXPECT_FALSE(form.Text().Modified());
    EXPECT_EQ(form.Doc().FileStamp, -1);
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_FALSE(form.Text().Updating());
    EXPECT_FALSE(form.HourglassShown());
}

// The load-error box is shown with the normal cursor; the hourglass does not stay over it.
TEST_F(DocWindow, LoadErrorBoxesShowTheNormalCursor) {
    ScopedIni ini(Ini());
    MessageSinkFn recorder = SetMessageSink({});
    InstallPrompterMessageSink();
    std::vector<int> shapes;
    prompter.onShow = [&](const ScriptedPrompter::Shown& shown) {
        if (shown.kind != "message") return;
        QCursor* c = QApplication::overrideCursor();
        shapes.push_back(c ? static_cast<int>(c->shape()) : -1);
    };
    std::filesystem::create_directory(dir.File("M1/MAPPE.NC"));
    TTextForm form;
    form.show();
    Open(form, M1("MANGLER.NC"));
    Open(form, M1("MAPPE.NC"));
    SetMessageSink(recorder);
    ASSERT_EQ(shapes.size(), 2u);
    for (int shape : shapes) EXPECT_NE(shape, static_cast<int>(Qt::WaitCursor));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Binary files: the 7 or 8 bit question through the dialogs, and the view is no edit of the
// document: neither the recent files nor the stamp follow it.
TEST_F(DocWindow, BinaryFileAsksForBitsAndCountsAsUnchanged) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M1/PROG.NC"), "N10\r\n");
    WriteFileBytes(dir.File("M1/PROG.SPR"), "A\xA5\r\n");
    TTextForm form;
    form.show();
    Open(form, M1("PROG.NC"));
    int64_t stamp = form.Doc().FileStamp;
    prompter.answers = {Answer::No};
    Open(form, M1("PROG.SPR"));
    ASSERT_EQ(prompter.Texts("question").size(), 1u);
    EXPECT_EQ(prompter.shown.back().caption, kBinaryQuestionCaption);
    EXPECT_EQ(prompter.shown.back().text, kBinaryQuestionText);
    EXPECT_EQ(prompter.shown.back().buttons, Buttons::YesNo);
    EXPECT_EQ(form.Text().Line(0), "A%[CR][LF]");
    EXPECT_EQ(form.Doc().FileName, "PROG.SPR");
    EXPECT_FALSE(form.Text().Modified());
    EXPECT_EQ(form.Doc().FileStamp, stamp);
    EXPECT_EQ(form.Doc().RecentFiles->Entry(0), M1("PROG.NC"));
    EXPECT_FALSE(form.HourglassShown());
}

TEST_F(DocWindow, InsertFileFromTheCyclesFolderBeforeTheCaretLine) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M1/PROG.NC"), "A\r\nB\r\n");
    WriteFileBytes(dir.File("M1/Sykluser/C1.NC"), "L1\r\n\x1DL2\r\n");
    TTextForm form;
    form.show();
    Open(form, M1("PROG.NC"));
    int64_t stamp = form.Doc().FileStamp;
    form.Text().SetSelStart(form.Text().LineIndex(1) + 1);
    prompter.files = {dir.Dnc("M1") + "\\Sykluser\\C1.NC"};
    form.Liminnfil1Click();
    const FileDialogRequest& r = prompter.fileRequests.back();
    EXPECT_EQ(r.folder, form.Doc().CurrentFolder.substr(0, form.Doc().CurrentFolder.size() - 1) +
                            "\\Sykluser");
    EXPECT_EQ(r.fileName, "*.NC");
    EXPECT_EQ(form.Text().Text(), "A\r\nL1\r\nL2\r\nB\r\n");
    EXPECT_EQ(form.Doc().FileName, "PROG.NC");
    EXPECT_EQ(form.Doc().FileStamp, stamp);
    EXPECT_TRUE(form.Text().Modified());
    EXPECT_TRUE(prompter.Texts("question").empty());
}

TEST_F(DocWindow, SaveAsWithAndWithoutADot) {
    ScopedIni ini(Ini());
    std::filesystem::create_directories(dir.File("M1/UT.2"));
    TTextForm form;
    form.show();
    form.Text().SetText("N10 G01\r\nN20");
    // A new document saves through the save-as dialog; no dot: the machine's extension.
    prompter.files = {M1("NYTT")};
    form.Lagre1Click();
    ASSERT_EQ(prompter.shown.back().kind, "save");
    EXPECT_EQ(prompter.fileRequests.back().filter, SaveDialogFilter(".NC"));
    EXPECT_EQ(prompter.fileRequests.back().fileName, "");
    EXPECT_EQ(ReadFileBytes(dir.File("M1/NYTT.NC")), "N10 G01\r\nN20\r\n");
    EXPECT_EQ(form.Doc().FileName, "NYTT.NC");
    EXPECT_EQ(form.Doc().CurrentFolder, dir.Dnc("M1") + "\\");
    EXPECT_FALSE(form.Text().Modified());
    EXPECT_EQ(form.Doc().RecentFiles->Entry(0), M1("NYTT.NC"));
    EXPECT_EQ(form.Doc().FileStamp, FileAge(M1("NYTT.NC")));
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor - NYTT.NC");

    // A dot in a folder name is a dot: nothing is appended.
    prompter.files = {M1("UT.2\\NYTT")};
    form.LagreSom1Click();
    EXPECT_EQ(prompter.fileRequests.back().fileName, "NYTT.NC");
    EXPECT_TRUE(std::filesystem::exists(dir.File("M1/UT.2/NYTT")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("M1/UT.2/NYTT.NC")));
    EXPECT_EQ(form.Doc().FileName, "NYTT");
    EXPECT_EQ(form.Doc().CurrentFolder, M1("UT.2\\"));

    // An existing file: "no" changes nothing, "yes" overwrites.
    form.Text().SetText("NY TEKST");
    prompter.files = {M1("NYTT.NC")};
    prompter.answers = {Answer::No};
    form.LagreSom1Click();
    EXPECT_EQ(prompter.shown.back().caption, kOverwriteCaption);
    EXPECT_EQ(prompter.shown.back().text, kOverwriteText);
    EXPECT_EQ(ReadFileBytes(dir.File("M1/NYTT.NC")), "N10 G01\r\nN20\r\n");
    EXPECT_EQ(form.Doc().FileName, "NYTT");
    EXPECT_TRUE(form.Text().Modified());
    prompter.files = {M1("NYTT.NC")};
    prompter.answers = {Answer::Yes};
    form.LagreSom1Click();
    EXPECT_EQ(ReadFileBytes(dir.File("M1/NYTT.NC")), "NY TEKST\r\n");
    EXPECT_EQ(form.Doc().FileName, "NYTT.NC");
    // A cancelled dialog: nothing.
    form.Text().SetText("IGJEN");
    form.LagreSom1Click();
    EXPECT_TRUE(form.Text().Modified());
    EXPECT_EQ(ReadFileBytes(dir.File("M1/NYTT.NC")), "NY TEKST\r\n");
}

TEST_F(DocWindow, BackupsAfterTwoSaves) {
    for (bool bak : {true, false}) {
        SCOPED_TRACE(bak);
        TempDir d;
        ScopedIni ini("[Program]\r\n" + std::string(bak ? "" : "BakFiler=False\r\n") +
                      "[Maskin1]\r\nKatalog=" + d.Dnc("") + "\r\n");
        WriteFileBytes(d.File("PROG.NC"), "V0\r\n");
        TTextForm form;
        form.show();
        Open(form, d.Dnc("PROG.NC"));
        form.Text().SetText("V1\r\n");
        form.Lagre1Click();
        form.Text().SetText("V2\r\n");
        form.Lagre1Click();
        EXPECT_EQ(ReadFileBytes(d.File("PROG.NC")), "V2\r\n");
        if (bak) {
            EXPECT_EQ(ReadFileBytes(d.File("PROG.Bak")), "V1\r\n");
        } else {
            EXPECT_FALSE(std::filesystem::exists(d.File("PROG.Bak")));
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(d.path()),
                                std::filesystem::directory_iterator()),
                  bak ? 2 : 1);
    }
}

TEST_F(DocWindow, ReloadQuestionOnceAfterAChangeOnDisk) {
    ScopedIni ini(Ini());
    const std::string native = dir.File("M1/PROG.NC");
    WriteFileBytes(native, "A\r\n");
    SetMtime(native, 3000000);
    TTextForm form;
    form.show();
    Open(form, M1("PROG.NC"));
    form.Text().TypeCharacter('X');
    Activate();
    EXPECT_EQ(Questions(kReloadText), 0u);

    WriteFileBytes(native, "B\r\n");
    SetMtime(native, 3000010);
    prompter.answers = {Answer::No};
    Activate();
    ASSERT_EQ(Questions(kReloadText), 1u);
    EXPECT_EQ(prompter.shown.back().caption, M1("PROG.NC"));
    EXPECT_EQ(prompter.shown.back().buttons, Buttons::YesNoCompare);
    EXPECT_EQ(form.Text().Text(), "XA\r\n");
    Activate();
    Activate();
    EXPECT_EQ(Questions(kReloadText), 1u);  // "no" holds until the next change

    WriteFileBytes(native, "C\r\n");
    SetMtime(native, 3000020);
    prompter.answers = {Answer::Yes};
    Activate();
    EXPECT_EQ(Questions(kReloadText), 2u);
    EXPECT_EQ(form.Text().Text(), "C\r\n");  // unsaved changes are not asked about
    EXPECT_FALSE(form.Text().Modified());
    EXPECT_EQ(form.Doc().FileName, "PROG.NC");

    // A vanished file ends the checks until the next load or save.
    std::filesystem::remove(native);
    Activate();
    EXPECT_EQ(form.Doc().FileStamp, -1);
    WriteFileBytes(native, "D\r\n");
    Activate();
    EXPECT_EQ(Questions(kReloadText), 2u);
    form.Lagre1Click();
    WriteFileBytes(native, "E\r\n");
    SetMtime(native, 3000030);
    Activate();
    EXPECT_EQ(Questions(kReloadText), 3u);
}

TEST_F(DocWindow, ReloadQuestionWaitsWhileADialogIsOpen) {
    ScopedIni ini(Ini());
    const std::string native = dir.File("M1/PROG.NC");
    WriteFileBytes(native, "A\r\n");
    SetMtime(native, 4000000);
    TTextForm form;
    form.show();
    auto* ren = new TRenForm(&form);
    auto* trig = new TTrigForm(&form);
    auto* about = new QDialog(&form);
    auto* ask = new QDialog(&form);
    auto* trans = new QDialog(&form);
    form.Windows().ReloadQuietDialogs = {about, ask, ren, trans, trig};
    Open(form, M1("PROG.NC"));
    long t = 4000000;
    size_t asked = 0;
    for (QWidget* d : std::vector<QWidget*>{about, ask, ren, trans, trig}) {
        WriteFileBytes(native, "N" + std::to_string(t) + "\r\n");
        SetMtime(native, t += 10);
        d->show();
        Activate();
        Activate();
        EXPECT_EQ(Questions(kReloadText), asked);
        d->hide();
        prompter.answers = {Answer::No};
        Activate();
        EXPECT_EQ(Questions(kReloadText), ++asked);
    }
    // A closed dialog that is gone silences nothing.
    delete ren;
    WriteFileBytes(native, "Z\r\n");
    SetMtime(native, t + 10);
    prompter.answers = {Answer::No};
    Activate();
    EXPECT_EQ(Questions(kReloadText), asked + 1);
}

// The disk refuses the save: the old file stays, the user is told which file, and the
// document keeps its unsaved state.
TEST_F(DocWindow, SavesTheDiskRefusesLeaveTheOldFile) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M1/PROG.NC"), "OLD\r\n");
    TTextForm form;
    form.show();
    Open(form, M1("PROG.NC"));
    const int64_t stamp = form.Doc().FileStamp;
    const std::vector<std::string> recent = form.Doc().RecentFiles->Entries();
    form.Text().SetText("NEW\r\n");

    auto expectKept = [&](const std::string& file, const char* reason) {
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].first, kSaveFailCaption);
        EXPECT_EQ(messages.messages[0].second, std::string(kSaveFailText) + file + "\r" + reason +
                                                   " " + kSaveKeptText);
        messages.Clear();
        EXPECT_EQ(ReadFileBytes(dir.File("M1/PROG.NC")), "OLD\r\n");
        EXPECT_TRUE(form.Text().Modified());
        EXPECT_EQ(form.Doc().FileStamp, stamp);
        EXPECT_EQ(form.Doc().RecentFiles->Entries(), recent);
        EXPECT_TRUE(form.LastSaveFailed());
    };

    FailNextSave(SaveStep::Write, ENOSPC);
    form.Lagre1Click();
    expectKept(form.Doc().CurrentFolder + "PROG.NC", "Disken er full.");
    EXPECT_FALSE(std::filesystem::exists(dir.File("M1/PROG.Bak")));

    // Save as to a new name: the recent files do not take the name that was not written.
    FailNextSave(SaveStep::Create, EACCES);
    prompter.files = {M1("ANNEN.NC")};
    form.LagreSom1Click();
    expectKept(M1("ANNEN.NC"), "Ingen skrivetilgang.");
    EXPECT_FALSE(std::filesystem::exists(dir.File("M1/ANNEN.NC")));
    form.SetFileName("PROG.NC");

    // Cut short by a file-size limit (the kernel's own refusal).
    form.Text().SetText(std::string(200000, 'X'));
    {
        struct rlimit old {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        struct rlimit lim = {4096, old.rlim_max};
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
        form.Lagre1Click();
        ::setrlimit(RLIMIT_FSIZE, &old);
    }
    expectKept(form.Doc().CurrentFolder + "PROG.NC", "Filen blir for stor.");

    // A folder that refuses writes (root writes anywhere: the save runs as nobody then).
    ::chmod(dir.File("M1").c_str(), 0555);
    ::chmod(dir.path().c_str(), 0755);
    bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    form.Lagre1Click();
    if (asRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ::chmod(dir.File("M1").c_str(), 0755);
    expectKept(form.Doc().CurrentFolder + "PROG.NC", "Ingen skrivetilgang.");

    // Leaving the document after "yes" and a failed save would lose the text: it stays.
    FailNextSave(SaveStep::Sync, EIO);
    prompter.answers = {Answer::Yes};
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    expectKept(form.Doc().CurrentFolder + "PROG.NC", "Skrivefeil på disken.");
    // And a save that works goes through as before.
    form.Lagre1Click();
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(ReadFileBytes(dir.File("M1/PROG.NC")), std::string(200000, 'X') + "\r\n");
    EXPECT_EQ(ReadFileBytes(dir.File("M1/PROG.Bak")), "OLD\r\n");
    EXPECT_FALSE(form.Text().Modified());
}

// Real NC programs: opened, saved under another name and opened again, byte for byte.
TEST_F(DocWindow, RealProgramsOpenAndSaveUnchanged) {
    const std::string samples = SharedDir() + "/nc-samples";
    if (!std::filesystem::is_directory(samples)) GTEST_SKIP() << "no " << samples;
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(samples)) {
        if (e.path().extension() != ".ngc") continue;
        SCOPED_TRACE(e.path().string());
        const std::string original = ReadFileBytes(e.path().string());
        prompter.answers.clear();
        Open(form, NativeToDncPath(e.path().string()));
        ASSERT_TRUE(form.LastLoadReplaced());
        prompter.files = {M1("COPY.NC")};
        prompter.answers = {Answer::Yes};  // overwrite the copy of the previous sample
        form.LagreSom1Click();
        const std::string saved = ReadFileBytes(dir.File("M1/COPY.NC"));
        EXPECT_EQ(saved, TextForFile(original));
        EXPECT_EQ(form.Text().Text(), TextForFile(original));
        ++files;
    }
    EXPECT_GT(files, 0);
}

// The real conversion in the window: the program opens and what it leaves out is told once.
TEST_F(DocWindow, DrawingWithTextOpensAndTellsWhatIsLeftOut) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M1/SKILT.DXF"),
                   "0\r\nSECTION\r\n2\r\nENTITIES\r\n0\r\nLWPOLYLINE\r\n90\r\n2\r\n70\r\n1\r\n10\r\n0\r\n"
                   "20\r\n0\r\n42\r\n1\r\n10\r\n10\r\n20\r\n0\r\n42\r\n1\r\n0\r\nTEXT\r\n1\r\nSKILT\r\n"
                   "0\r\nENDSEC\r\n0\r\nEOF\r\n");
    TTextForm form;
    form.show();
    Open(form, M1("SKILT.DXF"));
    EXPECT_EQ(form.Doc().FileName, "SKILT.NC");
    EXPECT_EQ(form.Text().Text(), ReadFileBytes(dir.File("M1/SKILT.NC")));
    EXPECT_NE(form.Text().Text().find("G03 X10.000 I5.000"), std::string::npos);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].first, "Konvertering");
    EXPECT_EQ(messages.messages[0].second, "Tegningen har elementer som ikke er tatt med: 1 TEXT");
}

// A drawing opens as the NC program made from it; a failed conversion keeps the document.
TEST_F(DocWindow, DrawingOpensAsItsProgram) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M1/DEL.DXF"), "0\r\nEOF\r\n");
    int machineSeen = -1;
    SetDxfConverter([&](int machine, const std::string&, const std::string& nc) {
        machineSeen = machine;
        WriteFileBytes(ResolvePath(nc), "N10 G00 X0\r\n");
        return true;
    });
    TTextForm form;
    form.show();
    Open(form, M1("DEL.DXF"));
    EXPECT_EQ(machineSeen, 1);
    EXPECT_EQ(form.Text().Text(), "N10 G00 X0\r\n");
    EXPECT_EQ(form.Doc().FileName, "DEL.NC");
    EXPECT_EQ(form.Doc().RecentFiles->Entry(0), M1("DEL.NC"));
    EXPECT_EQ(form.Doc().FileStamp, FileAge(M1("DEL.NC")));

    SetDxfConverter([](int, const std::string&, const std::string&) { return false; });
    Open(form, M1("DEL.DXF"));
    SetDxfConverter(nullptr);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].first, kDxfFailCaption);
    EXPECT_EQ(messages.messages[0].second, kDxfFailText);
    EXPECT_EQ(form.Doc().FileName, "DEL.NC");  // not the drawing: a save must not write over it
    EXPECT_EQ(form.Text().Text(), "N10 G00 X0\r\n");
}
