// The comparison of programs: the options, the word marks, the line diff on large inputs with
// few differences (split at the lines found once on each side) and the unified diff.
#include <gtest/gtest.h>

#include <random>

#include "compare/Compare.h"
#include "nctools/LineList.h"
#include "nctools/Renum.h"

namespace {

BlockModel Iso() {
    BlockModel m;
    m.blockChars.set('N');
    return m;
}
BlockModel Heidenhain() {
    BlockModel m;
    m.heidenhain = true;
    return m;
}

std::string Joined(const std::vector<std::string>& lines) { return JoinLinesCrLf(lines); }

// The right side made from the left one and the hunks: what the diff says must hold.
std::vector<std::string> Rebuilt(const std::vector<std::string>& left,
                                 const std::vector<std::string>& right, const CompareResult& r) {
    std::vector<std::string> out;
    size_t a = 0;
    for (const DiffHunk& h : r.hunks) {
        while (a < h.leftFirst) out.push_back(left[a++]);
        for (size_t k = 0; k < h.rightCount; ++k) out.push_back(right[h.rightFirst + k]);
        a += h.leftCount;
    }
    while (a < left.size()) out.push_back(left[a++]);
    return out;
}

TEST(CompareTest, OptionsDecideWhatIsEqual) {
    CompareOptions none, numbers, blanks, values;
    numbers.ignoreNumbers = true;
    blanks.ignoreBlanks = true;
    values.byValue = true;
    auto same = [](const char* a, const char* b, const BlockModel& m, const CompareOptions& o) {
        return ComparePrograms(a, b, m, o).Equal();
    };
    EXPECT_FALSE(same("N10 G1 X5", "N20 G1 X5", Iso(), none));
    EXPECT_TRUE(same("N10 G1 X5", "N20 G1 X5", Iso(), numbers));
    EXPECT_TRUE(same("N10 G1 X5", "G1 X5", Iso(), numbers));
    EXPECT_FALSE(same("/N10 G1 X5", "N10 G1 X5", Iso(), numbers));  // the skip stays
    EXPECT_TRUE(same("5 L X+10 R0", "17 L X+10 R0", Heidenhain(), numbers));
    EXPECT_TRUE(same("G1 X5 Y6", "G1X5Y6", Iso(), blanks));
    EXPECT_FALSE(same("G1 X5 (TO HULL)", "G1 X5 (TOHULL)", Iso(), blanks));
    EXPECT_TRUE(same("X10. Y-0.50", "X10.000 Y-.5", Iso(), values));
    EXPECT_TRUE(same("X+010 G01", "X10 G1", Iso(), values));
    EXPECT_TRUE(same("X-0.0", "X0", Iso(), values));
    EXPECT_FALSE(same("X10", "X10.5", Iso(), values));
    EXPECT_FALSE(same("X10. (10.000)", "X10 (10)", Iso(), values));  // comments as written
    EXPECT_FALSE(same("X10.", "X10.000", Iso(), none));
}

TEST(CompareTest, RenumberedCopyIsEqualWithoutBlockNumbers) {
    std::vector<std::string> lines = {"%", "O2002 (FLENS)", "N10 G90 G54 G17",
                                      "N20 T1 M06 (PLANFRES D63)", "N40 G00 X-40. Y0 Z5.",
                                      "N50 G01 Z0. F300", "N60 X40.", "* Boring", "N130 M30", "%"};
    std::vector<std::string> renumbered = lines;
    RenumRequest req;
    req.values.start = 100;
    req.values.step = 5;
    RenumberText(renumbered, Iso(), req);
    ASSERT_NE(lines, renumbered);
    CompareOptions options;
    options.ignoreNumbers = true;
    CompareResult r = ComparePrograms(Joined(lines), Joined(renumbered), Iso(), options);
    EXPECT_TRUE(r.Equal());
    r = ComparePrograms(Joined(lines), Joined(renumbered), Iso(), CompareOptions());
    EXPECT_EQ(r.changed, 6u);
}

TEST(CompareTest, FeedChangedAtTheControlIsOneWord) {
    std::string before = Joined({"N40 G00 X-40. Y0 Z5.", "N50 G01 Z0. F300", "N60 X40."});
    std::string after = Joined({"N40 G00 X-40. Y0 Z5.", "N50 G01 Z0. F250", "N60 X40."});
    CompareResult r = ComparePrograms(before, after, Iso(), CompareOptions());
    ASSERT_EQ(r.hunks.size(), 1u);
    EXPECT_EQ(r.hunks[0], (DiffHunk{1, 1, 1, 1}));
    EXPECT_EQ(r.changed, 1u);
    WordMarks m = ChangedWords("N50 G01 Z0. F300", "N50 G01 Z0. F250", Iso(), CompareOptions());
    EXPECT_EQ(m.left, (std::vector<ByteSpan>{{12, 4}}));
    EXPECT_EQ(m.right, (std::vector<ByteSpan>{{12, 4}}));
    // By value a rewritten number is no change; the word that changed still is.
    CompareOptions values;
    values.byValue = true;
    m = ChangedWords("N50 G01 X10. F300", "N50 G1 X10.000 F250", Iso(), values);
    EXPECT_EQ(m.left, (std::vector<ByteSpan>{{13, 4}}));
    EXPECT_EQ(m.right, (std::vector<ByteSpan>{{15, 4}}));
    // A new word, and a renumbered line with the option on, mark only the new word.
    CompareOptions numbers;
    numbers.ignoreNumbers = true;
    m = ChangedWords("N50 G01 X10.", "N70 G01 X10. M08", Iso(), numbers);
    EXPECT_TRUE(m.left.empty());
    EXPECT_EQ(m.right, (std::vector<ByteSpan>{{12, 4}}));
}

// Large programs with a few scattered changes: every change is found as its own minimal
// difference, and the hunks rebuild the right side.
TEST(CompareTest, ScatteredChangesInLargePrograms) {
    std::mt19937 rng(19);
    std::vector<std::string> left;
    for (int i = 0; i < 60000; ++i)
        left.push_back("G1 X" + std::to_string(rng() % 100000) + " Y" + std::to_string(i));
    std::vector<std::string> right = left;
    // From the end backwards so the places stay right; 40 lines apart at least.
    int changes = 0;
    for (int at = 59000; at > 100; at -= 1300 + static_cast<int>(rng() % 200), ++changes) {
        switch (changes % 3) {
            case 0: right[at] += " F100"; break;
            case 1: right.erase(right.begin() + at); break;
            case 2: right.insert(right.begin() + at, "M08"); break;
        }
    }
    CompareResult r = ComparePrograms(Joined(left), Joined(right), Iso(), CompareOptions());
    EXPECT_EQ(static_cast<int>(r.hunks.size()), changes);
    EXPECT_EQ(r.changed + r.added + r.removed, static_cast<size_t>(changes));
    EXPECT_EQ(Rebuilt(left, right, r), right);

    // A program of repeated lines has no line found once: the pieces still rebuild.
    std::vector<std::string> rep, rep2;
    for (int i = 0; i < 6000; ++i) rep.push_back(i % 2 ? "G1 X10" : "G1 X0");
    rep2 = rep;
    rep2[3001] = "G1 X11";
    rep2.insert(rep2.begin() + 10, "M00");
    r = ComparePrograms(Joined(rep), Joined(rep2), Iso(), CompareOptions());
    EXPECT_EQ(Rebuilt(rep, rep2, r), rep2);
    EXPECT_EQ(r.changed + r.added + r.removed, 2u);
}

TEST(CompareTest, UnifiedDiffOfLines) {
    std::vector<std::string> a = {"%", "N10 G0 X0", "N20 G1 X5 F300", "N30 Y5", "N40 X0",
                                  "N50 Y0", "N60 Z5", "N70 M05", "N80 M30", "%"};
    std::vector<std::string> b = a;
    b[2] = "N20 G1 X5 F250";
    b.erase(b.begin() + 8);
    std::string ta = Joined(a), tb = Joined(b);
    std::vector<std::string_view> la = LineViews(ta), lb = LineViews(tb);
    CompareResult r = CompareLines(la, lb, Iso(), CompareOptions());
    EXPECT_EQ(UnifiedDiff(la, lb, r, "A.NC", "B.NC", 2),
              "--- A.NC\n+++ B.NC\n"
              "@@ -1,5 +1,5 @@\n %\n N10 G0 X0\n-N20 G1 X5 F300\n+N20 G1 X5 F250\n N30 Y5\n N40 X0\n"
              "@@ -7,4 +7,3 @@\n N60 Z5\n N70 M05\n-N80 M30\n %\n");
    EXPECT_EQ(CountsText(r), "1 endret, 0 lagt til, 1 fjernet");
    EXPECT_EQ(UnifiedDiff(la, la, CompareLines(la, la, Iso(), CompareOptions()), "A", "A"), "");

    // Side by side: the removed line faces an empty row, the rows after it stay paired.
    SideBySide s = AlignSideBySide(la, lb, r);
    EXPECT_EQ(s.left, ta);
    EXPECT_EQ(s.right, "%\r\nN10 G0 X0\r\nN20 G1 X5 F250\r\nN30 Y5\r\nN40 X0\r\nN50 Y0\r\nN60 Z5\r\n"
                       "N70 M05\r\n\r\n%\r\n");
    EXPECT_EQ(s.hunkRows, (std::vector<size_t>{2, 8}));
    ASSERT_EQ(s.rows.size(), 2u);
    EXPECT_EQ(s.rows[0].kind, RowKind::Changed);
    EXPECT_EQ(s.rows[0].rightLine, 2u);
    EXPECT_EQ(s.rows[1].kind, RowKind::Removed);
    EXPECT_EQ(s.rows[1].leftLine, 8u);
}

}  // namespace
