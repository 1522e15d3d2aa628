#pragma once
// Reading an NC program into its toolpath: the interpreter for the machine's dialect, chosen
// from the machine's settings, and the notes the reading leaves.
#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "plot/Toolpath.h"

enum class PlotDialect { Iso, Heidenhain, Essi };

// Keys of the machine's section.
inline constexpr const char* kMachineTypeKey = "Maskintype";  // "FRES" (default) or "DREIEBENK"
inline constexpr const char* kMillType = "FRES";
inline constexpr const char* kLatheType = "DREIEBENK";
inline constexpr const char* kRapidRateKey = "Hurtiggang";     // mm/min
inline constexpr double kDefaultRapidRate = 10000;

struct PlotSettings {
    PlotDialect dialect = PlotDialect::Iso;
    bool lathe = false;                     // "Maskintype" DREIEBENK
    double rapidRate = kDefaultRapidRate;   // "Hurtiggang"
    bool operator==(const PlotSettings&) const = default;
};

// The settings for a program of a machine's section (MachineSection(i)):
// - ESSI when the file's extension is ".ESI" or the machine's "DXFFormat" is "ESSI";
// - Heidenhain when the block model says so and the program is the machine's own (its
//   extension is the machine's "Ext" or ".H"), or when the program opens with BEGIN PGM;
// - ISO for everything else, with lathe rules when "Maskintype" is "DREIEBENK".
// text is the program (or its beginning), used only to recognise BEGIN PGM.
PlotSettings ReadPlotSettings(const std::string& section, const std::string& fileName,
                              std::string_view text);

// Note texts: each note is shown as "Linje N: " + the text.
std::string UnknownWordNote(std::string_view word);        // "ukjent ord W er hoppet over"
inline constexpr const char* kVariablesNote = "variabler og uttrykk tolkes ikke";
std::string RadiusMismatchNote(double r1, double r2);    // "buen har ulik radius i start og slutt (R1 / R2)"
inline constexpr const char* kRadiusTooSmallNote = "radius er for liten for buen";
inline constexpr const char* kMachineCoordinatesNote = "maskinkoordinater tegnes ikke";
std::string MissingSubprogramNote(std::string_view name);  // "underprogram P finnes ikke"
inline constexpr const char* kCompensationNote = "radiuskompensasjon vises ikke";
inline constexpr const char* kTooManyMovesNote = "for mange bevegelser, tegningen stopper her";

struct PlotRun {
    // Polled every few thousand blocks: when it turns true the reading stops, keeping what
    // it has (a rebuild that has been overtaken).
    const std::atomic<bool>* cancel = nullptr;
    // Every note as it is made, also those beyond the stored limit.
    std::function<void(const PlotNote&)> onNote;
    // The drawing stops with a note at this many moves, or after this many blocks read
    // (a subprogram that calls itself, a repeat count of a billion).
    size_t maxMoves = Toolpath::kMaxMoves;
    uint64_t maxBlocks = 100000000;
};

// Reads a program. text holds its lines as the editor holds them: a line ends at CR LF, LF
// or a lone CR; line numbers are 1-based. The reading never stops at a block it does not
// understand: the block is skipped with a note.
Toolpath InterpretProgram(std::string_view text, const PlotSettings& settings,
                          const PlotRun& run = PlotRun());

// Arcs whose start and end lie on circles of different radius by more than this are noted.
double RadiusTolerance(double radius);
