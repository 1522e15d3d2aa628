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

// What a block's words mean where the program stands when it is read: the modes in force
// (after the block's own G codes), the tool's place before it and the shifts. Given for every
// block the interpreter reads, as often as it reads it (a subprogram once per call).
enum class BlockRole : uint8_t {
    Motion,       // moves, arcs, drilling cycles, or only modes
    Dwell,        // G04: its words are times
    Data,         // G10: its words are table values
    Machine,      // G28, G30, G53: machine positions
    Shift,        // G52: a shift of the zero point (a distance)
    SetPosition,  // G92, the lathe's G50: the tool's place is named anew (a point)
    Contour,      // the lathe's roughing and finishing cycles (P, Q and allowances)
};
struct BlockState {
    uint32_t line = 0;       // 1-based, the block's first line
    uint32_t lineCount = 1;  // a Heidenhain block goes on over lines ending in "~"
    BlockRole role = BlockRole::Motion;
    PlotPoint pos;           // where the tool stands before the block (mm)
    bool known[3] = {false, false, false};  // the axes placed so far
    PlotPoint offset;        // shifts in force: G52 and G92, the datum shift cycle (mm)
    ArcPlane plane = ArcPlane::XY;
    double unit = 1;         // mm per program unit (25.4 in inches)
    // Word address programs.
    bool incremental = false;  // G91
    bool arcAbsolute = false;  // G90.1: I, J, K are points
    bool diameter = false;     // a lathe's X (and U) as a diameter
    bool lathe = false;
    int motion = 0;            // G0, G1, G2, G3 as 0, 10, 20, 30
    int cycle = 0;             // the drilling cycle in force (G81 as 810), 0 none
    int drillAxis = 2;
    // Heidenhain programs.
    bool havePole = false;
    double pole[2] = {0, 0};   // CC in the plane's two axes
};

struct PlotRun {
    // Polled every few thousand blocks: when it turns true the reading stops, keeping what
    // it has (a rebuild that has been overtaken).
    const std::atomic<bool>* cancel = nullptr;
    // Every note as it is made, also those beyond the stored limit.
    std::function<void(const PlotNote&)> onNote;
    // Every block as it is read (word address and Heidenhain programs).
    std::function<void(const BlockState&)> onBlock;
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
