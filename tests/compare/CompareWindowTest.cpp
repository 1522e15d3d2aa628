// The comparison window and the transform dialog in the real main window (offscreen, real
// text controls), a scripted person at the dialogs: the backup compared after a save, the
// panes aligned and scrolling together, next and previous difference, "Kopier til venstre"
// as one step that "Angre" takes back, the options kept per user, the reload question's
// "Sammenlign", and a transform as one undo step or refused with nothing changed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "WindowTest.h"
#include "compare/Transform.h"
#include "document/DocFiles.h"
#include "settings/Settings.h"
#include "windows/compare/CompareForm.h"
#include "windows/compare/TransformForm.h"

namespace {

class CompareWindow : public WindowTest {
protected:
    void SetUp() override { std::filesystem::create_directories(dir.File("M1")); }
    std::string Ini() {
        return "[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nKatalog=" + dir.Dnc("M1") +
               "\\\r\nBlokkTegn=N\r\n";
    }
    std::string M1(const std::string& name) { return dir.Dnc("M1") + "\\" + name; }

    // Runs act in the dialog the handler shows (made on first use); should it stay open, a
    // guard closes it, so a failing test cannot hang.
    template <typename Dialog>
    void WhenShown(TTextForm& form, Dialog*& (*slot)(TTextForm&), std::function<void(Dialog&)> act) {
        QTimer::singleShot(0, &form, [&form, slot, act] {
            Dialog* d = slot(form);
            ASSERT_NE(d, nullptr);
            act(*d);
            QTimer::singleShot(5000, d, [d] {
                if (d->isVisible()) d->done(QDialog::Rejected);
            });
        });
    }
    static TCompareForm*& CompareSlot(TTextForm& f) { return f.Windows().CompareForm; }
    static TTransformForm*& TransformSlot(TTextForm& f) { return f.Windows().TransformForm; }

