// The text control on the real QScintilla widget: positions, bytes, find, attributes, the
// update bracket, keys, undo and the clipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QRawFont>
#include <QFontMetricsF>

#include "TestSupport.h"
#include "widgets/Prompter.h"
#include "widgets/TextControl.h"
#include "widgets/DisplayFont.h"

namespace {
std::string AllBytesExceptBreaks() {
    std::string s;
    for (int c = 1; c < 256; ++c)
        if (c != '\r' && c != '\n') s.push_back(static_cast<char>(c));
    return s;
}

void Key(TextControl& t, int key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(&t, &press);
}
}  // namespace

TEST(TextControl, PositionsCountEveryLineBreakAsTwo) {
    TextControl t;
    t.SetText("ab\ncd\r\nef\rgh");
    EXPECT_EQ(t.Text(), "ab\r\ncd\r\nef\r\ngh");
    EXPECT_EQ(t.TextLength(), 14);
    EXPECT_EQ(t.LineCount(), 4);
    EXPECT_EQ(t.LineIndex(0), 0);
    EXPECT_EQ(t.LineIndex(1), 4);
    EXPECT_EQ(t.LineIndex(3), 12);
    EXPECT_EQ(t.LineIndex(4), -1);
    EXPECT_EQ(t.LineFromChar(1), 0);
    EXPECT_EQ(t.LineFromChar(4), 1);
    EXPECT_EQ(t.LineFromChar(13), 3);
    t.SetSelection(4, 6);
    EXPECT_EQ(t.SelText(), "cd\r\nef");
    EXPECT_EQ(t.SelStart(), 4);
    EXPECT_EQ(t.SelLength(), 6);
    EXPECT_EQ(t.LineFromChar(-1), 1);  // the line of the selection start
    EXPECT_EQ(t.FindText("GH", 0), 12);
}

TEST(TextControl, LineListKeepsLinesAndBreaks) {
    TextControl t;
    EXPECT_EQ(t.LineCount(), 0);
    t.AddLine("N10");
    t.AddLine("N20");
    EXPECT_EQ(t.Text(), "N10\r\nN20\r\n");
    EXPECT_EQ(t.LineCount(), 2);
    t.InsertLine(0, "%");
    t.InsertLine(2, "N15");
    t.InsertLine(99, "M30");
    EXPECT_EQ(t.AllLines(), (std::vector<std::string>{"%", "N10", "N15", "N20", "M30"}));
    t.SetLine(1, "N11 X5");
    t.DeleteLine(2);
    t.DeleteLine(3);  // the last line
    t.DeleteLine(3);  // no such line
    EXPECT_EQ(t.Text(), "%\r\nN11 X5\r\nN20\r\n");
    EXPECT_EQ(t.Line(1), "N11 X5");
    EXPECT_EQ(t.Line(7), "");

    // A text without a final break: added lines start on a line of their own.
    t.SetText("A\r\nB");
    t.AddLine("C");
    EXPECT_EQ(t.Text(), "A\r\nB\r\nC\r\n");
    t.SetAllLines({"X", "", "Y"});
    EXPECT_EQ(t.Text(), "X\r\n\r\nY\r\n");
    EXPECT_EQ(t.LineCount(), 3);
    EXPECT_EQ(t.Line(1), "");
    t.Clear();
    EXPECT_EQ(t.LineCount(), 0);
    EXPECT_EQ(t.TextLength(), 0);
}

TEST(TextControl, LinesAddedInTheUpdateBracketAreSeenAtOnce) {
    TextControl t;
    t.SetText("A");
    t.SetModified(false);
    t.BeginUpdate();
    t.AddLine("B");
    t.AddLine("C\nD");  // a break inside becomes a line break
    EXPECT_EQ(t.LineCount(), 4);
    EXPECT_EQ(t.Line(2), "C");
    t.InsertLine(1, "X");
    t.AddLine("E");
    EXPECT_EQ(t.FindText("e", 0), 15);
    t.AddLine("F");
    t.EndUpdate();
    EXPECT_EQ(t.Text(), "A\r\nX\r\nB\r\nC\r\nD\r\nE\r\nF\r\n");
    EXPECT_TRUE(t.Modified());
    EXPECT_FALSE(t.CanUndo());
}

