#include "platform/PosixLineClient.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace {
long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool ValidPort(const std::string& port) {
    if (port.empty() || port.size() > 5) return false;
    int v = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    return v >= 1 && v <= 65535;
}

constexpr int kSliceMs = 50;
}  // namespace

bool PosixLineClient::WaitFor(short events, long long deadlineMs) {
    for (;;) {
        long long left = deadlineMs - NowMs();
        if (left <= 0) return false;
        pollfd p{fd_, events, 0};
        int r = ::poll(&p, 1, static_cast<int>(left < kSliceMs ? left : kSliceMs));
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return true;  // the following call reports the error
        Waiting();
    }
}

bool PosixLineClient::Connect(const std::string& host, const std::string& port) {
    Disconnect();
    if (host.empty() || !ValidPort(port)) return false;
    long long deadline = NowMs() + connectMs_;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0) return false;
    for (addrinfo* a = list; a && fd_ < 0; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          a->ai_protocol);
        if (fd < 0) continue;
        fd_ = fd;
        bool ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        if (!ok && errno == EINPROGRESS && WaitFor(POLLOUT, deadline)) {
            int err = 0;
            socklen_t len = sizeof err;
            ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
        }
        if (!ok) {
            ::close(fd);
            fd_ = -1;
        }
        if (NowMs() >= deadline) break;
    }
    ::freeaddrinfo(list);
    return fd_ >= 0;
}

bool PosixLineClient::SendLine(const std::string& line, const std::string& lineEnd) {
    if (fd_ < 0) return false;
    std::string data = line + lineEnd;
    long long deadline = NowMs() + replyMs_;
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!WaitFor(POLLOUT, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

LineClient::Receive PosixLineClient::ReceiveLine(std::string& line) {
    line.clear();
    if (fd_ < 0) return Receive::Failed;
    long long deadline = NowMs() + replyMs_;
    bool cut = false;  // the line is full: the rest of it is read and dropped
    char chunk[16384];
    for (;;) {
        size_t lf = buffer_.find('\n');
        if (lf != std::string::npos) {
            if (!cut) {
                line = buffer_.substr(0, std::min(lf, MaxLineLength()));
                if (lf <= MaxLineLength() && !line.empty() && line.back() == '\r') line.pop_back();
            }
            buffer_.erase(0, lf + 1);
            return Receive::Line;
        }
        if (!cut && buffer_.size() >= MaxLineLength()) {
            line = buffer_.substr(0, MaxLineLength());
            cut = true;
        }
        if (cut) buffer_.clear();
        if (!WaitFor(POLLIN, deadline)) {
            if (!cut) line = buffer_;
            return Receive::TimedOut;
        }
        ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n == 0) {
            if (!cut) line = buffer_;
            buffer_.clear();
            return Receive::Closed;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            if (!cut) line = buffer_;
            return errno == ECONNRESET ? Receive::Closed : Receive::Failed;
        }
        buffer_.append(chunk, static_cast<size_t>(n));
    }
}

void PosixLineClient::Disconnect() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    buffer_.clear();
}
