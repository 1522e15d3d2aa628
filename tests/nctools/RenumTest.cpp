#include <gtest/gtest.h>

#include "TestSupport.h"
#include "nctools/LineList.h"
#include "nctools/Renum.h"

namespace {
CharSet Chars(const std::string& s) {
    CharSet c;
    for (unsigned char b : s) c.set(b);
    return c;
}

BlockModel Model(const std::string& chars = "N", bool heidenhain = false) {
    BlockModel m;
    m.blockChars = Chars(chars);
    m.heidenhain = heidenhain;
    return m;
}

RenumRequest Request(int start, int step, int max = 0) {
    RenumRequest r;
    r.values.start = start;
    r.values.step = step;
    r.values.max = max;
    return r;
}

std::vector<std::string> Renumbered(std::vector<std::string> lines, const BlockModel& m,
                                    const RenumRequest& r) {
    RenumberText(lines, m, r);
    return lines;
}
using Lines = std::vector<std::string>;
}  // namespace

TEST(RenumberText, NewSequenceSkipsCommentsAndReportsChangedLines) {
    Lines lines = {"N10 G0 X0", "N20 G1 X5", "(SPOR 1)", "N30 M30"};
    auto changed = RenumberText(lines, Model(), Request(100, 5));
    EXPECT_EQ(lines, (Lines{"N100 G0 X0", "N105 G1 X5", "(SPOR 1)", "N110 M30"}));
    EXPECT_EQ(changed, (std::vector<size_t>{0, 1, 3}));
}

TEST(RenumberText, UnchangedLinesStillUseANumberAndAreNotReported) {
    Lines lines = {"N10 A", "N20 B", "N99 C"};
    auto changed = RenumberText(lines, Model(), Request(10, 10));
    EXPECT_EQ(lines[2], "N30 C");
    EXPECT_EQ(changed, (std::vector<size_t>{2}));
}

TEST(RenumberText, MaxHoldsTheSequence) {
    EXPECT_EQ(Renumbered({"N1", "N1", "N1", "N1"}, Model(), Request(10, 10, 25)),
              (Lines{"N10", "N20", "N25", "N25"}));
    // Max below start: the first block keeps start, every later one gets Max.
    EXPECT_EQ(Renumbered({"N1", "N1", "N1"}, Model(), Request(100, 10, 50)),
              (Lines{"N100", "N50", "N50"}));
}

TEST(RenumberLine, WidthFollowsValueAndSkippedBlocksKeepTheirSlash) {
    RenumOptions o;
    o.blockChars = Chars("N");
    int64_t n = 10;
    std::string s = "N0010 G01";
    EXPECT_TRUE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "N10 G01");
    s = "/N0050 G01 X5";
    EXPECT_TRUE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "/N20 G01 X5");
    // "/" not followed by N is not a block; neither are one-byte lines.
    s = "/G01";
    EXPECT_FALSE(RenumberLine(s, n, 10, 0, o));
    s = "N";
    EXPECT_FALSE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(n, 30);
    // A block character followed by a non-N: prefix is the character alone.
    o.blockChars = Chars("T");
    s = "T5 M6";
    EXPECT_TRUE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "T30 M6");
    // A block character whose second byte is N: both form the prefix.
    s = "TN7 X";
    EXPECT_TRUE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "TN40 X");
}

TEST(RenumberLine, AddBlockNumbers) {
    RenumOptions o;
    o.blockChars = Chars("N");
    o.addBlockNo = true;
    int64_t n = 10;
    std::string s = "G01 X5";
    EXPECT_TRUE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "N10 G01 X5");
    s = "/G01 X5";
    EXPECT_TRUE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "N20 /G01 X5");
    for (std::string t : {"%", "O1234", "%PROG", ":5 T1", "*X"}) {
        std::string before = t;
        EXPECT_FALSE(RenumberLine(t, n, 10, 0, o)) << before;
        EXPECT_EQ(t, before);
    }
    EXPECT_EQ(n, 30);  // none of them took a number
    // Comments get a number too when blocks are added.
    s = "(SPOR 1)";
    EXPECT_TRUE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "N30 (SPOR 1)");
    // "O" as a block character: the line is numbered like a block.
    o.blockChars = Chars("NO");
    s = "O1234";
    EXPECT_TRUE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "O40");
}

