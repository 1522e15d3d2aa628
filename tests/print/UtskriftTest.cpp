// Page layout of the printed program, read back byte for byte from the file raw mode writes
// (a matrix printer's device is a file here) and from the stream the printer driver gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "PrintTestUtil.h"
#include "TestSupport.h"
#include "print/Utskrift.h"
#include "settings/PathResolve.h"
#include "settings/TextUtil.h"

namespace {
const FixedClock kClock(TestTime());

std::string Margin(const std::string& text) { return "     " + text; }

// A shop whose printer is a file in the folder: raw mode with Matrise on.
class RawShop {
public:
    explicit RawShop(const std::string& programKeys, const std::string& more = "")
        : ini_("[Program]\r\nSkriver=" + dir_.Dnc("out.prn") + "\r\nMatrise=True\r\n" +
               programKeys + more) {}
    // Prints lines first..last and returns what reached the printer file.
    std::string Print(const std::vector<std::string>& lines, int first, int last, int machine = 0,
                      const std::string& title = "PROG1.NC") {
        PrintSettings settings = LoadPrintSettings();
        EXPECT_TRUE(settings.rawMode);
        RawPrintStream stream(settings.skriver);
        bool ok = false;
        PrintDocument(machine, first, last, ok, lines, title, settings, stream, kClock);
        EXPECT_TRUE(ok);
        return ReadFileBytes(dir_.File("OUT.PRN"));
    }
    std::string Print(const std::vector<std::string>& lines) {
        return Print(lines, 0, static_cast<int>(lines.size()) - 1);
    }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    ScopedIni ini_;
};

// The printer driver's view of a print: the same bytes without raw mode.
std::string PrintDriver(const std::string& ini, const std::vector<std::string>& lines,
                        int machine = 0) {
    ScopedIni shop(ini);
    PrintSettings settings = LoadPrintSettings();
    EXPECT_FALSE(settings.rawMode);
    MemoryStream stream;
    stream.failFromWrite = 200000;  // a layout that never ends fails instead of hanging
    bool ok = false;
    PrintDocument(machine, 0, static_cast<int>(lines.size()) - 1, ok, lines, "PROG1.NC", settings,
                  stream, kClock);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(stream.closed);
    return stream.bytes;
}

std::string ColumnRow(const std::vector<std::string>& cells, size_t width) {
    std::string row;
    for (const auto& c : cells) row += Margin(PadRight(c, width).substr(0, width));
    return row;
}

// 120 lines at 50 a page in one column: the pages as both modes print them.
std::string ThreePages(bool raw) {
    std::vector<std::string> lines = ProgramLines(120);
    std::string expected;
    for (int page = 0; page < 3; ++page) {
        expected += HeaderText("PROG1.NC");
        for (int i = page * 50; i < std::min(page * 50 + 50, 120); ++i)
            expected += Margin(lines[static_cast<size_t>(i)]) + "\r\n";
        if (page == 2)
            for (int pad = 20; pad < 50; ++pad) expected += "\r\n";
        expected += FooterText(page + 1, page < 2 || raw);
    }
    return expected;
}
}  // namespace

