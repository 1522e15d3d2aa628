// The main window, offscreen, with its real text control: start-up settings, the command
// line, caption and title, edit commands, typed letters, menus, tool bar and recent files.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

#include <filesystem>

#include "WindowTest.h"
#include "document/AppTitle.h"
#include "document/Loaders.h"
#include "editor/EditUnit.h"
#include "settings/PathResolve.h"
#include "settings/Recent.h"
#include "settings/Settings.h"

namespace {
class EditUnit : public WindowTest {
protected:
    // An ini of three machines whose folders are in the temporary folder.
    std::string Ini(const std::string& programExtra = "", const std::string& extra = "") {
        return "[Program]\r\nMaskiner=3\r\nHendelser=False\r\nLeseHendelser=True\r\n" +
               programExtra + "\r\n[Maskin1]\r\nNavn=Dreiebenk\r\nKatalog=" + dir.Dnc("M1") +
               "\\\r\n[Maskin2]\r\nNavn=Fres \xC6\xD8\xC5\r\nKatalog=" + dir.Dnc("M2") +
               "\\\r\nUtKatalog=True\r\nKatalog2=" + dir.Dnc("M2UT") + "\\\r\n[Maskin3]\r\nKatalog=" +
               dir.Dnc("M3") + "\\\r\n[VakoEdit]\r\nPort=COM1\r\n" + extra;
    }
    std::string Upper(const std::string& s) { return UpperCase1252Copy(s); }
    static std::string UpperCase1252Copy(std::string s) {
        for (auto& c : s)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        return s;
    }
};

std::vector<std::string> Captions(QMenu* menu) {
    std::vector<std::string> r;
    for (QAction* a : menu->actions()) {
        std::string c = a->isSeparator() ? "-" : ToCp1252(a->text());
        if (!a->shortcut().isEmpty()) c += " [" + a->shortcut().toString().toStdString() + "]";
        r.push_back(c);
    }
    return r;
}
}  // namespace

TEST_F(EditUnit, CaptionAndApplicationTitle) {
    ScopedIni ini(Ini());
    TTextForm form;
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor, versjon 1.4.1");
    form.SetFileName("PROG.NC");
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor - PROG.NC");
    EXPECT_EQ(form.Doc().FileName, "PROG.NC");
    EXPECT_EQ(ApplicationTitle(), "PROG.NC - Skarv-Editor");
    form.SetFileName("UNDER\\DEL \xC6.NC");  // a file below the current folder
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor - UNDER\\DEL \xC6.NC");
    EXPECT_EQ(ApplicationTitle(), "DEL \xC6.NC - Skarv-Editor");
    form.SetFileName("");
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor");
    EXPECT_EQ(ApplicationTitle(), "Skarv-Editor");
    form.SetFolder("C:\\NC\\PREFIX");
    EXPECT_EQ(form.Doc().CurrentFolder, "C:\\NC\\PREFIX");
}

TEST_F(EditUnit, SettingsReadAtCreation) {
    WritePersonalInt("TekstFormatering", 1);
    ScopedIni ini(Ini("FontSize=14\r\nStoreBokstaver=0\r\nPrintFormatert=False\r\nDOSFormat=1\r\n"
                      "TekstFormat=False\r\nMaskOpen=True\r\n"));
    TTextForm form;
    EXPECT_EQ(form.Actions().MaskinBoks->count(), 3);
    EXPECT_EQ(ToCp1252(form.Actions().MaskinBoks->itemText(0)), "DREIEBENK");
    EXPECT_EQ(ToCp1252(form.Actions().MaskinBoks->itemText(1)), "FRES \xC6\xD8\xC5");
    EXPECT_EQ(ToCp1252(form.Actions().MaskinBoks->itemText(2)), "MASKIN3");  // the section's name
    EXPECT_EQ(form.CurrentMachine(), 1);
    // The machine change ran once, for the first machine.
    EXPECT_EQ(form.Doc().CurrentFolder, UpperCase1252Copy(dir.Dnc("M1") + "\\"));
    EXPECT_TRUE(
        form.Actions().HendelseButton->isEnabled());  // LeseHendelser stands in for Hendelser
    EXPECT_TRUE(form.Actions().Overfoer->isEnabled());
    EXPECT_TRUE(form.Actions().TekstFormatering->isChecked());
    EXPECT_FALSE(form.Doc().StoreBokstaver);
    EXPECT_FALSE(form.Doc().PrintFormatert);
    EXPECT_TRUE(form.Doc().DOSFormat);
    EXPECT_FALSE(form.Doc().TekstFormat);
    EXPECT_TRUE(form.Doc().MaskOpen);
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_EQ(form.Doc().FileStamp, -1);
    EXPECT_EQ(form.Text().FontSize(), 14);
    EXPECT_EQ(form.Doc().HelpFile, ProgramDirectory() + "Hjelp\\VakoEdit.Hlp");
    EXPECT_EQ(form.MachineExtension(), ".NC");
}