TEST(RenumberLine, AddedPrefixIsDroppedWhenTheLineIsNoBlockAfterAll) {
    // Block characters without N: "N " goes in front, then the line fails the block test and
    // must keep its old text (nothing written back, no number used).
    RenumOptions o;
    o.blockChars = Chars(":");
    o.addBlockNo = true;
    int64_t n = 10;
    std::string s = "G01 X5";
    EXPECT_FALSE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "G01 X5");
    EXPECT_EQ(n, 10);
    Lines lines = {"G01 X5", ":7 T1"};
    BlockModel m = Model(":");
    RenumRequest r = Request(10, 10);
    r.addBlockNo = true;
    auto changed = RenumberText(lines, m, r);
    EXPECT_EQ(lines, (Lines{"G01 X5", ":10 T1"}));
    EXPECT_EQ(changed, (std::vector<size_t>{1}));
}

TEST(RenumberLine, RemoveBlockNumbers) {
    RenumOptions o;
    o.blockChars = Chars("N");
    o.removeBlockNo = true;
    int64_t n = 10;
    std::string s = "N10   G01 X5";
    EXPECT_TRUE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "G01 X5");
    s = "/N10 G01";
    EXPECT_TRUE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "G01");
    s = "G01 X5";  // not a block: untouched
    EXPECT_FALSE(RenumberLine(s, n, 10, 0, o));
    EXPECT_EQ(s, "G01 X5");
}

TEST(RenumberText, SeveralBlockCharactersAndAnEmptySet) {
    EXPECT_EQ(Renumbered({"N5 G0", ":5 T1", "(X)", "X1"}, Model("N:"), Request(10, 10)),
              (Lines{"N10 G0", ":20 T1", "(X)", "X1"}));
    // No block characters at all: only "/N" lines are blocks.
    EXPECT_EQ(Renumbered({"N5 G0", "/N5 G1", "N7"}, Model(""), Request(10, 10)),
              (Lines{"N5 G0", "/N10 G1", "N7"}));
}

TEST(RenumberText, HeidenhainNumbersEveryLineEmptyOnesToo) {
    BlockModel h = Model("N", true);
    EXPECT_EQ(Renumbered({"0 BEGIN PGM P1 MM", "", "7 L X+0"}, h, Request(0, 1)),
              (Lines{"0 BEGIN PGM P1 MM", "1", "2 L X+0"}));
    EXPECT_EQ(Renumbered({"L X+10"}, h, Request(5, 1)), (Lines{"5L X+10"}));
    RenumRequest remove = Request(0, 1);
    remove.removeBlockNo = true;
    remove.addBlockNo = false;
    EXPECT_EQ(Renumbered({"12  L X+0", "L"}, h, remove), (Lines{"L X+0", "L"}));
    // Adding is not consulted in the dialect.
    RenumRequest add = Request(0, 1);
    add.addBlockNo = true;
    EXPECT_EQ(Renumbered({"G01", "%"}, h, add), (Lines{"0G01", "1%"}));
}

TEST(RenumberText, MarkedAreaAndItsSelectionRule) {
    // A selection from the start of line 3 to the start of line 6 (0-based 2 to 5).
    MarkedArea a = MarkedAreaOf(2, 5);
    EXPECT_EQ(a.first, 2);
    EXPECT_EQ(a.last, 4);
    EXPECT_TRUE(a.usable());
    EXPECT_FALSE(MarkedAreaOf(3, 3).usable());  // inside one line
    EXPECT_FALSE(MarkedAreaOf(3, 4).usable());  // one line up to the next line's start
    Lines lines = {"N1", "N1", "N1", "N1", "N1", "N1", "N1"};
    RenumRequest r = Request(10, 10);
    r.onlyMarked = true;
    r.first = a.first;
    r.last = a.last;
    EXPECT_EQ(Renumbered(lines, Model(), r), (Lines{"N1", "N1", "N10", "N20", "N30", "N1", "N1"}));
    // A marked area past the end of the text is cut to the text.
    r.first = 5;
    r.last = 99;
    EXPECT_EQ(Renumbered(lines, Model(), r), (Lines{"N1", "N1", "N1", "N1", "N1", "N10", "N20"}));
}

