#pragma once
// A line-oriented TCP client: connect, send a line, receive a line, disconnect. Every wait is
// bounded, and a wait hook runs while it waits so that the window can repaint.
#include <functional>
#include <string>

class LineClient {
public:
    enum class Receive { Line, Closed, TimedOut, Failed };

    virtual ~LineClient() = default;
    // True when a connection exists. Port as text ("50000"); a port that is no number fails.
    virtual bool Connect(const std::string& host, const std::string& port) = 0;
    virtual bool SendLine(const std::string& line, const std::string& lineEnd) = 0;
    // Reads up to LF (a CR before it is dropped). Line: a whole line came. Closed: the peer
    // closed first; line holds what came before. A line longer than MaxLineLength() is cut
    // there: the rest up to its end is read and dropped, never held.
    virtual Receive ReceiveLine(std::string& line) = 0;
    virtual void Disconnect() = 0;

    void SetWaitHook(std::function<void()> hook) { waitHook_ = std::move(hook); }
    static constexpr size_t MaxLineLength() { return 64 * 1024; }

protected:
    void Waiting() {
        if (waitHook_) waitHook_();
    }
    std::function<void()> waitHook_;
};
