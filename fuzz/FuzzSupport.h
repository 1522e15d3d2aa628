#pragma once
// Shared by the fuzz targets: a failed check ends the run with its reason (libFuzzer keeps
// the input), a private folder for files a reader must open, and the cutting of an input into
// pieces as a socket or a file read might deliver it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

// A folder of this process, in memory when /dev/shm is there.
inline const std::string& Folder() {
    static const std::string dir = [] {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string templ = std::string(base) + "/skarvfuzz.XXXXXX";
        Check(::mkdtemp(templ.data()) != nullptr, "mkdtemp");
        return templ;
    }();
    return dir;
}

// Writes bytes to a file of the folder. Each write gets a modification time of its own, so a
// reader that caches by size and time sees every new content.
inline std::string WriteFile(const std::string& name, std::string_view bytes) {
    static long stamp = 1000000000;
    const std::string path = Folder() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr, "open for writing");
    Check(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() || bytes.empty(), "write");
    std::fclose(f);
    struct timespec t[2] = {{++stamp, 0}, {stamp, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), t, 0);
    return path;
}

// The lengths of the pieces an input is cut into: taken from the input's own bytes, so the
// fuzzer explores where the cuts fall. The lengths add up to size.
inline std::vector<size_t> Pieces(std::string_view seed, size_t size) {
    std::vector<size_t> out;
    size_t k = 0, left = size;
    while (left > 0) {
        size_t n = seed.empty() ? left : static_cast<unsigned char>(seed[k++ % seed.size()]) % 17 + 1;
        if (n > left) n = left;
        out.push_back(n);
        left -= n;
    }
    return out;
}

}  // namespace fuzz