TEST(TextControl, EveryByteRoundTripsUnchanged) {
    TextControl t;
    const std::string bytes = AllBytesExceptBreaks();
    t.SetText(bytes + "\r\n" + bytes);
    EXPECT_EQ(t.Text(), bytes + "\r\n" + bytes);
    EXPECT_EQ(t.Line(0), bytes);
    EXPECT_EQ(t.TextLength(), static_cast<int>(2 * bytes.size() + 2));
    t.SetLine(1, "\x80\x8A\x9F\xE6\xF8\xE5");
    EXPECT_EQ(t.Line(1), "\x80\x8A\x9F\xE6\xF8\xE5");

    // Through the clipboard and back: the holes of the code page too.
    t.SetText(bytes);
    t.SetSelection(0, t.TextLength());
    t.CopyToClipboard();
    EXPECT_TRUE(TextControl::ClipboardHasText());
    t.Clear();
    t.PasteFromClipboard();
    EXPECT_EQ(t.Text(), bytes);
    EXPECT_TRUE(QApplication::clipboard()->text().contains(QChar(0x20AC)));  // "€"
}

TEST(TextControl, FindIgnoresCaseForEveryWindows1252Letter) {
    TextControl t;
    std::string upper, lower;
    for (int c = 'A'; c <= 'Z'; ++c) upper.push_back(static_cast<char>(c));
    for (int c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7) upper.push_back(static_cast<char>(c));
    upper += "\x8A\x8C\x8E\x9F";  // Š Œ Ž Ÿ
    for (char c : upper) {
        unsigned char u = static_cast<unsigned char>(c);
        unsigned char l = u == 0x8A ? 0x9A : u == 0x8C ? 0x9C : u == 0x8E ? 0x9E : u == 0x9F ? 0xFF
                                                                                : u + 32;
        lower.push_back(static_cast<char>(l));
    }
    t.SetText("#\r\n" + upper);
    for (size_t i = 0; i < lower.size(); ++i)
        EXPECT_EQ(t.FindText(lower.substr(i, 1), 0), static_cast<int>(3 + i)) << "letter " << i;
    t.SetText("g1 G1 \xD8 \xF8");
    EXPECT_EQ(t.FindText("G1", 0), 0);
    EXPECT_EQ(t.FindText("g1", 1), 3);
    EXPECT_EQ(t.FindText("\xF8", 0), 6);  // ø finds Ø
    EXPECT_EQ(t.FindText("\xD8", 7), 8);  // Ø finds ø
    EXPECT_EQ(t.FindText("G1", 4), -1);
    EXPECT_EQ(t.FindText("G1", 0, 4), 0);
    EXPECT_EQ(t.FindText("G1 G", 1, 3), -1);  // the range ends before the match does
    EXPECT_EQ(t.FindText("", 0), -1);
    // × and ÷ are no case pair, nor are [ and {.
    t.SetText("\xD7[");
    EXPECT_EQ(t.FindText("\xF7", 0), -1);
    EXPECT_EQ(t.FindText("{", 0), -1);
}

TEST(TextControl, AttributeChangesLeaveTheModifiedFlag) {
    TextControl t;
    t.SetText("N10 G01 X5\r\nN20\r\n");
    EXPECT_TRUE(t.Modified());  // the program's change counts as a change
    t.SetModified(false);
    TextStyle red{0xFF0000, true, false, 0};
    t.SetStyle(4, 3, red);
    t.SetSelection(0, 3);
    t.SetSelAttributes(TextStyle{0x008000, false, true, 12});
    EXPECT_FALSE(t.Modified());
    EXPECT_EQ(t.StyleAt(5), red);
    EXPECT_TRUE(t.StyleAt(1).italic);
    EXPECT_EQ(t.StyleAt(1).size, 12);
    EXPECT_EQ(t.StyleAt(8), TextStyle{});
    EXPECT_EQ(t.StyleFor(red), t.StyleFor(red));  // one style per set of attributes
    t.ResetStyles();
    EXPECT_EQ(t.StyleAt(5), TextStyle{});
    EXPECT_FALSE(t.Modified());

    t.SetSelStart(3);
    t.TypeCharacter('1');
    EXPECT_TRUE(t.Modified());
    EXPECT_EQ(t.Line(0), "N101 G01 X5");
    t.SetModified(false);
    t.SetFontSize(14);
    EXPECT_FALSE(t.Modified());
}

