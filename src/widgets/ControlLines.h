#pragma once
// The text control seen as the lines the text tools work through. The lines are read
// straight from the control's buffer, without a copy; the tools' replacements are collected
// and written into the control in one change by Finish, so a program of millions of lines
// is rewritten in one pass. Until Finish the control's text must not change.
#include <cstddef>
#include <string_view>

#include "widgets/TextControl.h"
#include "nctools/LineList.h"

class ControlLines : public TextLines {
public:
    explicit ControlLines(TextControl& control);
    size_t Count() override { return count_; }
    std::string_view Line(size_t index) override;
    void Replace(size_t index, std::string_view text) override;
    // Writes the replaced lines into the control; returns how many there were.
    size_t Finish();

private:
    TextControl& control_;
    std::string_view text_;
    size_t count_ = 0;
    size_t nextIndex_ = 0;  // the line that starts at nextPos_
    size_t nextPos_ = 0;
    LineEdits edits_;
};
