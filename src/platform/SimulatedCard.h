#pragma once
// A simulated 8255 parallel I/O card with a machine tool on its lines, for a shop without the
// card and for the tests. The card answers at its four driver ports (port numbering from the
// driver's base, shifted by cardOffset): 0 port A, 1 port B, 2 port C, 3 the control word.
// The machine plays the tape reader's motor and direction lines, latches port A on each
// sprocket strobe, and punches: it presents a byte on port B and raises the punch strobe
// once the computer reports punch ready, and ends the strobe when the computer takes the
// byte (drops punch ready). Everything happens synchronously on the driver calls; pauses of
// the machine are measured on the steady clock.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "transfer/IoDriver.h"

class SimulatedCard : public IoDriver {
public:
    using Clock = std::chrono::steady_clock;

    // One byte the machine's reader took, with the direction the tape was moving.
    struct ReadByte {
        uint8_t value;  // as the machine sees it (after its own inversion of the data lines)
        bool forward;
    };
    // One register write, for timing and protocol checks.
    struct Write {
        Clock::time_point at;
        uint32_t port;  // card register 0..3
        uint8_t value;  // the value written (the whole port C low half for bit set/reset)
    };

    // ---- The machine's wiring: how its lines are read (match the tape settings).
    bool motorActiveLow = false;      // InvMotor
    bool directionBackwardHigh = false;  // InvRetning
    bool strobeActiveLow = false;     // InvSpocket
    bool dataInverted = false;        // InvRead

    // ---- The reader.
    bool motorOn = true;       // the machine wants characters
    bool forward = true;       // tape direction
    bool neverStart = false;   // the motor never runs
    // Called after each byte the reader latched; may reverse, stop the motor, etc.
    std::function<void(SimulatedCard& card, const ReadByte& byte)> onRead;
    // Bytes (as the machine sees them) after which the motor pauses for readPauseMs, as a
    // machine that reads one block, executes it, and asks for the next.
    std::vector<uint8_t> endOfBlockBytes;
    double readPauseMs = 0;
    std::vector<ReadByte> read;  // every byte latched, in order

    // ---- The punch.
    std::deque<uint8_t> toPunch;  // raw tape bytes still to punch
    bool unstableData = false;    // port B flickers: every read gives the other value
    bool unstableStatus = false;  // the motor line flickers on every read of port C
    double punchIntervalMs = 0;   // least time between two punched bytes
    bool strobeHeld = false;      // the punch strobe never ends
    std::vector<uint8_t> punched; // bytes the computer took

    // ---- Faults of the driver itself.
    std::optional<IoError> openError;
    std::optional<IoError> readError;   // every read fails while set
    std::optional<IoError> writeError;  // every write fails while set
    int readCount = 1;                  // bytes a read reports
    int writeReturned = 0;              // bytes a write hands back
    uint32_t cardOffset = 0;            // the card's first port in the driver's numbering

    bool recordWrites = false;
    std::vector<Write> writes;

    // ---- What the driver was asked.
    bool opened = false;
    int openCount = 0;
    uint16_t openedBase = 0;
    int accesses = 0;  // reads and writes that reached the card

    // ---- IoDriver.
    bool Open(uint16_t cardBase, IoError& error) override;
    bool Read(uint32_t port, uint8_t& value, int& count, IoError& error) override;
    bool Write(uint32_t port, uint8_t value, int& returned, IoError& error) override;
    void Close() override;

    // ---- The 8255 as the lines see it.
    uint8_t control() const { return control_; }
    uint8_t portA() const { return latchA_; }      // output latch of port A
    uint8_t portCLow() const { return latchC_ & 0x0F; }
    bool configured() const { return (control_ & 0x80) != 0; }
    bool portAOutput() const { return configured() && !(control_ & 0x10); }
    bool portCLowOutput() const { return configured() && !(control_ & 0x01); }
    bool punchReady() const { return portCLowOutput() && (latchC_ & 0x04); }
    bool punchStrobe() const { return strobing_; }

    // The reader's bytes as text (decoded by the caller's tape code), split where the
    // direction changes: one entry per run in one direction.
    std::vector<std::string> ReadRuns(const std::function<uint8_t(uint8_t)>& decode) const;
    // Queues text to punch, each byte encoded by the caller's tape code.
    void Punch(const std::string& text, const std::function<uint8_t(uint8_t)>& encode);

private:
    void Update();
    void ControlLowChanged(uint8_t oldLow);
    uint8_t ReadPortC();

    uint8_t control_ = 0x9B;  // after reset every port is an input
    uint8_t latchA_ = 0, latchB_ = 0, latchC_ = 0;
    bool strobing_ = false;
    bool flicker_ = false;
    Clock::time_point motorPausedUntil_{};
    Clock::time_point nextPunchAt_{};
};

// A shop without a card: the card with a machine that reads a block at a time (pausing
// between blocks so the user can follow) and punches the program in file programPath (a
// short built-in program when empty), wired and coded as the tape settings say.
std::shared_ptr<SimulatedCard> MakeDemoCard(const std::string& programPath);
