#pragma once
// Printing of the NC program as monospaced text: page header and footer, one to three
// newspaper columns, raw to a matrix printer or through a printer driver (the driver's
// stream lives with the windows, in PrinterStream).
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "print/Clock.h"
#include "settings/TextUtil.h"

inline constexpr const char* kPrintCaption = "Utskrift";
inline constexpr const char* kPrintFailedText = "Utskrift feilet";
inline constexpr const char* kPrintSelectionQuestion = "Skrive ut bare merket område?";
inline constexpr const char* kPrintSection = "Program";
inline constexpr const char* kPrintFontName = "Courier New";

inline constexpr const char* kPrintMargin = "     ";
inline constexpr int kPrintMarginWidth = 5;
inline constexpr char kFormFeed = '\f';
// The page buffer of column printing: at most 216 cells of at most 35 characters.
inline constexpr int kMaxPageCells = 216;
inline constexpr int kMaxCellWidth = 35;
// A page length of this many lines or more is continuous paper (single column only).
inline constexpr int kContinuousPageLength = 200;

// The printer choice of the section "Program" ("Skriver", "Matrise"), read afresh at every
// call; the printer selection and the print read it.
struct PrinterChoice {
    std::string skriver = "PRN";  // raw mode: device or file; otherwise a 1-based printer number
    bool matrise = false;
};
PrinterChoice ReadPrinterChoice();

struct PrintSettings : PrinterChoice {
    bool rawMode = false;  // matrise and skriver of at least 3 characters
    std::string initPrn;   // bytes, upper-cased
    std::string exitPrn;
    int fontSizePrn = 12;
    int lineWidth = 75;   // characters per printed line, margin included
    int pageLength = 50;  // lines of text per page
    int kolonner = 1;     // columns, "Program" value (1..3)
};

// Raw matrix-printer mode is in force only when "Matrise" is on and "Skriver" has at least
// three characters.
bool RawModeInForce(const std::string& skriver, bool matrise);
// n / d rounded to the nearest integer, halves to even (d > 0, n >= 0).
int RoundDivideHalfEven(int n, int d);
// Every key of the section "Program" with its default, and the derived values.
PrintSettings LoadPrintSettings();
// Columns for a print: the machine's "Kolonner" (default the "Program" value) when the
// 1-based machine number is above 0; a value outside 1..3 gives 1.
int PrintColumns(int machine, const PrintSettings& settings);

// The file or device that raw mode writes to, as the text files take it (they resolve the
// path). The DOS printer names PRN and LPT1..LPT9 (with or without ":") are the parallel
// printers /dev/lp0 .. /dev/lp8.
std::string RawPrinterName(const std::string& skriver);

// Where the print goes: a byte stream of lines ending in CR LF, pages ended by form feeds.
// Each operation reports success; PrintDocument keeps the ok flag.
class PrintStream {
public:
    virtual ~PrintStream() = default;
    virtual bool Open() = 0;
    virtual bool Write(std::string_view bytes) = 0;
    virtual bool Close() = 0;  // ends the print job
};

// Raw mode: the bytes go unchanged to the file or device named by "Skriver".
class RawPrintStream : public PrintStream {
public:
    explicit RawPrintStream(std::string skriver) : skriver_(std::move(skriver)) {}
    bool Open() override;
    bool Write(std::string_view bytes) override;
    bool Close() override;

private:
    std::string skriver_;
    TextFile file_;
    bool ok_ = false;
};

// Outside raw mode the caller makes the printer driver's stream for the settings of the print.
using DriverStreamFactory = std::function<std::unique_ptr<PrintStream>(const PrintSettings&)>;

// Column layout of one page: cells filled column by column, top to bottom.
struct PageCells {
    std::vector<std::string> cells;  // the filled cells, in order
    int capacity = 0;                // rows of this page x columns
    int width = 1;                   // characters per cell
    bool Full() const { return static_cast<int>(cells.size()) >= capacity; }
};
// Cell width for a line width and a number of columns: line width div columns - 5, at most
// 35, at least 1.
int CellWidth(int lineWidth, int columns);
// Pours text into the page's cells. A line (not a continuation) longer than a cell that
// begins with "*" is dropped. What does not fit stays in text for the next page; every
// cell filled takes at least one character of it.
void WrapIntoCells(std::string& text, PageCells& page, bool continuation = false);

// Prints lines first..last (0-based, inclusive) of the document with the title. ok is
// false when the stream could not be opened, written or closed.
void PrintDocument(int machine, int first, int last, bool& ok,
                   const std::vector<std::string>& lines, const std::string& title,
                   const PrintSettings& settings, PrintStream& stream,
                   const Clock& clock = GetClock());

// The lines the print command prints. startLine and endLine are the lines holding the
// selection's start and end (hasSelection false: no text selected). When the selection
// spans whole lines the user is asked whether only they are printed.
struct PrintRange {
    int first = 0;
    int last = -1;
};
using YesNoQuestion = std::function<bool(const std::string& caption, const std::string& text)>;
PrintRange ChoosePrintRange(int lineCount, bool hasSelection, int startLine, int endLine,
                            const YesNoQuestion& ask);

// The plain print of the print command: the range rule and PrintDocument into the stream of
// the mode (raw, or the driver's from driverStream). Returns ok; reports nothing.
struct PrintCommand {
    int machine = 0;             // CurrentMachine, 1-based, 0 for none
    std::string title;           // FileName
    bool colouringOn = false;    // TekstFormatering carries its check mark
    bool printFormatert = true;  // "Program"/"PrintFormatert"

    const std::vector<std::string>* lines = nullptr;
    bool hasSelection = false;
    int selectionStartLine = 0;
    int selectionEndLine = 0;
};
bool PrintProgram(const PrintCommand& command, const YesNoQuestion& ask,
                  const PrintSettings& settings, const DriverStreamFactory& driverStream,
                  const Clock& clock = GetClock());
// The formatted print is used when colouring is on and "PrintFormatert" is true.
bool UseFormattedPrint(bool colouringOn, bool printFormatert);
// "Utskrift feilet" through ShowMessageBox.
void ReportPrintFailed();

// Steps of the print command after the print dialog: hourglass, the formatted or the plain
// print, hourglass off, "Utskrift feilet" when it failed, and afterPrint (the printer
// selection is made again). No exception leaves it. Returns ok.
struct PrintHooks {
    YesNoQuestion askYesNo;  // "Skrive ut bare merket område?"
    std::function<void(bool on)> hourglass;
    std::function<bool()> printFormatted;     // the text control's own print; false: failed
    DriverStreamFactory driverStream;         // the printer driver's stream
    std::function<PrintSettings()> settings;  // default: LoadPrintSettings
    std::function<void()> afterPrint;         // VelgDefaultSkriver
};
bool RunPrintCommand(const PrintCommand& command, const PrintHooks& hooks,
                     const Clock& clock = GetClock());
