#include "widgets/TextControl.h"
#include "document/FindReplace.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciprinter.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "widgets/DisplayFont.h"
#include "widgets/Prompter.h"

namespace {
using SB = QsciScintillaBase;

// Turns CR LF, a lone CR and a lone LF into CR LF; every other byte stays. skipLf carries a
// CR at the end of one piece over to the next.
void NormaliseBreaks(std::string_view in, std::string& out, bool& skipLf) {
    for (char c : in) {
        if (c == '\r') {
            out += "\r\n";
            skipLf = true;
        } else if (c == '\n') {
            if (!skipLf) out += "\r\n";
            skipLf = false;
        } else {
            out.push_back(c);
            skipLf = false;
        }
    }
}

constexpr size_t kPiece = 1 << 20;

// QScintilla's accessible text counts the characters from the start of the text at every
// update of the view, so each keystroke would cost the length of the program. Unless an
// assistive technology listens, the control is a plain accessible widget instead.
QAccessibleInterface* PlainAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("TextControl") && object && object->isWidgetType() &&
        !QAccessible::isActive())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::EditableText);
    return nullptr;
}

long ToBgr(uint32_t rgb) {
    return static_cast<long>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}
}  // namespace

TextControl::TextControl(QWidget* parent) : QsciScintilla(parent) {
    static const bool plainAccessible = (QAccessible::installFactory(PlainAccessible), true);
    (void)plainAccessible;
    setUtf8(false);
    Send(SB::SCI_SETCODEPAGE, 0);
    Send(SB::SCI_SETEOLMODE, SB::SC_EOL_CRLF);
    setEolMode(EolWindows);
    Send(SB::SCI_SETLEXER, SB::SCLEX_CONTAINER);
    // No modification notices: QScintilla answers each one with a count of the characters
    // before the change, which makes every edit cost the length of the text. A change of
    // the text is seen instead as the document leaving its save point, which is set again
    // at once (see OnSavePointLeft).
    Send(SB::SCI_SETMODEVENTMASK, 0);
    Send(SB::SCI_SETSAVEPOINT);
    Send(SB::SCI_SETWRAPMODE, SB::SC_WRAP_NONE);
    for (int m = 0; m < 5; ++m) Send(SB::SCI_SETMARGINWIDTHN, m, 0);
    Send(SB::SCI_SETMARGINLEFT, 0, 2);
    Send(SB::SCI_SETSCROLLWIDTH, 1);
    Send(SB::SCI_SETSCROLLWIDTHTRACKING, 1);
    Send(SB::SCI_SETHSCROLLBAR, 1);
    Send(SB::SCI_SETVSCROLLBAR, 1);
    Send(SB::SCI_SETTABWIDTH, 8);
    Send(SB::SCI_SETUSETABS, 1);
    Send(SB::SCI_SETCARETLINEVISIBLE, 0);
    setFrameStyle(QFrame::NoFrame);
    setAutoIndent(false);
    setBraceMatching(NoBraceMatch);
    setAutoCompletionSource(AcsNone);
    styles_.push_back(TextStyle{});
    ResetStyleDefinitions();
    UnbindClipboardKeys();

    connect(this, &QsciScintillaBase::SCN_SAVEPOINTLEFT, this, &TextControl::OnSavePointLeft);
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, &TextControl::OnUpdateUi);
}

TextControl::~TextControl() = default;

// Every message goes through Send or SendPtr, so lines added inside the update bracket
// (held back in pending_) reach Scintilla before anything reads or changes the text.
long TextControl::Send(unsigned int msg, unsigned long wParam, long lParam) const {
    FlushPending();
    return SendScintilla(msg, wParam, lParam);
}

long TextControl::SendPtr(unsigned int msg, unsigned long wParam, const char* text) const {
    FlushPending();
    return SendScintilla(msg, static_cast<uintptr_t>(wParam), text);
}

const char* TextControl::CharacterPointer() const {
    FlushPending();
    return static_cast<const char*>(SendScintillaPtrResult(SB::SCI_GETCHARACTERPOINTER));
}

