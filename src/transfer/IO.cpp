#include "transfer/IO.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "settings/MessageSink.h"

IoError SystemIoError(int errnoValue) {
    IoError e;
    e.code = errnoValue;
    char buf[256];
    buf[0] = 0;
    // The GNU strerror_r returns the text (which may not be buf).
    const char* text = strerror_r(errnoValue, buf, sizeof buf);
    e.description = text ? text : "";
    e.notSupported = errnoValue == ENOTSUP || errnoValue == EOPNOTSUPP ||
                     errnoValue == ENOSYS || errnoValue == ENOTTY;
    return e;
}

namespace {
std::mutex& FactoryMutex() {
    static std::mutex m;
    return m;
}
IoDriverFactory& Factory() {
    static IoDriverFactory f;
    return f;
}
ErrorBoxFn& ErrorBox() {
    static ErrorBoxFn f;
    return f;
}

std::string DriverFailure(const char* prefix, const IoError& e) {
    return std::string(prefix) + std::to_string(e.code) + "\r" + e.description;
}
}  // namespace

IoDriverFactory SetIoDriverFactory(IoDriverFactory factory) {
    std::lock_guard<std::mutex> lock(FactoryMutex());
    IoDriverFactory old = std::move(Factory());
    Factory() = std::move(factory);
    return old;
}

std::shared_ptr<IoDriver> MakeIoDriver() {
    IoDriverFactory f;
    {
        std::lock_guard<std::mutex> lock(FactoryMutex());
        f = Factory();
    }
    return f ? f() : nullptr;
}

ErrorBoxFn SetPortErrorBox(ErrorBoxFn box) {
    ErrorBoxFn old = std::move(ErrorBox());
    ErrorBox() = std::move(box);
    return old;
}

void ShowPortError(const std::string& text) {
    if (ErrorBox())
        ErrorBox()(kPortErrorCaption, text);
    else
        ShowMessageBox(kPortErrorCaption, text);
}

std::string HexAddress(uint32_t address) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", address);
    return buf;
}

bool TPortIO::Fail(std::string& error, std::string text, bool show) {
    error = std::move(text);
    if (show && !error.empty()) ShowPortError(error);
    return false;
}

bool TPortIO::PortOpen(uint16_t minAddress, uint16_t maxAddress, uint16_t addressOffset,
                       bool show, std::string& error) {
    error.clear();
    PortClose();
    MinAddress = minAddress;
    MaxAddress = maxAddress;
    AddressOffset = addressOffset;
    std::shared_ptr<IoDriver> driver = MakeIoDriver();
    IoError e;
    if (!driver) {
        e.notSupported = true;
    } else if (driver->Open(minAddress, e)) {
        Handle = std::move(driver);
        return true;
    }
    return Fail(error, e.notSupported ? std::string(kOpenNoSupport) : DriverFailure(kOpenFailed, e),
                show);
}

bool TPortIO::PortWrite(uint16_t address, uint8_t value, std::string& error, bool show) {
    error.clear();
    if (address < MinAddress || address > MaxAddress)
        return Fail(error, kWriteBadAddress + HexAddress(address), show);
    IoError e;
    int returned = 0;
    if (!Handle) {
        e = SystemIoError(EBADF);
    } else if (Handle->Write(uint32_t(address - MinAddress) + AddressOffset, value, returned, e)) {
        if (returned != 0) return Fail(error, kWriteReadBack, show);
        return true;
    }
    return Fail(error, e.notSupported ? std::string(kWriteNoSupport) : DriverFailure(kWriteFailed, e),
                show);
}

bool TPortIO::PortRead(uint16_t address, uint8_t& value, std::string& error, bool show) {
    error.clear();
    if (address < MinAddress || address > MaxAddress)
        return Fail(error, kReadBadAddress + HexAddress(address), show);
    IoError e;
    int count = 0;
    if (!Handle) {
        e = SystemIoError(EBADF);
    } else if (Handle->Read(uint32_t(address - MinAddress) + AddressOffset, value, count, e)) {
        if (count != 1) return Fail(error, kReadCount + std::to_string(count), show);
        return true;
    }
    return Fail(error, e.notSupported ? std::string(kReadNoSupport) : DriverFailure(kReadFailed, e),
                show);
}

bool TPortIO::PortReadStable(uint16_t address, int count, std::string& error, bool show,
                             uint8_t& value) {
    error.clear();
    const int m = (count < 0 ? 0 : count) + 1;
    uint8_t reference = 0, last = 0;
    bool failed = false;
    for (int attempt = 0; attempt < m; ++attempt) {
        if (!PortRead(address, reference, error, show)) {
            failed = true;
            break;
        }
        last = reference;
        for (int i = 0; i < m; ++i) {
            if (!PortRead(address, last, error, show)) {
                failed = true;
                break;
            }
            if (last != reference) break;
        }
        if (failed || last == reference) break;
    }
    value = last;
    if (failed) return false;
    if (last != reference && count >= 1) return Fail(error, kUnstableInput, show);
    return true;
}

void TPortIO::PortClose() {
    if (Handle) Handle->Close();
    Handle.reset();
}

TPortIO& PortIO() {
    static TPortIO io;
    return io;
}
