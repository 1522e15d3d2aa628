#include "platform/NetSerial.h"

#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Sockets.h"
#include "platform/TelnetComPort.h"
#include "platform/TermiosSerial.h"

namespace {
// The socket's send buffer (the kernel doubles it): what may still leave after an XOFF, on
// top of the port's queue.
constexpr int kSocketSendBuffer = 8192;
// Data from the machine that nobody reads (while a program goes out) is kept up to this.
constexpr size_t kInputLimit = 65536;
// Queued output waits at most this long for more to go with it.
constexpr auto kSendDelay = std::chrono::milliseconds(1);
constexpr auto kStall = std::chrono::milliseconds(kNetStallMs);

std::string Reason(int err) { return std::strerror(err); }

std::string Seconds(int ms) { return std::to_string((ms + 999) / 1000); }

void SetOption(int fd, int level, int name, int value) {
    ::setsockopt(fd, level, name, &value, sizeof value);
}
}  // namespace

NetSerial::NetSerial() = default;

NetSerial::~NetSerial() { Close(); }

std::string NetSerial::HostPort() const {
    const bool v6 = address_.host.find(':') != std::string::npos;
    return (v6 ? "[" + address_.host + "]" : address_.host) + ":" + address_.port;
}

void NetSerial::Fail(const std::string& text) {
    if (failure_.empty()) failure_ = text;
}

bool NetSerial::Open(const std::string& name) {
    Close();
    failure_.clear();
    dcb_ = SerialDcb{};
    timeouts_ = CommTimeouts{};
    out_.clear();
    commands_.clear();
    pairOpen_ = false;
    in_.clear();
    inPos_ = 0;
    held_ = watchXonXoff_ = xonSeen_ = lineSet_ = false;
    sentFlow_ = sentDtr_ = sentRts_ = 0;

    const std::string mapped = MappedPortName(name);
    if (!ParseNetworkPortName(mapped, address_)) {
        failure_ = kNetBadAddress + mapped;
        return false;
    }
    const long long deadlineMs = SteadyNowMs() + stepMs_;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    if (int r = ::getaddrinfo(address_.host.c_str(), address_.port.c_str(), &hints, &list); r != 0) {
        failure_ = kNetNoContact + HostPort() + ": " + ::gai_strerror(r);
        return false;
    }
    int err = ECONNREFUSED;
    for (addrinfo* a = list; a && fd_ < 0; a = a->ai_next) {
        fd_ = ConnectTo(a->ai_addr, a->ai_addrlen, deadlineMs);
        if (fd_ < 0) err = errno;
        if (SteadyNowMs() >= deadlineMs) break;
    }
    ::freeaddrinfo(list);
    if (fd_ < 0) {
        failure_ = kNetNoContact + HostPort() +
                   (err == ETIMEDOUT ? std::string(kNetWithin) + Seconds(stepMs_) + " s" : ": " + Reason(err));
        return false;
    }
    // Every piece goes at once (the queue gathers them); a small send buffer keeps what an
    // XOFF cannot stop small; keepalive finds a server that has vanished while the line is
    // idle.
    SetOption(fd_, IPPROTO_TCP, TCP_NODELAY, 1);
    SetOption(fd_, SOL_SOCKET, SO_SNDBUF, kSocketSendBuffer);
    SetOption(fd_, SOL_SOCKET, SO_KEEPALIVE, 1);
    SetOption(fd_, IPPROTO_TCP, TCP_KEEPIDLE, 10);
    SetOption(fd_, IPPROTO_TCP, TCP_KEEPINTVL, 5);
    SetOption(fd_, IPPROTO_TCP, TCP_KEEPCNT, 3);
    lastSend_ = Clock::now();

    if (address_.rfc2217) {
        telnet_ = std::make_unique<TelnetComPort>(commands_, out_);
        telnet_->Start();
        const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0LL, deadlineMs - SteadyNowMs()));
        while (failure_.empty() && telnet_->ComPort() == TelnetComPort::Agreement::Pending &&
               Clock::now() < deadline) {
            Service(true);
            WaitForLine(deadline, 20);
        }
        if (telnet_->ComPort() != TelnetComPort::Agreement::Agreed) {
            std::string why = failure_.empty() ? std::string(kNetNoComPort) : failure_;
            Close();
            failure_ = why;
            return false;
        }
    }
    return true;
}

bool NetSerial::SetupQueues(uint32_t, uint32_t outQueue) {
    if (fd_ < 0) return false;
    capacity_ = std::max<size_t>(size_t(outQueue) * 4, 1024);
    return true;
}

bool NetSerial::GetState(SerialDcb& dcb) {
    if (fd_ < 0) return false;
    dcb = dcb_;
    return true;
}

