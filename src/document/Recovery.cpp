#include "document/Recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {
constexpr std::string_view kMagic = "SKARV-RECOVERY 1\n";
constexpr std::string_view kCopyPrefix = "vakoedit-";
constexpr std::string_view kCopySuffix = ".recovery";
constexpr std::string_view kTempSuffix = ".tmp";

// The start time of a process (field 22 of /proc/<pid>/stat), 0 when it cannot be read.
unsigned long long StartTimeOf(long pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    std::FILE* f = std::fopen(path, "r");
    if (!f) return 0;
    char buffer[1024];
    size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = '\0';
    // The name in parentheses may hold blanks and parentheses: count after the last ")".
    std::string_view s(buffer, n);
    size_t close = s.rfind(')');
    if (close == std::string_view::npos) return 0;
    size_t pos = close + 1;
    for (int field = 3; field <= 22; ++field) {
        while (pos < s.size() && s[pos] == ' ') ++pos;
        size_t end = s.find(' ', pos);
        if (end == std::string_view::npos) end = s.size();
        if (field == 22) return std::strtoull(std::string(s.substr(pos, end - pos)).c_str(), nullptr, 10);
        pos = end;
    }
    return 0;
}

void AppendField(std::string& out, char tag, std::string_view value) {
    out += tag;
    out += std::to_string(value.size());
    out += ':';
    out.append(value);
    out += '\n';
}

bool ReadField(std::string_view& in, char tag, std::string& value) {
    if (in.empty() || in[0] != tag) return false;
    size_t colon = in.find(':');
    if (colon == std::string_view::npos || colon < 2 || colon > 21) return false;
    unsigned long long length = 0;
    for (size_t i = 1; i < colon; ++i) {
        if (in[i] < '0' || in[i] > '9') return false;
        length = length * 10 + static_cast<unsigned>(in[i] - '0');
    }
    if (length > in.size() - colon - 1 || in.size() - colon - 1 - length < 1) return false;
    value.assign(in.substr(colon + 1, length));
    if (in[colon + 1 + length] != '\n') return false;
    in.remove_prefix(colon + 2 + length);
    return true;
}

bool ToNumber(const std::string& s, long long& value) {
    if (s.empty() || s.size() > 19) return false;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    value = s[0] == '-' ? -v : v;
    return true;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool MakeFolder(const std::string& folder) {
    // Each level from the top; the last one private to the user.
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '/') continue;
        std::string part = folder.substr(0, i);
        if (::mkdir(part.c_str(), i == folder.size() ? 0700 : 0755) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool ParseCopyName(std::string_view name, std::string_view suffix, ProcessIdentity& writer) {
    if (name.size() <= kCopyPrefix.size() + suffix.size() || name.substr(0, kCopyPrefix.size()) != kCopyPrefix ||
        name.substr(name.size() - suffix.size()) != suffix)
        return false;
    std::string middle(name.substr(kCopyPrefix.size(), name.size() - kCopyPrefix.size() - suffix.size()));
    size_t dash = middle.find('-');
    long long pid = 0, start = 0;
    if (dash == std::string::npos || !ToNumber(middle.substr(0, dash), pid) ||
        !ToNumber(middle.substr(dash + 1), start) || pid <= 0 || start < 0)
        return false;
    writer.pid = static_cast<long>(pid);
    writer.start = static_cast<unsigned long long>(start);
    return true;
}
}  // namespace

std::string RecoveryQuestionText(const std::string& when, const std::string& name) {
    return "Ulagret arbeid fra " + when + " ble funnet for " + name + ". Gjenopprette ?";
}

std::string RecoveryTimeText(int64_t unixTime) {
    std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d", local.tm_mday, local.tm_mon + 1,
                  local.tm_year + 1900, local.tm_hour, local.tm_min);
    return text;
}

ProcessIdentity ThisProcess() {
    ProcessIdentity p;
    p.pid = static_cast<long>(::getpid());
    p.start = StartTimeOf(p.pid);
    return p;
}

bool ProcessRuns(const ProcessIdentity& process) {
    if (process.pid <= 0) return false;
    if (::kill(static_cast<pid_t>(process.pid), 0) != 0 && errno == ESRCH) return false;
    // The id may belong to another process by now: the start time tells.
    unsigned long long start = StartTimeOf(process.pid);
    if (start == 0) return ::kill(static_cast<pid_t>(process.pid), 0) == 0 || errno == EPERM;
    return start == process.start;
}

std::string RecoveryFolder() {
    std::string state;
    if (const char* x = std::getenv("XDG_STATE_HOME"); x && x[0] == '/') {
        state = x;
    } else {
        const char* home = std::getenv("HOME");
        state = std::string(home && home[0] ? home : "/tmp") + "/.local/state";
    }
    return state + "/skarv-editor/recovery";
}

std::string EncodeRecoveryCopy(const RecoveryCopy& copy) {
    std::string out;
    out.reserve(copy.text.size() + copy.folder.size() + copy.fileName.size() + 200);
    out.append(kMagic);
    AppendField(out, 'P', std::to_string(copy.writer.pid));
    AppendField(out, 'S', std::to_string(copy.writer.start));
    AppendField(out, 'T', std::to_string(copy.savedAt));
    AppendField(out, 'M', std::to_string(copy.machine));
    AppendField(out, 'D', copy.folder);
    AppendField(out, 'F', copy.fileName);
    AppendField(out, 'N', copy.shownName);
    AppendField(out, 'X', copy.text);
    return out;
}

