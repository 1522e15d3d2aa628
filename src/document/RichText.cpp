#include "document/RichText.h"

#include <cstring>

namespace {
// Code points of 0x80-0x9F in Windows-1252; 0 where the code page has no character.
const uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr size_t kMaxDepth = 4096;  // deeper groups are read as if they were one level

enum class Dest { Text, Skip, ColourTable };

struct GroupState {
    RichFormat format;
    Dest dest = Dest::Text;
    int unicodeSkip = 1;  // \ucN
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Destinations whose content is never shown.
bool IsSkippedDestination(std::string_view w) {
    static const char* const kSkip[] = {
        "fonttbl", "stylesheet", "info", "pict", "object", "header", "headerl", "headerr", "headerf",
        "footer", "footerl", "footerr", "footerf", "footnote", "listtable", "listoverridetable",
        "rsidtbl", "generator", "xmlnstbl", "themedata", "colorschememapping", "latentstyles",
        "datastore", "fldinst", "filetbl", "revtbl", "userprops", "nonshppict", "shppict", "bkmkstart",
        "bkmkend", "field_inst", "mmathPr", "pgdsctbl", "template", "author", "operator", "title",
        "subject", "comment", "keywords", "doccomm"};
    for (const char* s : kSkip)
        if (w == s) return true;
    return false;
}

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}

    RichDocument Read() {
        stack_.push_back(GroupState());
        doc_.paragraphs.emplace_back();
        while (pos_ < in_.size()) {
            char c = in_[pos_++];
            switch (c) {
            case '{': OpenGroup(); break;
            case '}': CloseGroup(); break;
            case '\\': ControlSymbolOrWord(); break;
            case '\r':
            case '\n': break;
            case '\t': Emit('\t'); break;
            default:
                if (static_cast<unsigned char>(c) >= 32) Emit(c);
            }
        }
        // A last paragraph without \par still counts when it holds something.
        if (doc_.paragraphs.size() > 1 && doc_.paragraphs.back().runs.empty()) doc_.paragraphs.pop_back();
        return std::move(doc_);
    }

private:
    GroupState& Top() { return stack_.back(); }

    void OpenGroup() {
        if (stack_.size() >= kMaxDepth) {
            ++overflow_;
            return;
        }
        stack_.push_back(Top());
        pendingSkip_ = 0;
    }

    void CloseGroup() {
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (stack_.size() > 1) stack_.pop_back();  // an extra closing brace is ignored
        pendingSkip_ = 0;
    }

    void Emit(char c) {
        if (pendingSkip_ > 0) {
            --pendingSkip_;
            return;
        }
        // Control bytes other than tab and line break are never text.
        if (static_cast<unsigned char>(c) < 32 && c != '\t' && c != '\n') return;
        GroupState& g = Top();
        if (g.dest == Dest::ColourTable) {
            if (c == ';') FinishColour();
            return;
        }
        if (g.dest != Dest::Text) return;
        RichParagraph& p = doc_.paragraphs.back();
        if (p.runs.empty() || !(p.runs.back().format == g.format)) p.runs.push_back(RichRun{std::string(), g.format});
        p.runs.back().text.push_back(c);
    }

    void FinishColour() {
        colours_.push_back(colourSet_ ? current_ : RichColour());
        current_ = RichColour();
        colourSet_ = false;
    }

    void NewParagraph() {
        if (Top().dest != Dest::Text) return;
        RichAlign a = doc_.paragraphs.back().align;
        doc_.paragraphs.emplace_back();
        doc_.paragraphs.back().align = a;
    }

    void ControlSymbolOrWord() {
        if (pos_ >= in_.size()) return;  // a lone backslash at the end
        char c = in_[pos_];
        if (!IsLetter(c)) {
            ++pos_;
            ControlSymbol(c);
            return;
        }
        size_t start = pos_;
        while (pos_ < in_.size() && IsLetter(in_[pos_]) && pos_ - start < 32) ++pos_;
        std::string_view word = in_.substr(start, pos_ - start);
        bool hasParam = false;
        bool negative = false;
        long long param = 0;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        size_t digits = 0;
        while (pos_ < in_.size() && IsDigit(in_[pos_])) {
            if (digits < 10) param = param * 10 + (in_[pos_] - '0');
            ++digits;
            ++pos_;
            hasParam = true;
        }
        if (negative) param = -param;
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiter
        ControlWord(word, hasParam, param);
    }

    void ControlSymbol(char c) {
        switch (c) {
        case '\\':
        case '{':
        case '}': Emit(c); break;
        case '~': Emit('\xA0'); break;
        case '_': Emit('-'); break;
        case '-': break;  // optional hyphen
        case '*': Top().dest = Dest::Skip; break;
        case '\'': {
            int hi = pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
            int lo = pos_ + 1 < in_.size() ? HexValue(in_[pos_ + 1]) : -1;
            if (hi < 0 || lo < 0) {
                // A broken escape: what hex digits there are belong to it, nothing is shown.
                if (hi >= 0) ++pos_;
                return;
            }
            pos_ += 2;
            Emit(static_cast<char>(hi * 16 + lo));
            break;
        }
        case '\r':
        case '\n': NewParagraph(); break;  // a backslash before a line end is \par
        default: break;
        }
    }

