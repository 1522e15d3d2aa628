// The main window's text tools on the real text control, offscreen: renumbering through the
// dialog, compress and air, the hole circle of the trigonometry dialog, the rotation window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

#include "WindowTest.h"
#include "windows/calc/RoteringForm.h"
#include "windows/calc/TrigForm.h"
#include "editor/EditUnit.h"
#include "nctools/Colour.h"
#include "nctools/CompressAir.h"
#include "nctools/LineList.h"
#include "windows/nctools/RenumForm.h"

namespace {
// Runs act once the dialog's modal loop runs; should the step leave it open, a guard closes
// it, so a failing test cannot hang.
void WhenShown(QDialog* dialog, std::function<void()> act) {
    QTimer::singleShot(0, dialog, [act] { act(); });
    QTimer::singleShot(5000, dialog, [dialog] {
        if (dialog->isVisible()) dialog->done(QDialog::Rejected);
    });
}

class ToolsWindow : public WindowTest {
protected:
    // Machine 1 numbers with N (and ":"), machine 2 is a Heidenhain control, machine 3 airs
    // with tabs.
    std::string Ini() {
        return "[Program]\r\nMaskiner=3\r\n[Maskin1]\r\nKatalog=" + dir.Dnc("M1") +
               "\\\r\nBlokkTegn=N:\r\n[Maskin2]\r\nKatalog=" + dir.Dnc("M2") +
               "\\\r\nProtokoll=HeidenHain\r\n[Maskin3]\r\nKatalog=" + dir.Dnc("M3") +
               "\\\r\nTab=True\r\n";
    }
    void Load(TTextForm& form, const std::string& text) {
        form.Text().SetText(text);
        form.Text().SetModified(false);
    }
};
}  // namespace

TEST_F(ToolsWindow, RenumberingTheWholeTextThroughTheDialog) {
    ScopedIni ini(Ini());
    TTextForm form;
    Load(form, "N10 G0 X0\r\nN20 G1 X5\r\n(SPOR 1)\r\n:5 T1\r\nN30 M30\r\n");
    form.Text().SetSelection(3, 0);
    bool quietWhileShown = false;
    ASSERT_EQ(form.Windows().RenForm, nullptr);  // made on first use
    // The window makes its dialog on first use; the first showing is caught as it starts.
    QTimer::singleShot(0, &form, [&] {
        TRenForm* ren = form.Windows().RenForm;
        ASSERT_NE(ren, nullptr);
        quietWhileShown = form.Doc().Loading && form.Text().Updating();
        EXPECT_EQ(ren->Linjer->text(), "5");
        EXPECT_FALSE(ren->BareMerketOmraade->isEnabled());
        ren->Start->setText("100");
        ren->Steg->setText("5");
        QTest::mouseClick(ren->Renummerer, Qt::LeftButton);
    });
    form.Renummerering1Click();
    EXPECT_TRUE(quietWhileShown);
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_FALSE(form.Text().Updating());
    EXPECT_TRUE(form.Windows().RenForm->Renumbered());
    EXPECT_EQ(form.Text().Text(),
              "N100 G0 X0\r\nN105 G1 X5\r\n(SPOR 1)\r\n:110 T1\r\nN115 M30\r\n");
    EXPECT_TRUE(form.Text().Modified());
    EXPECT_TRUE(prompter.shown.empty());

    // Avslutt changes nothing.
    form.Text().SetModified(false);
    WhenShown(form.Windows().RenForm,
              [&] { QTest::mouseClick(form.Windows().RenForm->Avslutt, Qt::LeftButton); });
    form.Renummerering1Click();
    EXPECT_FALSE(form.Windows().RenForm->Renumbered());
    EXPECT_FALSE(form.Text().Modified());
    EXPECT_EQ(form.Text().Line(0), "N100 G0 X0");
}

