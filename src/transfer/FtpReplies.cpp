#include "transfer/FtpReplies.h"

namespace {
bool ReplyCode(std::string_view line, int& code) {
    if (line.size() < 3) return false;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9') return false;
    code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

void FtpReplyReader::Feed(std::string_view bytes) { lines_.Feed(bytes); }

void FtpReplyReader::TakeLine(std::string_view line, bool& complete) {
    complete = false;
    int c = 0;
    bool coded = ReplyCode(line, c);
    if (!started_) {
        if (!coded) return;  // noise before a reply
        started_ = true;
        first_ = c;
        multi_ = line.size() > 3 && line[3] == '-';
    }
    if (text_.size() < max_) {
        if (!text_.empty()) text_ += "\r\n";
        if (text_.size() < max_) text_.append(line.substr(0, max_ - text_.size()));
        if (text_.size() > max_) text_.resize(max_);
    }
    // A reply ends with a line of its code followed by a blank (or nothing).
    complete = !multi_ || (coded && c == first_ && (line.size() == 3 || line[3] == ' '));
}

bool FtpReplyReader::Next(int& code, std::string& text) {
    bool complete = false;
    std::string line;
    while (!complete && lines_.Next(line)) TakeLine(line, complete);
    if (!complete) return false;
    code = first_;
    text = std::move(text_);
    text_.clear();
    started_ = multi_ = false;
    first_ = 0;
    return true;
}

void FtpReplyReader::Clear() {
    lines_.Clear();
    started_ = multi_ = false;
    first_ = 0;
    text_.clear();
}

int PassivePort(std::string_view reply) {
    // Six numbers after the code, the first one at the first digit after it.
    size_t i = 3;
    while (i < reply.size() && !IsDigit(reply[i])) ++i;
    int v[6];
    for (int k = 0; k < 6; ++k) {
        if (i >= reply.size() || !IsDigit(reply[i])) return 0;
        int n = 0, digits = 0;
        while (i < reply.size() && IsDigit(reply[i]) && digits < 4) {
            n = n * 10 + (reply[i++] - '0');
            ++digits;
        }
        if (n > 255) return 0;
        v[k] = n;
        if (k < 5) {
            if (i >= reply.size() || reply[i] != ',') return 0;
            ++i;
        }
    }
    int port = v[4] * 256 + v[5];
    return port >= 1 ? port : 0;
}

int ExtendedPassivePort(std::string_view reply) {
    size_t open = reply.find("(|||");
    if (open == std::string_view::npos) return 0;
    size_t i = open + 4;
    int port = 0, digits = 0;
    while (i < reply.size() && IsDigit(reply[i]) && digits < 6) {
        port = port * 10 + (reply[i++] - '0');
        ++digits;
    }
    return digits > 0 && port <= 65535 ? port : 0;
}
