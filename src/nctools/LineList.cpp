#include "nctools/LineList.h"

#include <cstring>
#include <stdexcept>

namespace {
// Calls add(start, length) for every line of text.
template <class Add>
void ForEachLine(std::string_view text, Add add) {
    size_t n = text.size();
    size_t start = 0;
    size_t i = 0;
    const char* base = text.data();
    while (i < n) {
        const void* lf = std::memchr(base + i, '\n', n - i);
        size_t stop = lf ? static_cast<size_t>(static_cast<const char*>(lf) - base) : n;
        const void* cr = std::memchr(base + i, '\r', stop - i);
        size_t end = cr ? static_cast<size_t>(static_cast<const char*>(cr) - base) : stop;
        if (end == n) break;
        add(start, end - start);
        i = end + ((base[end] == '\r' && end + 1 < n && base[end + 1] == '\n') ? 2 : 1);
        start = i;
    }
    if (start < n) add(start, n - start);
}
}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    ForEachLine(text, [&](size_t s, size_t len) { lines.emplace_back(text.substr(s, len)); });
    return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
    size_t total = 0;
    for (const auto& l : lines) total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

namespace {
// The end of the line that starts at pos, and the start of the next one.
inline void LineAt(std::string_view text, size_t pos, size_t& end, size_t& next) {
    size_t n = text.size();
    const char* base = text.data();
    const void* lf = std::memchr(base + pos, '\n', n - pos);
    size_t stop = lf ? static_cast<size_t>(static_cast<const char*>(lf) - base) : n;
    const void* cr = std::memchr(base + pos, '\r', stop - pos);
    end = cr ? static_cast<size_t>(static_cast<const char*>(cr) - base) : stop;
    if (end == n) next = n;
    else next = end + ((base[end] == '\r' && end + 1 < n && base[end + 1] == '\n') ? 2 : 1);
}
}  // namespace

StreamedLines::StreamedLines(std::string_view text) : text_(text) {
    ForEachLine(text, [&](size_t, size_t) { ++count_; });
    out_.reserve(text.size() + text.size() / 8 + 64);
}

void StreamedLines::ReadNext() {
    size_t end, after;
    LineAt(text_, pos_, end, after);
    current_ = text_.substr(pos_, end - pos_);
    pos_ = after;
    ++next_;
    pending_ = true;
}

void StreamedLines::WriteCurrent() {
    if (!pending_) return;
    out_.append(current_);
    out_ += "\r\n";
    pending_ = false;
}

std::string_view StreamedLines::Line(size_t index) {
    if (index >= count_) throw std::out_of_range("line index");
    if (index + 1 == next_) return current_;
    if (index < next_) throw std::logic_error("lines read out of order");
    while (next_ <= index) {
        WriteCurrent();
        ReadNext();
    }
    return current_;
}

void StreamedLines::Replace(size_t index, std::string_view text) {
    if (index + 1 != next_ || !pending_) throw std::logic_error("lines replaced out of order");
    out_.append(text);
    out_ += "\r\n";
    pending_ = false;
}

std::string StreamedLines::Finish() {
    WriteCurrent();
    while (next_ < count_) {
        ReadNext();
        WriteCurrent();
    }
    return std::move(out_);
}
