#include "platform/PosixFtpClient.h"

#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
// The QUIT at the end is a courtesy: a server that does not answer it is not waited for long.
constexpr int kQuitMs = 3000;

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string Seconds(int ms) { return std::to_string(ms <= 0 ? 1 : (ms + 999) / 1000); }

// A command must not carry a second one: control bytes end it.
bool SafeArgument(const std::string& s) {
    for (unsigned char c : s)
        if (c == '\r' || c == '\n' || c == 0) return false;
    return true;
}
}  // namespace

PosixFtpClient::~PosixFtpClient() { CloseSession(); }

void PosixFtpClient::SetTimeLimits(int connectMs, int replyMs) {
    connectMs_ = connectMs;
    replyMs_ = replyMs;
}

bool PosixFtpClient::SplitHost(const std::string& host, std::string& name, int& port) {
    port = 21;
    size_t colon = host.find(':');
    if (!host.empty() && host[0] == '[') {
        // An IPv6 address in brackets, optionally followed by ":port".
        size_t close = host.find(']');
        if (close == std::string::npos) return false;
        name = host.substr(0, close + 1);
        colon = close + 1 < host.size() && host[close + 1] == ':' ? close + 1 : std::string::npos;
        if (colon == std::string::npos && close + 1 != host.size()) return false;
    } else if (colon != std::string::npos && host.find(':', colon + 1) != std::string::npos) {
        name = "[" + host + "]";  // a bare IPv6 address
        return true;
    } else {
        name = host.substr(0, colon);
    }
    if (name.empty()) return false;
    if (colon == std::string::npos) return true;
    std::string p = host.substr(colon + 1);
    if (p.empty() || p.size() > 5) return false;
    int v = 0;
    for (char c : p) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > 65535) return false;
    port = v;
    return true;
}

bool PosixFtpClient::DataPortRange(int portMin, int portMax, int& lo, int& hi) {
    lo = portMin;
    hi = portMax;
    if (lo <= 0 && hi <= 0) {
        lo = hi = 0;
        return true;
    }
    if (lo <= 0) lo = hi;
    if (hi < lo) hi = lo;
    return lo >= 1 && hi <= 65535;
}

std::string PosixFtpClient::PortCommand(const std::string& ipv4, int port) {
    in_addr a{};
    if (port < 1 || port > 65535 || ::inet_pton(AF_INET, ipv4.c_str(), &a) != 1) return "";
    auto* b = reinterpret_cast<const unsigned char*>(&a.s_addr);
    return "PORT " + std::to_string(b[0]) + "," + std::to_string(b[1]) + "," +
           std::to_string(b[2]) + "," + std::to_string(b[3]) + "," + std::to_string(port >> 8) +
           "," + std::to_string(port & 255);
}

std::string PosixFtpClient::TimedOutText(int limitMs) const {
    return std::string(kFtpTimedOut) + Seconds(limitMs) + " s";
}

void PosixFtpClient::CloseSession() {
    CloseFd(fd_);
    replies_.Clear();
}

bool PosixFtpClient::ReadReply(int& code, std::string& text, int limitMs) {
    code = 0;
    text.clear();
    long long deadline = SteadyNowMs() + limitMs;
    for (;;) {
        if (replies_.Next(code, text)) return true;
        int w = WaitFd(fd_, POLLIN, deadline);
        if (w == 0) {
            failure_ = TimedOutText(limitMs);
            CloseSession();
            return false;
        }
        char chunk[4096];
        ssize_t n = w < 0 ? -1 : ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            replies_.Feed(std::string_view(chunk, static_cast<size_t>(n)));
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            continue;
        } else {
            failure_ = n == 0 ? std::string(kFtpClosed)
                              : std::string(kFtpClosed) + ": " + std::strerror(errno);
            CloseSession();
            return false;
        }
    }
}

