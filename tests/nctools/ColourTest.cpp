#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "nctools/Colour.h"
#include "settings/KeyStore.h"

namespace {
using C = ColourClass;

// One class per byte, from the runs ColourLine gives (Other where no run lies).
std::vector<C> Expand(std::string_view line, const std::vector<ColourRun>& runs) {
    std::vector<C> v(line.size(), C::Other);
    for (const auto& r : runs) {
        EXPECT_LE(r.start + r.length, line.size());
        EXPECT_GT(r.length, 0u);
        for (size_t k = r.start; k < r.start + r.length && k < v.size(); ++k) v[k] = r.cls;
    }
    return v;
}

// The classes written as one letter per byte: . other, * star, c comment, A address.
std::string Picture(std::string_view line) {
    std::vector<ColourRun> runs;
    ColourLine(line, runs);
    std::string p;
    for (C c : Expand(line, runs)) p += c == C::Other ? '.' : c == C::StarLine ? '*' : c == C::Comment ? 'c' : 'A';
    // The fast form must give exactly the same classes.
    std::vector<uint8_t> st(line.size(), 0xEE);
    ColourLineStyles(line, st.data());
    for (size_t k = 0; k < line.size(); ++k)
        EXPECT_EQ(st[k], static_cast<uint8_t>(Expand(line, runs)[k])) << line << " at " << k;
    return p;
}
}  // namespace

TEST(Colour, AddressLettersCommentsAndStarLines) {
    EXPECT_EQ(Picture("N10 G01 X10.5 (FRES) Y5"), "A...A...A.....cccccc.A.");
    EXPECT_EQ(Picture("*** DEL 1 ***"), "*************");
    // A ";" comment also ends at ")": the final B is an address again.
    EXPECT_EQ(Picture("G01 X5 ; SLUTT A) B"), "A...A..cccccccccc.A");
    // Unclosed comments run to the end of the line; a "(" in the last position stays black.
    EXPECT_EQ(Picture("X5 (FRES"), "A..ccccc");
    EXPECT_EQ(Picture("X5 ("), "A...");
    EXPECT_EQ(Picture("X5 ;"), "A...");
    EXPECT_EQ(Picture("(A"), "cc");
    EXPECT_EQ(Picture("()"), "cc");
    // Lower case and letters outside A..Z stay black; so do the bytes of other code pages.
    EXPECT_EQ(Picture("g01 x5 Å"), "........");
    // A "(" inside a comment does not start another; the first ")" closes.
    EXPECT_EQ(Picture("((A)B)"), "ccccA.");
    // A star only counts in the first position.
    EXPECT_EQ(Picture(" *X"), "..A");
    EXPECT_EQ(Picture(""), "");
}

TEST(Colour, RunsAreMergedAndOffsetByTheLineStart) {
    std::vector<ColourRun> runs;
    ColourLine("GX1", runs, 100);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], (ColourRun{100, 2, C::Address}));
    // Runs of several lines accumulate in the caller's vector.
    ColourLine("(A)", runs, 105);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1], (ColourRun{105, 3, C::Comment}));
}

TEST(Colour, StylesOfTheClasses) {
    const ColourStyle& star = StyleOfClass(C::StarLine);
    EXPECT_EQ(std::tuple(star.red, star.green, star.blue, star.bold, star.italic),
              std::tuple(0, 0, 255, false, false));
    const ColourStyle& com = StyleOfClass(C::Comment);
    EXPECT_EQ(std::tuple(com.red, com.green, com.blue, com.bold, com.italic),
              std::tuple(0, 128, 0, false, true));
    const ColourStyle& adr = StyleOfClass(C::Address);
    EXPECT_EQ(std::tuple(adr.red, adr.green, adr.blue, adr.bold, adr.italic),
              std::tuple(255, 0, 0, true, false));
    EXPECT_FALSE(StyleOfClass(C::Other).bold);
    for (C c : {C::LogRed, C::LogMagenta, C::LogBlack, C::LogBlue, C::LogGreen})
        EXPECT_TRUE(StyleOfClass(c).bold);
    EXPECT_EQ(StyleOfClass(C::LogMagenta).blue, 255);
}

