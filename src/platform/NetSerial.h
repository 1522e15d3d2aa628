#pragma once
// A serial port on a device server on the network: "tcp://HOST:PORT" is the server's raw byte
// stream; "rfc2217://HOST:PORT" also sets the server's line (speed, data bits, parity, stop
// bits, flow control, DTR and RTS) through Telnet COM-PORT-OPTION and reads the modem lines
// the server reports.
//
// XON and XOFF from the machine are watched for in the incoming bytes, as a terminal line
// does: XOFF holds the output until XON. Over RFC 2217 with the usual characters (DC1, DC3)
// the server takes over the stop once the machine has sent its first XON, so that the stop
// acts at the line itself; until then, and for other characters (DC3 with the ISO parity
// bit), the port keeps it. RTS/CTS is the server's; DSR flow control, which few servers
// take, is kept here from the modem lines the server reports.
//
// Output collects in the port's own queue (the size given to SetupQueues, times four) and
// goes to the socket in pieces, at the latest a millisecond after the last piece, or when a
// write has to wait or the output is drained. The socket's own buffer is kept small, so
// that an XOFF stops the output soon. Telnet commands have a queue of their own: flow
// control holds back the data, never the commands (a change of the line's settings first
// lets the queued data go, as on a terminal line). A connection that the server closes or
// loses ends every later call with Failure() saying so; nothing is retried.
#include <chrono>
#include <memory>
#include <string>

#include "transfer/PortRoute.h"
#include "transfer/SerialDevice.h"

class TelnetComPort;

// The port's failure texts.
inline constexpr const char* kNetBadAddress = "Ugyldig adresse til portserver: ";  // + name
inline constexpr const char* kNetNoContact = "Ingen kontakt med portserveren ";    // + host:port + ": " + reason
inline constexpr const char* kNetWithin = " innen ";                              // + seconds + " s"
inline constexpr const char* kNetNoComPort = "Portserveren kan ikke sette linjen (RFC 2217)";
inline constexpr const char* kNetClosed = "Portserveren lukket forbindelsen";
inline constexpr const char* kNetBroken = "Forbindelsen med portserveren brøt: ";  // + reason

// Time limits of the network steps: connecting (and agreeing on COM-PORT-OPTION), and the
// server's answers when the line is set.
inline constexpr int kNetStepMs = 10000;
// Queued output that does not move for this long is held by the line: closing the port (or
// setting its line) drops it.
inline constexpr int kNetStallMs = 500;

class NetSerial : public SerialDevice {
public:
    NetSerial();
    ~NetSerial() override;
    NetSerial(const NetSerial&) = delete;
    NetSerial& operator=(const NetSerial&) = delete;

    bool Open(const std::string& name) override;
    bool SetupQueues(uint32_t inQueue, uint32_t outQueue) override;
    bool GetState(SerialDcb& dcb) override;
    bool SetState(const SerialDcb& dcb) override;
    bool Escape(EscapeFunction function) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;
    bool Write(const uint8_t* data, uint32_t n, uint32_t& written, int32_t maxWaitMs = -1) override;
    bool Drain(int32_t timeoutMs) override;
    bool ReadByte(uint8_t& byte, bool& got) override;
    void Close() override;
    std::string Failure() const override { return failure_; }

    // The limit of each network step, kNetStepMs unless told otherwise.
    void SetStepLimit(int ms) { stepMs_ = ms; }
    // The modem lines the server last reported (RFC 2217); false when it reported none.
    bool ModemLines(bool& cts, bool& dsr) const;

private:
    using Clock = std::chrono::steady_clock;
    // Reads what has arrived and sends the queue when the line lets it: always with force,
    // otherwise when the queue is half full or the last piece went a millisecond ago. With
    // oneRead a single read is made (the reader wants the bytes); otherwise everything that
    // has arrived is read, and data beyond the input limit is dropped.
    void Service(bool force, bool oneRead = false);
    void Take(const uint8_t* data, size_t n);  // data from the machine: XON/XOFF, input
    void SendQueued();
    // Sends from the queue, at most limit bytes; false when the socket takes no more.
    bool SendFrom(std::string& queue, size_t limit);
    // Lets the queued data go while it moves (with throughKernel, until the server has taken
    // it); false when the line holds it.
    bool FlushWhileMoving(bool throughKernel);
    bool Held() const;
    // Waits for input, or for room to send when there is something to send, until the
    // deadline (at most sliceMs).
    void WaitForLine(Clock::time_point deadline, int sliceMs);
    void Fail(const std::string& text);
    uint8_t FlowRequest() const;  // the outbound flow control to ask the server for
    void UpdateServerFlow();      // sends SET-CONTROL when FlowRequest changed
    size_t Pending() const;       // bytes queued here and not yet taken by the server
    std::string HostPort() const;

    int fd_ = -1;
    int stepMs_ = kNetStepMs;
    NetworkPortAddress address_;
    std::unique_ptr<TelnetComPort> telnet_;  // RFC 2217 only
    SerialDcb dcb_;
    CommTimeouts timeouts_;
    std::string out_;            // the data queue, as it goes on the wire
    std::string commands_;       // Telnet commands, sent before held data
    bool pairOpen_ = false;      // the last byte of data sent was the first of a doubled IAC
    size_t capacity_ = 4096;
    std::string in_;             // data from the machine not yet read
    size_t inPos_ = 0;
    Clock::time_point lastSend_;
    bool held_ = false;          // XOFF (or the port's own start state) holds the output
    bool watchXonXoff_ = false;
    bool xonSeen_ = false;       // the machine (or SETXON) has let the output go once
    uint8_t xonChar_ = 0x11;
    uint8_t xoffChar_ = 0x13;
    bool lineSet_ = false;       // the server's line has been set once
    SerialDcb sentDcb_;          // what the server was last told
    uint8_t sentFlow_ = 0;
    uint8_t sentDtr_ = 0;
    uint8_t sentRts_ = 0;
    std::string failure_;
};

// Makes the program's ports: device servers for "tcp://" and "rfc2217://" names (a COM name
// mapped to one included), terminal lines for every other name.
void InstallSerialPorts();
