#include "TestSupport.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "settings/PathResolve.h"
#include "settings/Settings.h"

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "skarvtest-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give back write permission removed by a test before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Dnc(const std::string& name) const { return NativeToDncPath(File(name)); }

ScopedDriveFolder::ScopedDriveFolder() : previous_(DriveFolder()) { SetDriveFolder(dir_.path()); }
ScopedDriveFolder::~ScopedDriveFolder() { SetDriveFolder(previous_); }

void WriteFileBytes(const std::string& nativePath, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(nativePath).parent_path());
    std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const std::string& nativePath) {
    std::ifstream in(nativePath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int ListenOnLoopback(int backlog, int& port, int receiveBuffer) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    if (backlog >= 0) ::listen(fd, backlog);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

int RefusingLoopbackPort() {
    int port = 0;
    ::close(ListenOnLoopback(-1, port));
    return port;
}

std::string EncodeTape(TTapeCode code, const std::string& text) {
    std::string out;
    for (unsigned char c : text) out.push_back(static_cast<char>(EncodeByte(code, c)));
    return out;
}

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageSink([this](const std::string& c, const std::string& t) {
        messages.emplace_back(c, t);
    });
}

MessageRecorder::~MessageRecorder() { SetMessageSink(previous_); }

ScopedIni::ScopedIni(const std::string& bytes) {
    native_ = dir_.File("Vako.ini");
    WriteFileBytes(native_, bytes);
    dnc_ = NativeToDncPath(native_);
    previous_ = IniFileName();
    SetIniFileName(dnc_);
}

ScopedIni::~ScopedIni() { SetIniFileName(previous_); }

void ScopedIni::Rewrite(const std::string& bytes) {
    // Write a new file and rename it into place: a new inode, as an editor's save gives.
    std::string tmp = native_ + ".new";
    WriteFileBytes(tmp, bytes);
    std::filesystem::rename(tmp, native_);
}

int RunProgram(const std::vector<std::string>& argv, std::string* out, std::string* err,
               const std::string& input) {
    TempDir io;
    std::string inPath = io.File("in"), outPath = io.File("out"), errPath = io.File("err");
    WriteFileBytes(inPath, input);
    pid_t pid = ::fork();
    if (pid == 0) {
        int in = ::open(inPath.c_str(), O_RDONLY);
        int o = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(in, 0);
        ::dup2(o, 1);
        ::dup2(e, 2);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (out) *out = ReadFileBytes(outPath);
    if (err) *err = ReadFileBytes(errPath);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string SharedDir() { return SKARV_SHARED_DIR; }
std::string BinDir() { return SKARV_BIN_DIR; }

std::vector<std::string> UnderXvfb(const std::string& screen, const std::vector<std::string>& env,
                                   const std::vector<std::string>& command) {
    std::vector<std::string> argv{"/usr/bin/env"};
    argv.insert(argv.end(), env.begin(), env.end());
    argv.insert(argv.end(), {"/usr/bin/xvfb-run", "-a", "-n", std::to_string(100 + ::getpid() % 800),
                             "-s", "-screen 0 " + screen + " -noreset"});
    argv.insert(argv.end(), command.begin(), command.end());
    return argv;
}
