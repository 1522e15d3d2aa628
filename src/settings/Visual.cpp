#include "settings/Visual.h"

#include "settings/MessageSink.h"
#include "settings/Strings.h"

namespace {
const char* const kMnemonics[32] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "XON", "DC2", "XOFF", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
}

std::string CharToVisual(unsigned char b) {
    if (b < 32) return std::string("[") + kMnemonics[b] + "]";
    if (b >= 127 || b == 33 || b == 35 || b == 64 || b == 91 || b == 93)
        return "[" + std::to_string(b) + "]";
    return std::string(1, static_cast<char>(b));
}

std::string StringToVisual(std::string_view s) {
    if (s.size() > 65535) s = s.substr(0, 65535);
    std::string r;
    r.reserve(s.size() + s.size() / 4);
    for (unsigned char c : s) {
        if (c >= 32 && c < 127 && c != 33 && c != 35 && c != 64 && c != 91 && c != 93)
            r.push_back(static_cast<char>(c));
        else
            r += CharToVisual(c);
    }
    return r;
}

bool ParseVisualToken(std::string_view token, unsigned char& byte) {
    if (token.size() < 3) return false;
    int32_t v = 0;
    if (ParseInt32(token.substr(1, token.size() - 2), v) && v >= 0 && v <= 255) {
        byte = static_cast<unsigned char>(v);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        std::string t = std::string("[") + kMnemonics[i] + "]";
        if (token == t) {
            byte = static_cast<unsigned char>(i);
            return true;
        }
    }
    return false;
}

std::string VisualToString(std::string_view s, bool* ok) {
    if (ok) *ok = true;
    if (s.size() < 3 || s.find('[') == std::string_view::npos) return std::string(s);
    std::string result;
    result.reserve(s.size());
    bool error = false;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c != '[') {
            result.push_back(c);
            ++i;
            continue;
        }
        std::string_view window = s.substr(i, 6);
        size_t close = window.find(']');
        if (close == std::string_view::npos) {
            error = true;
            ++i;  // the "[" is dropped, what follows is plain text
            continue;
        }
        std::string token = UpperCase1252(window.substr(0, close + 1));
        unsigned char b = 0;
        if (ParseVisualToken(token, b))
            result.push_back(static_cast<char>(b));
        else
            error = true;
        i += close + 1;
    }
    if (error) {
        ShowMessageBox(kVisualErrorCaption, std::string(s));
        if (ok) *ok = false;
    }
    return result;
}
