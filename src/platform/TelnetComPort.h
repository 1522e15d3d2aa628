#pragma once
// The Telnet side of a port on a serial device server that takes COM-PORT-OPTION (RFC 2217):
// data with IAC escaped both ways, WILL/DO negotiation of COM-PORT-OPTION and BINARY, the
// commands that set the server's line, and what the server reports back (its answers to
// those commands, its modem lines, its own flow control towards us). The Telnet protocol
// itself (IAC escaping, commands, subnegotiation) is libtelnet's; the negotiation of options
// is kept here, in the small form it needs. This class holds no socket: bytes for the server
// are appended to the two outputs given at construction, the data to one and the Telnet
// commands to the other (so that a command can go before data that the line holds back);
// data from the server collects in Input().
#include <cstdint>
#include <string>

struct telnet_t;
union telnet_event_t;

class TelnetComPort {
public:
    // COM-PORT-OPTION commands from the client; the server answers with the code + 100.
    enum Command : uint8_t {
        kSetBaudRate = 1,
        kSetDataSize = 2,
        kSetParity = 3,
        kSetStopSize = 4,
        kSetControl = 5,
    };
    // Values of SET-CONTROL.
    enum Control : uint8_t {
        kFlowNone = 1,
        kFlowXonXoff = 2,
        kFlowHardware = 3,
        kDtrOn = 8,
        kDtrOff = 9,
        kRtsOn = 11,
        kRtsOff = 12,
        kFlowDsr = 19,
    };
    // Bits of the modem state the server reports.
    static constexpr uint8_t kModemCts = 0x10;
    static constexpr uint8_t kModemDsr = 0x20;

    enum class Agreement { Pending, Agreed, Refused };

    TelnetComPort(std::string& commandOutput, std::string& dataOutput);
    ~TelnetComPort();
    TelnetComPort(const TelnetComPort&) = delete;
    TelnetComPort& operator=(const TelnetComPort&) = delete;

    // Asks for COM-PORT-OPTION and BINARY both ways.
    void Start();
    // Data for the machine, escaped.
    void SendData(const uint8_t* data, size_t n);
    void SendCommand(Command command, uint32_t value);
    // Bytes from the server: data goes to Input(), reports are noted.
    void Receive(const uint8_t* data, size_t n);

    std::string& Input() { return input_; }

    Agreement ComPort() const { return comPort_; }
    // How many answers to the command have come, and the last one. For SET-CONTROL only
    // the answers about outbound flow control count (not those about DTR, RTS or BREAK).
    uint32_t Answers(Command command) const { return answers_[command]; }
    uint32_t LastAnswer(Command command) const { return lastAnswer_[command]; }
    bool ModemKnown() const { return modemKnown_; }
    uint8_t ModemState() const { return modemState_; }
    // The server asked us to stop sending (FLOWCONTROL-SUSPEND) and has not resumed.
    bool Suspended() const { return suspended_; }
    // Not empty after the Telnet stream could not be read (the error of libtelnet).
    const std::string& ProtocolError() const { return protocolError_; }

    static constexpr uint8_t kComPortOption = 44;

private:
    static void OnEvent(telnet_t* telnet, telnet_event_t* event, void* self);
    void Report(const unsigned char* data, size_t n);
    // The server's WILL/WONT/DO/DONT: an option we take is agreed to once (and never asked
    // again), every other option is refused; a refusal of ours is not answered.
    void Negotiate(unsigned char command, unsigned char option);
    void Ask(unsigned char command, unsigned char option);

    telnet_t* telnet_ = nullptr;
    std::string& commands_;
    std::string& data_;
    bool toData_ = false;  // what libtelnet sends now is data
    // Per option we take (BINARY, SUPPRESS-GO-AHEAD, COM-PORT-OPTION): asked for, and in
    // effect, on our side (us) and on the server's (him).
    bool usAsked_[256] = {};
    bool us_[256] = {};
    bool himAsked_[256] = {};
    bool him_[256] = {};
    std::string input_;
    Agreement comPort_ = Agreement::Pending;
    uint32_t answers_[6] = {};
    uint32_t lastAnswer_[6] = {};
    bool modemKnown_ = false;
    uint8_t modemState_ = 0;
    bool suspended_ = false;
    std::string protocolError_;
};