void TextControl::FlushPending() const {
    if (pending_.empty()) return;
    std::string piece;
    piece.swap(pending_);
    // The program's change: not undoable, and the undo buffer no longer fits the text.
    SendScintilla(SB::SCI_SETUNDOCOLLECTION, 0UL, 0L);
    SendScintilla(SB::SCI_APPENDTEXT, static_cast<uintptr_t>(piece.size()), piece.data());
    SendScintilla(SB::SCI_EMPTYUNDOBUFFER, 0UL, 0L);
    SendScintilla(SB::SCI_SETUNDOCOLLECTION, 1UL, 0L);
}

bool TextControl::event(QEvent* e) {
    FlushPending();
    return QsciScintilla::event(e);
}

bool TextControl::viewportEvent(QEvent* e) {
    FlushPending();
    return QsciScintilla::viewportEvent(e);
}

// ------------------------------------------------------------------ styles
void TextControl::ResetStyleDefinitions() {
    QByteArray family = DisplayFontFamily(fontFamily_).toLatin1();
    SendPtr(SB::SCI_STYLESETFONT, SB::STYLE_DEFAULT, family.constData());
    Send(SB::SCI_STYLESETSIZE, SB::STYLE_DEFAULT, fontSize_);
    Send(SB::SCI_STYLESETFORE, SB::STYLE_DEFAULT, 0);
    Send(SB::SCI_STYLESETBACK, SB::STYLE_DEFAULT, 0xFFFFFF);
    Send(SB::SCI_STYLESETBOLD, SB::STYLE_DEFAULT, 0);
    Send(SB::SCI_STYLESETITALIC, SB::STYLE_DEFAULT, 0);
    Send(SB::SCI_STYLESETCHARACTERSET, SB::STYLE_DEFAULT, SB::SC_CHARSET_ANSI);
    Send(SB::SCI_STYLECLEARALL);
    for (size_t n = 0; n < styles_.size(); ++n) ApplyStyle(static_cast<int>(n));
}

void TextControl::ApplyStyle(int number) {
    if (number < 0 || number >= static_cast<int>(styles_.size())) return;
    if (number >= SB::STYLE_DEFAULT && number <= SB::STYLE_LASTPREDEFINED) return;
    const TextStyle& s = styles_[static_cast<size_t>(number)];
    QByteArray family = DisplayFontFamily(fontFamily_).toLatin1();
    SendPtr(SB::SCI_STYLESETFONT, static_cast<unsigned long>(number), family.constData());
    Send(SB::SCI_STYLESETFORE, static_cast<unsigned long>(number), ToBgr(s.rgb));
    Send(SB::SCI_STYLESETBACK, static_cast<unsigned long>(number), 0xFFFFFF);
    Send(SB::SCI_STYLESETBOLD, static_cast<unsigned long>(number), s.bold ? 1 : 0);
    Send(SB::SCI_STYLESETITALIC, static_cast<unsigned long>(number), s.italic ? 1 : 0);
    Send(SB::SCI_STYLESETSIZE, static_cast<unsigned long>(number), s.size > 0 ? s.size : fontSize_);
    Send(SB::SCI_STYLESETCHARACTERSET, static_cast<unsigned long>(number), SB::SC_CHARSET_ANSI);
}

int TextControl::StyleFor(const TextStyle& style) {
    for (size_t n = 0; n < styles_.size(); ++n) {
        if (n >= static_cast<size_t>(SB::STYLE_DEFAULT) &&
            n <= static_cast<size_t>(SB::STYLE_LASTPREDEFINED))
            continue;
        if (styles_[n] == style) return static_cast<int>(n);
    }
    // Numbers 32 to 39 are Scintilla's own (default, line numbers, braces, ...).
    while (styles_.size() >= static_cast<size_t>(SB::STYLE_DEFAULT) &&
           styles_.size() <= static_cast<size_t>(SB::STYLE_LASTPREDEFINED))
        styles_.push_back(TextStyle{});
    if (styles_.size() > 255) return 0;  // every number in use: plain text
    styles_.push_back(style);
    int number = static_cast<int>(styles_.size() - 1);
    ApplyStyle(number);
    return number;
}

void TextControl::SetStyle(int start, int length, int styleNumber) {
    int total = TextLength();
    start = std::clamp(start, 0, total);
    length = std::clamp(length, 0, total - start);
    if (length == 0) return;
    Send(SB::SCI_STARTSTYLING, static_cast<unsigned long>(start), 0xFF);
    Send(SB::SCI_SETSTYLING, static_cast<unsigned long>(length), styleNumber);
    // No lexer styles this text: the whole of it counts as styled, so Scintilla does not
    // keep asking for styles while drawing.
    Send(SB::SCI_STARTSTYLING, static_cast<unsigned long>(total), 0xFF);
}

