#include "transfer/Punch.h"

#include <chrono>
#include <thread>

#include "settings/Settings.h"
#include "settings/MessageSink.h"

namespace {
using Clock = std::chrono::steady_clock;

std::string& SectionStore() {
    static std::string s;
    return s;
}
bool& SectionLoaded() {
    static bool b = false;
    return b;
}

bool Elapsed(Clock::time_point start, int32_t seconds) {
    return Clock::now() - start >= std::chrono::seconds(seconds < 0 ? 0 : seconds);
}

uint16_t Base(const TPunch& p) { return uint16_t(p.Adresse); }

// A failure of the driver itself, as opposed to a line that did not hold still.
bool DriverFailed(const std::string& error) { return !error.empty() && error != kUnstableInput; }

bool WriteControl(TPunch& p) {
    std::string error;
    if (p.io->PortWrite(Base(p) + 2, p.Control, error, true)) return true;
    p.PortFailed = true;
    return false;
}

bool SetControlBits(TPunch& p, uint8_t bits, bool on) {
    p.Control = on ? uint8_t(p.Control | bits) : uint8_t(p.Control & ~bits);
    return WriteControl(p);
}

bool ReadStatus(TPunch& p, uint8_t& status, std::string& error) {
    bool ok = p.io->PortReadStable(Base(p) + 2, p.Repeter, error, true, status);
    if (DriverFailed(error)) p.PortFailed = true;
    return ok;
}
}  // namespace

void LoadPunchSection() {
    SectionStore() = ReadIniString("VakoEdit", "Maskin", "VakoEdit");
    SectionLoaded() = true;
}

const std::string& PunchSection() {
    if (!SectionLoaded()) LoadPunchSection();
    return SectionStore();
}

void PauseMs(double ms) {
    if (!(ms > 0)) return;
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double, std::milli>(ms));
    while (Clock::now() < end) {
    }
}

TapeSettings ReadTapeSettings() {
    const std::string& s = PunchSection();
    TapeSettings t;
    t.Eob = ReadIniString(s, "EOB", "[CR][LF]", true).substr(0, 10);
    t.Punch = ReadIniBool(s, "Punch", false);
    t.Code = TapeCodeFromName(ReadIniString(s, "Kode", "ISO"));
    t.Adresse = ReadIniInt(s, "Adresse", 432);
    t.AdresseOffset = ReadIniInt(s, "AdresseOffset", 0);
    t.Repeter = ReadIniInt(s, "Repeter", 3);
    t.Delay = ReadIniFloat(s, "Delay", 2.0);
    t.Hold = ReadIniFloat(s, "Hold", t.Delay);
    t.Stabil = ReadIniFloat(s, "Stabil", t.Delay);
    t.InvMotor = ReadIniBool(s, "InvMotor", false);
    t.InvRetning = ReadIniBool(s, "InvRetning", false);
    t.InvSpocket = ReadIniBool(s, "InvSpocket", false);
    t.BareFram = ReadIniBool(s, "BareFram", false);
    t.InvRead = ReadIniBool(s, "InvRead", t.InvSpocket);
    t.TimeOut = ReadIniInt(s, "TimeOut", 2);
    t.Break = ReadIniInt(s, "Break", t.TimeOut);
    return t;
}

bool PunchOpen(TPunch& p, TPortIO* io) {
    p = TPunch();
    static_cast<TapeSettings&>(p) = ReadTapeSettings();
    p.io = io ? io : &PortIO();
    const int32_t offset = p.AdresseOffset;

    // A base beyond the 16-bit I/O space would wrap round to some other device's ports.
    if (p.Adresse < 0 || p.Adresse > 0xFFFC) {
        ShowPortError(kWriteBadAddress + HexAddress(uint32_t(p.Adresse)));
        return false;
    }
    if (offset < 0 || offset > 0xFFFF) {
        ShowPortError(kWriteBadAddress + HexAddress(uint32_t(offset)));
        return false;
    }
    std::string error;
    if (!p.io->PortOpen(Base(p), Base(p) + 3, uint16_t(offset), true, error)) return false;
    bool ok = p.io->PortWrite(Base(p) + 3, kControlWord, error, true);
    p.Control = 0;
    ok = ok && p.io->PortWrite(Base(p), p.InvRead ? 0xFF : 0x00, error, true);
    if (ok) {
        p.Control = p.InvSpocket ? (p.Control | kStrobeBit) : uint8_t(p.Control & ~kStrobeBit);
        PauseMs(0);
        ok = WriteControl(p);
    }
    // A card that could not be programmed is not left open.
    if (!ok) p.io->PortClose();
    return ok;
}

