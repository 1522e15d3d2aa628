#include <gtest/gtest.h>

#include "TestSupport.h"
#include "settings/Visual.h"

namespace {
std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s.push_back(static_cast<char>(c));
    return s;
}
}  // namespace

TEST(Visual, TokensGiveTheirBytes) {
    MessageRecorder rec;
    EXPECT_EQ(VisualToString("[CR][LF]"), Bytes({13, 10}));
    EXPECT_EQ(VisualToString("%[CR]"), Bytes({37, 13}));
    EXPECT_EQ(VisualToString("[cr]"), Bytes({13}));
    EXPECT_EQ(VisualToString("[Esc]"), Bytes({27}));
    EXPECT_EQ(VisualToString("[13][10]"), Bytes({13, 10}));
    EXPECT_EQ(VisualToString("[$0D]"), Bytes({13}));
    EXPECT_EQ(VisualToString("[0X1B]"), Bytes({27}));
    EXPECT_EQ(VisualToString("[ 13]"), Bytes({13}));
    EXPECT_EQ(VisualToString("[XOFF]"), Bytes({19}));
    EXPECT_EQ(VisualToString("[XON]"), Bytes({17}));
    EXPECT_EQ(VisualToString("[TAB]"), Bytes({9}));
    EXPECT_EQ(VisualToString("[255]"), Bytes({255}));
    EXPECT_EQ(VisualToString("[0]"), std::string(1, '\0'));
    EXPECT_EQ(VisualToString("[91]"), "[");
    EXPECT_EQ(VisualToString("[93]"), "]");
    EXPECT_EQ(VisualToString("a]b"), "a]b");
    EXPECT_TRUE(rec.messages.empty());
}

TEST(Visual, FaultyTokensAreLeftOutAndReportedOnce) {
    struct Case {
        const char* in;
        std::string out;
    } cases[] = {
        {"[256]", ""},          {"[DC3]", ""},    {"[HT]", ""},        {"[DEL]", ""},
        {"AB[", "AB"},          {"[00013]", "00013]"}, {"[[CR]", ""},
        {"x[DC1][CR]", "x\r"},  {"[-1]A", "A"},
    };
    for (const auto& c : cases) {
        MessageRecorder rec;
        bool ok = true;
        EXPECT_EQ(VisualToString(c.in, &ok), c.out) << c.in;
        EXPECT_FALSE(ok) << c.in;
        ASSERT_EQ(rec.messages.size(), 1u) << c.in;
        EXPECT_EQ(rec.messages[0].first, "Feil med visuell string");
        EXPECT_EQ(rec.messages[0].second, c.in);
    }
    // Two faults in one text still give one report.
    MessageRecorder rec;
    EXPECT_EQ(VisualToString("[BAD][WORSE]A"), "WORSE]A");  // [WORSE] is longer than six bytes
    EXPECT_EQ(rec.messages.size(), 1u);
}

TEST(Visual, ShortTextsAreNeverConverted) {
    MessageRecorder rec;
    EXPECT_EQ(VisualToString("["), "[");
    EXPECT_EQ(VisualToString("[]"), "[]");
    EXPECT_EQ(VisualToString("ab"), "ab");
    EXPECT_EQ(VisualToString(""), "");
    EXPECT_EQ(VisualToString("abcdef"), "abcdef");
    EXPECT_TRUE(rec.messages.empty());
}

TEST(Visual, BytesToTextAndBack) {
    EXPECT_EQ(StringToVisual(Bytes({37, 13, 10})), "%[CR][LF]");
    EXPECT_EQ(StringToVisual("!"), "[33]");
    EXPECT_EQ(StringToVisual(Bytes({200})), "[200]");
    EXPECT_EQ(StringToVisual(Bytes({127})), "[127]");
    EXPECT_EQ(StringToVisual("#@[]"), "[35][64][91][93]");
    EXPECT_EQ(CharToVisual(9), "[TAB]");
    EXPECT_EQ(CharToVisual(19), "[XOFF]");
    EXPECT_EQ(CharToVisual('N'), "N");
    // Every byte string converts back to exactly the same bytes.
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    MessageRecorder rec;
    EXPECT_EQ(VisualToString(StringToVisual(all)), all);
    EXPECT_TRUE(rec.messages.empty());
}

TEST(Visual, ParseTokenDirectly) {
    unsigned char b = 0;
    EXPECT_FALSE(ParseVisualToken("[]", b));
    EXPECT_TRUE(ParseVisualToken("[NUL]", b));
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(ParseVisualToken("[US]", b));
    EXPECT_EQ(b, 31);
    EXPECT_TRUE(ParseVisualToken("[X41]", b));
    EXPECT_EQ(b, 0x41);
    EXPECT_FALSE(ParseVisualToken("[cr]", b));  // the caller upper-cases
}
