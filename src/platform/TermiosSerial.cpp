#include "platform/TermiosSerial.h"

// termios2 (arbitrary baud rates) comes from the kernel's own header, which cannot be mixed
// with <termios.h>; everything here goes through ioctl.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace {
struct StandardRate {
    uint32_t rate;
    tcflag_t code;
};
const StandardRate kRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

int MillisLeft(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(std::min<long long>(left + 1, 1 << 30));
}

// The kernel cannot watch for a character of value 0 (it disables the function) and cannot
// tell two equal characters apart.
bool KernelCanFlow(const SerialDcb& d) {
    return d.XonChar != 0 && d.XoffChar != 0 && d.XonChar != d.XoffChar;
}
}  // namespace

TermiosSerial::~TermiosSerial() { Close(); }

bool TermiosSerial::Open(const std::string& name) {
    Close();
    std::string path = SerialDevicePath(name);
    if (path.empty()) return false;
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return false;
    ::ioctl(fd_, TIOCEXCL);       // no sharing
    ::ioctl(fd_, TCXONC, TCOON);  // a stop left from an earlier use is lifted
    haveModemLines_ = true;
    timeouts_ = CommTimeouts{};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
        pendingInput_.clear();
        dead_ = stopWriter_ = false;
        softwareFlow_ = softwareStopped_ = dsrFlow_ = false;
    }
    writer_ = std::thread([this] { FlushLoop(); });
    return true;
}

bool TermiosSerial::SetupQueues(uint32_t, uint32_t outQueue) {
    if (fd_ < 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    capacity_ = std::max<size_t>(size_t(outQueue) * 4, 1024);
    return true;
}

bool TermiosSerial::GetState(SerialDcb& dcb) {
    if (fd_ < 0) return false;
    struct termios2 t;
    if (::ioctl(fd_, TCGETS2, &t) != 0) return false;
    SerialDcb d = dcb_;
    d.BaudRate = t.c_ospeed;
    if ((t.c_cflag & CBAUD) != BOTHER) {
        for (auto& r : kRates)
            if ((t.c_cflag & CBAUD) == r.code) d.BaudRate = r.rate;
    }
    switch (t.c_cflag & CSIZE) {
    case CS5: d.ByteSize = 5; break;
    case CS6: d.ByteSize = 6; break;
    case CS7: d.ByteSize = 7; break;
    default: d.ByteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB)) d.Parity = NOPARITY;
    else if (t.c_cflag & CMSPAR) d.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else d.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    d.StopBits = (t.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    d.fParity = (t.c_iflag & INPCK) != 0;
    d.fOutxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    d.fOutX = (t.c_iflag & IXON) != 0 || dcb_.fOutX;
    d.fInX = (t.c_iflag & IXOFF) != 0;
    d.XonChar = t.c_cc[VSTART] ? t.c_cc[VSTART] : dcb_.XonChar;
    d.XoffChar = t.c_cc[VSTOP] ? t.c_cc[VSTOP] : dcb_.XoffChar;
    int lines = 0;
    if (haveModemLines_ && ::ioctl(fd_, TIOCMGET, &lines) == 0) {
        d.fDtrControl = (lines & TIOCM_DTR) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        if (!d.fOutxCtsFlow) d.fRtsControl = (lines & TIOCM_RTS) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    }
    dcb = d;
    return true;
}

bool LineSettingsToTermios(const SerialDcb& d, uint32_t& cflagOut, uint32_t& iflagOut) {
    tcflag_t cflag = CREAD | CLOCAL;
    switch (d.ByteSize) {
    case 5: cflag |= CS5; break;
    case 6: cflag |= CS6; break;
    case 7: cflag |= CS7; break;
    case 8: cflag |= CS8; break;
    default: return false;
    }
    switch (d.Parity) {
    case NOPARITY: break;
    case ODDPARITY: cflag |= PARENB | PARODD; break;
    case EVENPARITY: cflag |= PARENB; break;
    case MARKPARITY: cflag |= PARENB | CMSPAR | PARODD; break;
    case SPACEPARITY: cflag |= PARENB | CMSPAR; break;
    default: return false;
    }
    switch (d.StopBits) {
    case ONESTOPBIT: break;
    case ONE5STOPBITS:  // 1.5 stop bits exist only with 5 data bits, where CSTOPB means them
    case TWOSTOPBITS: cflag |= CSTOPB; break;
    default: return false;
    }
    // Linux has one switch for RTS and CTS handshake; it follows the output side.
    if (d.fOutxCtsFlow) cflag |= CRTSCTS;
    tcflag_t iflag = IGNBRK;
    if (d.fParity) iflag |= INPCK;
    if (KernelCanFlow(d)) {
        if (d.fOutX) iflag |= IXON;
        if (d.fInX) iflag |= IXOFF;
    }
    cflagOut = cflag;
    iflagOut = iflag;
    return true;
}

bool TermiosSerial::SetState(const SerialDcb& d) {
    if (fd_ < 0) return false;
    // New line settings (DTR and RTS dropped at the end) come after the queued output.
    if (!DrainOutput()) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
    }
    struct termios2 t;
    if (::ioctl(fd_, TCGETS2, &t) != 0) return false;
    if (d.BaudRate == 0) return false;
    uint32_t cflag = 0, iflag = 0;
    if (!LineSettingsToTermios(d, cflag, iflag)) return false;
    tcflag_t code = BOTHER;
    for (auto& r : kRates)
        if (r.rate == d.BaudRate) code = r.code;
    t.c_cflag = cflag | code;
    t.c_ospeed = t.c_ispeed = d.BaudRate;
    // Raw bytes: no echo, no line editing, no translation, no signals.
    t.c_lflag = 0;
    t.c_oflag = 0;
    t.c_iflag = iflag;
    bool kernelFlow = KernelCanFlow(d);
    if (kernelFlow) {
        t.c_cc[VSTART] = d.XonChar;
        t.c_cc[VSTOP] = d.XoffChar;
    }
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::ioctl(fd_, TCSETS2, &t) != 0) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        softwareFlow_ = !kernelFlow && d.fOutX;
        if (!softwareFlow_) softwareStopped_ = false;
        dsrFlow_ = d.fOutxDsrFlow;
        xonChar_ = d.XonChar;
        xoffChar_ = d.XoffChar;
    }
    dcb_ = d;
    SetModemLine(TIOCM_DTR, d.fDtrControl != DTR_CONTROL_DISABLE);
    if (!d.fOutxCtsFlow) SetModemLine(TIOCM_RTS, d.fRtsControl != RTS_CONTROL_DISABLE);
    return true;
}