TEST(PrintSettingsTest, DefaultsAndDerivedLayout) {
    {
        ScopedIni shop("[Program]\r\n");
        PrintSettings s = LoadPrintSettings();
        EXPECT_EQ(s.skriver, "PRN");
        EXPECT_FALSE(s.matrise);
        EXPECT_FALSE(s.rawMode);
        EXPECT_EQ(s.initPrn, "");
        EXPECT_EQ(s.exitPrn, "");
        EXPECT_EQ(s.fontSizePrn, 12);
        EXPECT_EQ(s.lineWidth, 75);
        EXPECT_EQ(s.pageLength, 50);
        EXPECT_EQ(s.kolonner, 1);
    }
    struct Case {
        const char* keys;
        int lineWidth, pageLength;
        bool raw;
    } cases[] = {
        {"FontSizePrn=10\r\n", 90, 60, false},
        {"FontSizePrn=8\r\n", 112, 75, false},
        {"FontSizePrn=7\r\n", 75, 50, false},
        {"FontSizePrn=0\r\n", 75, 50, false},
        {"FontSizePrn=24\r\n", 38, 25, false},  // 37.5 rounds to the even 38
        {"FontSizePrn=40\r\n", 22, 15, false},  // 22.5 rounds to the even 22
        {"FontSizePrn=xyz\r\n", 75, 50, false},
        {"FontSizePrn=10\r\nSideLengde=66\r\n", 90, 66, false},
        {"FontSizePrn=10\r\nSideLengde=0\r\n", 90, 60, false},
        {"FontSizePrn=10\r\nMatrise=1\r\nSkriver=LPT1\r\n", 75, 50, true},
        {"FontSizePrn=10\r\nMatrise=TRUE\r\nSkriver=PR\r\n", 90, 60, false},
        {"FontSizePrn=10\r\nMatrise=false\r\nSkriver=LPT1\r\n", 90, 60, false},
    };
    for (const Case& c : cases) {
        ScopedIni shop(std::string("[Program]\r\n") + c.keys);
        PrintSettings s = LoadPrintSettings();
        EXPECT_EQ(s.lineWidth, c.lineWidth) << c.keys;
        EXPECT_EQ(s.pageLength, c.pageLength) << c.keys;
        EXPECT_EQ(s.rawMode, c.raw) << c.keys;
    }
}

TEST(PrintSettingsTest, SetupStringsAreConvertedAndUpperCased) {
    ScopedIni shop("[Program]\r\nInitPrn=[ESC](s12h[ESC]e\r\nExitPrn=[ESC]@reset\r\n");
    PrintSettings s = LoadPrintSettings();
    EXPECT_EQ(s.initPrn,
              "\x1b(S12H\x1b"
              "E");
    EXPECT_EQ(s.exitPrn, "\x1b@RESET");
}

TEST(PrintSettingsTest, ColumnsComeFromTheMachineOrTheProgramSection) {
    ScopedIni shop(
        "[Program]\r\nKolonner=2\r\n[Maskin1]\r\nKolonner=3\r\n[Maskin2]\r\nNavn=X\r\n"
        "[Maskin3]\r\nKolonner=7\r\n[Maskin4]\r\nKolonner=0\r\n");
    PrintSettings s = LoadPrintSettings();
    EXPECT_EQ(s.kolonner, 2);
    EXPECT_EQ(PrintColumns(0, s), 2);
    EXPECT_EQ(PrintColumns(1, s), 3);
    EXPECT_EQ(PrintColumns(2, s), 2);  // no key: the program value
    EXPECT_EQ(PrintColumns(3, s), 1);
    EXPECT_EQ(PrintColumns(4, s), 1);
    shop.Rewrite("[Program]\r\nKolonner=4\r\n");
    EXPECT_EQ(LoadPrintSettings().kolonner, 1);
}

TEST(PrintSettingsTest, DosPrinterNamesAreTheParallelPorts) {
    EXPECT_EQ(RawPrinterName("PRN"), "/dev/lp0");
    EXPECT_EQ(RawPrinterName("LPT1:"), "/dev/lp0");
    EXPECT_EQ(RawPrinterName("LPT3"), "/dev/lp2");
    EXPECT_EQ(RawPrinterName("C:\\VAKO\\UT.PRN"), "C:\\VAKO\\UT.PRN");
    EXPECT_EQ(RawPrinterName("/DEV/USB/LP0"), "/DEV/USB/LP0");
}

TEST(PrintLayoutTest, OneColumnThreePagesRaw) {
    RawShop shop("");
    std::string printed = shop.Print(ProgramLines(120));
    EXPECT_EQ(printed, ThreePages(true));
    // The footer as the printer shows it.
    EXPECT_NE(printed.find("     Dato: 08.12.2026 14:05" + std::string(41, ' ') + "Side: 1\f"),
              std::string::npos);
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\f'), 3);
}

