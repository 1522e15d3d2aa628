#include <gtest/gtest.h>

#include <random>

#include "document/FindReplace.h"
#include "settings/Strings.h"

namespace {
// The replace loop as the dialog ran it, replacement by replacement in the text itself,
// stopped after a number of rounds: the reference for every replace all that ends.
struct Reference {
    std::string text;
    int64_t replaced = 0;
    bool ended = false;
};
Reference NaiveReplaceAll(std::string text, const std::string& what, const std::string& with, FindState st) {
    Reference r;
    const int64_t lw = static_cast<int64_t>(what.size());
    for (int round = 0; round < 2000; ++round) {
        if (st.selLength != lw) {
            int64_t p = FindText(text, what, st.searchPos);
            if (p < 0) {
                r.ended = true;
                break;
            }
            st.searchPos = p + 1;
            st.selStart = p;
            st.selLength = lw;
        }
        text.replace(static_cast<size_t>(st.selStart), static_cast<size_t>(lw), with);
        if (with.empty() && st.searchPos > st.selStart) st.searchPos = st.selStart;
        st.selStart += static_cast<int64_t>(with.size());
        st.selLength = 0;
        ++r.replaced;
    }
    r.text = text;
    return r;
}

int64_t NaiveFind(const std::string& text, const std::string& what, int64_t start) {
    std::string t = UpperCase1252(text), w = UpperCase1252(what);
    if (w.empty() || start >= static_cast<int64_t>(t.size())) return -1;
    size_t p = t.find(w, static_cast<size_t>(start));
    return p == std::string::npos ? -1 : static_cast<int64_t>(p);
}
}  // namespace

TEST(FindText, IgnoresCaseAlsoForNorwegianLetters) {
    std::string text = "N10 G1 X5\r\nN20 g1 Ø2 ø3\r\n";
    EXPECT_EQ(FindText(text, "g1", 0), 4);
    EXPECT_EQ(FindText(text, "G1", 5), 15);
    EXPECT_EQ(FindText(text, "ø", 0), 18);
    EXPECT_EQ(FindText(text, "Ø3", 19), 21);
    EXPECT_EQ(FindText(text, "X5\r\nN2", 0), 7);  // a line break counts as two positions
    EXPECT_EQ(FindText(text, "", 0), -1);
    EXPECT_EQ(FindText(text, "N10", 1), -1);
    EXPECT_EQ(FindText(text, "N10", 1000), -1);
}

TEST(FindText, AgreesWithASimpleSearch) {
    std::mt19937 rng(11);
    const char alphabet[] = {'a', 'A', 'b', 'B', '0', '\xe6', '\xc6', '\x8a', '\x9a', '\xff', '\x9f', '\r', '\n'};
    for (int i = 0; i < 3000; ++i) {
        std::string text, what;
        int n = static_cast<int>(rng() % 90), m = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < n; ++k) text.push_back(alphabet[rng() % sizeof alphabet]);
        for (int k = 0; k < m; ++k) what.push_back(alphabet[rng() % sizeof alphabet]);
        int64_t start = static_cast<int64_t>(rng() % 92);
        ASSERT_EQ(FindText(text, what, start), NaiveFind(text, what, start)) << text << " / " << what;
    }
}

TEST(FindDialog, MatchesAtTheVeryStartAndOneAfterTheOther) {
    std::string text = "AAA X";
    FindState st;
    StartSearch(st);
    FindOutcome f = FindDialogFind(text, "aa", st);
    ASSERT_TRUE(f.found);  // a match at the first position counts like any other
    EXPECT_EQ(f.position, 0);
    EXPECT_EQ(st.searchPos, 1);
    EXPECT_EQ(st.selStart, 0);
    EXPECT_EQ(st.selLength, 2);
    f = FindDialogFind(text, "aa", st);  // overlapping: the next one starts at 1
    ASSERT_TRUE(f.found);
    EXPECT_EQ(f.position, 1);

    // After the last match the message, and a further press shows it again.
    f = FindDialogFind(text, "aa", st);
    EXPECT_FALSE(f.found);
    EXPECT_EQ(f.message, std::string(kNotFoundText) + "aa");
    EXPECT_EQ(st.searchPos, 2);
    EXPECT_FALSE(FindDialogFind(text, "aa", st).found);
    EXPECT_EQ(std::string(kFindCaption), "Søk etter tekst");
}

TEST(ReplaceDialog, FailedFindStartsAgainAtTheTop) {
    std::string text = "X1 X2";
    FindState st;
    st.selStart = 3;
    StartSearch(st);
    EXPECT_EQ(ReplaceDialogFind(text, "x", st).position, 3);
    FindOutcome f = ReplaceDialogFind(text, "x", st);
    EXPECT_FALSE(f.found);
    EXPECT_EQ(f.message, "Finner ikke: x");
    EXPECT_EQ(st.searchPos, 0);
    EXPECT_EQ(ReplaceDialogFind(text, "x", st).position, 0);
}

