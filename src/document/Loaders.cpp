#include "document/Loaders.h"

#include "convert/DXF.h"

#include <array>
#include <mutex>
#include <new>

#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"
#include "settings/Visual.h"

namespace {
constexpr unsigned char kSectionSignA = 0x15;
constexpr unsigned char kSectionSignB = 0xA7;
inline bool IsSectionSign(unsigned char c) { return c == kSectionSignA || c == kSectionSignB; }

// The code page 865 letters of old DOS programs to their Windows-1252 equivalents.
constexpr std::array<unsigned char, 256> MakeDosMap() {
    std::array<unsigned char, 256> m{};
    for (int i = 0; i < 256; ++i) m[i] = static_cast<unsigned char>(i);
    m[0x86] = 0xE5;  // å
    m[0x8F] = 0xC5;  // Å
    m[0x91] = 0xE6;  // æ
    m[0x92] = 0xC6;  // Æ
    m[0x9B] = 0xF8;  // ø
    m[0x9D] = 0xD8;  // Ø
    return m;
}
constexpr std::array<unsigned char, 256> kDosMap = MakeDosMap();

// Calls fn(data, size) for each piece of the file; false when it could not be read whole
// (fault says why).
template <typename Fn>
bool ReadChunks(const std::string& name, Fn fn, InputFault* fault) {
    InputFile file;
    bool ok = file.Open(name) && file.ReadAll(fn);
    if (fault) *fault = file.Fault();
    return ok;
}

// Lines for a sink are handed on in pieces of about this size.
constexpr size_t kSinkPiece = size_t{1} << 20;

// Ends the line being built at the end of text: each line is followed by CR LF while
// building; the last break is taken off when the reading is done.
inline void EndLine(LineText& out, size_t& lineStart) {
    out.text += "\r\n";
    ++out.lineCount;
    lineStart = out.text.size();
}
inline void FinishLines(LineText& out) {
    if (out.lineCount > 0) out.text.resize(out.text.size() - 2);
}

void DropFirstLine(LineText& t) {
    if (t.lineCount == 0) return;
    size_t br = t.text.find("\r\n");
    if (br == std::string::npos) t.text.clear();
    else t.text.erase(0, br + 2);
    --t.lineCount;
}

std::mutex g_dxfMutex;
DxfConverter g_dxf;
}  // namespace

// ---------------------------------------------------------------- LineText
void LineText::Append(std::string_view line) {
    if (lineCount > 0) text += "\r\n";
    text.append(line);
    ++lineCount;
}

std::vector<std::string> LineText::Lines() const {
    std::vector<std::string> r;
    if (lineCount == 0) return r;
    size_t i = 0;
    for (;;) {
        size_t br = text.find("\r\n", i);
        if (br == std::string::npos) {
            r.push_back(text.substr(i));
            break;
        }
        r.push_back(text.substr(i, br - i));
        i = br + 2;
    }
    return r;
}

std::string LineText::Block() const {
    if (lineCount == 0) return std::string();
    return text + "\r\n";
}

// ---------------------------------------------------------------- extensions
std::string LoadExtension(std::string_view name) {
    for (size_t i = name.size(); i-- > 0;) {
        char c = name[i];
        if (c == '\\' || c == '/') return std::string();
        if (c == '.') return UpperCase1252(name.substr(i, 5));
    }
    return std::string();
}

LoadKind LoadKindOf(std::string_view name) {
    std::string x = LoadExtension(name);
    if (x.empty()) return LoadKind::Text;
    if (x == ".LOG") return LoadKind::Log;
    static const char* const kBinary[] = {".BIN", ".SPR", ".TX", ".RX", ".FPT", ".PBL"};
    for (const char* b : kBinary)
        if (x == b) return LoadKind::Binary;
    const std::string& sys = SystemFileExt();
    if (!sys.empty() && EqualsNoCase1252(x, sys)) return LoadKind::Binary;
    if (x == ".DXF") return LoadKind::Dxf;
    return LoadKind::Text;
}

bool AsksBitQuestion(std::string_view name) { return LoadExtension(name) == ".SPR"; }

std::string DxfResultName(std::string_view dxfName) {
    // The extension's own dot: a ".DXF" earlier in a folder name must not decide where the
    // program is written.
    for (size_t i = dxfName.size(); i-- > 0;) {
        char c = dxfName[i];
        if (c == '\\' || c == '/') break;
        if (c == '.') return std::string(dxfName.substr(0, i + 1)) + "NC";
    }
    return std::string(dxfName) + ".NC";
}