bool PosixFtpClient::SendCommand(const std::string& command) {
    if (fd_ < 0) {
        failure_ = kFtpNotConnected;
        return false;
    }
    int r = SendAll(fd_, command + "\r\n", replyMs_);
    if (r == 1) return true;
    failure_ = r == 0 ? TimedOutText(replyMs_) : std::string(kFtpClosed) + ": " + std::strerror(errno);
    CloseSession();
    return false;
}

bool PosixFtpClient::Command(const std::string& command, int& code, std::string& text) {
    return SendCommand(command) && ReadReply(code, text, replyMs_);
}

bool PosixFtpClient::Connect() {
    failure_.clear();
    CloseSession();
    std::string name;
    int port;
    if (!SplitHost(host_, name, port)) {
        failure_ = kFtpBadHost + host_;
        return false;
    }
    if (!SafeArgument(user_) || !SafeArgument(password_)) {
        failure_ = "Ugyldig brukernavn eller passord";
        return false;
    }
    if (name.front() == '[') name = name.substr(1, name.size() - 2);
    long long deadline = SteadyNowMs() + connectMs_;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    std::string portText = std::to_string(port);
    int gai = ::getaddrinfo(name.c_str(), portText.c_str(), &hints, &list);
    if (gai != 0) {
        failure_ = kFtpNoConnection + host_ + ": " + ::gai_strerror(gai);
        return false;
    }
    int err = ECONNREFUSED;
    for (addrinfo* a = list; a && fd_ < 0 && SteadyNowMs() < deadline; a = a->ai_next) {
        fd_ = ConnectTo(a->ai_addr, a->ai_addrlen, deadline);
        if (fd_ < 0) err = errno;
    }
    ::freeaddrinfo(list);
    if (fd_ < 0) {
        failure_ = kFtpNoConnection + host_ + ": " + std::strerror(err);
        return false;
    }

    int code = 0;
    std::string text;
    long long left = deadline - SteadyNowMs();
    // The greeting; 120 asks to wait for the real one.
    do {
        if (!ReadReply(code, text, static_cast<int>(left > 0 ? left : 1))) return false;
        left = deadline - SteadyNowMs();
    } while (code == 120);
    if (code != 220) {
        failure_ = text;
        CloseSession();
        return false;
    }
    if (!Command("USER " + user_, code, text)) return false;
    if (code == 331 && !Command("PASS " + password_, code, text)) return false;
    if (code != 230 && code != 202) {
        failure_ = text;
        Disconnect();
        return false;
    }
    return true;
}

bool PosixFtpClient::ChangeDir(const std::string& dir) {
    failure_.clear();
    if (fd_ < 0) {
        failure_ = kFtpNotConnected;
        return false;
    }
    if (!SafeArgument(dir)) {
        failure_ = "Ugyldig mappenavn";
        return false;
    }
    int code = 0;
    std::string text;
    if (!Command("CWD " + dir, code, text)) return false;
    if (code == 200 || code == 250) return true;
    failure_ = text;
    return false;
}

bool PosixFtpClient::OpenPassive(int& dataFd) {
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
        failure_ = std::string(kFtpClosed) + ": " + std::strerror(errno);
        CloseSession();
        return false;
    }
    bool v6 = peer.ss_family == AF_INET6;
    int code = 0, port = 0;
    std::string text;
    if (!Command(v6 ? "EPSV" : "PASV", code, text)) return false;
    if (code >= 400 || (code != 227 && code != 229)) {
        failure_ = text;
        return false;
    }
    port = v6 ? ExtendedPassivePort(text) : PassivePort(text);
    if (port < 1 || port > 65535) {
        failure_ = kFtpBadPassiveReply + text;
        return false;
    }
    // The data connection goes to the server of the control connection, whatever address a
    // PASV reply names: a server behind NAT names its inner one, and no reply may send the
    // client elsewhere.
    if (v6)
        reinterpret_cast<sockaddr_in6*>(&peer)->sin6_port = htons(static_cast<uint16_t>(port));
    else
        reinterpret_cast<sockaddr_in*>(&peer)->sin_port = htons(static_cast<uint16_t>(port));
    dataFd = ConnectTo(reinterpret_cast<sockaddr*>(&peer), len, SteadyNowMs() + connectMs_);
    if (dataFd < 0) {
        failure_ = std::string(kFtpDataFailed) + std::strerror(errno);
        return false;
    }
    return true;
}

