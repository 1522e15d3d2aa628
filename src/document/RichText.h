#pragma once
// A small reader of rich-text documents (the information document): paragraphs of runs with
// bold, italic, underline, font size and colour. Text is Windows-1252; a line break inside a
// paragraph (\line) is "\n" in a run, a tab "\t". Pictures, fonts, styles, document
// information and every destination it does not know are passed over. Broken input gives
// what could be read; the reader never fails.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RichColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool automatic = true;  // no colour of its own: the window's text colour
    bool operator==(const RichColour&) const = default;
};

struct RichFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;     // font size in half points (\fs), 12 pt by default
    RichColour colour;
    bool operator==(const RichFormat&) const = default;
};

struct RichRun {
    std::string text;  // Windows-1252
    RichFormat format;
};

enum class RichAlign { Left, Centre, Right, Justify };

struct RichParagraph {
    std::vector<RichRun> runs;
    RichAlign align = RichAlign::Left;
    std::string Text() const;  // the runs' text joined
};

struct RichDocument {
    std::vector<RichParagraph> paragraphs;
    std::string PlainText() const;  // paragraphs joined by "\n"
};

// Reads a rich-text document. Input that does not start with "{\rtf" is shown as plain text,
// one paragraph per line.
RichDocument ReadRichText(std::string_view bytes);

// The Windows-1252 byte of a Unicode code point, or '?' when the code page has none.
char UnicodeTo1252(uint32_t codePoint);
