// The DNC request over loopback (connect, line, reply, close), reading a 10 MB reply without
// a line end (kept to its first 64 KiB, the rest dropped as it comes), and building the FTP
// upload's text of a large program.
#include <benchmark/benchmark.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/PosixLineClient.h"
#include "transfer/FtpKli.h"
#include "transfer/TcpTransfer.h"

namespace {
class Server {
public:
    explicit Server(size_t floodBytes) : flood_(floodBytes) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 16);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = std::to_string(ntohs(a.sin_port));
        thread_ = std::thread([this] { Run(); });
    }
    ~Server() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    VakoAddress address() const { return VakoAddress{"127.0.0.1", port_}; }

private:
    void Run() {
        std::string chunk(65536, 'A');
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            char buf[512];
            std::string got;
            while (got.find('\n') == std::string::npos) {
                ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                got.append(buf, static_cast<size_t>(n));
            }
            if (flood_ == 0) {
                ::send(c, "OK\r\n", 4, MSG_NOSIGNAL);
            } else {
                for (size_t sent = 0; sent < flood_;) {
                    ssize_t n = ::send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL);
                    if (n <= 0) break;
                    sent += static_cast<size_t>(n);
                }
            }
            ::close(c);
        }
    }
    size_t flood_;
    int fd_ = -1;
    std::string port_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
}  // namespace

static void BM_VakoExchangeOk(benchmark::State& state) {
    Server server(0);
    PosixLineClient client;
    for (auto _ : state) {
        std::string reply = VakoExchange(client, server.address(), "Send;FRES;C:\\CNC\\O1.NC");
        if (reply != "OK") state.SkipWithError("no OK");
    }
}
BENCHMARK(BM_VakoExchangeOk)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

static void BM_CutReply10MB(benchmark::State& state) {
    Server server(10u * 1024 * 1024);
    PosixLineClient client;
    for (auto _ : state) {
        std::string reply = VakoExchange(client, server.address(), "Send;FRES;C:\\CNC\\O1.NC");
        if (reply.size() != LineClient::MaxLineLength()) state.SkipWithError("not cut");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 10 * 1024 * 1024);
}
BENCHMARK(BM_CutReply10MB)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

static void BM_EditorTextBytes100k(benchmark::State& state) {
    std::vector<std::string> lines;
    for (int i = 0; i < 100000; ++i) lines.push_back("N" + std::to_string(i * 10) + " G01 X12.345 Y-6.789 F200");
    for (auto _ : state) benchmark::DoNotOptimize(EditorTextBytes(lines));
}
BENCHMARK(BM_EditorTextBytes100k)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