bool TermiosSerial::SetModemLine(int line, bool on) {
    if (fd_ < 0) return false;
    if (!haveModemLines_) return true;
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) != 0) {
        // A pseudo-terminal has no modem lines; that is no fault of the port.
        if (errno == ENOTTY || errno == EINVAL) {
            haveModemLines_ = false;
            return true;
        }
        return false;
    }
    return true;
}

bool TermiosSerial::DsrLow() {
    if (!haveModemLines_ || !dsrFlow_) return false;
    int lines = 0;
    if (::ioctl(fd_, TIOCMGET, &lines) != 0) {
        haveModemLines_ = false;
        return false;
    }
    return (lines & TIOCM_DSR) == 0;
}

bool TermiosSerial::Escape(EscapeFunction function) {
    if (fd_ < 0) return false;
    switch (function) {
    case EscapeFunction::SETXOFF: {
        // The port acts as if the machine had sent XOFF: only its XON lets the output go.
        // Linux does not let a received XON lift a stop made by tcflow, so the watch for
        // XON/XOFF moves here for the rest of the transfer.
        std::lock_guard<std::mutex> lock(mutex_);
        if (dcb_.fOutX && !softwareFlow_) {
            struct termios2 t;
            if (::ioctl(fd_, TCGETS2, &t) != 0) return false;
            t.c_iflag &= ~static_cast<tcflag_t>(IXON);
            if (::ioctl(fd_, TCSETS2, &t) != 0) return false;
            softwareFlow_ = true;
        }
        if (softwareFlow_) {
            softwareStopped_ = true;
            return true;
        }
        return ::ioctl(fd_, TCXONC, TCOOFF) == 0;
    }
    case EscapeFunction::SETXON: {
        std::lock_guard<std::mutex> lock(mutex_);
        if (softwareFlow_) {
            softwareStopped_ = false;
            changed_.notify_all();
            return true;
        }
        return ::ioctl(fd_, TCXONC, TCOON) == 0;
    }
    case EscapeFunction::SETRTS: return SetModemLine(TIOCM_RTS, true);
    case EscapeFunction::CLRRTS: return SetModemLine(TIOCM_RTS, false);
    case EscapeFunction::SETDTR: return SetModemLine(TIOCM_DTR, true);
    case EscapeFunction::CLRDTR: return SetModemLine(TIOCM_DTR, false);
    }
    return false;
}

