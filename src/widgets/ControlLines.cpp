#include "widgets/ControlLines.h"

#include <cstring>
#include <stdexcept>

ControlLines::ControlLines(TextControl& control)
    : control_(control), text_(control.TextView()),
      count_(static_cast<size_t>(control.LineCount())) {}

std::string_view ControlLines::Line(size_t index) {
    if (index >= count_) throw std::out_of_range("line index");
    if (index != nextIndex_) {
        int pos = control_.LineIndex(static_cast<int>(index));
        nextPos_ = pos < 0 ? text_.size() : static_cast<size_t>(pos);
        nextIndex_ = index;
    }
    const char* base = text_.data();
    size_t n = text_.size();
    size_t pos = nextPos_;
    // The line ends at its CR LF (or at a lone CR or LF the user's keys may have left).
    const void* lf = std::memchr(base + pos, '\n', n - pos);
    size_t stop = lf ? static_cast<size_t>(static_cast<const char*>(lf) - base) : n;
    const void* cr = std::memchr(base + pos, '\r', stop - pos);
    size_t end = cr ? static_cast<size_t>(static_cast<const char*>(cr) - base) : stop;
    size_t after = end;
    if (end < n) after = end + ((base[end] == '\r' && end + 1 < n && base[end + 1] == '\n') ? 2 : 1);
    nextPos_ = after;
    nextIndex_ = index + 1;
    return text_.substr(pos, end - pos);
}

void ControlLines::Replace(size_t index, std::string_view text) {
    if (index >= count_) throw std::out_of_range("line index");
    if (edits_.Empty() && count_ > 100000) edits_.Reserve(count_, text_.size() + text_.size() / 4);
    edits_.Add(static_cast<int>(index), text);
}

size_t ControlLines::Finish() {
    size_t n = edits_.Size();
    if (n > 0) control_.ReplaceLines(edits_);
    edits_ = LineEdits();
    text_ = control_.TextView();
    count_ = static_cast<size_t>(control_.LineCount());
    nextIndex_ = 0;
    nextPos_ = 0;
    return n;
}
