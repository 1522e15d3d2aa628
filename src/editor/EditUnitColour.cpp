// Syntax colouring in the main window: the colour classes of the NC text applied to the text
// control as style numbers, the whole text in slices that leave the window usable, the
// caret's line after each change, the switch with its questions, and the coloured log view.
#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <chrono>
#include <vector>

#include "editor/EditUnit.h"
#include "widgets/Prompter.h"
#include "nctools/Colour.h"
#include "settings/MessageSink.h"

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
bool ColourLineSpan(TextControl& control, int first, int end, const ClassStyles& styles,
                 std::vector<unsigned char>& buffer) {
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
    return control.SetStyleBytes(from, buffer.data(), static_cast<int>(buffer.size()));
}

bool ColourCaretLine(TextControl& control, const ClassStyles& styles,
                     std::vector<unsigned char>& buffer) {
    int line = control.LineFromChar(control.SelStart());
    return ColourLineSpan(control, line, line + 1, styles, buffer);
}

bool AskLargeText(const char* question) {
    return GetPrompter().Question(kLargeTextCaption, question, Buttons::YesNo, Answer::Yes) ==
           Answer::Yes;
}
}  // namespace

// ------------------------------------------------------------------ the whole text
void TTextForm::RecolourAll() {
    if (recolouring_) {
        // A command run during one of the pauses below: the running colouring starts over
        // on the text and switch as they are now.
        recolourAgain_ = true;
        return;
    }
    recolouring_ = true;
    QPointer<TTextForm> alive(this);
    HourglassOn();
    Loading = true;
    RichEdit1->SetRedraw(false);
    std::vector<unsigned char> buffer;
    bool failed = false;
    do {
        recolourAgain_ = false;
        if (!TekstFormatering->isChecked()) {
            RichEdit1->ResetStyles();
            break;
        }
        const ClassStyles styles = StylesOf(*RichEdit1);
        failed = !styles.ok;
        const int total = RichEdit1->LineCount();
        // The colouring gives every byte its style, black and normal included, so the text
        // needs no reset first. It never touches the caret, the view or the modified flag:
        // what the user does during the pauses stays as done.
        RecolourPlan plan(static_cast<size_t>(total), static_cast<size_t>(RichEdit1->SelStart()),
                          RichEdit1->Modified());
        int shift = 0;  // lines the user added (or removed) above the part still to colour
        auto lastPause = std::chrono::steady_clock::now();
        size_t first = 0, count = 0;
        while (!failed && plan.Next(first, count)) {
            const int from = static_cast<int>(first) + shift;
            const int to = from + static_cast<int>(count);
            failed = !ColourLineSpan(*RichEdit1, from, to, styles, buffer);
            if (failed || !plan.PauseDue()) continue;
            if (!plan.first() && std::chrono::steady_clock::now() - lastPause < kPauseInterval)
                continue;
            // A pause: the window repaints and the user may scroll, move the caret and type.
            RecolourPlan::Pause pause = plan.BeforeEvents();
            if (pause.recolourCaretLine && !ColourCaretLine(*RichEdit1, styles, buffer)) {
                failed = true;
                break;
            }
            RichEdit1->SetRedraw(true);
            if (pause.restoreCursor) HourglassOff();
            const int linesBefore = RichEdit1->LineCount();
            QCoreApplication::processEvents();
            if (!alive) return;
            const int linesNow = RichEdit1->LineCount();
            if (linesNow != linesBefore && RichEdit1->LineFromChar(RichEdit1->SelStart()) < to)
                shift += linesNow - linesBefore;
            RichEdit1->SetRedraw(false);
            Loading = true;  // a command run during the pause has ended its own bracket
            plan.AfterEvents(static_cast<size_t>(RichEdit1->SelStart()));
            lastPause = std::chrono::steady_clock::now();
            if (recolourAgain_) break;
        }
        if (recolourAgain_) continue;
        if (!failed) {
            // Lines typed past the planned end, and the caret's line edited at the last pause.
            failed = !ColourLineSpan(*RichEdit1, total + shift, RichEdit1->LineCount(), styles, buffer);
            if (!failed && plan.BeforeEvents().recolourCaretLine)
                failed = !ColourCaretLine(*RichEdit1, styles, buffer);
        }
        if (failed) {
            // The control ran out of resources: the whole text black and normal, colouring
            // off until the user switches it on again (the stored choice stays).
            RichEdit1->ResetStyles();
            TekstFormatering->setChecked(false);
        }
    } while (recolourAgain_);
    RichEdit1->SetRedraw(true);
    Loading = false;
    HourglassOff();
    recolouring_ = false;
    if (failed) ShowMessageBox(kColourCaption, kResourceFailureText);
}

void TTextForm::CheckSizeAndRecolour() {
    ColourDecision d = DecideColourAfterLoad(TekstFormatering->isChecked(),
                                             static_cast<size_t>(RichEdit1->LineCount()));
    TekstFormatering->setChecked(d.on);
    if (d.question) TekstFormatering->setChecked(AskLargeText(d.question));
    RecolourAll();
}

void TTextForm::TekstFormateringClick() {
    // Chosen in the menu, the item has toggled its check mark already.
    bool checked = TekstFormatering->isChecked();
    if (sender() == TekstFormatering) checked = !checked;
    ColourDecision d = ToggleColouring(checked, static_cast<size_t>(RichEdit1->LineCount()));
    TekstFormatering->setChecked(d.on);
    if (d.question) TekstFormatering->setChecked(AskLargeText(d.question));
    RecolourAll();
}

void TTextForm::ColourLineRange(int first, int end) {
    if (!TekstFormatering->isChecked()) return;
    std::vector<unsigned char> buffer;
    ColourLineSpan(*RichEdit1, first, end, StylesOf(*RichEdit1), buffer);
}

// ------------------------------------------------------------------ the caret's line
void TTextForm::RichEdit1Change() {
    if (Loading || !TekstFormatering->isChecked()) return;
    // The control reports a change before it has put the caret after the new text: the
    // caret's line is coloured as soon as the edit is complete.
    if (caretLinePending_) return;
    caretLinePending_ = true;
    QMetaObject::invokeMethod(this, [this] { RecolourCaretLine(); }, Qt::QueuedConnection);
}

void TTextForm::RecolourCaretLine() {
    caretLinePending_ = false;
    if (Loading || !TekstFormatering->isChecked()) return;
    Loading = true;
    std::vector<unsigned char> buffer;
    ColourCaretLine(*RichEdit1, StylesOf(*RichEdit1), buffer);
    Loading = false;
}

// ------------------------------------------------------------------ log files
void TTextForm::ShowColouredLog(const ColouredLog& log) {
    // Inside the caller's Loading bracket. Every byte of the text is bold, in the colour of
    // its code; text typed afterwards is black.
    RichEdit1->SetText(log.text);
    if (log.lineCount > 0) RichEdit1->AppendText("\r\n");
    std::vector<unsigned char> styles(log.text.size());
    StylesFromRuns(log.runs, styles.data(), styles.size());
    ToStyleNumbers(styles.data(), styles.size(), StylesOf(*RichEdit1), false);
    RichEdit1->SetStyleBytes(0, styles.data(), static_cast<int>(styles.size()));
}
