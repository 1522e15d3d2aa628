#include "print/Utskrift.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>

#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

// ------------------------------------------------------------------ settings
bool RawModeInForce(const std::string& skriver, bool matrise) {
    return matrise && skriver.size() >= 3;
}

int RoundDivideHalfEven(int n, int d) {
    int q = n / d;
    int r = n % d;
    if (2 * r > d || (2 * r == d && (q % 2) != 0)) ++q;
    return q;
}

PrinterChoice ReadPrinterChoice() {
    return {ReadIniString(kPrintSection, "Skriver", "PRN"),
            ReadIniBool(kPrintSection, "Matrise", false)};
}

PrintSettings LoadPrintSettings() {
    PrintSettings s;
    static_cast<PrinterChoice&>(s) = ReadPrinterChoice();
    s.rawMode = RawModeInForce(s.skriver, s.matrise);
    // Control-code notation, converted and then upper-cased.
    s.initPrn = ReadIniString(kPrintSection, "InitPrn", "", true);
    s.exitPrn = ReadIniString(kPrintSection, "ExitPrn", "", true);
    s.fontSizePrn = ReadIniInt(kPrintSection, "FontSizePrn", 12);
    bool fixedLayout = s.fontSizePrn < 8 || s.rawMode;
    s.lineWidth = fixedLayout ? 75 : RoundDivideHalfEven(900, s.fontSizePrn);
    int pageDefault = fixedLayout ? 50 : RoundDivideHalfEven(600, s.fontSizePrn);
    if (pageDefault < 1) pageDefault = 1;
    s.pageLength = ReadIniInt(kPrintSection, "SideLengde", pageDefault);
    // A page needs a line; a zero or negative length would print nothing sensible.
    if (s.pageLength < 1) s.pageLength = pageDefault;
    s.kolonner = ReadIniInt(kPrintSection, "Kolonner", 1);
    if (s.kolonner < 1 || s.kolonner > 3) s.kolonner = 1;
    return s;
}

int PrintColumns(int machine, const PrintSettings& settings) {
    int columns = settings.kolonner;
    if (machine > 0)
        columns = ReadIniInt(MachineSection(machine - 1), "Kolonner", settings.kolonner);
    if (columns < 1 || columns > 3) columns = 1;
    return columns;
}

std::string RawPrinterName(const std::string& skriver) {
    std::string name = skriver;
    if (!name.empty() && name.back() == ':') name.pop_back();
    std::string upper = UpperCase1252(name);
    if (upper == "PRN") return "/dev/lp0";
    if (upper.size() == 4 && upper.compare(0, 3, "LPT") == 0 && upper[3] >= '1' && upper[3] <= '9')
        return "/dev/lp" + std::to_string(upper[3] - '1');
    return skriver;
}

// ------------------------------------------------------------------ raw stream
bool RawPrintStream::Open() {
    std::string name = RawPrinterName(skriver_);
    // A printer device that is not there is a failed print, not a new file among the devices.
    std::string native = ResolvePath(name);
    struct stat st;
    if (native.rfind("/dev/", 0) == 0 && ::stat(native.c_str(), &st) != 0) {
        ok_ = false;
        return false;
    }
    OpenTextForWrite(name, file_, ok_);
    return ok_;
}

bool RawPrintStream::Write(std::string_view bytes) {
    WriteText(file_, std::string(bytes), ok_);
    return ok_;
}

bool RawPrintStream::Close() {
    bool closed = false;
    CloseText(file_, closed);
    return closed;
}

// ------------------------------------------------------------------ layout
int CellWidth(int lineWidth, int columns) {
    int width = lineWidth / std::max(columns, 1) - kPrintMarginWidth;
    return std::clamp(width, 1, kMaxCellWidth);
}

namespace {
bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }
}  // namespace

