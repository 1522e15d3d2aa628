// The text tools' view of the real text control: lines read straight from its buffer, and
// the replaced ones written back in one change, line by line or by rebuilding the text.
#include <gtest/gtest.h>

#include "widgets/ControlLines.h"
#include "widgets/TextControl.h"
#include "nctools/CompressAir.h"

namespace {
// Lines "N<i> G01 X<i>" of a count; every third one already compressed.
std::string Program(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += (i % 3 == 0 ? "N" + std::to_string(i) + "G01X" : "N" + std::to_string(i) + " G01 X") +
                std::to_string(i) + "\r\n";
    return text;
}

std::vector<std::string> LinesOf(const TextControl& t) {
    std::vector<std::string> lines;
    for (int i = 0; i < t.LineCount(); ++i) lines.push_back(t.Line(i));
    return lines;
}
}  // namespace

TEST(ControlLines, FewAndManyReplacementsGiveTheSameText) {
    for (int count : {12, 9000}) {  // a few changed lines, then thousands of them
        TextControl t;
        t.resize(400, 300);
        t.show();
        t.SetText(Program(count));
        std::vector<std::string> expected = LinesOf(t);
        CompressLines(expected);
        t.SetModified(false);
        t.SetSelection(7, 3);
        t.ScrollLines(count / 2);
        const int firstVisible = t.FirstVisibleLine();
        if (count > 100) EXPECT_GT(firstVisible, 1000);
        ControlLines lines(t);
        size_t changed = CompressLines(lines);
        EXPECT_EQ(t.Line(1), "N1 G01 X1");  // nothing written before Finish
        EXPECT_EQ(lines.Finish(), changed);
        EXPECT_EQ(changed, static_cast<size_t>(count - (count + 2) / 3));
        EXPECT_EQ(LinesOf(t), expected) << count;
        EXPECT_TRUE(t.Modified());
        EXPECT_FALSE(t.CanUndo());  // the program's change is not offered to undo
        EXPECT_EQ(t.SelStart(), 7);
        EXPECT_EQ(t.SelLength(), 3);
        EXPECT_EQ(t.FirstVisibleLine(), firstVisible);  // the view has not moved
        EXPECT_EQ(t.Text().substr(t.Text().size() - 2), "\r\n");
    }
}

TEST(ControlLines, LinesAreVisitedFromAnyStartAndBreaksTypedAloneCount) {
    TextControl t;
    t.SetText(Program(6000));
    // A lone CR typed into line 2 splits it, as the control counts lines.
    t.SetSelection(t.LineIndex(2) + 2, 0);
    t.TypeCharacter('\r');
    ASSERT_EQ(t.LineCount(), 6001);
    EXPECT_EQ(t.Line(2), "N2");
    EXPECT_EQ(t.Line(3), " G01 X2");
    // Every second line (written in place), then every line (the text rebuilt).
    for (int every : {2, 1}) {
        std::vector<std::string> expected = LinesOf(t);
        ControlLines lines(t);
        EXPECT_EQ(lines.Count(), 6001u);
        EXPECT_EQ(lines.Line(4000), t.Line(4000));  // a jump ahead
        EXPECT_EQ(lines.Line(3), expected[3]);      // and back
        for (size_t i = 0; i < lines.Count(); ++i) {
            std::string l(lines.Line(i));
            ASSERT_EQ(l, expected[i]) << i;
            if (i % every == 0) {
                expected[i] = "L" + l;
                lines.Replace(i, expected[i]);
            }
        }
        lines.Finish();
        EXPECT_EQ(LinesOf(t), expected) << every;
        EXPECT_EQ(t.LineCount(), 6001);
    }
    // A replacement that holds a break of its own still comes out as whole lines.
    ControlLines one(t);
    one.Replace(1, "A\nB");
    one.Finish();
    EXPECT_EQ(t.Line(1), "A");
    EXPECT_EQ(t.Line(2), "B");
    EXPECT_EQ(t.LineCount(), 6002);
}
