#pragma once
// What an FTP server says on the control connection: its replies cut from the bytes as they
// come (a three-digit code; a multi-line reply runs to the line that repeats its code with a
// blank), and the data ports named by the replies to PASV and EPSV.
#include <cstddef>
#include <string>
#include <string_view>

#include "transfer/LineClient.h"

// A reply longer than this is cut; the rest of it is read and dropped.
inline constexpr size_t kMaxFtpReply = 64 * 1024;

class FtpReplyReader {
public:
    explicit FtpReplyReader(size_t maxReply = kMaxFtpReply) : max_(maxReply), lines_(maxReply) {}

    // Bytes as they came from the server.
    void Feed(std::string_view bytes);
    // The next whole reply: its code and its lines joined by CR LF, cut at maxReply bytes.
    // Lines without a code before a reply are noise and left out. False while no reply is
    // complete; what has come of one is kept for the next call.
    bool Next(int& code, std::string& text);
    // Bytes have come that no reply has taken yet.
    bool HasBytes() const { return !lines_.Empty() || started_; }
    // Everything received is forgotten (the session is closed).
    void Clear();

private:
    void TakeLine(std::string_view line, bool& complete);

    size_t max_;
    LineReader lines_;  // received, not yet read as a reply's line
    // The reply being read.
    bool started_ = false;
    bool multi_ = false;
    int first_ = 0;
    std::string text_;
};

// The port of a 227 reply "(h1,h2,h3,h4,p1,p2)"; 0 when it holds none.
int PassivePort(std::string_view reply);
// The port of a 229 reply "(|||port|)"; 0 when it holds none.
int ExtendedPassivePort(std::string_view reply);
