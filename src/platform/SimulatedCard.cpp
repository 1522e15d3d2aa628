#include "platform/SimulatedCard.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "convert/IsoEia.h"
#include "transfer/Punch.h"

namespace {
// Control-word bits of the 8255 in mode-set form.
constexpr uint8_t kModeSet = 0x80;
constexpr uint8_t kPortAInput = 0x10;
constexpr uint8_t kPortCHighInput = 0x08;
constexpr uint8_t kPortBInput = 0x02;
constexpr uint8_t kPortCLowInput = 0x01;

std::chrono::steady_clock::duration Ms(double ms) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double, std::milli>(ms < 0 ? 0 : ms));
}
}  // namespace

bool SimulatedCard::Open(uint16_t cardBase, IoError& error) {
    if (openError) {
        error = *openError;
        return false;
    }
    opened = true;
    ++openCount;
    openedBase = cardBase;
    return true;
}

void SimulatedCard::Close() { opened = false; }

bool SimulatedCard::Write(uint32_t port, uint8_t value, int& returned, IoError& error) {
    returned = 0;
    if (!opened) {
        error = SystemIoError(EBADF);
        return false;
    }
    if (writeError) {
        error = *writeError;
        return false;
    }
    returned = writeReturned;
    if (port < cardOffset || port - cardOffset > 3) return true;  // nothing on the bus there
    const uint32_t reg = port - cardOffset;
    ++accesses;
    if (recordWrites) writes.push_back({Clock::now(), reg, value});
    switch (reg) {
    case 0:
        latchA_ = value;
        break;
    case 1:
        latchB_ = value;
        break;
    case 2: {
        uint8_t old = latchC_ & 0x0F;
        latchC_ = value;
        ControlLowChanged(old);
        break;
    }
    case 3:
        if (value & kModeSet) {
            // A mode set clears every output latch.
            control_ = value;
            uint8_t old = latchC_ & 0x0F;
            latchA_ = latchB_ = latchC_ = 0;
            ControlLowChanged(old);
        } else {
            // Bit set/reset of port C.
            uint8_t old = latchC_ & 0x0F;
            uint8_t bit = uint8_t(1u << ((value >> 1) & 7));
            latchC_ = (value & 1) ? uint8_t(latchC_ | bit) : uint8_t(latchC_ & ~bit);
            ControlLowChanged(old);
        }
        break;
    }
    return true;
}

bool SimulatedCard::Read(uint32_t port, uint8_t& value, int& count, IoError& error) {
    count = 0;
    if (!opened) {
        error = SystemIoError(EBADF);
        return false;
    }
    if (readError) {
        error = *readError;
        return false;
    }
    count = readCount;
    if (port < cardOffset || port - cardOffset > 3) {
        value = 0xFF;  // a floating bus
        return true;
    }
    ++accesses;
    Update();
    switch (port - cardOffset) {
    case 0:
        value = (control_ & kPortAInput) ? 0xFF : latchA_;
        break;
    case 1:
        if (configured() && (control_ & kPortBInput)) {
            value = strobing_ && !toPunch.empty() ? toPunch.front() : 0x00;
            if (unstableData) {
                flicker_ = !flicker_;
                if (flicker_) value ^= 0x55;
            }
        } else {
            value = latchB_;
        }
        break;
    case 2:
        value = ReadPortC();
        break;
    default:
        value = 0xFF;  // the control word cannot be read back
        break;
    }
    return true;
}

uint8_t SimulatedCard::ReadPortC() {
    uint8_t high;
    if (configured() && (control_ & kPortCHighInput)) {
        bool running = motorOn && !neverStart && Clock::now() >= motorPausedUntil_;
        if (unstableStatus) {
            flicker_ = !flicker_;
            if (flicker_) running = !running;
        }
        high = 0;
        if (running != motorActiveLow) high |= 0x10;
        if (forward != directionBackwardHigh) high |= 0x20;
        if (strobing_) high |= 0x40;
    } else {
        high = latchC_ & 0xF0;
    }
    uint8_t low = portCLowOutput() ? uint8_t(latchC_ & 0x0F) : uint8_t(0x0F);
    return uint8_t(high | low);
}

