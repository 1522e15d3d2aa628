#include <gtest/gtest.h>

#include "TestSupport.h"
#include "nctools/CompressAir.h"
#include "nctools/LineList.h"
#include "nctools/Renum.h"

using Lines = std::vector<std::string>;

TEST(SplitLines, KeepsBlankLinesAndEveryLineEnd) {
    EXPECT_EQ(SplitLines("A\r\n\r\nB\nC\rD"), (Lines{"A", "", "B", "C", "D"}));
    EXPECT_EQ(SplitLines("A\r\nB\r\n"), (Lines{"A", "B"}));
    EXPECT_EQ(SplitLines("A\n\n"), (Lines{"A", ""}));
    EXPECT_EQ(SplitLines("\r\n"), (Lines{""}));
    EXPECT_EQ(SplitLines("A\n\r"), (Lines{"A", ""}));  // LF, then a lone CR
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(JoinLinesCrLf({"A", "", "B"}), "A\r\n\r\nB\r\n");
}

TEST(StreamedLines, GivesWhatTheListGives) {
    // Every tool over the streamed bytes writes the same text as over the split list.
    std::vector<std::string> texts = {"", "N1\n\nG1 X1 Y2\r(A B)\r\nN7 X5", "\n\n\n",
                                      "N5 G0\r\nN5 G1\r\n"};
    std::string sample = ReadFileBytes(SharedDir() + "/nc-samples/qpocket.ngc");
    if (!sample.empty()) texts.push_back(sample);
    BlockModel model;
    model.blockChars.set('N');
    RenumRequest marked;
    marked.onlyMarked = true;
    marked.first = 1;
    marked.last = 2;
    for (const std::string& text : texts) {
        for (int tool = 0; tool < 4; ++tool) {
            Lines list = SplitLines(text);
            StreamedLines streamed(text);
            EXPECT_EQ(streamed.Count(), list.size());
            switch (tool) {
            case 0:
                RenumberText(list, model, RenumRequest());
                RenumberText(streamed, model, RenumRequest());
                break;
            case 1:
                RenumberText(list, model, marked);
                RenumberText(streamed, model, marked);
                break;
            case 2:
                CompressLines(list);
                CompressLines(streamed);
                break;
            default:
                AirLines(list, '\t');
                AirLines(streamed, '\t');
                break;
            }
            EXPECT_EQ(streamed.Finish(), JoinLinesCrLf(list)) << "tool " << tool;
        }
    }
}

TEST(StreamedLines, RefusesOutOfOrderUse) {
    StreamedLines s("A\nB\nC\n");
    EXPECT_EQ(s.Line(1), "B");
    EXPECT_EQ(s.Line(1), "B");
    EXPECT_THROW(s.Line(0), std::logic_error);
    EXPECT_THROW(s.Replace(0, "X"), std::logic_error);
    s.Replace(1, "b");
    EXPECT_THROW(s.Replace(1, "bb"), std::logic_error);
    EXPECT_THROW(s.Line(3), std::out_of_range);
    EXPECT_EQ(s.Finish(), "A\r\nb\r\nC\r\n");
}
