// The main window's print command on the real text control: the print dialog from the menu
// item only, the selection question, "Utskrift feilet", the printer selection afterwards,
// and real prints: raw to a file, and through the printer driver and the text control into
// PDF files read back with pdftotext.
#include <gtest/gtest.h>

#include <QAction>
#include <QPrinter>
#include <filesystem>

#include "WindowTest.h"
#include "editor/EditUnit.h"
#include "print/PrinterSelect.h"
#include "windows/print/PrinterStream.h"
#include "print/Utskrift.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/TextUtil.h"

namespace {
std::vector<std::string> Rows(const std::string& bytes) {
    std::vector<std::string> rows;
    size_t start = 0;
    for (;;) {
        size_t e = bytes.find("\r\n", start);
        if (e == std::string::npos) {
            rows.push_back(bytes.substr(start));
            return rows;
        }
        rows.push_back(bytes.substr(start, e - start));
        start = e + 2;
    }
}

class PrintWindow : public WindowTest {
protected:
    void SetUp() override {
        previousSink = SetMessageSink({});
        InstallPrompterMessageSink();
        SelectPrinter("");
    }
    void TearDown() override {
        SetDriverPrinterSetup(nullptr);
        SetMessageSink(previousSink);
    }
    // Raw printing into a file of the temporary folder, or (raw false) through the driver.
    std::string Ini(bool raw = true, const std::string& extra = "") {
        return "[Program]\r\nMaskiner=1\r\n" +
               (raw ? "Matrise=1\r\nSkriver=" + dir.Dnc("out.prn") + "\r\n" : std::string()) +
               extra + "[Maskin1]\r\nKatalog=" + dir.Dnc("M1") + "\\\r\n";
    }
    void Program(TTextForm& form, int lines) {
        std::string text;
        for (int i = 1; i <= lines; ++i)
            text += "N" + std::to_string(i * 10) + " G01 X" + std::to_string(i) + ".5\r\n";
        form.Text().SetText(text);
        form.SetFileName("PROG7.NC");
    }
    std::string Printed() const {
        std::string path = dir.File("OUT.PRN");
        return std::filesystem::exists(path) ? ReadFileBytes(path) : std::string();
    }
    void PrintToPdf(const std::string& pdf) {
        SetDriverPrinterSetup([pdf](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(pdf));
        });
    }
    static std::string PdfText(const std::string& pdf) {
        std::string text;
        RunProgram({"/usr/bin/pdftotext", "-layout", pdf, "-"}, &text, nullptr);
        return text;
    }

    MessageSinkFn previousSink;
};
}  // namespace

TEST_F(PrintWindow, TheMenuItemAsksForThePrinterAndTheToolButtonDoesNot) {
    ScopedIni ini(Ini());
    TTextForm form;
    Program(form, 3);
    form.Actions().Skrivut1->trigger();  // the dialog is cancelled
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, "print");
    EXPECT_EQ(Printed(), "");

    PrintRequest chosen;
    chosen.printerName = "Verksted";
    prompter.prints.push_back(chosen);
    form.Actions().Skrivut1->trigger();
    EXPECT_EQ(prompter.shown.size(), 2u);
    std::vector<std::string> rows = Rows(Printed());
    ASSERT_GT(rows.size(), 6u);
    EXPECT_EQ(rows[1].substr(0, 13), "     PROG7.NC");
    EXPECT_EQ(rows[3], "     N10 G01 X1.5");
    EXPECT_EQ(rows[5], "     N30 G01 X3.5");
    EXPECT_EQ(SelectedPrinter(), "");  // the printer chosen held for that print only

    std::filesystem::remove(dir.File("OUT.PRN"));
    form.Actions().SkrivUtButton->trigger();
    EXPECT_EQ(prompter.shown.size(), 2u);  // no dialog
    EXPECT_EQ(Rows(Printed())[4], "     N20 G01 X2.5");
}

