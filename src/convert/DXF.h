#pragma once
// DXF drawings to NC programs: the drawing is read (text or binary DXF), cut into lines,
// arcs, circles and points, put in the order of cutting the machine asks for, and handed to
// the output writer chosen by the machine's "DXFFormat" setting.
#include <cstdint>
#include <string>

#include "convert/NcWriter.h"
#include "settings/TextUtil.h"

inline constexpr const char* kDxfFormatCaption = "Ugyldig DXF-format";  // text: the value
inline constexpr const char* kConvertCaption = "Konvertering";
inline constexpr const char* kConvertFailedText = "Feil med konvertering fra DXF TIL NC";
// Followed by the counts of what was left out: "12 TEXT, 3 HATCH".
inline constexpr const char* kLeftOutText = "Tegningen har elementer som ikke er tatt med: ";

struct LeftOutCounts;

enum class OutputFormat { Standard, Essi };
// "DXFRekkefolge": "FIL" (the file's order, the default) or "KORTEST".
enum class DxfOrder { File, Shortest };
inline constexpr double kDefaultDxfTolerance = 0.01;

struct DxfOptions {
    OutputFormat format = OutputFormat::Standard;
    DxfOrder order = DxfOrder::File;
    double tolerance = kDefaultDxfTolerance;  // "DXFToleranse": chord tolerance, drawing units
    // A drawing that needs more lines, arcs and points than this is refused as damaged
    // (arrays of nested inserts can multiply a small file beyond any program).
    long long maxPieces = 10'000'000;
};

// "DXFFormat" of the section: "STANDARD" (the default) or "ESSI"; any other value is shown
// under "Ugyldig DXF-format" and the standard format is used.
OutputFormat ReadDxfFormat(const std::string& section);

// "DXFFormat", "DXFRekkefolge" and "DXFToleranse" of the machine's section. An order other
// than "KORTEST" is the file's order; a tolerance that is not a positive number is 0.01.
DxfOptions ReadDxfOptions(const std::string& section);

// Converts the drawing into an NC program for the machine (0..255; the section "Maskin" + n).
// ok is false when the file is no DXF drawing, cannot be read, stops inside a section, or the
// program cannot be written; an NC file that existed before is then left as it was. On
// success leftOut (when given) receives the text that reports what the program leaves out,
// empty when nothing was.
void ConvertDxfToNc(int machineNumber, const std::string& dxfPath, const std::string& ncPath,
                    bool& ok, std::string* leftOut = nullptr);
// The same with the options given instead of read from the settings.
void ConvertDrawing(const DxfOptions& options, const std::string& dxfPath, const std::string& ncPath,
                    bool& ok, std::string* leftOut = nullptr);
// The same in the file's order with the default tolerance.
void ConvertDxfToNcAs(OutputFormat format, const std::string& dxfPath, const std::string& ncPath,
                      bool& ok);

// "Tegningen har elementer som ikke er tatt med: 12 TEXT, 3 HATCH", the most frequent type
// first; empty when nothing was left out.
std::string LeftOutText(const LeftOutCounts& counts);

// The NC file name a drawing converts to: the name cut after the dot of its ".DXF"
// extension, followed by "NC" (PART.DXF gives PART.NC). A name without ".DXF" gets ".NC".
std::string DxfToNcName(const std::string& dxfPath);

// The word-address writer: block numbers, G00/G01/G02/G03 moves, absolute coordinates with
// three decimals.
class StandardWriter : public NcWriter {
public:
    void BeginOutput(const std::string& ncPath, bool& ok) override;
    void WriteLineEntity(const NcPoint& start, const NcPoint& end) override;
    void WriteCircleEntity(const NcPoint& centre, double radius) override;
    void WriteArcEntity(const NcPoint& start, const NcPoint& end, const NcPoint& centre) override;
    void WritePointEntity(const NcPoint& at) override;
    void EndOutput(bool& ok) override;
    NcPoint CurrentPosition() const override { return pos_; }
    bool SamePoint(const NcPoint& a, const NcPoint& b) const override;
    double SamePointReach() const override;

private:
    void BlockNumber(std::string& line);
    void GWord(std::string& line, int g);
    void AxisWord(std::string& line, char letter, double value, double current);
    void LinearMove(int g, const NcPoint& target);
    void ArcMove(int g, const NcPoint& end, const NcPoint& centre);
    void Line(const std::string& text);

    TextFile file_;
    bool* ok_ = nullptr;
    bool dummyOk_ = false;
    NcPoint pos_;
    int lastG_ = -1;
    int64_t counter_ = 0;
};

// The axis text of the word-address writer: three decimals, "." as separator, no sign on a
// value that rounds to zero (as FormatFixed(0, 3, v)).
void AppendFixed3(std::string& out, double v);