void PunchClose(TPunch& p) {
    if (!p.io) return;
    if (p.io->IsOpen()) SetControlBits(p, kPunchReadyBit, false);
    p.io->PortClose();
}

bool SendChar(TPunch& p, uint8_t c) {
    if (p.Code == tcEia && c == '\n') return true;
    uint8_t b = EncodeByte(p.Code, c);
    std::string error;
    PauseMs(p.Hold);
    if (p.InvRead) b = uint8_t(~b);
    if (!p.io->PortWrite(Base(p), b, error, true)) {
        p.PortFailed = true;
        return false;
    }
    PauseMs(p.Stabil);
    if (!SetControlBits(p, kStrobeBit, !p.InvSpocket)) return false;
    PauseMs(p.Delay);
    return SetControlBits(p, kStrobeBit, p.InvSpocket);
}

namespace {
bool ReaderStatusError(TPunch& p, bool& forward, bool& ready, std::string& error) {
    uint8_t status = 0;
    bool ok = ReadStatus(p, status, error);
    forward = p.BareFram || (((status & kDirectionBit) != 0) != p.InvRetning);
    ready = ok && (((status & kMotorBit) != 0) != p.InvMotor);
    return ready;
}
}  // namespace

bool ReaderStatus(TPunch& p, bool& forward, bool& ready) {
    std::string error;
    return ReaderStatusError(p, forward, ready, error);
}

bool WaitReaderReady(TPunch& p, bool& forward, bool& ready,
                     const std::function<bool()>& keepWaiting) {
    const auto start = Clock::now();
    auto nextPass = start + std::chrono::milliseconds(100);
    std::string error;
    while (!ReaderStatusError(p, forward, ready, error)) {
        // A driver that fails would otherwise repeat its error box for the whole wait.
        if (DriverFailed(error)) break;
        if (p.Break > 0 && Elapsed(start, p.Break)) break;
        if (keepWaiting && Clock::now() >= nextPass) {
            if (!keepWaiting()) break;
            nextPass = Clock::now() + std::chrono::milliseconds(100);
        }
        std::this_thread::yield();
    }
    return ready;
}

bool ReceiveByte(TPunch& p, uint8_t& c) {
    const uint16_t base = Base(p);
    const auto start = Clock::now();
    std::string error;
    if (!p.Punch) {
        // The machine is never told to punch: the wait runs out.
        SetControlBits(p, kPunchReadyBit, false);
        while (!Elapsed(start, p.TimeOut)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return false;
    }
    bool punched = false;
    do {
        uint8_t status = 0;
        if (!SetControlBits(p, kPunchReadyBit, true)) return false;
        if (ReadStatus(p, status, error) && (status & kPunchStrobeBit)) {
            punched = true;
            break;
        }
        if (DriverFailed(error)) break;
        std::this_thread::yield();
    } while (!Elapsed(start, p.TimeOut));
    if (!punched) {
        SetControlBits(p, kPunchReadyBit, false);
        return false;
    }

    bool got = false;
    uint8_t value = 0;
    for (int attempt = 0; attempt <= (p.Repeter < 0 ? 0 : p.Repeter) && !got; ++attempt) {
        if (!p.io->PortReadStable(base + 1, p.Repeter, error, true, value)) {
            if (DriverFailed(error)) {
                p.PortFailed = true;
                break;
            }
            continue;
        }
        got = true;
        for (int i = 0; i < p.Repeter && got; ++i) {
            uint8_t again = 0;
            got = p.io->PortReadStable(base + 1, p.Repeter, error, true, again) && again == value;
        }
    }
    SetControlBits(p, kPunchReadyBit, false);
    if (!got) {
        if (p.PortFailed) return false;
        ShowMessageBox(kPunchReadCaption, kUnstableDataByte);
        return false;
    }
    // The machine ends its strobe once it sees the byte taken.
    const auto taken = Clock::now();
    bool cleared = false;
    do {
        uint8_t status = 0;
        if (!ReadStatus(p, status, error)) {
            if (DriverFailed(error)) break;
        } else if (!(status & kPunchStrobeBit)) {
            cleared = true;
            break;
        }
        std::this_thread::yield();
    } while (!Elapsed(taken, p.TimeOut));
    if (!cleared) return false;
    c = DecodeByte(p.Code, value);
    return true;
}

void ReceiveLine(TPunch& p, std::string& line, bool& done) {
    line.clear();
    done = false;
    for (;;) {
        uint8_t c = 0;
        if (!ReceiveByte(p, c)) {
            done = true;
            return;
        }
        if (c >= 0x20) {
            line += char(c);
        } else if ((c == '\r' || c == '\n') && !line.empty()) {
            return;
        }
    }
}