TEST_F(EditUnit, DefaultsWithoutSettings) {
    ScopedIni ini("[Program]\r\n");
    TTextForm form;
    EXPECT_EQ(form.Actions().MaskinBoks->count(), 1);
    EXPECT_EQ(ToCp1252(form.Actions().MaskinBoks->itemText(0)), "MASKIN1");
    EXPECT_EQ(form.Doc().CurrentFolder, "C:\\VAKO\\MASKIN1\\");
    EXPECT_FALSE(form.Actions().HendelseButton->isEnabled());
    EXPECT_FALSE(form.Actions().Overfoer->isEnabled());
    EXPECT_FALSE(form.Actions().TekstFormatering->isChecked());
    EXPECT_TRUE(form.Doc().StoreBokstaver);
    EXPECT_TRUE(form.Doc().TekstFormat);
    EXPECT_FALSE(form.Doc().MaskOpen);
    EXPECT_EQ(form.Text().FontSize(), 10);
    EXPECT_FALSE(form.Actions().TCPoverfoering->isVisible());
    EXPECT_EQ(form.Doc().TcpClient.RemotePort, "50000");
}

TEST_F(EditUnit, NoMachines) {
    ScopedIni ini("[Program]\r\nMaskiner=0\r\n");
    TTextForm form({"PROG.NC", "1"});
    EXPECT_EQ(form.Actions().MaskinBoks->count(), 0);
    EXPECT_EQ(form.Actions().MaskinBoks->currentIndex(), -1);
    EXPECT_EQ(form.CurrentMachine(), 0);
}

TEST_F(EditUnit, MachineNumberFromTheCommandLine) {
    ScopedIni ini(Ini());
    const std::string inM2 = dir.File("M2") + "/SUB/PROG.NC";  // below machine 2's folder
    const std::string elsewhere = dir.File("ANNET") + "/PROG.NC";
    struct Case {
        std::vector<std::string> args;
        int machine;
    } cases[] = {
        {{elsewhere, "3"}, 3},
        {{elsewhere, "x3y"}, 3},
        {{inM2, "1"}, 1},        // the number wins over the folder
        {{elsewhere, "0"}, 0},   // no machine; the search finds none
        {{elsewhere, "9"}, 0},   // above the count
        {{inM2, "0"}, 2},        // the search finds the machine of the file's folder
        {{inM2}, 2},             // one argument: the search alone
        {{elsewhere}, 0},
        {{}, 1},                 // no argument: the first machine stays selected
    };
    for (const auto& c : cases) {
        TTextForm form(c.args);
        EXPECT_EQ(form.CurrentMachine(), c.machine) << (c.args.empty() ? "" : c.args[0])
                                                    << " " << (c.args.size() > 1 ? c.args[1] : "");
        // Selecting from the command line does not run the machine change: the folder is
        // still the first machine's.
        EXPECT_EQ(form.Doc().CurrentFolder, UpperCase1252Copy(dir.Dnc("M1") + "\\"));
    }
}

TEST_F(EditUnit, FolderSearchStopsAtTheFirstMachineWithoutFolder) {
    ScopedIni ini("[Program]\r\nMaskiner=3\r\n[Maskin1]\r\nKatalog=C:\\A\\\r\n[Maskin3]\r\nKatalog=" +
                  dir.Dnc("M3") + "\\\r\n");
    TTextForm form({dir.File("M3") + "/P.NC"});
    EXPECT_EQ(form.CurrentMachine(), 0);
}