TEST_F(ToolsWindow, RenumberingAMarkedAreaOnAHeidenhainMachine) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.Actions().MaskinBoks->setCurrentIndex(1);
    form.Windows().RenForm = new TRenForm(&form);
    std::string text;
    for (int i = 0; i < 30; ++i) text += std::to_string(i * 3) + " L X+" + std::to_string(i) + "\r\n";
    Load(form, text);
    // From the start of line 11 to the start of line 21: lines 10..19 (0-based).
    int from = form.Text().LineIndex(10);
    form.Text().SetSelection(from, form.Text().LineIndex(20) - from);
    WhenShown(form.Windows().RenForm, [&] {
        TRenForm* ren = form.Windows().RenForm;
        EXPECT_EQ(ren->Start->text(), "0");
        EXPECT_EQ(ren->Steg->text(), "1");
        EXPECT_TRUE(ren->BareMerketOmraade->isChecked());
        ren->Start->setText("500");
        QTest::mouseClick(ren->Renummerer, Qt::LeftButton);
    });
    form.Renummerering1Click();
    std::vector<std::string> lines = form.Text().AllLines();
    ASSERT_EQ(lines.size(), 30u);
    EXPECT_EQ(lines[9], "27 L X+9");
    EXPECT_EQ(lines[10], "500 L X+10");
    EXPECT_EQ(lines[19], "509 L X+19");
    EXPECT_EQ(lines[20], "60 L X+20");
    EXPECT_EQ(form.Windows().RenForm->Linjer->text(), "10");
}

