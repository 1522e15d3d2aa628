#pragma once
// A line-oriented TCP client: connect, send a line, receive a line, disconnect. Every wait is
// bounded, and a wait hook runs while it waits so that the window can repaint.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

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

// The lines of a byte stream as ReceiveLine hands them out, whatever pieces the bytes come in:
// a line ends at LF, a CR before the LF is dropped, and a line longer than maxLine is cut
// there (the rest of it up to its end is dropped as it comes, never held).
class LineReader {
public:
    explicit LineReader(size_t maxLine = LineClient::MaxLineLength()) : max_(maxLine) {}
    void Feed(std::string_view bytes);
    // The next whole line; false while none has ended.
    bool Next(std::string& line);
    // What has come of the line that has not ended (cut at maxLine): what a peer that closes
    // or falls silent said last.
    std::string Partial() const;
    // No byte is held: every line has been read and none has begun.
    bool Empty() const { return buffer_.empty(); }
    void Clear();

private:
    size_t max_;
    std::string buffer_;     // whole lines not yet read, then the line without its end
    bool skipping_ = false;  // that line is full: its bytes up to the LF are dropped
};
