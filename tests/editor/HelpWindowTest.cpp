// The small commands of the main window: the event log of the DNC server, the help viewer
// on the shop's help file, and the start of the configuration program.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QTextBrowser>
#include <QToolBar>

#include <filesystem>

#include "WindowTest.h"
#include "editor/EditUnit.h"
#include "document/EventLog.h"
#include "windows/document/HelpWindow.h"
#include "settings/Launcher.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

namespace {
class RecordingLauncher : public Launcher {
public:
    struct Call {
        std::string program;
        std::vector<std::string> args;
    };
    std::vector<Call> calls;
    bool Start(const std::string& program, const std::vector<std::string>& args) override {
        calls.push_back({program, args});
        return true;
    }
};

class SmallCommands : public WindowTest {
protected:
    void SetUp() override {
        savedProgramDirectory = ProgramDirectory();
        SetProgramDirectory(programDir.Dnc(""));
        previousLauncher = GetLauncher();
        SetLauncher(&launcher);
    }
    void TearDown() override {
        SetLauncher(previousLauncher);
        SetProgramDirectory(savedProgramDirectory);
    }
    std::string Ini() {
        return "[Program]\r\nMaskiner=2\r\nHendelser=True\r\n[Maskin1]\r\nKatalog=" + dir.Dnc("M1") +
               "\\\r\n[Maskin2]\r\nKatalog=" + dir.Dnc("M2") + "\\\r\n";
    }

    TempDir programDir;
    RecordingLauncher launcher;
    Launcher* previousLauncher = nullptr;
    std::string savedProgramDirectory;
};

std::string Plain(const QString& caption) {
    QString c = caption;
    c.remove('&');
    return ToCp1252(c);
}
}  // namespace

TEST_F(SmallCommands, EventLogFromTheMachinesFolder) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("M2/Maskin2.TXT"), "08.12 12:00 Maskin 2 startet\r\n");
    TTextForm form;
    form.Actions().MaskinBoks->setCurrentIndex(1);
    form.MaskinBoksChange();
    form.Actions().TekstFormatering->setChecked(true);
    EXPECT_TRUE(form.Actions().HendelseButton->isEnabled());
    form.Actions().HendelseButton->trigger();
    EXPECT_EQ(form.Text().Text(), "08.12 12:00 Maskin 2 startet\r\n");
    EXPECT_EQ(form.Doc().FileName, "Maskin2.TXT");
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor - Maskin2.TXT");
    EXPECT_EQ(form.Doc().CurrentFolder, UpperCase1252(dir.Dnc("M2") + "\\"));
    EXPECT_FALSE(form.Actions().TekstFormatering->isChecked());  // colouring off after the log
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(SmallCommands, EventLogMissingUnderBothNames) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.Text().SetText("N10\r\n");
    form.HendelseButtonClick();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, kEventLogCaption);
    EXPECT_EQ(prompter.shown[0].text,
              std::string(kNoEventLogText) + "\r" + form.Doc().CurrentFolder + "Maskin1.TXT");
    EXPECT_EQ(form.Text().Text(), "N10\r\n");
}

TEST_F(SmallCommands, EventLogFromTheServersTempFolder) {
    // The second choice lives in the server's own folder, "C:\Vako\Temp\": the drive is
    // mapped under a temporary folder, so the test touches nothing outside it.
    ScopedDriveFolder drive;
    WriteFileBytes(drive.File("vako/TEMP/Maskin2H.TXT"), "Hendelse fra tjeneren\r\n");
    ScopedIni ini(Ini());
    TTextForm form;
    form.Actions().MaskinBoks->setCurrentIndex(1);  // machine 2 (the other tests use machine 1)
    form.MaskinBoksChange();
    form.Text().SetText("N10\r\n");
    form.Text().SetModified(true);
    prompter.answers = {Answer::Cancel};
    form.HendelseButtonClick();  // the question comes first; cancel keeps the text
    EXPECT_EQ(form.Text().Text(), "N10\r\n");
    prompter.answers = {Answer::No};
    form.HendelseButtonClick();
    EXPECT_EQ(form.Text().Text(), "Hendelse fra tjeneren\r\n");
    EXPECT_EQ(form.Doc().FileName, "Maskin2H.TXT");
    EXPECT_EQ(UpperCase1252(form.Doc().CurrentFolder), "C:\\VAKO\\TEMP\\");
}

