#pragma once
// The document's text control: QScintilla in 8-bit mode holding the Windows-1252 bytes of
// the program exactly, with CR LF line breaks so that a character position counts a line
// break as two. Every raw Scintilla message of the program lives in TextControl.cpp; the
// windows speak to the text only through the operations below. Texts in and out are
// Windows-1252 bytes in std::string.
#include <Qsci/qsciscintilla.h>

class QMenu;
class QsciPrinter;
class LineEdits;

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Attributes of a run of characters. rgb is 0xRRGGBB; size 0 means the default size.
struct TextStyle {
    uint32_t rgb = 0x000000;
    bool bold = false;
    bool italic = false;
    int size = 0;
    bool operator==(const TextStyle&) const = default;
};

class TextControl : public QsciScintilla {
    Q_OBJECT
public:
    explicit TextControl(QWidget* parent = nullptr);
    ~TextControl() override;

    // ---- Line list. Lines are without their break; the text keeps CR LF between lines.
    // An empty text has no lines; a text ending in a line break has no empty last line.
    int LineCount() const;
    std::string Line(int index) const;              // empty for an index outside the list
    void SetLine(int index, std::string_view text);   // replaces the line's characters
    void AddLine(std::string_view text);              // appends a line (and its break)
    void InsertLine(int index, std::string_view text);  // before line index; at the end = add
    void DeleteLine(int index);                       // the line with its break
    void Clear();
    // Fast whole-text access for loaders and tools. SetText takes the bytes of a text with
    // any mix of CR LF, LF or CR line ends; each break is stored as CR LF, every other byte
    // unchanged. Appending in pieces lets a loader stream a large file (a CR at the end of
    // one piece and an LF at the start of the next make one break).
    void SetText(std::string_view bytes);
    void AppendText(std::string_view bytes);
    void SetAllLines(const std::vector<std::string>& lines);  // each line gets CR LF
    std::string Text() const;                    // the bytes, breaks as CR LF
    std::vector<std::string> AllLines() const;   // Line(0) .. Line(LineCount() - 1)
    int TextLength() const;                      // in character positions
    // Reserves room for a text of this many bytes before a large load.
    void Reserve(size_t bytes);
    // The bytes of the text without a copy (breaks as CR LF); valid until the next change.
    std::string_view TextView() const;
    // New texts for some lines, in ascending order of line, made in one change of the text
    // (the text tools). Every other line keeps its bytes; the selection is kept where it
    // still fits.
    void ReplaceLines(const LineEdits& edits);

    // ---- Update bracket of the line list: no repaint and no change or selection events
    // between BeginUpdate and the matching EndUpdate (they nest).
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return updateDepth_ > 0; }

    // ---- Selection, in character positions.
    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int pos);     // caret there, empty selection
    void SetSelection(int start, int length);
    std::string SelText() const;
    void ReplaceSel(std::string_view text);  // the program's replacement (not undoable)
    void SetHideSelection(bool hideWhenUnfocused);
    bool HideSelection() const { return hideSelection_; }

    // ---- Positions and scrolling.
    int LineFromChar(int pos) const;   // -1 gives the line of the selection start
    int LineIndex(int line) const;     // first position of the line; -1 = caret line; -1 past the end
    int FirstVisibleLine() const;
    void ScrollLines(int lines);       // positive scrolls the text up

    // ---- Find forward from a position without regard to case (every Windows-1252
    // letter: "ø" finds "Ø"). length -1 searches to the end. Position of the match or -1.
    int FindText(std::string_view what, int from, int length = -1) const;

    // ---- Per-character attributes. StyleFor gives the style number for a set of
    // attributes (made on first use); SetStyle gives a run of text that style.
    int StyleFor(const TextStyle& style);
    void SetStyle(int start, int length, int styleNumber);
    void SetStyle(int start, int length, const TextStyle& style) {
        SetStyle(start, length, StyleFor(style));
    }
    // The attributes of the selection: the run selected gets them.
    void SetSelAttributes(const TextStyle& style);
    TextStyle StyleAt(int pos) const;
    // The default attributes: plain black text of the control's font and size.
    void ResetStyles();                       // the whole text back to the default attributes
    void SetFontSize(int points);             // the default and every style of default size
    int FontSize() const { return fontSize_; }
    // ---- Document files and colouring: whole ranges at once.
    // Style numbers for a range in one call: position start + i gets style styles[i]. False
    // when the control could not take them (out of memory).
    bool SetStyleBytes(int start, const unsigned char* styles, int length);
    // The bytes of [start, start + length) without a copy; valid until the text changes.
    std::string_view TextView(int start, int length) const;

    // ---- Redraw.
    void SetRedraw(bool on);
    void Invalidate();

    // ---- Edit commands. Undo is single-level: it undoes the user's last edit, and a
    // second undo undoes the undo.
    bool CanUndo() const;
    void Undo();
    void CutToClipboard();
    void CopyToClipboard() const;
    void PasteFromClipboard();
    void ClearSelection();
    static bool ClipboardHasText();

    // ---- Modified flag: set by every change of the text, cleared only by the program.
    // Attribute changes never set it.
    bool Modified() const { return modified_; }
    void SetModified(bool on) { modified_ = on; }
    // Counts every change of the text, the user's and the program's: a copy taken at one
    // count holds the text as long as the count stays.
    uint64_t ChangeCount() const { return changeCount_; }

    // ---- Key press: a typed character (a Windows-1252 byte) goes through this hook first;
    // it may replace the character or set it to 0 to drop it.
    std::function<void(char& key)> onKeyPress;

    // ---- Formatted print of the whole content with its colours onto a printer the caller
    // has set up (selected printer, job title, copies). False when nothing was printed.
    bool PrintFormatted(QsciPrinter& printer);

    // Sends one character as if typed (tests and the key path share it).
    void TypeCharacter(char c);

    // The pop-up menu of the text (owned by the window).
    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }

