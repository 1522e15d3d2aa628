#pragma once
// One serial port for one program transfer, configured entirely from a settings section:
// open, write blocks, read lines, close. Every byte goes through the port's tape code.
#include <cstdint>
#include <memory>
#include <string>

#include "convert/IsoEia.h"
#include "transfer/SerialDevice.h"

inline constexpr const char* kSetupCommCaption = "SetUpComm";
inline constexpr const char* kSetupCommText = "Kan ikke reservere buffere";
inline constexpr const char* kGetStateCaption = "GetCommState";
inline constexpr const char* kGetStateText = "Får ikke tak i DCB";
inline constexpr const char* kSetStateCaption = "SetCommState";
inline constexpr const char* kSetStateText = "Klarer ikke å sette DCB";
inline constexpr const char* kEscapeCaption = "EscapeCommFunction";
inline constexpr const char* kEscapeText = "Feil med SetXOn/SetXOff";
inline constexpr const char* kTimeoutsCaption = "SetCommTimeOuts";
inline constexpr const char* kTimeoutsText = "Klarer ikke å sette timeouts";
inline constexpr const char* kCloseCaption = "Lukke comport";
inline constexpr const char* kCloseText = "SetComState feilet";

inline constexpr uint32_t kInputQueueSize = 4096;
inline constexpr uint32_t kOutputQueueSize = 1024;
inline constexpr size_t kMaxEobLength = 10;
// The most that is converted and written at once; longer blocks go out in pieces.
inline constexpr size_t kComBlockSize = 1024;

struct TComPort {
    std::unique_ptr<SerialDevice> Handle;  // the open device
    SerialDcb Dcb;
    bool XonXoff = false;
    bool RtsCts = false;
    bool DtrDsr = false;
    bool HandShake = false;
    TTapeCode Code = tcIso;
    int32_t TimeMultiplier = 1000;  // milliseconds, the basis of all timeouts, at least 50
    int32_t Delay = 0;              // milliseconds after each byte sent
    int32_t Loop = 0;               // busy-wait count after each byte sent
    std::string Eob;                // appended to every line sent, at most 10 bytes
    CommTimeouts Timeouts;
    // Why the device could not be opened, or why it can carry no more bytes (a device
    // server's connection is gone); empty otherwise.
    std::string LineError;
};

// Opens the device and configures it from the section. On failure the device is closed and,
// unless the device itself could not be opened, the matching message has been shown.
void OpenComPort(const std::string& section, const std::string& device, bool sending, bool& ok,
                 TComPort& port);
// Drops DTR and RTS and closes the device.
void CloseComPort(TComPort& port);
// Converts and writes the block; the block keeps what was not written (empty when all went).
void WriteComBlock(TComPort& port, std::string& block);
// Waits up to one write timeout until the output written so far has left the port (the
// device may queue it); false when some is still held back.
bool DrainComPort(TComPort& port);
// Reads until a line is complete or reception is over (done).
void ReadComLine(TComPort& port, std::string& line, bool& done);
// True when the device can carry no more bytes; LineError then says why.
bool ComLineLost(TComPort& port);
