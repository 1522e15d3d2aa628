#include "document/Catalogue.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "document/DocFiles.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"
#include "settings/Visual.h"

namespace {
bool WildcardMatch(const std::string& name, size_t n, const std::string& pat, size_t p) {
    while (p < pat.size()) {
        if (pat[p] == '*') {
            for (size_t k = n; k <= name.size(); ++k)
                if (WildcardMatch(name, k, pat, p + 1)) return true;
            return false;
        }
        if (n >= name.size()) return false;
        if (pat[p] != '?' && UpperChar1252(static_cast<unsigned char>(pat[p])) !=
                                 UpperChar1252(static_cast<unsigned char>(name[n])))
            return false;
        ++n;
        ++p;
    }
    return n == name.size();
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
    // As on the DNC system: "*.*" also matches a name without a dot.
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
        name.find('.') == std::string::npos && WildcardMatch(name, 0, pattern.substr(0, pattern.size() - 2), 0))
        return true;
    return WildcardMatch(name, 0, pattern, 0);
}

bool LessNoCase(const std::string& a, const std::string& b) {
    std::string la = LowerCase1252(a), lb = LowerCase1252(b);
    if (la != lb) return la < lb;
    return a < b;
}
}  // namespace

std::string MachineFolder(int machine) {
    const std::string k = std::to_string(machine);
    const std::string section = "Maskin" + k;
    std::string folder = ReadIniString(section, "Katalog", "C:\\Vako\\Maskin" + k + "\\");
    if (ReadIniBool(section, "UtKatalog", false)) folder = ReadIniString(section, "Katalog2", folder);
    return folder;
}

bool ReadExcerptLine(TextFile& f, std::string& line, bool& ok) {
    line.clear();
    if (!ok) return false;
    int c;
    while ((c = PeekTextByte(f)) >= 0 && c <= 32 && c != 0x15) SkipTextByte(f);
    if (c == 0x15) {
        line.push_back(static_cast<char>(c));
        SkipTextByte(f);
    }
    while (line.size() < kExcerptLineLimit && (c = PeekTextByte(f)) >= 0) {
        SkipTextByte(f);
        if (c == '\r' || c == '\n') break;
        if (c >= 32) line.push_back(static_cast<char>(c));
    }
    if (f.error) ok = false;
    return !line.empty();
}

std::string ProgramExcerpt(const std::string& file, int width, bool tekstFormat) {
    // A name wider than the catalogue line leaves no room for an excerpt.
    if (width <= 0) return std::string();
    TextFile f;
    bool ok = true;
    OpenTextForRead(file, f, ok);
    if (!ok) return std::string();
    std::string e;
    const size_t w = static_cast<size_t>(width);
    std::string line;
    while (ok && MoreText(f) && e.size() < w) {
        bool read;
        if (tekstFormat) {
            ReadTextLine(f, line, ok);
            read = ok;
        } else {
            read = ReadExcerptLine(f, line, ok);
        }
        if (!read) continue;
        if (!line.empty() && (line[0] == '*' || line[0] == '\x15')) continue;
        e += "  ";
        e.append(line, 0, std::min(line.size(), w));  // more than width is never shown
    }
    bool closed = true;
    CloseText(f, closed);
    if (e.size() > w) e.resize(w);
    return e;
}

std::vector<std::string> ListCatalogueFiles(const std::string& folder, const std::string& extension,
                                            const std::string& prefix) {
    std::vector<std::string> names;
    std::string native = ResolvePath(folder);
    if (native.empty()) native = ".";
    DIR* d = ::opendir(native.c_str());
    if (!d) return names;
    const std::string pattern = prefix + "*" + extension;
    while (dirent* ent = ::readdir(d)) {
        std::string raw = ent->d_name;
        if (raw.empty() || raw[0] == '.') continue;  // hidden, "." and ".."
        std::string full = native;
        if (full.back() != '/') full += '/';
        full += raw;
        struct stat st;
        if (::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        std::string name = Utf8ToCp1252(raw);
        if (MatchesPattern(name, pattern)) names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end(), LessNoCase);
    return names;
}

CatalogueText BuildCatalogueOf(const std::string& currentFolder, const std::vector<std::string>& names,
                               bool tekstFormat) {
    CatalogueText cat;
    size_t longest = 4;
    for (const std::string& n : names) longest = std::max(longest, n.size());
    cat.nameWidth = static_cast<int>(std::min<size_t>(longest, 1 << 20));
    const int w = cat.nameWidth;
    const std::string dir = FolderPart(currentFolder);
    int64_t pos = 0;
    for (const std::string& name : names) {
        std::string padded = PadText(name, w, false);
        std::string excerpt = ProgramExcerpt(dir + name, kCatalogueLineWidth - w, tekstFormat);
        std::string shownName = StringToVisual(padded);
        std::string line = shownName + StringToVisual(excerpt);
        CatalogueRun run;
        run.line = static_cast<int64_t>(cat.lines.size());
        run.column = 0;
        run.start = pos;
        run.length = static_cast<int64_t>(shownName.size());
        cat.bold.push_back(run);
        pos += static_cast<int64_t>(line.size()) + 2;
        cat.lines.push_back(std::move(line));
    }
    return cat;
}

CatalogueText BuildCatalogue(const std::string& currentFolder, const std::string& extension, bool tekstFormat) {
    // The open dialog's rule, so that both offer the same programs.
    FolderSplit split = SplitFolder(currentFolder);
    const std::string folder = split.folder.empty() ? std::string() : split.folder + "\\";
    return BuildCatalogueOf(folder, ListCatalogueFiles(folder, extension, split.prefix), tekstFormat);
}