void TextControl::SetSelAttributes(const TextStyle& style) {
    SetStyle(SelStart(), SelLength(), style);
}

TextStyle TextControl::StyleAt(int pos) const {
    long n = Send(SB::SCI_GETSTYLEAT, static_cast<unsigned long>(std::max(pos, 0)));
    if (n < 0 || n >= static_cast<long>(styles_.size())) return TextStyle{};
    return styles_[static_cast<size_t>(n)];
}

void TextControl::ResetStyles() { SetStyle(0, TextLength(), 0); }

void TextControl::SetFontSize(int points) {
    if (points <= 0) points = 10;
    fontSize_ = points;
    ResetStyleDefinitions();
}

// ------------------------------------------------------------------ whole ranges
bool TextControl::SetStyleBytes(int start, const unsigned char* styles, int length) {
    int total = TextLength();
    start = std::clamp(start, 0, total);
    length = std::clamp(length, 0, total - start);
    if (length == 0) return true;
    Send(SB::SCI_SETSTATUS, SB::SC_STATUS_OK);
    Send(SB::SCI_STARTSTYLING, static_cast<unsigned long>(start), 0xFF);
    SendPtr(SB::SCI_SETSTYLINGEX, static_cast<unsigned long>(length),
            reinterpret_cast<const char*>(styles));
    Send(SB::SCI_STARTSTYLING, static_cast<unsigned long>(total), 0xFF);
    long status = Send(SB::SCI_GETSTATUS);
    if (status > SB::SC_STATUS_OK && status < SB::SC_STATUS_WARN_START) {
        Send(SB::SCI_SETSTATUS, SB::SC_STATUS_OK);
        return false;
    }
    return true;
}

std::string_view TextControl::TextView(int start, int length) const {
    int total = TextLength();
    start = std::clamp(start, 0, total);
    length = std::clamp(length, 0, total - start);
    if (length == 0) return {};
    const char* p = reinterpret_cast<const char*>(
        Send(SB::SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), length));
    return p ? std::string_view(p, static_cast<size_t>(length)) : std::string_view();
}

// ------------------------------------------------------------------ lines
int TextControl::DocLineCount() const { return static_cast<int>(Send(SB::SCI_GETLINECOUNT)); }

int TextControl::LineCount() const {
    int n = DocLineCount();
    if (n <= 0) return 0;
    long lastStart = Send(SB::SCI_POSITIONFROMLINE, static_cast<unsigned long>(n - 1));
    if (lastStart >= TextLength()) --n;  // the empty line after a final break, or no text
    return n;
}

std::string TextControl::Line(int index) const {
    if (index < 0 || index >= LineCount()) return std::string();
    long start = Send(SB::SCI_POSITIONFROMLINE, static_cast<unsigned long>(index));
    long end = Send(SB::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(index));
    if (end <= start) return std::string();
    const char* p = reinterpret_cast<const char*>(
        Send(SB::SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), end - start));
    return p ? std::string(p, static_cast<size_t>(end - start)) : std::string();
}

void TextControl::ProgramChange(const std::function<void()>& change) {
    ++silent_;
    Send(SB::SCI_SETUNDOCOLLECTION, 0);
    change();
    modified_ = true;
    ++changeCount_;
    changedInSilence_ = true;
    Send(SB::SCI_EMPTYUNDOBUFFER);
    Send(SB::SCI_SETUNDOCOLLECTION, 1);
    typingEnd_ = -1;
    --silent_;
    CheckSelection();
    if (changedInSilence_) {
        changedInSilence_ = false;
        if (!Updating() && silent_ == 0) emit TextChanged();
    }
}

void TextControl::ReplaceRange(int start, int end, std::string_view bytes) {
    Send(SB::SCI_SETTARGETSTART, static_cast<unsigned long>(start));
    Send(SB::SCI_SETTARGETEND, static_cast<unsigned long>(end));
    SendPtr(SB::SCI_REPLACETARGET, bytes.size(), bytes.data());
}

