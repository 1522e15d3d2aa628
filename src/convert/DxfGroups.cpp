#include "convert/DxfGroups.h"

#include <charconv>
#include <cmath>
#include <type_traits>
#include <cstdint>
#include <cstring>

#include "settings/Strings.h"

namespace {
constexpr std::string_view kBinarySentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);
constexpr char kCtrlZ = 0x1a;

template <typename T>
T ReadLittle(const unsigned char* p) {
    uint64_t v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    T out;
    if constexpr (sizeof(T) == 8 && std::is_floating_point_v<T>) {
        std::memcpy(&out, &v, sizeof out);
    } else {
        out = static_cast<T>(v);
    }
    return out;
}

// Text values end at their line: a line break or a NUL inside a binary string would break
// the pair layout the library reads.
void AppendCleanText(std::string& out, std::string_view s) {
    for (char c : s)
        if (c != '\r' && c != '\n' && c != '\0') out.push_back(c);
}

void AppendInt(std::string& out, long long v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}
}  // namespace

DxfValueKind DxfValueKindOf(int code) {
    if ((code >= 310 && code <= 319) || code == 1004) return DxfValueKind::Bytes;
    if ((code >= 10 && code <= 59) || (code >= 110 && code <= 149) || (code >= 210 && code <= 239) ||
        (code >= 460 && code <= 469) || (code >= 1010 && code <= 1059))
        return DxfValueKind::Real;
    if ((code >= 60 && code <= 79) || (code >= 170 && code <= 179) || (code >= 270 && code <= 289) ||
        (code >= 370 && code <= 389) || (code >= 400 && code <= 409) || (code >= 1060 && code <= 1070))
        return DxfValueKind::Int16;
    if ((code >= 90 && code <= 99) || (code >= 420 && code <= 429) || (code >= 440 && code <= 449) ||
        code == 1071)
        return DxfValueKind::Int32;
    if ((code >= 160 && code <= 169) || (code >= 450 && code <= 459)) return DxfValueKind::Int64;
    if (code >= 290 && code <= 299) return DxfValueKind::Bool;
    return DxfValueKind::Text;
}

double DxfNumber(std::string_view text) {
    std::string_view t = TrimBlanks(text);
    double v = 0;
    size_t comma = t.find(',');
    if (comma == std::string_view::npos) return ParseFloat(t, v) ? v : 0.0;
    std::string copy(t);
    copy[comma] = '.';
    return ParseFloat(copy, v) ? v : 0.0;
}

void AppendExactNumber(std::string& out, double v) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

DxfGroupReader::DxfGroupReader(std::string_view bytes) : bytes_(bytes) {
    if (bytes_.substr(0, kBinarySentinel.size()) == kBinarySentinel) {
        binary_ = true;
        pos_ = kBinarySentinel.size();
        // The first group is (0, "SECTION"): two zero bytes before the name mean two-byte codes.
        wideCodes_ = bytes_.size() >= pos_ + 2 && bytes_[pos_] == 0 && bytes_[pos_ + 1] == 0;
    } else if (bytes_.substr(0, 3) == "\xEF\xBB\xBF") {
        pos_ = 3;  // a text file saved with a byte order mark
    }
}

bool DxfGroupReader::Next(DxfGroup& group) { return binary_ ? NextBinary(group) : NextText(group); }

bool DxfGroupReader::TextLine(std::string_view& line) {
    if (pos_ >= bytes_.size()) return false;
    size_t end = bytes_.find('\n', pos_);
    size_t next = end == std::string_view::npos ? bytes_.size() : end + 1;
    if (end == std::string_view::npos) end = bytes_.size();
    line = bytes_.substr(pos_, end - pos_);
    pos_ = next;
    size_t z = line.find(kCtrlZ);  // Ctrl-Z ends a text file
    if (z != std::string_view::npos) {
        line = line.substr(0, z);
        pos_ = bytes_.size();
        if (line.empty()) return false;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
}

bool DxfGroupReader::NextText(DxfGroup& group) {
    std::string_view line;
    while (TextLine(line)) {
        std::string_view t = TrimBlanks(line);
        int code = 0;
        auto res = std::from_chars(t.data(), t.data() + t.size(), code);
        if (t.empty() || t.size() > 6 || res.ec != std::errc() || res.ptr != t.data() + t.size()) continue;
        std::string_view value;
        if (!TextLine(value)) {
            broken_ = true;
            return false;
        }
        group.code = code;
        group.value.clear();
        AppendCleanText(group.value, value);
        return true;
    }
    return false;
}

bool DxfGroupReader::NextBinary(DxfGroup& group) {
    auto left = [&] { return bytes_.size() - pos_; };
    auto at = [&] { return reinterpret_cast<const unsigned char*>(bytes_.data()) + pos_; };
    if (left() == 0) return false;
    int code;
    if (wideCodes_) {
        if (left() < 2) return broken_ = true, false;
        code = ReadLittle<int16_t>(at());
        pos_ += 2;
    } else {
        code = at()[0];
        pos_ += 1;
        if (code == 255) {
            if (left() < 2) return broken_ = true, false;
            code = ReadLittle<int16_t>(at());
            pos_ += 2;
        }
    }
    group.code = code;
    group.value.clear();
    auto need = [&](size_t n) {
        if (left() >= n) return true;
        broken_ = true;
        return false;
    };
    switch (DxfValueKindOf(code)) {
        case DxfValueKind::Text: {
            size_t end = bytes_.find('\0', pos_);
            if (end == std::string_view::npos) return broken_ = true, false;
            AppendCleanText(group.value, bytes_.substr(pos_, end - pos_));
            pos_ = end + 1;
            break;
        }
        case DxfValueKind::Real: {
            if (!need(8)) return false;
            double v = ReadLittle<double>(at());
            pos_ += 8;
            AppendExactNumber(group.value, std::isfinite(v) ? v : 0.0);
            break;
        }
        case DxfValueKind::Int16:
            if (!need(2)) return false;
            AppendInt(group.value, ReadLittle<int16_t>(at()));
            pos_ += 2;
            break;
        case DxfValueKind::Int32:
            if (!need(4)) return false;
            AppendInt(group.value, ReadLittle<int32_t>(at()));
            pos_ += 4;
            break;
        case DxfValueKind::Int64:
            if (!need(8)) return false;
            AppendInt(group.value, ReadLittle<int64_t>(at()));
            pos_ += 8;
            break;
        case DxfValueKind::Bool:
            if (!need(1)) return false;
            AppendInt(group.value, at()[0]);
            pos_ += 1;
            break;
        case DxfValueKind::Bytes: {
            if (!need(1)) return false;
            size_t n = at()[0];
            pos_ += 1;
            if (!need(n)) return false;
            static const char hex[] = "0123456789ABCDEF";
            for (size_t i = 0; i < n; ++i) {
                unsigned char b = at()[i];
                group.value.push_back(hex[b >> 4]);
                group.value.push_back(hex[b & 15]);
            }
            pos_ += n;
            break;
        }
    }
    return true;
}