TEST_F(EditUnit, TcpHostAndPort) {
    {
        ScopedIni ini(Ini("", "[VakoTcp]\r\nVakoIP=dnc.Verksted:6001\r\n"));
        TTextForm form;
        form.show();
        EXPECT_EQ(form.Doc().TcpClient.RemoteHost, "dnc.Verksted");  // as stored, not upper-cased
        EXPECT_EQ(form.Doc().TcpClient.RemotePort, "6001");
        EXPECT_TRUE(form.Actions().TCPoverfoering->isVisible());
    }
    {
        ScopedIni ini(Ini("", "[VakoTcp]\r\nVakoIP=10.0.0.7\r\n"));
        TTextForm form;
        EXPECT_EQ(form.Doc().TcpClient.RemoteHost, "10.0.0.7");
        EXPECT_EQ(form.Doc().TcpClient.RemotePort, "50000");
    }
    {
        ScopedIni ini(Ini());
        TTextForm form;
        form.show();
        EXPECT_FALSE(form.Actions().TCPoverfoering->isVisible());
    }
}

TEST_F(EditUnit, EditCommandsFollowSelectionClipboardAndText) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    QApplication::clipboard()->clear();
    form.UpdateEditCommands();
    EXPECT_FALSE(form.Actions().Seek1->isEnabled());
    EXPECT_FALSE(form.Actions().RenumButton->isEnabled());
    EXPECT_FALSE(form.Actions().Liminn1->isEnabled());
    EXPECT_FALSE(form.Actions().LimInnButton->isEnabled());

    form.Text().SetText("N10 G01 X5\r\nN20 M30\r\n");
    form.Text().SetSelection(4, 3);  // the selection change runs RichEdit1SelectionChange
    for (QAction* a :
         {form.Actions().KlippUt1, form.Actions().KlippUt2, form.Actions().KlippUtButton,
          form.Actions().Kopier1, form.Actions().Kopier2, form.Actions().KopierButton,
          form.Actions().Slett1, form.Actions().SlettButton, form.Actions().Seek1,
          form.Actions().SeekButton, form.Actions().Erstatt1, form.Actions().Komprimer,
          form.Actions().Luft, form.Actions().Renummerering1})
        EXPECT_TRUE(a->isEnabled()) << ToCp1252(a->text());
    EXPECT_FALSE(form.Actions().Angre->isEnabled());
    EXPECT_TRUE(form.Actions().AngreButton->isEnabled());  // always

    form.Actions().Kopier1->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("G01"));
    EXPECT_TRUE(form.Actions().Liminn1->isEnabled());
    EXPECT_TRUE(form.Actions().Liminn2->isEnabled());
    form.Text().SetSelStart(0);
    EXPECT_FALSE(form.Actions().KlippUt1->isEnabled());
    EXPECT_FALSE(form.Actions().SlettButton->isEnabled());

    form.Actions().Liminn1->trigger();
    EXPECT_EQ(form.Text().Line(0), "G01N10 G01 X5");
    EXPECT_TRUE(form.Actions().Angre->isEnabled());
    form.Actions().Angre->trigger();
    EXPECT_EQ(form.Text().Line(0), "N10 G01 X5");

    form.Text().SetSelection(0, 4);
    form.Actions().Slett1->trigger();  // "&Fjern": the clipboard stays
    EXPECT_EQ(form.Text().Line(0), "G01 X5");
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("G01"));

    // Loading keeps the handler quiet.
    form.Doc().Loading = true;
    form.Text().SetSelection(0, 3);
    EXPECT_FALSE(form.Actions().KlippUt1->isEnabled());
    form.Doc().Loading = false;
    form.Actions().Rediger1->aboutToShow();  // opening the Edit menu updates the commands
    EXPECT_TRUE(form.Actions().KlippUt1->isEnabled());
}