// The whole-text form over real programs agrees with the line form, line ends are black, and
// nothing outside the buffer is written.
TEST(Colour, WholeRealProgramsAgreeWithTheLineForm) {
    std::string dir = SharedDir() + "/nc-samples";
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no sample programs";
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        if (e.path().extension() != ".ngc") continue;
        ++files;
        std::string text = ReadFileBytes(e.path().string());
        std::vector<uint8_t> st(text.size() + 1, 0xEE);
        ColourTextStyles(text, st.data());
        EXPECT_EQ(st[text.size()], 0xEE);
        size_t i = 0, comments = 0, letters = 0;
        std::vector<ColourRun> runs;
        while (i < text.size()) {
            size_t e2 = text.find_first_of("\r\n", i);
            if (e2 == std::string::npos) e2 = text.size();
            std::string_view line(text.data() + i, e2 - i);
            runs.clear();
            ColourLine(line, runs, i);
            std::vector<C> want(line.size(), C::Other);
            for (const auto& r : runs) {
                for (size_t k = r.start; k < r.start + r.length; ++k) want[k - i] = r.cls;
                comments += r.cls == C::Comment;
                letters += r.cls == C::Address;
                if (r.cls == C::Comment) {
                    EXPECT_TRUE(text[r.start] == '(' || text[r.start] == ';');
                }
            }
            for (size_t k = 0; k < line.size(); ++k)
                ASSERT_EQ(st[i + k], static_cast<uint8_t>(want[k])) << e.path() << " at " << i + k;
            i = e2;
            while (i < text.size() && (text[i] == '\r' || text[i] == '\n')) EXPECT_EQ(st[i++], 0);
        }
        // Lower-case programs (the lathe samples) have no address letters at all.
        if (e.path().filename() == "3D_Chips.ngc") {
            EXPECT_GT(comments, 0u);
            EXPECT_GT(letters, 1000u);
        }
    }
    EXPECT_GT(files, 5);
}

TEST(Colour, LineCountOfTheText) {
    EXPECT_EQ(CountLines(""), 0u);
    EXPECT_EQ(CountLines("N1"), 1u);
    EXPECT_EQ(CountLines("N1\r\n"), 1u);
    EXPECT_EQ(CountLines("N1\r\nN2"), 2u);
    EXPECT_EQ(CountLines("\r\n\r\n"), 2u);
    EXPECT_EQ(CountLines("A\rB\nC"), 3u);
}

TEST(Colour, SizeQuestionsAt250And251Lines) {
    // Loading: no question up to 250 lines, the load question from 251, none when off.
    EXPECT_EQ(DecideColourAfterLoad(true, 250).question, nullptr);
    ColourDecision d = DecideColourAfterLoad(true, 251);
    ASSERT_NE(d.question, nullptr);
    EXPECT_STREQ(d.question, "CNC-programmet er meget stort.\rBruke tekstformatering likevel ?");
    EXPECT_EQ(DecideColourAfterLoad(false, 300).question, nullptr);
    EXPECT_FALSE(DecideColourAfterLoad(false, 300).on);
    EXPECT_STREQ(kLargeTextCaption, "Bruke tekstformatering");
}

TEST(Colour, TheSwitchStoresItsStateButNotTheAnswer) {
    MemoryKeyStore store;
    SetKeyStore(&store);
    EXPECT_FALSE(ReadColourSetting());  // a missing value means off
    ColourDecision d = ToggleColouring(false, 250);
    EXPECT_TRUE(d.on);
    EXPECT_EQ(d.question, nullptr);
    EXPECT_TRUE(ReadColourSetting());
    d = ToggleColouring(true, 251);  // switching off never asks
    EXPECT_FALSE(d.on);
    EXPECT_EQ(d.question, nullptr);
    EXPECT_FALSE(ReadColourSetting());
    d = ToggleColouring(false, 251);
    ASSERT_NE(d.question, nullptr);
    EXPECT_STREQ(d.question, "CNC-programmet er meget stort.\rTekstformatere likevel ?");
    // Whatever the user answers, the stored value is the new state: on at the next start.
    EXPECT_TRUE(ReadColourSetting());
    SetKeyStore(nullptr);
}

TEST(Colour, RecolouringInSlicesFollowsTheCaret) {
    RecolourPlan plan(75, 10, false);
    size_t first = 0, count = 0;
    ASSERT_TRUE(plan.Next(first, count));
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(count, 30u);
    EXPECT_TRUE(plan.PauseDue());
    RecolourPlan::Pause p = plan.BeforeEvents();
    EXPECT_FALSE(p.recolourCaretLine);
    EXPECT_TRUE(p.restoreCursor);  // the top is usable after the first slice
    plan.AfterEvents(10);          // the user did nothing
    ASSERT_TRUE(plan.Next(first, count));
    EXPECT_EQ(first, 30u);
    EXPECT_EQ(count, 30u);
    p = plan.BeforeEvents();
    EXPECT_FALSE(p.recolourCaretLine);
    EXPECT_FALSE(p.restoreCursor);
    plan.AfterEvents(500);  // the caret moved: the user may have typed there
    ASSERT_TRUE(plan.Next(first, count));
    EXPECT_EQ(first, 60u);
    EXPECT_EQ(count, 15u);
    EXPECT_FALSE(plan.PauseDue());  // no pause after the short rest
    p = plan.BeforeEvents();
    EXPECT_TRUE(p.recolourCaretLine);
    EXPECT_EQ(plan.caret(), 500u);
    EXPECT_FALSE(plan.Next(first, count));
    EXPECT_TRUE(plan.modifiedAtEnd());

    RecolourPlan still(60, 0, false);
    while (still.Next(first, count))
        if (still.PauseDue()) still.AfterEvents(0);
    EXPECT_FALSE(still.modifiedAtEnd());
    RecolourPlan none(0, 0, true);
    EXPECT_FALSE(none.Next(first, count));
    EXPECT_TRUE(none.modifiedAtEnd());
}