bool NetSerial::SetTimeouts(const CommTimeouts& timeouts) {
    if (fd_ < 0) return false;
    timeouts_ = timeouts;
    return true;
}

uint8_t NetSerial::FlowRequest() const {
    if (dcb_.fOutX) {
        // The server stops its line on DC3 and lets it go on DC1, and the machine's first XON
        // must reach the port: only then, and only with those characters, is it the server's.
        const bool usual = xonChar_ == 0x11 && xoffChar_ == 0x13;
        return usual && xonSeen_ ? TelnetComPort::kFlowXonXoff : TelnetComPort::kFlowNone;
    }
    if (dcb_.fOutxCtsFlow) return TelnetComPort::kFlowHardware;
    if (dcb_.fOutxDsrFlow) return TelnetComPort::kFlowDsr;
    return TelnetComPort::kFlowNone;
}

void NetSerial::UpdateServerFlow() {
    if (!telnet_ || !lineSet_) return;
    const uint8_t flow = FlowRequest();
    if (flow == sentFlow_) return;
    telnet_->SendCommand(TelnetComPort::kSetControl, flow);
    sentFlow_ = flow;
}

bool NetSerial::SetState(const SerialDcb& d) {
    if (fd_ < 0 || !failure_.empty()) return false;
    if (d.BaudRate == 0 || d.ByteSize < 5 || d.ByteSize > 8 || d.Parity > SPACEPARITY || d.StopBits > TWOSTOPBITS)
        return false;
    dcb_ = d;
    watchXonXoff_ = d.fOutX;
    xonChar_ = d.XonChar;
    xoffChar_ = d.XoffChar;
    if (!watchXonXoff_) held_ = false;
    if (!telnet_) return true;  // the raw stream's line is the server's own setting
    // New settings come after the queued data; data the line holds is dropped, as a
    // terminal line drops it (but not the second half of a doubled IAC).
    if (!FlushWhileMoving(false)) out_.erase(pairOpen_ && !out_.empty() ? 1 : 0);
    if (!failure_.empty()) return false;

    using T = TelnetComPort;
    uint32_t expected[6] = {};  // the answer count awaited per command, 0 for none
    uint32_t asked[6] = {};
    auto ask = [&](T::Command command, uint32_t value) {
        telnet_->SendCommand(command, value);
        expected[command] = telnet_->Answers(command) + 1;
        asked[command] = value;
    };
    static constexpr uint8_t kParity[] = {1, 2, 3, 4, 5};  // none, odd, even, mark, space
    static constexpr uint8_t kStop[] = {1, 3, 2};          // one, one and a half, two
    if (!lineSet_ || d.BaudRate != sentDcb_.BaudRate) ask(T::kSetBaudRate, d.BaudRate);
    if (!lineSet_ || d.ByteSize != sentDcb_.ByteSize) ask(T::kSetDataSize, d.ByteSize);
    if (!lineSet_ || d.Parity != sentDcb_.Parity) ask(T::kSetParity, kParity[d.Parity]);
    if (!lineSet_ || d.StopBits != sentDcb_.StopBits) ask(T::kSetStopSize, kStop[d.StopBits]);
    const uint8_t flow = FlowRequest();
    if (!lineSet_ || flow != sentFlow_) {
        ask(T::kSetControl, flow);
        sentFlow_ = flow;
    }
    // DTR and RTS are not answered by every server (not for a line without modem lines).
    const uint8_t dtr = d.fDtrControl != DTR_CONTROL_DISABLE ? T::kDtrOn : T::kDtrOff;
    if (!lineSet_ || dtr != sentDtr_) telnet_->SendCommand(T::kSetControl, dtr);
    sentDtr_ = dtr;
    if (flow != T::kFlowHardware) {
        const uint8_t rts = d.fRtsControl != RTS_CONTROL_DISABLE ? T::kRtsOn : T::kRtsOff;
        if (!lineSet_ || rts != sentRts_) telnet_->SendCommand(T::kSetControl, rts);
        sentRts_ = rts;
    }
    lineSet_ = true;
    sentDcb_ = d;

    const auto deadline = Clock::now() + std::chrono::milliseconds(stepMs_);
    for (;;) {
        Service(true);
        if (!failure_.empty()) return false;
        bool all = true;
        for (int c = T::kSetBaudRate; c <= T::kSetControl; ++c)
            if (expected[c] && telnet_->Answers(static_cast<T::Command>(c)) < expected[c]) all = false;
        if (all) break;
        if (Clock::now() >= deadline) return false;
        WaitForLine(deadline, 20);
    }
    // The server answers with what it has set: a setting it cannot take is refused. Flow
    // control it does not take is kept here.
    for (int c = T::kSetBaudRate; c <= T::kSetStopSize; ++c)
        if (expected[c] && telnet_->LastAnswer(static_cast<T::Command>(c)) != asked[c]) return false;
    return true;
}

