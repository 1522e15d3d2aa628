#include "PtyMachine.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/NetSerial.h"

PtyMachine::PtyMachine() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("posix_openpt");
    slave_ = ::ptsname(master_);
    slaveHold_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY);
    // A raw line from the start (set through the slave): what the machine sends before the
    // port opens is neither echoed nor edited.
    struct termios t;
    if (slaveHold_ >= 0 && ::tcgetattr(slaveHold_, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slaveHold_, TCSANOW, &t);
        ::tcgetattr(slaveHold_, &t);
        initialSettings_.assign(reinterpret_cast<const char*>(&t), sizeof t);
    }
    link_ = dir_.File("COM1");
    if (::symlink(slave_.c_str(), link_.c_str()) != 0) throw std::runtime_error("symlink");
    lastArrival_ = std::chrono::steady_clock::now();
    reader_ = std::thread([this] { ReadLoop(); });
}

PtyMachine::~PtyMachine() {
    stop_ = true;
    reader_.join();
    if (master_ >= 0) ::close(master_);
    if (slaveHold_ >= 0) ::close(slaveHold_);
}

void PtyMachine::ReadLoop() {
    char buf[65536];
    while (!stop_) {
        ssize_t n = -1;
        bool open = false, ready = false;
        {
            // The line is read under ioMutex_, so CloseMaster never closes it under a read
            // (its number could be another file's by then).
            std::lock_guard<std::mutex> io(ioMutex_);
            open = master_ >= 0;
            struct pollfd p{master_, POLLIN, 0};
            ready = open && ::poll(&p, 1, 20) > 0;
            if (ready) n = ::read(master_, buf, sizeof buf);
        }
        if (n > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(buf, static_cast<size_t>(n));
            lastArrival_ = std::chrono::steady_clock::now();
            arrived_.notify_all();
        } else if (!open || ready) {  // closed, or a hung-up line that poll keeps reporting
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

std::string PtyMachine::Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool PtyMachine::WaitForBytes(size_t n, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return received_.size() >= n; });
}

bool PtyMachine::WaitPortSetUp(std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        struct termios t;
        if (slaveHold_ >= 0 && ::tcgetattr(slaveHold_, &t) == 0 &&
            std::string(reinterpret_cast<const char*>(&t), sizeof t) != initialSettings_)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::string PtyMachine::WaitQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::lock_guard<std::mutex> lock(mutex_);
        auto now = std::chrono::steady_clock::now();
        if (now - lastArrival_ >= quiet || now >= end) return received_;
    }
}

void PtyMachine::Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
}

void PtyMachine::CloseMaster() {
    std::lock_guard<std::mutex> io(ioMutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    if (slaveHold_ >= 0) ::close(slaveHold_);
    slaveHold_ = -1;
}

namespace {
SerialDeviceFactory g_previous;
}
ScopedTermiosPorts::ScopedTermiosPorts() {
    g_previous = SetSerialDeviceFactory({});
    InstallSerialPorts();
}
ScopedTermiosPorts::~ScopedTermiosPorts() { SetSerialDeviceFactory(g_previous); }
