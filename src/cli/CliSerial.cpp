// skarv encode, decode, send, receive and ports: the tape codes, the serial transfer of the
// transfer dialog, and the serial ports this computer has, from the command line.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/Cli.h"
#include "convert/IsoEia.h"
#include "nctools/LineList.h"
#include "platform/NetSerial.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"
#include "settings/Visual.h"
#include "transfer/SerialTransfer.h"

namespace {
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) { g_interrupted.store(true); }

// Ctrl-C cancels the transfer as "Avbryt" does. No SA_RESTART: a wait on the line ends at once.
void CatchInterrupt() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

void Progress(const std::string& text) {
    std::fprintf(stderr, "\r%s", text.c_str());
    std::fflush(stderr);
}

bool ParseCode(CliContext& ctx, TTapeCode& code, std::string& in) {
    bool haveCode = false;
    for (size_t i = 0; i < ctx.args.size(); ++i) {
        if (ctx.args[i] == "--code" && i + 1 < ctx.args.size()) {
            code = TapeCodeFromName(UpperCase1252(ctx.args[++i]));
            haveCode = true;
        } else if (in.empty() && ctx.args[i] != "--code") {
            in = ctx.args[i];
        } else {
            return false;
        }
    }
    return haveCode;
}

int Convert(CliContext& ctx, bool encode) {
    TTapeCode code = tcIso;
    std::string in;
    if (!ParseCode(ctx, code, in)) return UsageError(encode ? "encode tar --code NAVN [FIL]" : "decode tar --code NAVN [FIL]");
    std::string bytes;
    if (!LoadInput(in, bytes)) return 1;
    for (auto& c : bytes) {
        auto b = static_cast<uint8_t>(c);
        c = static_cast<char>(encode ? EncodeByte(code, b) : DecodeByte(code, b));
    }
    return WriteAllBytes("-", bytes) ? 0 : 1;
}
int Encode(CliContext& ctx) { return Convert(ctx, true); }
int Decode(CliContext& ctx) { return Convert(ctx, false); }

bool SerialPortOrSay(const std::string& device) {
    if (IsSerialDevice(device)) return true;
    PrintError("skarv: " + device + " er ingen serieport; hullbåndet betjenes fra editoren");
    return false;
}

int Send(CliContext& ctx) {
    std::string file, startSequence;
    int fromLine = 0;
    for (size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "--from-line" && i + 1 < ctx.args.size()) {
            if (!ParseCliInt(ctx.args[++i], fromLine) || fromLine < 1)
                return UsageError("ugyldig linjenummer: " + ctx.args[i]);
        } else if (a == "--start-sequence" && i + 1 < ctx.args.size()) {
            bool ok = true;
            startSequence = VisualToString(ctx.args[++i], &ok);
            if (!ok) return UsageError("ugyldig startsekvens: " + ctx.args[i]);
        } else if (file.empty() && a.rfind("--", 0) != 0) {
            file = a;
        } else {
            return UsageError("send tar FIL [--from-line N] [--start-sequence TEKST]");
        }
    }
    if (file.empty()) return UsageError("send tar FIL [--from-line N] [--start-sequence TEKST]");
    std::string bytes;
    if (!LoadInput(file, bytes)) return 1;
    const std::vector<std::string> lines = SplitLines(bytes);
    int32_t start = WholeProgramStartIndex(lines);
    if (fromLine > 0) {
        if (fromLine > static_cast<int>(lines.size()) + 1)
            return UsageError("programmet har bare " + std::to_string(lines.size()) + " linjer");
        start = fromLine - 1;
    }
    std::string device = ReadPortDevice();
    if (!SerialPortOrSay(device)) return 1;
    std::string section = PortSettingsSection(device, MachineSection(ctx.machine - 1));

    InstallSerialPorts();
    CatchInterrupt();
    std::atomic<bool> abort{false};
    std::atomic<int32_t> queued{start};
    std::atomic<bool> ended{false};
    SendResult result = SendResult::Cancelled;
    std::thread sender([&] {
        result = ThreadSendProgram(lines, start, startSequence, section, abort, queued);
        ended.store(true);
    });
    const auto count = lines.size();
    while (!ended.load()) {
        if (g_interrupted.load()) abort.store(true);
        Progress("Linje " + std::to_string(queued.load()) + " av " + std::to_string(count));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    sender.join();
    if (result != SendResult::OpenFailed)
        Progress("Linje " + std::to_string(queued.load()) + " av " + std::to_string(count) + "\n");
    if (result == SendResult::Cancelled) PrintError("Avbrutt");
    return result == SendResult::Finished ? 0 : 1;
}