// ---------------------------------------------------------------- text lines
TextLineReader::TextLineReader(bool dosFormat, bool insertMode, LineText& out)
    : dos_(dosFormat), insert_(insertMode), out_(out) {
    out_.Clear();
}

TextLineReader::TextLineReader(bool dosFormat, bool insertMode, LineText& out, TextSink& sink)
    : TextLineReader(dosFormat, insertMode, out) {
    sink_ = &sink;
}

void TextLineReader::Emit(std::string_view line) {
    ++lines_;
    if (!sink_) {
        out_.Append(line);
        return;
    }
    // out_ holds whole lines, each with its break, until they go on.
    out_.text.append(line);
    out_.text += "\r\n";
    if (out_.text.size() >= kSinkPiece) {
        sink_->Piece(out_.text);
        out_.text.clear();
    }
}

void TextLineReader::Feed(const char* data, size_t size) {
    for (size_t k = 0; k < size; ++k) {
        auto c = static_cast<unsigned char>(data[k]);
        if (first_) {
            first_ = false;
            if (!insert_ && IsSectionSign(c)) {
                // The header line of a tape file: dropped with its line end, however long it
                // is, and without taking a program line with it.
                header_ = true;
                inHeader_ = true;
            }
        }
        if (inHeader_) {
            if (c == '\r' || c == '\n') inHeader_ = false;
            continue;
        }
        if (c == '\n' || c == '\r') {
            if (!line_.empty()) {
                Emit(line_);
                line_.clear();
            } else if (dos_ && c == '\r') {
                Emit(std::string_view());
            }
            continue;
        }
        if (line_.size() >= kTextLineLimit) {
            Emit(line_);
            line_.clear();
        }
        if (c == 0x1D || c == 0x1E) {
            if (insert_) continue;
            c = '|';
        }
        if (dos_) c = kDosMap[c];
        if (c >= 32) line_.push_back(static_cast<char>(c));
    }
}

void TextLineReader::Finish() {
    if (!line_.empty()) {
        Emit(line_);
        line_.clear();
    }
    if (sink_ && !out_.text.empty()) {
        sink_->Piece(out_.text);
        out_.text.clear();
    }
    if (sink_) out_.lineCount = lines_;
}

bool LoadTextFile(const std::string& name, bool dosFormat, LineText& lines, bool& header,
                  InputFault* fault) {
    TextLineReader reader(dosFormat, false, lines);
    bool ok = ReadChunks(name, [&](const char* d, size_t n) { reader.Feed(d, n); }, fault);
    reader.Finish();
    header = reader.header();
    if (!ok) lines.Clear();
    return ok;
}

bool InsertTextFile(const std::string& name, bool dosFormat, LineText& lines, InputFault* fault) {
    TextLineReader reader(dosFormat, true, lines);
    bool ok = ReadChunks(name, [&](const char* d, size_t n) { reader.Feed(d, n); }, fault);
    reader.Finish();
    if (!ok) lines.Clear();
    return ok;
}

namespace {
// The control's own reader into a sink: the bytes go on as the file has them (the control
// makes every break CR LF), without a header line, and the last line gets a break when the
// file ends without one. Counts the lines.
class AsIsStream {
public:
    explicit AsIsStream(TextSink& sink) : sink_(sink) {}
    void Feed(const char* d, size_t n) {
        size_t k = 0;
        if (first_ && n > 0) {
            first_ = false;
            inHeader_ = IsSectionSign(static_cast<unsigned char>(d[0]));
        }
        if (skipLf_ && k < n) {
            skipLf_ = false;
            if (d[k] == '\n') ++k;
        }
        if (inHeader_) {
            while (k < n && d[k] != '\r' && d[k] != '\n') ++k;
            if (k == n) return;
            inHeader_ = false;
            if (d[k] == '\r') {
                if (k + 1 < n) {
                    if (d[k + 1] == '\n') ++k;
                } else {
                    skipLf_ = true;
                }
            }
            ++k;
        }
        if (k >= n) return;
        std::string_view piece(d + k, n - k);
        for (size_t i = 0; i < piece.size(); ++i) {
            char c = piece[i];
            if (c == '\n' && lastCr_) {
                lastCr_ = false;
                continue;  // the LF of a CR LF: one break
            }
            lastCr_ = c == '\r';
            if (c == '\r' || c == '\n') ++lines_;
        }
        endsWithBreak_ = piece.back() == '\r' || piece.back() == '\n';
        any_ = true;
        sink_.Piece(piece);
    }
    // The break after the last line; the number of lines.
    size_t Finish() {
        if (any_ && !endsWithBreak_) {
            sink_.Piece("\r\n");
            ++lines_;
        }
        return lines_;
    }

private:
    TextSink& sink_;
    bool first_ = true, inHeader_ = false, skipLf_ = false, lastCr_ = false;
    bool any_ = false, endsWithBreak_ = false;
    size_t lines_ = 0;
};
}  // namespace