bool DecodeRecoveryCopy(std::string_view in, RecoveryCopy& copy) {
    if (in.substr(0, kMagic.size()) != kMagic) return false;
    in.remove_prefix(kMagic.size());
    RecoveryCopy c;
    std::string pid, start, saved, machine;
    long long v = 0;
    if (!ReadField(in, 'P', pid) || !ReadField(in, 'S', start) || !ReadField(in, 'T', saved) ||
        !ReadField(in, 'M', machine) || !ReadField(in, 'D', c.folder) ||
        !ReadField(in, 'F', c.fileName) || !ReadField(in, 'N', c.shownName) ||
        !ReadField(in, 'X', c.text) || !in.empty())
        return false;
    if (!ToNumber(pid, v) || v <= 0) return false;
    c.writer.pid = static_cast<long>(v);
    if (!ToNumber(start, v) || v < 0) return false;
    c.writer.start = static_cast<unsigned long long>(v);
    if (!ToNumber(saved, v)) return false;
    c.savedAt = v;
    if (!ToNumber(machine, v) || v < 0 || v > 1 << 20) return false;
    c.machine = static_cast<int>(v);
    c.path = copy.path;
    copy = std::move(c);
    return true;
}

std::string RecoveryCopyPath(const std::string& folder, const ProcessIdentity& writer) {
    return folder + "/" + std::string(kCopyPrefix) + std::to_string(writer.pid) + "-" +
           std::to_string(writer.start) + std::string(kCopySuffix);
}

bool WriteRecoveryCopy(const std::string& folder, const RecoveryCopy& copy) {
    if (!MakeFolder(folder)) return false;
    const std::string path = RecoveryCopyPath(folder, copy.writer);
    const std::string temp = path + std::string(kTempSuffix);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, EncodeRecoveryCopy(copy)) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

bool RemoveRecoveryCopy(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return false;
    std::string folder = path.substr(0, path.find_last_of('/'));
    SyncFolder(folder);
    return true;
}

std::vector<RecoveryCopy> LeftOverRecoveryCopies(const std::string& folder) {
    std::vector<RecoveryCopy> copies;
    DIR* d = ::opendir(folder.c_str());
    if (!d) return copies;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
    ::closedir(d);
    for (const std::string& name : names) {
        ProcessIdentity writer;
        const std::string path = folder + "/" + name;
        if (ParseCopyName(name, std::string(kCopySuffix) + std::string(kTempSuffix), writer)) {
            if (!ProcessRuns(writer)) ::unlink(path.c_str());  // a write that never ended
            continue;
        }
        if (!ParseCopyName(name, kCopySuffix, writer) || ProcessRuns(writer)) continue;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0) continue;
        struct stat st;
        std::string bytes;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            bytes.resize(static_cast<size_t>(st.st_size));
            size_t got = 0;
            while (got < bytes.size()) {
                ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                got += static_cast<size_t>(n);
            }
            bytes.resize(got);
        }
        ::close(fd);
        RecoveryCopy copy;
        copy.path = path;
        if (DecodeRecoveryCopy(bytes, copy) && copy.writer == writer) copies.push_back(std::move(copy));
    }
    std::sort(copies.begin(), copies.end(), [](const RecoveryCopy& a, const RecoveryCopy& b) {
        return a.savedAt != b.savedAt ? a.savedAt < b.savedAt : a.path < b.path;
    });
    return copies;
}

// ---------------------------------------------------------------- the writer
RecoveryWriter::RecoveryWriter(std::string folder, ProcessIdentity self)
    : folder_(std::move(folder)), self_(self), path_(RecoveryCopyPath(folder_, self_)) {
    thread_ = std::thread([this] { Run(); });
}

RecoveryWriter::~RecoveryWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void RecoveryWriter::Write(RecoveryCopy copy) {
    copy.writer = self_;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = std::move(copy);
    }
    wake_.notify_all();
}

void RecoveryWriter::Remove() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.reset();
        removePending_ = true;
    }
    wake_.notify_all();
}

bool RecoveryWriter::WriteNow(RecoveryCopy copy) {
    copy.writer = self_;
    std::unique_lock<std::mutex> lock(mutex_);
    // What waits is older than this copy: a removal still goes first, a write is dropped.
    pending_.reset();
    idle_.wait(lock, [this] { return !busy_; });
    bool remove = removePending_;
    removePending_ = false;
    busy_ = true;
    lock.unlock();
    std::optional<RecoveryCopy> c(std::move(copy));
    bool ok = Do(c, remove);
    lock.lock();
    busy_ = false;
    idle_.notify_all();
    return ok;
}

void RecoveryWriter::Flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !busy_ && !pending_ && !removePending_; });
}

bool RecoveryWriter::LastWriteOk() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastOk_;
}

bool RecoveryWriter::Do(std::optional<RecoveryCopy>& copy, bool remove) {
    bool ok = true;
    if (remove) RemoveRecoveryCopy(path_);
    if (copy) {
        ok = WriteRecoveryCopy(folder_, *copy);
        std::lock_guard<std::mutex> lock(mutex_);
        lastOk_ = ok;
    }
    return ok;
}

void RecoveryWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || pending_ || removePending_; });
        if (!pending_ && !removePending_) break;  // stopped with nothing to do
        std::optional<RecoveryCopy> copy = std::move(pending_);
        pending_.reset();
        bool remove = removePending_;
        removePending_ = false;
        busy_ = true;
        lock.unlock();
        Do(copy, remove);
        copy.reset();  // the snapshot's memory goes at once
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
    idle_.notify_all();
}
