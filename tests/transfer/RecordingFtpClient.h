#pragma once
// An FTP client for tests that records the settings and operations it is given and fails the
// operation named in failAt.
#include <string>
#include <string_view>
#include <vector>

#include "transfer/FtpClient.h"

struct RecordingFtp : FtpClient {
    std::vector<std::string> calls;
    std::string host;
    bool passive = false;
    int portMin = 0, portMax = 0;
    std::string failAt;  // the operation that fails
    void SetHost(const std::string& h) override { host = h; calls.push_back("host " + h); }
    std::string Host() const override { return host; }
    void SetUserName(const std::string& u) override { calls.push_back("user " + u); }
    void SetPassword(const std::string& p) override { calls.push_back("password " + p); }
    void SetPassive(bool p) override { passive = p; }
    bool Passive() const override { return passive; }
    int DataPortMin() const override { return portMin; }
    int DataPortMax() const override { return portMax; }
    void SetDataPortMin(int p) override { portMin = p; calls.push_back("min " + std::to_string(p)); }
    void SetDataPortMax(int p) override { portMax = p; calls.push_back("max " + std::to_string(p)); }
    void SetExternalIP(const std::string& a) override { calls.push_back("external " + a); }
    bool Op(const std::string& what) {
        calls.push_back(what);
        return what != failAt;
    }
    bool Connect() override { return Op("connect"); }
    bool ChangeDir(const std::string& d) override { return Op("cwd " + d); }
    bool Put(std::string_view b, const std::string& n) override { return Op("put " + n + " " + std::string(b)); }
    bool Disconnect() override { return Op("disconnect"); }
    std::string FailureText() const override { return "svar fra tjeneren"; }
};
