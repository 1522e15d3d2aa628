// Sending a 10 MB program through a pseudo-terminal, and through a device server's raw TCP
// stream on loopback, with no flow control and no delays: the software must never be what
// limits a transfer (a serial line carries at most ~10 KB/s). A reader thread plays the
// machine and drains the master side or the server's socket.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/NetSerial.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "transfer/SerialTransfer.h"

namespace {
// Waits until the machine has taken n bytes; false when none came for a while, so bytes lost
// on the way end the benchmark with an error instead of a wait for ever.
bool WaitForBytes(const std::atomic<uint64_t>& received, uint64_t n) {
    constexpr auto kQuiet = std::chrono::seconds(5);
    uint64_t last = received.load();
    auto lastChange = std::chrono::steady_clock::now();
    while (received.load() < n) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        uint64_t now = received.load();
        if (now != last) {
            last = now;
            lastChange = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - lastChange > kQuiet) {
            return false;
        }
    }
    return true;
}

struct Pty {
    int master = -1;
    int hold = -1;
    std::string link;
    std::string dir;
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> received{0};
    std::thread reader;

    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ::grantpt(master);
        ::unlockpt(master);
        std::string slave = ::ptsname(master);
        hold = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
        struct termios t;
        ::tcgetattr(hold, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(hold, TCSANOW, &t);
        char tmpl[] = "/tmp/skarvbench-XXXXXX";
        dir = ::mkdtemp(tmpl);
        link = dir + "/COM1";
        ::symlink(slave.c_str(), link.c_str());
        reader = std::thread([this] {
            std::vector<char> buf(1 << 16);
            while (!stop) {
                struct pollfd p{master, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0) continue;
                ssize_t n = ::read(master, buf.data(), buf.size());
                if (n > 0) received += static_cast<uint64_t>(n);
            }
        });
    }
    ~Pty() {
        stop = true;
        reader.join();
        ::close(master);
        ::close(hold);
        std::filesystem::remove_all(dir);
    }
    bool WaitFor(uint64_t n) { return WaitForBytes(received, n); }
};

std::vector<std::string> TenMegabyteProgram(uint64_t& wireBytes) {
    std::vector<std::string> lines;
    wireBytes = 0;
    for (int i = 0; wireBytes < 10u * 1024 * 1024; ++i) {
        lines.push_back("N" + std::to_string(i * 10) + " G1 X" + std::to_string(i % 1000) + ".125 Y-" +
                        std::to_string(i % 377) + ".5 F1200");
        wireBytes += lines.back().size() + 2;
    }
    return lines;
}

// The device in "Port" of the editor's section, configured from the section "COM1" without
// flow control.
void WriteIni(const std::string& dir, const std::string& device) {
    std::string path = dir + "/Vako.ini";
    std::ofstream(path, std::ios::binary)
        << "[VakoEdit]\r\nPort=" << device << "\r\nMaskinPort=1\r\n"
        << "[Maskin1]\r\nPort=COM1\r\n[COM1]\r\nKode=ISO\r\nXonXoff=0\r\nRtsCts=0\r\nDtrDsr=0\r\n";
    SetIniFileName(NativeToDncPath(path));
}
void WriteIni(const Pty& pty) { WriteIni(pty.dir, NativeToDncPath(pty.link)); }

// The transfer thread's send of the program to a new machine each pass.
template <class Machine>
void ThreadSendBench(benchmark::State& state) {
    InstallSerialPorts();
    uint64_t wire = 0;
    const auto lines = TenMegabyteProgram(wire);
    for (auto _ : state) {
        Machine machine;
        WriteIni(machine);
        std::atomic<bool> abort{false};
        std::atomic<int32_t> queued{0};
        SendResult r = SendResult::Cancelled;
        std::thread t([&] { r = ThreadSendProgram(lines, 0, "", "COM1", abort, queued); });
        t.join();
        if (r != SendResult::Finished) state.SkipWithError("the send did not finish");
        else if (!machine.WaitFor(wire)) state.SkipWithError("bytes were lost on the way");
    }
    state.SetBytesProcessed(static_cast<int64_t>(wire * state.iterations()));
}
}  // namespace

static void BM_ThreadSend10MB(benchmark::State& state) { ThreadSendBench<Pty>(state); }
BENCHMARK(BM_ThreadSend10MB)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_ThreadlessSend10MB(benchmark::State& state) {
    InstallSerialPorts();
    uint64_t wire = 0;
    const auto lines = TenMegabyteProgram(wire);
    for (auto _ : state) {
        Pty pty;
        WriteIni(pty);
        DialogLoopHooks hooks;
        SendResult r = ThreadlessSendProgram(lines, 0, "", "COM1", ReadPortDevice(), hooks);
        if (r != SendResult::Finished) state.SkipWithError("the send did not finish");
        else if (!pty.WaitFor(wire)) state.SkipWithError("bytes were lost on the way");
    }
    state.SetBytesProcessed(static_cast<int64_t>(wire * state.iterations()));
}
BENCHMARK(BM_ThreadlessSend10MB)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

namespace {
// The device server: accepts one connection and reads everything.
struct TcpMachine {
    int listener = -1;
    int port = 0;
    std::string dir;
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> received{0};
    std::thread reader;

    TcpMachine() {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener, 1);
        socklen_t len = sizeof a;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        char tmpl[] = "/tmp/skarvbench-XXXXXX";
        dir = ::mkdtemp(tmpl);
        reader = std::thread([this] {
            int c = -1;
            std::vector<char> buf(1 << 16);
            while (!stop) {
                struct pollfd p{c < 0 ? listener : c, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0) continue;
                if (c < 0) {
                    c = ::accept(listener, nullptr, nullptr);
                    continue;
                }
                ssize_t n = ::recv(c, buf.data(), buf.size(), 0);
                if (n > 0) received += static_cast<uint64_t>(n);
                else if (n == 0) { ::close(c); c = -1; }
            }
            if (c >= 0) ::close(c);
        });
    }
    ~TcpMachine() {
        stop = true;
        reader.join();
        ::close(listener);
        std::filesystem::remove_all(dir);
    }
    bool WaitFor(uint64_t n) { return WaitForBytes(received, n); }
};
void WriteIni(const TcpMachine& machine) {
    WriteIni(machine.dir, "tcp://127.0.0.1:" + std::to_string(machine.port));
}
}  // namespace

static void BM_ThreadSendTcp10MB(benchmark::State& state) { ThreadSendBench<TcpMachine>(state); }
BENCHMARK(BM_ThreadSendTcp10MB)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
