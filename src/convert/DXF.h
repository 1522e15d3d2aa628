#pragma once
// DXF drawings to NC programs: a single pass over the drawing's text, handing each LINE,
// CIRCLE and ARC to the output writer chosen by the machine's "DXFFormat" setting.
#include <cstdint>
#include <string>

#include "convert/NcWriter.h"
#include "settings/TextUtil.h"

inline constexpr const char* kDxfFormatCaption = "Ugyldig DXF-format";  // text: the value
inline constexpr const char* kConvertCaption = "Konvertering";
inline constexpr const char* kConvertFailedText = "Feil med konvertering fra DXF TIL NC";

enum class OutputFormat { Standard, Essi };

// "DXFFormat" of the section: "STANDARD" (the default) or "ESSI"; any other value is shown
// under "Ugyldig DXF-format" and the standard format is used.
OutputFormat ReadDxfFormat(const std::string& section);

// Converts the drawing into an NC program for the machine (0..255; the section "Maskin" + n).
// ok is false when the drawing cannot be read, the program cannot be written or the drawing
// ends inside an entity; an NC file that existed before is then left as it was.
void ConvertDxfToNc(int machineNumber, const std::string& dxfPath, const std::string& ncPath,
                    bool& ok);
// The same with the format given instead of read from the settings.
void ConvertDxfToNcAs(OutputFormat format, const std::string& dxfPath, const std::string& ncPath,
                      bool& ok);

// The NC file name a drawing converts to: the name cut after the dot of its ".DXF"
// extension, followed by "NC" (PART.DXF gives PART.NC). A name without ".DXF" gets ".NC".
std::string DxfToNcName(const std::string& dxfPath);

// The reader of one conversion: the drawing file, the last line read and not yet consumed,
// and the conversion's ok flag.
struct DxfReader {
    TextFile file;
    std::string currentLine;  // CurrentDxfLine
    bool* ok = nullptr;
    void ReadLine();          // the next line, upper-cased, into currentLine
};

// True when the first group-code line met from currentLine on is the wanted code.
bool FindGroupCode(DxfReader& r, int code);
// The value of the code as a number; 0 when the code is not found.
double ReadGroupValue(DxfReader& r, int code);
// Reads lines until currentLine is the subclass marker or the group-code line.
void SkipToMarker(DxfReader& r, const std::string& marker, const std::string& codeLine);
void ReadLineEntity(DxfReader& r, NcWriter& w);
void ReadCircleEntity(DxfReader& r, NcWriter& w);
void ReadArcEntity(DxfReader& r, NcWriter& w);

// The word-address writer: block numbers, G00/G01/G02/G03 moves, absolute coordinates with
// three decimals.
class StandardWriter : public NcWriter {
public:
    void BeginOutput(const std::string& ncPath, bool& ok) override;
    void WriteLineEntity(const NcPoint& start, const NcPoint& end) override;
    void WriteCircleEntity(const NcPoint& centre, double radius) override;
    void WriteArcEntity(const NcPoint& start, const NcPoint& end, const NcPoint& centre) override;
    void EndOutput(bool& ok) override;

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
