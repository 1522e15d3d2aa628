#include "nctools/Colour.h"

#include <cstdio>
#include <cstring>

#include "settings/InputFile.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"

namespace {
constexpr uint8_t kOther = static_cast<uint8_t>(ColourClass::Other);
constexpr uint8_t kStar = static_cast<uint8_t>(ColourClass::StarLine);
constexpr uint8_t kComment = static_cast<uint8_t>(ColourClass::Comment);
constexpr uint8_t kAddress = static_cast<uint8_t>(ColourClass::Address);

const ColourStyle kStyles[kColourClassCount] = {
    {0, 0, 0, false, false},      // Other
    {0, 0, 255, false, false},    // StarLine
    {0, 128, 0, false, true},     // Comment
    {255, 0, 0, true, false},     // Address
    {255, 0, 0, true, false},     // LogRed
    {255, 0, 255, true, false},   // LogMagenta
    {0, 0, 0, true, false},       // LogBlack
    {0, 0, 255, true, false},     // LogBlue
    {0, 128, 0, true, false},     // LogGreen
};

inline bool IsAddressLetter(unsigned char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsCommentStart(unsigned char c) { return c == '(' || c == ';'; }

inline void AddRun(std::vector<ColourRun>& runs, size_t start, size_t length, ColourClass cls) {
    if (!runs.empty()) {
        ColourRun& last = runs.back();
        if (last.cls == cls && last.start + last.length == start) {
            last.length += length;
            return;
        }
    }
    runs.push_back(ColourRun{start, length, cls});
}
}  // namespace

const ColourStyle& StyleOfClass(ColourClass cls) {
    auto i = static_cast<size_t>(cls);
    return kStyles[i < kColourClassCount ? i : 0];
}

void ColourLine(std::string_view s, std::vector<ColourRun>& runs, size_t lineStart) {
    const size_t n = s.size();
    if (n == 0) return;
    if (s[0] == '*') {
        AddRun(runs, lineStart, n, ColourClass::StarLine);
        return;
    }
    for (size_t j = 0; j < n; ++j) {
        auto c = static_cast<unsigned char>(s[j]);
        if (IsCommentStart(c)) {
            // A comment runs to the next ")" of the line, or to its end; one that would start
            // in the last position has nothing to hold and stays black.
            if (j + 1 == n) return;
            const void* close = std::memchr(s.data() + j + 1, ')', n - j - 1);
            size_t end = close ? static_cast<size_t>(static_cast<const char*>(close) - s.data()) : n - 1;
            AddRun(runs, lineStart + j, end - j + 1, ColourClass::Comment);
            j = end;
        } else if (IsAddressLetter(c)) {
            AddRun(runs, lineStart + j, 1, ColourClass::Address);
        }
    }
}

void ColourLineStyles(std::string_view s, uint8_t* st) {
    const size_t n = s.size();
    if (n == 0) return;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    if (p[0] == '*') {
        std::memset(st, kStar, n);
        return;
    }
    for (size_t j = 0; j < n; ++j) {
        unsigned char c = p[j];
        if (IsCommentStart(c)) {
            if (j + 1 == n) {
                st[j] = kOther;
                return;
            }
            const void* close = std::memchr(p + j + 1, ')', n - j - 1);
            size_t end = close ? static_cast<size_t>(static_cast<const unsigned char*>(close) - p) : n - 1;
            std::memset(st + j, kComment, end - j + 1);
            j = end;
        } else {
            st[j] = IsAddressLetter(c) ? kAddress : kOther;
        }
    }
}

void ColourTextStyles(std::string_view text, uint8_t* st) {
    const char* p = text.data();
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        size_t e = i;
        while (e < n && p[e] != '\r' && p[e] != '\n') ++e;
        ColourLineStyles(std::string_view(p + i, e - i), st + i);
        while (e < n && (p[e] == '\r' || p[e] == '\n')) {
            // One break is CR LF, CR or LF; several in a row are empty lines, all Other.
            st[e++] = kOther;
        }
        i = e;
    }
}

void StylesFromRuns(const std::vector<ColourRun>& runs, uint8_t* styles, size_t size) {
    std::memset(styles, kOther, size);
    for (const ColourRun& r : runs) {
        if (r.start >= size) continue;
        size_t len = r.length < size - r.start ? r.length : size - r.start;
        std::memset(styles + r.start, static_cast<uint8_t>(r.cls), len);
    }
}

