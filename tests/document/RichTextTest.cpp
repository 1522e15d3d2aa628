#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "TestSupport.h"
#include "document/RichText.h"

TEST(RichText, ReadsTheFeaturesOfTheInformationDocument) {
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Times;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}\r\n"
        "{\\stylesheet{\\s0 Normal;}}{\\info{\\title Reklame}{\\author X}}{\\*\\generator Riched20;}\r\n"
        "\\viewkind4\\uc1\\pard\\qc\\f0\\fs32\\b Skarv\\b0  er \\i kursiv\\i0 ,\\par\r\n"
        "\\pard\\fs20\\cf1 r\\'f8d \\cf2\\ul bl\\'e5\\ulnone\\cf0\\line ny\\tab linje \\u8364?\\u-4064 x\\par\r\n"
        "{\\b\\uc2\\u8212\\'97\\'97 dash} \\{\\}\\\\ \\unknownword12 slutt\\par\r\n}";
    RichDocument doc = ReadRichText(rtf);
    ASSERT_EQ(doc.paragraphs.size(), 3u);
    EXPECT_EQ(doc.paragraphs[0].Text(), "Skarv er kursiv,");
    EXPECT_EQ(doc.paragraphs[0].align, RichAlign::Centre);
    EXPECT_EQ(doc.paragraphs[1].align, RichAlign::Left);
    const auto& r0 = doc.paragraphs[0].runs;
    ASSERT_EQ(r0.size(), 4u);
    EXPECT_EQ(r0[0].text, "Skarv");
    EXPECT_TRUE(r0[0].format.bold);
    EXPECT_EQ(r0[0].format.halfPoints, 32);
    EXPECT_FALSE(r0[1].format.bold);
    EXPECT_EQ(r0[2].text, "kursiv");
    EXPECT_TRUE(r0[2].format.italic);

    // \u-4064 has no letter of the code page; its fall-back "x" is passed over.
    EXPECT_EQ(doc.paragraphs[1].Text(), "r\xf8" "d bl\xe5\nny\tlinje \x80?");
    const auto& r1 = doc.paragraphs[1].runs;
    EXPECT_EQ(r1[0].text, "r\xf8" "d ");
    EXPECT_FALSE(r1[0].format.colour.automatic);
    EXPECT_EQ(r1[0].format.colour.red, 255);
    EXPECT_EQ(r1[0].format.halfPoints, 20);
    EXPECT_EQ(r1[1].text, "bl\xe5");
    EXPECT_TRUE(r1[1].format.underline);
    EXPECT_EQ(r1[1].format.colour.blue, 255);
    EXPECT_EQ(r1[1].format.colour.green, 128);
    EXPECT_TRUE(r1[2].format.colour.automatic);

    // \uc2: the two fall-back characters are passed over; the group's bold ends with it.
    EXPECT_EQ(doc.paragraphs[2].Text(), "\x97 dash {}\\ slutt");
    EXPECT_TRUE(doc.paragraphs[2].runs[0].format.bold);
    EXPECT_FALSE(doc.paragraphs[2].runs.back().format.bold);
    // Nothing of the tables, the styles, the information or the generator is shown.
    EXPECT_EQ(doc.PlainText().find("Arial"), std::string::npos);
    EXPECT_EQ(doc.PlainText().find("Reklame"), std::string::npos);
    EXPECT_EQ(doc.PlainText().find("Riched"), std::string::npos);
    EXPECT_EQ(doc.PlainText().find("Normal"), std::string::npos);
}

TEST(RichText, BrokenInputShowsWhatItCan) {
    EXPECT_EQ(ReadRichText("{\\rtf1 {\\b fet} tekst \\'e").PlainText(), "fet tekst ");
    EXPECT_EQ(ReadRichText("{\\rtf1 a}}}} b\\par c").PlainText(), "a b\nc");
    EXPECT_EQ(ReadRichText("{\\rtf1 a\\'zz b\\").PlainText(), "azz b");
    EXPECT_EQ(ReadRichText("{\\rtf1 \\u").PlainText(), "");
    EXPECT_EQ(ReadRichText("{\\rtf1 x\\bin99999999 hidden").PlainText(), "x");
    EXPECT_EQ(ReadRichText("").PlainText(), "");
    EXPECT_EQ(ReadRichText("{\\rtf1 a\\'00\\'01b}").PlainText(), "ab");
    // Not rich text at all: the lines as they are.
    EXPECT_EQ(ReadRichText("Linje 1\r\nLinje 2\n").PlainText(), "Linje 1\nLinje 2");
    // Deep nesting neither overflows the stack nor loses the text.
    std::string deep = "{\\rtf1 " + std::string(100000, '{') + "dyp" + std::string(100000, '}') + " ute}";
    EXPECT_EQ(ReadRichText(deep).PlainText(), "dyp ute");
}

TEST(RichText, RandomBytesNeverCrash) {
    std::mt19937 rng(9);
    const char pieces[][12] = {"{", "}", "\\", "\\'", "\\u", "\\par", "\\b", "\\*", "\\uc3", "a", "9", "-", " ", "\\bin5", "\\colortbl", ";"};
    for (int i = 0; i < 2000; ++i) {
        std::string s = "{\\rtf1";
        int n = static_cast<int>(rng() % 60);
        for (int k = 0; k < n; ++k) {
            if (rng() % 3 == 0) s.push_back(static_cast<char>(rng()));
            else s += pieces[rng() % 16];
        }
        RichDocument d = ReadRichText(s);
        EXPECT_FALSE(d.paragraphs.empty());
    }
}

TEST(RichText, UnicodeToTheCodePage) {
    EXPECT_EQ(UnicodeTo1252(0xF8), '\xf8');
    EXPECT_EQ(UnicodeTo1252(0x20AC), '\x80');
    EXPECT_EQ(UnicodeTo1252(0x2014), '\x97');
    EXPECT_EQ(UnicodeTo1252(0x4E2D), '?');
    EXPECT_EQ(UnicodeTo1252(0x81), '?');
}

TEST(RichText, TheShopsInformationDocument) {
    std::string bytes = ReadFileBytes(std::string(SKARV_SOURCE_DIR) + "/examples/shop/Skarv.rtf");
    ASSERT_FALSE(bytes.empty());
    RichDocument doc = ReadRichText(bytes);
    ASSERT_GE(doc.paragraphs.size(), 5u);
    const RichRun& title = doc.paragraphs[0].runs.at(0);
    EXPECT_EQ(title.text, "Skarv-Vako DNC");
    EXPECT_TRUE(title.format.bold);
    EXPECT_EQ(title.format.halfPoints, 36);
    EXPECT_EQ(title.format.colour, (RichColour{0, 0, 160, false}));
    EXPECT_NE(doc.PlainText().find("Verkstedgata 7"), std::string::npos);
    EXPECT_EQ(doc.PlainText().find("Arial"), std::string::npos);
    EXPECT_EQ(doc.PlainText().find("\\"), std::string::npos);
}
