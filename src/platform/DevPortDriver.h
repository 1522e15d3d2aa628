#pragma once
// The port-I/O driver on Linux: /dev/port, whose file offsets are the I/O addresses. The
// driver numbers its ports from the card's base (given at open), so port p is I/O address
// base + p. Opening /dev/port needs the right to raw I/O (CAP_SYS_RAWIO); without it the
// open fails like any other driver failure.
#include <string>

#include "transfer/IoDriver.h"

inline constexpr const char* kDevPortPath = "/dev/port";
// Set (to anything but "0" or empty) to use the simulated card and machine instead of the
// card: SKARV_SIMULATED_CARD=1. The machine then punches the program in the file named by
// SKARV_SIMULATED_TAPE (native path), or a short built-in program.
inline constexpr const char* kSimulatedCardVariable = "SKARV_SIMULATED_CARD";
inline constexpr const char* kSimulatedTapeVariable = "SKARV_SIMULATED_TAPE";

class DevPortDriver : public IoDriver {
public:
    explicit DevPortDriver(std::string devicePath = kDevPortPath);
    ~DevPortDriver() override;
    bool Open(uint16_t cardBase, IoError& error) override;
    bool Read(uint32_t port, uint8_t& value, int& count, IoError& error) override;
    bool Write(uint32_t port, uint8_t value, int& returned, IoError& error) override;
    void Close() override;

private:
    bool Offset(uint32_t port, long& offset, IoError& error) const;
    std::string path_;
    int fd_ = -1;
    uint16_t base_ = 0;
};

// True when the environment asks for the simulated card.
bool SimulatedCardRequested();
// Installs the driver factory of the program: the simulated card when requested, else
// /dev/port.
void InstallPlatformIoDriver();
