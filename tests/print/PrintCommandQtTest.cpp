// The print command as the main window runs it: the print dialog, the selection question and
// the failure message through the Prompter, and the printer selection.
#include <Qsci/qsciscintilla.h>
#include <gtest/gtest.h>

#include <QPrinter>
#include <filesystem>

#include "PrintTestUtil.h"
#include "TestSupport.h"
#include "ScriptedPrompter.h"
#include "windows/print/PrintCommand.h"
#include "print/PrinterSelect.h"
#include "print/Utskrift.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/TextUtil.h"

namespace {
const FixedClock kClock(TestTime());

class FakePrinters : public PrinterList {
public:
    std::vector<std::string> names;
    std::string defaultName;
    std::vector<std::string> Names() const override { return names; }
    std::string DefaultName() const override { return defaultName; }
};

// A shop printing raw to a file, the scripted Prompter, and the core's messages shown by it.
struct PrintShop {
    TempDir dir;
    ScopedIni ini{"[Program]\r\nMatrise=1\r\nSkriver=" + dir.Dnc("out.prn") + "\r\n"};
    ScriptedPrompter prompter;
    MessageSinkFn previousSink = SetMessageSink({});
    std::vector<std::string> lines = ProgramLines(20);
    PrintCommand command;
    PrintShop() {
        InstallPrompterMessageSink();
        command.title = "PROG1.NC";
        command.lines = &lines;
        SelectPrinter("");
    }
    ~PrintShop() { SetMessageSink(previousSink); }
    std::string Printed() const { return ReadFileBytes(dir.File("OUT.PRN")); }
};
}  // namespace

TEST(PrintCommandQtTest, TheToolButtonPrintsWithoutADialog) {
    PrintShop shop;
    EXPECT_TRUE(RunSkrivut(shop.command, false, nullptr, kClock));
    EXPECT_TRUE(shop.prompter.shown.empty());
    std::vector<std::string> rows = SplitLines(shop.Printed());
    EXPECT_EQ(rows[3], "     N10G01X1.5");
    EXPECT_EQ(rows[22], "     N200G01X20.5");
}

TEST(PrintCommandQtTest, TheMenuItemAsksForThePrinterFirst) {
    PrintShop shop;
    EXPECT_FALSE(RunSkrivut(shop.command, true, nullptr, kClock));  // cancelled
    ASSERT_EQ(shop.prompter.shown.size(), 1u);
    EXPECT_EQ(shop.prompter.shown[0].kind, "print");
    EXPECT_FALSE(FileExists(shop.dir.Dnc("OUT.PRN")));

    // The printer chosen in the dialog holds for this print only.
    PrintRequest chosen;
    chosen.printerName = "Verksted";
    shop.prompter.prints.push_back(chosen);
    shop.command.colouringOn = true;
    std::string during;
    std::string docName;
    auto formatted = [&](QsciPrinter& printer) {
        during = SelectedPrinter();
        docName = ToCp1252(printer.docName());
        return true;
    };
    EXPECT_TRUE(RunSkrivut(shop.command, true, formatted, kClock));
    EXPECT_EQ(during, "Verksted");
    EXPECT_EQ(docName, "PROG1.NC");
    EXPECT_EQ(SelectedPrinter(), "");  // this machine has no printer: the system default
}

TEST(PrintCommandQtTest, ColouredTextIsPrintedByTheTextControl) {
    if (!std::filesystem::exists("/usr/bin/pdftotext")) GTEST_SKIP() << "poppler-utils missing";
    PrintShop shop;
    QsciScintilla editor;
    editor.setText(QStringLiteral("%\r\nN10 G90 G54\r\nN20 G00 X100. Y50.\r\nN30 M30\r\n"));
    std::string pdf = shop.dir.File("coloured.pdf");
    shop.command.colouringOn = true;
    shop.command.title = "FARGER.NC";
    auto formatted = [&](QsciPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);  // this machine has no printer
        printer.setOutputFileName(QString::fromStdString(pdf));
        return printer.printRange(&editor) > 0;
    };
    EXPECT_TRUE(RunSkrivut(shop.command, false, formatted, kClock));
    EXPECT_FALSE(FileExists(shop.dir.Dnc("OUT.PRN")));  // not the plain print
    std::string text;
    RunProgram({"/usr/bin/pdftotext", "-layout", pdf, "-"}, &text, nullptr);
    EXPECT_NE(text.find("N20 G00 X100. Y50."), std::string::npos) << text;
    EXPECT_TRUE(shop.prompter.shown.empty());
}

