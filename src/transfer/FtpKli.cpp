#include "transfer/FtpKli.h"

#include <chrono>
#include <exception>
#include <thread>

#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

TFtpKlientModul::TFtpKlientModul(FtpClient& client)
    : client_(client), pause_([](int ms) {
          std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      }) {}

bool TFtpKlientModul::Configure() {
    std::string server = ReadIniString(kFtpSection, "Server", "");
    if (server.empty()) return false;
    client_.SetHost(server);
    client_.SetUserName(ReadIniString(kFtpSection, "UserName", kFtpDefaultUser));
    client_.SetPassword(ReadIniString(kFtpSection, "Password", kFtpDefaultPassword));
    bool passiv = ReadIniBool(kFtpSection, "Passiv", false);
    client_.SetPassive(ReadIniBool(kFtpSection, "Passive", passiv));

    // The port range is only touched when the setting says something else than the client.
    std::string current = IntToText(client_.DataPortMax());
    std::string text = ReadIniString(kFtpSection, "DataPortMax", current);
    int32_t v;
    if (text != current && ParseInt32(text, v)) client_.SetDataPortMax(v);
    current = IntToText(client_.DataPortMin());
    text = ReadIniString(kFtpSection, "DataPortMin", current);
    if (text != current && ParseInt32(text, v)) client_.SetDataPortMin(v);

    std::string external = ReadIniString(kFtpSection, "ExternalIP", "");
    if (!external.empty()) client_.SetExternalIP(external);
    return true;
}

bool TFtpKlientModul::Upload(std::string_view bytes, const std::string& fileName) {
    std::string step = kStepDisconnect;
    std::string failure;
    bool ok = false;
    try {
        ok = client_.Disconnect();
        if (ok) {
            step = kStepConnect;
            ok = client_.Connect();
        }
        if (ok) {
            pause_(300);
            step = kStepChangeDir;
            ok = client_.ChangeDir("\\");
        }
        if (ok) {
            pause_(300);
            std::string name = FileNamePart(fileName);
            step = std::string(kStepPutPrefix) + name + ")";
            ok = client_.Put(bytes, name);
        }
        if (ok) {
            pause_(300);
            step = kStepLastDisconnect;
            ok = client_.Disconnect();
        }
        if (ok) pause_(100);
        if (!ok) failure = client_.FailureText();
    } catch (const std::exception& e) {
        ok = false;
        failure = e.what();
    } catch (...) {
        ok = false;
        failure = "Ukjent feil";
    }
    if (ok) return true;
    // Nothing stays open after a failed step.
    try {
        client_.Disconnect();
    } catch (...) {
    }
    ShowMessageBox(kFtpCaptionPrefix + step, failure);
    return false;
}

std::string EditorTextBytes(const std::vector<std::string>& lines) {
    size_t n = 0;
    for (const auto& l : lines) n += l.size() + 2;
    std::string out;
    out.reserve(n);
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

bool FtpUploadText(TFtpKlientModul& ftp, int machineIndex, const std::vector<std::string>& lines,
                   const std::string& fileName) {
    std::string server = ReadIniString(MachineSection(machineIndex), kFtpMachineServerKey, "");
    if (!server.empty()) ftp.Client().SetHost(server);
    return ftp.Upload(EditorTextBytes(lines), fileName);
}
