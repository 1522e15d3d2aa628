#include "settings/Settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "settings/KeyStore.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Strings.h"
#include "settings/Visual.h"

namespace {

std::string g_iniFileName;
std::string g_programDirectory;
std::string g_systemFileExt;
std::string g_programName = "VakoEdit";

// ---------------------------------------------------------------- the profile reader
// A parsed ini file. Names are kept upper-cased for the case-insensitive match; the first
// section of a name and the first key of a name in it win, as with the Windows profile
// functions.
struct IniData {
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> sections;
};

std::string_view TrimSpace(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

std::shared_ptr<IniData> ParseIni(const std::string& bytes) {
    auto data = std::make_shared<IniData>();
    std::unordered_map<std::string, std::string>* current = nullptr;
    bool currentIsFirst = false;  // keys of a repeated section are not seen
    size_t pos = 0;
    const size_t n = bytes.size();
    while (pos < n) {
        size_t end = pos;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        std::string_view line = TrimSpace(std::string_view(bytes).substr(pos, end - pos));
        pos = end;
        if (pos < n && bytes[pos] == '\r') ++pos;
        if (pos < n && bytes[pos] == '\n') ++pos;
        if (line.empty()) continue;
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                std::string name = UpperCase1252(TrimSpace(line.substr(1, close - 1)));
                auto [it, inserted] = data->sections.try_emplace(name);
                current = &it->second;
                currentIsFirst = inserted;
                continue;
            }
            // A section line without "]" is read as a key line, as Windows does.
        }
        if (!current || !currentIsFirst) continue;
        size_t eq = line.find('=');
        std::string_view key = eq == std::string_view::npos ? line : TrimSpace(line.substr(0, eq));
        std::string_view value =
            eq == std::string_view::npos ? std::string_view() : TrimSpace(line.substr(eq + 1));
        current->try_emplace(UpperCase1252(key), std::string(value));
    }
    return data;
}

struct CacheEntry {
    std::string nativePath;
    off_t size = -1;
    struct timespec mtime {};
    ino_t inode = 0;
    std::shared_ptr<IniData> data;
};

std::mutex g_cacheMutex;
std::unordered_map<std::string, CacheEntry> g_cache;

bool SameStat(const CacheEntry& e, const struct stat& st) {
    return e.size == st.st_size && e.mtime.tv_sec == st.st_mtim.tv_sec &&
           e.mtime.tv_nsec == st.st_mtim.tv_nsec && e.inode == st.st_ino;
}

