#include "settings/TextUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <atomic>

#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"

bool TextDebug = false;

namespace {
std::atomic<bool> g_failNextWrite{false};
constexpr size_t kChunk = 1 << 16;

bool Fill(TextFile& f) {
    if (f.atEnd) return false;
    f.buffer.resize(kChunk);
    size_t n = std::fread(f.buffer.data(), 1, kChunk, f.file);
    f.buffer.resize(n);
    f.bufferPos = 0;
    if (n == 0) {
        if (std::ferror(f.file)) f.error = true;
        f.atEnd = true;
        return false;
    }
    return true;
}

// True when another byte can be read (it is then at buffer[bufferPos]); Ctrl-Z ends the file.
bool Peek(TextFile& f) {
    if (f.bufferPos >= f.buffer.size() && !Fill(f)) return false;
    if (f.buffer[f.bufferPos] == 26) {
        f.atEnd = true;
        f.buffer.clear();
        f.bufferPos = 0;
        return false;
    }
    return true;
}

void Close(TextFile& f) {
    if (f.file) std::fclose(f.file);
    f.file = nullptr;
}
}  // namespace

TextFile::~TextFile() {
    if (file) std::fclose(file);
}

void InitTextDebug() { TextDebug = ReadIniBool("TextUtil", "Debug", false); }

void FailNextTextWrite() { g_failNextWrite = true; }

void OpenTextForWrite(const std::string& name, TextFile& f, bool& ok) {
    Close(f);
    f = TextFile();
    f.name = name;
    f.forWrite = true;
    f.file = std::fopen(ResolvePath(name).c_str(), "wb");
    ok = f.file != nullptr;
}

void OpenTextForRead(const std::string& name, TextFile& f, bool& ok) {
    Close(f);
    f = TextFile();
    f.name = name;
    std::string native = ResolvePath(name);
    errno = 0;
    // Only a regular file, opened without waiting: a folder cannot be read and a FIFO
    // without a writer would hold the program.
    int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd >= 0) {
        struct stat st{};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            int err = S_ISDIR(st.st_mode) ? EISDIR : (errno ? errno : ENODEV);
            ::close(fd);
            errno = err;
        } else {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            f.file = ::fdopen(fd, "rb");
            if (!f.file) ::close(fd);
        }
    }
    ok = f.file != nullptr;
    f.atEnd = !ok;
    if (!ok && TextDebug)
        ShowMessageBox(std::string(kOpenCaption) + name, std::string(kIoResultText) + std::to_string(errno));
}

void WriteText(TextFile& f, const std::string& text, bool& ok) {
    if (!ok) return;
    if (!f.file || !f.forWrite || g_failNextWrite.exchange(false)) {
        ok = false;
        f.error = true;
        return;
    }
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), f.file) != text.size()) {
        ok = false;
        f.error = true;
    }
}

void WriteTextLine(TextFile& f, const std::string& text, bool& ok) {
    if (!ok) return;
    std::string line = text;
    line += "\r\n";
    WriteText(f, line, ok);
}

void ReadTextLine(TextFile& f, std::string& text, bool& ok) {
    if (!ok) return;
    text.clear();
    if (!f.file || f.forWrite || f.error) {
        ok = false;
        return;
    }
    if (!Peek(f)) {
        ok = false;  // reading past the end fails
        return;
    }
    for (;;) {
        if (!Peek(f)) break;
        const char* b = f.buffer.data() + f.bufferPos;
        const char* e = f.buffer.data() + f.buffer.size();
        const char* p = b;
        while (p < e && *p != '\n' && *p != 26) ++p;
        for (const char* q = b; q < p; ++q)
            if (*q != '\r') text.push_back(*q);
        f.bufferPos += static_cast<size_t>(p - b);
        if (p < e && *p == '\n') {
            ++f.bufferPos;
            break;
        }
    }
    if (f.error) ok = false;
}

bool MoreText(TextFile& f) {
    if (!f.file || f.forWrite || f.error) return false;
    return Peek(f);
}

int PeekTextByte(TextFile& f) {
    if (!f.file || f.forWrite || f.error || !Peek(f)) return -1;
    return static_cast<unsigned char>(f.buffer[f.bufferPos]);
}

void SkipTextByte(TextFile& f) {
    if (f.bufferPos < f.buffer.size()) ++f.bufferPos;
}

int CloseText(TextFile& f, bool& ok) {
    int err = 0;
    if (f.file) {
        if (f.forWrite && std::fflush(f.file) != 0) err = errno ? errno : EIO;
        if (std::fclose(f.file) != 0 && err == 0) err = errno ? errno : EIO;
        f.file = nullptr;
    } else {
        err = EBADF;
    }
    ok = err == 0;
    return err;
}
