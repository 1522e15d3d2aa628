#pragma once
// The machine tool on the far side of a pseudo-terminal pair: the port under test opens the
// slave (through a link named like a COM port), the machine reads and writes the master.
// Terminal settings are never changed through the master.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "TestSupport.h"

class PtyMachine {
public:
    PtyMachine();
    ~PtyMachine();
    PtyMachine(const PtyMachine&) = delete;
    PtyMachine& operator=(const PtyMachine&) = delete;

    const std::string& slavePath() const { return slave_; }
    // A descriptor of the slave held by the machine: the line's settings as the port (or a
    // device server) left them can be read through it.
    int slaveFd() const { return slaveHold_; }
    // A link "<temp>/COM1" to the slave; its DNC form names the port in the settings.
    const std::string& linkPath() const { return link_; }

    // Bytes the machine has received so far.
    std::string Received();
    // Waits until at least n bytes arrived; false on timeout.
    bool WaitForBytes(size_t n, std::chrono::milliseconds timeout);
    // Waits until a port has set the line up (its settings differ from the raw line the machine
    // left): the program on the other side has opened its port. False on timeout.
    bool WaitPortSetUp(std::chrono::milliseconds timeout);
    // Waits until no byte arrived for quiet; returns the bytes.
    std::string WaitQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout);
    void Send(const std::string& bytes);  // the machine sends (XON/XOFF, a program)
    void CloseMaster();                   // the line goes dead

private:
    void ReadLoop();
    TempDir dir_;
    int master_ = -1;
    int slaveHold_ = -1;  // keeps the slave side from hanging up between opens
    std::string initialSettings_;  // the line's settings as the machine left them
    std::string slave_;
    std::string link_;
    std::mutex ioMutex_;  // held over a read of the line and while it is closed
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::string received_;
    std::chrono::steady_clock::time_point lastArrival_;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

// Installs the program's own ports (terminal lines and device servers) for the test's lifetime.
class ScopedTermiosPorts {
public:
    ScopedTermiosPorts();
    ~ScopedTermiosPorts();
};
