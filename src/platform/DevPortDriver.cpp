#include "platform/DevPortDriver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/SimulatedCard.h"

DevPortDriver::DevPortDriver(std::string devicePath) : path_(std::move(devicePath)) {}

DevPortDriver::~DevPortDriver() { Close(); }

bool DevPortDriver::Open(uint16_t cardBase, IoError& error) {
    Close();
    fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
        error = SystemIoError(errno);
        return false;
    }
    base_ = cardBase;
    return true;
}

void DevPortDriver::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool DevPortDriver::Offset(uint32_t port, long& offset, IoError& error) const {
    if (fd_ < 0) {
        error = SystemIoError(EBADF);
        return false;
    }
    uint64_t address = uint64_t(base_) + port;
    if (address > 0xFFFF) {  // beyond the I/O space
        error = SystemIoError(EINVAL);
        return false;
    }
    offset = long(address);
    return true;
}

bool DevPortDriver::Read(uint32_t port, uint8_t& value, int& count, IoError& error) {
    count = 0;
    long offset = 0;
    if (!Offset(port, offset, error)) return false;
    ssize_t n;
    do n = ::pread(fd_, &value, 1, offset);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        error = SystemIoError(errno);
        return false;
    }
    count = int(n);
    return true;
}

bool DevPortDriver::Write(uint32_t port, uint8_t value, int& returned, IoError& error) {
    returned = 0;
    long offset = 0;
    if (!Offset(port, offset, error)) return false;
    ssize_t n;
    do n = ::pwrite(fd_, &value, 1, offset);
    while (n < 0 && errno == EINTR);
    if (n != 1) {
        error = SystemIoError(n < 0 ? errno : EIO);
        return false;
    }
    return true;
}

bool SimulatedCardRequested() {
    const char* v = std::getenv(kSimulatedCardVariable);
    return v && *v && std::strcmp(v, "0") != 0;
}

void InstallPlatformIoDriver() {
    if (SimulatedCardRequested()) {
        SetIoDriverFactory([]() -> std::shared_ptr<IoDriver> {
            const char* tape = std::getenv(kSimulatedTapeVariable);
            return MakeDemoCard(tape ? tape : "");
        });
    } else {
        SetIoDriverFactory([]() -> std::shared_ptr<IoDriver> {
            return std::make_shared<DevPortDriver>();
        });
    }
}