TEST(PrintLayoutTest, OneColumnThreePagesDriverFeedsBetweenPagesOnly) {
    std::string printed = PrintDriver("[Program]\r\nFontSizePrn=12\r\n", ProgramLines(120));
    EXPECT_EQ(printed, ThreePages(false));
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\f'), 2);
}

TEST(PrintLayoutTest, FontSize12PrintsSeventyCharactersOfALine) {
    std::string longLine;
    for (int i = 0; longLine.size() < 90; ++i) longLine += "X" + std::to_string(i) + " ";
    std::vector<std::string> lines{longLine, "N20"};
    std::string printed = PrintDriver("[Program]\r\nFontSizePrn=12\r\nSideLengde=2\r\n", lines);
    std::vector<std::string> rows = SplitLines(printed);
    ASSERT_GE(rows.size(), 7u);
    EXPECT_EQ(rows[1].size(), 75u);  // title line
    EXPECT_EQ(rows[2], StarLine(75));
    EXPECT_EQ(rows[3], Margin(longLine.substr(0, 70)));
    EXPECT_EQ(rows[3].size(), 75u);
    EXPECT_EQ(rows[4], Margin("N20"));
    EXPECT_EQ(rows[6].size(), 75u);  // the footer text
}

TEST(PrintLayoutTest, ContinuousPaperHasOneHeaderAndOneFooter) {
    std::vector<std::string> lines = ProgramLines(120);
    std::string body;
    for (const auto& l : lines) body += Margin(l) + "\r\n";
    {
        RawShop shop("SideLengde=200\r\n");
        EXPECT_EQ(shop.Print(lines), HeaderText("PROG1.NC") + body + FooterText(1, true));
    }
    std::string printed = PrintDriver("[Program]\r\nSideLengde=250\r\n", lines);
    EXPECT_EQ(printed, HeaderText("PROG1.NC") + body + FooterText(1, false));
}

TEST(PrintLayoutTest, TwoColumnsOf32Characters) {
    RawShop shop("Kolonner=2\r\n");
    std::vector<std::string> lines = ProgramLines(120);
    std::string expected = HeaderText("PROG1.NC");
    for (size_t r = 0; r < 50; ++r) expected += ColumnRow({lines[r], lines[50 + r]}, 32) + "\r\n";
    expected += FooterText(1, true) + HeaderText("PROG1.NC");
    for (size_t r = 0; r < 50; ++r)
        expected += ColumnRow({r < 20 ? lines[100 + r] : "", ""}, 32) + "\r\n";
    expected += FooterText(2, true);
    std::string printed = shop.Print(lines);
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(SplitLines(printed)[3].size(), 74u);
}

TEST(PrintLayoutTest, LongLinesBreakAtBlanksAndCapitals) {
    RawShop shop("Kolonner=3\r\n", "[Maskin1]\r\nKolonner=2\r\n");
    std::vector<std::string> lines{"N100 G01 X123.456 Y789.012 Z-5.5 F2000",
                                   "N10G01X100.5Y200.25Z5F300", "N20G00Z50"};
    // Machine 1 prints in two columns of 32: the break falls on the last blank at or before
    // the 32nd character, not on the one just after it.
    std::vector<std::string> rows = SplitLines(shop.Print(lines, 0, 2, 1));
    EXPECT_EQ(rows[3], ColumnRow({"N100 G01 X123.456 Y789.012", ""}, 32));
    EXPECT_EQ(rows[4], ColumnRow({" Z-5.5 F2000", ""}, 32));
    EXPECT_EQ(rows[5], ColumnRow({"N10G01X100.5Y200.25Z5F300", ""}, 32));
    // Without a machine, three columns of 20: the block splits before Z.
    rows = SplitLines(shop.Print(lines, 1, 2, 0));
    EXPECT_EQ(rows[3], ColumnRow({"N10G01X100.5Y200.25", "", ""}, 20));
    EXPECT_EQ(rows[3], "     N10G01X100.5Y200.25 " + std::string(50, ' '));
    EXPECT_EQ(rows[4], ColumnRow({" Z5F300", "", ""}, 20));
    EXPECT_EQ(rows[5], ColumnRow({"N20G00Z50", "", ""}, 20));
    EXPECT_EQ(rows[6], ColumnRow({"", "", ""}, 20));
}

