#pragma once
// File types on load: which reader a file goes to by its extension, and the byte-to-line rules
// of the readers. The window only puts the resulting text into its control.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "nctools/Colour.h"
#include "settings/InputFile.h"

inline constexpr const char* kDxfFailCaption = "Konvertering";
inline constexpr const char* kDxfFailText = "Feil med konvertering fra DXF TIL NC";
inline constexpr const char* kBinaryQuestionCaption = "Lese binærfil";
inline constexpr const char* kBinaryQuestionText = "Laste inn som 8 bits kode (Nei = 7 bit) ?";

inline constexpr size_t kTextLineLimit = 251;    // the program's own text loaders
// A program up to this size is read whole before the window's text is replaced, so a file
// that fails while it is read leaves the document as it was; a larger one goes straight into
// the text control as it is read, and one that fails on the way leaves an empty document
// without a name.
inline constexpr size_t kLoadWholeLimit = size_t{16} << 20;
inline constexpr size_t kBinaryLineLimit = 250;  // characters of notation per binary line

// A list of lines as the text control holds them: joined with CR LF, no break after the last
// line. An empty text with lineCount 1 is one empty line.
struct LineText {
    std::string text;
    size_t lineCount = 0;
    void Append(std::string_view line);
    void Clear() { text.clear(); lineCount = 0; }
    std::vector<std::string> Lines() const;  // for small callers and tests
    // The lines, each followed by CR LF: to insert before a line of the control.
    std::string Block() const;
};

// Extension of a file name as the loader compares it: from the last dot after the last "\"
// or "/", at most five characters, upper-cased; empty without a dot.
std::string LoadExtension(std::string_view name);

enum class LoadKind { Text, Log, Binary, Dxf };
// ".LOG", the binary extensions (".BIN", ".SPR", ".TX", ".RX", ".FPT", SystemFileExt(),
// ".PBL"), ".DXF", and text for everything else.
LoadKind LoadKindOf(std::string_view name);
// Whether loading the binary file asks the 7 or 8 bit question (".SPR").
bool AsksBitQuestion(std::string_view name);
// The NC program made from a drawing: the name up to and including the dot of its ".DXF"
// extension, followed by "NC" (PART.DXF gives PART.NC).
std::string DxfResultName(std::string_view dxfName);

// Where the text of a loaded document goes piece by piece (the window's text control), so
// that a large program is never held twice: once read and once in the control.
class TextSink {
public:
    virtual ~TextSink() = default;
    // The file is open and its reading starts: the old text may go now. sizeHint is the size
    // of the file in bytes.
    virtual void Begin(size_t sizeHint) = 0;
    // The next piece of the text. Lines end in CR LF, CR or LF; a CR LF may be split between
    // two pieces. The last line of the text ends with a break.
    virtual void Piece(std::string_view bytes) = 0;
};

// The program's own text loader. False when the file cannot be read whole (lines stay
// empty; fault, when given, says why). header is set when the first byte of the file is
// 0x15 or 0xA7.
bool LoadTextFile(const std::string& name, bool dosFormat, LineText& lines, bool& header,
                  InputFault* fault = nullptr);
// The lines of a file for insertion at the caret: as LoadTextFile, but 0x1D and 0x1E are
// dropped like other control bytes and a header line is not recognised.
bool InsertTextFile(const std::string& name, bool dosFormat, LineText& lines,
                    InputFault* fault = nullptr);
// The text control's own reader: the lines as the file has them (CR LF, CR or LF end a line;
// blank lines kept; no length limit, no mapping). header when the first line is not empty and
// begins with 0x15 or 0xA7.
bool LoadTextAsIs(const std::string& name, LineText& lines, bool& header,
                  InputFault* fault = nullptr);
// Binary and tape files, every byte in the control-code notation; strip removes the parity
// bit (the 7-bit answer). A line ends after the run of CR and LF bytes that closes it, or once
// it holds 250 characters of notation.
bool LoadBinaryFile(const std::string& name, bool strip, LineText& lines,
                    InputFault* fault = nullptr);

// The same rules over bytes in memory (used by the file readers, the benchmark and tests).
class TextLineReader {
public:
    TextLineReader(bool dosFormat, bool insertMode, LineText& out);
    // The lines go on to a sink instead, each followed by CR LF, in pieces of about a
    // megabyte (out holds only what has not gone yet).
    TextLineReader(bool dosFormat, bool insertMode, LineText& out, TextSink& sink);
    void Feed(const char* data, size_t size);
    void Finish();
    bool header() const { return header_; }
    size_t lineCount() const { return lines_; }

private:
    void Emit(std::string_view line);
    bool dos_, insert_;
    LineText& out_;
    TextSink* sink_ = nullptr;
    size_t lines_ = 0;
    std::string line_;
    bool first_ = true;        // the next byte is the first of the file
    bool inHeader_ = false;    // the bytes of the header line are being skipped
    bool header_ = false;
};

// The drawing converter (ConvertDxfToNc of the DXF reader): machine number, drawing, NC file;
// true on success. Tests may install one; without one ConvertDxfToNc converts.
using DxfConverter = std::function<bool(int machine, const std::string& dxfPath,
                                        const std::string& ncPath)>;
void SetDxfConverter(DxfConverter converter);

struct LoadOptions {
    int currentMachine = 0;    // CurrentMachine of the window
    bool tekstFormat = true;   // Program/TekstFormat: the control's own reader for text
    bool dosFormat = false;    // Program/DOSFormat
    // The 7 or 8 bit question for ".SPR" files: true for 8 bits. Unset means 8 bits.
    std::function<bool()> askEightBits;
};

struct LoadedDocument {
    LoadKind kind = LoadKind::Text;
    std::string resultName;  // the name LoadDocument returns (the NC file for a drawing)
    // The control's text is to be replaced by text (Text and Binary) or by log (Log). False
    // when nothing was loaded: the text, the document's name and its state stay as they were.
    bool replaced = false;
    LineText text;
    ColouredLog log;
    // Text path only: clear the modified flag, CheckSizeAndRecolour, add resultName to the
    // recent files and take its FileStamp.
    bool recordFile = false;
    // The text went to the sink (text above is empty). With replaced false the sink was
    // begun but the file was not read whole: what it received is not the file.
    bool streamed = false;
    // Why the file could not be read (None when it was); Missing: nothing by that name.
    InputFault fault = InputFault::None;
};

// Reads a document by its extension. Failures are reported through ShowMessageBox in the
// system's words ("Feil med konvertering fra DXF TIL NC", "Feil med lasting av " + name).
// With a sink, the text of a program (the text path) goes to it as it is read; binary files
// and logs come whole in the result.
LoadedDocument ReadDocument(const std::string& name, const LoadOptions& options,
                            TextSink* sink = nullptr);
