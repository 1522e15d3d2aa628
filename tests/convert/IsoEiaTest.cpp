#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "TestSupport.h"
#include "convert/IsoEia.h"
#include "settings/Settings.h"

namespace {
std::string Encode(TTapeCode mode, const std::string& text) {
    std::string out;
    for (unsigned char c : text) out.push_back(static_cast<char>(EncodeByte(mode, c)));
    return out;
}

const TTapeCode kAllModes[] = {tcAscii,  tcIso,    tcEia,      tcSoftIso,
                               tcIsoEia, tcEiaIso, tcAsciiIso, tcIsoAscii};

// The characters the EIA code can carry, "$" and "\" being out-only.
const std::string kEiaChars = std::string("\0\r\x11\x12\x13\x14\x7F", 7) +
                              " !\"%()*+,-./0123456789@[]ABCDEFGHIJKLMNOPQRSTUVWXYZ";
}  // namespace

TEST(TapeCode, ModeNamesFromTheSettings) {
    EXPECT_EQ(TapeCodeFromName("ASCII"), tcAscii);
    EXPECT_EQ(TapeCodeFromName("ISO"), tcIso);
    EXPECT_EQ(TapeCodeFromName("EIA"), tcEia);
    EXPECT_EQ(TapeCodeFromName("SOFTISO"), tcSoftIso);
    EXPECT_EQ(TapeCodeFromName("ISOEIA"), tcIsoEia);
    EXPECT_EQ(TapeCodeFromName("EIAISO"), tcEiaIso);
    EXPECT_EQ(TapeCodeFromName("ASCIIISO"), tcAsciiIso);
    EXPECT_EQ(TapeCodeFromName("ISOASCII"), tcIsoAscii);
    EXPECT_EQ(TapeCodeFromName(""), tcIso);
    EXPECT_EQ(TapeCodeFromName("EBCDIC"), tcIso);
    EXPECT_EQ(TapeCodeFromName("eia"), tcIso);  // the comparison itself is exact

    ScopedIni ini("[Com2]\r\nKode=eia\r\n[Com3]\r\nKode=\r\n[Com4]\r\nKode=Hullkort\r\n");
    EXPECT_EQ(TapeCodeFromName(ReadIniString("Com2", "Kode", "ISO")), tcEia);
    EXPECT_EQ(TapeCodeFromName(ReadIniString("Com3", "Kode", "ISO")), tcIso);
    EXPECT_EQ(TapeCodeFromName(ReadIniString("Com4", "Kode", "ISO")), tcIso);
    EXPECT_EQ(TapeCodeFromName(ReadIniString("Com5", "Kode", "ISO")), tcIso);
}

TEST(TapeCode, IsoHasEvenParityBothWays) {
    EXPECT_EQ(EncodeByte(tcIso, 'G'), 0x47);
    EXPECT_EQ(EncodeByte(tcIso, 'E'), 0xC5);
    EXPECT_EQ(EncodeByte(tcIso, '\r'), 0x8D);
    EXPECT_EQ(EncodeByte(tcIso, '\n'), 0x0A);
    EXPECT_EQ(EncodeByte(tcIso, 0x13), 0x93);
    for (int c = 0x80; c < 0x100; ++c) EXPECT_EQ(EncodeByte(tcIso, static_cast<uint8_t>(c)), '?');
    for (int c = 0; c < 0x80; ++c)
        EXPECT_EQ(std::popcount(static_cast<unsigned>(EncodeByte(tcIso, static_cast<uint8_t>(c)))) % 2, 0);
    EXPECT_EQ(DecodeByte(tcIso, 0x45), '?');
    EXPECT_EQ(DecodeByte(tcIso, 0xC5), 'E');
    for (int b = 0; b < 0x100; ++b)
        if (std::popcount(static_cast<unsigned>(b)) % 2) {
            EXPECT_EQ(DecodeByte(tcIso, static_cast<uint8_t>(b)), '?') << b;
        }
}

