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

void FtpReplyReader::Feed(std::string_view bytes) {
    if (skipping_) {
        // The rest of a line longer than a reply may be: dropped up to its end.
        size_t lf = bytes.find('\n');
        if (lf == std::string_view::npos) return;
        skipping_ = false;
        bytes.remove_prefix(lf);
    }
    buffer_.append(bytes);
    // The line without its end yet is held at most one byte longer than a reply: its
    // beginning, with the code, is what counts, and the byte past the cut tells whether a CR
    // there ends the line. So the replies do not depend on how the bytes came in pieces.
    size_t lf = buffer_.rfind('\n');
    size_t tail = lf == std::string::npos ? 0 : lf + 1;
    if (buffer_.size() - tail > max_ + 1) {
        buffer_.resize(tail + max_ + 1);
        skipping_ = true;
    }
}

void FtpReplyReader::TakeLine(std::string_view line, bool& complete) {
    complete = false;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
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
    size_t pos = 0;
    bool complete = false;
    for (;;) {
        size_t lf = buffer_.find('\n', pos);
        if (lf == std::string::npos) break;
        TakeLine(std::string_view(buffer_).substr(pos, lf - pos), complete);
        pos = lf + 1;
        if (complete) break;
    }
    buffer_.erase(0, pos);
    if (!complete) return false;
    code = first_;
    text = std::move(text_);
    text_.clear();
    started_ = multi_ = false;
    first_ = 0;
    return true;
}

void FtpReplyReader::Clear() {
    buffer_.clear();
    skipping_ = started_ = multi_ = false;
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
