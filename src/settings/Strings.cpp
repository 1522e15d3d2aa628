#include "settings/Strings.h"

#include <charconv>
#include <cmath>

unsigned char UpperChar1252(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    switch (c) {
        case 0x9A: return 0x8A;  // š Š
        case 0x9C: return 0x8C;  // œ Œ
        case 0x9E: return 0x8E;  // ž Ž
        case 0xFF: return 0x9F;  // ÿ Ÿ
        default: break;
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    return c;
}

unsigned char LowerChar1252(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    switch (c) {
        case 0x8A: return 0x9A;
        case 0x8C: return 0x9C;
        case 0x8E: return 0x9E;
        case 0x9F: return 0xFF;
        default: break;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    return c;
}

std::string UpperCase1252(std::string_view s) {
    std::string r(s);
    for (auto& ch : r) ch = static_cast<char>(UpperChar1252(static_cast<unsigned char>(ch)));
    return r;
}

std::string LowerCase1252(std::string_view s) {
    std::string r(s);
    for (auto& ch : r) ch = static_cast<char>(LowerChar1252(static_cast<unsigned char>(ch)));
    return r;
}

bool EqualsNoCase1252(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperChar1252(static_cast<unsigned char>(a[i])) !=
            UpperChar1252(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool StartsWithNoCase1252(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase1252(s.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase1252(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           EqualsNoCase1252(s.substr(s.size() - suffix.size()), suffix);
}

std::string_view TrimBlanks(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return s.substr(b, e - b);
}

bool ParseInt32(std::string_view s, int32_t& value) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        ++i;
    } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size()) return false;
    unsigned long long acc = 0;
    for (; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        acc = acc * (hex ? 16 : 10) + d;
        if (acc > 0xFFFFFFFFull) return false;
    }
    if (hex) {
        uint32_t bits = static_cast<uint32_t>(acc);
        if (neg) bits = 0u - bits;
        value = static_cast<int32_t>(bits);
        return true;
    }
    if (neg) {
        if (acc > 2147483648ull) return false;
        value = static_cast<int32_t>(-static_cast<long long>(acc));
    } else {
        if (acc > 2147483647ull) return false;
        value = static_cast<int32_t>(acc);
    }
    return true;
}

bool ParseFloat(std::string_view s, double& value) {
    std::string_view t = TrimBlanks(s);
    if (t.empty()) return false;
    // Only digits, one sign, one ".", an exponent: the Delphi float syntax.
    size_t i = 0;
    if (t[i] == '+' || t[i] == '-') ++i;
    size_t digits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t ed = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++ed;
        if (ed == 0) return false;
    }
    if (i != t.size()) return false;
    // from_chars: independent of the process locale, which Qt sets from the environment.
    std::string_view num = t[0] == '+' ? t.substr(1) : t;
    double v = 0;
    auto res = std::from_chars(num.data(), num.data() + num.size(), v);
    if (res.ec != std::errc() || res.ptr != num.data() + num.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

std::string IntToText(long long v) { return std::to_string(v); }

bool IsPortNumber(std::string_view s) {
    if (s.empty() || s.size() > 5) return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    return v >= 1 && v <= 65535;
}
