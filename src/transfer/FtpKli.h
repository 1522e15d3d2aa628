#pragma once
// The FTP upload: the client configured from section "FTPClient" and one upload as a fixed
// sequence of steps, each failure reported in one box named after its step.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/FtpClient.h"

inline constexpr const char* kFtpSection = "FTPClient";
inline constexpr const char* kFtpCaptionPrefix = "FTP-klient: ";  // + step name
inline constexpr const char* kFtpDefaultUser = "Maskin3";
inline constexpr const char* kFtpDefaultPassword = "SKARV";
inline constexpr const char* kFtpMachineServerKey = "FTPServer";

// The steps of an upload, as the error box names them.
inline constexpr const char* kStepDisconnect = "Disconnect";
inline constexpr const char* kStepConnect = "Connect";
inline constexpr const char* kStepChangeDir = "ChangeDir(\\)";
inline constexpr const char* kStepPutPrefix = "Put(Stream,";  // + file-name part + ")"
inline constexpr const char* kStepLastDisconnect = "Disconnect - siste";

class TFtpKlientModul {
public:
    using PauseFn = std::function<void(int ms)>;

    explicit TFtpKlientModul(FtpClient& client);

    // Reads the settings into the client; true when a server is configured. Without one
    // nothing is changed.
    bool Configure();
    // Uploads the bytes under the file-name part of the name. A failed step skips the rest
    // and shows "FTP-klient: " + step with the client's failure text; false then.
    bool Upload(std::string_view bytes, const std::string& fileName);

    FtpClient& Client() { return client_; }
    // The pauses between the steps (300, 300, 300 and 100 ms); the window may repaint in them.
    void SetPause(PauseFn pause) { pause_ = std::move(pause); }

private:
    FtpClient& client_;
    PauseFn pause_;
};

// The editor's text as it would be saved: every line followed by CR LF.
std::string EditorTextBytes(const std::vector<std::string>& lines);

// The body of the FTP command: the machine's own "FTPServer" (section of the 0-based machine
// box selection, -1 for none) replaces the host when set and stays for later uploads; then
// the lines go up under the document's file name. False when an error box was shown.
bool FtpUploadText(TFtpKlientModul& ftp, int machineIndex, const std::vector<std::string>& lines,
                   const std::string& fileName);
