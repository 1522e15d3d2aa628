#pragma once
// The catalogue of a machine's programs: each program's name padded to the longest name,
// followed by the start of the program, the whole line in the control-code notation. Plain
// C++: the window shows the lines and makes the name runs bold.
#include <cstdint>
#include <string>
#include <vector>

#include "settings/TextUtil.h"

inline constexpr int kCatalogueLineWidth = 124;
inline constexpr int kExcerptLineLimit = 150;

// The folder of machine k (1-based) as the machine change sets it: "Katalog" of "Maskin" + k
// (default "C:\Vako\Maskin" + k + "\"), or "Katalog2" (default that folder) when "UtKatalog"
// is true. Upper-cased, as the settings store hands it back.
std::string MachineFolder(int machine);

// Reads one line character by character for the excerpt: characters of code 32 and below are
// skipped first (all but the byte 0x15, which stays as the first character so that such a
// line is recognised and left out), then characters of code 32 and above are collected until
// CR or LF, the end of the file or 150 characters; other control characters are dropped.
// True when a line that is not empty was read.
bool ReadExcerptLine(TextFile& f, std::string& line, bool& ok);

// The start of a program: two spaces before every line that does not begin with "*" or
// the byte 0x15, cut to width characters. A width of 0 or less, or a file that cannot be
// opened, gives an empty excerpt. tekstFormat chooses ReadTextLine instead of
// ReadExcerptLine.
std::string ProgramExcerpt(const std::string& file, int width, bool tekstFormat);

// The names of the regular files of a folder (DNC form, ends with "\") that match prefix +
// "*" + ext (case ignored; "?" and "*" are wildcards, "*.*" matches every name); hidden files
// and folders are left out. Sorted case-insensitively.
std::vector<std::string> ListCatalogueFiles(const std::string& folder, const std::string& extension,
                                            const std::string& prefix = std::string());

struct CatalogueRun {
    int64_t line = 0;    // 0-based line of the catalogue
    int64_t column = 0;  // position in the line
    int64_t start = 0;   // position in the whole text (every line break counts as two)
    int64_t length = 0;
};

struct CatalogueText {
    std::vector<std::string> lines;  // in control-code notation
    std::vector<CatalogueRun> bold;  // the name of every line, in notation
    int nameWidth = 4;               // W
    bool empty() const { return lines.empty(); }
};

// The catalogue of CurrentFolder: the folder and the file-name prefix are taken apart as the
// open dialog takes them (SplitFolder: a CurrentFolder without a trailing "\" lists only the
// names that begin with its last part). For each listed name, PadText(name, W) +
// ProgramExcerpt(folder + name, 124 - W) in notation. W is the length of the longest name, at least 4. The
// bold run of a line covers the padded name as the notation shows it, so a name with
// characters the notation writes as codes stays bold over its whole width.
CatalogueText BuildCatalogue(const std::string& currentFolder, const std::string& extension, bool tekstFormat);
// The same over a given list of names (in the order given).
CatalogueText BuildCatalogueOf(const std::string& currentFolder, const std::vector<std::string>& names,
                               bool tekstFormat);