static std::string Normalised(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    bool skip = false;
    NormaliseBreaks(text, out, skip);
    return out;
}

void TextControl::SetLine(int index, std::string_view text) {
    if (index < 0 || index >= LineCount()) return;
    ProgramChange([&] {
        long start = Send(SB::SCI_POSITIONFROMLINE, static_cast<unsigned long>(index));
        long end = Send(SB::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(index));
        ReplaceRange(static_cast<int>(start), static_cast<int>(end), Normalised(text));
    });
}

void TextControl::AddLine(std::string_view text) {
    if (Updating()) {
        // Inside the update bracket the lines are collected and handed to Scintilla in
        // large pieces: a loader adding millions of lines one by one stays fast.
        if (pending_.empty()) {
            int len = TextLength();
            if (len > 0 && Send(SB::SCI_POSITIONFROMLINE,
                                static_cast<unsigned long>(DocLineCount() - 1)) < len)
                pending_ = "\r\n";  // the last line has no break yet
        }
        bool skip = false;
        NormaliseBreaks(text, pending_, skip);
        pending_ += "\r\n";
        modified_ = true;
        ++changeCount_;
        typingEnd_ = -1;
        if (pending_.size() >= kPiece) FlushPending();
        return;
    }
    ProgramChange([&] {
        std::string piece;
        int len = TextLength();
        if (len > 0) {
            long lastStart = Send(SB::SCI_POSITIONFROMLINE,
                                  static_cast<unsigned long>(DocLineCount() - 1));
            if (lastStart < len) piece = "\r\n";  // the last line has no break yet
        }
        piece += Normalised(text);
        piece += "\r\n";
        SendPtr(SB::SCI_APPENDTEXT, piece.size(), piece.data());
    });
}

void TextControl::InsertLine(int index, std::string_view text) {
    if (index >= LineCount()) {
        AddLine(text);
        return;
    }
    if (index < 0) index = 0;
    ProgramChange([&] {
        long start = Send(SB::SCI_POSITIONFROMLINE, static_cast<unsigned long>(index));
        std::string piece = Normalised(text) + "\r\n";
        ReplaceRange(static_cast<int>(start), static_cast<int>(start), piece);
    });
}

void TextControl::DeleteLine(int index) {
    if (index < 0 || index >= LineCount()) return;
    ProgramChange([&] {
        long start = Send(SB::SCI_POSITIONFROMLINE, static_cast<unsigned long>(index));
        long end = index + 1 < DocLineCount()
                       ? Send(SB::SCI_POSITIONFROMLINE, static_cast<unsigned long>(index + 1))
                       : TextLength();
        Send(SB::SCI_DELETERANGE, static_cast<unsigned long>(start), end - start);
    });
}

void TextControl::Clear() {
    if (TextLength() > 0) ProgramChange([&] { Send(SB::SCI_CLEARALL); });
    pendingCr_ = false;
}

void TextControl::AppendPiece(std::string_view bytes) {
    std::string out;
    out.reserve(std::min(bytes.size(), kPiece) + 2);
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t n = std::min(kPiece, bytes.size() - pos);
        out.clear();
        NormaliseBreaks(bytes.substr(pos, n), out, pendingCr_);
        SendPtr(SB::SCI_APPENDTEXT, out.size(), out.data());
        pos += n;
    }
}

void TextControl::SetText(std::string_view bytes) {
    ProgramChange([&] {
        Send(SB::SCI_CLEARALL);
        pendingCr_ = false;
        if (bytes.size() > 4 * kPiece) Send(SB::SCI_ALLOCATE, bytes.size() + 1);
        AppendPiece(bytes);
        Send(SB::SCI_GOTOPOS, 0);
    });
}

void TextControl::AppendText(std::string_view bytes) {
    ProgramChange([&] { AppendPiece(bytes); });
}

void TextControl::SetAllLines(const std::vector<std::string>& lines) {
    ProgramChange([&] {
        Send(SB::SCI_CLEARALL);
        pendingCr_ = false;
        size_t total = 0;
        for (const auto& l : lines) total += l.size() + 2;
        if (total > 4 * kPiece) Send(SB::SCI_ALLOCATE, total + 1);
        std::string piece;
        piece.reserve(kPiece + 1024);
        bool skip = false;
        for (const auto& l : lines) {
            skip = false;
            NormaliseBreaks(l, piece, skip);
            piece += "\r\n";
            if (piece.size() >= kPiece) {
                SendPtr(SB::SCI_APPENDTEXT, piece.size(), piece.data());
                piece.clear();
            }
        }
        if (!piece.empty())
            SendPtr(SB::SCI_APPENDTEXT, piece.size(), piece.data());
        Send(SB::SCI_GOTOPOS, 0);
    });
}