// The parsed file, or null when it cannot be read. A change of size, modification time or
// inode makes the next read parse the file again, so nothing cached is ever visible.
std::shared_ptr<IniData> LoadIni(const std::string& dncName) {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    CacheEntry& e = g_cache[dncName];
    struct stat st;
    if (e.nativePath.empty() || ::stat(e.nativePath.c_str(), &st) != 0) {
        e.nativePath = ResolvePath(dncName);
        if (::stat(e.nativePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            e.data.reset();
            e.nativePath.clear();
            return nullptr;
        }
    }
    if (e.data && SameStat(e, st)) return e.data;
    std::ifstream in(e.nativePath, std::ios::binary);
    if (!in) {
        e.data.reset();
        return nullptr;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        e.data.reset();
        return nullptr;
    }
    e.data = ParseIni(bytes);
    e.size = st.st_size;
    e.mtime = st.st_mtim;
    e.inode = st.st_ino;
    return e.data;
}

std::string ProgramNameWithoutExt(const std::string& name) {
    size_t slash = name.find_last_of("\\/");
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    size_t dot = base.rfind('.');
    return dot == std::string::npos ? base : base.substr(0, dot);
}

bool EndsWithSep(const std::string& s) {
    return !s.empty() && (s.back() == '\\' || s.back() == '/');
}

}  // namespace

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& def, const std::string& iniFile) {
    std::shared_ptr<IniData> data = LoadIni(iniFile);
    if (!data) return def;
    auto s = data->sections.find(UpperCase1252(section));
    if (s == data->sections.end()) return def;
    auto k = s->second.find(UpperCase1252(key));
    if (k == s->second.end()) return def;
    std::string v = k->second;
    if (v.size() > 1 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        v = v.substr(1, v.size() - 2);
    if (v.size() > 4095) v.resize(4095);
    return v;
}

const std::string& IniFileName() { return g_iniFileName; }
const std::string& ProgramDirectory() { return g_programDirectory; }
const std::string& SystemFileExt() { return g_systemFileExt; }
void SetIniFileName(const std::string& name) { g_iniFileName = name; }
void SetProgramDirectory(const std::string& dir) { g_programDirectory = dir; }
void SetSystemFileExt(const std::string& ext) { g_systemFileExt = ext; }

std::string RunningProgramDirectory() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::string();
    std::string path(buf, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return NativeToDncPath(path.substr(0, slash + 1));
}

void LocateIniFile(const LocateOptions& opt) {
    g_programName = ProgramNameWithoutExt(opt.programName);
    std::string progDir = opt.programDirectory;
    if (!progDir.empty() && !EndsWithSep(progDir)) progDir += "\\";
    KeyStore& store = GetKeyStore();
    // 1. The machine-wide key, full access then read-only; else the per-user key, created
    // when missing, then read-only.
    KeyRoot root = KeyRoot::LocalMachine;
    bool opened = store.OpenKey(KeyRoot::LocalMachine, kVakoKey, false, true) ||
                  store.OpenKey(KeyRoot::LocalMachine, kVakoKey, false, false);
    if (!opened) {
        root = KeyRoot::CurrentUser;
        opened = store.OpenKey(KeyRoot::CurrentUser, kVakoKey, true, true) ||
                 store.OpenKey(KeyRoot::CurrentUser, kVakoKey, false, false);
    }
    // 2.
    std::string ini, dir;
    if (opened) {
        if (!store.ReadValue(root, kVakoKey, g_programName, ini)) ini.clear();
        if (ini.empty() && !store.ReadValue(root, kVakoKey, "INI-Fil", ini)) ini.clear();
        if (!store.ReadValue(root, kVakoKey, "ExeKatalog", dir)) dir.clear();
    }
    // 3.
    if (ini.empty()) ini = kDefaultIniFile;
    // 4. A bare file name lies in the program's own directory.
    if (ini.find('\\') == std::string::npos && ini.find('/') == std::string::npos)
        ini = progDir + ini;
    // 5.
    if (!FileExists(ini) && FileExists(progDir + "Vako.ini")) ini = progDir + "Vako.ini";
    // 6. A first argument naming an existing .ini file overrides all of it.
    bool given = !opt.explicitIni.empty();
    if (!opt.arguments.empty()) {
        const std::string& a = opt.arguments[0];
        if (EndsWithNoCase1252(a, ".ini") && FileExists(a)) {
            ini = a;
            given = true;
        }
    }
    if (!opt.explicitIni.empty()) ini = opt.explicitIni;
    // An installed program whose shop names no ini file: the user's copy of the demo shop.
    if (!given && opt.fallbackIni && !FileExists(ini)) {
        std::string fallback = opt.fallbackIni();
        if (!fallback.empty()) ini = fallback;
    }
    g_iniFileName = ini;
    // 7.-9.
    if (dir.empty()) dir = progDir;
    dir = ReadIniString("Program", "ExeKatalog", dir);
    if (!dir.empty() && !EndsWithSep(dir)) dir += "\\";
    g_programDirectory = dir;
    // 10.
    g_systemFileExt = ReadIniString("Program", "SysExt", ".SPR");
}

std::string ReadIniText(const std::string& section, const std::string& key,
                        const std::string& def, bool convert) {
    std::string result = def;
    if (g_iniFileName.empty()) {
        ShowMessageBox(kNoIniCaption, std::string(kNoIniText) + "\r[" + section + "], " + key +
                                          " = " + def);
        return def;
    }
    if (!section.empty() && !key.empty()) result = ReadProfileString(section, key, def, g_iniFileName);
    if (convert) result = VisualToString(result);
    return result;
}

std::string ReadIniString(const std::string& section, const std::string& key,
                          const std::string& def, bool convert) {
    return UpperCase1252(ReadIniText(section, key, def, convert));
}

bool ReadIniBool(const std::string& section, const std::string& key, bool def) {
    std::string v = ReadIniString(section, key, def ? "True" : "False");
    return v == "TRUE" || v == "1";
}

int32_t ReadIniInt(const std::string& section, const std::string& key, int32_t def) {
    std::string v = ReadIniString(section, key, std::to_string(def));
    int32_t r;
    return ParseInt32(v, r) ? r : def;
}

double ReadIniFloat(const std::string& section, const std::string& key, double def) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", def);
    std::string defText = std::isfinite(def) ? std::string(buf) : std::string();
    std::string v = ReadIniString(section, key, defText);
    double r;
    return ParseFloat(v, r) ? r : def;
}

bool ReadIniCharSet(const std::string& section, const std::string& key, const std::string& def,
                    CharSet& set) {
    std::string v = ReadIniText(section, key, def, true);
    set.reset();
    for (unsigned char c : v) set.set(c);
    return !v.empty();
}

std::string ReadProgramExt() { return ReadIniString("Program", "Ext", ".NC"); }