TEST(ReplaceDialog, SelectionOfTheRightLengthIsReplacedWhateverItHolds) {
    std::string text = "N10 G1 X5";
    FindState st;
    st.selStart = 4;
    st.selLength = 2;  // "G1", not what is searched for
    StartSearch(st);
    ReplaceOutcome r = ReplaceDialogReplace(text, "X5", "Y7", st, false);
    EXPECT_EQ(text, "N10 Y7 X5");
    EXPECT_EQ(r.replaced, 1);
    EXPECT_EQ(r.lastReplacedAt, 4);
    // The next press searches and replaces the real match.
    r = ReplaceDialogReplace(text, "X5", "Y7", st, false);
    EXPECT_EQ(text, "N10 Y7 Y7");
    EXPECT_FALSE(r.notFound);
    r = ReplaceDialogReplace(text, "X5", "Y7", st, false);
    EXPECT_TRUE(r.notFound);
    EXPECT_EQ(r.message, "Finner ikke: X5");
    EXPECT_EQ(text, "N10 Y7 Y7");
}

TEST(ReplaceDialog, ReplaceAllOfX0ByX00) {
    std::string text = "X0 Y1\r\nX0 Y2\r\nG0 x0\r\n";
    FindState st;
    ReplaceOutcome r = ReplaceDialogReplace(text, "X0", "X00", st, true);
    EXPECT_EQ(text, "X00 Y1\r\nX00 Y2\r\nG0 X00\r\n");
    EXPECT_EQ(r.replaced, 3);
    EXPECT_TRUE(r.notFound);
    EXPECT_EQ(r.message, "Finner ikke: X0");
    EXPECT_EQ(st.searchPos, 0);
}

TEST(ReplaceDialog, ReplaceAllEndsWhenTheReplacementHoldsTheSearchText) {
    std::string text = "A B A";
    FindState st;
    ReplaceOutcome r = ReplaceDialogReplace(text, "A", "AA", st, true);
    EXPECT_EQ(text, "AA B AA");
    EXPECT_EQ(r.replaced, 2);
    EXPECT_TRUE(r.notFound);

    text = "x1x";
    st = FindState();
    r = ReplaceDialogReplace(text, "x", "[x]x", st, true);
    EXPECT_EQ(text, "[x]x1[x]x");
    EXPECT_EQ(r.replaced, 2);
}

TEST(ReplaceDialog, RemovingTextPassesNothingOver) {
    std::string text = "AAAAB";
    FindState st;
    ReplaceOutcome r = ReplaceDialogReplace(text, "AA", "", st, true);
    EXPECT_EQ(text, "B");
    EXPECT_EQ(r.replaced, 2);
}

TEST(ReplaceDialog, ReplaceAllGivesTheResultsOfTheDialogLoopWheneverThatEnds) {
    std::mt19937 rng(5);
    const char alphabet[] = {'a', 'A', 'b', 'x'};
    auto word = [&](int min, int max) {
        std::string s;
        int n = min + static_cast<int>(rng() % static_cast<unsigned>(max - min + 1));
        for (int k = 0; k < n; ++k) s.push_back(alphabet[rng() % sizeof alphabet]);
        return s;
    };
    int compared = 0, endless = 0;
    for (int i = 0; i < 4000; ++i) {
        std::string text = word(0, 24), what = word(1, 3), with = word(0, 4);
        FindState st;
        st.selStart = static_cast<int64_t>(rng() % (text.size() + 1));
        st.selLength = (rng() % 4 == 0 && st.selStart + static_cast<int64_t>(what.size()) <= static_cast<int64_t>(text.size()))
                           ? static_cast<int64_t>(what.size())
                           : 0;
        st.searchPos = static_cast<int64_t>(rng() % (text.size() + 1));
        Reference ref = NaiveReplaceAll(text, what, with, st);
        std::string mine = text;
        ReplaceOutcome r = ReplaceDialogReplace(mine, what, with, st, true);
        if (ref.ended) {
            ++compared;
            ASSERT_EQ(mine, ref.text) << "text " << text << " what " << what << " with " << with;
            ASSERT_EQ(r.replaced, ref.replaced) << text << " " << what << " " << with;
            EXPECT_EQ(st.searchPos, 0);
        } else {
            ++endless;
            EXPECT_TRUE(r.notFound);
        }
    }
    EXPECT_GT(compared, 1000);
    EXPECT_GT(endless, 10);
}

TEST(FindDialog, ScrollPutsTheMatchTenLinesBelowTheTop) {
    std::string text;
    for (int i = 0; i < 50; ++i) text += "N" + std::to_string(i) + "\r\n";
    int64_t p = FindText(text, "N40\r", 0);
    EXPECT_EQ(LineOfPosition(text, p), 40);
    EXPECT_EQ(ScrollForMatch(40, 0), 30);
    EXPECT_EQ(ScrollForMatch(3, 0), -7);
}