void WrapIntoCells(std::string& text, PageCells& page, bool continuation) {
    const size_t width = static_cast<size_t>(std::max(page.width, 1));
    if (!continuation && text.size() > width && text[0] == '*') {
        text.clear();  // a comment line of stars wider than a cell is left out
        return;
    }
    while (!text.empty() && !page.Full() &&
           page.cells.size() < static_cast<size_t>(kMaxPageCells)) {
        if (text.size() <= width) {
            page.cells.push_back(text);
            text.clear();
            break;
        }
        // Break position k, 1-based: the cell takes the characters before k and the text
        // goes on from k. With a blank among characters 2 .. width + 1 the break is the last
        // blank at or before the width (at least 2). When the only such blank stands just
        // past the width, the words before it fill the cell exactly and the break is there:
        // breaking at 2 would put one character in the cell and split the first word
        // without a blank to mark it. Without a blank, a blank is inserted before the last
        // capital letter within the width, or at the width.
        size_t k = 0;
        bool insert = false;
        bool blankInReach = false;
        for (size_t p = 2; p <= width + 1; ++p)
            if (text[p - 1] == ' ') {
                blankInReach = true;
                break;
            }
        if (blankInReach) {
            for (size_t p = width; p >= 2; --p)
                if (text[p - 1] == ' ') {
                    k = p;
                    break;
                }
            if (k == 0) k = width + 1;
        } else {
            for (size_t p = width; p >= 1; --p)
                if (IsCapital(text[p - 1])) {
                    k = p;
                    break;
                }
            if (k == 0) k = width;
            insert = true;
        }
        size_t taken = k - 1;
        size_t rest = text.size() - taken + (insert ? 1 : 0);
        if (rest >= text.size()) {
            // A capital in the first two places gives no progress: cut at the cell width,
            // keeping the blank in front of the continuation when the width allows it.
            if (width >= 3) {
                taken = width - 1;
                insert = true;
            } else {
                taken = width;
                insert = false;
            }
        }
        page.cells.push_back(text.substr(0, taken));
        text = (insert ? std::string(" ") : std::string()) + text.substr(taken);
    }
}

namespace {
class PagePrinter {
public:
    PagePrinter(const PrintSettings& settings, PrintStream& stream, const Clock& clock,
                const std::string& title, bool& ok)
        : settings_(settings), stream_(stream), clock_(clock), title_(title), ok_(ok) {
        starLine_ = kPrintMargin;
        while (static_cast<int>(starLine_.size()) < settings.lineWidth) starLine_ += '*';
    }

    void Text(const std::string& text) {
        if (!ok_) return;
        if (!stream_.Write(text)) ok_ = false;
    }
    void Line(const std::string& text) { Text(text + "\r\n"); }

    // The margin and the line's first LineWidth - 5 characters.
    void FullWidthLine(const std::string& text) {
        size_t room = static_cast<size_t>(std::max(settings_.lineWidth - kPrintMarginWidth, 0));
        Line(kPrintMargin + text.substr(0, std::min(room, text.size())));
    }

    void Header() {
        Line("");
        std::string head = kPrintMargin + title_;
        while (static_cast<int>(head.size()) < settings_.lineWidth) head += ' ';
        Line(head);
        Line(starLine_);
    }

    void Footer(int page, bool lastPage) {
        Line(starLine_);
        LocalTime now = clock_.Now();
        std::string side = "Side: " + std::to_string(page);
        std::string text = std::string(kPrintMargin) + "Dato: " + clock_.ShortDate(now) + " " +
                           Clock::HourMinute(now);
        while (static_cast<int>(text.size() + side.size()) < settings_.lineWidth) text += ' ';
        Text(text + side);
        // The driver ends the job with the last page; a matrix printer is fed to the next one.
        if (!lastPage || settings_.rawMode) Text(std::string(1, kFormFeed));
    }

    bool ok() const { return ok_; }

private:
    const PrintSettings& settings_;
    PrintStream& stream_;
    const Clock& clock_;
    const std::string& title_;
    bool& ok_;
    std::string starLine_;
};

void PrintSingleColumn(PagePrinter& out, int first, int last, const std::vector<std::string>& lines,
                       const PrintSettings& settings) {
    const int documentLast = static_cast<int>(lines.size()) - 1;
    const bool continuous = settings.pageLength >= kContinuousPageLength;
    int onPage = 0;
    int page = 1;
    for (int i = first; i <= last && out.ok(); ++i) {
        if (onPage == 0) out.Header();
        out.FullWidthLine(lines[static_cast<size_t>(i)]);
        ++onPage;
        if (!continuous && onPage == settings.pageLength) {
            out.Footer(page, i == documentLast);
            ++page;
            onPage = 0;
        }
    }
    if (onPage > 0 && out.ok()) {
        if (!continuous)
            for (; onPage < settings.pageLength; ++onPage) out.Line("");
        out.Footer(page, true);
    }
}

void PrintColumnPage(PagePrinter& out, const PageCells& cells, int rows, int columns) {
    out.Header();
    for (int r = 0; r < rows && out.ok(); ++r) {
        std::string row;
        for (int c = 0; c < columns; ++c) {
            size_t index =
                static_cast<size_t>(c) * static_cast<size_t>(rows) + static_cast<size_t>(r);
            row += kPrintMargin;
            row += PadText(index < cells.cells.size() ? cells.cells[index] : std::string(),
                           cells.width, false);
        }
        out.Line(row);
    }
}

void PrintInColumns(PagePrinter& out, int columns, int first, int last,
                    const std::vector<std::string>& lines, const PrintSettings& settings) {
    const int count = static_cast<int>(lines.size());
    const int width = CellWidth(settings.lineWidth, columns);
    // As many rows as the page buffer holds in every column.
    int rows = settings.pageLength;
    if (rows * columns > kMaxPageCells) rows = kMaxPageCells / columns;

    int i = first;
    // Page 1: a heading of star lines goes out at full width ahead of the page header and
    // takes a row from every column.
    int starRows = 0;
    while (out.ok() && i <= last && !lines[static_cast<size_t>(i)].empty() &&
           lines[static_cast<size_t>(i)][0] == '*' && i + 1 < rows - 5 && i + 1 < count) {
        out.FullWidthLine(lines[static_cast<size_t>(i)]);
        ++i;
        ++starRows;
    }

    std::string pending;
    for (int page = 1; out.ok(); ++page) {
        const int pageRows = page == 1 ? rows - starRows : rows;
        PageCells cells;
        cells.capacity = pageRows * columns;
        cells.width = width;
        while (!cells.Full()) {
            if (!pending.empty()) {
                WrapIntoCells(pending, cells, true);
                continue;
            }
            if (i > last) break;
            pending = lines[static_cast<size_t>(i++)];
            WrapIntoCells(pending, cells, false);
        }
        const bool exhausted = i > last && pending.empty();
        if (cells.cells.empty() && !(page == 1 && starRows > 0)) break;  // nothing left to show
        PrintColumnPage(out, cells, pageRows, columns);
        out.Footer(page, exhausted || (i >= count && pending.empty()));
        if (exhausted) break;
    }
}
}  // namespace

