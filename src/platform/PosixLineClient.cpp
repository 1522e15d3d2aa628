#include "platform/PosixLineClient.h"

#include "platform/Sockets.h"
#include "settings/Strings.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>


bool PosixLineClient::WaitFor(short events, long long deadlineMs) {
    // A failed poll counts as ready: the following call reports the error.
    return WaitFd(fd_, events, deadlineMs, [this] { Waiting(); }) != 0;
}

bool PosixLineClient::Connect(const std::string& host, const std::string& port) {
    Disconnect();
    if (host.empty() || !IsPortNumber(port)) return false;
    long long deadline = SteadyNowMs() + connectMs_;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0) return false;
    for (addrinfo* a = list; a && fd_ < 0 && SteadyNowMs() < deadline; a = a->ai_next)
        fd_ = ConnectTo(a->ai_addr, a->ai_addrlen, deadline, [this] { Waiting(); });
    ::freeaddrinfo(list);
    return fd_ >= 0;
}

bool PosixLineClient::SendLine(const std::string& line, const std::string& lineEnd) {
    if (fd_ < 0) return false;
    return SendAll(fd_, line + lineEnd, replyMs_, false, [this] { Waiting(); }) == 1;
}

LineClient::Receive PosixLineClient::ReceiveLine(std::string& line) {
    line.clear();
    if (fd_ < 0) return Receive::Failed;
    long long deadline = SteadyNowMs() + replyMs_;
    char chunk[16384];
    for (;;) {
        if (reader_.Next(line)) return Receive::Line;
        if (!WaitFor(POLLIN, deadline)) {
            line = reader_.Partial();
            return Receive::TimedOut;
        }
        ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n == 0) {
            line = reader_.Partial();
            reader_.Clear();
            return Receive::Closed;
        }
        if (n < 0) {
            const int err = errno;
            if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) continue;
            line = reader_.Partial();
            return err == ECONNRESET ? Receive::Closed : Receive::Failed;
        }
        reader_.Feed(std::string_view(chunk, static_cast<size_t>(n)));
    }
}

void PosixLineClient::Disconnect() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    reader_.Clear();
}
