#pragma once
// A program text as a list of lines, the way the text control holds it: a line ends at
// CR LF, at LF or at a lone CR; blank lines are kept; a break at the very end of the text
// does not open another line. Written back, every line ends with CR LF.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

std::vector<std::string> SplitLines(std::string_view text);
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

// The lines the text tools work through. The tools visit lines in ascending order, and a
// Replace(i) comes after Line(i) and before any later line is read, so an implementation
// may stream (the skarv command) or write straight into the editor (the main window).
class TextLines {
public:
    virtual ~TextLines() = default;
    virtual size_t Count() = 0;
    // The text of a line without its break; valid until the next call on this object.
    virtual std::string_view Line(size_t index) = 0;
    // Replaces the text of a line in place.
    virtual void Replace(size_t index, std::string_view text) = 0;
};

// Over a list of lines; notes the indexes of the replaced lines.
class VectorLines : public TextLines {
public:
    explicit VectorLines(std::vector<std::string>& lines) : lines_(lines) {}
    size_t Count() override { return lines_.size(); }
    std::string_view Line(size_t index) override { return lines_[index]; }
    void Replace(size_t index, std::string_view text) override {
        lines_[index].assign(text);
        changed.push_back(index);
    }
    std::vector<size_t> changed;

private:
    std::vector<std::string>& lines_;
};

// Over the bytes of a program file, read front to back in one pass: a line is a view into
// the bytes, and the text with CR LF line ends is built as the tool goes (unchanged lines
// copied, replaced ones new). Finish() gives it. Lines must be asked for in ascending order.
class StreamedLines : public TextLines {
public:
    explicit StreamedLines(std::string_view text);
    size_t Count() override { return count_; }
    std::string_view Line(size_t index) override;
    void Replace(size_t index, std::string_view text) override;
    std::string Finish();

private:
    // Reads the line at pos_ as the current line and moves pos_ behind its break.
    void ReadNext();
    void WriteCurrent();
    std::string_view text_;
    size_t count_ = 0;
    size_t pos_ = 0;             // start of the line after the current one
    size_t next_ = 0;            // index of the line after the current one
    std::string_view current_;   // line next_ - 1
    bool pending_ = false;       // current_ read and not yet written
    std::string out_;
};