    void ControlWord(std::string_view w, bool hasParam, long long param) {
        GroupState& g = Top();
        auto on = [&] { return !hasParam || param != 0; };
        if (w == "par") {
            if (pendingSkip_ == 0) NewParagraph();
            return;
        }
        if (w == "line") { Emit('\n'); return; }
        if (w == "tab") { Emit('\t'); return; }
        if (w == "u") {
            if (!hasParam) return;
            long long cp = param;
            if (cp < 0) cp += 65536;
            if (cp < 0 || cp > 0x10FFFF) cp = '?';
            Emit(UnicodeTo1252(static_cast<uint32_t>(cp)));
            pendingSkip_ = g.unicodeSkip;
            return;
        }
        if (pendingSkip_ > 0) {  // a control word in the fall-back text counts as one character
            --pendingSkip_;
            return;
        }
        if (w == "uc") { g.unicodeSkip = hasParam && param >= 0 && param < 16 ? static_cast<int>(param) : 1; return; }
        if (w == "b") { g.format.bold = on(); return; }
        if (w == "i") { g.format.italic = on(); return; }
        if (w == "ul") { g.format.underline = on(); return; }
        if (w == "ulnone") { g.format.underline = false; return; }
        if (w == "uld" || w == "uldb" || w == "ulw" || w == "ulth") { g.format.underline = on(); return; }
        if (w == "fs") {
            if (hasParam && param > 0 && param <= 3276) g.format.halfPoints = static_cast<int>(param);
            return;
        }
        if (w == "cf") {
            if (hasParam && param > 0 && static_cast<size_t>(param) < colours_.size()) g.format.colour = colours_[static_cast<size_t>(param)];
            else g.format.colour = RichColour();
            return;
        }
        if (w == "plain") { g.format = RichFormat(); return; }
        if (w == "pard") { doc_.paragraphs.back().align = RichAlign::Left; return; }
        if (w == "ql") { doc_.paragraphs.back().align = RichAlign::Left; return; }
        if (w == "qc") { doc_.paragraphs.back().align = RichAlign::Centre; return; }
        if (w == "qr") { doc_.paragraphs.back().align = RichAlign::Right; return; }
        if (w == "qj") { doc_.paragraphs.back().align = RichAlign::Justify; return; }
        if (w == "colortbl") {
            g.dest = Dest::ColourTable;
            colours_.clear();
            current_ = RichColour();
            colourSet_ = false;
            return;
        }
        if (g.dest == Dest::ColourTable) {
            int v = hasParam ? static_cast<int>(param < 0 ? 0 : param > 255 ? 255 : param) : 0;
            if (w == "red") { current_.red = static_cast<uint8_t>(v); colourSet_ = true; current_.automatic = false; }
            else if (w == "green") { current_.green = static_cast<uint8_t>(v); colourSet_ = true; current_.automatic = false; }
            else if (w == "blue") { current_.blue = static_cast<uint8_t>(v); colourSet_ = true; current_.automatic = false; }
            return;
        }
        if (w == "bin") {
            // Binary data: passed over whole.
            if (hasParam && param > 0) {
                size_t n = static_cast<size_t>(param);
                pos_ = n > in_.size() - pos_ ? in_.size() : pos_ + n;
            }
            return;
        }
        if (IsSkippedDestination(w)) { g.dest = Dest::Skip; return; }
        // Named characters.
        if (w == "emdash") { Emit('\x97'); return; }
        if (w == "endash") { Emit('\x96'); return; }
        if (w == "bullet") { Emit('\x95'); return; }
        if (w == "lquote") { Emit('\x91'); return; }
        if (w == "rquote") { Emit('\x92'); return; }
        if (w == "ldblquote") { Emit('\x93'); return; }
        if (w == "rdblquote") { Emit('\x94'); return; }
        if (w == "emspace" || w == "enspace" || w == "qmspace") { Emit(' '); return; }
        // Every other control word is passed over.
    }

    std::string_view in_;
    size_t pos_ = 0;
    std::vector<GroupState> stack_;
    size_t overflow_ = 0;
    int pendingSkip_ = 0;
    std::vector<RichColour> colours_;
    RichColour current_;
    bool colourSet_ = false;
    RichDocument doc_;
};

RichDocument PlainDocument(std::string_view bytes) {
    RichDocument doc;
    doc.paragraphs.emplace_back();
    for (size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            doc.paragraphs.emplace_back();
            continue;
        }
        if (static_cast<unsigned char>(c) < 32 && c != '\t') continue;
        auto& runs = doc.paragraphs.back().runs;
        if (runs.empty()) runs.emplace_back();
        runs.back().text.push_back(c);
    }
    if (doc.paragraphs.size() > 1 && doc.paragraphs.back().runs.empty()) doc.paragraphs.pop_back();
    return doc;
}
}  // namespace

char UnicodeTo1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] != 0 && kHigh[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

std::string RichParagraph::Text() const {
    std::string s;
    for (const RichRun& r : runs) s += r.text;
    return s;
}

std::string RichDocument::PlainText() const {
    std::string s;
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        if (i) s += '\n';
        s += paragraphs[i].Text();
    }
    return s;
}

RichDocument ReadRichText(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\t')) ++i;
    if (bytes.substr(i, 5) != "{\\rtf") return PlainDocument(bytes);
    return Reader(bytes.substr(i)).Read();
}
