#include "nctools/Renum.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "settings/Strings.h"

BlockModel ReadBlockModel(const std::string& section) {
    BlockModel m;
    std::string protocol = ReadIniString(section, "Protokoll", "Standard");
    m.heidenhain = protocol == "HEIDENHAIN" || protocol == "HHLSV2" ||
                   ReadIniBool(section, "HeidenHain", false);
    ReadIniCharSet(section, "BlokkTegn", "N", m.blockChars);
    return m;
}

namespace {
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool RenumberLine(std::string& line, int64_t& number, int64_t step, int64_t max,
                  const RenumOptions& options) {
    // When "N " goes in front of the line, the rules work on a copy, so a line that ends up
    // unchanged keeps its old text.
    std::string added;
    std::string* s = &line;
    size_t prefixLength = 0;
    size_t p = 0;  // bytes of s that make up the old prefix and number
    if (!options.heidenhain) {
        if (options.addBlockNo && line.size() >= 2) {
            char c = line[0];
            if (c != '%' && c != '*' && c != ':' && c != 'N' && c != 'O') {
                added.reserve(line.size() + 2);
                added = "N ";
                added += line;
                s = &added;
            }
        }
        if (s->size() < 2) return false;
        bool blockChar = options.blockChars.test(static_cast<unsigned char>((*s)[0]));
        if (!blockChar && !((*s)[0] == '/' && (*s)[1] == 'N')) return false;
        size_t q = s->find('N');  // 0-based
        p = (q == 0 || q == 1) ? q + 1 : 1;
        prefixLength = p;
    }
    while (p < s->size() && IsDigit((*s)[p])) ++p;
    if (options.removeBlockNo) {
        while (p < s->size() && (*s)[p] == ' ') ++p;
        s->erase(0, p);
        if (s != &line) line = std::move(*s);
        return true;
    }
    // The new start: the prefix (at most two bytes) and the number, without leading zeros.
    char fresh[32];
    std::memcpy(fresh, s->data(), prefixLength);
    int n = std::snprintf(fresh + prefixLength, sizeof fresh - prefixLength, "%lld",
                          static_cast<long long>(number));
    size_t freshLength = prefixLength + static_cast<size_t>(n);
    number += step;
    if (max > 0 && number > max) number = max;
    if (p == freshLength && s->compare(0, p, fresh, freshLength) == 0) return false;
    s->replace(0, p, fresh, freshLength);
    if (s != &line) line = std::move(*s);
    return true;
}

bool ParseRenumValues(const std::string& start, const std::string& step, const std::string& max,
                      RenumValues& values) {
    int32_t v;
    values.start = ParseInt32(start, v) ? v : -1;
    values.step = ParseInt32(step, v) ? v : 0;
    values.max = ParseInt32(max, v) ? v : 0;
    return values.start >= 0 && values.step >= 1;
}

std::string DefaultStartText(bool heidenhain) { return heidenhain ? "0" : "10"; }
std::string DefaultStepText(bool heidenhain) { return heidenhain ? "1" : "10"; }

MarkedArea MarkedAreaOf(long long selectionStartLine, long long selectionEndLine) {
    MarkedArea a;
    a.first = selectionStartLine;
    a.last = selectionEndLine - 1;
    return a;
}

size_t RenumberText(TextLines& lines, const BlockModel& model, const RenumRequest& request,
                    const RenumProgress& progress) {
    size_t count = lines.Count();
    if (count == 0) return 0;
    size_t first = 0, end = count;
    if (request.onlyMarked) {
        if (request.last < request.first || request.last < 0) return 0;
        first = request.first < 0 ? 0 : static_cast<size_t>(request.first);
        size_t last = static_cast<size_t>(request.last);
        end = last + 1 < count ? last + 1 : count;
        if (first >= end) return 0;
    }
    RenumOptions options;
    options.heidenhain = model.heidenhain;
    options.blockChars = model.blockChars;
    options.addBlockNo = request.addBlockNo;
    options.removeBlockNo = request.removeBlockNo;
    // The number runs in 64 bits: a sequence near the top of the 32-bit range goes on
    // counting instead of turning negative.
    int64_t number = request.values.start;
    size_t changed = 0;
    std::string line;
    for (size_t i = first; i < end; ++i) {
        if (progress && i % 10 == 0) progress(i);
        line.assign(lines.Line(i));
        if (RenumberLine(line, number, request.values.step, request.values.max, options)) {
            lines.Replace(i, line);
            ++changed;
        }
    }
    return changed;
}

std::vector<size_t> RenumberText(std::vector<std::string>& lines, const BlockModel& model,
                                 const RenumRequest& request, const RenumProgress& progress) {
    VectorLines list(lines);
    RenumberText(list, model, request, progress);
    return std::move(list.changed);
}
