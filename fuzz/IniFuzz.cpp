// Fuzz target: any bytes as the DNC system's ini file, read through the typed reads. Every
// value is compared with a plain reading of the same file (first section of a name, first key
// of a name in it, names without regard to case, quotes taken off); the typed reads give the
// value's meaning or their default, never anything else.
#include <cmath>
#include <cstdint>
#include <map>
#include <string>

#include "FuzzSupport.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"
#include "settings/Visual.h"

namespace {
using fuzz::Check;

std::string Trim(std::string s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// section -> key -> value, names upper-cased, as the profile functions read the file.
using Plain = std::map<std::string, std::map<std::string, std::string>>;
struct Entry {
    std::string section, key;
};

Plain ReadPlain(const std::string& bytes, std::vector<Entry>& entries) {
    Plain plain;
    std::string section;
    bool inSection = false, firstOfName = false;
    std::string line;
    for (size_t i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n') {
            line += bytes[i];
            continue;
        }
        std::string t = Trim(line);
        line.clear();
        if (t.empty()) continue;
        if (t[0] == '[' && t.rfind(']') != std::string::npos) {
            section = UpperCase1252(Trim(t.substr(1, t.rfind(']') - 1)));
            firstOfName = plain.find(section) == plain.end();
            plain[section];
            inSection = true;
            continue;
        }
        if (!inSection || !firstOfName) continue;
        size_t eq = t.find('=');
        std::string key = UpperCase1252(eq == std::string::npos ? t : Trim(t.substr(0, eq)));
        std::string value = eq == std::string::npos ? std::string() : Trim(t.substr(eq + 1));
        // The program reads no empty names: a typed read with one gives its default.
        if (plain[section].emplace(key, value).second && !section.empty() && !key.empty())
            entries.push_back({section, key});
    }
    return plain;
}

std::string Unquoted(std::string v) {
    if (v.size() > 1 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    if (v.size() > 4095) v.resize(4095);
    return v;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetMessageSink([](const std::string&, const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    SetIniFileName(NativeToDncPath(fuzz::WriteFile("Vako.ini", bytes)));
    std::vector<Entry> entries;
    const Plain plain = ReadPlain(bytes, entries);
    if (entries.size() > 40) entries.resize(40);
    const std::string missing = "\x01missing";
    for (const Entry& e : entries) {
        const std::string want = Unquoted(plain.at(e.section).at(e.key));
        const std::string text = ReadIniText(e.section, e.key, missing);
        Check(text == want, "value differs from the plain reading");
        Check(ReadIniText(LowerCase1252(e.section), LowerCase1252(e.key), missing) == want,
              "names are matched regardless of case");
        Check(ReadIniString(e.section, e.key, missing) == UpperCase1252(want), "string read");

        int32_t parsed = 0;
        const bool isInt = ParseInt32(UpperCase1252(want), parsed);
        const int32_t a = ReadIniInt(e.section, e.key, 7), b = ReadIniInt(e.section, e.key, -7);
        Check(isInt ? a == parsed && b == parsed : a == 7 && b == -7, "integer read");

        double f = 0;
        const bool isFloat = ParseFloat(UpperCase1252(want), f);
        const double x = ReadIniFloat(e.section, e.key, 0.5);
        Check(isFloat ? x == f : x == 0.5, "float read");
        Check(std::isfinite(x), "a float read is finite");

        const bool yes = ReadIniBool(e.section, e.key, false);
        Check(yes == (UpperCase1252(want) == "TRUE" || want == "1"), "boolean read");
        Check(ReadIniBool(e.section, e.key, true) == yes, "a boolean that is there ignores the default");

        CharSet set;
        const std::string named = VisualToString(want);
        Check(ReadIniCharSet(e.section, e.key, "", set) == !named.empty(), "character set read");
        for (int c = 0; c < 256; ++c)
            Check(set.test(static_cast<size_t>(c)) == (named.find(static_cast<char>(c)) != std::string::npos),
                  "character set holds the bytes the value names");
        Check(ReadIniText(e.section, e.key, missing, true) == named, "converted read");
    }
    // What the file does not hold gives the default.
    Check(ReadIniText("\x01no section", "key", "default") == "default", "missing section");
    for (const auto& [section, keys] : plain) {
        if (keys.count("\x01NO KEY") == 0)
            Check(ReadIniInt(section, "\x01no key", 42) == 42, "missing key");
        break;
    }
    return 0;
}
