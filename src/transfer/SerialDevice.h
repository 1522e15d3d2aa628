#pragma once
// The serial device under a port: open, queue setup, the line state as a device control
// record, escape functions, timeouts, write, read of one byte, close. The real ones work on
// termios (src/platform/TermiosSerial) and on a serial device server over TCP
// (src/platform/NetSerial); tests put a recorder in their place.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Parity values of SerialDcb::Parity.
inline constexpr uint8_t NOPARITY = 0;
inline constexpr uint8_t ODDPARITY = 1;
inline constexpr uint8_t EVENPARITY = 2;
inline constexpr uint8_t MARKPARITY = 3;
inline constexpr uint8_t SPACEPARITY = 4;
// Stop-bit values of SerialDcb::StopBits.
inline constexpr uint8_t ONESTOPBIT = 0;
inline constexpr uint8_t ONE5STOPBITS = 1;
inline constexpr uint8_t TWOSTOPBITS = 2;
// fDtrControl and fRtsControl values.
inline constexpr uint8_t DTR_CONTROL_DISABLE = 0;
inline constexpr uint8_t DTR_CONTROL_ENABLE = 1;
inline constexpr uint8_t DTR_CONTROL_HANDSHAKE = 2;
inline constexpr uint8_t RTS_CONTROL_DISABLE = 0;
inline constexpr uint8_t RTS_CONTROL_ENABLE = 1;
inline constexpr uint8_t RTS_CONTROL_HANDSHAKE = 2;
inline constexpr uint8_t RTS_CONTROL_TOGGLE = 3;

// The line settings of a port.
struct SerialDcb {
    uint32_t BaudRate = 9600;
    // The flag word.
    bool fBinary = true;
    bool fParity = false;
    bool fOutxCtsFlow = false;   // output held while CTS is low
    bool fOutxDsrFlow = false;   // output held while DSR is low
    uint8_t fDtrControl = DTR_CONTROL_ENABLE;
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;          // output stops on XoffChar, resumes on XonChar
    bool fInX = false;           // XoffChar/XonChar sent when the input queue fills/drains
    bool fErrorChar = false;
    bool fNull = false;          // received NUL bytes are dropped
    uint8_t fRtsControl = RTS_CONTROL_ENABLE;
    bool fAbortOnError = false;
    uint16_t XonLim = 2048;
    uint16_t XoffLim = 512;
    uint8_t ByteSize = 8;
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;
    uint8_t XonChar = 0x11;
    uint8_t XoffChar = 0x13;
    uint8_t ErrorChar = 0;
    uint8_t EofChar = 0;
    uint8_t EvtChar = 0;

    // Clears the whole flag word.
    void ClearFlags();
};

// Timeouts in milliseconds. A read of n bytes gives up after
// ReadTotalTimeoutMultiplier * n + ReadTotalTimeoutConstant (or after ReadIntervalTimeout of
// silence between bytes); a write of n bytes after
// WriteTotalTimeoutMultiplier * n + WriteTotalTimeoutConstant. All zero: no timeout.
struct CommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// When a write of n bytes gives up: after WriteTotalTimeoutMultiplier * n +
// WriteTotalTimeoutConstant, or after maxWaitMs when that is shorter and not negative;
// time_point::max() for no timeout.
std::chrono::steady_clock::time_point WriteDeadline(const CommTimeouts& timeouts, uint32_t n,
                                                    int32_t maxWaitMs);
// When a read of one byte gives up; time_point::max() for no timeout, now for a read that
// returns at once (ReadIntervalTimeout MAXDWORD with no total).
std::chrono::steady_clock::time_point ReadByteDeadline(const CommTimeouts& timeouts);

enum class EscapeFunction { SETXOFF = 1, SETXON = 2, SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6 };

class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    // Opens the named port for reading and writing, not shared. False when it cannot be opened.
    virtual bool Open(const std::string& name) = 0;
    virtual bool SetupQueues(uint32_t inQueue, uint32_t outQueue) = 0;
    virtual bool GetState(SerialDcb& dcb) = 0;
    virtual bool SetState(const SerialDcb& dcb) = 0;
    virtual bool Escape(EscapeFunction function) = 0;
    virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;
    // Writes n bytes within the write timeout (or within maxWaitMs when that is shorter and not
    // negative). written is what left the port; a timeout is not a failure. False on a failure
    // of the device; written is then what went out before it.
    virtual bool Write(const uint8_t* data, uint32_t n, uint32_t& written, int32_t maxWaitMs = -1) = 0;
    // Waits up to timeoutMs until all output written so far has left the port; false when
    // some is still held (flow control) or the line is gone.
    virtual bool Drain(int32_t timeoutMs) { return true; }
    // Reads one byte within the read timeout. got is false on a timeout; false on a failure.
    virtual bool ReadByte(uint8_t& byte, bool& got) = 0;
    virtual void Close() = 0;
    // Why the device can carry no more bytes, in the system's words: a device server closed
    // or lost the connection, or (after a failed Open) why it could not be reached. Empty
    // while the line works; a terminal line that falls silent is waited on like a held one.
    virtual std::string Failure() const { return std::string(); }
};

// How ports are made, by the name of the port: the program installs its real ports, tests
// their own. Without a factory, no port can be opened.
using SerialDeviceFactory = std::function<std::unique_ptr<SerialDevice>(const std::string& name)>;
SerialDeviceFactory SetSerialDeviceFactory(SerialDeviceFactory factory);
std::unique_ptr<SerialDevice> CreateSerialDevice(const std::string& name);

// The native path of a port named the Windows way: "\\.\" before the name is dropped; a
// "COMn" name mapped in the key store (MappedPortName) stands for its mapped name; a name
// with "/" or "\" in it is a path (DNC or native, resolved without regard to case); "COMn" is
// "/dev/COMn" when that exists (a shop can name its adapters so), else "/dev/ttyS" + (n - 1);
// any other name is looked up in /dev. Empty when the name can name no terminal device (a
// device server's name included).
std::string SerialDevicePath(const std::string& name);