bool LoadTextAsIs(const std::string& name, LineText& lines, bool& header, InputFault* fault) {
    lines.Clear();
    header = false;
    std::string& text = lines.text;
    bool pendingCr = false;  // a CR at the end of the last chunk: its LF may follow
    size_t lineStart = 0;
    bool ok = ReadChunks(name, [&](const char* d, size_t n) {
        text.reserve(text.size() + n + n / 16);
        size_t k = 0;
        if (pendingCr && n > 0) {
            pendingCr = false;
            if (d[0] == '\n') k = 1;
        }
        while (k < n) {
            // Copy the run up to the next line end at once.
            size_t e = k;
            while (e < n && d[e] != '\r' && d[e] != '\n') ++e;
            text.append(d + k, e - k);
            if (e == n) break;
            EndLine(lines, lineStart);
            if (d[e] == '\r') {
                if (e + 1 < n) {
                    if (d[e + 1] == '\n') ++e;
                } else {
                    pendingCr = true;
                }
            }
            k = e + 1;
        }
    }, fault);
    if (!ok) {
        lines = LineText();
        return false;
    }
    if (text.size() > lineStart) EndLine(lines, lineStart);
    FinishLines(lines);
    // The first line is not empty exactly when the text does not begin with its line end.
    header = !text.empty() && IsSectionSign(static_cast<unsigned char>(text[0]));
    return ok;
}

// ---------------------------------------------------------------- binary files
bool LoadBinaryFile(const std::string& name, bool strip, LineText& lines, InputFault* fault) {
    static const std::array<std::string, 256> kVisual = [] {
        std::array<std::string, 256> v;
        for (int b = 0; b < 256; ++b) v[b] = CharToVisual(static_cast<unsigned char>(b));
        return v;
    }();
    lines.Clear();
    std::string& text = lines.text;
    size_t lineStart = 0;
    unsigned char prev = 0x20;
    bool ok = ReadChunks(name, [&](const char* d, size_t n) {
        for (size_t k = 0; k < n; ++k) {
            auto b = static_cast<unsigned char>(d[k]);
            if (strip) b &= 0x7F;
            bool prevEnd = prev == 10 || prev == 13;
            bool isEnd = b == 10 || b == 13;
            if ((prevEnd && !isEnd) || text.size() - lineStart >= kBinaryLineLimit)
                EndLine(lines, lineStart);
            prev = b;
            text += kVisual[b];
        }
    }, fault);
    if (!ok) {
        lines = LineText();
        return false;
    }
    if (text.size() > lineStart) EndLine(lines, lineStart);
    FinishLines(lines);
    return ok;
}

// ---------------------------------------------------------------- the document
void SetDxfConverter(DxfConverter converter) {
    std::lock_guard<std::mutex> lock(g_dxfMutex);
    g_dxf = std::move(converter);
}

