#include "editor/EditUnitColour.h"

#include <QAction>
#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <chrono>
#include <vector>

#include "nctools/Colour.h"
#include "settings/MessageSink.h"
#include "widgets/Prompter.h"
#include "widgets/TextControl.h"

namespace {
// While the whole text is coloured, pending events (repaint, scrolling, typing) run at least
// this often; between those pauses the slices follow each other at once.
constexpr auto kPauseInterval = std::chrono::milliseconds(20);

// The style number of each colour class in this control.
struct ClassStyles {
    unsigned char number[kColourClassCount] = {};
    bool identity = true;  // the program's classes are their own style numbers
    bool ok = true;        // false when the control had no style left for a class
};

ClassStyles StylesOf(TextControl& control) {
    ClassStyles s;
    for (int c = 0; c < kColourClassCount; ++c) {
        const ColourStyle& cs = StyleOfClass(static_cast<ColourClass>(c));
        TextStyle style;
        style.rgb = (uint32_t{cs.red} << 16) | (uint32_t{cs.green} << 8) | uint32_t{cs.blue};
        style.bold = cs.bold;
        style.italic = cs.italic;
        int n = control.StyleFor(style);
        if (n == 0 && !(style == TextStyle{})) s.ok = false;
        s.number[c] = static_cast<unsigned char>(n);
        if (c <= static_cast<int>(ColourClass::Address) && n != c) s.identity = false;
    }
    return s;
}

// Colour classes to style numbers, in place.
void ToStyleNumbers(unsigned char* p, size_t n, const ClassStyles& s, bool programOnly) {
    if (programOnly && s.identity) return;
    for (size_t i = 0; i < n; ++i) p[i] = s.number[p[i] < kColourClassCount ? p[i] : 0];
}

// Lines [first, end) of the control by the classes of the NC text, in one styling call.
// False when the control could not take the styles.
bool ColourLineSpan(TextControl& control, const Colouring::StyleWriter& write, int first, int end,
                    const ClassStyles& styles, std::vector<unsigned char>& buffer) {
    const int lines = control.LineCount();
    first = std::max(first, 0);
    end = std::min(end, lines);
    if (first >= end) return true;
    const int from = control.LineIndex(first);
    const int to = end < lines ? control.LineIndex(end) : control.TextLength();
    if (from < 0 || to <= from) return true;
    std::string_view text = control.TextView(from, to - from);
    buffer.resize(text.size());
    ColourTextStyles(text, buffer.data());
    ToStyleNumbers(buffer.data(), buffer.size(), styles, true);
    return write(from, buffer.data(), static_cast<int>(buffer.size()));
}

bool ColourCaretLine(TextControl& control, const Colouring::StyleWriter& write,
                     const ClassStyles& styles, std::vector<unsigned char>& buffer) {
    int line = control.LineFromChar(control.SelStart());
    return ColourLineSpan(control, write, line, line + 1, styles, buffer);
}
}  // namespace

Colouring::Colouring(TextControl& text, QAction& onOff, Window window)
    : QObject(&text), text_(text), onOff_(onOff), window_(std::move(window)) {
    write_ = [&text](int start, const unsigned char* styles, int length) {
        return text.SetStyleBytes(start, styles, length);
    };
    connect(&text, &TextControl::TextChanged, this, &Colouring::TextChanged);
}

bool Colouring::On() const { return onOff_.isChecked(); }

void Colouring::SetOn(bool on) { onOff_.setChecked(on); }

