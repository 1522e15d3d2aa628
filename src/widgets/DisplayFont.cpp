#include "widgets/DisplayFont.h"

#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

namespace {
// The Windows-1252 characters of the bytes 0x80-0x9F (0 for the five holes).
const char16_t kC1[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                          0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

const char* const kFamily = "Skarv Mono 1252";

using Bytes = std::vector<uint8_t>;

uint16_t U16(const Bytes& b, size_t at) {
    return at + 2 <= b.size() ? static_cast<uint16_t>(b[at] << 8 | b[at + 1]) : 0;
}
uint32_t U32(const Bytes& b, size_t at) {
    return at + 4 <= b.size() ? (uint32_t(U16(b, at)) << 16) | U16(b, at + 2) : 0;
}
void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, static_cast<uint16_t>(v >> 16));
    Put16(b, static_cast<uint16_t>(v));
}

struct Table {
    uint32_t tag;
    Bytes data;
};

uint32_t Tag(const char* t) {
    return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 |
           uint32_t(uint8_t(t[2])) << 8 | uint8_t(t[3]);
}

// The code point to glyph map of a format 4 subtable.
bool ReadFormat4(const Bytes& b, size_t at, std::map<uint32_t, uint16_t>& map) {
    if (U16(b, at) != 4) return false;
    const uint16_t segCount = U16(b, at + 6) / 2;
    const size_t ends = at + 14, starts = ends + 2 * segCount + 2, deltas = starts + 2 * segCount,
                 offsets = deltas + 2 * segCount;
    if (offsets + 2 * segCount > b.size()) return false;
    for (uint16_t i = 0; i < segCount; ++i) {
        uint16_t end = U16(b, ends + 2 * i), start = U16(b, starts + 2 * i);
        uint16_t delta = U16(b, deltas + 2 * i), rangeOffset = U16(b, offsets + 2 * i);
        for (uint32_t c = start; c <= end && c != 0xFFFF; ++c) {
            uint16_t g;
            if (rangeOffset == 0) {
                g = static_cast<uint16_t>(c + delta);
            } else {
                size_t addr = offsets + 2 * i + rangeOffset + 2 * (c - start);
                g = U16(b, addr);
                if (g != 0) g = static_cast<uint16_t>(g + delta);
            }
            if (g != 0) map[c] = g;
        }
    }
    return !map.empty();
}

Bytes WriteFormat4(const std::map<uint32_t, uint16_t>& map) {
    struct Seg {
        uint16_t start, end, delta;
    };
    std::vector<Seg> segs;
    for (auto [c, g] : map) {
        if (c >= 0xFFFF) continue;
        uint16_t delta = static_cast<uint16_t>(g - c);
        if (!segs.empty() && segs.back().end + 1u == c && segs.back().delta == delta)
            segs.back().end = static_cast<uint16_t>(c);
        else
            segs.push_back({static_cast<uint16_t>(c), static_cast<uint16_t>(c), delta});
    }
    segs.push_back({0xFFFF, 0xFFFF, 1});
    const uint16_t n = static_cast<uint16_t>(segs.size());
    uint16_t entrySelector = 0;
    while ((2u << entrySelector) <= n) ++entrySelector;
    const uint16_t searchRange = static_cast<uint16_t>(2u << entrySelector);
    Bytes t;
    Put16(t, 4);
    Put16(t, static_cast<uint16_t>(16 + 8 * n));
    Put16(t, 0);
    Put16(t, static_cast<uint16_t>(2 * n));
    Put16(t, searchRange);
    Put16(t, entrySelector);
    Put16(t, static_cast<uint16_t>(2 * n - searchRange));
    for (auto& s : segs) Put16(t, s.end);
    Put16(t, 0);
    for (auto& s : segs) Put16(t, s.start);
    for (auto& s : segs) Put16(t, s.delta);
    for (size_t i = 0; i < segs.size(); ++i) Put16(t, 0);
    return t;
}

Bytes Utf16Be(const QString& s) {
    Bytes b;
    for (QChar c : s) Put16(b, c.unicode());
    return b;
}