TEST(PrintLayoutTest, LinesWithoutBlanksOrCapitalsAfterTheFirstTwoAreCutAtTheCellWidth) {
    std::vector<std::string> lines{"XY012345678901234567890123456789",
                                   "G01234567890123456789012345", "N30"};
    std::vector<std::string> rows =
        SplitLines(PrintDriver("[Program]\r\nKolonner=3\r\nSideLengde=4\r\n", lines));
    ASSERT_EQ(rows.size(), 9u);  // one page: header, 4 rows, footer
    EXPECT_EQ(rows[3], ColumnRow({"XY01234567890123456", "N30", ""}, 20));
    EXPECT_EQ(rows[4], ColumnRow({" 7890123456789", "", ""}, 20));
    EXPECT_EQ(rows[5], ColumnRow({"G012345678901234567", "", ""}, 20));
    EXPECT_EQ(rows[6], ColumnRow({" 89012345", "", ""}, 20));
}

// The edges of the break rule, in cells of 20 characters.
TEST(PrintLayoutTest, CellWidthEdges) {
    auto wrap = [](std::string text, bool continuation = false) {
        PageCells page;
        page.width = 20;
        page.capacity = 10;
        WrapIntoCells(text, page, continuation);
        EXPECT_TRUE(text.empty());
        return page.cells;
    };
    using Cells = std::vector<std::string>;
    // A line exactly as wide as the cell fits whole; one more character does not.
    EXPECT_EQ(wrap("N1234567890123456789"), Cells{"N1234567890123456789"});
    EXPECT_EQ(wrap("*123456789012345678*"), Cells{"*123456789012345678*"});  // a star line that fits
    EXPECT_EQ(wrap("N12345678901234567890"), (Cells{"N123456789012345678", " 90"}));
    // The last blank at or before the width breaks, not the one just past it.
    EXPECT_EQ(wrap("N10 G01 X100 Y200 Z5 F300"), (Cells{"N10 G01 X100 Y200", " Z5 F300"}));
    // When the only blank in reach stands just past the width, the word before it fills the
    // cell exactly.
    EXPECT_EQ(wrap("N1234567890123456789 F300"), (Cells{"N1234567890123456789", " F300"}));
    // The lowest break: a blank at the second place leaves one character in the cell; the
    // continuation's own leading blank is never a break.
    EXPECT_EQ(wrap("N 1234567890123456789 X"), (Cells{"N", " 1234567890123456789", " X"}));
    EXPECT_EQ(wrap(" 12345678901234567890", true), (Cells{" 123456789012345678", " 90"}));
    // A continuation longer than a cell goes on over as many cells as it needs, each
    // beginning with a blank.
    EXPECT_EQ(wrap("N10 X1234567890123456789012345678901234567890"),
              (Cells{"N10", " X12345678901234567", " 890123456789012345", " 67890"}));
}

