#include "document/Loaders.h"

#include "convert/DXF.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
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

// A file opened for reading, or -1. A folder is refused here (Linux would open it).
int OpenForRead(const std::string& name) {
    int fd = ::open(ResolvePath(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    return fd;
}

// Calls fn(data, size) for each chunk of the file; false when it cannot be opened.
template <typename Fn>
bool ReadChunks(const std::string& name, Fn fn) {
    int fd = OpenForRead(name);
    if (fd < 0) return false;
    static constexpr size_t kChunk = 1 << 17;
    std::string buf(kChunk, '\0');
    for (;;) {
        ssize_t got = ::read(fd, buf.data(), kChunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // a read error ends the file: what was read is kept
        fn(buf.data(), static_cast<size_t>(got));
    }
    ::close(fd);
    return true;
}

bool IsThere(const std::string& name) {
    struct stat st;
    return ::stat(ResolvePath(name).c_str(), &st) == 0;
}

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
                out_.Append(line_);
                line_.clear();
            } else if (dos_ && c == '\r') {
                out_.Append(std::string_view());
            }
            continue;
        }
        if (line_.size() >= kTextLineLimit) {
            out_.Append(line_);
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
        out_.Append(line_);
        line_.clear();
    }
}

bool LoadTextFile(const std::string& name, bool dosFormat, LineText& lines, bool& header) {
    TextLineReader reader(dosFormat, false, lines);
    bool ok = ReadChunks(name, [&](const char* d, size_t n) { reader.Feed(d, n); });
    reader.Finish();
    header = reader.header();
    return ok;
}

bool InsertTextFile(const std::string& name, bool dosFormat, LineText& lines) {
    TextLineReader reader(dosFormat, true, lines);
    bool ok = ReadChunks(name, [&](const char* d, size_t n) { reader.Feed(d, n); });
    reader.Finish();
    return ok;
}

bool LoadTextAsIs(const std::string& name, LineText& lines, bool& header) {
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
    });
    if (text.size() > lineStart) EndLine(lines, lineStart);
    FinishLines(lines);
    // The first line is not empty exactly when the text does not begin with its line end.
    header = !text.empty() && IsSectionSign(static_cast<unsigned char>(text[0]));
    return ok;
}

// ---------------------------------------------------------------- binary files
bool LoadBinaryFile(const std::string& name, bool strip, LineText& lines) {
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
    });
    if (text.size() > lineStart) EndLine(lines, lineStart);
    FinishLines(lines);
    return ok;
}

// ---------------------------------------------------------------- the document
void SetDxfConverter(DxfConverter converter) {
    std::lock_guard<std::mutex> lock(g_dxfMutex);
    g_dxf = std::move(converter);
}

LoadedDocument ReadDocument(const std::string& name, const LoadOptions& options) {
    LoadedDocument doc;
    doc.resultName = name;
    doc.kind = LoadKindOf(name);
    std::string n = name;
    try {
        switch (doc.kind) {
            case LoadKind::Log:
                doc.replaced = LoadColouredLog(n, doc.log);
                return doc;
            case LoadKind::Binary: {
                bool eight = true;
                if (AsksBitQuestion(n) && options.askEightBits) eight = options.askEightBits();
                bool opened = LoadBinaryFile(n, !eight, doc.text);
                if (!opened && IsThere(n)) {
                    // Showing an empty text under the name of a file that is there would
                    // let a save wipe it out.
                    ShowMessageBox(kLoadFailCaption, kLoadFailText + n);
                    doc.text.Clear();
                    return doc;
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
        bool header = false;
        if (options.tekstFormat) {
            if (!LoadTextAsIs(n, doc.text, header)) {
                ShowMessageBox(kLoadFailCaption, kLoadFailText + n);
                doc.text.Clear();
                return doc;
            }
            if (header) DropFirstLine(doc.text);
        } else {
            // The program's own loader drops a header line itself.
            if (!LoadTextFile(n, options.dosFormat, doc.text, header) && IsThere(n)) {
                ShowMessageBox(kLoadFailCaption, kLoadFailText + n);
                doc.text.Clear();
                return doc;
            }
        }
        doc.replaced = true;
        doc.recordFile = true;
    } catch (const std::exception&) {
        // Out of memory on a huge file and the like.
        doc.text = LineText();
        doc.log = ColouredLog();
        doc.replaced = false;
        doc.recordFile = false;
        ShowMessageBox(kLoadFailCaption, kLoadFailText + n);
    }
    return doc;
}