TEST_F(EditUnit, EditShortcutsReachTheMenuFromTheText) {
    // Scintilla's own meanings of these keys (Ctrl+D doubles a line) must not win.
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    QApplication::setActiveWindow(&form);
    form.Text().setFocus();
    form.Text().SetText("N10 G01\r\nN20\r\n");
    form.Text().SetSelection(0, 4);
    QTest::keyClick(&form.Text(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(form.Text().Text(), "G01\r\nN20\r\n");
    form.Text().SetSelection(0, 3);
    QTest::keyClick(&form.Text(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(form.Text().Text(), "\r\nN20\r\n");
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("G01"));
    QTest::keyClick(&form.Text(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&form.Text(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form.Text().Text(), "G01G01\r\nN20\r\n");
    QTest::keyClick(&form.Text(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form.Text().Text(), "G01\r\nN20\r\n");
}

TEST_F(EditUnit, TypedLettersBecomeCapitalsPastedTextStays) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    form.Text().setFocus();
    QTest::keyClicks(&form.Text(), QStringLiteral(u"g01 x5 \u00f8\u00e6"));
    EXPECT_EQ(form.Text().Text(), "G01 X5 \xF8\xE6");
    QApplication::clipboard()->setText(QStringLiteral(" g02 y1"));
    form.Actions().Liminn1->trigger();
    EXPECT_EQ(form.Text().Text(), "G01 X5 \xF8\xE6 g02 y1");
    form.Text().SetText("n10\r\n");  // loaded text is not changed either
    EXPECT_EQ(form.Text().Line(0), "n10");

    form.Doc().StoreBokstaver = false;
    form.Text().Clear();
    QTest::keyClicks(&form.Text(), QStringLiteral("g1"));
    EXPECT_EQ(form.Text().Text(), "g1");
}

TEST_F(EditUnit, MenusAndToolBarAsListed) {
    ScopedIni ini(Ini());
    TTextForm form;
    auto menus = form.menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(ToCp1252(menus[0]->text()), "&Fil");
    EXPECT_EQ(ToCp1252(menus[1]->text()), "&Rediger");
    EXPECT_EQ(ToCp1252(menus[2]->text()), "&Hjelp");
    EXPECT_EQ(
        Captions(form.Actions().Fil1),
        (std::vector<std::string>{
            "&Ny [Ctrl+N]", "&\xC5pne [Ctrl+O]", "L&im inn fil", "&Lagre [Ctrl+S]", "Lagre &som",
            "Siste filer", "-", "&Katalog", "&Overf\xF8r [F2]", "FTP overf\xF8ring [F4]",
            "TCP overf\xF8ring [F6]", "&Reklame", "-", "Skriv &ut", "-", "&Avslutt"}));
    EXPECT_EQ(Captions(form.Actions().Rediger1),
              (std::vector<std::string>{"&Angre [Ctrl+Z]", "-", "Klipp &ut [Ctrl+X]",
                                        "&Kopier [Ctrl+C]", "&Lim inn [Ctrl+V]", "&Fjern [Ctrl+D]",
                                        "-", "&S\xF8k", "&Erstatt", "-", "K&omprimer program",
                                        "L&uft program", "&Renummerering", "Tr&igonometri",
                                        "Rotering", "-", "&Tekstformatering"}));
    EXPECT_TRUE(form.Actions().TekstFormatering->isCheckable());
    EXPECT_EQ(Captions(form.Actions().Hjelp1),
              (std::vector<std::string>{"&Emner i hjelp", "-", "&Konfigurering", "-",
                                        "&Om Skarv-Editor"}));
    EXPECT_EQ(Captions(form.Actions().PopupMenu1),
              (std::vector<std::string>{"Klipp &ut", "&Kopier", "&Lim inn"}));

    std::vector<std::string> bar;
    for (QAction* a : form.Actions().Panel1->actions()) {
        if (a->isSeparator()) bar.push_back(";");
        else if (!a->toolTip().isEmpty() && !a->icon().isNull()) bar.push_back(ToCp1252(a->toolTip()));
        else bar.push_back("[widget]");
    }
    EXPECT_EQ(bar, (std::vector<std::string>{
                       "[widget]", "Ny", "\xC5pne", "Lagre", "Lagre som", ";", "Hendelser", ";",
                       "Skriv ut", ";", "Klipp ut", "Kopier", "Lim inn", "Slett", ";", "Angre", ";",
                       "S\xF8k", "Erstatt", ";", "Komprimering", "Lufting", "Renummerering",
                       "Trigonometri", "[widget]", "Avslutt"}));
    EXPECT_EQ(form.Actions().MaskinBoks->width(), 129);

    // The menus as drawn, for a look at the Norwegian letters.
    form.show();
    for (QMenu* m : {form.Actions().Fil1, form.Actions().Rediger1}) {
        m->popup(form.mapToGlobal(QPoint(0, 0)));
        QApplication::processEvents();
        m->grab().save(QString::fromUtf8(SKARV_BUILD_DIR) + "/menu-" +
                       QString::fromLatin1(ToCp1252(m->title()).c_str()).remove('&') + ".png");
        m->hide();
    }
}

TEST_F(EditUnit, CommandLineFileIsLoadedAtFirstShowing) {
    ScopedIni ini(Ini());
    WriteFileBytes(dir.File("PROG.NC"), "N10 G01\r\nN20 M30\r\n");
    TTextForm form({dir.File("PROG.NC")});
    form.show();
    EXPECT_EQ(form.Text().Text(), "N10 G01\r\nN20 M30\r\n");
    EXPECT_FALSE(form.Text().Modified());
    EXPECT_EQ(form.Doc().FileName, "PROG.NC");
    EXPECT_EQ(form.Doc().CurrentFolder, FolderPart(dir.Dnc("PROG.NC")));
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor - PROG.NC");
    ASSERT_TRUE(form.Doc().RecentFiles);
    ASSERT_EQ(form.Doc().RecentFiles->Count(), 1);
    EXPECT_EQ(form.Doc().RecentFiles->Entry(0), dir.Dnc("PROG.NC"));
    EXPECT_TRUE(form.Actions().Seek1->isEnabled());
}

TEST_F(EditUnit, CommandLineDrawingThatFailsLeavesTheDocumentUntitled) {
    ScopedIni ini(Ini());
    MessageRecorder messages;
    WriteFileBytes(dir.File("DEL.DXF"), "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nLINE\r\n");
    TTextForm form({dir.File("DEL.DXF")});
    form.show();
    // The conversion fails; a save must not write over the drawing.
    EXPECT_EQ(form.Doc().FileName, "");
    EXPECT_EQ(ReadFileBytes(dir.File("DEL.DXF")).substr(0, 3), "  0");
    ASSERT_FALSE(messages.messages.empty());
    EXPECT_EQ(messages.messages.back().second, "Feil med konvertering fra DXF TIL NC");
}

TEST_F(EditUnit, CommandLineFileThatDoesNotExistYetIsANewProgramUnderItsName) {
    // The DNC system makes a new program by starting the editor with its name.
    ScopedIni ini(Ini());
    MessageRecorder messages;
    TTextForm form({dir.File("NY.NC")});
    form.show();
    EXPECT_EQ(form.Doc().FileName, "NY.NC");
    EXPECT_EQ(form.Doc().CurrentFolder, FolderPart(dir.Dnc("NY.NC")));
    EXPECT_EQ(ApplicationTitle(), "NY.NC - Skarv-Editor");  // a second start finds it
    EXPECT_EQ(form.Text().Text(), "");
    EXPECT_FALSE(form.Text().Modified());
    // The control's reader reports the file it could not open, as at every load.
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].second, kLoadFailText + dir.Dnc("NY.NC"));
    // Save writes it under that name, without asking for one.
    form.Text().TypeCharacter('N');
    form.Lagre1Click();
    EXPECT_TRUE(prompter.fileRequests.empty());
    EXPECT_EQ(ReadFileBytes(dir.File("NY.NC")), "N\r\n");

    // Something that is there but cannot be read does not name the document.
    std::filesystem::create_directory(dir.File("MAPPE.NC"));
    TTextForm folder({dir.File("MAPPE.NC")});
    folder.show();
    EXPECT_EQ(folder.Doc().FileName, "");
}

TEST_F(EditUnit, AMinimisedWindowComesBackAsItWas) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.showMaximized();
    form.showMinimized();
    ASSERT_TRUE(form.isMinimized());
    form.BringToFront();
    EXPECT_FALSE(form.isMinimized());
    EXPECT_TRUE(form.isMaximized());
    form.showNormal();
    form.showMinimized();
    form.BringToFront();
    EXPECT_FALSE(form.isMinimized());
    EXPECT_FALSE(form.isMaximized());
}

TEST_F(EditUnit, UserMachineChangeSetsTheFolder) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.Actions().MaskinBoks->setCurrentIndex(2);
    emit form.Actions().MaskinBoks->activated(2);
    EXPECT_EQ(form.Doc().CurrentFolder, UpperCase1252Copy(dir.Dnc("M3") + "\\"));
    form.Actions().MaskinBoks->setCurrentIndex(1);
    emit form.Actions().MaskinBoks->activated(1);
    EXPECT_EQ(form.Doc().CurrentFolder, UpperCase1252Copy(dir.Dnc("M2UT") + "\\"));  // UtKatalog
}

TEST_F(EditUnit, RecentFilesMenuAndStoreAtClose) {
    ScopedIni ini(Ini());
    {
        TTextForm form;
        form.show();
        form.Actions().Fil1->aboutToShow();
        EXPECT_FALSE(form.Actions().SisteFiler->isEnabled());  // an empty list
        form.Doc().RecentFiles->Add("C:\\NC\\A&B.NC");
        form.Doc().RecentFiles->Add("C:\\NC\\\xC6RE.NC");
        form.Actions().Fil1->aboutToShow();
        EXPECT_TRUE(form.Actions().SisteFiler->isEnabled());
        auto items = form.Actions().SisteFiler->actions();
        ASSERT_EQ(items.size(), 2);
        EXPECT_EQ(ToCp1252(items[0]->text()), "C:\\NC\\\xC6RE.NC");
        EXPECT_EQ(ToCp1252(items[1]->text()), "C:\\NC\\A&&B.NC");  // shown with its "&"
        form.close();
        EXPECT_FALSE(form.Doc().RecentFiles);
    }
    EXPECT_EQ(ReadPersonalString(kRecentSubKey, "File1", ""), "C:\\NC\\\xC6RE.NC");
    EXPECT_EQ(ReadPersonalString(kRecentSubKey, "File2", ""), "C:\\NC\\A&B.NC");
}

TEST_F(EditUnit, LoadingGuardAndWaitCursor) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.show();
    QSignalSpy changed(&form.Text(), &TextControl::TextChanged);
    {
        WaitCursor wait(form);
        LoadingGuard loading(form);
        EXPECT_TRUE(form.Doc().Loading);
        EXPECT_TRUE(form.Text().Updating());
        EXPECT_TRUE(form.HourglassShown());
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        form.Text().SetText("N10\r\n");
        form.Text().SetSelection(0, 3);
        EXPECT_FALSE(form.Actions().KlippUt1->isEnabled());  // the handlers keep quiet
    }
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_FALSE(form.Text().Updating());
    EXPECT_FALSE(form.HourglassShown());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(EditUnit, ArgumentsBecomeDncPaths) {
    EXPECT_EQ(ArgumentToDncPath("C:\\NC\\P.NC"), "C:\\NC\\P.NC");
    EXPECT_EQ(ArgumentToDncPath("/tmp/x/P.NC"), "C:\\tmp\\x\\P.NC");
    EXPECT_EQ(ArgumentToDncPath("/tmp/\xE6.NC"), "C:\\tmp\\\xE6.NC");
    // The shell hands the arguments over in UTF-8; the program holds them in Windows-1252,
    // the form of its titles, so a file name with æ, ø or å is one name on both sides of
    // the single-instance check.
    char program[] = "VakoEdit";
    char file[] = "/tmp/BR\xC3\x85KETT.NC";  // UTF-8 "Å"
    char machine[] = "2";
    char* argv[] = {program, file, machine};
    EXPECT_EQ(CommandLineArguments(3, argv),
              (std::vector<std::string>{"/tmp/BR\xC5KETT.NC", "2"}));
}