TEST(PrintLayoutTest, StarLinesOnTopOfPageOneTakeARowOfEveryColumn) {
    RawShop shop("Kolonner=2\r\nSideLengde=10\r\n");
    std::string wide = "*" + std::string(79, '-');
    std::vector<std::string> lines{"*** SKARV TEST ***", wide, "N10G00X0", std::string(40, '*'),
                                   "* KORT"};
    for (int i = 0; i < 20; ++i) lines.push_back("N" + std::to_string(100 + i));
    std::string printed = shop.Print(lines);
    std::vector<std::string> pages = SplitPages(printed);
    ASSERT_EQ(pages.size(), 2u);
    std::vector<std::string> page1 = SplitLines(pages[0]);
    EXPECT_EQ(page1[0], Margin("*** SKARV TEST ***"));
    EXPECT_EQ(page1[1], Margin(wide.substr(0, 70)));
    EXPECT_EQ(page1[2], "");
    EXPECT_EQ(page1[3], PadRight("     PROG1.NC", 75));
    // 8 rows of two columns: the wide star line in the middle is left out, the short one kept.
    ASSERT_EQ(page1.size(), 2u + 3u + 8u + 2u);
    EXPECT_EQ(page1[5], ColumnRow({"N10G00X0", "N106"}, 32));
    EXPECT_EQ(page1[6], ColumnRow({"* KORT", "N107"}, 32));
    EXPECT_EQ(page1[7], ColumnRow({"N100", "N108"}, 32));
    EXPECT_EQ(SplitLines(pages[1]).size(), 3u + 10u + 2u);
    EXPECT_EQ(SplitLines(pages[1])[3], ColumnRow({"N114", ""}, 32));
    EXPECT_EQ(SplitLines(pages[1])[8], ColumnRow({"N119", ""}, 32));
    EXPECT_NE(pages[1].find("Side: 2"), std::string::npos);
}

TEST(PrintLayoutTest, StarLinesStopFiveLinesBeforeThePageEnds) {
    RawShop shop("Kolonner=2\r\n");
    std::vector<std::string> lines;
    for (int i = 0; i < 50; ++i) lines.push_back("* C" + std::to_string(i));
    std::vector<std::string> page1 = SplitLines(SplitPages(shop.Print(lines))[0]);
    // Lines 0..43 go out at full width (the line after each is below 45); 6 rows remain.
    EXPECT_EQ(page1[43], Margin("* C43"));
    EXPECT_EQ(page1[44], "");
    ASSERT_EQ(page1.size(), 44u + 3u + 6u + 2u);
    EXPECT_EQ(page1[47], ColumnRow({"* C44", ""}, 32));
    EXPECT_EQ(page1[52], ColumnRow({"* C49", ""}, 32));
}

TEST(PrintLayoutTest, SetupStringsFrameThePrint) {
    RawShop shop("InitPrn=[ESC](s12h\r\nExitPrn=[ESC]@\r\n");
    std::string printed = shop.Print(ProgramLines(120));
    EXPECT_EQ(printed, "\x1b(S12H" + ThreePages(true) + "\x1b@");
}

TEST(PrintLayoutTest, APageBufferOf216CellsGetsAsManyRowsAsFit) {
    std::vector<std::string> lines = ProgramLines(300);
    std::vector<std::string> pages =
        SplitPages(PrintDriver("[Program]\r\nKolonner=2\r\nSideLengde=150\r\n", lines));
    ASSERT_EQ(pages.size(), 2u);
    std::vector<std::string> page1 = SplitLines(pages[0]);
    ASSERT_EQ(page1.size(), 3u + 108u + 2u);
    EXPECT_EQ(page1[3], ColumnRow({lines[0], lines[108]}, 32));
    EXPECT_EQ(page1[110], ColumnRow({lines[107], lines[215]}, 32));
    std::vector<std::string> page2 = SplitLines(pages[1]);
    EXPECT_EQ(page2[3], ColumnRow({lines[216], ""}, 32));
    EXPECT_EQ(page2[86], ColumnRow({lines[299], ""}, 32));
}

TEST(PrintLayoutTest, DocumentsOfMoreThan65536LinesPrintWhole) {
    std::vector<std::string> lines = ProgramLines(70000);
    {
        RawShop shop("SideLengde=200\r\n");
        std::vector<std::string> rows = SplitLines(shop.Print(lines));
        ASSERT_EQ(rows.size(), 3u + 70000u + 2u);
        EXPECT_EQ(rows[3 + 65536], Margin(lines[65536]));
        EXPECT_EQ(rows[3 + 69999], Margin("N700000G01X70000.5"));
    }
    RawShop shop("Kolonner=2\r\n");
    std::vector<std::string> pages = SplitPages(shop.Print(lines));
    ASSERT_EQ(pages.size(), 700u);
    EXPECT_NE(pages[699].find("Side: 700"), std::string::npos);
    EXPECT_EQ(SplitLines(pages[699])[52], ColumnRow({lines[69949], lines[69999]}, 32));
}

