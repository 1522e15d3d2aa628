#include "transfer/EditCom.h"

#include <chrono>
#include <thread>

#include "settings/MessageSink.h"
#include "settings/Settings.h"

namespace {
void Fail(TComPort& port, const char* caption, const char* text) {
    port.Handle->Close();
    port.Handle.reset();
    ShowMessageBox(caption, text);
}

// A pause that depends on the processor's speed.
void SpinLoop(int32_t count) {
    volatile int64_t counter = 0;
    for (int64_t i = 0; i < int64_t(count) * 10; ++i) counter = counter + 1;
}
}  // namespace

void OpenComPort(const std::string& section, const std::string& device, bool sending, bool& ok,
                 TComPort& port) {
    std::string name = device;
    if (device.size() == 5 && ReadIniBool("Program", "NTComms", true)) name = "\\\\.\\" + device;

    port.Eob = ReadIniString(section, "EOB", "[CR][LF]", true).substr(0, kMaxEobLength);
    port.Code = TapeCodeFromName(ReadIniString(section, "Kode", "ISO"));

    ok = false;
    port.LineError.clear();
    if (port.Handle) {
        port.Handle->Close();
        port.Handle.reset();
    }
    port.Handle = CreateSerialDevice(name);
    if (!port.Handle) return;
    if (!port.Handle->Open(name)) {
        // A device server says why it could not be reached; the caller shows it.
        port.LineError = port.Handle->Failure();
        port.Handle.reset();
        return;
    }
    if (!port.Handle->SetupQueues(kInputQueueSize, kOutputQueueSize))
        return Fail(port, kSetupCommCaption, kSetupCommText);
    if (!port.Handle->GetState(port.Dcb)) return Fail(port, kGetStateCaption, kGetStateText);

    SerialDcb& d = port.Dcb;
    d.BaudRate = static_cast<uint32_t>(ReadIniInt(section, "Baud", 9600));
    d.XonLim = 0x0F80;
    d.XoffLim = 0x40;
    d.ByteSize = static_cast<uint8_t>(ReadIniInt(section, "Bit", 8));
    std::string parity = ReadIniString(section, "Paritet", "N");
    char p = parity.empty() ? 'N' : parity[0];
    d.Parity = p == 'E' ? EVENPARITY : p == 'O' ? ODDPARITY : NOPARITY;
    int32_t stop = ReadIniInt(section, "StoppBit", 1);
    if (sending) stop = ReadIniInt(section, "StoppBitUt", stop);
    d.StopBits = stop == 2 ? TWOSTOPBITS : ONESTOPBIT;
    // DC3 with the ISO parity bit when the machine reads ISO over an 8-bit line without
    // parity; DC1 already has even parity, so XonChar stays as the driver has it.
    d.XoffChar = (d.Parity == NOPARITY && d.ByteSize == 8 && port.Code != tcAscii &&
                  port.Code != tcSoftIso)
                     ? 0x93
                     : 0x13;

    d.ClearFlags();
    d.fNull = ReadIniBool(section, "FjernNull", false);
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fTXContinueOnXoff = true;
    d.fRtsControl = RTS_CONTROL_HANDSHAKE;
    port.XonXoff = ReadIniBool(section, "XonXoff", false);
    port.RtsCts = ReadIniBool(section, "RtsCts", !port.XonXoff);
    port.DtrDsr = ReadIniBool(section, "DtrDsr", !port.XonXoff);
    port.HandShake = ReadIniBool(section, "HandShake", true);
    if (port.HandShake) {
        d.fOutX = d.fInX = port.XonXoff;
        d.fOutxCtsFlow = port.RtsCts;
        d.fOutxDsrFlow = port.DtrDsr;
    } else {
        port.XonXoff = false;
    }
    if (!port.Handle->SetState(d)) return Fail(port, kSetStateCaption, kSetStateText);

    if (port.XonXoff) {
        bool on = ReadIniBool(section, "AktiverXON", false);
        if (!port.Handle->Escape(on ? EscapeFunction::SETXON : EscapeFunction::SETXOFF))
            ShowMessageBox(kEscapeCaption, kEscapeText);
    }

    port.Delay = ReadIniInt(section, "Delay", 0);
    port.Loop = ReadIniInt(section, "Loop", 0);
    port.TimeMultiplier = ReadIniInt(section, "TimeMultiplier", 1000);
    if (port.TimeMultiplier < 50) port.TimeMultiplier = 50;
    auto tm = static_cast<uint32_t>(port.TimeMultiplier);
    port.Timeouts = CommTimeouts{tm, tm, 0, 0, tm};
    if (!port.Handle->SetTimeouts(port.Timeouts)) return Fail(port, kTimeoutsCaption, kTimeoutsText);
    ok = true;
}