namespace {
// The text path into a sink. A program up to kLoadWholeLimit is read whole before the sink
// is begun, so a file that fails anywhere leaves the window's text as it was; a larger one
// goes to the sink as it is read (it is never held twice), and the sink is begun only once
// its first piece has been read.
bool StreamText(const std::string& n, const LoadOptions& options, TextSink& sink,
                LoadedDocument& doc) {
    InputFile file;
    if (!file.Open(n)) {
        doc.fault = file.Fault();
        return false;
    }
    const size_t size = file.Size();
    std::string whole;
    const bool readFirst = size <= kLoadWholeLimit;
    if (readFirst) {
        whole.reserve(size);
        if (!file.ReadAll([&](const char* d, size_t k) { whole.append(d, k); })) {
            doc.fault = file.Fault();
            return false;
        }
    }
    AsIsStream asIs(sink);
    LineText pending;
    TextLineReader own(options.dosFormat, false, pending, sink);
    // The program's own loader drops a header line itself.
    auto feed = [&](const char* d, size_t k) {
        if (!doc.streamed) {
            sink.Begin(size);
            doc.streamed = true;
        }
        if (options.tekstFormat) asIs.Feed(d, k);
        else own.Feed(d, k);
    };
    bool ok = true;
    if (readFirst) {
        if (!whole.empty()) feed(whole.data(), whole.size());
        std::string().swap(whole);
    } else {
        ok = file.ReadAll(feed);
        doc.fault = file.Fault();
    }
    if (!ok) return false;
    if (!doc.streamed) {  // an empty file
        sink.Begin(0);
        doc.streamed = true;
    }
    if (options.tekstFormat) {
        doc.text.lineCount = asIs.Finish();
    } else {
        own.Finish();
        doc.text.lineCount = own.lineCount();
    }
    return true;
}
}  // namespace

LoadedDocument ReadDocument(const std::string& name, const LoadOptions& options, TextSink* sink) {
    LoadedDocument doc;
    doc.resultName = name;
    doc.kind = LoadKindOf(name);
    std::string n = name;
    // The failure of a file that is there, or of a missing one where the reader reports it.
    auto failed = [&](InputFault fault) {
        doc.fault = fault;
        ShowMessageBox(kLoadFailCaption, LoadFailureText(n, fault));
        doc.text = LineText();
        doc.replaced = false;
        doc.recordFile = false;
    };
    try {
        switch (doc.kind) {
            case LoadKind::Log:
                doc.replaced = LoadColouredLog(n, doc.log);
                return doc;
            case LoadKind::Binary: {
                bool eight = true;
                if (AsksBitQuestion(n) && options.askEightBits) eight = options.askEightBits();
                InputFault fault = InputFault::None;
                if (!LoadBinaryFile(n, !eight, doc.text, &fault)) {
                    if (fault != InputFault::Missing) {
                        // Showing an empty text under the name of a file that is there
                        // would let a save wipe it out.
                        failed(fault);
                        return doc;
                    }
                    doc.fault = fault;  // a missing file: an empty text, no message
                }
                doc.replaced = true;
                return doc;
            }
            case LoadKind::Dxf: {
                std::string r = DxfResultName(n);
                DxfConverter conv;
                {
                    std::lock_guard<std::mutex> lock(g_dxfMutex);
                    conv = g_dxf;
                }
                bool ok = false;
                std::string leftOut;
                if (conv) ok = conv(options.currentMachine, n, r);
                else ConvertDxfToNc(options.currentMachine, n, r, ok, &leftOut);
                if (!ok) {
                    ShowMessageBox(kDxfFailCaption, kDxfFailText);
                    return doc;  // the drawing's own name, nothing loaded
                }
                // What the program leaves out is told; the program opens all the same.
                if (!leftOut.empty()) ShowMessageBox(kDxfFailCaption, leftOut);
                doc.resultName = r;
                n = r;
                break;
            }
            case LoadKind::Text:
                break;
        }
        if (sink) {
            if (!StreamText(n, options, *sink, doc)) {
                // The own reader takes a missing file for a new, empty program.
                if (doc.fault == InputFault::Missing && !options.tekstFormat) {
                    sink->Begin(0);
                    doc.streamed = true;
                } else {
                    InputFault fault = doc.fault;
                    failed(fault);
                    return doc;
                }
            }
        } else {
            bool header = false;
            InputFault fault = InputFault::None;
            if (options.tekstFormat) {
                if (!LoadTextAsIs(n, doc.text, header, &fault)) {
                    failed(fault);
                    return doc;
                }
                if (header) DropFirstLine(doc.text);
            } else {
                // The program's own loader drops a header line itself; a missing file is a
                // new, empty program.
                if (!LoadTextFile(n, options.dosFormat, doc.text, header, &fault) &&
                    fault != InputFault::Missing) {
                    failed(fault);
                    return doc;
                }
            }
            doc.fault = fault;
        }
        doc.replaced = true;
        doc.recordFile = true;
    } catch (const std::exception&) {
        // Out of memory on a huge file and the like.
        doc.log = ColouredLog();
        failed(InputFault::TooLarge);
    }
    return doc;
}
