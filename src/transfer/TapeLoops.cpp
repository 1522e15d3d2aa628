#include "transfer/TapeLoops.h"

#include <thread>

#include "settings/MessageSink.h"

namespace {
bool Pass(const TapeLoopHooks& h) { return h.passMessages ? h.passMessages() : false; }
void ShowSelection(const TapeLoopHooks& h, bool show) {
    if (h.showSelection) h.showSelection(show);
}

// Sends the block from its start (forward) or its end (backward), or from the 1-based
// position startPos when that lies inside it.
bool SendBlock(TPunch& punch, const std::string& block, bool forward, int startPos) {
    const int n = int(block.size());
    if (n == 0) return true;
    int i = (startPos > 0 && startPos <= n) ? startPos - 1 : (forward ? 0 : n - 1);
    for (; i >= 0 && i < n; i += forward ? 1 : -1)
        if (!SendChar(punch, uint8_t(block[size_t(i)]))) return false;
    return true;
}
}  // namespace

TapeResult TapeSend(const std::vector<std::string>& lines, int startIndex,
                    const std::string& startSequence, bool vis, const TapeLoopHooks& hooks,
                    TPortIO* io) {
    TPunch punch;
    if (!PunchOpen(punch, io)) {
        ShowMessageBox(kOpenParallelCaption, kOpenFailedText);
        return TapeResult::OpenFailed;
    }
    if (hooks.disableCommands) hooks.disableCommands();
    const SendFraming framing = ReadSendFraming();
    const std::string& startCode = framing.StartKode;
    const std::string& stopCode = framing.StoppKode;
    std::string block = startCode + startSequence;
    if (!startSequence.empty()) block += punch.Eob;
    int startPos = framing.StartPos;
    const int count = int(lines.size());
    ShowSelection(hooks, vis);
    if (vis && hooks.selectLine && startIndex >= 0 && startIndex < count)
        hooks.selectLine(startIndex, -1);

    TapeResult result = TapeResult::Finished;
    bool forward = true, ready = false, aborted = false;
    for (;;) {
        ReaderStatus(punch, forward, ready);
        aborted = Pass(hooks);
        if (ready || aborted || punch.PortFailed) break;
        std::this_thread::yield();
    }
    if (aborted) result = TapeResult::Aborted;
    if (punch.PortFailed) result = TapeResult::PortFailed;
    if (ready && !aborted && !punch.PortFailed) {
        int index = startIndex;
        bool firstBlock = true;
        bool blockForward = forward;
        for (;;) {
            if (!SendBlock(punch, block, blockForward, startPos)) {
                result = TapeResult::PortFailed;
                break;
            }
            startPos = 0;
            bool keepWaitingAborted = false;
            auto keepWaiting = [&]() { return !(keepWaitingAborted = Pass(hooks)); };
            ready = false;
            for (;;) {
                WaitReaderReady(punch, forward, ready, keepWaiting);
                aborted = keepWaitingAborted || Pass(hooks);
                if (ready || aborted || punch.PortFailed) break;
            }
            if (!ready || aborted) {
                result = punch.PortFailed ? TapeResult::PortFailed : TapeResult::Aborted;
                break;
            }
            if (!firstBlock && forward == blockForward) index += forward ? 1 : -1;
            firstBlock = false;
            blockForward = forward;
            bool valid = true;
            if (index >= 0 && index < count) {
                block = lines[size_t(index)] + punch.Eob;
                if (vis && hooks.selectLine) hooks.selectLine(index, index + 10 < count ? index + 10 : -1);
            } else if (index == -1) {
                block = startCode;
                valid = !block.empty();
            } else if (index == count) {
                block = stopCode;
                valid = !block.empty();
            } else {
                valid = false;
            }
            aborted = Pass(hooks);
            if (!valid) {
                result = TapeResult::RanOffTape;
                break;
            }
            if (aborted) {
                result = TapeResult::Aborted;
                break;
            }
        }
    }
    ShowSelection(hooks, false);
    PunchClose(punch);
    if (result == TapeResult::RanOffTape) ShowMessageBox(kSendDataCaption, kRanOffTape);
    return result;
}

TapeResult TapeReceive(const TapeLoopHooks& hooks, TPortIO* io) {
    TPunch punch;
    if (!PunchOpen(punch, io)) {
        ShowMessageBox(kOpenParallelCaption, kOpenFailedText);
        return TapeResult::OpenFailed;
    }
    if (hooks.disableCommands) hooks.disableCommands();
    if (hooks.clearText) hooks.clearText();
    bool arrived = false;
    TapeResult result = TapeResult::Finished;
    for (;;) {
        std::string line;
        bool done = false;
        ReceiveLine(punch, line, done);
        bool aborted = Pass(hooks);
        if (!line.empty()) {
            if (hooks.addLine) hooks.addLine(line);
            arrived = true;
        }
        if (aborted) {
            result = TapeResult::Aborted;
            break;
        }
        if (punch.PortFailed) {
            result = TapeResult::PortFailed;
            break;
        }
        if (done && arrived) break;
    }
    PunchClose(punch);
    return result;
}
