#include "document/DocFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

#include "nctools/LineList.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

namespace {
// The error each step of the next save fails with; 0 where it goes through.
constexpr int kSaveSteps = static_cast<int>(SaveStep::Replace) + 1;
std::atomic<int> g_failError[kSaveSteps];
std::atomic<unsigned> g_tempCounter{0};

// True (and errno set) when the test hook says this step fails now.
bool HookFails(SaveStep step) {
    int error = g_failError[static_cast<int>(step)].exchange(0);
    if (error == 0) return false;
    errno = error;
    return true;
}

bool IsNameSep(char c) { return c == '\\' || c == '/' || c == ':'; }

std::string NativeFolder(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NativeBase(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hidden name beside the file that no other file has.
std::string TempNameBeside(const std::string& folder, const std::string& base, const char* tag) {
    return folder + "/." + base + tag + std::to_string(::getpid()) + "-" +
           std::to_string(g_tempCounter.fetch_add(1));
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        if (HookFails(SaveStep::Write)) return false;
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Streams the text's lines, each followed by CR LF, to fd.
bool WriteLines(int fd, std::string_view text) {
    static constexpr size_t kBuf = 1 << 20;
    std::string buf;
    buf.reserve(kBuf + 2);
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        size_t e = i;
        while (e < n && text[e] != '\r' && text[e] != '\n') ++e;
        buf.append(text.data() + i, e - i);
        buf += "\r\n";
        if (e < n && text[e] == '\r' && e + 1 < n && text[e + 1] == '\n') ++e;
        i = e + 1;
        if (buf.size() >= kBuf) {
            if (!WriteAll(fd, buf.data(), buf.size())) return false;
            buf.clear();
        }
    }
    return buf.empty() || WriteAll(fd, buf.data(), buf.size());
}

void SyncFolder(const std::string& folder) {
    int d = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        ::fsync(d);
        ::close(d);
    }
}

std::string ReasonOf(int err) {
    switch (err) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return "Disken er full.";
        case EFBIG: return "Filen blir for stor.";
        case EACCES:
        case EPERM: return "Ingen skrivetilgang.";
        case EROFS: return "Disken er skrivebeskyttet.";
        case ENOENT:
        case ENOTDIR: return "Mappen finnes ikke.";
        case EISDIR: return "Navnet er en mappe.";
        case EIO: return "Skrivefeil på disken.";
        default: return "Feilkode " + std::to_string(err) + ".";
    }
}

SaveResult Failed(int err) {
    SaveResult r;
    r.ok = false;
    r.error = err ? err : EIO;
    r.reason = ReasonOf(r.error);
    return r;
}
}  // namespace

// ---------------------------------------------------------------- names and folders
std::string BackupName(std::string_view f) {
    for (size_t i = f.size(); i-- > 0;) {
        if (IsNameSep(f[i])) break;
        if (f[i] == '.') return std::string(f.substr(0, i)) + ".Bak";
    }
    return std::string(f) + ".Bak";
}

FolderSplit SplitFolder(std::string_view cf) {
    size_t i = cf.size();  // 1-based position
    while (i > 3 && cf[i - 1] != '\\') --i;
    FolderSplit s;
    s.folder = std::string(cf.substr(0, i > 0 ? i - 1 : 0));
    s.prefix = std::string(cf.substr(i));
    return s;
}

std::string OpenDialogFilter(const std::string& e, const std::string& extra) {
    return "CNC-programmer (*" + e + ")|*" + e + "|" + extra +
           "Backup programmer (*.Bak)|*.Bak|Tekst filer (*.Txt)|*.Txt|Alle filer (*.*)|*.*";
}

std::string SaveDialogFilter(const std::string& e) {
    return "CNC-programmer (*" + e + ")|*" + e +
           "|Backup programmer (*.Bak)|*.Bak|Tekst filer (*.Txt)|*.Txt|Alle filer (*.*)|*.*";
}

std::string OpenDialogFilterFor(const std::string& machineExt, const std::string& section) {
    return OpenDialogFilter(machineExt, BuildExtraFilters(section));
}

std::string OpenDialogFileName(const std::string& fileName, const std::string& prefix,
                               const std::string& machineExt) {
    if (UpperCase1252(fileName).find(".LOG") != std::string::npos) return fileName;
    return prefix + "*" + machineExt;
}

std::string InsertDialogFolder(const std::string& folder) {
    std::string cycles = folder + "\\" + kCyclesFolder;
    return DirectoryExists(cycles) ? cycles : folder;
}

std::string SaveAsFileName(const std::string& chosen, const std::string& machineExt) {
    return chosen.find('.') == std::string::npos ? chosen + machineExt : chosen;
}

std::string QuerySaveCaption(const std::string& cf, const std::string& fileName,
                             const std::string& machineExt) {
    return fileName.empty() ? cf + "0000" + machineExt : cf + fileName;
}

std::string ReopenFileName(std::string caption) {
    size_t amp = caption.find('&');
    if (amp != std::string::npos) caption.erase(amp, 1);
    return caption;
}

DocumentName NameOfFile(const std::string& name) {
    return DocumentName{FileNamePart(name), FolderPart(name)};
}

DocumentName NameAfterOpen(const std::string& loaded, const std::string& cf) {
    if (!cf.empty() && StartsWithNoCase1252(loaded, cf))
        return DocumentName{loaded.substr(cf.size()), cf};
    return NameOfFile(loaded);
}

