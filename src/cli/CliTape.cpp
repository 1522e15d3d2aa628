// skarv tape: a tape transfer through the parallel I/O card from the command line, the same
// loops the transfer dialog runs. With SKARV_SIMULATED_CARD=1 the simulated card and machine
// stand in for the card, so the demo shop's tape machine can be watched without one.
#include <csignal>
#include <cstdio>

#include "cli/Cli.h"
#include "nctools/LineList.h"
#include "platform/DevPortDriver.h"
#include "settings/PathResolve.h"
#include "transfer/TapeLoops.h"

namespace {
volatile std::sig_atomic_t g_aborted = 0;
void OnInterrupt(int) { g_aborted = 1; }

int Tape(CliContext& ctx) {
    if (ctx.args.empty() || (ctx.args[0] != "send" && ctx.args[0] != "receive"))
        return UsageError("tape tar send FIL [LINJE] eller receive [FIL]");
    InstallPlatformIoDriver();
    LoadPunchSection();
    SetPortErrorBox([](const std::string& caption, const std::string& text) {
        PrintError(caption + ": " + text);
    });
    g_aborted = 0;
    std::signal(SIGINT, OnInterrupt);
    TapeLoopHooks hooks;
    hooks.passMessages = [] { return g_aborted != 0; };
    TapeResult result;
    if (ctx.args[0] == "send") {
        if (ctx.args.size() < 2 || ctx.args.size() > 3) return UsageError("tape send tar FIL [LINJE]");
        std::string bytes;
        if (!LoadInput(ctx.args[1], bytes)) return 1;
        std::vector<std::string> lines = SplitLines(bytes);
        int start = 0;
        if (ctx.args.size() == 3 && (!ParseCliInt(ctx.args[2], start) || start < 0 ||
                                     start >= int(lines.size()) + (lines.empty() ? 1 : 0)))
            return UsageError("ugyldig linje: " + ctx.args[2]);
        bool started = false;  // the first selection is the start line, before the machine
        hooks.selectLine = [&lines, &started](int line, int) {
            if (!started) {
                started = true;
                return;
            }
            std::string t = Cp1252ToUtf8(lines[size_t(line)]);
            std::fprintf(stderr, "%5d  %s\n", line + 1, t.c_str());
        };
        result = TapeSend(lines, start, "", true, hooks);
    } else {
        if (ctx.args.size() > 2) return UsageError("tape receive tar høyst én fil");
        std::string received;
        hooks.addLine = [&received](const std::string& line) {
            received += line + "\r\n";
            std::fprintf(stderr, "%s\n", Cp1252ToUtf8(line).c_str());
        };
        result = TapeReceive(hooks);
        const std::string target = ctx.args.size() == 2 ? ctx.args[1] : "-";
        if (result != TapeResult::OpenFailed && !WriteAllBytes(target, received)) {
            PrintError("Feil med lagring av " + target);
            return 1;
        }
    }
    std::signal(SIGINT, SIG_DFL);
    switch (result) {
    case TapeResult::Finished: return 0;
    case TapeResult::Aborted: return 130;
    default: return 1;
    }
}
}  // namespace

SKARV_COMMAND("tape", "[--ini FIL] tape send FIL [LINJE] | tape receive [FIL]", Tape);