TEST(TextControl, UpdateBracketSilencesChangeAndSelectionEvents) {
    TextControl t;
    QSignalSpy changed(&t, &TextControl::TextChanged);
    QSignalSpy selection(&t, &TextControl::SelectionChanged);
    QSignalSpy rewritten(&t, &TextControl::TextRewritten);
    t.BeginUpdate();
    t.EndUpdate();  // nothing changed: nothing said
    EXPECT_EQ(rewritten.count(), 0);
    t.BeginUpdate();
    t.BeginUpdate();
    t.AddLine("A");
    t.SetText("B\r\nC");
    t.SetLine(0, "D");
    t.EndUpdate();
    t.SetSelection(0, 1);
    t.TypeCharacter('x');
    QApplication::processEvents();
    t.EndUpdate();
    QApplication::processEvents();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(selection.count(), 0);
    EXPECT_EQ(t.Text(), "x\r\nC");
    EXPECT_TRUE(t.Modified());
    // Only that the text was rewritten, once, when the outer bracket ends.
    EXPECT_EQ(rewritten.count(), 1);
    t.BeginUpdate();
    t.AddLine("F");  // a line held back in the bracket counts too
    t.EndUpdate();
    EXPECT_EQ(rewritten.count(), 2);
    t.DeleteLine(2);
    EXPECT_EQ(changed.count(), 1);

    t.AddLine("E");
    EXPECT_EQ(changed.count(), 2);
    t.SetSelStart(1);
    t.TypeCharacter('y');
    QApplication::processEvents();
    EXPECT_EQ(changed.count(), 3);
    EXPECT_GE(selection.count(), 1);
    EXPECT_EQ(rewritten.count(), 2);  // changes outside the bracket are changes only
}

TEST(TextControl, KeyPressMayReplaceOrDropTheTypedCharacter) {
    TextControl t;
    t.onKeyPress = [](char& key) {
        if (key == 'a') key = 'B';
        if (key == 'x') key = 0;
    };
    t.setFocus();
    QTest::keyClicks(&t, QStringLiteral("axc"));
    EXPECT_EQ(t.Text(), "Bc");
    // Characters beyond Latin-1 arrive as their Windows-1252 bytes.
    Key(t, 0, QString(QChar(0x20AC)));
    Key(t, 0, QString(QChar(0x0160)));
    Key(t, Qt::Key_Ooblique, QString(QChar(0xF8)));
    EXPECT_EQ(t.Text(), "Bc\x80\x8A\xF8");
    // Enter makes a CR LF break; the tab key is text.
    Key(t, Qt::Key_Return, QStringLiteral("\r"));
    QTest::keyClick(&t, Qt::Key_Tab);
    EXPECT_EQ(t.Text(), "Bc\x80\x8A\xF8\r\n\t");
    EXPECT_TRUE(t.hasFocus() || !t.isVisible());
}

TEST(TextControl, UndoTakesBackTheLastEditOnly) {
    TextControl t;
    t.SetText("N10\r\nN20");
    EXPECT_FALSE(t.CanUndo());  // the program's text is not the user's edit
    t.SetSelStart(3);
    t.TypeCharacter('0');
    t.TypeCharacter('0');
    t.SetSelStart(0);
    t.TypeCharacter('%');
    t.TypeCharacter('%');
    EXPECT_EQ(t.Text(), "%%N1000\r\nN20");
    ASSERT_TRUE(t.CanUndo());
    t.Undo();  // the whole run of typing at the start
    EXPECT_EQ(t.Text(), "N1000\r\nN20");
    t.Undo();  // undoes the undo
    EXPECT_EQ(t.Text(), "%%N1000\r\nN20");
    t.Undo();
    EXPECT_EQ(t.Text(), "N1000\r\nN20");
    t.AddLine("M30");
    EXPECT_FALSE(t.CanUndo());
}

