#pragma once
// Syntax colouring of NC programs and the colour-coded log files of the DNC system.
//
// The core decides which bytes get which colour class; the window applies the classes to its
// text control. Two forms of the same rule:
//   - ColourLine: the coloured runs of one line (used when a change recolours the caret's line);
//   - ColourLineStyles / ColourTextStyles: one class byte per text byte, for colouring a whole
//     program at once (the text control takes a style byte per character).
// Neither allocates: they fill the caller's vector or buffer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Colour classes. The values are small and stable so that the window can use them directly as
// style numbers of its control.
enum class ColourClass : uint8_t {
    Other = 0,     // digits, signs, blanks, lower-case letters: black, normal
    StarLine = 1,  // a line whose first byte is "*": blue, normal
    Comment = 2,   // "(" or ";" up to ")" or the end of the line: green, italic
    Address = 3,   // "A" .. "Z" outside comments: red, bold
    // Log files: every byte bold, the colour from the code byte in force.
    LogRed = 4,
    LogMagenta = 5,
    LogBlack = 6,
    LogBlue = 7,
    LogGreen = 8,
};
inline constexpr int kColourClassCount = 9;

struct ColourStyle {
    uint8_t red, green, blue;
    bool bold, italic;
};
const ColourStyle& StyleOfClass(ColourClass cls);

// One coloured run: bytes [start, start + length) of the text the caller coloured.
struct ColourRun {
    size_t start;
    size_t length;
    ColourClass cls;
    bool operator==(const ColourRun&) const = default;
};

// Appends the runs of one line (its text without the line break) to runs, positions offset by
// lineStart. Only coloured runs are added (the caller has set the line to Other first);
// neighbouring bytes of the same class form one run.
void ColourLine(std::string_view line, std::vector<ColourRun>& runs, size_t lineStart = 0);

// Writes the class of every byte of one line (without its line break) to styles[0 .. size).
void ColourLineStyles(std::string_view line, uint8_t* styles);

// Writes the class of every byte of text (whole lines with their line breaks, as the control
// holds them) to styles[0 .. text.size()). CR and LF end a line and are Other.
void ColourTextStyles(std::string_view text, uint8_t* styles);

// Writes the classes that runs give to styles[0 .. size): Other where no run lies. Runs
// reaching beyond size are cut.
void StylesFromRuns(const std::vector<ColourRun>& runs, uint8_t* styles, size_t size);

// ---------------------------------------------------------------- the switch and its questions
inline constexpr const char* kColourSettingName = "TekstFormatering";  // per-user integer, 1 = on
inline constexpr const char* kColourCaption = "Tekstformatering";       // menu item and failure box
inline constexpr const char* kResourceFailureText = "Ressursfeil har oppstått";
inline constexpr const char* kLargeTextCaption = "Bruke tekstformatering";
inline constexpr const char* kLargeTextOnLoad =
    "CNC-programmet er meget stort.\rBruke tekstformatering likevel ?";
inline constexpr const char* kLargeTextOnSwitch =
    "CNC-programmet er meget stort.\rTekstformatere likevel ?";
inline constexpr size_t kLargeTextLines = 250;  // more lines than this count as very large

// The line count of a text as the window's line list sees it: lines separated by CR LF, CR or
// LF; a line break at the very end does not start a line of its own; an empty text has none.
size_t CountLines(std::string_view text);

bool IsLargeText(size_t lineCount);

// The stored per-user switch (read at start-up) and its store.
bool ReadColourSetting();
void StoreColourSetting(bool on);

// What a colouring decision asks: with a question, colouring is on exactly when the user
// answers yes; without one, colouring is `on`. The answer is never stored.
struct ColourDecision {
    bool on = false;
    const char* question = nullptr;  // text of the yes/no box titled kLargeTextCaption
};
// After a document has been loaded (CheckSizeAndRecolour).
ColourDecision DecideColourAfterLoad(bool colouringOn, size_t lineCount);
// The menu switch (TekstFormateringClick): toggles, stores the new state, decides the
// question.
ColourDecision ToggleColouring(bool checked, size_t lineCount);

// The slices of a whole recolouring (RecolourAll). The first slice is small so that the top of
// a long program is usable at once; after every slice the window lets pending events run and
// reports where the caret is. An edit made during a pause is not coloured by the change
// handler, so the caret's line is coloured again at the next pause and the document counts as
// modified at the end.
class RecolourPlan {
public:
    RecolourPlan(size_t lineCount, size_t caret, bool modified, size_t firstSlice = 30,
                 size_t sliceLines = 30);
    // The next lines to colour [firstLine, firstLine + count); false when all are done.
    bool Next(size_t& firstLine, size_t& count);
    // Whether a pause follows the slice just returned: after every full slice, not after the
    // short rest at the end.
    bool PauseDue() const { return pauseDue_; }
    struct Pause {
        bool recolourCaretLine;  // colour the line that holds caret() again, before the pause
        bool restoreCursor;      // the normal cursor and a repaint
    };
    // Before pending events run, after the slice from Next.
    Pause BeforeEvents() const;
    // After pending events ran: the caret as the control reports it now.
    void AfterEvents(size_t caretNow);
    size_t caret() const { return caret_; }
    bool modifiedAtEnd() const { return modified_; }
    bool first() const { return slices_ <= 1; }

private:
    size_t lines_, next_ = 0, firstSlice_, sliceLines_;
    size_t caret_;
    bool modified_;
    bool movedAtLastPause_ = false;
    size_t slices_ = 0;
    bool pauseDue_ = false;
};

// ---------------------------------------------------------------- coloured log files
// The log text: lines joined with CR LF as the control holds them, and the runs of colour with
// positions in that text. All text is bold; the typing colour afterwards is black.
struct ColouredLog {
    std::string text;
    size_t lineCount = 0;
    std::vector<ColourRun> runs;
};
inline constexpr size_t kLogLineLimit = 251;
// The colour class a code byte selects, or Other for a byte that is no code.
ColourClass LogCodeClass(unsigned char b);
// False when the file cannot be opened (the window leaves its text unchanged).
bool LoadColouredLog(const std::string& fileName, ColouredLog& log);
