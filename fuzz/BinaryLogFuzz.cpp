// Fuzz target: any bytes as a binary or tape file shown in the control-code notation, and as
// a coloured log file of the DNC system. The first byte chooses the 7-bit reading. The
// notation's lines read back as the file's bytes; the log keeps every byte that is neither a
// line end nor a colour code, each coloured by the code in force before it.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "document/Loaders.h"
#include "nctools/Colour.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Visual.h"

using fuzz::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetMessageSink([](const std::string&, const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool strip = data[0] & 1;
    const std::string in(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string dnc = NativeToDncPath(fuzz::WriteFile("P.BIN", in));

    // ---------------------------------------------------------------- binary files
    LineText bin;
    Check(LoadBinaryFile(dnc, strip, bin), "binary loader");
    std::string expected;
    for (unsigned char c : in) expected += static_cast<char>(strip ? c & 0x7F : c);
    std::string back;
    const std::vector<std::string> lines = bin.Lines();
    Check(lines.size() == bin.lineCount && (in.empty() ? lines.empty() : !lines.empty()), "binary line count");
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        Check(!l.empty(), "no empty notation line");
        Check(l.size() < kBinaryLineLimit + 6, "a notation line ends near its limit");
        bool ok = false;
        const std::string bytes = VisualToString(l, &ok);
        Check(ok, "a notation line is sound");
        // A line breaks after the run of CR and LF that closes it, or when it is full.
        if (i + 1 < lines.size() && l.size() < kBinaryLineLimit)
            Check(bytes.back() == '\r' || bytes.back() == '\n', "a short line ends with its line end");
        back += bytes;
    }
    Check(back == expected, "the notation reads back as the file's bytes");

    // ---------------------------------------------------------------- coloured logs
    const std::string logName = NativeToDncPath(fuzz::WriteFile("P.LOG", in));
    ColouredLog log;
    Check(LoadColouredLog(logName, log), "log loader");
    std::string kept;
    std::vector<ColourClass> classes;
    ColourClass code = ColourClass::LogRed;
    for (unsigned char c : in) {
        if (c == '\r' || c == '\n') continue;
        if (LogCodeClass(c) != ColourClass::Other) {
            code = LogCodeClass(c);
            continue;
        }
        kept += static_cast<char>(c);
        classes.push_back(code);
    }
    std::string shown;
    std::vector<ColourClass> at(log.text.size(), ColourClass::Other);
    size_t lastEnd = 0;
    for (const ColourRun& r : log.runs) {
        Check(r.length > 0 && r.start >= lastEnd && r.start + r.length <= log.text.size(), "runs in order inside the text");
        for (size_t i = r.start; i < r.start + r.length; ++i) at[i] = r.cls;
        lastEnd = r.start + r.length;
    }
    size_t lineCount = log.text.empty() ? 0 : 1, lineLength = 0;
    for (size_t i = 0; i < log.text.size(); ++i) {
        if (log.text.compare(i, 2, "\r\n") == 0) {
            Check(at[i] == ColourClass::Other && at[i + 1] == ColourClass::Other, "line ends carry no colour");
            ++lineCount;
            lineLength = 0;
            ++i;
            continue;
        }
        Check(++lineLength <= kLogLineLimit, "a log line is cut at the limit");
        Check(at[i] == classes[shown.size()], "each byte has the colour of the code before it");
        shown += log.text[i];
    }
    Check(shown == kept, "the log keeps every byte but line ends and codes");
    Check(lineCount == log.lineCount || (log.text.empty() && log.lineCount <= 1), "log line count");
    return 0;
}