signals:
    void TextChanged();
    void SelectionChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    QMimeData* toMimeData(const QByteArray& text, bool rectangular) const override;
    QByteArray fromMimeData(const QMimeData* source, bool& rectangular) const override;

private slots:
    void OnSavePointLeft();
    void OnUpdateUi(int updated);

private:
    long Send(unsigned int msg, unsigned long wParam = 0, long lParam = 0) const;
    long SendPtr(unsigned int msg, unsigned long wParam, const char* text) const;
    const char* CharacterPointer() const;
    void FlushPending() const;
    int DocLineCount() const;  // Scintilla's count, including an empty last line
    void ProgramChange(const std::function<void()>& change);
    void ReplaceRange(int start, int end, std::string_view bytes);
    void AppendPiece(std::string_view bytes);
    void ResetStyleDefinitions();
    void ApplyStyle(int number);
    void UnbindClipboardKeys();
    void StartUserEdit(bool typing);
    void CheckSelection();

    int updateDepth_ = 0;
    int silent_ = 0;                 // inside a change made by the program
    bool changedInSilence_ = false;
    QMenu* popupMenu_ = nullptr;
    bool modified_ = false;
    uint64_t changeCount_ = 0;
    bool hideSelection_ = true;
    bool pendingCr_ = false;   // AppendText: the last piece ended with a CR
    int fontSize_ = 10;
    const std::string fontFamily_ = "Courier New";
    std::vector<TextStyle> styles_;  // index = style number; 0 is the default
    int typingEnd_ = -1;
    mutable std::string pending_;    // lines added in the update bracket, not yet in Scintilla
    long lastAnchor_ = 0;            // the selection last reported
    long lastCaret_ = 0;             // where the user's current run of typing ends
};

// A batch of line replacements for TextControl::ReplaceLines, kept compact: the new texts
// one after the other in one buffer. Lines are added in ascending order, each once.
class LineEdits {
public:
    void Add(int line, std::string_view text) {
        lines_.push_back(line);
        bytes_.append(text);
        ends_.push_back(bytes_.size());
    }
    size_t Size() const { return lines_.size(); }
    bool Empty() const { return lines_.empty(); }
    int LineOf(size_t k) const { return lines_[k]; }
    std::string_view TextOf(size_t k) const {
        size_t begin = k == 0 ? 0 : ends_[k - 1];
        return std::string_view(bytes_).substr(begin, ends_[k] - begin);
    }
    size_t Bytes() const { return bytes_.size(); }
    void Reserve(size_t lines, size_t bytes) {
        lines_.reserve(lines);
        ends_.reserve(lines);
        bytes_.reserve(bytes);
    }

private:
    std::vector<int> lines_;
    std::vector<size_t> ends_;
    std::string bytes_;
};
