#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ScriptedPrompter.h"

TEST(Prompter, Windows1252RoundTripsThroughQString) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    QString q = FromCp1252(all);
    EXPECT_EQ(q.size(), 255);
    EXPECT_EQ(ToCp1252(q), all);
    EXPECT_EQ(FromCp1252("Åpne"), QString::fromUtf8("\xc3\x85pne"));
    EXPECT_EQ(FromCp1252("\x80\x8a\x9f"), QString::fromUtf8("\xe2\x82\xac\xc5\xa0\xc5\xb8"));
    EXPECT_EQ(Q("Søk"), QStringLiteral("Søk"));
    // A character outside the code page becomes "?".
    EXPECT_EQ(ToCp1252(QStringLiteral("a\u4e2db")), "a?b");
}

TEST(Prompter, ScriptedAnswersAndRecord) {
    ScriptedPrompter p;
    p.answers = {Answer::Yes};
    EXPECT_EQ(GetPrompter().Question("Fil", "Lagre ?", Buttons::YesNoCancel, Answer::Yes),
              Answer::Yes);
    // An empty queue cancels a three-way question and says no to a two-way one.
    EXPECT_EQ(GetPrompter().Question("Fil", "Lagre ?", Buttons::YesNoCancel, Answer::Yes),
              Answer::Cancel);
    EXPECT_EQ(GetPrompter().Question("Fil", "Sende ?", Buttons::YesNo, Answer::No), Answer::No);
    GetPrompter().Message("Søk etter tekst", "Finner ikke: X");
    std::string chosen;
    p.files = {"C:\\A.NC"};
    FileDialogRequest r;
    r.filter = "CNC-programmer (*.NC)|*.NC|";
    EXPECT_TRUE(GetPrompter().OpenFile(r, chosen));
    EXPECT_EQ(chosen, "C:\\A.NC");
    EXPECT_FALSE(GetPrompter().OpenFile(r, chosen));
    ASSERT_EQ(p.shown.size(), 6u);
    EXPECT_EQ(p.shown[0].defaultAnswer, Answer::Yes);
    EXPECT_EQ(p.Texts("message"), std::vector<std::string>{"Finner ikke: X"});
    EXPECT_EQ(p.shown[3].caption, "Søk etter tekst");
}

TEST(Prompter, CoreMessagesReachThePrompter) {
    ScriptedPrompter p;
    InstallPrompterMessageSink();
    ShowMessageBox("Advarsel", "tekst");
    SetMessageSink(nullptr);
    ASSERT_EQ(p.shown.size(), 1u);
    EXPECT_EQ(p.shown[0].caption, "Advarsel");
}

TEST(Prompter, SystemFiltersBecomeQtFilters) {
    QString selected;
    QString f = QtFilterFromSystem("CNC-programmer (*.NC)|*.NC|Alle filer (*.*)|*.*|", 2, &selected);
    EXPECT_EQ(f, QString("CNC-programmer (*.NC);;Alle filer (*.*)"));
    EXPECT_EQ(selected, QString("Alle filer (*.*)"));
}
