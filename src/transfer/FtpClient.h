#pragma once
// The FTP client behind the FTP upload: the settings it is given once, and the operations of
// one upload. Every operation returns false on failure and leaves the reason in
// FailureText(): the server's reply where there is one, otherwise the client's own text.
#include <string>
#include <string_view>

class FtpClient {
public:
    virtual ~FtpClient() = default;

    // "host" or "host:port"; the port is 21 when none is given.
    virtual void SetHost(const std::string& host) = 0;
    virtual std::string Host() const = 0;
    virtual void SetUserName(const std::string& user) = 0;
    virtual void SetPassword(const std::string& password) = 0;
    virtual void SetPassive(bool passive) = 0;
    virtual bool Passive() const = 0;
    // Local ports for active-mode data connections; 0 leaves the choice to the system.
    virtual int DataPortMin() const = 0;
    virtual int DataPortMax() const = 0;
    virtual void SetDataPortMin(int port) = 0;
    virtual void SetDataPortMax(int port) = 0;
    // The address announced to the server for active-mode data connections.
    virtual void SetExternalIP(const std::string& address) = 0;

    // Connects and logs in with the user name and the password.
    virtual bool Connect() = 0;
    // Changes the working directory; the server's reply must be 200 or 250.
    virtual bool ChangeDir(const std::string& dir) = 0;
    // Stores the bytes under the name in the working directory (STOR, never append).
    virtual bool Put(std::string_view bytes, const std::string& name) = 0;
    // Closes the session; does nothing when there is none.
    virtual bool Disconnect() = 0;
    virtual std::string FailureText() const = 0;
};