void SimulatedCard::Update() {
    if (punchReady() && !strobing_ && !toPunch.empty() && Clock::now() >= nextPunchAt_)
        strobing_ = true;
}

void SimulatedCard::ControlLowChanged(uint8_t oldLow) {
    if (!portCLowOutput()) return;
    const uint8_t low = latchC_ & 0x0F;
    const bool wasActive = ((oldLow & 0x01) != 0) != strobeActiveLow;
    const bool active = ((low & 0x01) != 0) != strobeActiveLow;
    if (active && !wasActive && portAOutput()) {
        const bool running = motorOn && !neverStart && Clock::now() >= motorPausedUntil_;
        if (running) {
            ReadByte b{dataInverted ? uint8_t(~latchA_) : latchA_, forward};
            read.push_back(b);
            if (readPauseMs > 0 && std::find(endOfBlockBytes.begin(), endOfBlockBytes.end(),
                                             b.value) != endOfBlockBytes.end())
                motorPausedUntil_ = Clock::now() + Ms(readPauseMs);
            if (onRead) onRead(*this, b);
        }
    }
    // The computer dropped punch ready: it has taken the byte, the strobe ends.
    if ((oldLow & 0x04) && !(low & 0x04) && strobing_ && !strobeHeld) {
        strobing_ = false;
        if (!toPunch.empty()) {
            punched.push_back(toPunch.front());
            toPunch.pop_front();
        }
        nextPunchAt_ = Clock::now() + Ms(punchIntervalMs);
    }
    Update();
}

std::vector<std::string> SimulatedCard::ReadRuns(
    const std::function<uint8_t(uint8_t)>& decode) const {
    std::vector<std::string> runs;
    for (size_t i = 0; i < read.size(); ++i) {
        if (i == 0 || read[i].forward != read[i - 1].forward) runs.emplace_back();
        runs.back() += char(decode ? decode(read[i].value) : read[i].value);
    }
    return runs;
}

void SimulatedCard::Punch(const std::string& text, const std::function<uint8_t(uint8_t)>& encode) {
    for (unsigned char c : text) toPunch.push_back(encode ? encode(c) : c);
}

std::shared_ptr<SimulatedCard> MakeDemoCard(const std::string& programPath) {
    auto card = std::make_shared<SimulatedCard>();
    const TapeSettings settings = ReadTapeSettings();
    const TTapeCode code = settings.Code;
    card->motorActiveLow = settings.InvMotor;
    card->directionBackwardHigh = settings.InvRetning;
    card->strobeActiveLow = settings.InvSpocket;
    card->dataInverted = settings.InvRead;
    card->cardOffset = uint32_t(settings.AdresseOffset < 0 ? 0 : settings.AdresseOffset);

    // The reader stops after each end of block for a moment, as the machine executes it.
    for (unsigned char c : settings.Eob)
        if (!(code == tcEia && c == '\n')) card->endOfBlockBytes.push_back(EncodeByte(code, c));
    if (card->endOfBlockBytes.size() > 1)
        card->endOfBlockBytes.erase(card->endOfBlockBytes.begin(), card->endOfBlockBytes.end() - 1);
    card->readPauseMs = 150;

    // The punch: a leader of blanks, then the program, each line ended by CR LF.
    std::string program;
    if (!programPath.empty()) {
        std::ifstream in(programPath, std::ios::binary);
        program.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (program.empty())
        program = "%\r\nN10 G90 G00 X0 Y0\r\nN20 G01 X50. F200\r\nN30 Y30.\r\nN40 X0\r\n"
                  "N50 Y0\r\nN60 M30\r\n";
    std::string tape;
    for (size_t i = 0; i < program.size(); ++i) {
        char c = program[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < program.size() && program[i + 1] == '\n') ++i;
            tape += "\r\n";
        } else {
            tape += c;
        }
    }
    if (!tape.empty() && tape.back() != '\n') tape += "\r\n";
    for (int i = 0; i < 10; ++i) card->toPunch.push_back(0);
    for (unsigned char c : tape)
        if (!(code == tcEia && c == '\n')) card->toPunch.push_back(EncodeByte(code, c));
    card->punchIntervalMs = 5;
    return card;
}
