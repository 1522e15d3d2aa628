#include "transfer/PortRoute.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "settings/KeyStore.h"
#include "settings/PathResolve.h"
#include "settings/Strings.h"

namespace {

// "COMn" (any case, no other characters): the number, else -1.
long ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 10 || !StartsWithNoCase1252(name, "COM")) return -1;
    long n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// The terminal drivers the kernel lists: "name /dev/prefix major minor[-minor] type".
bool KernelListsTty(unsigned major, unsigned minor, bool& known) {
    std::ifstream in("/proc/tty/drivers");
    known = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name, prefix, range;
        unsigned m = 0;
        if (!(fields >> name >> prefix >> m >> range) || m != major) continue;
        unsigned lo = 0, hi = 0;
        size_t dash = range.find('-');
        try {
            lo = static_cast<unsigned>(std::stoul(range.substr(0, dash)));
            hi = dash == std::string::npos ? lo : static_cast<unsigned>(std::stoul(range.substr(dash + 1)));
        } catch (...) {
            continue;
        }
        if (minor >= lo && minor <= hi) return true;
    }
    return false;
}

std::string Canonical(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
    }
    return names;
}

// "ttyS10" after "ttyS9": names with a number at the end in the number's order.
bool NumberedLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        size_t i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') --i;
        long n = i < s.size() && s.size() - i < 10 ? std::stol(s.substr(i)) : -1;
        return std::make_pair(s.substr(0, i), n);
    };
    return split(a) < split(b);
}
}  // namespace

bool IsNetworkPortName(const std::string& name) {
    return StartsWithNoCase1252(name, "tcp://") || StartsWithNoCase1252(name, "rfc2217://");
}

bool ParseNetworkPortName(const std::string& name, NetworkPortAddress& address) {
    NetworkPortAddress a;
    std::string rest;
    if (StartsWithNoCase1252(name, "tcp://")) {
        rest = name.substr(6);
    } else if (StartsWithNoCase1252(name, "rfc2217://")) {
        a.rfc2217 = true;
        rest = name.substr(10);
    } else {
        return false;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    size_t colon;
    if (!rest.empty() && rest[0] == '[') {
        size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') return false;
        a.host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.rfind(':');
        if (colon == std::string::npos) return false;
        a.host = rest.substr(0, colon);
        if (a.host.find(':') != std::string::npos) return false;  // IPv6 needs brackets
    }
    a.port = rest.substr(colon + 1);
    if (a.host.empty() || !IsPortNumber(a.port)) return false;
    for (unsigned char c : a.host)
        if (c <= ' ' || c == '/' || c == '\\' || c == '@' || c >= 0x7F) return false;
    address = a;
    return true;
}

std::string MappedPortName(const std::string& name) {
    std::string n = name.rfind("\\\\.\\", 0) == 0 ? name.substr(4) : name;
    long number = ComNumber(n);
    if (number < 0) return name;
    const std::string value = "COM" + std::to_string(number);
    KeyStore& store = GetKeyStore();
    for (KeyRoot root : {KeyRoot::LocalMachine, KeyRoot::CurrentUser}) {
        std::string mapped;
        if (store.ReadValue(root, kPortMapKey, value, mapped)) {
            mapped = std::string(TrimBlanks(mapped));
            if (!mapped.empty()) return mapped;
        }
    }
    return name;
}

bool IsTtyDevice(const std::string& nativePath) {
    struct stat st;
    if (::stat(nativePath.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned major = ::major(st.st_rdev), minor = ::minor(st.st_rdev);
    bool known = false;
    if (KernelListsTty(major, minor, known)) return true;
    if (known) return false;
    // Without /proc: the device's class in sysfs.
    const std::string sys = "/sys/dev/char/" + std::to_string(major) + ":" + std::to_string(minor) + "/subsystem";
    std::string cls = Canonical(sys);
    return cls.size() >= 4 && cls.compare(cls.size() - 4, 4, "/tty") == 0;
}

bool IsSerialDevice(const std::string& device) {
    if (device.find("COM") != std::string::npos) return true;
    if (IsNetworkPortName(device)) return true;
    if (device.find_first_of("/\\") == std::string::npos) return false;
    const std::string path = ResolvePath(device);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return IsTtyDevice(path);
    // A terminal line that is not there now (an adapter unplugged) is still a serial port:
    // its open fails with the serial port's words, not with the tape card's.
    const std::string upper = UpperCase1252(path);
    for (const char* prefix : {"/DEV/TTY", "/DEV/SERIAL/", "/DEV/PTS/"})
        if (upper.rfind(prefix, 0) == 0) return true;
    return false;
}

SerialPortInventory TakeSerialPortInventory(const std::string& devDir, const std::string& ttyClassDir) {
    SerialPortInventory inv;
    const std::string byIdDir = devDir + "/serial/by-id";
    std::vector<std::string> names = Entries(byIdDir);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) inv.byId.push_back({byIdDir + "/" + n, Canonical(byIdDir + "/" + n)});

    names = Entries(ttyClassDir);
    std::sort(names.begin(), names.end(), NumberedLess);
    for (const std::string& n : names) {
        if (n.rfind("ttyS", 0) != 0 || ComNumber("COM" + n.substr(4)) < 0) continue;
        std::ifstream type(ttyClassDir + "/" + n + "/type");
        long t = 0;
        // An on-board port the kernel found no chip behind has type 0.
        if (type >> t && t != 0) inv.uarts.push_back(devDir + "/" + n);
    }

    names = Entries(devDir);
    std::sort(names.begin(), names.end(), NumberedLess);
    for (const std::string& n : names)
        if (n.rfind("COM", 0) == 0 && ComNumber(n) >= 0) inv.comLinks.push_back({devDir + "/" + n, Canonical(devDir + "/" + n)});

    KeyStore& store = GetKeyStore();
    for (KeyRoot root : {KeyRoot::LocalMachine, KeyRoot::CurrentUser}) {
        std::vector<std::string> values;
        if (!store.ValueNames(root, kPortMapKey, values)) continue;
        std::sort(values.begin(), values.end(), NumberedLess);
        for (const std::string& v : values) {
            std::string target;
            if (ComNumber(v) < 0 || !store.ReadValue(root, kPortMapKey, v, target)) continue;
            inv.mapped.push_back({UpperCase1252(v), std::string(TrimBlanks(target)), root == KeyRoot::LocalMachine});
        }
    }
    return inv;
}