// The font with the C1 code points mapped to the Windows-1252 glyphs and its own family
// name; empty when the file is not a font this can read.
Bytes Patch(const Bytes& font) {
    if (font.size() < 12 || (U32(font, 0) != 0x00010000 && U32(font, 0) != Tag("true")))
        return {};
    const uint16_t numTables = U16(font, 4);
    std::vector<Table> tables;
    for (uint16_t i = 0; i < numTables; ++i) {
        size_t rec = 12 + 16 * size_t(i);
        uint32_t tag = U32(font, rec), off = U32(font, rec + 8), len = U32(font, rec + 12);
        if (size_t(off) + len > font.size()) return {};
        tables.push_back({tag, Bytes(font.begin() + off, font.begin() + off + len)});
    }
    auto find = [&](const char* t) -> Table* {
        for (auto& tb : tables)
            if (tb.tag == Tag(t)) return &tb;
        return nullptr;
    };
    Table* cmap = find("cmap");
    Table* name = find("name");
    if (!cmap || !name) return {};

    std::map<uint32_t, uint16_t> map;
    const Bytes& c = cmap->data;
    for (uint16_t i = 0, n = U16(c, 2); i < n && map.empty(); ++i) {
        uint16_t platform = U16(c, 4 + 8 * i), encoding = U16(c, 6 + 8 * i);
        if ((platform == 3 && encoding == 1) || (platform == 0 && encoding == 3))
            ReadFormat4(c, U32(c, 8 + 8 * i), map);
    }
    if (map.empty()) return {};
    for (int k = 0; k < 32; ++k) {
        if (!kC1[k]) continue;
        auto it = map.find(kC1[k]);
        if (it != map.end()) map[0x80 + k] = it->second;
    }
    Bytes sub = WriteFormat4(map);
    Bytes newCmap;
    Put16(newCmap, 0);
    Put16(newCmap, 2);
    Put16(newCmap, 0);
    Put16(newCmap, 3);
    Put32(newCmap, 20);
    Put16(newCmap, 3);
    Put16(newCmap, 1);
    Put32(newCmap, 20);
    newCmap.insert(newCmap.end(), sub.begin(), sub.end());
    cmap->data = std::move(newCmap);

    // The name table: the family and the names built on it are our own; the copyright and
    // licence records are kept.
    const Bytes& nm = name->data;
    struct Rec {
        uint16_t platform, encoding, language, id;
        Bytes text;
    };
    std::vector<Rec> recs;
    QString style = QStringLiteral("Regular");
    const uint16_t count = U16(nm, 2), storage = U16(nm, 4);
    for (uint16_t i = 0; i < count; ++i) {
        size_t r = 6 + 12 * size_t(i);
        Rec rec{U16(nm, r), U16(nm, r + 2), U16(nm, r + 4), U16(nm, r + 6), {}};
        size_t len = U16(nm, r + 8), off = size_t(storage) + U16(nm, r + 10);
        if (off + len > nm.size()) return {};
        rec.text.assign(nm.begin() + off, nm.begin() + off + len);
        if (rec.id == 2 && rec.platform == 3) {
            style.clear();
            for (size_t j = 0; j + 1 < rec.text.size(); j += 2)
                style += QChar(char16_t(rec.text[j] << 8 | rec.text[j + 1]));
        }
        static const uint16_t dropped[] = {1, 3, 4, 6, 16, 17, 18, 21, 22};
        if (std::find(std::begin(dropped), std::end(dropped), rec.id) == std::end(dropped))
            recs.push_back(std::move(rec));
    }
    const QString family = QString::fromLatin1(kFamily);
    QString postScript = family + QStringLiteral("-") + style;
    postScript.remove(u' ');
    recs.push_back({3, 1, 0x409, 1, Utf16Be(family)});
    recs.push_back({3, 1, 0x409, 3, Utf16Be(family + QStringLiteral(" ") + style)});
    recs.push_back({3, 1, 0x409, 4, Utf16Be(family + QStringLiteral(" ") + style)});
    recs.push_back({3, 1, 0x409, 6, Utf16Be(postScript)});
    std::sort(recs.begin(), recs.end(), [](const Rec& a, const Rec& b) {
        return std::tie(a.platform, a.encoding, a.language, a.id) <
               std::tie(b.platform, b.encoding, b.language, b.id);
    });
    Bytes newName, strings;
    Put16(newName, 0);
    Put16(newName, static_cast<uint16_t>(recs.size()));
    Put16(newName, static_cast<uint16_t>(6 + 12 * recs.size()));
    for (const auto& r : recs) {
        Put16(newName, r.platform);
        Put16(newName, r.encoding);
        Put16(newName, r.language);
        Put16(newName, r.id);
        Put16(newName, static_cast<uint16_t>(r.text.size()));
        Put16(newName, static_cast<uint16_t>(strings.size()));
        strings.insert(strings.end(), r.text.begin(), r.text.end());
    }
    newName.insert(newName.end(), strings.begin(), strings.end());
    name->data = std::move(newName);

    // The font file again: tables in tag order, each on a four-byte boundary.
    std::sort(tables.begin(), tables.end(), [](const Table& a, const Table& b) { return a.tag < b.tag; });
    uint16_t entrySelector = 0;
    while ((2u << entrySelector) <= tables.size()) ++entrySelector;
    const uint16_t searchRange = static_cast<uint16_t>(16u << entrySelector);
    Bytes out;
    Put32(out, 0x00010000);
    Put16(out, static_cast<uint16_t>(tables.size()));
    Put16(out, searchRange);
    Put16(out, entrySelector);
    Put16(out, static_cast<uint16_t>(16 * tables.size() - searchRange));
    uint32_t offset = static_cast<uint32_t>(12 + 16 * tables.size());
    for (const auto& t : tables) {
        uint32_t sum = 0;
        for (size_t i = 0; i < t.data.size(); i += 4) {
            uint32_t word = 0;
            for (size_t j = 0; j < 4; ++j)
                word = word << 8 | (i + j < t.data.size() ? t.data[i + j] : 0);
            sum += word;
        }
        Put32(out, t.tag);
        Put32(out, sum);
        Put32(out, offset);
        Put32(out, static_cast<uint32_t>(t.data.size()));
        offset += static_cast<uint32_t>((t.data.size() + 3) & ~size_t(3));
    }
    for (const auto& t : tables) {
        out.insert(out.end(), t.data.begin(), t.data.end());
        while (out.size() % 4) out.push_back(0);
    }
    return out;
}

