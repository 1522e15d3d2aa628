#pragma once
// The FTP client on libcurl. One easy handle carries the session from Connect to Disconnect:
// each operation is one transfer on the same control connection, so the directory change
// holds for the store that follows. Curl never changes directory on its own here (no-CWD
// file method, names relative to the working directory).
#include <string>
#include <vector>

#include "transfer/FtpClient.h"

class CurlFtpClient : public FtpClient {
public:
    CurlFtpClient();
    ~CurlFtpClient() override;
    CurlFtpClient(const CurlFtpClient&) = delete;
    CurlFtpClient& operator=(const CurlFtpClient&) = delete;

    void SetHost(const std::string& host) override { host_ = host; }
    std::string Host() const override { return host_; }
    void SetUserName(const std::string& user) override { user_ = user; }
    void SetPassword(const std::string& password) override { password_ = password; }
    void SetPassive(bool passive) override { passive_ = passive; }
    bool Passive() const override { return passive_; }
    int DataPortMin() const override { return portMin_; }
    int DataPortMax() const override { return portMax_; }
    void SetDataPortMin(int port) override { portMin_ = port; }
    void SetDataPortMax(int port) override { portMax_ = port; }
    void SetExternalIP(const std::string& address) override { externalIp_ = address; }

    bool Connect() override;
    bool ChangeDir(const std::string& dir) override;
    bool Put(std::string_view bytes, const std::string& name) override;
    bool Disconnect() override;
    std::string FailureText() const override { return failure_; }

    // Time limits: to connect (and get the greeting), and for each reply of the server or
    // each stall of a data connection. 15 s and 30 s unless told otherwise.
    void SetTimeLimits(int connectMs, int replyMs);

    // "host[:port]" split; port 21 when none. False on a port that is not 1..65535.
    static bool SplitHost(const std::string& host, std::string& name, int& port);
    // The active-mode address and port range as curl takes it: "ip:lo-hi", or ":lo-hi"
    // for the address of the control connection; "-" or "ip" without a range (both ends 0).
    static std::string ActivePortOption(const std::string& externalIp, int portMin, int portMax);

    // Used by curl's callbacks.
    void OnReplyLine(const std::string& line);

private:
    bool Perform(const std::string& url, bool upload, std::string_view bytes,
                 const std::vector<std::string>& quote);
    std::string BaseUrl() const;

    void* curl_ = nullptr;  // CURL*, alive from Connect to Disconnect
    std::string host_, user_, password_, externalIp_;
    bool passive_ = false;
    int portMin_ = 0, portMax_ = 0;
    int connectMs_ = 15000, replyMs_ = 30000;
    std::string failure_;
    // The replies of the server in the running operation.
    std::vector<std::string> pending_;
    std::string lastReply_;
    int lastCode_ = 0;
};
