#pragma once
// The FTP client on plain POSIX sockets. One control connection carries the session from
// Connect to Disconnect, so the directory change holds for the store that follows. The data
// connection of a store is our own in both modes: passive connects to the port the server
// names (always at the address of the control connection), active listens on the wildcard
// address at a port of the configured range and announces it with PORT, at "ExternalIP" when
// that is set (an address behind NAT need not be one of this computer's), else at the local
// address of the control connection.
#include <string>
#include <string_view>

#include "transfer/FtpClient.h"
#include "transfer/FtpReplies.h"

// The client's own failure texts (the server's reply is used wherever there is one).
inline constexpr const char* kFtpBadHost = "Ugyldig serveradresse: ";  // + host
inline constexpr const char* kFtpNotConnected = "Ikke tilkoblet";
inline constexpr const char* kFtpNoFileName = "Filnavn mangler";
inline constexpr const char* kFtpNoConnection = "Ingen forbindelse med FTP-tjeneren ";  // + host
inline constexpr const char* kFtpTimedOut = "Tjeneren svarte ikke innen ";  // + seconds + " s"
inline constexpr const char* kFtpClosed = "Tjeneren lukket forbindelsen";
inline constexpr const char* kFtpBadExternalIp = "Ugyldig ekstern adresse (ExternalIP): ";
inline constexpr const char* kFtpNoDataPort = "Ingen ledig lokal dataport i området ";  // + lo-hi
inline constexpr const char* kFtpBadPassiveReply = "Uforståelig svar på PASV: ";  // + reply
inline constexpr const char* kFtpNoDataConnection = "Tjeneren åpnet ingen dataforbindelse innen ";
inline constexpr const char* kFtpDataFailed = "Dataforbindelsen brøt: ";  // + reason

class PosixFtpClient : public FtpClient {
public:
    PosixFtpClient() = default;
    ~PosixFtpClient() override;
    PosixFtpClient(const PosixFtpClient&) = delete;
    PosixFtpClient& operator=(const PosixFtpClient&) = delete;

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

    // Time limits: to connect (and get the greeting), and for each reply of the server, the
    // server's data connection and each stall of the data. 15 s and 30 s unless told otherwise.
    void SetTimeLimits(int connectMs, int replyMs);

    // "host[:port]" split; port 21 when none. False on a port that is not 1..65535.
    static bool SplitHost(const std::string& host, std::string& name, int& port);
    // The local ports an active-mode data connection may listen on: both 0 is any port
    // (lo = hi = 0); one end 0 is the other alone; a high end below the low one is the low
    // one. False when the range lies outside 1..65535.
    static bool DataPortRange(int portMin, int portMax, int& lo, int& hi);
    // "PORT h1,h2,h3,h4,p1,p2" for a dotted IPv4 address; empty for anything else.
    static std::string PortCommand(const std::string& ipv4, int port);

private:
    // One reply of the server: its code and its lines joined by CR LF. False (with the
    // failure text set and the session closed) when none comes within the limit.
    bool ReadReply(int& code, std::string& text, int limitMs);
    bool SendCommand(const std::string& command);
    // Sends the command and reads its reply; false on a lost session.
    bool Command(const std::string& command, int& code, std::string& text);
    bool OpenPassive(int& dataFd);
    bool OpenActive(int& listenFd);
    bool AcceptData(int listenFd, int& dataFd);
    bool SendData(int dataFd, std::string_view bytes);
    void CloseSession();
    std::string TimedOutText(int limitMs) const;

    int fd_ = -1;  // the control connection
    FtpReplyReader replies_;  // received and not yet read
    std::string host_, user_, password_, externalIp_;
    bool passive_ = false;
    int portMin_ = 0, portMax_ = 0;
    int connectMs_ = 15000, replyMs_ = 30000;
    std::string failure_;
};