// ------------------------------------------------------------------ the whole text
void Colouring::RecolourAll() {
    if (recolouring_) {
        // A command run during one of the pauses below: the running colouring starts over
        // on the text and switch as they are now.
        recolourAgain_ = true;
        return;
    }
    recolouring_ = true;
    QPointer<Colouring> alive(this);
    bool& loading = window_.loading;
    window_.hourglass(true);
    loading = true;
    text_.SetRedraw(false);
    std::vector<unsigned char> buffer;
    bool failed = false;
    do {
        recolourAgain_ = false;
        if (!On()) {
            text_.ResetStyles();
            break;
        }
        const ClassStyles styles = StylesOf(text_);
        failed = !styles.ok;
        const int total = text_.LineCount();
        // The colouring gives every byte its style, black and normal included, so the text
        // needs no reset first. It never touches the caret, the view or the modified flag:
        // what the user does during the pauses stays as done.
        RecolourPlan plan(static_cast<size_t>(total), static_cast<size_t>(text_.SelStart()),
                          text_.Modified());
        int shift = 0;  // lines the user added (or removed) above the part still to colour
        auto lastPause = std::chrono::steady_clock::now();
        size_t first = 0, count = 0;
        while (!failed && plan.Next(first, count)) {
            const int from = static_cast<int>(first) + shift;
            const int to = from + static_cast<int>(count);
            failed = !ColourLineSpan(text_, write_, from, to, styles, buffer);
            if (failed || !plan.PauseDue()) continue;
            if (!plan.first() && std::chrono::steady_clock::now() - lastPause < kPauseInterval)
                continue;
            // A pause: the window repaints and the user may scroll, move the caret and type.
            RecolourPlan::Pause pause = plan.BeforeEvents();
            if (pause.recolourCaretLine && !ColourCaretLine(text_, write_, styles, buffer)) {
                failed = true;
                break;
            }
            text_.SetRedraw(true);
            if (pause.restoreCursor) window_.hourglass(false);
            const int linesBefore = text_.LineCount();
            QCoreApplication::processEvents();
            if (!alive) return;
            const int linesNow = text_.LineCount();
            if (linesNow != linesBefore && text_.LineFromChar(text_.SelStart()) < to)
                shift += linesNow - linesBefore;
            text_.SetRedraw(false);
            loading = true;  // a command run during the pause has ended its own bracket
            plan.AfterEvents(static_cast<size_t>(text_.SelStart()));
            lastPause = std::chrono::steady_clock::now();
            if (recolourAgain_) break;
        }
        if (recolourAgain_) continue;
        if (!failed) {
            // Lines typed past the planned end, and the caret's line edited at the last pause.
            failed =
                !ColourLineSpan(text_, write_, total + shift, text_.LineCount(), styles, buffer);
            if (!failed && plan.BeforeEvents().recolourCaretLine)
                failed = !ColourCaretLine(text_, write_, styles, buffer);
        }
        if (failed) {
            // The control ran out of resources: the whole text black and normal, colouring
            // off until the user switches it on again (the stored choice stays).
            text_.ResetStyles();
            SetOn(false);
        }
    } while (recolourAgain_);
    text_.SetRedraw(true);
    loading = false;
    window_.hourglass(false);
    recolouring_ = false;
    if (failed) ShowMessageBox(kColourCaption, kResourceFailureText);
}

void Colouring::Decide(const ColourDecision& d) {
    SetOn(d.on);
    if (d.question)
        SetOn(GetPrompter().Question(kLargeTextCaption, d.question, Buttons::YesNo, Answer::Yes) ==
              Answer::Yes);
    RecolourAll();
}

void Colouring::CheckSizeAndRecolour() {
    Decide(DecideColourAfterLoad(On(), static_cast<size_t>(text_.LineCount())));
}

void Colouring::SwitchChosen() {
    Decide(ToggleColouring(!On(), static_cast<size_t>(text_.LineCount())));
}

void Colouring::ColourLineRange(int first, int end) {
    if (!On()) return;
    std::vector<unsigned char> buffer;
    ColourLineSpan(text_, write_, first, end, StylesOf(text_), buffer);
}

// ------------------------------------------------------------------ the caret's line
void Colouring::TextChanged() {
    if (window_.loading || !On()) return;
    // The control reports a change before it has put the caret after the new text: the
    // caret's line is coloured as soon as the edit is complete.
    if (caretLinePending_) return;
    caretLinePending_ = true;
    QMetaObject::invokeMethod(this, [this] { RecolourCaretLine(); }, Qt::QueuedConnection);
}

void Colouring::RecolourCaretLine() {
    caretLinePending_ = false;
    if (window_.loading || !On()) return;
    window_.loading = true;
    std::vector<unsigned char> buffer;
    ColourCaretLine(text_, write_, StylesOf(text_), buffer);
    window_.loading = false;
}

// ------------------------------------------------------------------ log files
void Colouring::ShowLog(const ColouredLog& log) {
    // Every byte of the text is bold, in the colour of its code; text typed afterwards is
    // black.
    text_.SetText(log.text);
    if (log.lineCount > 0) text_.AppendText("\r\n");
    std::vector<unsigned char> styles(log.text.size());
    StylesFromRuns(log.runs, styles.data(), styles.size());
    ToStyleNumbers(styles.data(), styles.size(), StylesOf(text_), false);
    write_(0, styles.data(), static_cast<int>(styles.size()));
}
