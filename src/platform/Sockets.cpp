#include "platform/Sockets.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

long long SteadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int WaitFd(int fd, short events, long long deadline, const std::function<void()>& slice,
           int sliceMs) {
    for (;;) {
        long long left = deadline - SteadyNowMs();
        if (left <= 0) return 0;
        if (slice && left > sliceMs) left = sliceMs;
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, static_cast<int>(left));
        if (r > 0) return 1;
        if (r < 0 && errno != EINTR) return -1;
        if (r == 0 && slice) slice();
    }
}

int ConnectTo(const sockaddr* addr, socklen_t len, long long deadline,
              const std::function<void()>& slice) {
    int fd = ::socket(addr->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, addr, len) == 0) return fd;
    if (errno != EINPROGRESS) {
        int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    int w = WaitFd(fd, POLLOUT, deadline, slice);
    int err = 0;
    socklen_t elen = sizeof err;
    if (w == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &elen) == 0 && err == 0) return fd;
    ::close(fd);
    errno = w == 0 ? ETIMEDOUT : (err ? err : EIO);
    return -1;
}

int SendAll(int fd, std::string_view data, int limitMs, bool perStall,
            const std::function<void()>& slice) {
    long long deadline = SteadyNowMs() + limitMs;
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
            if (perStall) deadline = SteadyNowMs() + limitMs;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            int w = WaitFd(fd, POLLOUT, deadline, slice);
            if (w == 1) continue;
            return w;
        }
        return -1;
    }
    return 1;
}