std::string TextControl::Text() const {
    int len = TextLength();
    if (len == 0) return std::string();
    const char* p = CharacterPointer();
    return p ? std::string(p, static_cast<size_t>(len)) : std::string();
}

std::vector<std::string> TextControl::AllLines() const {
    std::vector<std::string> lines;
    int len = TextLength();
    if (len == 0) return lines;
    const char* p = CharacterPointer();
    if (!p) return lines;
    lines.reserve(static_cast<size_t>(DocLineCount()));
    const char* end = p + len;
    const char* s = p;
    while (s < end) {
        const char* e = static_cast<const char*>(std::memchr(s, '\n', static_cast<size_t>(end - s)));
        if (!e) {
            lines.emplace_back(s, static_cast<size_t>(end - s));
            break;
        }
        const char* stop = (e > s && e[-1] == '\r') ? e - 1 : e;
        lines.emplace_back(s, static_cast<size_t>(stop - s));
        s = e + 1;
    }
    return lines;
}

int TextControl::TextLength() const { return static_cast<int>(Send(SB::SCI_GETLENGTH)); }

void TextControl::Reserve(size_t bytes) { Send(SB::SCI_ALLOCATE, bytes + 1); }

// ------------------------------------------------------------------ update bracket
void TextControl::BeginUpdate() {
    if (updateDepth_++ == 0) viewport()->setUpdatesEnabled(false);
}

void TextControl::EndUpdate() {
    if (updateDepth_ == 0) return;
    FlushPending();
    if (--updateDepth_ == 0) {
        changedInSilence_ = false;
        // What changed inside the bracket is not reported afterwards either.
        lastAnchor_ = Send(SB::SCI_GETANCHOR);
        lastCaret_ = Send(SB::SCI_GETCURRENTPOS);
        viewport()->setUpdatesEnabled(true);
        viewport()->update();
    }
}

void TextControl::SetRedraw(bool on) {
    viewport()->setUpdatesEnabled(on);
    if (on) viewport()->update();
}

void TextControl::Invalidate() { viewport()->update(); }

// ------------------------------------------------------------------ selection
int TextControl::SelStart() const { return static_cast<int>(Send(SB::SCI_GETSELECTIONSTART)); }

int TextControl::SelLength() const {
    return static_cast<int>(Send(SB::SCI_GETSELECTIONEND) - Send(SB::SCI_GETSELECTIONSTART));
}

void TextControl::SetSelection(int start, int length) {
    int total = TextLength();
    start = std::clamp(start, 0, total);
    int end = std::clamp(start + std::max(length, 0), start, total);
    Send(SB::SCI_SETSEL, static_cast<unsigned long>(start), end);
    CheckSelection();
}

void TextControl::SetSelStart(int pos) { SetSelection(pos, 0); }


std::string TextControl::SelText() const {
    long start = Send(SB::SCI_GETSELECTIONSTART);
    long end = Send(SB::SCI_GETSELECTIONEND);
    if (end <= start) return std::string();
    const char* p = reinterpret_cast<const char*>(
        Send(SB::SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), end - start));
    return p ? std::string(p, static_cast<size_t>(end - start)) : std::string();
}

void TextControl::ReplaceSel(std::string_view text) {
    ProgramChange([&] {
        int start = SelStart();
        std::string bytes = Normalised(text);
        ReplaceRange(start, start + SelLength(), bytes);
        int caret = start + static_cast<int>(bytes.size());
        Send(SB::SCI_SETSEL, static_cast<unsigned long>(caret), caret);
    });
}

void TextControl::SetHideSelection(bool hideWhenUnfocused) {
    hideSelection_ = hideWhenUnfocused;
    Send(SB::SCI_HIDESELECTION, (hideWhenUnfocused && !hasFocus()) ? 1 : 0);
}