bool NetSerial::Escape(EscapeFunction function) {
    if (fd_ < 0 || !failure_.empty()) return false;
    using T = TelnetComPort;
    switch (function) {
    case EscapeFunction::SETXOFF:
        // As if the machine had sent XOFF: only its XON lets the output go.
        held_ = true;
        xonSeen_ = false;
        UpdateServerFlow();
        return true;
    case EscapeFunction::SETXON:
        held_ = false;
        xonSeen_ = true;
        UpdateServerFlow();
        return true;
    case EscapeFunction::SETDTR:
    case EscapeFunction::CLRDTR:
        sentDtr_ = function == EscapeFunction::SETDTR ? T::kDtrOn : T::kDtrOff;
        if (telnet_) telnet_->SendCommand(T::kSetControl, sentDtr_);
        return true;
    case EscapeFunction::SETRTS:
    case EscapeFunction::CLRRTS:
        sentRts_ = function == EscapeFunction::SETRTS ? T::kRtsOn : T::kRtsOff;
        if (telnet_) telnet_->SendCommand(T::kSetControl, sentRts_);
        return true;
    }
    return false;
}

bool NetSerial::ModemLines(bool& cts, bool& dsr) const {
    if (!telnet_ || !telnet_->ModemKnown()) return false;
    cts = (telnet_->ModemState() & TelnetComPort::kModemCts) != 0;
    dsr = (telnet_->ModemState() & TelnetComPort::kModemDsr) != 0;
    return true;
}

bool NetSerial::Held() const {
    if (held_) return true;
    if (!telnet_) return false;
    if (telnet_->Suspended()) return true;
    // Handshake lines that the server does not watch itself are watched here.
    bool cts = true, dsr = true;
    if (!ModemLines(cts, dsr)) return false;
    const bool answered = telnet_->Answers(TelnetComPort::kSetControl) > 0;
    const uint32_t serverFlow = answered ? telnet_->LastAnswer(TelnetComPort::kSetControl) : 0;
    if (dcb_.fOutxCtsFlow && serverFlow != TelnetComPort::kFlowHardware && !cts) return true;
    if (dcb_.fOutxDsrFlow && serverFlow != TelnetComPort::kFlowDsr && !dsr) return true;
    return false;
}

void NetSerial::Take(const uint8_t* data, size_t n) {
    bool firstXon = false;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = data[i];
        if (watchXonXoff_) {
            // Equal characters toggle.
            if (c == xoffChar_ && (c != xonChar_ || !held_)) {
                held_ = true;
                continue;
            }
            if (c == xonChar_) {
                held_ = false;
                if (!xonSeen_) firstXon = xonSeen_ = true;
                continue;
            }
        }
        if (in_.size() - inPos_ < kInputLimit) in_.push_back(static_cast<char>(c));
    }
    if (firstXon) UpdateServerFlow();
}