bool PosixFtpClient::OpenActive(int& listenFd) {
    int lo = 0, hi = 0;
    if (!DataPortRange(portMin_, portMax_, lo, hi)) {
        failure_ = kFtpNoDataPort + std::to_string(portMin_) + "-" + std::to_string(portMax_);
        return false;
    }
    // The address to announce: ExternalIP, or this side of the control connection.
    std::string announce;
    sockaddr_storage local{};
    socklen_t len = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &len) != 0) {
        failure_ = std::string(kFtpClosed) + ": " + std::strerror(errno);
        CloseSession();
        return false;
    }
    int family = local.ss_family;
    if (!externalIp_.empty()) {
        in_addr a{};
        if (::inet_pton(AF_INET, externalIp_.c_str(), &a) != 1) {
            // A name: its IPv4 address.
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* list = nullptr;
            if (!SafeArgument(externalIp_) ||
                ::getaddrinfo(externalIp_.c_str(), nullptr, &hints, &list) != 0 || !list) {
                failure_ = kFtpBadExternalIp + externalIp_;
                return false;
            }
            a = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
            ::freeaddrinfo(list);
        }
        char buf[INET_ADDRSTRLEN];
        announce = ::inet_ntop(AF_INET, &a, buf, sizeof buf);
        family = AF_INET;
    } else if (family == AF_INET6) {
        auto* l6 = reinterpret_cast<sockaddr_in6*>(&local);
        char buf[INET6_ADDRSTRLEN];
        if (IN6_IS_ADDR_V4MAPPED(&l6->sin6_addr)) {
            family = AF_INET;
            announce = ::inet_ntop(AF_INET, &l6->sin6_addr.s6_addr[12], buf, sizeof buf);
        } else {
            announce = ::inet_ntop(AF_INET6, &l6->sin6_addr, buf, sizeof buf);
        }
    } else {
        char buf[INET_ADDRSTRLEN];
        announce = ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&local)->sin_addr, buf,
                               sizeof buf);
    }

    // Listen on the wildcard address at the first free port of the range.
    int bound = 0, err = EADDRINUSE;
    for (int port = lo; port <= hi && listenFd < 0; ++port) {
        int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            err = errno;
            break;
        }
        int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_storage any{};
        socklen_t alen;
        if (family == AF_INET6) {
            auto* a6 = reinterpret_cast<sockaddr_in6*>(&any);
            a6->sin6_family = AF_INET6;
            a6->sin6_addr = in6addr_any;
            a6->sin6_port = htons(static_cast<uint16_t>(port));
            alen = sizeof *a6;
        } else {
            auto* a4 = reinterpret_cast<sockaddr_in*>(&any);
            a4->sin_family = AF_INET;
            a4->sin_addr.s_addr = htonl(INADDR_ANY);
            a4->sin_port = htons(static_cast<uint16_t>(port));
            alen = sizeof *a4;
        }
        if (::bind(fd, reinterpret_cast<sockaddr*>(&any), alen) == 0 && ::listen(fd, 1) == 0) {
            socklen_t blen = sizeof any;
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&any), &blen);
            bound = family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&any)->sin6_port)
                                       : ntohs(reinterpret_cast<sockaddr_in*>(&any)->sin_port);
            listenFd = fd;
        } else {
            err = errno;
            ::close(fd);
        }
    }
    if (listenFd < 0) {
        if (lo == 0)
            failure_ = std::string(kFtpDataFailed) + std::strerror(err);
        else
            failure_ = kFtpNoDataPort + std::to_string(lo) + "-" + std::to_string(hi);
        return false;
    }

    std::string command = family == AF_INET6
                              ? "EPRT |2|" + announce + "|" + std::to_string(bound) + "|"
                              : PortCommand(announce, bound);
    int code = 0;
    std::string text;
    if (!Command(command, code, text)) {
        CloseFd(listenFd);
        return false;
    }
    if (code != 200) {
        failure_ = text;
        CloseFd(listenFd);
        return false;
    }
    return true;
}

