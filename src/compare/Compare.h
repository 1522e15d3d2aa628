#pragma once
// Comparing two NC programs line by line, and word by word within the lines that changed.
// Lines are compared as the options normalise them: without the block number, without the
// blanks outside comments, with every number read as its value. The line diff is dtl's
// (Debian's libdtl-dev) over the lines hashed to integers, after the common head and tail are
// set aside and the lines found once on each side have split the rest into small pieces, so
// two programs of 100 MB with a thousand scattered differences compare in a second or two.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "nctools/Renum.h"

struct CompareOptions {
    bool ignoreNumbers = false;  // "Ignorer blokknummer"
    bool ignoreBlanks = false;   // "Ignorer mellomrom"
    bool byValue = false;        // "Sammenlign tall etter verdi"
};

inline constexpr const char* kIgnoreNumbersText = "Ignorer blokknummer";
inline constexpr const char* kIgnoreBlanksText = "Ignorer mellomrom";
inline constexpr const char* kByValueText = "Sammenlign tall etter verdi";

// The lines of a text as views into it: a line ends at CR LF, LF or a lone CR; a break at
// the very end opens no further line.
std::vector<std::string_view> LineViews(std::string_view text);

// A line as the options see it, written into out (cleared first).
void NormaliseLine(std::string_view line, const BlockModel& model, const CompareOptions& options,
                   std::string& out);

// One difference: lines [leftFirst, leftFirst + leftCount) of the left program stand where
// lines [rightFirst, rightFirst + rightCount) of the right one stand. The first
// min(leftCount, rightCount) lines pair up as changed lines; the rest are removed (left) or
// added (right).
struct DiffHunk {
    size_t leftFirst = 0, leftCount = 0;
    size_t rightFirst = 0, rightCount = 0;
    size_t Changed() const { return leftCount < rightCount ? leftCount : rightCount; }
    size_t Removed() const { return leftCount - Changed(); }
    size_t Added() const { return rightCount - Changed(); }
    bool operator==(const DiffHunk&) const = default;
};

struct CompareResult {
    std::vector<DiffHunk> hunks;  // in the order of the lines
    size_t leftLines = 0, rightLines = 0;
    size_t changed = 0, removed = 0, added = 0;  // lines
    bool Equal() const { return hunks.empty(); }
};

CompareResult CompareLines(const std::vector<std::string_view>& left,
                           const std::vector<std::string_view>& right, const BlockModel& model,
                           const CompareOptions& options);
CompareResult ComparePrograms(std::string_view left, std::string_view right,
                              const BlockModel& model, const CompareOptions& options);

// A run of bytes within a line.
struct ByteSpan {
    size_t start = 0, length = 0;
    bool operator==(const ByteSpan&) const = default;
};
// The words of a changed pair of lines that differ, as the options compare them: runs of the
// left line that went and of the right line that came. A word is an address letter with its
// number, a comment, or any other single character; blanks mark nothing.
struct WordMarks {
    std::vector<ByteSpan> left, right;
};
WordMarks ChangedWords(std::string_view left, std::string_view right, const BlockModel& model,
                       const CompareOptions& options);

// The difference as a unified diff of lines ("--- A", "+++ B", "@@ -l,n +l,n @@" and the
// lines with " ", "-" or "+"), with `context` lines around each difference; lines end in LF.
std::string UnifiedDiff(const std::vector<std::string_view>& left,
                        const std::vector<std::string_view>& right, const CompareResult& result,
                        const std::string& leftName, const std::string& rightName,
                        size_t context = 3);

// The two programs side by side as the comparison window shows them: row for row, a line
// only on one side facing an empty row on the other. Every row ends in CR LF.
enum class RowKind : uint8_t { Changed, Removed, Added };
struct SideBySide {
    std::string left, right;  // the panes' texts
    struct Row {
        size_t row;
        RowKind kind;
        size_t leftLine, rightLine;  // of a changed row: the lines it pairs
    };
    std::vector<Row> rows;         // the rows that differ, in order
    std::vector<size_t> hunkRows;  // the first row of each difference
};
SideBySide AlignSideBySide(const std::vector<std::string_view>& left,
                           const std::vector<std::string_view>& right, const CompareResult& result);

// The counts as the window shows them: "3 endret, 1 lagt til, 2 fjernet" or "Ingen forskjeller".
std::string CountsText(const CompareResult& result);
inline constexpr const char* kNoDifferencesText = "Ingen forskjeller";