    // A program of n blocks; lines in `changed` get another feed.
    static std::string Program(int n, std::initializer_list<int> changed = {}) {
        std::string s = "%\r\n";
        for (int i = 1; i <= n; ++i) {
            bool other = std::find(changed.begin(), changed.end(), i) != changed.end();
            s += "N" + std::to_string(i * 10) + " G1 X" + std::to_string(i) + ". Y0 F" +
                 (other ? "250" : "300") + "\r\n";
        }
        return s + "%\r\n";
    }
};

// Saving makes the ".Bak"; comparing with it shows what the save changed, aligned, and
// "Kopier til venstre" brings one difference back as one step of the text.
TEST_F(CompareWindow, BackupAfterASaveNextPreviousScrollingAndCopyLeft) {
    ScopedIni ini(Ini());
    const std::string file = dir.File("M1/PROG.NC");
    WriteFileBytes(file, Program(120));
    TTextForm form;
    prompter.files.push_back(M1("PROG.NC"));
    form.Aapne1Click();
    ASSERT_EQ(form.Doc().FileName, "PROG.NC");
    // The control changed F300 to F250 on blocks 20 and 90; a block was added after 60.
    std::string edited = Program(120, {20, 90});
    edited.insert(edited.find("N610 "), "M08\r\n");
    form.Text().SetText(edited);
    form.Lagre1Click();
    ASSERT_EQ(ReadFileBytes(dir.File("M1/PROG.Bak")), Program(120));

    bool shown = false;
    WhenShown<TCompareForm>(form, &CompareSlot, [&](TCompareForm& c) {
        shown = true;
        EXPECT_EQ(c.windowTitle(), "Sammenlign");
        const CompareResult& r = c.Result();
        ASSERT_EQ(r.hunks.size(), 3u);
        EXPECT_EQ(c.Antall->text(), "2 endret, 0 lagt til, 1 fjernet");
        // Aligned: the backup's pane has a filler row where the document has the new block.
        ASSERT_EQ(c.Venstre->LineCount(), c.Hoyre->LineCount());
        int added = c.RowOfDifference(1);
        EXPECT_EQ(c.Venstre->Line(added), "M08");
        EXPECT_EQ(c.Hoyre->Line(added), "");
        EXPECT_TRUE(c.Venstre->LineMarked(added, TextControl::LineMark::Removed));
        EXPECT_TRUE(c.Hoyre->LineMarked(added, TextControl::LineMark::Filler));
        EXPECT_EQ(c.Venstre->Line(added + 1), c.Hoyre->Line(added + 1));
        // The changed feed is the one word marked.
        int row = c.RowOfDifference(0);
        EXPECT_TRUE(c.Venstre->LineMarked(row, TextControl::LineMark::Changed));
        std::string line = c.Venstre->Line(row);
        int f = c.Venstre->LineIndex(row) + static_cast<int>(line.find("F250"));
        EXPECT_TRUE(c.Venstre->BytesMarked(f));
        EXPECT_FALSE(c.Venstre->BytesMarked(c.Venstre->LineIndex(row) + 1));
        EXPECT_TRUE(c.Venstre->isReadOnly());

        // Next and previous, by button and by F8 / Shift+F8.
        EXPECT_EQ(c.CurrentDifference(), -1);
        QTest::mouseClick(c.NesteForskjell, Qt::LeftButton);
        EXPECT_EQ(c.CurrentDifference(), 0);
        EXPECT_EQ(c.Venstre->LineFromChar(c.Venstre->SelStart()), c.RowOfDifference(0));
        QTest::keyClick(&c, Qt::Key_F8);
        QTest::keyClick(&c, Qt::Key_F8);
        EXPECT_EQ(c.CurrentDifference(), 2);
        QTest::keyClick(&c, Qt::Key_F8);  // no further
        EXPECT_EQ(c.CurrentDifference(), 2);
        EXPECT_EQ(c.Hoyre->LineFromChar(c.Hoyre->SelStart()), c.RowOfDifference(2));
        EXPECT_EQ(c.Hoyre->FirstVisibleLine(), c.Venstre->FirstVisibleLine());
        QTest::keyClick(&c, Qt::Key_F8, Qt::ShiftModifier);
        EXPECT_EQ(c.CurrentDifference(), 1);

        // Scrolling one pane scrolls the other to the same rows.
        c.Venstre->verticalScrollBar()->setValue(40);
        EXPECT_EQ(c.Venstre->FirstVisibleLine(), 40);
        EXPECT_EQ(c.Hoyre->FirstVisibleLine(), 40);
        c.Hoyre->verticalScrollBar()->setValue(7);
        EXPECT_EQ(c.Venstre->FirstVisibleLine(), 7);

        // The backup's block 90 back into the document; nothing else of it changes.
        QTest::mouseClick(c.ForrigeForskjell, Qt::LeftButton);
        QTest::mouseClick(c.NesteForskjell, Qt::LeftButton);
        QTest::mouseClick(c.NesteForskjell, Qt::LeftButton);
        ASSERT_EQ(c.CurrentDifference(), 2);
        QTest::mouseClick(c.KopierTilVenstre, Qt::LeftButton);
        EXPECT_EQ(c.Result().hunks.size(), 2u);
        EXPECT_EQ(c.Antall->text(), "1 endret, 0 lagt til, 1 fjernet");
        QTest::mouseClick(c.Lukk, Qt::LeftButton);
    });
    form.SammenlignBackupClick();
    ASSERT_TRUE(shown);
    std::string expected = edited;
    expected.replace(expected.find("N900 G1 X90. Y0 F250"), 20, "N900 G1 X90. Y0 F300");
    EXPECT_EQ(form.Text().Text(), expected);
    EXPECT_TRUE(form.Text().Modified());
    // One step: "Angre" takes the copy back.
    form.AngreClick();
    EXPECT_EQ(form.Text().Text(), edited);
    EXPECT_TRUE(prompter.Texts("message").empty());
    EXPECT_TRUE(prompter.Texts("question").empty());
}

// The options are the user's: kept between showings, and with "Ignorer blokknummer" a
// renumbered copy on the disk is no difference at all; an added block at the end of the
// program comes over as a line of its own.
TEST_F(CompareWindow, OptionsAreKeptAndTheReloadQuestionOffersTheComparison) {
    ScopedIni ini(Ini());
    const std::string file = dir.File("M1/PROG.NC");
    WriteFileBytes(file, "N10 G0 X0\r\nN20 G1 X5 F300\r\nN30 M30\r\n");
    struct timespec before[2] = {{3000000, 0}, {3000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), before, 0), 0);
    TTextForm form;
    form.show();
    prompter.files.push_back(M1("PROG.NC"));
    form.Aapne1Click();
    // Renumbered at the control and a block added: the question offers "Sammenlign".
    WriteFileBytes(file, "N100 G0 X0\r\nN110 G1 X5 F300\r\nN120 M30\r\nN130 M02\r\n");
    struct timespec t[2] = {{4000000, 0}, {4000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), t, 0), 0);
    prompter.answers = {Answer::Compare};
    int showings = 0;
    WhenShown<TCompareForm>(form, &CompareSlot, [&](TCompareForm& c) {
        ++showings;
        EXPECT_EQ(c.rightName, M1("PROG.NC"));
        EXPECT_FALSE(c.IgnorerBlokknummer->isChecked());
        EXPECT_EQ(c.Result().changed, 3u);
        QTest::mouseClick(c.IgnorerBlokknummer, Qt::LeftButton);
        EXPECT_EQ(c.Result().hunks.size(), 1u);
        EXPECT_EQ(c.Antall->text(), "0 endret, 1 lagt til, 0 fjernet");
        QTest::mouseClick(c.KopierTilVenstre, Qt::LeftButton);
        EXPECT_EQ(c.Antall->text(), "Ingen forskjeller");
        EXPECT_FALSE(c.KopierTilVenstre->isEnabled());
        c.accept();
    });
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    ASSERT_EQ(showings, 1);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back().buttons, Buttons::YesNoCompare);
    // Not reloaded: the document is its own text with the one block taken over.
    EXPECT_EQ(form.Text().Text(), "N10 G0 X0\r\nN20 G1 X5 F300\r\nN30 M30\r\nN130 M02\r\n");
    EXPECT_EQ(ReadPersonalInt(kIgnoreNumbersKey, 0), 1);

    // The next showing (the disk's file from the menu) starts with the option as left.
    WhenShown<TCompareForm>(form, &CompareSlot, [&](TCompareForm& c) {
        ++showings;
        EXPECT_TRUE(c.IgnorerBlokknummer->isChecked());
        EXPECT_TRUE(c.Result().Equal());
        c.accept();
    });
    form.SammenlignDiskClick();
    EXPECT_EQ(showings, 2);
}

