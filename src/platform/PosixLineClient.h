#pragma once
// The line client on POSIX sockets: a non-blocking socket waited on with poll in short
// slices, the wait hook running between them.
#include "transfer/LineClient.h"

class PosixLineClient : public LineClient {
public:
    PosixLineClient() = default;
    ~PosixLineClient() override { Disconnect(); }
    PosixLineClient(const PosixLineClient&) = delete;
    PosixLineClient& operator=(const PosixLineClient&) = delete;

    bool Connect(const std::string& host, const std::string& port) override;
    bool SendLine(const std::string& line, const std::string& lineEnd) override;
    Receive ReceiveLine(std::string& line) override;
    void Disconnect() override;

    // 10 s to connect, 30 s for a whole reply line, unless told otherwise.
    void SetTimeLimits(int connectMs, int replyMs) {
        connectMs_ = connectMs;
        replyMs_ = replyMs;
    }

private:
    // Waits for the events within the deadline (steady-clock milliseconds); false on timeout.
    bool WaitFor(short events, long long deadlineMs);

    int fd_ = -1;
    int connectMs_ = 10000;
    int replyMs_ = 30000;
    LineReader reader_;  // bytes read after the last line
};
