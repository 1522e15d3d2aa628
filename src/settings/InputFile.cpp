#include "settings/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "settings/PathResolve.h"

namespace {
constexpr size_t kPiece = size_t{1} << 17;

std::mutex g_hookMutex;
std::function<void(const std::string&)> g_hook;

std::function<void(const std::string&)> ReadHook() {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    return g_hook;
}

// read() that goes on after a signal.
ssize_t ReadSome(int fd, char* buffer, size_t size) {
    for (;;) {
        ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}
}  // namespace

InputFault FaultOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return InputFault::Missing;
        case EACCES:
        case EPERM:
            return InputFault::NoAccess;
        case EISDIR:
            return InputFault::Folder;
        case ENXIO:
        case ENODEV:
        case EWOULDBLOCK:
            return InputFault::NotAFile;
        case EFBIG:
        case EOVERFLOW:
            return InputFault::TooLarge;
        default:
            return InputFault::ReadError;
    }
}

InputFile::~InputFile() { Close(); }

void InputFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool InputFile::Open(const std::string& name, size_t limit) {
    Close();
    fault_ = InputFault::None;
    error_ = 0;
    size_ = 0;
    limit_ = limit;
    native_ = ResolvePath(name);
    // Without waiting: a FIFO nobody writes to would hold the program in open().
    int fd = ::open(native_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error_ = errno;
        fault_ = FaultOfErrno(error_);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error_ = errno;
        fault_ = InputFault::ReadError;
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        fault_ = S_ISDIR(st.st_mode) ? InputFault::Folder : InputFault::NotAFile;
        error_ = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        ::close(fd);
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > limit) {
        fault_ = InputFault::TooLarge;
        error_ = EFBIG;
        ::close(fd);
        return false;
    }
    // A regular file never blocks; the flag only served the open.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    size_ = static_cast<size_t>(st.st_size);
    return true;
}

bool InputFile::ReadAll(const std::function<void(const char*, size_t)>& piece) {
    if (fd_ < 0) {
        if (fault_ == InputFault::None) fault_ = InputFault::ReadError;
        return false;
    }
    std::string buffer(kPiece, '\0');
    size_t total = 0;
    bool first = true;
    for (;;) {
        ssize_t got = ReadSome(fd_, buffer.data(), buffer.size());
        if (got < 0) {
            error_ = errno;
            fault_ = InputFault::ReadError;
            return false;
        }
        if (got == 0) break;
        total += static_cast<size_t>(got);
        if (total > limit_) {  // grew past the limit while it was read
            fault_ = InputFault::TooLarge;
            error_ = EFBIG;
            return false;
        }
        piece(buffer.data(), static_cast<size_t>(got));
        if (first) {
            first = false;
            if (auto hook = ReadHook()) hook(native_);
        }
    }
    // A file removed while it was read, or cut short, is not the file that was asked for.
    // One that grew is read as far as it went.
    struct stat st;
    if (::fstat(fd_, &st) != 0 || st.st_nlink == 0 || total < size_) {
        fault_ = InputFault::Changed;
        error_ = ESTALE;
        return false;
    }
    return true;
}

bool ReadInputFile(const std::string& name, std::string& bytes, InputFault& fault, size_t limit) {
    bytes.clear();
    InputFile file;
    if (!file.Open(name, limit)) {
        fault = file.Fault();
        return false;
    }
    bytes.reserve(file.Size());
    bool ok = file.ReadAll([&](const char* d, size_t n) { bytes.append(d, n); });
    fault = file.Fault();
    if (!ok) std::string().swap(bytes);
    return ok;
}

bool ReadInputStream(int fd, std::string& bytes, InputFault& fault, size_t limit) {
    bytes.clear();
    fault = InputFault::None;
    std::string buffer(kPiece, '\0');
    for (;;) {
        ssize_t got = ReadSome(fd, buffer.data(), buffer.size());
        if (got < 0) {
            fault = InputFault::ReadError;
            std::string().swap(bytes);
            return false;
        }
        if (got == 0) return true;
        if (bytes.size() + static_cast<size_t>(got) > limit) {
            fault = InputFault::TooLarge;
            std::string().swap(bytes);
            return false;
        }
        bytes.append(buffer.data(), static_cast<size_t>(got));
    }
}

std::string InputFaultReason(InputFault fault) {
    switch (fault) {
        case InputFault::None:
        case InputFault::Missing:
            return std::string();
        case InputFault::NoAccess:
            return "Ingen tilgang til filen.";
        case InputFault::Folder:
            return "Navnet er en mappe, ikke en fil.";
        case InputFault::NotAFile:
            return "Navnet er ikke en vanlig fil.";
        case InputFault::TooLarge:
            return "Filen er for stor.";
        case InputFault::ReadError:
            return "Filen kunne ikke leses.";
        case InputFault::Changed:
            return "Filen ble slettet eller avkortet mens den ble lest.";
    }
    return std::string();
}

std::string LoadFailureText(const std::string& name, InputFault fault) {
    std::string text = kLoadFailText + name;
    std::string reason = InputFaultReason(fault);
    if (!reason.empty()) text += "\r" + reason;
    return text;
}

void SetInputReadHook(std::function<void(const std::string&)> hook) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_hook = std::move(hook);
}
