#include "transfer/LineClient.h"

void LineReader::Feed(std::string_view bytes) {
    if (skipping_) {
        size_t lf = bytes.find('\n');
        if (lf == std::string_view::npos) return;
        skipping_ = false;
        bytes.remove_prefix(lf);
    }
    buffer_.append(bytes);
    // The line without its end is held one byte past the cut, so that a CR there can still be
    // told from one that ends the line.
    size_t lf = buffer_.rfind('\n');
    size_t tail = lf == std::string::npos ? 0 : lf + 1;
    if (buffer_.size() - tail > max_ + 1) {
        buffer_.resize(tail + max_ + 1);
        skipping_ = true;
    }
}

bool LineReader::Next(std::string& line) {
    size_t lf = buffer_.find('\n');
    if (lf == std::string::npos) return false;
    size_t end = lf;
    if (end > 0 && buffer_[end - 1] == '\r') --end;
    line.assign(buffer_, 0, end < max_ ? end : max_);
    buffer_.erase(0, lf + 1);
    return true;
}

std::string LineReader::Partial() const {
    size_t lf = buffer_.rfind('\n');
    size_t tail = lf == std::string::npos ? 0 : lf + 1;
    return buffer_.substr(tail, max_);
}

void LineReader::Clear() {
    buffer_.clear();
    skipping_ = false;
}
