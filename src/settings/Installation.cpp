#include "settings/Installation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "settings/PathResolve.h"

// Where the build installs the data folder, seen from the binaries' folder.
#ifndef SKARV_DATA_FROM_BIN
#define SKARV_DATA_FROM_BIN "../share/skarv-editor"
#endif

namespace fs = std::filesystem;

namespace {

bool IsDirectory(const std::string& native) {
    struct stat st;
    return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
    return text;
}

// Copies the folder tree; files and folders the target has are kept as they are. The
// template is not copied: the ini file is made from it.
bool CopyTree(const fs::path& source, const fs::path& target) {
    std::error_code ec;
    fs::create_directories(target, ec);
    if (ec) return false;
    for (fs::recursive_directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(source);
        if (relative == kDemoIniTemplate) continue;
        const fs::path to = target / relative;
        if (it->is_directory(ec)) {
            fs::create_directories(to, ec);
        } else if (it->is_regular_file(ec) && !fs::exists(to, ec)) {
            fs::copy_file(it->path(), to, fs::copy_options::skip_existing, ec);
            // The installed files are read-only to the user; the copy is the user's to edit.
            if (!ec) fs::permissions(to, fs::perms::owner_write, fs::perm_options::add, ec);
        }
        if (ec) return false;
    }
    return !ec;
}

// Writes the file through a new file renamed into place, so that a start that breaks off
// never leaves half an ini file.
bool WriteWhole(const std::string& native, const std::string& bytes) {
    const std::string temporary = native + ".ny";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (::rename(temporary.c_str(), native.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string InstalledDataDirectory(const std::string& binDir, const std::string& relative) {
    if (binDir.empty() || relative.empty()) return std::string();
    std::string data = WithoutTrailingSlash(binDir) + "/" + WithoutTrailingSlash(relative);
    if (!IsDirectory(data)) return std::string();
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(data, ec);
    return ec ? data : canonical.string();
}

std::string UserDemoShopDirectory() {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = WithoutTrailingSlash(home) + "/.local/share";
    } else {
        return std::string();
    }
    return WithoutTrailingSlash(base) + "/" + kUserDemoShopFolder;
}

std::string CopyDemoShop(const std::string& source, const std::string& target,
                         const std::string& programDirectory) {
    if (source.empty() || target.empty()) return std::string();
    const std::string ini = WithoutTrailingSlash(target) + "/Vako.ini";
    struct stat st;
    if (::stat(ini.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return NativeToDncPath(ini);

    std::ifstream in(WithoutTrailingSlash(source) + "/" + kDemoIniTemplate, std::ios::binary);
    if (!in) return std::string();
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || !CopyTree(source, target)) return std::string();
    std::string shop = NativeToDncPath(WithoutTrailingSlash(target)) + "\\";
    std::string program = programDirectory;
    if (!program.empty() && program.back() != '\\' && program.back() != '/') program += "\\";
    text = ReplaceAll(ReplaceAll(text, "@SHOP_DNC@", shop), "@BIN_DNC@", program);
    if (!WriteWhole(ini, text)) return std::string();
    return NativeToDncPath(ini);
}

void UseInstalledLayout(LocateOptions& options, const std::string& relativeDataDir) {
    const std::string data =
        InstalledDataDirectory(ResolvePath(options.programDirectory), relativeDataDir);
    if (data.empty()) return;
    const std::string programDirectory = NativeToDncPath(data) + "\\";
    options.programDirectory = programDirectory;
    options.fallbackIni = [data, programDirectory] {
        return CopyDemoShop(data + "/" + kDemoShopFolder, UserDemoShopDirectory(),
                            programDirectory);
    };
}

void UseInstalledLayout(LocateOptions& options) {
    UseInstalledLayout(options, SKARV_DATA_FROM_BIN);
}