bool TermiosSerial::SetTimeouts(const CommTimeouts& timeouts) {
    if (fd_ < 0) return false;
    timeouts_ = timeouts;
    return true;
}

void TermiosSerial::TakeInputLocked() {
    char buf[256];
    for (;;) {
        ssize_t got = ::read(fd_, buf, sizeof buf);
        if (got <= 0) return;
        for (ssize_t i = 0; i < got; ++i) {
            auto c = static_cast<uint8_t>(buf[i]);
            if (c == xoffChar_ && (c != xonChar_ || !softwareStopped_)) softwareStopped_ = true;
            else if (c == xonChar_) softwareStopped_ = false;
            else pendingInput_.push_back(static_cast<char>(c));
        }
    }
}

void TermiosSerial::FlushLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopWriter_) {
        if (softwareFlow_) TakeInputLocked();
        bool held = softwareFlow_ && softwareStopped_;
        if (queue_.empty() || dead_) {
            changed_.wait_for(lock, std::chrono::milliseconds(20));
            continue;
        }
        if (held || DsrLow()) {
            // Held by the machine: look for its XON (or for DSR) again shortly.
            lock.unlock();
            struct pollfd p{fd_, POLLIN, 0};
            if (held) ::poll(&p, 1, 5);
            else std::this_thread::sleep_for(std::chrono::milliseconds(2));
            lock.lock();
            continue;
        }
        size_t n = queue_.size();
        writeBuffer_.assign(queue_.begin(), queue_.end());
        lock.unlock();
        ssize_t r = ::write(fd_, writeBuffer_.data(), n);
        int err = errno;
        if (r < 0 && (err == EAGAIN || err == EINTR)) {
            // The kernel takes nothing: the line is held (XOFF, CTS) or its buffer is full.
            struct pollfd p{fd_, static_cast<short>(POLLOUT | (softwareFlow_ ? POLLIN : 0)), 0};
            int pr = ::poll(&p, 1, 20);
            lock.lock();
            if (pr > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLOUT)) {
                dead_ = true;
                changed_.notify_all();
            }
            continue;
        }
        lock.lock();
        if (r > 0) {
            queue_.erase(0, static_cast<size_t>(r));
        } else {
            dead_ = true;
        }
        changed_.notify_all();
    }
}

bool TermiosSerial::DrainOutput() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!writer_.joinable()) return true;
    // Output that moves is waited for; a line on which nothing moves for a while is held.
    const auto stall = std::chrono::milliseconds(
        std::max<long long>(50, 30000LL / std::max<uint32_t>(dcb_.BaudRate, 1)));
    size_t last = SIZE_MAX;
    auto lastChange = Clock::now();
    for (;;) {
        int inKernel = 0;
        if (::ioctl(fd_, TIOCOUTQ, &inKernel) != 0 || inKernel < 0) inKernel = 0;
        size_t pending = queue_.size() + static_cast<size_t>(inKernel);
        if (pending == 0) return true;
        if (dead_) return false;
        auto now = Clock::now();
        if (pending != last) {
            last = pending;
            lastChange = now;
        } else if (now - lastChange >= stall) {
            return false;
        }
        changed_.wait_for(lock, std::chrono::milliseconds(2));
    }
}

