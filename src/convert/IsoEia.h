#pragma once
// Tape codes: single bytes between the editor's text (ASCII) and the code a machine's port
// or punch expects (8-bit ASCII, ISO 7-bit with even parity in channel 8, EIA RS-244).
// Six constant tables, built once when the program starts; the conversions are pure lookups.
#include <cstdint>
#include <string>

// The ordinal is what callers store with their port settings.
enum TTapeCode : uint8_t {
    tcAscii = 0,
    tcIso = 1,
    tcEia = 2,
    tcSoftIso = 3,
    tcIsoEia = 4,
    tcEiaIso = 5,
    tcAsciiIso = 6,
    tcIsoAscii = 7,
};

// The mode for a name of the settings ("Kode", read upper-cased). Any other name, the empty
// one included, gives tcIso.
TTapeCode TapeCodeFromName(const std::string& name);

// The byte to send or punch for text character c.
uint8_t EncodeByte(TTapeCode mode, uint8_t c);
// The text character for byte b received or read.
uint8_t DecodeByte(TTapeCode mode, uint8_t b);