TEST_F(SmallCommands, HelpOpensTheShopsHelpFileAndCoversEveryCommand) {
    ScopedIni ini(Ini());
    std::string page = ReadFileBytes(std::string(SKARV_SOURCE_DIR) + "/examples/shop/Hjelp/VakoEdit.Hlp");
    ASSERT_FALSE(page.empty());
    WriteFileBytes(programDir.File("Hjelp/VakoEdit.Hlp"), page);
    TTextForm form;
    form.Actions().Emnerihjelp1->trigger();
    EXPECT_EQ(form.Doc().HelpFile, programDir.Dnc("") + "Hjelp\\VakoEdit.Hlp");
    ASSERT_NE(form.Windows().HelpWindow, nullptr);
    EXPECT_TRUE(form.Windows().HelpWindow->isVisible());
    EXPECT_FALSE(form.Windows().HelpWindow->isModal());
    EXPECT_EQ(ToCp1252(form.Windows().HelpWindow->windowTitle()), "Skarv-Editor - hjelp");
    std::string text = ToCp1252(form.Windows().HelpWindow->Browser->toPlainText());
    EXPECT_NE(text.find("Søk og erstatt"), std::string::npos);  // UTF-8 page read right
    auto lower = [](std::string s) { return UpperCase1252(s); };
    const std::string upper = lower(text);
    for (QMenu* menu : {form.Actions().Fil1, form.Actions().Rediger1, form.Actions().Vis1,
                        form.Actions().Hjelp1})
        for (QAction* a : menu->actions()) {
            if (a->isSeparator()) continue;
            EXPECT_NE(upper.find(lower(Plain(a->text()))), std::string::npos) << Plain(a->text());
        }
    for (QAction* a : form.Actions().Panel1->actions()) {
        if (!a->isSeparator() && !a->text().isEmpty()) {
            EXPECT_NE(upper.find(lower(Plain(a->text()))), std::string::npos) << Plain(a->text());
        }
    }
    for (const char* key : {"Katalog", "UtKatalog", "MaskOpen", "StoreBokstaver", "VakoIP", "BlokkTegn"})
        EXPECT_NE(text.find(key), std::string::npos) << key;

    // Opening again shows the contents page in the same window; a missing file says so.
    std::filesystem::remove(programDir.File("Hjelp/VakoEdit.Hlp"));
    THelpWindow* window = form.Windows().HelpWindow;
    form.Emnerihjelp1Click();
    EXPECT_EQ(form.Windows().HelpWindow, window);
    EXPECT_NE(ToCp1252(window->Browser->toPlainText()).find(kHelpMissingText), std::string::npos);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(SmallCommands, HelpPageInWindows1252) {
    WriteFileBytes(programDir.File("side.htm"), "<html><body><p>Søk</p></body></html>");
    THelpWindow window;
    EXPECT_TRUE(window.OpenContents(programDir.Dnc("side.htm")));
    EXPECT_EQ(ToCp1252(window.Browser->toPlainText()), "Søk");
}

TEST_F(SmallCommands, ConfigurationStartsTheProgramAndCloses) {
    ScopedIni ini(Ini());
    WriteFileBytes(programDir.File("VakoEdtI"), "#!/bin/sh\n");
    TTextForm form;
    form.show();
    form.Text().SetText("N10\r\n");
    form.Text().SetModified(true);
    prompter.answers = {Answer::Cancel};
    form.Actions().Konfigurering->trigger();
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].program, ResolvePath(programDir.Dnc("VakoEdtI")));
    EXPECT_TRUE(launcher.calls[0].args.empty());
    EXPECT_EQ(prompter.Texts("question"), std::vector<std::string>{"Programmet er endret. Lagre ?"});
    EXPECT_TRUE(form.isVisible());  // cancelled: the editor stays open

    prompter.answers = {Answer::No};
    form.KonfigureringClick();
    EXPECT_EQ(launcher.calls.size(), 2u);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(SmallCommands, ConfigurationProgramWithItsWindowsName) {
    ScopedIni ini(Ini());
    WriteFileBytes(programDir.File("VakoEdtI.exe"), "MZ");
    TTextForm form;
    form.show();
    form.KonfigureringClick();
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].program, ResolvePath(programDir.Dnc("VakoEdtI.exe")));
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(prompter.shown.empty());  // nothing changed: no question
}