// ---------------------------------------------------------------- stamps
int64_t FileAge(const std::string& fileName) {
    struct stat st;
    if (::stat(ResolvePath(fileName).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    // The modification time alone can repeat within the file system's clock step; size and
    // inode make a rewrite within it show as well (a safe save always gives a new inode).
    uint64_t h = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000ull +
                 static_cast<uint64_t>(st.st_mtim.tv_nsec);
    h ^= (static_cast<uint64_t>(st.st_size) + 0x9E3779B97F4A7C15ull) * 0xBF58476D1CE4E5B9ull;
    h ^= (static_cast<uint64_t>(st.st_ino) + 0x632BE59BD9B4E019ull) * 0x94D049BB133111EBull;
    return static_cast<int64_t>(h & 0x7FFFFFFFFFFFFFFFull);
}

// ---------------------------------------------------------------- saving
std::string TextForFile(std::string_view text) { return JoinLinesCrLf(SplitLines(text)); }

void FailNextSave(SaveStep step, int error) {
    if (step == SaveStep::None) {
        for (auto& e : g_failError) e = 0;
        return;
    }
    g_failError[static_cast<int>(step)] = error ? error : EIO;
}

SaveResult SaveTextSafely(const std::string& fileName, std::string_view text, bool backup) {
    // A file-size limit must give a write error, not end the program.
    static std::once_flag ignoreSizeSignal;
    std::call_once(ignoreSizeSignal, [] { ::signal(SIGXFSZ, SIG_IGN); });

    std::string target = ResolvePath(fileName);
    struct stat old;
    bool exists = ::lstat(target.c_str(), &old) == 0;
    bool viaLink = exists && S_ISLNK(old.st_mode);
    if (viaLink) {
        // Write where the link points, and keep the link.
        char real[PATH_MAX];
        if (::realpath(target.c_str(), real)) target = real;
        exists = ::stat(target.c_str(), &old) == 0;
    }
    if (exists && S_ISDIR(old.st_mode)) return Failed(EISDIR);
    const std::string folder = NativeFolder(target);
    const std::string base = NativeBase(target);

    // 1. The new file beside the old one, written and flushed to the disk.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = TempNameBeside(folder, base, ".~");
        if (HookFails(SaveStep::Create)) return Failed(errno);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return Failed(errno);
    }
    if (fd < 0) return Failed(EEXIST);
    if (exists) {
        ::fchmod(fd, old.st_mode & 07777);
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Another owner cannot be given; the file is the user's then.
        }
    }
    bool written = WriteLines(fd, text);
    if (written && HookFails(SaveStep::Sync)) written = false;
    if (written && ::fsync(fd) != 0) written = false;
    int err = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        err = errno;
    }
    if (!written) {
        ::unlink(temp.c_str());
        return Failed(err);
    }

    // 2. The backup: the old file under the ".Bak" name. The backup that was there before is
    // kept aside until the new file is in place, so a failure can put everything back.
    std::string bak;
    std::string oldBakAside;
    bool bakLinked = false, oldMoved = false;
    if (backup) {
        bak = viaLink ? BackupName(target) : ResolvePath(BackupName(fileName));
        if (bak != target) {
            struct stat bst;
            if (::lstat(bak.c_str(), &bst) == 0 && !S_ISDIR(bst.st_mode)) {
                oldBakAside = TempNameBeside(NativeFolder(bak), NativeBase(bak), ".~bak");
                if (::rename(bak.c_str(), oldBakAside.c_str()) != 0) {
                    ::unlink(bak.c_str());  // as the old program did: the backup is replaced
                    oldBakAside.clear();
                }
            }
            if (exists) {
                if (!HookFails(SaveStep::Link) && ::link(target.c_str(), bak.c_str()) == 0) {
                    bakLinked = true;
                } else if (::rename(target.c_str(), bak.c_str()) == 0) {
                    oldMoved = true;  // a file system without hard links
                }
            }
        }
    }

    // 3. The new file in place.
    bool placed = !HookFails(SaveStep::Replace) && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!placed) {
        err = errno;
        ::unlink(temp.c_str());
        if (bakLinked) ::unlink(bak.c_str());
        if (oldMoved) ::rename(bak.c_str(), target.c_str());
        if (!oldBakAside.empty()) ::rename(oldBakAside.c_str(), bak.c_str());
        return Failed(err);
    }
    if (!oldBakAside.empty()) ::unlink(oldBakAside.c_str());
    SyncFolder(folder);

    SaveResult r;
    r.ok = true;
    r.stamp = FileAge(fileName);
    return r;
}

SaveResult SaveDocumentFile(const std::string& fileName, std::string_view text) {
    return SaveTextSafely(fileName, text, ReadIniBool("Program", "BakFiler", true));
}

std::string SaveFailureText(const std::string& fileName, const SaveResult& result) {
    return std::string(kSaveFailText) + fileName + "\r" + result.reason + " " + kSaveKeptText;
}

// ---------------------------------------------------------------- the reload question
ReloadCheck CheckReload(bool dialogOpen, int64_t& fileStamp, const std::string& recentFirst) {
    ReloadCheck c;
    if (dialogOpen || fileStamp < 0 || recentFirst.empty()) return c;
    int64_t a = FileAge(recentFirst);
    if (a >= 0 && a != fileStamp) {
        c.ask = true;
        c.fileName = recentFirst;
    }
    fileStamp = a;
    return c;
}