bool NetSerial::SendFrom(std::string& queue, size_t limit) {
    while (!queue.empty() && limit > 0) {
        const size_t n = std::min(queue.size(), limit);
        ssize_t w = ::send(fd_, queue.data(), n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w > 0) {
            if (&queue == &out_ && telnet_) {
                // Every IAC in the data is doubled: note whether a pair was cut.
                for (ssize_t i = 0; i < w; ++i)
                    pairOpen_ = pairOpen_ ? false : static_cast<uint8_t>(queue[size_t(i)]) == 0xFF;
            }
            queue.erase(0, static_cast<size_t>(w));
            limit -= static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
        Fail(kNetBroken + Reason(w < 0 ? errno : EPIPE));
        return false;
    }
    return true;
}

void NetSerial::SendQueued() {
    lastSend_ = Clock::now();
    // A command goes between two data bytes, never into a doubled IAC.
    if (pairOpen_ && !SendFrom(out_, 1)) return;
    if (!SendFrom(commands_, SIZE_MAX)) return;
    if (!Held()) SendFrom(out_, SIZE_MAX);
}

bool NetSerial::FlushWhileMoving(bool throughKernel) {
    size_t last = SIZE_MAX;
    auto lastChange = Clock::now();
    while (failure_.empty()) {
        Service(true);
        const size_t pending = throughKernel ? Pending() : out_.size();
        if (pending == 0) return true;
        const auto now = Clock::now();
        if (pending != last) {
            last = pending;
            lastChange = now;
        } else if (now - lastChange >= kStall) {
            return false;
        }
        WaitForLine(lastChange + kStall, 5);
    }
    return false;
}

void NetSerial::Service(bool force, bool oneRead) {
    if (fd_ < 0 || !failure_.empty()) return;
    if (!force && out_.size() < capacity_ / 2 && commands_.empty() && Clock::now() - lastSend_ < kSendDelay)
        return;
    uint8_t buffer[16384];
    for (;;) {
        ssize_t r = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (r > 0) {
            if (telnet_) {
                telnet_->Receive(buffer, static_cast<size_t>(r));
                std::string& data = telnet_->Input();
                Take(reinterpret_cast<const uint8_t*>(data.data()), data.size());
                data.clear();
                if (!telnet_->ProtocolError().empty()) {
                    Fail(kNetBroken + telnet_->ProtocolError());
                    return;
                }
            } else {
                Take(buffer, static_cast<size_t>(r));
            }
            if (oneRead) break;
            continue;
        }
        if (r == 0) {
            Fail(kNetClosed);
            return;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) break;
        Fail(kNetBroken + Reason(errno));
        return;
    }
    SendQueued();
}

void NetSerial::WaitForLine(Clock::time_point deadline, int sliceMs) {
    if (fd_ < 0) return;
    int ms = sliceMs;
    if (deadline != Clock::time_point::max()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count() + 1;
        ms = static_cast<int>(std::clamp<long long>(left, 0, sliceMs));
    }
    const bool sending = !commands_.empty() || (!out_.empty() && (pairOpen_ || !Held()));
    pollfd p{fd_, static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0};
    ::poll(&p, 1, ms);
}

size_t NetSerial::Pending() const {
    int inKernel = 0;
    if (fd_ < 0 || ::ioctl(fd_, SIOCOUTQ, &inKernel) != 0 || inKernel < 0) inKernel = 0;
    return out_.size() + commands_.size() + static_cast<size_t>(inKernel);
}

bool NetSerial::Write(const uint8_t* data, uint32_t n, uint32_t& written, int32_t maxWaitMs) {
    written = 0;
    if (fd_ < 0 || !failure_.empty()) return false;
    if (n == 0) return true;
    const auto deadline = WriteDeadline(timeouts_, n, maxWaitMs);
    uint32_t accepted = 0;
    for (;;) {
        while (accepted < n && out_.size() < capacity_) {
            const size_t k = std::min<size_t>(capacity_ - out_.size(), n - accepted);
            if (telnet_) telnet_->SendData(data + accepted, k);
            else out_.append(reinterpret_cast<const char*>(data) + accepted, k);
            accepted += static_cast<uint32_t>(k);
        }
        if (accepted == n) {
            Service(false);
            break;
        }
        Service(true);
        if (!failure_.empty()) break;
        if (out_.size() < capacity_) continue;
        if (Clock::now() >= deadline) break;
        WaitForLine(deadline, 50);
    }
    written = accepted;
    return failure_.empty();
}

bool NetSerial::Drain(int32_t timeoutMs) {
    if (fd_ < 0) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max<int32_t>(timeoutMs, 0));
    for (;;) {
        Service(true);
        if (!failure_.empty()) return false;
        if (Pending() == 0) return true;
        if (Clock::now() >= deadline) return false;
        WaitForLine(deadline, 2);
    }
}

bool NetSerial::ReadByte(uint8_t& byte, bool& got) {
    got = false;
    if (fd_ < 0) return false;
    const auto deadline = ReadByteDeadline(timeouts_);
    for (;;) {
        while (inPos_ < in_.size()) {
            const auto c = static_cast<uint8_t>(in_[inPos_++]);
            if (inPos_ == in_.size()) {
                in_.clear();
                inPos_ = 0;
            }
            if (c == 0 && dcb_.fNull) continue;
            byte = c;
            got = true;
            return true;
        }
        // What arrived before the server went is read first.
        if (!failure_.empty()) return false;
        Service(true, true);
        if (inPos_ < in_.size()) continue;
        if (!failure_.empty()) return false;
        if (Clock::now() >= deadline) return true;  // timed out
        WaitForLine(deadline, 1000);
    }
}

void NetSerial::Close() {
    if (fd_ < 0) return;
    // Queued output goes first while it moves; output the line holds back is dropped, so
    // that the close does not wait for a machine that holds XOFF.
    if (!FlushWhileMoving(true)) {
        // Reset rather than leave the server a stream of held bytes.
        linger l{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    ::close(fd_);
    fd_ = -1;
    telnet_.reset();
    out_.clear();
    commands_.clear();
    pairOpen_ = false;
    in_.clear();
    inPos_ = 0;
}

void InstallSerialPorts() {
    SetSerialDeviceFactory([](const std::string& name) -> std::unique_ptr<SerialDevice> {
        if (IsNetworkPortName(MappedPortName(name))) return std::make_unique<NetSerial>();
        return std::make_unique<TermiosSerial>();
    });
}
