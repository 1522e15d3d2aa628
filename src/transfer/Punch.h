#pragma once
// The tape unit: the computer stands in for the machine's tape reader (sending) or tape
// punch (receiving) on the 8255 card. Register map relative to the base address:
//   base + 0  port A, output: the data byte presented to the machine's reader input
//   base + 1  port B, input:  the byte the machine has punched
//   base + 2  port C: low half output (bit 0 sprocket strobe, bit 2 punch ready),
//             high half input (bit 4 reader motor, bit 5 direction forward, bit 6 punch
//             strobe)
//   base + 3  control word, written once with 0x8A at open
#include <cstdint>
#include <functional>
#include <string>

#include "convert/IsoEia.h"
#include "transfer/IO.h"

inline constexpr uint8_t kControlWord = 0x8A;
inline constexpr uint8_t kStrobeBit = 0x01;      // port C low half, to the machine
inline constexpr uint8_t kPunchReadyBit = 0x04;  // port C low half, to the machine
inline constexpr uint8_t kMotorBit = 0x10;       // port C high half, from the machine
inline constexpr uint8_t kDirectionBit = 0x20;   // set: forward
inline constexpr uint8_t kPunchStrobeBit = 0x40; // the machine has put a byte on port B

inline constexpr const char* kPunchReadCaption = "Lese fra punch";
inline constexpr const char* kUnstableDataByte = "Ustabil databyte";

// The tape section (PunchSection) as one record, read afresh at every call: the card, the
// tape code and the timing of the reader and punch lines.
struct TapeSettings {
    int32_t Adresse = 0x1B0;
    int32_t AdresseOffset = 0;  // added to every port address by the driver
    TTapeCode Code = tcIso;
    int32_t TimeOut = 2;        // seconds
    int32_t Break = 2;          // seconds; 0 or less waits without limit
    bool InvMotor = false;
    bool InvRetning = false;
    bool InvSpocket = false;
    bool InvRead = false;
    bool BareFram = false;
    int32_t Repeter = 3;
    double Delay = 2.0;         // ms, strobe active time
    double Hold = 2.0;          // ms, pause before a new data byte
    double Stabil = 2.0;        // ms, pause between the data byte and the strobe
    bool Punch = false;
    std::string Eob = "\r\n";   // at most 10 bytes
};
TapeSettings ReadTapeSettings();

struct TPunch : TapeSettings {
    uint8_t Control = 0;        // last value written to port C's low half
    TPortIO* io = nullptr;      // the port I/O in use, set by PunchOpen
    bool PortFailed = false;    // a driver call failed (not merely an unsteady line)
};

// The section of the tape settings: "Maskin" of section "VakoEdit", default "VakoEdit".
// Read once (at start, or at the first use); LoadPunchSection reads it again.
const std::string& PunchSection();
void LoadPunchSection();

// A busy wait of ms milliseconds on the steady clock; 0 or less costs nothing.
void PauseMs(double ms);

// Reads the settings of PunchSection, opens the port I/O (the program's own unless io is
// given), programs the card and puts the data byte and the strobe at their idle levels.
bool PunchOpen(TPunch& punch, TPortIO* io = nullptr);
void PunchClose(TPunch& punch);

// One character to the machine's reader input: no per-character handshake, the machine takes
// it within the strobe. With EIA an LF is not sent (CR is the end of block).
bool SendChar(TPunch& punch, uint8_t c);

// The reader lines: returns ready (the motor runs and the status read was sound).
bool ReaderStatus(TPunch& punch, bool& forward, bool& ready);
// ReaderStatus until ready, or until Break seconds have passed when Break is above 0. When
// keepWaiting is given it is called about every 100 ms of waiting; false ends the wait.
bool WaitReaderReady(TPunch& punch, bool& forward, bool& ready,
                     const std::function<bool()>& keepWaiting = nullptr);

// One punched byte, converted by the tape code. Not ok, without a message, when the machine
// has not punched within TimeOut seconds.
bool ReceiveByte(TPunch& punch, uint8_t& c);
// One line: characters of 0x20 and above are kept, CR or LF ends a non-empty line, other
// control characters are dropped; a failed byte ends reception (done) with the line so far.
void ReceiveLine(TPunch& punch, std::string& line, bool& done);