TEST(PrintLayoutTest, AFailedWriteSilencesTheRest) {
    ScopedIni shop("[Program]\r\nExitPrn=BYE\r\n");
    PrintSettings settings = LoadPrintSettings();
    MemoryStream stream;
    stream.failFromWrite = 5;
    bool ok = true;
    PrintDocument(0, 0, 119, ok, ProgramLines(120), "PROG1.NC", settings, stream, kClock);
    EXPECT_FALSE(ok);
    EXPECT_EQ(stream.writes, 5);
    EXPECT_EQ(stream.bytes,
              HeaderText("PROG1.NC") + Margin("N10G01X1.5\r\n") + Margin("N20G01X2.5\r\n"));
    EXPECT_TRUE(stream.closed);

    MemoryStream refused;
    refused.failOpen = true;
    ok = true;
    PrintDocument(0, 0, 119, ok, ProgramLines(120), "PROG1.NC", settings, refused, kClock);
    EXPECT_FALSE(ok);
    EXPECT_EQ(refused.writes, 0);
}

TEST(PrintLayoutTest, AnEmptyRangePrintsNoPage) {
    RawShop shop("Kolonner=2\r\n");
    EXPECT_EQ(shop.Print({}), "");
    RawShop single("");
    EXPECT_EQ(single.Print(ProgramLines(3), 2, 1), "");
}

// ------------------------------------------------------------------ the print command
TEST(PrintRangeTest, TheSelectionRule) {
    int asked = 0;
    auto yes = [&](const std::string& caption, const std::string& text) {
        ++asked;
        EXPECT_EQ(caption, "Utskrift");
        EXPECT_EQ(text, kPrintSelectionQuestion);
        return true;
    };
    auto no = [&](const std::string&, const std::string&) {
        ++asked;
        return false;
    };
    PrintRange r = ChoosePrintRange(120, false, 0, 0, yes);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.last, 119);
    // Ends at the start of line 8: lines 3..7.
    r = ChoosePrintRange(120, true, 3, 8, yes);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(r.first, 3);
    EXPECT_EQ(r.last, 7);
    // Within one line: the whole program, no question.
    r = ChoosePrintRange(120, true, 5, 5, yes);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(r.last, 119);
    // Ends inside line 4 of two lines selected: only line 3.
    r = ChoosePrintRange(120, true, 3, 4, yes);
    EXPECT_EQ(r.first, 3);
    EXPECT_EQ(r.last, 3);
    r = ChoosePrintRange(120, true, 3, 8, no);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.last, 119);
}

TEST(PrintCommandTest, AShortSelectionInTwoColumnsIsItsLastPage) {
    ScopedIni shop("[Program]\r\nKolonner=2\r\n");
    std::vector<std::string> lines = ProgramLines(120);
    PrintCommand command;
    command.title = "PROG1.NC";
    command.lines = &lines;
    command.hasSelection = true;
    command.selectionStartLine = 10;
    command.selectionEndLine = 15;
    std::string bytes;
    auto keeping = [&](const PrintSettings&) {
        auto stream = std::make_unique<MemoryStream>();
        stream->keep = &bytes;
        return std::unique_ptr<PrintStream>(std::move(stream));
    };
    bool ok = PrintProgram(
        command, [](const std::string&, const std::string&) { return true; }, LoadPrintSettings(),
        keeping, kClock);
    EXPECT_TRUE(ok);
    std::string expected = HeaderText("PROG1.NC");
    for (size_t r = 0; r < 50; ++r)
        expected += ColumnRow({r < 5 ? lines[10 + r] : "", ""}, 32) + "\r\n";
    expected += FooterText(1, false);
    EXPECT_EQ(bytes, expected);
}