bool TermiosSerial::Drain(int32_t timeoutMs) {
    if (fd_ < 0) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max<int32_t>(timeoutMs, 0));
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        int inKernel = 0;
        if (::ioctl(fd_, TIOCOUTQ, &inKernel) != 0 || inKernel < 0) inKernel = 0;
        if (queue_.empty() && inKernel == 0) return true;
        if (dead_) {
            lock.unlock();
            std::this_thread::sleep_until(deadline);  // a dead line is waited on like a held one
            return false;
        }
        if (Clock::now() >= deadline) return false;
        changed_.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(2)));
    }
}

bool TermiosSerial::Write(const uint8_t* data, uint32_t n, uint32_t& written, int32_t maxWaitMs) {
    written = 0;
    if (fd_ < 0) return false;
    if (n == 0) return true;
    const auto deadline = WriteDeadline(timeouts_, n, maxWaitMs);
    const bool unlimited = deadline == Clock::time_point::max();
    std::unique_lock<std::mutex> lock(mutex_);
    uint32_t accepted = 0;
    while (!dead_) {
        if (queue_.size() < capacity_) {
            size_t k = std::min<size_t>(capacity_ - queue_.size(), n - accepted);
            queue_.append(reinterpret_cast<const char*>(data) + accepted, k);
            accepted += static_cast<uint32_t>(k);
            changed_.notify_all();
        }
        if (accepted == n) break;
        if (unlimited) changed_.wait(lock);
        else if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && queue_.size() >= capacity_)
            break;
    }
    if (dead_) {
        // Nothing more leaves a dead line, and it behaves like a silent one: the call uses up
        // its timeout rather than returning at once, so a caller that retries does not spin.
        queue_.clear();
        lock.unlock();
        if (!unlimited) std::this_thread::sleep_until(deadline);
        else std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return false;
    }
    written = accepted;
    return true;
}

bool TermiosSerial::ReadByte(uint8_t& byte, bool& got) {
    got = false;
    if (fd_ < 0) return false;
    const auto deadline = ReadByteDeadline(timeouts_);
    const bool unlimited = deadline == Clock::time_point::max();
    for (;;) {
        bool software;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            software = softwareFlow_;
            if (software) TakeInputLocked();
            bool found = false;
            while (!found && !pendingInput_.empty()) {
                auto c = static_cast<uint8_t>(pendingInput_.front());
                pendingInput_.erase(0, 1);
                if (c == 0 && dcb_.fNull) continue;
                byte = c;
                found = true;
            }
            if (found) {
                got = true;
                return true;
            }
        }
        if (!software) {
            uint8_t c;
            ssize_t r = ::read(fd_, &c, 1);
            if (r == 1) {
                if (c == 0 && dcb_.fNull) continue;
                byte = c;
                got = true;
                return true;
            }
            if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                // The line is gone: wait out the timeout as a silent line would.
                if (!unlimited) std::this_thread::sleep_until(deadline);
                else std::this_thread::sleep_for(std::chrono::milliseconds(100));
                return false;
            }
        }
        int left = unlimited ? -1 : MillisLeft(deadline);
        if (!unlimited && Clock::now() >= deadline) return true;  // timed out
        struct pollfd p{fd_, POLLIN, 0};
        int pr = ::poll(&p, 1, left);
        if (pr < 0 && errno == EINTR) return true;  // a signal ends the wait like a timeout
        if (pr > 0 && (p.revents & (POLLERR | POLLNVAL))) {
            if (!unlimited) std::this_thread::sleep_until(deadline);
            return false;
        }
        if (pr > 0 && (p.revents & POLLHUP) && (software || !(p.revents & POLLIN))) {
            if (!unlimited) std::this_thread::sleep_until(deadline);
            return false;
        }
    }
}

void TermiosSerial::StopWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopWriter_ = true;
        changed_.notify_all();
    }
    if (writer_.joinable()) writer_.join();
}

void TermiosSerial::Close() {
    if (fd_ < 0) return;
    // Queued output goes first while it moves; output held by flow control is dropped, so
    // that the close does not wait for a machine that holds XOFF.
    bool drained = DrainOutput();
    StopWriter();
    int queued = 0;
    if (!drained && ::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) ::ioctl(fd_, TCFLSH, TCOFLUSH);
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
}
