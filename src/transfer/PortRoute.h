#pragma once
// Which device a port name stands for. The transfer dialog and the skarv command decide with
// IsSerialDevice between the serial port and the tape card; the serial device is then made
// by the name: a terminal line, or a serial device server on the network.
//
// Serial names:
//   - a name containing "COM" ("COM2", "\\.\COM12"); a "COMn" name can be mapped in the key
//     store (see MappedPortName);
//   - a path to a character device that is a terminal line ("/dev/ttyUSB0",
//     "/dev/serial/by-id/...", "/dev/pts/3");
//   - "tcp://HOST:PORT" (a device server's raw byte stream) and "rfc2217://HOST:PORT" (a
//     device server whose line the port sets through Telnet COM-PORT-OPTION).
// Every other name ("LPT1", "LPT") is the tape card.
#include <string>
#include <vector>

// The key of the port map: value "COM5" = "/dev/serial/by-id/..." (or any serial name).
inline constexpr const char* kPortMapKey = "Software\\Vako";

// True when the device is a serial port, false for the tape reader and punch.
bool IsSerialDevice(const std::string& device);

// "tcp://" or "rfc2217://" in front, in any case: a port on a device server.
bool IsNetworkPortName(const std::string& name);

struct NetworkPortAddress {
    bool rfc2217 = false;  // the port sets the line through the server
    std::string host;      // a name or an address; an IPv6 address without its brackets
    std::string port;      // 1-65535, decimal
};
// "tcp://HOST:PORT", "rfc2217://HOST:PORT", "tcp://[IPv6]:PORT"; a "/" after the port is
// allowed. False for anything else.
bool ParseNetworkPortName(const std::string& name, NetworkPortAddress& address);

// The name a "COMn" port is mapped to in the key store ("Software\Vako", value "COMn";
// machine-wide first, then per user), or the name itself when it is no mapped COM name.
// "\\.\" before a COM name is dropped for the lookup.
std::string MappedPortName(const std::string& name);

// A native path (links followed) naming a character device that is a terminal line.
bool IsTtyDevice(const std::string& nativePath);

// What `skarv ports` lists: the serial ports this computer has.
struct SerialPortInventory {
    struct Link {
        std::string name;    // the stable name
        std::string target;  // the device it points at, empty when dangling
    };
    std::vector<Link> byId;         // <dev>/serial/by-id/*
    std::vector<std::string> uarts; // on-board ports that answer ("/dev/ttyS0")
    std::vector<Link> comLinks;     // <dev>/COMn links a shop has made
    struct Mapping {
        std::string com;     // "COM5"
        std::string target;  // the value
        bool machineWide = false;
    };
    std::vector<Mapping> mapped;    // the key store's COMn map
};
// The inventory; the folders can be given for tests.
SerialPortInventory TakeSerialPortInventory(const std::string& devDir = "/dev",
                                            const std::string& ttyClassDir = "/sys/class/tty");