TEST(TapeCode, SoftIsoSendsPlainXoff) {
    EXPECT_EQ(EncodeByte(tcSoftIso, 0x13), 0x13);
    EXPECT_EQ(EncodeByte(tcSoftIso, 0x11), 0x11);
    for (int c = 0; c < 0x100; ++c)
        if (c != 0x13) {
            EXPECT_EQ(EncodeByte(tcSoftIso, static_cast<uint8_t>(c)), EncodeByte(tcIso, static_cast<uint8_t>(c)));
        }
    EXPECT_EQ(DecodeByte(tcSoftIso, 0xC5), 'E');
    EXPECT_EQ(DecodeByte(tcSoftIso, 0x45), 'E');
}

TEST(TapeCode, EiaCodesAndCollisions) {
    EXPECT_EQ(Encode(tcEia, "N12"), "\x45\x01\x02");
    EXPECT_EQ(Encode(tcEia, "\r\n"), "\x80\x2A");
    EXPECT_EQ(EncodeByte(tcEia, 'x'), 0x2A);
    EXPECT_EQ(EncodeByte(tcEia, '\t'), 0x2A);
    EXPECT_EQ(EncodeByte(tcEia, ' '), 0x3E);
    EXPECT_EQ(EncodeByte(tcEia, '$'), 0x3E);
    EXPECT_EQ(EncodeByte(tcEia, '\\'), 0x6D);
    EXPECT_EQ(EncodeByte(tcEia, '@'), 0x6D);
    EXPECT_EQ(EncodeByte(tcEia, 0x13), 0x93);
    EXPECT_EQ(DecodeByte(tcEia, 0x80), '\r');
    EXPECT_EQ(DecodeByte(tcEia, 0x10), ' ');
    EXPECT_EQ(DecodeByte(tcEia, 0x3E), ' ');
    EXPECT_EQ(DecodeByte(tcEia, 0x6D), '@');
    EXPECT_EQ(DecodeByte(tcEia, 0xFF), '*');
    for (int b = 0; b < 0x100; ++b) EXPECT_NE(DecodeByte(tcEia, static_cast<uint8_t>(b)), '$');
    // Every EIA code of a digit or letter has odd parity.
    for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"))
        EXPECT_EQ(std::popcount(static_cast<unsigned>(EncodeByte(tcEia, static_cast<uint8_t>(c)))) % 2, 1) << c;
}

TEST(TapeCode, EitherCodeIn) {
    for (TTapeCode mode : {tcIsoEia, tcEiaIso}) {
        EXPECT_EQ(DecodeByte(mode, 0x80), '\r');
        EXPECT_EQ(DecodeByte(mode, 0x8D), '\r');
        EXPECT_EQ(DecodeByte(mode, 0x20), '0');
        EXPECT_EQ(DecodeByte(mode, 0x30), '0');
    }
    EXPECT_EQ(EncodeByte(tcIsoEia, 'E'), 0xC5);
    EXPECT_EQ(EncodeByte(tcEiaIso, 'E'), 0x75);
}

TEST(TapeCode, AsciiLeavesEveryByte) {
    for (int c = 0; c < 0x100; ++c) {
        auto b = static_cast<uint8_t>(c);
        EXPECT_EQ(EncodeByte(tcAscii, b), b);
        EXPECT_EQ(DecodeByte(tcAscii, b), b);
        EXPECT_EQ(EncodeByte(tcAsciiIso, b), b);
        EXPECT_EQ(DecodeByte(tcAsciiIso, b), b & 0x7F);
        EXPECT_EQ(DecodeByte(tcIsoAscii, b), b & 0x7F);
    }
}

TEST(TapeCode, RoundTripOfEveryMode) {
    for (TTapeCode mode : kAllModes) {
        std::string chars;
        if (mode == tcAscii) {
            for (int c = 0; c < 0x100; ++c) chars.push_back(static_cast<char>(c));
        } else if (mode == tcEia || mode == tcEiaIso) {
            chars = kEiaChars;
        } else {
            for (int c = 0; c < 0x80; ++c) chars.push_back(static_cast<char>(c));
        }
        for (unsigned char c : chars)
            EXPECT_EQ(DecodeByte(mode, EncodeByte(mode, c)), c) << "mode " << int(mode) << " char " << int(c);
    }
    // The mixed modes also read what the other code sends.
    for (unsigned char c : kEiaChars) {
        EXPECT_EQ(DecodeByte(tcIsoEia, EncodeByte(tcEia, c)), c) << int(c);
        EXPECT_EQ(DecodeByte(tcEiaIso, EncodeByte(tcIso, c)), c) << int(c);
    }
}