void CloseComPort(TComPort& port) {
    if (!port.Handle) return;
    port.Dcb.fDtrControl &= static_cast<uint8_t>(~1u);  // the low bit: DTR inactive
    port.Dcb.fRtsControl &= static_cast<uint8_t>(~2u);  // the high bit: RTS inactive
    // A line that is gone (its loss already told) has no DTR or RTS left to drop.
    if (!ComLineLost(port) && !port.Handle->SetState(port.Dcb)) ShowMessageBox(kCloseCaption, kCloseText);
    port.Handle->Close();
    port.Handle.reset();
}

void WriteComBlock(TComPort& port, std::string& block) {
    if (block.empty()) return;
    if (!port.Handle) return;
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto budget = std::chrono::milliseconds(port.TimeMultiplier);
    uint8_t buffer[kComBlockSize];
    size_t sent = 0;  // bytes of the block that went out
    while (sent < block.size()) {
        // Every piece after the first shares what is left of the call's one write timeout,
        // so a call held up by flow control still returns within it.
        int32_t maxWait = -1;
        if (sent > 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(budget - (Clock::now() - start)).count();
            if (left <= 0) break;
            maxWait = static_cast<int32_t>(left);
        }
        size_t n = std::min(kComBlockSize, block.size() - sent);
        for (size_t i = 0; i < n; ++i)
            buffer[i] = EncodeByte(port.Code, static_cast<uint8_t>(block[sent + i]));
        size_t written = 0;
        if (port.Delay == 0 && port.Loop == 0) {
            uint32_t w = 0;
            port.Handle->Write(buffer, static_cast<uint32_t>(n), w, maxWait);
            written = w;
        } else {
            for (size_t i = 0; i < n; ++i) {
                uint32_t w = 0;
                port.Handle->Write(buffer + i, 1, w, maxWait);
                if (w != 1) break;
                ++written;
                if (port.Delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(port.Delay));
                if (port.Loop > 0) SpinLoop(port.Loop);
            }
        }
        sent += written;
        if (written < n) break;
    }
    block.erase(0, sent);
}

bool DrainComPort(TComPort& port) {
    if (!port.Handle) return false;
    return port.Handle->Drain(port.TimeMultiplier);
}

bool ComLineLost(TComPort& port) {
    if (!port.Handle) return false;
    if (port.LineError.empty()) port.LineError = port.Handle->Failure();
    return !port.LineError.empty();
}

void ReadComLine(TComPort& port, std::string& line, bool& done) {
    line.clear();
    done = false;
    if (!port.Handle) {
        done = true;
        return;
    }
    for (;;) {
        uint8_t raw = 0;
        bool got = false;
        bool success = port.Handle->ReadByte(raw, got) && got;
        uint8_t c = DecodeByte(port.Code, raw);
        if (success && c >= 0x20) {
            line.push_back(static_cast<char>(c));
            continue;
        }
        if (!success || c == 0x03 || c == 0x04 || c == 0x14 || c == 0x1A) {
            done = true;
            return;
        }
        if ((c == 0x0A || c == 0x0D) && !line.empty()) return;
    }
}