size_t CountLines(std::string_view text) {
    size_t breaks = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        if (text[i] == '\r') {
            ++breaks;
            if (i + 1 < n && text[i + 1] == '\n') ++i;
        } else if (text[i] == '\n') {
            ++breaks;
        }
    }
    if (n == 0) return 0;
    char last = text[n - 1];
    return breaks + ((last == '\r' || last == '\n') ? 0 : 1);
}

bool IsLargeText(size_t lineCount) { return lineCount > kLargeTextLines; }

bool ReadColourSetting() { return ReadPersonalInt(kColourSettingName, 0) == 1; }

void StoreColourSetting(bool on) { WritePersonalInt(kColourSettingName, on ? 1 : 0); }

ColourDecision DecideColourAfterLoad(bool colouringOn, size_t lineCount) {
    ColourDecision d;
    d.on = colouringOn;
    if (colouringOn && IsLargeText(lineCount)) d.question = kLargeTextOnLoad;
    return d;
}

ColourDecision ToggleColouring(bool checked, size_t lineCount) {
    ColourDecision d;
    d.on = !checked;
    StoreColourSetting(d.on);
    if (d.on && IsLargeText(lineCount)) d.question = kLargeTextOnSwitch;
    return d;
}

// ---------------------------------------------------------------- RecolourPlan
RecolourPlan::RecolourPlan(size_t lineCount, size_t caret, bool modified, size_t firstSlice,
                           size_t sliceLines)
    : lines_(lineCount),
      firstSlice_(firstSlice ? firstSlice : 1),
      sliceLines_(sliceLines ? sliceLines : 1),
      caret_(caret),
      modified_(modified) {}

bool RecolourPlan::Next(size_t& firstLine, size_t& count) {
    pauseDue_ = false;
    if (next_ >= lines_) return false;
    size_t size = slices_ == 0 ? firstSlice_ : sliceLines_;
    firstLine = next_;
    count = lines_ - next_ < size ? lines_ - next_ : size;
    next_ += count;
    ++slices_;
    pauseDue_ = count == size;
    return true;
}

RecolourPlan::Pause RecolourPlan::BeforeEvents() const {
    return Pause{movedAtLastPause_, movedAtLastPause_ || slices_ <= 1};
}

void RecolourPlan::AfterEvents(size_t caretNow) {
    bool moved = caretNow != caret_;
    if (moved) modified_ = true;
    caret_ = caretNow;
    movedAtLastPause_ = moved;
}

// ---------------------------------------------------------------- coloured log files
ColourClass LogCodeClass(unsigned char b) {
    switch (b) {
        case 64: return ColourClass::LogRed;
        case 33: return ColourClass::LogMagenta;
        case 35: return ColourClass::LogBlack;
        case 163: return ColourClass::LogBlue;
        case 167: return ColourClass::LogGreen;
        default: return ColourClass::Other;
    }
}

bool LoadColouredLog(const std::string& fileName, ColouredLog& log) {
    // Only a regular file: a folder, a FIFO or a device is no log.
    InputFile file;
    if (!file.Open(fileName)) return false;
    ColouredLog read;
    ColourClass code = ColourClass::LogRed;  // the colour in force at the start of the file
    size_t lineBegin = 0;                    // position of the current line in read.text
    std::string& text = read.text;
    auto endLine = [&] {
        text += "\r\n";
        ++read.lineCount;
        lineBegin = text.size();
    };
    // A log the DNC server is writing to is shown as far as it has come.
    bool ok = file.ReadAll([&](const char* buf, size_t got) {
        for (size_t k = 0; k < got; ++k) {
            unsigned char b = static_cast<unsigned char>(buf[k]);
            if (b == 10) continue;
            if (b == 13) {
                endLine();
                continue;
            }
            ColourClass cls = LogCodeClass(b);
            if (cls != ColourClass::Other) {
                code = cls;
                continue;
            }
            // A line is cut after 251 bytes; the cut is made when the next byte arrives, so a
            // line of exactly 251 bytes ended by its CR gives no empty line after it.
            if (text.size() - lineBegin >= kLogLineLimit) endLine();
            size_t pos = text.size();
            text.push_back(static_cast<char>(b));
            AddRun(read.runs, pos, 1, code);
        }
    });
    if (!ok) return false;
    if (text.size() > lineBegin) endLine();
    if (read.lineCount > 0) text.resize(text.size() - 2);  // no break after the last line
    log = std::move(read);
    return true;
}