TEST_F(PrintWindow, OnlyTheMarkedLinesWhenTheUserSaysSo) {
    ScopedIni ini(Ini());
    TTextForm form;
    Program(form, 8);
    // From the start of line 3 into line 6: lines 3 to 5 are marked.
    int from = form.Text().LineIndex(2);
    form.Text().SetSelection(from, form.Text().LineIndex(5) + 4 - from);
    prompter.answers.push_back(Answer::Yes);
    form.Actions().SkrivUtButton->trigger();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, "question");
    EXPECT_EQ(prompter.shown[0].caption, kPrintCaption);
    EXPECT_EQ(prompter.shown[0].text, kPrintSelectionQuestion);
    std::vector<std::string> rows = Rows(Printed());
    EXPECT_EQ(rows[3], "     N30 G01 X3.5");
    EXPECT_EQ(rows[5], "     N50 G01 X5.5");
    EXPECT_EQ(rows[6], "");

    prompter.answers.push_back(Answer::No);
    form.Actions().SkrivUtButton->trigger();
    EXPECT_EQ(Rows(Printed())[3], "     N10 G01 X1.5");
    EXPECT_EQ(Rows(Printed())[10], "     N80 G01 X8.5");

    // A selection inside one line prints the whole program without asking.
    form.Text().SetSelection(from + 1, 3);
    form.Actions().SkrivUtButton->trigger();
    EXPECT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(Rows(Printed())[10], "     N80 G01 X8.5");
    // The selection itself is left as it was.
    EXPECT_EQ(form.Text().SelStart(), from + 1);
    EXPECT_EQ(form.Text().SelLength(), 3);
}

TEST_F(PrintWindow, AFailedPrintIsReported) {
    ScopedIni ini(Ini());
    TTextForm form;
    Program(form, 3);
    FailNextTextWrite();
    form.Actions().SkrivUtButton->trigger();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, "message");
    EXPECT_EQ(prompter.shown[0].caption, kPrintCaption);
    EXPECT_EQ(prompter.shown[0].text, kPrintFailedText);
    EXPECT_FALSE(form.HourglassShown());

    // A printer that cannot be reached: the same message.
    ScopedIni gone(Ini(false, "Matrise=1\r\nSkriver=" + dir.Dnc("NO\\SUCH\\DIR\\LPT") + "\r\n"));
    form.Actions().SkrivUtButton->trigger();
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{kPrintFailedText, kPrintFailedText}));
}

TEST_F(PrintWindow, ThroughThePrinterDriverIntoAPdf) {
    if (!std::filesystem::exists("/usr/bin/pdftotext")) GTEST_SKIP() << "poppler-utils missing";
    ScopedIni ini(Ini(false, "SideLengde=40\r\n"));
    TTextForm form;
    Program(form, 70);
    std::string pdf = dir.File("driver.pdf");
    PrintToPdf(pdf);
    form.Actions().SkrivUtButton->trigger();
    EXPECT_TRUE(prompter.shown.empty()) << prompter.shown[0].text;
    std::string text = PdfText(pdf);
    // Two pages of 40 lines: a form feed between the pages in the text pdftotext gives back.
    size_t ff = text.find('\f');
    ASSERT_NE(ff, std::string::npos) << text;
    std::string page1 = text.substr(0, ff), page2 = text.substr(ff + 1);
    EXPECT_NE(page1.find("PROG7.NC"), std::string::npos);
    EXPECT_NE(page1.find("N400 G01 X40.5"), std::string::npos);
    EXPECT_NE(page1.find("Side: 1"), std::string::npos);
    EXPECT_EQ(page1.find("N410 G01"), std::string::npos);
    EXPECT_NE(page2.find("PROG7.NC"), std::string::npos);
    EXPECT_NE(page2.find("N700 G01 X70.5"), std::string::npos);
    EXPECT_NE(page2.find("Side: 2"), std::string::npos);
    EXPECT_EQ(Printed(), "");
}

TEST_F(PrintWindow, ColouredTextIsPrintedByTheTextControl) {
    if (!std::filesystem::exists("/usr/bin/pdftotext")) GTEST_SKIP() << "poppler-utils missing";
    ScopedIni ini(Ini());
    TTextForm form;
    Program(form, 5);
    form.Actions().TekstFormatering->setChecked(true);
    std::string pdf = dir.File("coloured.pdf");
    PrintToPdf(pdf);
    PrintRequest chosen;
    prompter.prints.push_back(chosen);
    form.Actions().Skrivut1->trigger();
    ASSERT_EQ(prompter.shown.size(), 1u);
    std::string text = PdfText(pdf);
    EXPECT_NE(text.find("N50 G01 X5.5"), std::string::npos) << text;
    EXPECT_EQ(text.find("Side:"), std::string::npos);  // no page layout of the plain print
    EXPECT_EQ(Printed(), "");

    // With PrintFormatert off the coloured text is printed plain.
    form.Doc().PrintFormatert = false;
    form.Actions().SkrivUtButton->trigger();
    EXPECT_EQ(Rows(Printed())[7], "     N50 G01 X5.5");
}
