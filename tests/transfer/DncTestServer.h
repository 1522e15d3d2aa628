#pragma once
// A DNC server for tests on 127.0.0.1 at a free port: it takes connections one after
// another, reads the request line and answers as told. Every wait is bounded.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "transfer/TcpTransfer.h"

class DncServer {
public:
    enum class Mode { Reply, CloseSilently, NeverAnswer, Flood };

    explicit DncServer(Mode mode = Mode::Reply, std::string reply = "OK\r\n")
        : mode_(mode), reply_(std::move(reply)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 4);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~DncServer() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    VakoAddress address() const { return ParseVakoIP("127.0.0.1:" + std::to_string(port_)); }
    int connections() const { return connections_; }
    // The reply comes this long after the request line (a busy server).
    void SetReplyDelay(int ms) { delayMs_ = ms; }
    std::string request() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return request_;
    }

private:
    bool Readable(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    void Run() {
        while (!stop_) {
            if (!Readable(fd_, 50)) continue;
            int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            ++connections_;
            Serve(c);
            ::close(c);
        }
    }
    void Serve(int c) {
        std::string got;
        for (int i = 0; i < 100 && got.find("\r\n") == std::string::npos && !stop_; ++i) {
            if (!Readable(c, 50)) continue;
            char buf[4096];
            ssize_t n = ::recv(c, buf, sizeof buf, 0);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            request_ = got;
        }
        if (delayMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_));
        switch (mode_) {
        case Mode::Reply:
            ::send(c, reply_.data(), reply_.size(), MSG_NOSIGNAL);
            break;
        case Mode::CloseSilently:
            break;
        case Mode::NeverAnswer:
            // Holds the connection until the client gives up (bounded by the test's end).
            while (!stop_) {
                if (Readable(c, 50)) {
                    char buf[64];
                    if (::recv(c, buf, sizeof buf, 0) <= 0) break;
                }
            }
            break;
        case Mode::Flood: {
            std::string chunk(65536, 'A');
            for (size_t sent = 0; sent < 10u * 1024 * 1024 && !stop_;) {
                ssize_t n = ::send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            break;
        }
        }
    }

    Mode mode_;
    std::string reply_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> delayMs_{0};
    mutable std::mutex mutex_;
    std::string request_;
    std::thread thread_;
};