void PrintDocument(int machine, int first, int last, bool& ok,
                   const std::vector<std::string>& lines, const std::string& title,
                   const PrintSettings& settings, PrintStream& stream, const Clock& clock) {
    const int columns = PrintColumns(machine, settings);
    ok = stream.Open();
    if (!ok) return;
    PagePrinter out(settings, stream, clock, title, ok);
    if (!settings.initPrn.empty()) out.Text(settings.initPrn);
    first = std::max(first, 0);
    last = std::min(last, static_cast<int>(lines.size()) - 1);
    if (columns == 1)
        PrintSingleColumn(out, first, last, lines, settings);
    else
        PrintInColumns(out, columns, first, last, lines, settings);
    if (ok && !settings.exitPrn.empty()) out.Text(settings.exitPrn);
    if (!stream.Close()) ok = false;
}

// ------------------------------------------------------------------ print command
PrintRange ChoosePrintRange(int lineCount, bool hasSelection, int startLine, int endLine,
                            const YesNoQuestion& ask) {
    PrintRange range{0, lineCount - 1};
    if (!hasSelection) return range;
    // A selection that ends inside a line leaves that line out; one within a single line
    // prints the whole program without asking.
    int s = std::max(startLine, 0);
    int e = std::min(endLine - 1, lineCount - 1);
    if (s <= e && ask && ask(kPrintCaption, kPrintSelectionQuestion)) range = {s, e};
    return range;
}

bool PrintProgram(const PrintCommand& command, const YesNoQuestion& ask,
                  const PrintSettings& settings, const DriverStreamFactory& driverStream,
                  const Clock& clock) {
    static const std::vector<std::string> kNoLines;
    const std::vector<std::string>& lines = command.lines ? *command.lines : kNoLines;
    PrintRange range = ChoosePrintRange(static_cast<int>(lines.size()), command.hasSelection,
                                        command.selectionStartLine, command.selectionEndLine, ask);
    std::unique_ptr<PrintStream> stream;
    if (settings.rawMode)
        stream = std::make_unique<RawPrintStream>(settings.skriver);
    else if (driverStream)
        stream = driverStream(settings);
    if (!stream) return false;
    bool ok = false;
    PrintDocument(command.machine, range.first, range.last, ok, lines, command.title, settings,
                  *stream, clock);
    return ok;
}

bool UseFormattedPrint(bool colouringOn, bool printFormatert) {
    return colouringOn && printFormatert;
}

void ReportPrintFailed() { ShowMessageBox(kPrintCaption, kPrintFailedText); }

bool RunPrintCommand(const PrintCommand& command, const PrintHooks& hooks, const Clock& clock) {
    bool ok = false;
    if (hooks.hourglass) hooks.hourglass(true);
    try {
        if (UseFormattedPrint(command.colouringOn, command.printFormatert)) {
            ok = hooks.printFormatted && hooks.printFormatted();
        } else {
            PrintSettings settings = hooks.settings ? hooks.settings() : LoadPrintSettings();
            ok = PrintProgram(command, hooks.askYesNo, settings, hooks.driverStream, clock);
        }
    } catch (const std::exception&) {
        ok = false;
    } catch (...) {
        ok = false;
    }
    if (hooks.hourglass) hooks.hourglass(false);
    if (!ok) ReportPrintFailed();
    if (hooks.afterPrint) hooks.afterPrint();
    return ok;
}
