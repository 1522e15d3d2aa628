// skarv ftp and tcp: the FTP upload and the DNC server's transfer request from a script.
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/PosixFtpClient.h"
#include "platform/PosixLineClient.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/TextUtil.h"
#include "transfer/FtpKli.h"
#include "transfer/TcpTransfer.h"

namespace {
// FILE's text as the editor holds it: its lines, read by the text-file rules.
bool ReadLines(const std::string& name, std::vector<std::string>& lines) {
    TextFile f;
    bool ok = true;
    OpenTextForRead(name, f, ok);
    while (ok && MoreText(f)) {
        std::string line;
        ReadTextLine(f, line, ok);
        if (ok) lines.push_back(line);
    }
    CloseText(f, ok);
    return ok;
}

// The path as the DNC server sees it: DNC form, absolute.
std::string AbsoluteDncPath(const std::string& name) {
    if (name.find('\\') != std::string::npos || (name.size() >= 2 && name[1] == ':')) return name;
    std::string native = name;
    if (native.empty() || native[0] != '/') {
        char buf[4096];
        if (::getcwd(buf, sizeof buf)) native = std::string(buf) + "/" + native;
    }
    return NativeToDncPath(native);
}

int Ftp(CliContext& ctx) {
    if (ctx.args.size() != 1) return UsageError("ftp tar én fil");
    const std::string& name = ctx.args[0];
    std::vector<std::string> lines;
    InputFile probe;  // only a regular file; says why not
    if (!probe.Open(name)) {
        PrintError(LoadFailureText(name, probe.Fault()));
        return 1;
    }
    probe.Close();
    if (!ReadLines(name, lines)) {
        PrintError(LoadFailureText(name, InputFault::ReadError));
        return 1;
    }
    PosixFtpClient client;
    TFtpKlientModul ftp(client);
    if (!ftp.Configure()) {
        PrintError(std::string("FTP-overføring er ikke satt opp: \"Server\" mangler i [") +
                   kFtpSection + "]");
        return 1;
    }
    return FtpUploadText(ftp, ctx.machine - 1, lines, name) ? 0 : 1;
}

int Tcp(CliContext& ctx) {
    if (ctx.args.size() != 1) return UsageError("tcp tar én fil");
    VakoAddress server = ReadVakoAddress();
    if (server.host.empty()) {
        PrintError(std::string("TCP-overføring er ikke satt opp: \"VakoIP\" mangler i [") +
                   kTcpSection + "]");
        return 1;
    }
    std::string section = MachineSection(ctx.machine - 1);
    std::string machineName = ReadIniString(section, "Navn", section);
    std::string path = AbsoluteDncPath(ctx.args[0]);
    if (HasControlByte(machineName) || HasControlByte(path)) {
        PrintError(kTcpControlByteText);
        return 1;
    }
    PosixLineClient client;
    std::string reply = VakoExchange(client, server, VakoRequestLine(machineName, path));
    if (reply == kTcpReplyOk) return 0;
    PrintError(reply);
    return 1;
}
}  // namespace

SKARV_COMMAND("ftp", "[--ini FIL] [--machine N] ftp FIL", Ftp);
SKARV_COMMAND("tcp", "[--ini FIL] [--machine N] tcp FIL", Tcp);
