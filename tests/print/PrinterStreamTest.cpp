// The printer driver's side: a real print job to a PDF file, read back with pdftotext.
#include <gtest/gtest.h>

#include <QPageSize>
#include <QPrinter>
#include <filesystem>

#include "PrintTestUtil.h"
#include "TestSupport.h"
#include "windows/print/PrinterStream.h"
#include "print/Utskrift.h"
#include "settings/PathResolve.h"

namespace {
const FixedClock kClock(TestTime());

struct PdfPrint {
    TempDir dir;
    std::string pdf = dir.File("print.pdf");
    QPrinter printer{QPrinter::HighResolution};
    PdfPrint() {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(QString::fromStdString(pdf));
    }
    // The text of the pages, UTF-8, as pdftotext lays it out.
    std::vector<std::string> Pages() {
        std::string txt = dir.File("print.txt"), err;
        int rc = RunProgram({"/usr/bin/pdftotext", "-layout", pdf, txt}, nullptr, &err);
        EXPECT_EQ(rc, 0) << err;
        return SplitPages(ReadFileBytes(txt));
    }
    std::string Fonts() {
        std::string out;
        RunProgram({"/usr/bin/pdffonts", pdf}, &out, nullptr);
        return out;
    }
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool HaveTools() {
    return std::filesystem::exists("/usr/bin/pdftotext") &&
           std::filesystem::exists("/usr/bin/pdffonts");
}
}  // namespace

TEST(PrinterStreamTest, ThreePagesWithHeaderLinesAndFooters) {
    if (!HaveTools()) GTEST_SKIP() << "poppler-utils missing";
    ScopedIni shop("[Program]\r\nFontSizePrn=12\r\n");
    PrintSettings settings = LoadPrintSettings();
    std::vector<std::string> lines = ProgramLines(120);
    lines[1] = "(SPOR Ø12 ÆRØ)";
    PdfPrint job;
    PrinterStream stream(job.printer, settings.fontSizePrn);
    bool ok = false;
    PrintDocument(0, 0, 119, ok, lines, "PRØVE.NC", settings, stream, kClock);
    ASSERT_TRUE(ok);
    EXPECT_EQ(stream.Pages(), 3);
    EXPECT_EQ(stream.Font().pointSize(), 12);

    std::vector<std::string> pages = job.Pages();
    ASSERT_EQ(pages.size(), 3u);
    for (int p = 0; p < 3; ++p) {
        const std::string& page = pages[static_cast<size_t>(p)];
        SCOPED_TRACE("page " + std::to_string(p + 1));
        EXPECT_TRUE(Has(page, Cp1252ToUtf8("PRØVE.NC")));
        EXPECT_TRUE(Has(page, std::string(70, '*')));
        EXPECT_TRUE(Has(page, "Dato: 08.12.2026 14:05"));
        EXPECT_TRUE(Has(page, "Side: " + std::to_string(p + 1)));
        // The page's own lines and no other.
        for (int i = 0; i < 120; ++i) {
            if (i == 1) continue;
            bool here = i / 50 == p;
            EXPECT_EQ(Has(page, lines[static_cast<size_t>(i)] + "\n") ||
                          Has(page, lines[static_cast<size_t>(i)] + " "),
                      here)
                << lines[static_cast<size_t>(i)];
        }
    }
    EXPECT_TRUE(Has(pages[0], Cp1252ToUtf8("(SPOR Ø12 ÆRØ)")));
    // The header stands above the lines and the footer below them.
    EXPECT_LT(pages[0].find("PR"), pages[0].find("N10G01X1.5"));
    EXPECT_LT(pages[2].find("N1200G01X120.5"), pages[2].find("Side: 3"));
    // "Courier New" is Liberation Mono here.
    EXPECT_TRUE(Has(job.Fonts(), "LiberationMono")) << job.Fonts();
}

TEST(PrinterStreamTest, APrintEndingAtAPageBreakLeavesNoBlankSheet) {
    if (!HaveTools()) GTEST_SKIP() << "poppler-utils missing";
    ScopedIni shop("[Program]\r\n");
    PrintSettings settings = LoadPrintSettings();
    PdfPrint job;
    PrinterStream stream(job.printer, settings.fontSizePrn);
    bool ok = false;
    // Lines 1..100 of 120 fill two pages; the second is not the document's last.
    PrintDocument(0, 0, 99, ok, ProgramLines(120), "PROG1.NC", settings, stream, kClock);
    ASSERT_TRUE(ok);
    EXPECT_EQ(stream.Pages(), 2);
    std::vector<std::string> pages = job.Pages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(Has(pages[1], "Side: 2"));
}

TEST(PrinterStreamTest, APageTooLongForTheSheetGoesOnToTheNextOne) {
    if (!HaveTools()) GTEST_SKIP() << "poppler-utils missing";
    ScopedIni shop("[Program]\r\nFontSizePrn=12\r\nSideLengde=90\r\n");
    PrintSettings settings = LoadPrintSettings();
    PdfPrint job;
    PrinterStream stream(job.printer, settings.fontSizePrn);
    bool ok = false;
    std::vector<std::string> lines = ProgramLines(90);
    PrintDocument(0, 0, 89, ok, lines, "PROG1.NC", settings, stream, kClock);
    ASSERT_TRUE(ok);
    std::vector<std::string> pages = job.Pages();
    ASSERT_EQ(pages.size(), 2u);  // 95 lines do not fit on one A4 sheet at 12 points
    std::string all = pages[0] + pages[1];
    for (const auto& l : lines) EXPECT_TRUE(Has(all, l)) << l;
    EXPECT_TRUE(Has(pages[1], "Side: 1"));
}

TEST(PrinterStreamTest, AJobThatCannotStartFails) {
    ScopedIni shop("[Program]\r\n");
    PrintSettings settings = LoadPrintSettings();
    TempDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.File("missing/folder/print.pdf")));
    PrinterStream stream(printer, settings.fontSizePrn);
    bool ok = true;
    PrintDocument(0, 0, 9, ok, ProgramLines(10), "PROG1.NC", settings, stream, kClock);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(stream.Write("N10\r\n"));
}
