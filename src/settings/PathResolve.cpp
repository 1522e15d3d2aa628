#include "settings/PathResolve.h"

#include <dirent.h>
#include <sys/stat.h>

#include <mutex>
#include <vector>

#include "settings/Strings.h"

namespace {
// Code points of 0x80-0x9F in Windows-1252; 0 where the code page has no character.
const unsigned short kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool IsSep(char c) { return c == '\\' || c == '/'; }

bool Exists(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

std::mutex g_driveMutex;
std::string g_driveFolder = "/";
}  // namespace

void SetDriveFolder(const std::string& nativeFolder) {
    std::string f = nativeFolder.empty() ? std::string("/") : nativeFolder;
    if (f.back() != '/') f += '/';
    std::lock_guard<std::mutex> lock(g_driveMutex);
    g_driveFolder = f;
}

std::string DriveFolder() {
    std::lock_guard<std::mutex> lock(g_driveMutex);
    return g_driveFolder;
}

std::string Cp1252ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c < 0x80) out.push_back(static_cast<char>(c));
        else if (c < 0xA0) AppendUtf8(out, kHigh[c - 0x80] ? kHigh[c - 0x80] : c);
        else AppendUtf8(out, c);
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        unsigned cp;
        size_t n;
        if (c < 0x80) { cp = c; n = 1; }
        else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) { cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F); n = 2; }
        else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
            cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
            n = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < s.size()) { cp = 0x10000; n = 4; }
        else { out.push_back(static_cast<char>(c)); ++i; continue; }  // not UTF-8: keep the byte
        i += n;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) { out.push_back(static_cast<char>(cp)); continue; }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] == cp) { mapped = static_cast<char>(0x80 + k); break; }
        if (cp >= 0x80 && cp < 0xA0) mapped = static_cast<char>(cp);
        out.push_back(mapped);
    }
    return out;
}

std::string ResolvePath(std::string_view dnc) {
    std::string_view rest = dnc;
    std::string result;
    if (rest.size() >= 2 && rest[1] == ':' &&
        ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'))) {
        rest.remove_prefix(2);
        result = DriveFolder();
    } else if (!rest.empty() && IsSep(rest[0])) {
        result = "/";
    }
    bool trailingSep = !rest.empty() && IsSep(rest.back());
    // Split into components.
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && IsSep(rest[i])) ++i;
        size_t b = i;
        while (i < rest.size() && !IsSep(rest[i])) ++i;
        if (i > b) parts.push_back(rest.substr(b, i - b));
    }
    bool stillMatching = true;  // once a component does not exist, the rest keep their spelling
    for (size_t k = 0; k < parts.size(); ++k) {
        std::string comp = Cp1252ToUtf8(parts[k]);
        std::string base = result.empty() ? std::string(".") : result;
        std::string candidate = result + comp;
        if (stillMatching && comp != "." && comp != ".." && !Exists(candidate)) {
            bool found = false;
            if (DIR* d = ::opendir(base.c_str())) {
                while (dirent* e = ::readdir(d)) {
                    std::string name = e->d_name;
                    if (name == "." || name == "..") continue;
                    if (EqualsNoCase1252(Utf8ToCp1252(name), parts[k])) {
                        candidate = result + name;
                        found = true;
                        break;
                    }
                }
                ::closedir(d);
            }
            if (!found) stillMatching = false;
        }
        result = candidate;
        if (k + 1 < parts.size() || trailingSep) result += "/";
    }
    if (result.empty() && !dnc.empty()) result = ".";
    return result;
}

std::string NativeToDncPath(std::string_view native) {
    const std::string drive = DriveFolder();
    bool onDrive = !native.empty() && native[0] == '/';
    if (onDrive && drive != "/") {
        // Below the drive folder (or the folder itself): the path from it.
        std::string_view inside = std::string_view(drive).substr(0, drive.size() - 1);
        onDrive = native.substr(0, inside.size()) == inside &&
                  (native.size() == inside.size() || native[inside.size()] == '/');
        if (onDrive) native.remove_prefix(inside.size());
    }
    std::string s = Utf8ToCp1252(native);
    for (auto& c : s)
        if (c == '/') c = '\\';
    if (onDrive) s = "C:" + (s.empty() ? std::string("\\") : s);
    return s;
}

std::string FolderPart(std::string_view path) {
    size_t p = path.find_last_of("\\/:");
    return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string FileNamePart(std::string_view path) {
    size_t p = path.find_last_of("\\/:");
    return p == std::string_view::npos ? std::string(path) : std::string(path.substr(p + 1));
}

bool FileExists(std::string_view dncPath) {
    struct stat st;
    return ::stat(ResolvePath(dncPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(std::string_view dncPath) {
    struct stat st;
    return ::stat(ResolvePath(dncPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