TEST_F(ToolsWindow, CompressAndAirEndToEnd) {
    ScopedIni ini(Ini());
    TTextForm form;
    const std::string text =
        "%\r\nN10 G01 X10.5 Y-3 F200\r\nN20 G01 X5 (FRES 1 X)\r\n(T1 D10)\r\ng01 x5\r\nN30\tM30 ";
    Load(form, text);
    form.Text().SetSelection(20, 5);
    form.Actions().Komprimer->trigger();
    EXPECT_EQ(form.Text().Text(),
              "%\r\nN10G01X10.5Y-3F200\r\nN20G01X5 (FRES 1 X)\r\n(T1 D10)\r\ng01 x5\r\nN30M30");
    EXPECT_TRUE(form.Text().Modified());
    EXPECT_EQ(form.Text().SelStart(), 0);
    EXPECT_EQ(form.Text().SelLength(), 0);
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_FALSE(form.HourglassShown());

    // Nothing left to compress: nothing is written, the flag stays clear.
    form.Text().SetModified(false);
    form.Actions().Komprimerprogram1->trigger();
    EXPECT_FALSE(form.Text().Modified());

    form.Text().SetSelection(10, 0);
    form.Actions().Luft->trigger();
    EXPECT_EQ(
        form.Text().Text(),
        "%\r\nN10 G01 X10.5 Y-3 F200\r\nN20 G01 X5 (FRES 1 X)\r\n(T1 D10)\r\ng01 x5\r\nN30 M30");
    EXPECT_EQ(form.Text().SelStart(), 0);

    // Machine 3 airs with tabs; compress takes them out again.
    form.Actions().MaskinBoks->setCurrentIndex(2);
    Load(form, "G1X5(T1D3)\r\nN10G01X10.5Y-3\r\n");
    form.Actions().Luftprogram1->trigger();
    EXPECT_EQ(form.Text().Text(), "G1\tX5(T1D3)\r\nN10\tG01\tX10.5\tY-3\r\n");
    form.Actions().Komprimerprogram1->trigger();
    EXPECT_EQ(form.Text().Text(), "G1X5(T1D3)\r\nN10G01X10.5Y-3\r\n");

    // An empty text: nothing changes.
    Load(form, "");
    form.Actions().Komprimerprogram1->trigger();
    form.Actions().Luftprogram1->trigger();
    EXPECT_EQ(form.Text().TextLength(), 0);
    EXPECT_FALSE(form.Text().Modified());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(ToolsWindow, ManyChangedLinesAreWrittenBackInOneChange) {
    // Past a few thousand changed lines the text is rebuilt in one go: every line must
    // come out as the core transforms it, unchanged lines byte for byte.
    ScopedIni ini(Ini());
    TTextForm form;
    std::vector<std::string> lines;
    for (int i = 0; i < 9000; ++i) {
        if (i % 7 == 0) lines.push_back("(KOMMENTAR " + std::to_string(i) + ")");
        else if (i % 11 == 0) lines.push_back("");
        else lines.push_back("N" + std::to_string(i) + " G01 X" + std::to_string(i % 97) + ".5 Y-3");
    }
    Load(form, JoinLinesCrLf(lines));
    std::vector<std::string> expected = lines;
    CompressLines(expected);
    form.Komprimerprogram1Click();
    EXPECT_EQ(form.Text().Text(), JoinLinesCrLf(expected));
    std::vector<std::string> aired = expected;
    AirLines(aired, ' ');
    form.Luftprogram1Click();
    EXPECT_EQ(form.Text().Text(), JoinLinesCrLf(aired));
    EXPECT_EQ(form.Text().LineCount(), 9000);
    // The control still works line by line afterwards.
    form.Text().SetLine(8999, "M30");
    EXPECT_EQ(form.Text().Line(8999), "M30");
}

TEST_F(ToolsWindow, TheHoleCircleGoesInAboveTheCaretsLineAndIsColoured) {
    ScopedIni ini(Ini());
    TTextForm form;
    form.Windows().TrigForm = new TTrigForm(&form);
    form.Actions().TekstFormatering->setChecked(true);
    Load(form, "N10 G0\r\nN20 M30\r\n");
    form.Text().SetSelection(form.Text().LineIndex(1) + 3, 0);  // inside line 2
    // The insertion is held from the change handler: no change event reaches the window.
    QSignalSpy changes(&form.Text(), &TextControl::TextChanged);
    WhenShown(form.Windows().TrigForm, [&] {
        TTrigForm* trig = form.Windows().TrigForm;
        trig->Radius->setText("10");
        trig->StartVinkel->setText("45");
        trig->AntallHull->setText("4");
        EXPECT_TRUE(trig->SettInnHullSirkel->isEnabled());
        QTest::mouseClick(trig->SettInnHullSirkel, Qt::LeftButton);
    });
    form.TrigButtonClick();
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(form.Text().AllLines(),
              (std::vector<std::string>{"N10 G0", "X7.071 Y7.071", "X-7.071 Y7.071",
                                        "X-7.071 Y-7.071", "X7.071 Y-7.071", "N20 M30"}));
    EXPECT_TRUE(form.Text().Modified());
    // The caret at the start of the first hole; the address letters of the holes coloured.
    int first = form.Text().LineIndex(1);
    EXPECT_EQ(form.Text().SelStart(), first);
    EXPECT_EQ(form.Text().SelLength(), 0);
    const ColourStyle& red = StyleOfClass(ColourClass::Address);
    TextStyle x = form.Text().StyleAt(first);
    EXPECT_EQ(x.rgb, (uint32_t{red.red} << 16) | (uint32_t{red.green} << 8) | red.blue);
    EXPECT_EQ(x.bold, red.bold);
    EXPECT_EQ(form.Text().StyleAt(first + 1).rgb, 0u);  // the digits stay black
    EXPECT_FALSE(form.Doc().Loading);
    EXPECT_FALSE(form.Text().Updating());

    // One hole into a program whose caret stands on the empty line after the last break;
    // with colouring off nothing is coloured and the caret stays.
    form.Actions().TekstFormatering->setChecked(false);
    Load(form, "N10 G0\r\n");
    form.Text().SetSelection(form.Text().TextLength(), 0);
    WhenShown(form.Windows().TrigForm, [&] {
        form.Windows().TrigForm->Radius->setText("5");
        form.Windows().TrigForm->StartVinkel->setText("0");
        form.Windows().TrigForm->AntallHull->setText("1");
        form.Windows().TrigForm->SenterX->setText("1,5");
        QTest::mouseClick(form.Windows().TrigForm->SettInnHullSirkel, Qt::LeftButton);
    });
    form.TrigButtonClick();
    EXPECT_EQ(form.Text().Text(), "N10 G0\r\nX6.500 Y0.000\r\n");
    EXPECT_EQ(form.Text().StyleAt(8).rgb, 0u);

    // Closed with Avslutt: nothing inserted.
    form.Text().SetModified(false);
    WhenShown(form.Windows().TrigForm,
              [&] { QTest::mouseClick(form.Windows().TrigForm->Avslutt, Qt::LeftButton); });
    form.TrigButtonClick();
    EXPECT_FALSE(form.Text().Modified());
    EXPECT_EQ(form.Text().LineCount(), 2);
}

TEST_F(ToolsWindow, TheRotationWindowIsShownModallyAndKeepsItsResult) {
    ScopedIni ini(Ini());
    TTextForm form;
    bool shownModal = false;
    QTimer::singleShot(0, &form, [&] {
        ASSERT_NE(form.Windows().RoteringForm, nullptr);
        shownModal =
            form.Windows().RoteringForm->isModal() && form.Windows().RoteringForm->isVisible();
        form.Windows().RoteringForm->InnX->setText("10");
        form.Windows().RoteringForm->InnV->setText("90");
        form.Windows().RoteringForm->KalkulerClick();
        form.Windows().RoteringForm->done(QDialog::Accepted);
    });
    form.Rotering1Click();
    EXPECT_TRUE(shownModal);
    EXPECT_EQ(form.Windows().RoteringForm->UtZ->text(), "10.0000");
    EXPECT_FALSE(form.Windows().RoteringForm->isVisible());
}