TEST(TextControl, CutCopyPasteAndClear) {
    TextControl t;
    t.SetText("G01 X5");
    QApplication::clipboard()->setText(QStringLiteral("keep"));
    t.SetSelection(0, 4);
    t.ClearSelection();  // the clipboard stays
    EXPECT_EQ(t.Text(), "X5");
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("keep"));
    t.SetSelection(0, 1);
    t.CutToClipboard();
    EXPECT_EQ(t.Text(), "5");
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("X"));
    QApplication::clipboard()->setText(QStringLiteral(u"a\nb\u00e6"));
    t.SetSelStart(1);
    t.PasteFromClipboard();
    EXPECT_EQ(t.Text(), "5a\r\nb\xE6");
    EXPECT_EQ(t.SelStart(), 6);
    QApplication::clipboard()->clear();
    EXPECT_FALSE(TextControl::ClipboardHasText());
}

TEST(TextControl, LargeTextLoadsWhole) {
    // Beyond 2 to the power 24 characters: nothing is cut.
    TextControl t;
    std::string line(78, 'X');
    line += "\r\n";
    std::string text;
    text.reserve(17'000'000);
    while (text.size() < 17'000'000) text += line;
    t.SetText(text);
    EXPECT_EQ(t.TextLength(), static_cast<int>(text.size()));
    EXPECT_EQ(t.LineCount(), static_cast<int>(text.size() / 80));
    t.AddLine("M30");
    EXPECT_EQ(t.Line(t.LineCount() - 1), "M30");
}

TEST(TextControl, BytesFrom0x80To0x9FAreDrawnAsWindows1252Letters) {
    // Qt draws the 8-bit text as Latin-1; the display font maps those code points to the
    // glyphs of € Š Œ Ž ‘ ’ ... so they do not come out as empty boxes.
    QString family = DisplayFontFamily("Courier New");
    if (family == QStringLiteral("Courier New")) GTEST_SKIP() << "no Liberation Mono installed";
    QRawFont raw = QRawFont::fromFont(QFont(family, 10));
    ASSERT_TRUE(raw.isValid());
    auto glyph = [&](char16_t c) { return raw.glyphIndexesForString(QString(QChar(c))).value(0); };
    EXPECT_NE(glyph(0x20AC), 0u);
    EXPECT_EQ(glyph(0x80), glyph(0x20AC));  // €
    EXPECT_EQ(glyph(0x8A), glyph(0x0160));  // Š
    EXPECT_EQ(glyph(0x9F), glyph(0x0178));  // Ÿ
    EXPECT_EQ(glyph(0x96), glyph(0x2013));  // –
    EXPECT_EQ(glyph(0xF8), glyph(0x00F8));  // the rest of the font is unchanged
    QFontMetricsF fm(QFont(family, 10));
    EXPECT_DOUBLE_EQ(fm.horizontalAdvance(QChar(0x80)), fm.horizontalAdvance(QChar(u'X')));
    QFont bold(family, 10);
    bold.setBold(true);
    EXPECT_TRUE(QFontMetricsF(bold).inFontUcs4(0x80));

    // The control as drawn, for a look.
    TextControl t;
    std::string c1;
    for (int c = 0x80; c < 0xA0; ++c) c1.push_back(static_cast<char>(c));
    t.SetText("N10 G01 X5 (\xE6\xF8\xE5 \xC6\xD8\xC5)\r\n" + c1 + "\r\n" + c1);
    t.SetStyle(t.LineIndex(2), 32, TextStyle{0xC00000, true, false, 0});
    t.resize(420, 80);
    t.show();
    QApplication::processEvents();
    t.viewport()->grab().save(QString::fromUtf8(SKARV_BUILD_DIR) + "/text-control-1252.png");
}
