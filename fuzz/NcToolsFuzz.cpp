// Fuzz target: renumbering, compress and air over any lines. The first bytes choose the
// dialect, the block characters, the request and the values; the rest is the program. The
// editor's form (a list of lines) and the skarv command's form (streamed over the file's
// bytes) must give the same text; compress and air only take out or put in blanks and tabs,
// outside comments, and undo each other; renumbering twice changes nothing more.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "nctools/CompressAir.h"
#include "nctools/LineList.h"
#include "nctools/Renum.h"

namespace {
using fuzz::Check;

std::string WithoutBlanks(std::string_view s) {
    std::string r;
    for (char c : s)
        if (c != ' ' && c != '\t') r += c;
    return r;
}

// everyLine: the tool may report a line as replaced although its text stayed (the removal of
// block numbers reports every line it looked at).
template <class Tool>
void SameInBothForms(const std::string& text, Tool tool, const char* what, bool everyLine = false) {
    std::vector<std::string> lines = SplitLines(text);
    const std::vector<std::string> before = lines;
    VectorLines list(lines);
    const size_t listed = tool(static_cast<TextLines&>(list));
    Check(listed == list.changed.size(), what);
    for (size_t i = 1; i < list.changed.size(); ++i) Check(list.changed[i - 1] < list.changed[i], "changed lines ascend");
    for (size_t i = 0; i < lines.size(); ++i) {
        bool replaced = false;
        for (size_t c : list.changed) replaced |= c == i;
        if (lines[i] != before[i]) Check(replaced, "every line whose text changed is replaced");
        else if (!everyLine) Check(!replaced, "a line whose text stayed is not replaced");
    }
    StreamedLines streamed(text);
    const size_t count = tool(static_cast<TextLines&>(streamed));
    Check(count == listed, what);
    Check(streamed.Finish() == JoinLinesCrLf(lines), what);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint8_t flags = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
    const char separator = flags & 0x80 ? '\t' : ' ';

    // ---------------------------------------------------------------- compress and air
    for (const std::string& line : SplitLines(text)) {
        const std::string compressed = CompressLine(line);
        const std::string aired = AirLine(line, separator);
        Check(WithoutBlanks(compressed) == WithoutBlanks(line), "compress takes out only blanks and tabs");
        Check(WithoutBlanks(aired) == WithoutBlanks(line), "air puts in only separators");
        Check(compressed.size() <= line.size() && aired.size() >= line.size(), "lengths");
        if (line.find_first_of(" \t") == std::string::npos)
            Check(CompressLine(aired) == line, "compress undoes air");
        std::string into = "left over";
        CompressLineInto(line, into);
        Check(into == compressed, "compress into a buffer");
        AirLineInto(line, separator, into);
        Check(into == aired, "air into a buffer");
    }
    SameInBothForms(text, [](TextLines& l) { return CompressLines(l); }, "compress in both forms");
    SameInBothForms(text, [separator](TextLines& l) { return AirLines(l, separator); }, "air in both forms");

    // ---------------------------------------------------------------- renumbering
    static const char* const kBlockChars[] = {"N", "N:", "NO%", ":", "N/", "0123456789", "N ", "*N"};
    BlockModel model;
    model.heidenhain = flags & 1;
    for (const char* c = kBlockChars[(flags >> 1) & 7]; *c; ++c) model.blockChars.set(static_cast<unsigned char>(*c));
    RenumRequest request;
    request.addBlockNo = flags & 0x10;
    request.removeBlockNo = flags & 0x20;
    request.onlyMarked = flags & 0x40;
    request.values.start = data[1] % 2 ? data[1] : int32_t(2147483584) + data[1] % 64;
    request.values.step = data[2] % 64 + 1;
    request.values.max = data[3] % 4 == 0 ? 0 : data[3] * 7;
    const size_t lineCount = SplitLines(text).size();
    request.first = data[2] % 5;
    request.last = static_cast<long long>(data[3] % 9) - 1;
    SameInBothForms(text, [&](TextLines& l) { return RenumberText(l, model, request); }, "renumbering in both forms",
                    request.removeBlockNo);

    std::vector<std::string> lines = SplitLines(text);
    const std::vector<std::string> before = lines;
    RenumberText(lines, model, request);
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool inside = !request.onlyMarked ||
                            (static_cast<long long>(i) >= request.first && static_cast<long long>(i) <= request.last);
        if (!inside) Check(lines[i] == before[i], "lines outside the marked area stay as they were");
    }
    if (!request.removeBlockNo) {
        std::vector<std::string> again = lines;
        Check(RenumberText(again, model, request).empty(), "renumbering twice changes nothing more");
    }
    Check(lines.size() == lineCount, "renumbering keeps the line count");
    return 0;
}
