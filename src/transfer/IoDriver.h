#pragma once
// The port-I/O driver behind the unit IO: byte-wide reads and writes of the driver's ports.
// The real driver (/dev/port) and the simulated card with its machine live in the platform
// layer; the program installs the factory that makes the one in use.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// A failed driver call: the system's error code and its description. notSupported marks the
// platform's "the request is not supported" errors, which get texts of their own.
struct IoError {
    int code = 0;
    std::string description;
    bool notSupported = false;
};

// An IoError from an errno value (ENOTSUP, EOPNOTSUPP, ENOSYS and ENOTTY count as not
// supported).
IoError SystemIoError(int errnoValue);

class IoDriver {
public:
    virtual ~IoDriver() = default;
    // Opens the driver for the card whose base address is cardBase. The driver numbers its
    // ports from there: port 0 is the card's base.
    virtual bool Open(uint16_t cardBase, IoError& error) = 0;
    // Reads one byte of the driver's port; count is the number of bytes the driver returned.
    virtual bool Read(uint32_t port, uint8_t& value, int& count, IoError& error) = 0;
    // Writes one byte; returned is the number of bytes the driver handed back (a sound
    // driver hands back none).
    virtual bool Write(uint32_t port, uint8_t value, int& returned, IoError& error) = 0;
    virtual void Close() = 0;
};

using IoDriverFactory = std::function<std::shared_ptr<IoDriver>()>;
// Installs the factory that PortOpen uses and returns the one it replaces. Without one,
// every open fails as "not supported".
IoDriverFactory SetIoDriverFactory(IoDriverFactory factory);
std::shared_ptr<IoDriver> MakeIoDriver();