TEST(RenumberText, ProgressEveryTenLinesAndNoOverflow) {
    Lines lines(25, "N1");
    std::vector<size_t> seen;
    RenumberText(lines, Model(), Request(10, 10), [&](size_t i) { seen.push_back(i); });
    EXPECT_EQ(seen, (std::vector<size_t>{0, 10, 20}));
    // Near the top of the 32-bit range the numbers go on rising.
    lines = {"N1", "N1", "N1"};
    RenumberText(lines, Model(), Request(2147483640, 5));
    EXPECT_EQ(lines, (Lines{"N2147483640", "N2147483645", "N2147483650"}));
}

TEST(ParseRenumValues, RefusesBadStartAndStep) {
    RenumValues v;
    EXPECT_TRUE(ParseRenumValues("10", "10", "", v));
    EXPECT_EQ(v.max, 0);
    EXPECT_FALSE(ParseRenumValues("abc", "10", "", v));
    EXPECT_EQ(v.start, -1);
    EXPECT_FALSE(ParseRenumValues("10", "0", "", v));
    EXPECT_FALSE(ParseRenumValues("-5", "1", "", v));
    EXPECT_FALSE(ParseRenumValues("10", "1.5", "", v));
    EXPECT_TRUE(ParseRenumValues("0", "1", "x", v));
    EXPECT_EQ(v.max, 0);
    EXPECT_TRUE(ParseRenumValues(" 7", "2", "-4", v));
    EXPECT_EQ(v.start, 7);
    EXPECT_EQ(v.max, -4);  // not a positive limit: no limit
    Lines lines = {"N1", "N1", "N1"};
    RenumRequest r;
    r.values = v;
    RenumberText(lines, Model(), r);
    EXPECT_EQ(lines, (Lines{"N7", "N9", "N11"}));
}

TEST(ReadBlockModel, DialectAndBlockCharactersFromTheIni) {
    ScopedIni ini(
        "[Maskin1]\r\nProtokoll=hhlsv2\r\n"
        "[Maskin2]\r\nBlokkTegn=N:[58]\r\n"
        "[Maskin3]\r\nBlokkTegn=\r\nHeidenHain=1\r\n"
        "[Maskin4]\r\nProtokoll=ISO\r\n");
    BlockModel m1 = ReadBlockModel(MachineSection(0));
    EXPECT_TRUE(m1.heidenhain);
    BlockModel m2 = ReadBlockModel(MachineSection(1));
    EXPECT_FALSE(m2.heidenhain);
    EXPECT_EQ(m2.blockChars, Chars("N:"));
    BlockModel m3 = ReadBlockModel(MachineSection(2));
    EXPECT_TRUE(m3.heidenhain);
    EXPECT_TRUE(m3.blockChars.none());
    BlockModel m4 = ReadBlockModel(MachineSection(3));
    EXPECT_FALSE(m4.heidenhain);
    EXPECT_EQ(m4.blockChars, Chars("N"));
}

TEST(RenumberText, RealProgramKeepsItsWordsAndNumbersItsBlocks) {
    std::string path = SharedDir() + "/nc-samples/3D_Chips.ngc";
    std::string bytes = ReadFileBytes(path);
    if (bytes.empty()) GTEST_SKIP() << "no samples at " << path;
    Lines lines = SplitLines(bytes);
    Lines before = lines;
    RenumberText(lines, Model(), Request(10, 10));
    ASSERT_EQ(lines.size(), before.size());
    int64_t expect = 10;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& b = before[i];
        if (b.size() < 2 || b[0] != 'N') {
            EXPECT_EQ(lines[i], b);
            continue;
        }
        size_t p = 1;
        while (p < b.size() && isdigit(static_cast<unsigned char>(b[p]))) ++p;
        EXPECT_EQ(lines[i], "N" + std::to_string(expect) + b.substr(p)) << i;
        expect += 10;
    }
    EXPECT_GT(expect, 10000);
}