// ---------------------------------------------------------------- log files
namespace {
std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s.push_back(static_cast<char>(c));
    return s;
}
}  // namespace

TEST(ColouredLog, CodesColourTheTextAndCarryOverLineEnds) {
    TempDir dir;
    WriteFileBytes(dir.File("DNC.LOG"), Bytes({64, 'A', 33, 'B', 35, 'C', 13, 10, 'D'}));
    ColouredLog log;
    ASSERT_TRUE(LoadColouredLog(dir.Dnc("DNC.LOG"), log));
    EXPECT_EQ(log.text, "ABC\r\nD");
    EXPECT_EQ(log.lineCount, 2u);
    std::vector<ColourRun> want = {{0, 1, C::LogRed}, {1, 1, C::LogMagenta}, {2, 1, C::LogBlack},
                                   {5, 1, C::LogBlack}};
    EXPECT_EQ(log.runs, want);
    // As style bytes for the control: the line break stays plain.
    std::vector<uint8_t> st(log.text.size() + 1, 0xEE);
    StylesFromRuns(log.runs, st.data(), log.text.size());
    EXPECT_EQ(std::vector<uint8_t>(st.begin(), st.end() - 1), (std::vector<uint8_t>{4, 5, 6, 0, 0, 6}));
    EXPECT_EQ(st.back(), 0xEE);
}

TEST(ColouredLog, CodeBytesBlankLinesAndLongLines) {
    TempDir dir;
    // Red is in force at the start; 163 blue and 167 green are codes, not text; LF alone
    // ends nothing; CR CR keeps a blank line.
    std::string bytes = Bytes({'x', 163, 'y', 167, 'z', 10, 'w', 13, 13, 'v'});
    bytes += std::string(300, 'L') + "\r\n" + std::string(251, 'M') + "\r\nEND";
    WriteFileBytes(dir.File("A.LOG"), bytes);
    ColouredLog log;
    ASSERT_TRUE(LoadColouredLog(dir.Dnc("A.LOG"), log));
    std::string want = "xyzw\r\n\r\nv" + std::string(250, 'L') + "\r\n" + std::string(50, 'L') +
                       "\r\n" + std::string(251, 'M') + "\r\nEND";
    EXPECT_EQ(log.text, want);
    EXPECT_EQ(log.lineCount, 6u);
    ASSERT_GE(log.runs.size(), 3u);
    EXPECT_EQ(log.runs[0], (ColourRun{0, 1, C::LogRed}));
    EXPECT_EQ(log.runs[1], (ColourRun{1, 1, C::LogBlue}));
    EXPECT_EQ(log.runs[2], (ColourRun{2, 2, C::LogGreen}));
    // Every text byte is covered by exactly one run, line breaks by none.
    std::vector<int> cover(log.text.size(), 0);
    for (const auto& r : log.runs)
        for (size_t k = r.start; k < r.start + r.length; ++k) ++cover[k];
    for (size_t k = 0; k < log.text.size(); ++k) {
        bool isBreak = log.text[k] == '\r' || log.text[k] == '\n';
        EXPECT_EQ(cover[k], isBreak ? 0 : 1) << k;
    }
}

TEST(ColouredLog, AMissingFileChangesNothing) {
    TempDir dir;
    ColouredLog log;
    log.text = "kept";
    EXPECT_FALSE(LoadColouredLog(dir.Dnc("NONE.LOG"), log));
    EXPECT_EQ(log.text, "kept");
    WriteFileBytes(dir.File("EMPTY.LOG"), "");
    ASSERT_TRUE(LoadColouredLog(dir.Dnc("EMPTY.LOG"), log));
    EXPECT_EQ(log.text, "");
    EXPECT_EQ(log.lineCount, 0u);
}
