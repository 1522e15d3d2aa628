#include "convert/IsoEia.h"

#include <bit>
#include <cstring>

namespace {
// The tables, read-only after start-up.
struct TapeCodeTables {
    uint8_t IsoOut[256];
    uint8_t IsoIn[256];
    uint8_t SoftIsoOut[256];
    uint8_t EiaOut[256];
    uint8_t EiaIn[256];
    uint8_t EiaIsoIn[256];
};

TapeCodeTables BuildTables() {
    TapeCodeTables t;
    // ISO: even parity over all eight bits; bytes above 127 have no ISO code.
    std::memset(t.IsoOut, '?', sizeof t.IsoOut);
    std::memset(t.IsoIn, '?', sizeof t.IsoIn);
    for (int c = 0; c < 128; ++c) {
        int p = (std::popcount(static_cast<unsigned>(c)) & 1) ? c + 0x80 : c;
        t.IsoOut[c] = static_cast<uint8_t>(p);
        t.IsoIn[p] = static_cast<uint8_t>(c);
    }
    // Soft ISO sends XOFF (DC3) as its plain ASCII code; XON already has even parity.
    std::memcpy(t.SoftIsoOut, t.IsoOut, sizeof t.IsoOut);
    t.SoftIsoOut[0x13] = 0x13;

    // EIA. The order matters: later rows overwrite earlier ones, which settles the
    // collisions (space and "$" both go out as 0x3E, 0x6D reads as "@").
    std::memset(t.EiaOut, '*', sizeof t.EiaOut);
    std::memset(t.EiaIn, '*', sizeof t.EiaIn);
    auto set = [&t](int ch, int code) {
        t.EiaIn[code] = static_cast<uint8_t>(ch);
        t.EiaOut[ch] = static_cast<uint8_t>(code);
    };
    static const int specials[][2] = {
        {0x00, 0x00}, {'$', 0x3E},  {'[', 0x5B},  {'\\', 0x6D}, {']', 0x5D},  {'+', 0x70},
        {'-', 0x40},  {'/', 0x31},  {'.', 0x6B},  {',', 0x3B},  {' ', 0x10},  {0x7F, 0x7F},
        {0x0D, 0x80}, {'%', 0x0B},  {' ', 0x3E},  {'*', 0x2A},  {'!', 0x7C},  {'"', 0x7A},
        {'(', 0x1A},  {')', 0x4A},  {0x11, 0x11}, {0x12, 0x12}, {0x13, 0x93}, {0x14, 0x14},
    };
    for (auto& row : specials) set(row[0], row[1]);
    static const int digits[10] = {0x20, 0x01, 0x02, 0x13, 0x04, 0x15, 0x16, 0x07, 0x08, 0x19};
    for (int d = 0; d < 10; ++d) set('0' + d, digits[d]);
    set('@', 0x6D);
    static const int letters[26] = {0x61, 0x62, 0x73, 0x64, 0x75, 0x76, 0x67, 0x68, 0x79,
                                    0x51, 0x52, 0x43, 0x54, 0x45, 0x46, 0x57, 0x58, 0x49,
                                    0x32, 0x23, 0x34, 0x25, 0x26, 0x37, 0x38, 0x29};
    for (int l = 0; l < 26; ++l) set('A' + l, letters[l]);

    // Either code in: an EIA byte through the EIA table, an ISO byte to its low 7 bits.
    for (int b = 0; b < 256; ++b)
        t.EiaIsoIn[b] = t.EiaIn[b] != 0x2A ? t.EiaIn[b] : static_cast<uint8_t>(b & 0x7F);
    return t;
}

// Built during static initialisation, before main and so before any window exists.
const TapeCodeTables kTables = BuildTables();
}  // namespace


TTapeCode TapeCodeFromName(const std::string& name) {
    if (name == "ASCII") return tcAscii;
    if (name == "EIA") return tcEia;
    if (name == "SOFTISO") return tcSoftIso;
    if (name == "ISOEIA") return tcIsoEia;
    if (name == "EIAISO") return tcEiaIso;
    if (name == "ASCIIISO") return tcAsciiIso;
    if (name == "ISOASCII") return tcIsoAscii;
    return tcIso;
}

uint8_t EncodeByte(TTapeCode mode, uint8_t c) {
    switch (mode) {
    case tcAscii:
    case tcAsciiIso: return c;
    case tcIso:
    case tcIsoEia:
    case tcIsoAscii: return kTables.IsoOut[c];
    case tcEia:
    case tcEiaIso: return kTables.EiaOut[c];
    case tcSoftIso: return kTables.SoftIsoOut[c];
    }
    return kTables.IsoOut[c];
}

uint8_t DecodeByte(TTapeCode mode, uint8_t b) {
    switch (mode) {
    case tcAscii: return b;
    case tcIso: return kTables.IsoIn[b];
    case tcEia: return kTables.EiaIn[b];
    case tcSoftIso:
    case tcAsciiIso:
    case tcIsoAscii: return static_cast<uint8_t>(b & 0x7F);
    case tcIsoEia:
    case tcEiaIso: return kTables.EiaIsoIn[b];
    }
    return kTables.IsoIn[b];
}