void TextControl::focusInEvent(QFocusEvent* event) {
    Send(SB::SCI_HIDESELECTION, 0);
    QsciScintilla::focusInEvent(event);
}

void TextControl::focusOutEvent(QFocusEvent* event) {
    QsciScintilla::focusOutEvent(event);
    if (hideSelection_) Send(SB::SCI_HIDESELECTION, 1);
}

// ------------------------------------------------------------------ positions
int TextControl::LineFromChar(int pos) const {
    if (pos < 0) pos = SelStart();
    return static_cast<int>(Send(SB::SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos)));
}

int TextControl::LineIndex(int line) const {
    if (line < 0) line = LineFromChar(static_cast<int>(Send(SB::SCI_GETCURRENTPOS)));
    if (line >= DocLineCount()) return -1;
    return static_cast<int>(Send(SB::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)));
}

int TextControl::FirstVisibleLine() const {
    return static_cast<int>(Send(SB::SCI_GETFIRSTVISIBLELINE));
}

void TextControl::ScrollLines(int lines) { Send(SB::SCI_LINESCROLL, 0, lines); }

// ------------------------------------------------------------------ find
int TextControl::FindText(std::string_view what, int from, int length) const {
    int total = TextLength();
    if (what.empty() || from < 0 || from >= total) return -1;
    int end = length < 0 ? total : static_cast<int>(std::min<long long>(total, 0LL + from + length));
    int n = static_cast<int>(what.size());
    if (end - from < n) return -1;
    const char* p = reinterpret_cast<const char*>(
        Send(SB::SCI_GETRANGEPOINTER, static_cast<unsigned long>(from), end - from));
    if (!p) return -1;
    // The engine of the find dialogs: a block search over the text in place.
    int64_t r = ::FindText(std::string_view(p, static_cast<size_t>(end - from)), what, 0);
    return r < 0 ? -1 : from + static_cast<int>(r);
}

// ------------------------------------------------------------------ edit commands
void TextControl::StartUserEdit(bool typing) {
    // The undo buffer holds the user's last edit only: a run of typing at one place counts
    // as one edit, everything else starts a new one.
    bool continuing = typing && typingEnd_ >= 0 && SelLength() == 0 &&
                      Send(SB::SCI_GETCURRENTPOS) == typingEnd_;
    if (!continuing) Send(SB::SCI_EMPTYUNDOBUFFER);
    if (!typing) typingEnd_ = -1;
}

bool TextControl::CanUndo() const {
    return Send(SB::SCI_CANUNDO) != 0 || Send(SB::SCI_CANREDO) != 0;
}

void TextControl::Undo() {
    // The buffer holds the last edit only (a run of typing may be several steps): undo all
    // of it, or, after an undo, redo all of it.
    typingEnd_ = -1;
    if (Send(SB::SCI_CANUNDO)) {
        while (Send(SB::SCI_CANUNDO)) Send(SB::SCI_UNDO);
    } else {
        while (Send(SB::SCI_CANREDO)) Send(SB::SCI_REDO);
    }
}

void TextControl::CopyToClipboard() const {
    std::string text = SelText();
    if (text.empty()) return;
    QApplication::clipboard()->setText(FromCp1252(text));
}

void TextControl::CutToClipboard() {
    if (SelLength() == 0) return;
    CopyToClipboard();
    ClearSelection();
}

void TextControl::ClearSelection() {
    if (SelLength() == 0) return;
    StartUserEdit(false);
    Send(SB::SCI_CLEAR);
}

void TextControl::PasteFromClipboard() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasText()) return;
    std::string bytes = Normalised(ToCp1252(data->text()));
    StartUserEdit(false);
    int start = SelStart();
    Send(SB::SCI_BEGINUNDOACTION);
    ReplaceRange(start, start + SelLength(), bytes);
    Send(SB::SCI_ENDUNDOACTION);
    Send(SB::SCI_GOTOPOS, static_cast<unsigned long>(start + static_cast<int>(bytes.size())));
}

bool TextControl::ClipboardHasText() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasText() && !data->text().isEmpty();
}

QMimeData* TextControl::toMimeData(const QByteArray& text, bool rectangular) const {
    auto* data = new QMimeData;
    data->setText(FromCp1252(std::string_view(text.constData(), static_cast<size_t>(text.size()))));
    (void)rectangular;
    return data;
}