bool PosixFtpClient::AcceptData(int listenFd, int& dataFd) {
    // The server connects within the reply limit; a reply on the control connection in the
    // meantime means it gave up.
    long long deadline = SteadyNowMs() + replyMs_;
    for (;;) {
        dataFd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (dataFd >= 0) return true;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) {
            failure_ = std::string(kFtpDataFailed) + std::strerror(errno);
            return false;
        }
        long long left = deadline - SteadyNowMs();
        if (left <= 0) {
            failure_ = kFtpNoDataConnection + Seconds(replyMs_) + " s";
            return false;
        }
        pollfd p[2] = {{listenFd, POLLIN, 0}, {fd_, POLLIN, 0}};
        int r = ::poll(p, replies_.HasBytes() ? 1 : 2, static_cast<int>(left));
        if (r < 0 && errno != EINTR) {
            failure_ = std::string(kFtpDataFailed) + std::strerror(errno);
            return false;
        }
        if (replies_.HasBytes() || (r > 0 && (p[1].revents & (POLLIN | POLLHUP | POLLERR)))) {
            if (p[0].revents & POLLIN) continue;  // the connection came too
            int code = 0;
            std::string text;
            if (!ReadReply(code, text, replyMs_)) return false;
            failure_ = text;
            return false;
        }
    }
}

bool PosixFtpClient::SendData(int dataFd, std::string_view bytes) {
    // Each stall of the data may last the reply limit.
    int r = SendAll(dataFd, bytes, replyMs_, true);
    if (r == 1) return true;
    failure_ = r == 0 ? TimedOutText(replyMs_) : std::string(kFtpDataFailed) + std::strerror(errno);
    return false;
}

bool PosixFtpClient::Put(std::string_view bytes, const std::string& name) {
    failure_.clear();
    if (fd_ < 0) {
        failure_ = kFtpNotConnected;
        return false;
    }
    if (name.empty()) {
        failure_ = kFtpNoFileName;
        return false;
    }
    if (!SafeArgument(name)) {
        failure_ = "Ugyldig filnavn: " + name;
        return false;
    }
    int code = 0;
    std::string text;
    // Image type: the bytes go byte for byte.
    if (!Command("TYPE I", code, text)) return false;
    if (code != 200) {
        failure_ = text;
        return false;
    }
    int listenFd = -1, dataFd = -1;
    if (passive_ ? !OpenPassive(dataFd) : !OpenActive(listenFd)) return false;

    bool ok = Command("STOR " + name, code, text);
    if (ok && code >= 200) {
        // No data connection: refused (4xx, 5xx) or a reply out of place.
        failure_ = text;
        ok = false;
    }
    if (ok && !passive_) ok = AcceptData(listenFd, dataFd);
    CloseFd(listenFd);
    if (ok) ok = SendData(dataFd, bytes);
    if (dataFd >= 0) {
        if (ok) ::shutdown(dataFd, SHUT_WR);
        CloseFd(dataFd);  // the end of the file
    }
    if (!ok) {
        // The session's state is unknown after a broken transfer.
        if (fd_ >= 0 && failure_.rfind(kFtpDataFailed, 0) == 0) CloseSession();
        return false;
    }
    if (!ReadReply(code, text, replyMs_)) return false;
    if (code == 226 || code == 250) return true;
    failure_ = text;
    return false;
}

bool PosixFtpClient::Disconnect() {
    std::string failure = failure_;
    if (fd_ >= 0 && SendCommand("QUIT")) {
        int code = 0;
        std::string text;
        ReadReply(code, text, replyMs_ < kQuitMs ? replyMs_ : kQuitMs);
    }
    failure_ = failure;  // the goodbye never changes the outcome
    CloseSession();
    return true;
}
