#pragma once
// Port I/O: byte-wide reads and writes of the card's I/O ports through the port-I/O driver,
// with address checks, a stable read and the error texts. Every operation fills an error
// text (empty on success) and, when asked to, shows a non-empty one in the error box.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "transfer/IoDriver.h"

inline constexpr const char* kPortErrorCaption = "Feil";
inline constexpr const char* kOpenNoSupport = "Klarer ikke å åpne driver - ingen support";
inline constexpr const char* kOpenFailed = "Klarer ikke å åpne driver ";
inline constexpr const char* kWriteBadAddress = "Skrive til port - Ulovlig adresse: $";
inline constexpr const char* kReadBadAddress = "Lese fra port - Ulovlig adresse: $";
inline constexpr const char* kWriteNoSupport = "Kalarer ikke å skrive til port - ingen support";
inline constexpr const char* kReadNoSupport = "Kalarer ikke å lese fra port - ingen support";
inline constexpr const char* kWriteFailed = "Kalarer ikke å skrive til port ";
inline constexpr const char* kReadFailed = "Kalarer ikke å lese fra port ";
inline constexpr const char* kWriteReadBack = "Skrive til port: Verdi er tilbakelest";
inline constexpr const char* kReadCount = "Lese fra port - antall bytes ";
inline constexpr const char* kUnstableInput = "Ustabilt inngangssignal";

// The standard error box (error icon, OK button). The window maps it to the Prompter's
// Error; without one it goes to ShowMessageBox.
using ErrorBoxFn = std::function<void(const std::string& caption, const std::string& text)>;
ErrorBoxFn SetPortErrorBox(ErrorBoxFn box);
void ShowPortError(const std::string& text);

// Four upper-case hex digits (more when the value needs them).
std::string HexAddress(uint32_t address);

class TPortIO {
public:
    bool PortOpen(uint16_t minAddress, uint16_t maxAddress, uint16_t addressOffset, bool show,
                  std::string& error);
    bool PortWrite(uint16_t address, uint8_t value, std::string& error, bool show);
    bool PortRead(uint16_t address, uint8_t& value, std::string& error, bool show);
    // Reads until one value holds still: up to count + 1 attempts of a reference read and up
    // to count + 1 reads that must equal it. The result is the last value read.
    bool PortReadStable(uint16_t address, int count, std::string& error, bool show,
                        uint8_t& value);
    void PortClose();
    bool IsOpen() const { return Handle != nullptr; }

    std::shared_ptr<IoDriver> Handle;
    uint16_t MinAddress = 0;
    uint16_t MaxAddress = 0;
    uint16_t AddressOffset = 0;

private:
    bool Fail(std::string& error, std::string text, bool show);
};

// The program's one instance.
TPortIO& PortIO();