QByteArray TextControl::fromMimeData(const QMimeData* source, bool& rectangular) const {
    rectangular = false;
    std::string bytes = Normalised(ToCp1252(source->text()));
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void TextControl::UnbindClipboardKeys() {
    // The window's menus own these keys (their handlers use the Windows-1252 clipboard and
    // the single-level undo); Scintilla's own line commands on them are not wanted.
    const int keys[] = {
        Qt::CTRL | Qt::Key_X, Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_V, Qt::CTRL | Qt::Key_Z,
        Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::Key_D, Qt::CTRL | Qt::Key_L, Qt::CTRL | Qt::Key_T,
        Qt::CTRL | Qt::Key_U, Qt::CTRL | Qt::SHIFT | Qt::Key_L, Qt::CTRL | Qt::SHIFT | Qt::Key_T,
        Qt::CTRL | Qt::SHIFT | Qt::Key_U, Qt::CTRL | Qt::SHIFT | Qt::Key_Z,
        Qt::SHIFT | Qt::Key_Delete, Qt::CTRL | Qt::Key_Insert, Qt::SHIFT | Qt::Key_Insert,
        Qt::ALT | Qt::Key_Backspace, Qt::CTRL | Qt::SHIFT | Qt::Key_Backspace,
        Qt::CTRL | Qt::SHIFT | Qt::Key_Delete};
    for (int key : keys) {
        for (QsciCommand* cmd : standardCommands()->commands()) {
            if (cmd->key() == key) cmd->setKey(0);
            if (cmd->alternateKey() == key) cmd->setAlternateKey(0);
        }
    }
}

// ------------------------------------------------------------------ keys and events
void TextControl::TypeCharacter(char c) {
    if (onKeyPress) onKeyPress(c);
    if (c == 0 || isReadOnly()) return;
    StartUserEdit(true);
    unsigned char b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b != 0x7F && !(b >= 0x80 && b < 0xA0)) {
        // Scintilla's own typing path: overtype, coalesced undo, caret kept in view.
        QKeyEvent ev(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(b)));
        QsciScintilla::keyPressEvent(&ev);
    } else {
        const char s[2] = {c, 0};
        Send(SB::SCI_BEGINUNDOACTION);
        SendPtr(SB::SCI_REPLACESEL, 0, s);
        Send(SB::SCI_ENDUNDOACTION);
    }
    typingEnd_ = static_cast<int>(Send(SB::SCI_GETCURRENTPOS));
    CheckSelection();
}

void TextControl::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const auto mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!text.isEmpty() && !mods && text[0].unicode() >= 0x20 && text[0].unicode() != 0x7F) {
        for (char c : ToCp1252(text)) TypeCharacter(c);
        event->accept();
        CheckSelection();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (!isReadOnly()) StartUserEdit(false);
            break;
        default:
            break;
    }
    QsciScintilla::keyPressEvent(event);
    CheckSelection();
}

void TextControl::contextMenuEvent(QContextMenuEvent* event) {
    if (popupMenu_) {
        popupMenu_->exec(event->globalPos());
        event->accept();
        return;
    }
    QsciScintilla::contextMenuEvent(event);
}

void TextControl::OnSavePointLeft() {
    // Only edits made with undo collection on (the user's) get here; the program's own
    // changes are counted by ProgramChange.
    Send(SB::SCI_SETSAVEPOINT);
    modified_ = true;
    ++changeCount_;
    if (Updating() || silent_ > 0) {
        changedInSilence_ = true;
        return;
    }
    emit TextChanged();
}

void TextControl::OnUpdateUi(int updated) {
    if (updated & SB::SC_UPDATE_SELECTION) CheckSelection();
}

void TextControl::CheckSelection() {
    // Scintilla reports selection changes when it paints; the checks after keys, mouse and
    // the program's own selecting make the event come also while the control is hidden.
    long anchor = Send(SB::SCI_GETANCHOR), caret = Send(SB::SCI_GETCURRENTPOS);
    if (anchor == lastAnchor_ && caret == lastCaret_) return;
    if (Updating() || silent_ > 0) return;
    lastAnchor_ = anchor;
    lastCaret_ = caret;
    emit SelectionChanged();
}

void TextControl::mouseReleaseEvent(QMouseEvent* event) {
    QsciScintilla::mouseReleaseEvent(event);
    CheckSelection();
}

