#pragma once
// Block numbers of NC programs: the block model of a machine and the renumbering of a text.
// Most controls number a block with a block character and a number at the start of the line
// (N10 G01 X5); the Heidenhain dialect numbers every line with a bare leading number.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "nctools/LineList.h"
#include "settings/Settings.h"

inline constexpr const char* kRenumCaption = "Renummerering";
inline constexpr const char* kRenumBadValues = "Oppgitte vedier er feil";

struct BlockModel {
    bool heidenhain = false;  // "Protokoll" HEIDENHAIN or HHLSV2, or "HeidenHain" true
    CharSet blockChars;       // "BlokkTegn": first bytes of numbered blocks
};

// Reads "Protokoll", "BlokkTegn" and "HeidenHain" of a machine section (MachineSection(i)).
BlockModel ReadBlockModel(const std::string& section);

struct RenumOptions {
    bool heidenhain = false;
    CharSet blockChars;
    bool addBlockNo = false;     // "Legg til blokknummer"
    bool removeBlockNo = false;  // "Fjern blokknummer"
};

// The per-line rule. line has no line break; number is the next block number and moves on by
// step for every line that takes a number (held at max once it passes a max above 0).
// Returns whether the line's text changed.
bool RenumberLine(std::string& line, int64_t& number, int64_t step, int64_t max,
                  const RenumOptions& options);

// The values of the dialog's fields.
struct RenumValues {
    int32_t start = 10;
    int32_t step = 10;
    int32_t max = 0;  // 0: no limit
};
// Start: the integer in the text, -1 when it is none; step: 0 when none; max: 0 when none.
// False (the values are refused) when start < 0 or step < 1.
bool ParseRenumValues(const std::string& start, const std::string& step, const std::string& max,
                      RenumValues& values);
// The dialog's defaults for the dialect: "0" and "1" for Heidenhain, else "10" and "10".
std::string DefaultStartText(bool heidenhain);
std::string DefaultStepText(bool heidenhain);

// The marked area of a selection: first is the line that holds the selection start, last the
// line that holds the selection end, minus one. So a selection that ends at the start of a
// line ends with the line before it, and one that ends inside a line leaves that line out.
struct MarkedArea {
    long long first = 0;
    long long last = -1;
    bool usable() const { return last > first; }  // "Bare merket område" may be checked
};
MarkedArea MarkedAreaOf(long long selectionStartLine, long long selectionEndLine);

struct RenumRequest {
    RenumValues values;
    bool addBlockNo = false;
    bool removeBlockNo = false;
    bool onlyMarked = false;  // renumber first..last only
    long long first = 0;
    long long last = -1;
};

// Called with the index of every line that is a multiple of 10, before the line is handled.
using RenumProgress = std::function<void(size_t)>;

// Renumbers the whole text, or the marked lines (cut to the text), replacing only the lines
// whose text changes. Returns how many were replaced.
size_t RenumberText(TextLines& lines, const BlockModel& model, const RenumRequest& request,
                    const RenumProgress& progress = RenumProgress());
// The same over a list; returns the indexes of the changed lines, ascending.
std::vector<size_t> RenumberText(std::vector<std::string>& lines, const BlockModel& model,
                                 const RenumRequest& request,
                                 const RenumProgress& progress = RenumProgress());
