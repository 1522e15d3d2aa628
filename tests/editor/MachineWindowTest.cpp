// The machine change and the catalogue in the main window, with the real text control: the
// folders the change sets, and the catalogue lines with their bold names as the control
// shows them.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>

#include "WindowTest.h"
#include "editor/EditUnit.h"
#include "settings/PathResolve.h"

namespace {
class MachineWindow : public WindowTest {
protected:
    void Select(TTextForm& form, int k) {
        form.Actions().MaskinBoks->setCurrentIndex(k - 1);
        form.MaskinBoksChange();
    }
    // Whether every character of [start, start + length) is bold, and the next one is not.
    static bool BoldRun(TextControl& c, int start, int length) {
        for (int i = start; i < start + length; ++i)
            if (!c.StyleAt(i).bold) return false;
        return !c.StyleAt(start + length).bold;
    }
};
}  // namespace

TEST_F(MachineWindow, MachineChangeSetsTheFolderOfTheMachine) {
    ScopedIni ini("[Program]\r\nMaskiner=5\r\n"
                  "[Maskin1]\r\nKatalog=c:\\nc\\dreiebenk\\\r\n"
                  "[Maskin3]\r\nUtKatalog=True\r\nKatalog=C:\\NC\\Fres\\\r\n"
                  "[Maskin4]\r\nUtKatalog=1\r\nKatalog=C:\\NC\\A\\\r\nKatalog2=C:\\NC\\Ut\\\r\n"
                  "[Maskin5]\r\nUtKatalog=False\r\nKatalog2=C:\\NC\\Ut\\\r\n");
    TTextForm form;
    EXPECT_EQ(form.Doc().CurrentFolder, "C:\\NC\\DREIEBENK\\");  // upper-cased
    form.Text().SetText("N10 G1\r\n");
    form.SetFileName("PROG.NC");
    form.Text().SetModified(true);
    Select(form, 2);  // no Katalog key: the default, upper-cased
    EXPECT_EQ(form.Doc().CurrentFolder, "C:\\VAKO\\MASKIN2\\");
    Select(form, 3);  // UtKatalog without Katalog2: the Katalog value
    EXPECT_EQ(form.Doc().CurrentFolder, "C:\\NC\\FRES\\");
    Select(form, 4);
    EXPECT_EQ(form.Doc().CurrentFolder, "C:\\NC\\UT\\");
    Select(form, 5);  // Katalog2 only counts with UtKatalog
    EXPECT_EQ(form.Doc().CurrentFolder, "C:\\VAKO\\MASKIN5\\");
    // The document stays as it was, name and modified flag included.
    EXPECT_EQ(form.Text().Text(), "N10 G1\r\n");
    EXPECT_EQ(form.Doc().FileName, "PROG.NC");
    EXPECT_TRUE(form.Text().Modified());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(MachineWindow, CatalogueOfThreeProgramsWithBoldPaddedNames) {
    ScopedIni ini("[Program]\r\nMaskiner=1\r\nTekstFormat=False\r\n[Maskin1]\r\nKatalog=" +
                  dir.Dnc("") + "\r\nExt=.NC\r\n");
    std::string longLine(200, '7');
    WriteFileBytes(dir.File("PROGRAM.NC"), "%\r\n* kommentar\r\nN10 G90\r\n\x15hopp\r\n" + longLine + "\r\n");
    WriteFileBytes(dir.File("AKSEL.NC"), "N1 G0\r\n");
    WriteFileBytes(dir.File("B1.nc"), "");
    WriteFileBytes(dir.File("NOTES.TXT"), "N1\r\n");
    TTextForm form;
    form.Text().SetText("gammel tekst\r\n");
    form.Text().SetModified(false);
    form.SetFileName("GAMMEL.NC");
    form.Actions().TekstFormatering->setChecked(true);
    form.Katalog1Click();

    EXPECT_EQ(form.Doc().FileName, "");
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Skarv-Editor");
    EXPECT_FALSE(form.Actions().TekstFormatering->isChecked());
    EXPECT_FALSE(form.Text().Modified());
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_FALSE(form.HourglassShown());
    TextControl& c = form.Text();
    ASSERT_EQ(c.LineCount(), 3);
    EXPECT_EQ(c.Line(0), "AKSEL.NC    N1 G0");
    EXPECT_EQ(c.Line(1), "B1.nc     ");
    std::string excerpt = "  %  N10 G90  " + longLine;
    EXPECT_EQ(c.Line(2), "PROGRAM.NC" + excerpt.substr(0, 114));
    EXPECT_EQ(c.Line(2).size(), 124u);
    for (int line = 0; line < 3; ++line) EXPECT_TRUE(BoldRun(c, c.LineIndex(line), 10)) << line;
    EXPECT_FALSE(c.StyleAt(c.LineIndex(2) + 20).bold);
    EXPECT_EQ(c.SelStart(), 0);
    EXPECT_EQ(c.SelLength(), 0);
    EXPECT_TRUE(form.Actions().Seek1->isEnabled());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(MachineWindow, NamesWithCodesInTheCatalogueStayBold) {
    ScopedIni ini("[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nKatalog=" + dir.Dnc("") + "\r\n");
    WriteFileBytes(dir.File(Cp1252ToUtf8("#1.NC")), "N1\r\n");
    WriteFileBytes(dir.File(Cp1252ToUtf8("Bø.NC")), "N2\r\n");
    TTextForm form;
    form.Katalog1Click();
    TextControl& c = form.Text();
    ASSERT_EQ(c.LineCount(), 2);
    EXPECT_EQ(c.Line(0), "[35]1.NC  N1");
    EXPECT_EQ(c.Line(1), "B[248].NC  N2");
    EXPECT_TRUE(BoldRun(c, c.LineIndex(0), 8));
    EXPECT_TRUE(BoldRun(c, c.LineIndex(1), 9));
}

TEST_F(MachineWindow, CatalogueAndOpenDialogShareTheFolderPrefix) {
    // A "Katalog" without a trailing backslash: its last part is a file-name prefix.
    ScopedIni ini("[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nKatalog=" + dir.Dnc("") + "FRES\r\n");
    for (const char* n : {"FRES1.NC", "fres2.nc", "DREI.NC"}) WriteFileBytes(dir.File(n), "N1\r\n");
    TTextForm form;
    form.Aapne1Click();  // cancelled: only the request is looked at
    ASSERT_EQ(prompter.fileRequests.size(), 1u);
    EXPECT_EQ(prompter.fileRequests[0].fileName, "FRES*.NC");
    form.Katalog1Click();
    TextControl& c = form.Text();
    ASSERT_EQ(c.LineCount(), 2);
    EXPECT_EQ(c.Line(0).substr(0, 8), "FRES1.NC");
    EXPECT_EQ(c.Line(1).substr(0, 8), "fres2.nc");
}

TEST_F(MachineWindow, CatalogueAsksAboutChangesAndKeepsTheTextOfAnEmptyFolder) {
    ScopedIni ini("[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nKatalog=" + dir.Dnc("") + "\r\n");
    WriteFileBytes(dir.File("A.NC"), "N1\r\n");
    TTextForm form;
    form.Text().SetText("N10 endret\r\n");
    form.SetFileName("P.NC");
    prompter.answers = {Answer::Cancel};
    form.Katalog1Click();
    ASSERT_EQ(prompter.Texts("question"), std::vector<std::string>{"Programmet er endret. Lagre ?"});
    EXPECT_EQ(form.Text().Text(), "N10 endret\r\n");
    EXPECT_EQ(form.Doc().FileName, "P.NC");

    // An empty folder: the text stays, but the name is gone and the flag cleared.
    form.SetFolder(dir.Dnc("TOM") + "\\");
    prompter.answers = {Answer::No};
    form.Katalog1Click();
    EXPECT_EQ(form.Text().Text(), "N10 endret\r\n");
    EXPECT_EQ(form.Doc().FileName, "");
    EXPECT_FALSE(form.Text().Modified());
}
