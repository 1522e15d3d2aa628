#pragma once
// A serial device server in raw TCP mode for tests, on 127.0.0.1 at a free port, with the
// test as the machine behind it: it takes one connection at a time, keeps every byte that
// arrives, sends what the test gives it, and can be told never to read or to drop the
// connection. Every wait is bounded.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "TestSupport.h"

class DeviceServer {
public:
    enum class Mode {
        Machine,    // reads everything
        NeverRead,  // accepts and never reads (a small receive buffer fills at once)
    };

    // A small receive buffer keeps what the port can have under way small.
    explicit DeviceServer(Mode mode = Mode::Machine, bool smallBuffer = false) : mode_(mode) {
        listen_ = ListenOnLoopback(4, port_, mode_ == Mode::NeverRead || smallBuffer ? 4096 : 0);
        thread_ = std::thread([this] { Run(); });
    }
    ~DeviceServer() {
        stop_ = true;
        thread_.join();
        DropConnection();
        ::close(listen_);
    }

    int port() const { return port_; }
    // "tcp://127.0.0.1:PORT", as the settings name the port.
    std::string Name(const char* scheme = "tcp") const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }
    // A port on 127.0.0.1 on which nothing listens.
    static int RefusingPort() { return RefusingLoopbackPort(); }

    int Connections() const { return connections_; }
    bool WaitAccepted(int count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return connections_ >= count; });
    }
    std::string Received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    size_t ReceivedSize() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_.size();
    }
    bool WaitForBytes(size_t n, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return received_.size() >= n; });
    }
    // Waits until the peer has closed the connection.
    bool WaitClosedByPeer(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return peerClosed_; });
    }
    // The machine stops taking bytes once it has n (the port's output then stands still),
    // and takes them again on Resume.
    void PauseAt(size_t n) {
        std::lock_guard<std::mutex> lock(mutex_);
        pauseAt_ = n;
    }
    void Resume() {
        std::lock_guard<std::mutex> lock(mutex_);
        pauseAt_ = SIZE_MAX;
    }
    // The machine sends (XON, XOFF, a program).
    void Send(const std::string& bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        size_t done = 0;
        while (conn_ >= 0 && done < bytes.size()) {
            ssize_t n = ::send(conn_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
    }
    // The server goes away: the connection is closed (reset when data is left unread).
    void DropConnection() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (conn_ >= 0) ::close(conn_);
        conn_ = -1;
    }

private:
    void Run() {
        char buf[65536];
        while (!stop_) {
            int c;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                c = conn_;
            }
            if (c < 0) {
                pollfd p{listen_, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0) continue;
                int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0) continue;
                std::lock_guard<std::mutex> lock(mutex_);
                conn_ = fd;
                peerClosed_ = false;
                ++connections_;
                changed_.notify_all();
                continue;
            }
            bool paused;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                paused = received_.size() >= pauseAt_;
            }
            if (mode_ == Mode::NeverRead || paused) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            pollfd p{c, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            ssize_t n = ::recv(c, buf, sizeof buf, MSG_DONTWAIT);
            std::lock_guard<std::mutex> lock(mutex_);
            if (n > 0) {
                received_.append(buf, static_cast<size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                if (conn_ == c) {
                    ::close(conn_);
                    conn_ = -1;
                }
                peerClosed_ = true;
            }
            changed_.notify_all();
        }
    }

    Mode mode_;
    int listen_ = -1;
    int port_ = 0;
    int conn_ = -1;
    bool peerClosed_ = false;
    int connections_ = 0;
    size_t pauseAt_ = SIZE_MAX;
    std::string received_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