// ------------------------------------------------------------------ printing
bool TextControl::PrintFormatted(QsciPrinter& printer) { return printer.printRange(this) > 0; }

// ------------------------------------------------------------------ bulk line edits
std::string_view TextControl::TextView() const {
    int len = TextLength();
    if (len == 0) return std::string_view();
    const char* p = static_cast<const char*>(SendScintillaPtrResult(SB::SCI_GETCHARACTERPOINTER));
    return p ? std::string_view(p, static_cast<size_t>(len)) : std::string_view();
}

namespace {
// Below this many edits each line is replaced where it stands; above it the text is built
// anew from the unchanged runs and the new lines and put in at once, which costs one pass
// over the text instead of one change of the document per line.
constexpr size_t kEditsInPlace = 4096;

bool HasBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}
}  // namespace

void TextControl::ReplaceLines(const LineEdits& edits) {
    if (edits.Empty()) return;
    const int count = LineCount();
    int anchor = static_cast<int>(Send(SB::SCI_GETANCHOR));
    int caret = static_cast<int>(Send(SB::SCI_GETCURRENTPOS));
    // The view stays where the user had it.
    long firstVisible = Send(SB::SCI_GETFIRSTVISIBLELINE);
    long xOffset = Send(SB::SCI_GETXOFFSET);
    ProgramChange([&] {
        if (edits.Size() <= kEditsInPlace) {
            // From the last line up, so that a text with a break in it cannot move the
            // lines still to come.
            for (size_t k = edits.Size(); k-- > 0;) {
                int line = edits.LineOf(k);
                if (line < 0 || line >= count) continue;
                long start = Send(SB::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
                long end = Send(SB::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
                std::string_view text = edits.TextOf(k);
                if (HasBreak(text))
                    ReplaceRange(static_cast<int>(start), static_cast<int>(end), Normalised(text));
                else
                    ReplaceRange(static_cast<int>(start), static_cast<int>(end), text);
            }
        } else {
            std::string_view old = TextView();
            const char* base = old.data();
            const size_t n = old.size();
            std::string out;
            out.reserve(n + edits.Bytes() + 64);
            // Walks the old text line by line (the breaks as Scintilla counts them: CR LF, or
            // a lone CR or LF), copying the unchanged runs and putting in the new lines.
            size_t copied = 0;  // old text before this is in out
            size_t pos = 0;     // start of line `line`
            int line = 0;
            auto lineEnd = [&](size_t from, size_t& next) {
                const void* lf = std::memchr(base + from, '\n', n - from);
                size_t stop = lf ? static_cast<size_t>(static_cast<const char*>(lf) - base) : n;
                const void* cr = std::memchr(base + from, '\r', stop - from);
                size_t end = cr ? static_cast<size_t>(static_cast<const char*>(cr) - base) : stop;
                next = end >= n ? n
                                : end + ((base[end] == '\r' && end + 1 < n && base[end + 1] == '\n') ? 2 : 1);
                return end;
            };
            for (size_t k = 0; k < edits.Size(); ++k) {
                int target = edits.LineOf(k);
                if (target < line || target >= count) continue;  // not ascending: ignored
                size_t next = 0;
                while (line < target) {
                    lineEnd(pos, next);
                    pos = next;
                    ++line;
                }
                size_t end = lineEnd(pos, next);
                out.append(old.substr(copied, pos - copied));
                std::string_view text = edits.TextOf(k);
                if (HasBreak(text)) {
                    bool skip = false;
                    NormaliseBreaks(text, out, skip);
                } else {
                    out.append(text);
                }
                copied = end;
                pos = next;
                ++line;
            }
            out.append(old.substr(copied));
            Send(SB::SCI_CLEARALL);
            Send(SB::SCI_ALLOCATE, out.size() + 1);
            SendScintilla(SB::SCI_APPENDTEXT, static_cast<uintptr_t>(out.size()), out.data());
        }
        int total = TextLength();
        Send(SB::SCI_SETSEL, static_cast<unsigned long>(std::min(anchor, total)),
             std::min(caret, total));
        Send(SB::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(firstVisible));
        Send(SB::SCI_SETXOFFSET, static_cast<unsigned long>(xOffset));
    });

}
