#pragma once
// The serial device on a POSIX terminal line (termios, Linux termios2 for any baud rate).
// A pseudo-terminal has no modem lines: the calls for DTR, RTS, CTS and DSR are skipped there
// without error.
#include <chrono>
#include <string>

#include "transfer/SerialDevice.h"

class TermiosSerial : public SerialDevice {
public:
    TermiosSerial() = default;
    ~TermiosSerial() override;
    bool Open(const std::string& name) override;
    bool SetupQueues(uint32_t inQueue, uint32_t outQueue) override;
    bool GetState(SerialDcb& dcb) override;
    bool SetState(const SerialDcb& dcb) override;
    bool Escape(EscapeFunction function) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;
    bool Write(const uint8_t* data, uint32_t n, uint32_t& written, int32_t maxWaitMs = -1) override;
    bool ReadByte(uint8_t& byte, bool& got) override;
    void Close() override;

private:
    using Clock = std::chrono::steady_clock;
    bool SetModemLine(int line, bool on);
    bool DsrLow();
    void TakeInput();          // software flow control: reads what has arrived
    void WaitUntil(Clock::time_point deadline);

    int fd_ = -1;
    SerialDcb dcb_;
    CommTimeouts timeouts_;
    bool haveModemLines_ = true;   // false after the line refused a modem-line call
    // XON/XOFF done here when the kernel cannot use the chosen characters.
    bool softwareFlow_ = false;
    bool softwareStopped_ = false;
    std::string pendingInput_;     // bytes read while watching for XON/XOFF
};

// Makes the program's ports termios ports.
void InstallTermiosSerial();