std::string BuildExtraFilters(const std::string& section) {
    std::string result;
    for (int i = 2;; ++i) {
        std::string ext = ReadIniString(section, "Ext" + std::to_string(i), "");
        if (ext.empty()) break;
        std::string descr = ReadIniText(section, "Beskr" + std::to_string(i), "Andre program");
        result += descr + " (*" + ext + ")|*" + ext + "|";
    }
    return result;
}

std::string MachineSection(int index) { return "Maskin" + std::to_string(index + 1); }

int ReadPersonalInt(const std::string& name, int def) {
    KeyStore& store = GetKeyStore();
    std::string key = std::string(kPersonalKey) + g_programName;
    if (!store.OpenKey(KeyRoot::CurrentUser, key, true, true) &&
        !store.OpenKey(KeyRoot::CurrentUser, key, false, false))
        return def;
    std::string v;
    int32_t r;
    if (!store.ReadValue(KeyRoot::CurrentUser, key, name, v) || !ParseInt32(v, r)) return def;
    return r;
}

void WritePersonalInt(const std::string& name, int value) {
    KeyStore& store = GetKeyStore();
    std::string key = std::string(kPersonalKey) + g_programName;
    if (store.OpenKey(KeyRoot::CurrentUser, key, true, true))
        store.WriteValue(KeyRoot::CurrentUser, key, name, std::to_string(value));
}

std::string ReadPersonalString(const std::string& subkey, const std::string& name,
                               const std::string& def) {
    KeyStore& store = GetKeyStore();
    std::string key = std::string(kPersonalKey) + subkey;
    if (!store.OpenKey(KeyRoot::CurrentUser, key, true, true) &&
        !store.OpenKey(KeyRoot::CurrentUser, key, false, false))
        return def;
    std::string v;
    if (!store.ReadValue(KeyRoot::CurrentUser, key, name, v)) return std::string();
    return v;
}

void WritePersonalString(const std::string& subkey, const std::string& name,
                         const std::string& value) {
    KeyStore& store = GetKeyStore();
    std::string key = std::string(kPersonalKey) + subkey;
    if (store.OpenKey(KeyRoot::CurrentUser, key, true, true))
        store.WriteValue(KeyRoot::CurrentUser, key, name, value);
}

std::string ZeroPad(int32_t value, int width) {
    std::string s = std::to_string(value);
    if (width > 255) width = 255;
    while (static_cast<int>(s.size()) < width) s.insert(value < 0 ? 1 : 0, "0");
    return s;
}

std::string FormatFixed(int width, int decimals, double value) {
    if (decimals < 0) decimals = 0;
    if (decimals > 64) decimals = 64;
    std::string s;
    if (!std::isfinite(value)) {
        s = std::isnan(value) ? "Nan" : (value > 0 ? "+Inf" : "-Inf");
    } else {
        int n = std::snprintf(nullptr, 0, "%.*f", decimals, value);
        s.resize(static_cast<size_t>(n) + 1);
        std::snprintf(s.data(), s.size(), "%.*f", decimals, value);
        s.resize(static_cast<size_t>(n));
        // A value that rounds to zero is written without a sign.
        if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
    }
    if (width > 255) width = 255;
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), ' ');
    return s;
}

std::string PadText(const std::string& s, int width, bool rightAlign) {
    if (width <= 0) return std::string();
    std::string r = s;
    if (static_cast<int>(r.size()) < width) {
        size_t add = static_cast<size_t>(width) - r.size();
        if (rightAlign) r.insert(0, add, ' ');
        else r.append(add, ' ');
    }
    r.resize(static_cast<size_t>(width));
    return r;
}

int32_t DigitsToInt(const std::string& s) {
    std::string kept;
    for (size_t i = 0; i < s.size() && i < 255; ++i)
        if (s[i] == '-' || (s[i] >= '0' && s[i] <= '9')) kept.push_back(s[i]);
    int32_t v;
    return ParseInt32(kept, v) ? v : 0;
}

double TextToFloat(const std::string& s, int start, int count) {
    std::string t(TrimBlanks(s));
    size_t comma = t.find(',');
    if (comma != std::string::npos) t[comma] = '.';
    if (start > 0) {
        size_t b = static_cast<size_t>(start - 1);
        t = b < t.size() ? t.substr(b, count < 0 ? 0 : static_cast<size_t>(count)) : std::string();
    }
    double v;
    return ParseFloat(t, v) ? v : 0.0;
}

int FileExtPos(const std::string& name) {
    size_t n = name.size() < 255 ? name.size() : 255;
    for (size_t i = n; i-- > 0;) {
        if (name[i] == '\\') return 0;
        if (name[i] == '.') return static_cast<int>(i + 1);
    }
    return 0;
}