// The files of the metric twin of Courier New, in the system's font folders.
QStringList CourierTwinFiles() {
    const char* const names[] = {"LiberationMono-Regular.ttf", "LiberationMono-Bold.ttf",
                                 "LiberationMono-Italic.ttf", "LiberationMono-BoldItalic.ttf"};
    QStringList found;
    const QStringList roots = {QStringLiteral("/usr/share/fonts"), QStringLiteral("/usr/local/share/fonts")};
    for (const char* n : names) {
        for (const QString& root : roots) {
            QDirIterator it(root, {QString::fromLatin1(n)}, QDir::Files, QDirIterator::Subdirectories);
            if (it.hasNext()) {
                found << it.next();
                break;
            }
        }
    }
    return found;
}

QString BuildFamily() {
    bool any = false;
    for (const QString& file : CourierTwinFiles()) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) continue;
        QByteArray raw = f.readAll();
        Bytes patched = Patch(Bytes(raw.begin(), raw.end()));
        if (patched.empty()) continue;
        int id = QFontDatabase::addApplicationFontFromData(
            QByteArray(reinterpret_cast<const char*>(patched.data()), static_cast<qsizetype>(patched.size())));
        if (id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(QString::fromLatin1(kFamily)))
            any = true;
    }
    return any ? QString::fromLatin1(kFamily) : QString();
}
}  // namespace

QString DisplayFontFamily(const std::string& wanted) {
    const QString w = QString::fromLatin1(wanted.c_str());
    if (w.compare(QStringLiteral("Courier New"), Qt::CaseInsensitive) != 0) return w;
    static std::once_flag once;
    static QString family;
    std::call_once(once, [] { family = BuildFamily(); });
    return family.isEmpty() ? w : family;
}
