#pragma once
// Shared helpers of the tests: temporary folders, files written byte for byte, a recorder
// of the messages the core shows.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "convert/IsoEia.h"
#include "settings/MessageSink.h"

// A fresh folder under the system's temporary folder, removed at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }  // native, ends without "/"
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // DNC form of a file in the folder ("C:\tmp\...\name").
    std::string Dnc(const std::string& name) const;

private:
    std::string path_;
};

// Maps the drive prefix ("C:") under a temporary folder for the test's lifetime: the system's
// fixed folders (the DNC server's "C:\Vako\Temp\") are made and read there, never at the
// file system's root. Paths outside it keep no drive ("\tmp\...").
class ScopedDriveFolder {
public:
    ScopedDriveFolder();
    ~ScopedDriveFolder();
    std::string File(const std::string& name) const { return dir_.File(name); }

private:
    TempDir dir_;
    std::string previous_;
};

void WriteFileBytes(const std::string& nativePath, const std::string& bytes);
std::string ReadFileBytes(const std::string& nativePath);

// Records every ShowMessageBox while alive.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    std::vector<std::pair<std::string, std::string>> messages;  // caption, text
    void Clear() { messages.clear(); }

private:
    MessageSinkFn previous_;
};

// Points the settings at an ini file with the given bytes in a temporary folder.
class ScopedIni {
public:
    explicit ScopedIni(const std::string& bytes);
    ~ScopedIni();
    void Rewrite(const std::string& bytes);  // a new version, seen by the next read
    const std::string& dncPath() const { return dnc_; }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    std::string native_;
    std::string dnc_;
    std::string previous_;
};

// Runs a program, returns its exit status; stdout and stderr are captured.
// The command with the environment under xvfb-run, on a display server of its own: the search
// for a free display number starts at a number of this process's own, so tests started side by
// side do not pick the same one, and the server does not reset when its last client goes.
std::vector<std::string> UnderXvfb(const std::string& screen, const std::vector<std::string>& env,
                                   const std::vector<std::string>& command);

int RunProgram(const std::vector<std::string>& argv, std::string* out, std::string* err,
               const std::string& input = std::string());

// A listening TCP socket on 127.0.0.1 at a free port (port set); with receiveBuffer the
// connections it accepts get that receive buffer.
int ListenOnLoopback(int backlog, int& port, int receiveBuffer = 0);
// A port on 127.0.0.1 on which nothing listens: a connection to it is refused.
int RefusingLoopbackPort();

// The bytes a port sends for the text in a tape code.
std::string EncodeTape(TTapeCode code, const std::string& text);

std::string SharedDir();   // ../shared beside the sources
std::string BinDir();      // the program directory of the build
