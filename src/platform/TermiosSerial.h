#pragma once
// The serial device on a POSIX terminal line (termios, Linux termios2 for any baud rate).
// A pseudo-terminal has no modem lines: the calls for DTR, RTS, CTS and DSR are skipped there
// without error.
//
// Output goes through the port's own output queue (the size given to SetupQueues, times
// four): a write puts its bytes into the queue and a writer thread of the port hands them to
// the kernel in large pieces, under the flow control. A write returns when all its bytes are
// queued, or when its timeout runs out, with what did not fit as the unwritten remainder.
// Queued bytes leave in order when the line lets them; closing the port or changing its line
// settings first waits while they are leaving, and drops them when the line is held.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
    bool Drain(int32_t timeoutMs) override;
    bool ReadByte(uint8_t& byte, bool& got) override;
    void Close() override;

private:
    using Clock = std::chrono::steady_clock;
    bool SetModemLine(int line, bool on);
    bool DsrLow();
    void TakeInputLocked();  // software flow control: reads what has arrived
    void FlushLoop();        // the writer thread
    bool DrainOutput();      // false when the line is held or dead
    void StopWriter();

    int fd_ = -1;
    SerialDcb dcb_;
    CommTimeouts timeouts_;
    std::atomic<bool> haveModemLines_{true};  // false after the line refused a modem-line call

    std::mutex mutex_;  // guards what follows
    std::condition_variable changed_;
    std::string queue_;            // the output queue
    size_t capacity_ = 4096;
    bool dead_ = false;            // the line is gone (hang-up, pulled adapter)
    bool stopWriter_ = false;
    // XON/XOFF done here when the kernel cannot: characters it cannot use, or a port started
    // held (Linux lets no received XON lift a stop made by tcflow).
    bool softwareFlow_ = false;
    bool softwareStopped_ = false;
    bool dsrFlow_ = false;
    uint8_t xonChar_ = 0x11;
    uint8_t xoffChar_ = 0x13;
    std::string pendingInput_;     // bytes read while watching for XON/XOFF
    std::vector<char> writeBuffer_;
    std::thread writer_;
};

// The termios control and input flags for line settings (the speed bits aside); false for
// settings the line cannot take (a byte size outside 5-8, an unknown parity or stop-bit value).
bool LineSettingsToTermios(const SerialDcb& dcb, uint32_t& cflag, uint32_t& iflag);
