#pragma once
// A real FTP server for tests: pyftpdlib on 127.0.0.1 at a free port, reading "\" as "/" as
// the machines' servers do, user "MASKIN3" with password "SKARV". Every command it receives
// goes to a log file.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

class FtpServer {
public:
    explicit FtpServer(const std::vector<std::string>& extra = {}) {
        std::filesystem::create_directories(root());
        std::vector<std::string> argv = {"/usr/bin/python3",
                                         std::string(SKARV_SOURCE_DIR) + "/tests/transfer/ftpserver.py",
                                         "--root", root(), "--log", dir_.File("commands.log"),
                                         "--user", "MASKIN3", "--password", "SKARV"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string text;
        pollfd p{fds[0], POLLIN, 0};
        while (text.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0) {
            char buf[64];
            ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n <= 0) break;
            text.append(buf, static_cast<size_t>(n));
        }
        ::close(fds[0]);
        port_ = std::atoi(text.c_str());
    }
    ~FtpServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string root() const { return dir_.File("root"); }
    std::vector<std::string> Commands() const {
        std::vector<std::string> lines;
        std::istringstream in(ReadFileBytes(dir_.File("commands.log")));
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};
