#pragma once
// ser2net as an RFC 2217 device server on 127.0.0.1 at a free port, with a pseudo-terminal
// (the test's machine) as its serial line. Started with its own configuration file, waited
// for until it listens, and ended with the test.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DeviceServer.h"
#include "TestSupport.h"

extern char** environ;

class Ser2Net {
public:
    static constexpr const char* kProgram = "/usr/sbin/ser2net";
    static bool Available() { return ::access(kProgram, X_OK) == 0; }

    // The line starts as lineSettings says ("9600n81"); "local" ignores the modem lines.
    explicit Ser2Net(const std::string& ttyPath, const std::string& lineSettings = "9600n81") {
        port_ = DeviceServer::RefusingPort();
        const std::string config = dir_.File("ser2net.yaml");
        WriteFileBytes(config, "connection: &machine\n"
                               "  accepter: telnet(rfc2217),tcp,127.0.0.1," + std::to_string(port_) + "\n"
                               "  connector: serialdev," + ttyPath + "," + lineSettings + ",local\n");
        std::string program = kProgram;
        std::vector<std::string> args = {program, "-n", "-u", "-c", config, "-P", dir_.File("ser2net.pid")};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = dir_.File("ser2net.log");
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Ser2Net() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (::waitpid(pid_, &status, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() >= end) {
                    ::kill(pid_, SIGKILL);
                    ::waitpid(pid_, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
    }

    // Waits until ser2net listens on its port (read from the kernel's socket table, so no
    // connection is made); false when it ended or did not listen in time.
    bool WaitListening(std::chrono::milliseconds timeout) {
        char local[32];
        std::snprintf(local, sizeof local, "0100007F:%04X", port_);
        auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::ifstream tcp("/proc/net/tcp");
            std::string line;
            while (std::getline(tcp, line)) {
                std::istringstream fields(line);
                std::string slot, address, remote, state;
                if (fields >> slot >> address >> remote >> state && address == local && state == "0A") return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    std::string Name() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
    std::string Log() const { return ReadFileBytes(dir_.File("ser2net.log")); }

private:
    TempDir dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};