TEST(PrintCommandTest, AFailedPrintIsReported) {
    TempDir dir;
    ScopedIni shop("[Program]\r\nMatrise=1\r\nSkriver=" + dir.Dnc("out.prn") + "\r\n");
    std::vector<std::string> lines = ProgramLines(10);
    PrintCommand command;
    command.lines = &lines;
    std::vector<bool> cursor;
    int reselected = 0;
    PrintHooks hooks;
    hooks.hourglass = [&](bool on) { cursor.push_back(on); };
    hooks.afterPrint = [&] { ++reselected; };
    {
        MessageRecorder messages;
        FailNextTextWrite();
        EXPECT_FALSE(RunPrintCommand(command, hooks, kClock));
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].first, "Utskrift");
        EXPECT_EQ(messages.messages[0].second, "Utskrift feilet");
        EXPECT_EQ(ReadFileBytes(dir.File("OUT.PRN")), "");
    }
    EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
    EXPECT_EQ(reselected, 1);
    {
        MessageRecorder messages;
        EXPECT_TRUE(RunPrintCommand(command, hooks, kClock));
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_EQ(SplitPages(ReadFileBytes(dir.File("OUT.PRN"))).size(), 1u);
    }
    // A printer device that cannot be opened.
    shop.Rewrite("[Program]\r\nMatrise=1\r\nSkriver=" + dir.Dnc("gone/out.prn") + "\r\n");
    {
        MessageRecorder messages;
        EXPECT_FALSE(RunPrintCommand(command, hooks, kClock));
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].second, "Utskrift feilet");
    }
    EXPECT_EQ(reselected, 3);
    // Devices are written as they are named, whatever the case of the setting.
    shop.Rewrite("[Program]\r\nMatrise=1\r\nSkriver=/dev/null\r\n");
    {
        MessageRecorder messages;
        EXPECT_TRUE(RunPrintCommand(command, hooks, kClock));
        EXPECT_TRUE(messages.messages.empty());
    }
    // A parallel printer that is not there.
    if (!std::filesystem::exists("/dev/lp8")) {
        shop.Rewrite("[Program]\r\nMatrise=1\r\nSkriver=LPT9:\r\n");
        MessageRecorder messages;
        EXPECT_FALSE(RunPrintCommand(command, hooks, kClock));
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].second, "Utskrift feilet");
        EXPECT_FALSE(std::filesystem::exists("/dev/lp8"));
    }
}

TEST(PrintCommandTest, ColouredTextIsPrintedFormattedWhenAsked) {
    TempDir dir;
    ScopedIni shop("[Program]\r\nMatrise=1\r\nSkriver=" + dir.Dnc("out.prn") + "\r\n");
    std::vector<std::string> lines = ProgramLines(10);
    PrintCommand command;
    command.lines = &lines;
    command.colouringOn = true;
    int formatted = 0;
    PrintHooks hooks;
    hooks.printFormatted = [&] {
        ++formatted;
        return true;
    };
    EXPECT_TRUE(RunPrintCommand(command, hooks, kClock));
    EXPECT_EQ(formatted, 1);
    EXPECT_FALSE(FileExists(dir.Dnc("OUT.PRN")));

    command.printFormatert = false;  // plain print despite the colours
    EXPECT_TRUE(RunPrintCommand(command, hooks, kClock));
    EXPECT_EQ(formatted, 1);
    EXPECT_TRUE(FileExists(dir.Dnc("OUT.PRN")));

    command.printFormatert = true;
    hooks.printFormatted = []() -> bool { throw std::runtime_error("printer gone"); };
    MessageRecorder messages;
    EXPECT_FALSE(RunPrintCommand(command, hooks, kClock));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].second, "Utskrift feilet");
}
