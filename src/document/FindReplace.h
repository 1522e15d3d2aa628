#pragma once
// The search and replace engine of the find and replace dialogs, over the plain text of the
// text control (Windows-1252 bytes, lines broken by CR LF, so a position counts a line break
// as two characters). Searches go forward from SearchPos, ignore case and do not look for
// whole words. The windows only show the selection and the messages the engine hands back.
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr const char* kFindCaption = "Søk etter tekst";
inline constexpr const char* kNotFoundText = "Finner ikke: ";  // + the search text

// The text control's find: the first match of what at or after start, case ignored
// (Windows-1252 letters included), or -1. An empty search text is never found.
int64_t FindText(std::string_view text, std::string_view what, int64_t start);

struct FindState {
    int64_t searchPos = 0;     // SearchPos: where the next search starts
    int64_t selStart = 0;      // the control's selection
    int64_t selLength = 0;
};

// Seek1Click and Erstatt1Click: the search starts at the start of the selection.
inline void StartSearch(FindState& st) { st.searchPos = st.selStart; }

struct FindOutcome {
    bool found = false;
    int64_t position = -1;     // start of the match; the selection is (position, length of what)
    std::string message;       // "Finner ikke: " + what when not found (caption kFindCaption)
};

// FindDialog1Find: on a match the selection covers it and SearchPos is one past its start;
// otherwise SearchPos stays, so a further press repeats the same failed search.
FindOutcome FindDialogFind(std::string_view text, const std::string& what, FindState& st);
// ReplaceDialog1Find: as FindDialogFind, but a failed search sets SearchPos to 0 so the next
// find-next starts again at the top.
FindOutcome ReplaceDialogFind(std::string_view text, const std::string& what, FindState& st);

// How far to scroll down (negative: up) so that a match on matchLine stands ten lines below
// the top of the view.
inline int64_t ScrollForMatch(int64_t matchLine, int64_t firstVisibleLine) {
    return matchLine - firstVisibleLine - 10;
}
// The 0-based line of a position (the number of LF before it).
int64_t LineOfPosition(std::string_view text, int64_t pos);

struct ReplaceOutcome {
    int64_t replaced = 0;       // number of replacements made
    int64_t lastReplacedAt = -1;  // start of the last replacement (in the new text)
    bool notFound = false;      // the loop ended with a failed search ...
    std::string message;        // ... and this message (caption kFindCaption)
};

// ReplaceDialog1Replace: replace (all = false) or replace all (all = true) in text. A
// selection of the length of the search text is replaced whatever its content; otherwise the
// next match is searched and replaced. Replace all continues until the search fails; a match
// lying wholly inside the text just inserted is passed over, so it always ends. Afterwards the
// selection is empty after the last inserted text.
ReplaceOutcome ReplaceDialogReplace(std::string& text, const std::string& what, const std::string& with,
                                    FindState& st, bool all);