int Receive(CliContext& ctx) {
    if (ctx.args.size() != 1) return UsageError("receive tar UTFIL");
    std::string device = ReadPortDevice();
    if (!SerialPortOrSay(device)) return 1;
    std::string section = PortSettingsSection(device, MachineSection(ctx.machine - 1));
    InstallSerialPorts();
    CatchInterrupt();
    std::vector<std::string> lines;
    DialogLoopHooks hooks;
    hooks.aborted = [] { return g_interrupted.load(); };
    hooks.lineReceived = [&](const std::string& line) {
        lines.push_back(line);
        Progress("Mottatt " + std::to_string(lines.size()) + " linjer");
    };
    bool lost = false;
    if (!ReceiveProgram(section, device, hooks, &lost)) return 1;
    Progress("Mottatt " + std::to_string(lines.size()) + " linjer\n");
    if (lost && lines.empty()) return 1;
    std::string out;
    for (auto& l : lines) out += l + "\r\n";
    if (!WriteAllBytes(ctx.args[0], out)) {
        PrintError("Feil ved lagring av " + ctx.args[0]);
        return 1;
    }
    return lost || (g_interrupted.load() && lines.empty()) ? 1 : 0;
}
// The serial ports this computer has, and the names the settings can give them.
int Ports(CliContext& ctx) {
    if (!ctx.args.empty()) return UsageError("ports tar ingen argumenter");
    const SerialPortInventory inv = TakeSerialPortInventory();
    std::string out;
    auto none = [&](bool empty) {
        if (empty) out += "  (ingen)\n";
    };
    out += "USB-adaptere og andre med fast navn (/dev/serial/by-id):\n";
    for (auto& l : inv.byId) out += "  " + l.name + " -> " + (l.target.empty() ? "(borte)" : l.target) + "\n";
    none(inv.byId.empty());
    out += "Innebygde serieporter som svarer:\n";
    for (auto& u : inv.uarts) {
        out += "  " + u;
        // The COM name that reaches the port, unless a link or the map gives it another.
        const std::string com = "COM" + std::to_string(std::stol(u.substr(u.rfind("ttyS") + 4)) + 1);
        if (SerialDevicePath(com) == u) out += " (" + com + ")";
        out += "\n";
    }
    none(inv.uarts.empty());
    out += "COM-navn i /dev:\n";
    for (auto& l : inv.comLinks) out += "  " + l.name + " -> " + (l.target.empty() ? "(borte)" : l.target) + "\n";
    none(inv.comLinks.empty());
    out += std::string("COM-navn i ") + kPortMapKey + " (maskinen før brukeren):\n";
    for (auto& m : inv.mapped)
        out += "  " + m.com + " = " + m.target + (m.machineWide ? " (maskinen)" : " (brukeren)") + "\n";
    none(inv.mapped.empty());
    return WriteAllBytes("-", Cp1252ToUtf8(out)) ? 0 : 1;
}
}  // namespace

SKARV_COMMAND("encode", "[--ini FIL] encode --code NAVN [FIL]", Encode);
SKARV_COMMAND("decode", "[--ini FIL] decode --code NAVN [FIL]", Decode);
SKARV_COMMAND("send", "[--ini FIL] [--machine N] send FIL [--from-line N] [--start-sequence TEKST]", Send);
SKARV_COMMAND("receive", "[--ini FIL] [--machine N] receive UTFIL", Receive);
SKARV_COMMAND("ports", "ports", Ports);
