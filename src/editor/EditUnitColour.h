#pragma once
// Syntax colouring bound to one text control: the colour classes of the NC text
// applied as style numbers, the whole text in slices that leave the window usable, the
// caret's line after each change of the text, the switch with its size questions, and the
// coloured log files.
//
// The pattern for every feature that follows the text of the control (the toolpath view
// does the same): an object made over the control and what it borrows from its window (the
// Loading flag, the hourglass). It connects itself to the control's signals, keeps quiet
// while the window rewrites the text (Loading set), and the window's commands call it when
// they have rewritten the text.
#include <QObject>

#include <functional>

class QAction;
class TextControl;
struct ColouredLog;
struct ColourDecision;

class Colouring : public QObject {
public:
    // What the colouring borrows from its window.
    struct Window {
        bool& loading;                           // the Loading flag of the document state
        std::function<void(bool on)> hourglass;  // the window's wait cursor
    };
    // onOff: the menu item whose check mark is the switch.
    Colouring(TextControl& text, QAction& onOff, Window window);

    bool On() const;
    void SetOn(bool on);  // the check mark only; nothing is recoloured
    // The whole text back to black and normal and, when colouring is on, coloured line by
    // line in slices; the commands that rewrite the text end with it.
    void RecolourAll();
    // After a load: the size question when colouring is on, then RecolourAll.
    void CheckSizeAndRecolour();
    // The menu item chosen (its check mark has toggled already): the switch is stored, the
    // size question asked, then RecolourAll.
    void SwitchChosen();
    // Colours lines [first, end) when colouring is on (after the program inserted them).
    void ColourLineRange(int first, int end);
    // A coloured log file as the whole text, inside the caller's Loading bracket.
    void ShowLog(const ColouredLog& log);

    // The seam where the style numbers reach the control: position start + i gets
    // styles[i]; false when the control could not take them (out of memory).
    using StyleWriter = std::function<bool(int start, const unsigned char* styles, int length)>;
    void SetStyleWriter(StyleWriter writer) { write_ = std::move(writer); }

private:
    void Decide(const ColourDecision& decision);
    void TextChanged();
    void RecolourCaretLine();

    TextControl& text_;
    QAction& onOff_;
    Window window_;
    StyleWriter write_;
    bool recolouring_ = false;    // RecolourAll is running (its pauses let events in)
    bool recolourAgain_ = false;  // a RecolourAll asked for during those pauses
    bool caretLinePending_ = false;
};