TEST(PrintCommandQtTest, TheSelectionQuestion) {
    PrintShop shop;
    shop.command.hasSelection = true;
    shop.command.selectionStartLine = 4;
    shop.command.selectionEndLine = 7;
    shop.prompter.answers.push_back(Answer::Yes);
    EXPECT_TRUE(RunSkrivut(shop.command, false, nullptr, kClock));
    ASSERT_EQ(shop.prompter.shown.size(), 1u);
    EXPECT_EQ(shop.prompter.shown[0].kind, "question");
    EXPECT_EQ(shop.prompter.shown[0].caption, "Utskrift");
    EXPECT_EQ(shop.prompter.shown[0].text, kPrintSelectionQuestion);
    EXPECT_EQ(shop.prompter.shown[0].buttons, Buttons::YesNo);
    std::vector<std::string> rows = SplitLines(shop.Printed());
    EXPECT_EQ(rows[3], "     N50G01X5.5");
    EXPECT_EQ(rows[5], "     N70G01X7.5");
    EXPECT_EQ(rows[6], "");  // padding: lines 5..7 only

    shop.prompter.answers.push_back(Answer::No);
    EXPECT_TRUE(RunSkrivut(shop.command, false, nullptr, kClock));
    EXPECT_EQ(SplitLines(shop.Printed())[3], "     N10G01X1.5");
}

TEST(PrintCommandQtTest, AFailedPrintShowsUtskriftFeilet) {
    PrintShop shop;
    FailNextTextWrite();
    EXPECT_FALSE(RunSkrivut(shop.command, false, nullptr, kClock));
    ASSERT_EQ(shop.prompter.shown.size(), 1u);
    EXPECT_EQ(shop.prompter.shown[0].kind, "message");
    EXPECT_EQ(shop.prompter.shown[0].caption, "Utskrift");
    EXPECT_EQ(shop.prompter.shown[0].text, "Utskrift feilet");

    shop.command.colouringOn = true;
    EXPECT_FALSE(RunSkrivut(
        shop.command, false, [](QsciPrinter&) { return false; }, kClock));
    EXPECT_EQ(shop.prompter.Texts(),
              (std::vector<std::string>{"Utskrift feilet", "Utskrift feilet"}));
}

TEST(PrinterSelectTest, SkriverNumbersAnInstalledPrinter) {
    FakePrinters printers;
    printers.names = {"Kontor", "Verksted", "Lager"};
    printers.defaultName = "Kontor";
    struct Case {
        const char* keys;
        const char* chosen;
    } cases[] = {
        {"Skriver=2\r\n", "Verksted"},
        {"Skriver= 3\r\n", "Lager"},
        {"Skriver=$2\r\n", "Verksted"},
        {"Skriver=2\r\nMatrise=1\r\n", "Verksted"},  // one character: no raw mode
        {"Skriver=002\r\nMatrise=1\r\n", "Kontor"},  // raw mode: the default printer
        {"Skriver=0\r\n", "Kontor"},
        {"Skriver=PRN\r\n", "Kontor"},
        {"", "Kontor"},
    };
    for (const Case& c : cases) {
        ScopedIni shop(std::string("[Program]\r\n") + c.keys);
        SelectPrinter("Fra dialogen");
        MessageRecorder messages;
        VelgDefaultSkriver(printers);
        EXPECT_EQ(SelectedPrinter(), c.chosen) << c.keys;
        EXPECT_TRUE(messages.messages.empty());
    }
}

TEST(PrinterSelectTest, APrinterNumberBeyondTheListIsReported) {
    FakePrinters printers;
    printers.names = {"Kontor", "Verksted"};
    printers.defaultName = "Verksted";
    ScopedIni shop("[Program]\r\nSkriver=5\r\n");
    SelectPrinter("Kontor");
    MessageRecorder messages;
    VelgDefaultSkriver(printers);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].first, "VelgDefaultSkriver, Exception - 5");
    EXPECT_EQ(messages.messages[0].second, PrinterNumberErrorText(5, 2));
    EXPECT_EQ(SelectedPrinter(), "Kontor");  // printing goes on with the printer selected
}

TEST(PrinterSelectTest, OneOrNoPrinterMeansTheDefault) {
    ScopedIni shop("[Program]\r\nSkriver=2\r\n");
    FakePrinters one;
    one.names = {"Kontor"};
    SelectPrinter("Fra dialogen");
    MessageRecorder messages;
    VelgDefaultSkriver(one);
    EXPECT_EQ(SelectedPrinter(), "Kontor");
    FakePrinters none;
    VelgDefaultSkriver(none);
    EXPECT_EQ(SelectedPrinter(), "");
    EXPECT_TRUE(messages.messages.empty());
}
