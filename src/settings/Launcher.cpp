#include "settings/Launcher.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace {
std::atomic<Launcher*> installed{nullptr};

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}
}  // namespace

Launcher* GetLauncher() { return installed.load(); }
void SetLauncher(Launcher* launcher) { installed.store(launcher); }

std::string FindProgramOnPath(const std::string& name, const std::string& pathList) {
    if (name.empty() || pathList.empty()) return name.find('/') != std::string::npos && IsExecutableFile(name) ? name : std::string();
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    size_t start = 0;
    while (start <= pathList.size()) {
        size_t colon = pathList.find(':', start);
        if (colon == std::string::npos) colon = pathList.size();
        std::string dir = pathList.substr(start, colon - start);
        if (dir.empty()) dir = ".";
        std::string candidate = dir + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
        start = colon + 1;
    }
    return std::string();
}