// "Transformer" after "Rotering": the marked lines moved as one step that "Angre" takes
// back; a program that cannot be transformed is refused with the line and stays as it was.
TEST_F(CompareWindow, TransformIsOneUndoStepOrRefused) {
    ScopedIni ini(Ini());
    TTextForm form;
    QList<QAction*> edit = form.Actions().Rediger1->actions();
    int rotering = edit.indexOf(form.Actions().Rotering1);
    ASSERT_GE(rotering, 0);
    EXPECT_EQ(edit.value(rotering + 1), form.Actions().Transformer1);
    EXPECT_EQ(form.Actions().Vis1->title(), "&Vis");
    const std::string program = "N10 G90 G0 X0 Y0 Z5.\r\nN20 G1 X10. F100\r\nN30 Y10.\r\nN40 X0\r\nN50 M30\r\n";
    form.Text().SetText(program);
    form.Text().SetModified(false);
    // Lines 2 to 3 marked.
    int from = form.Text().LineIndex(1);
    form.Text().SetSelection(from, form.Text().LineIndex(3) - from);
    WhenShown<TTransformForm>(form, &TransformSlot, [&](TTransformForm& t) {
        EXPECT_EQ(t.windowTitle(), "Transformer");
        EXPECT_TRUE(t.BareMerketOmraade->isChecked());
        t.DX->setText("2,5");
        t.DY->setText("-1");
        QTest::mouseClick(t.Transformer, Qt::LeftButton);
    });
    form.Transformer1Click();
    EXPECT_EQ(form.Text().Text(), "N10 G90 G0 X0 Y0 Z5.\r\nN20 G1 X12.5 Y-1. F100\r\nN30 Y9.\r\nN40 X0\r\nN50 M30\r\n");
    EXPECT_TRUE(form.Text().Modified());
    form.AngreClick();
    EXPECT_EQ(form.Text().Text(), program);

    // A bad value is said and the dialog stays; Avbryt then changes nothing.
    WhenShown<TTransformForm>(form, &TransformSlot, [&](TTransformForm& t) {
        t.Skaler->click();
        t.Faktor->setText("0");
        QTest::mouseClick(t.Transformer, Qt::LeftButton);
        EXPECT_TRUE(t.isVisible());
        QTest::mouseClick(t.Avbryt, Qt::LeftButton);
    });
    form.Transformer1Click();
    ASSERT_EQ(prompter.Texts().size(), 1u);
    EXPECT_EQ(prompter.Texts()[0], "Oppgitte verdier er feil");
    EXPECT_EQ(form.Text().Text(), program);

    // Refused: the whole program turned, with a variable in it.
    form.Text().SetText("N10 G0 X0 Y0 Z5.\r\nN20 G1 X#101\r\nN30 M30\r\n");
    form.Text().SetSelection(0, 0);
    WhenShown<TTransformForm>(form, &TransformSlot, [&](TTransformForm& t) {
        EXPECT_FALSE(t.BareMerketOmraade->isEnabled());
        t.Roter->click();
        t.Vinkel->setText("90");
        QTest::mouseClick(t.Transformer, Qt::LeftButton);
    });
    form.Transformer1Click();
    ASSERT_EQ(prompter.Texts().size(), 2u);
    EXPECT_EQ(prompter.Texts()[1], "Linje 2 kan ikke transformeres: variabler og uttrykk tolkes ikke");
    EXPECT_EQ(form.Text().Text(), "N10 G0 X0 Y0 Z5.\r\nN20 G1 X#101\r\nN30 M30\r\n");
}

}  // namespace
