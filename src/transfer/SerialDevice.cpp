#include "transfer/SerialDevice.h"

#include <sys/stat.h>

#include <mutex>

#include "settings/PathResolve.h"
#include "settings/Strings.h"
#include "transfer/PortRoute.h"

void SerialDcb::ClearFlags() {
    fBinary = fParity = fOutxCtsFlow = fOutxDsrFlow = false;
    fDtrControl = DTR_CONTROL_DISABLE;
    fDsrSensitivity = fTXContinueOnXoff = fOutX = fInX = fErrorChar = fNull = false;
    fRtsControl = RTS_CONTROL_DISABLE;
    fAbortOnError = false;
}

std::chrono::steady_clock::time_point WriteDeadline(const CommTimeouts& timeouts, uint32_t n,
                                                    int32_t maxWaitMs) {
    using Clock = std::chrono::steady_clock;
    uint64_t total = uint64_t(timeouts.WriteTotalTimeoutMultiplier) * n + timeouts.WriteTotalTimeoutConstant;
    bool unlimited = total == 0;
    if (maxWaitMs >= 0 && (unlimited || uint64_t(maxWaitMs) < total)) {
        total = static_cast<uint64_t>(maxWaitMs);
        unlimited = false;
    }
    return unlimited ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(total);
}

std::chrono::steady_clock::time_point ReadByteDeadline(const CommTimeouts& timeouts) {
    using Clock = std::chrono::steady_clock;
    uint64_t total = uint64_t(timeouts.ReadTotalTimeoutMultiplier) + timeouts.ReadTotalTimeoutConstant;
    if (total == 0 && timeouts.ReadIntervalTimeout == 0xFFFFFFFFu) return Clock::now();
    if (total == 0) return Clock::time_point::max();
    return Clock::now() + std::chrono::milliseconds(total);
}

namespace {
std::mutex g_factoryMutex;
SerialDeviceFactory g_factory;
}  // namespace

SerialDeviceFactory SetSerialDeviceFactory(SerialDeviceFactory factory) {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    std::swap(g_factory, factory);
    return factory;
}

std::unique_ptr<SerialDevice> CreateSerialDevice(const std::string& name) {
    SerialDeviceFactory f;
    {
        std::lock_guard<std::mutex> lock(g_factoryMutex);
        f = g_factory;
    }
    return f ? f(name) : nullptr;
}

std::string SerialDevicePath(const std::string& name) {
    std::string n = MappedPortName(name);
    if (n.rfind("\\\\.\\", 0) == 0) n = n.substr(4);
    if (n.empty() || IsNetworkPortName(n)) return std::string();
    if (n.find_first_of("/\\") != std::string::npos) return ResolvePath(n);
    std::string upper = UpperCase1252(n);
    if (upper.size() > 3 && upper.compare(0, 3, "COM") == 0) {
        int number = 0;
        bool digits = true;
        for (size_t i = 3; i < upper.size(); ++i) {
            if (upper[i] < '0' || upper[i] > '9' || number > 100000) {
                digits = false;
                break;
            }
            number = number * 10 + (upper[i] - '0');
        }
        if (digits) {
            std::string own = "/dev/COM" + std::to_string(number);
            struct stat st;
            if (::stat(own.c_str(), &st) == 0) return own;
            if (number < 1) return std::string();
            return "/dev/ttyS" + std::to_string(number - 1);
        }
    }
    return ResolvePath("/dev/" + n);
}
