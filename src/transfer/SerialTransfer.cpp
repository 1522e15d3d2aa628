#include "transfer/SerialTransfer.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "settings/MessageSink.h"
#include "transfer/EditCom.h"

namespace {
// The end of the tape: "StoppKode", then "Trailer" NUL bytes.
void WriteStopCodeAndTrailer(TComPort& port, const SendFraming& framing) {
    std::string block = framing.StoppKode;
    WriteComBlock(port, block);
    if (framing.Trailer > 0) {
        block.assign(static_cast<size_t>(framing.Trailer), '\0');
        WriteComBlock(port, block);
    }
}

// Waiting for the cancel with the port kept open: a short sleep per pass keeps the wait from
// taking a processor.
constexpr auto kIdlePass = std::chrono::milliseconds(5);

// A device server's reason goes on the line under the system's own words.
void ShowOpenFailed(const std::string& device, const TComPort& port) {
    std::string text = kOpenFailedText;
    if (!port.LineError.empty()) text += "\r" + port.LineError;
    ShowMessageBox(std::string(kOpenCaptionPrefix) + device, text);
}

// The line is gone: nothing more can be sent or received over it.
bool LineLost(TComPort& port, const std::string& device) {
    if (!ComLineLost(port)) return false;
    ShowMessageBox(device, port.LineError);
    return true;
}

bool IsStarLine(const std::string& s) { return !s.empty() && s[0] == '*'; }
}  // namespace

SendFraming ReadSendFraming() {
    SendFraming f;
    f.StartKode = ReadIniString(kEditorSection, "StartKode", "", true);
    f.StoppKode = ReadIniString(kEditorSection, "StoppKode", "", true);
    f.Trailer = ReadIniInt(kEditorSection, "Trailer", 0);
    f.SendLinjer = ReadIniInt(kEditorSection, "SendLinjer", 1);
    f.CloseCom = ReadIniBool(kEditorSection, "CloseCom", true);
    f.StartPos = ReadIniInt(kEditorSection, "StartPos", 0);
    return f;
}

std::string ReadPortDevice() { return ReadIniString(kEditorSection, "Port", kDefaultPort); }

std::string PortSettingsSection(const std::string& device, const std::string& machineSection) {
    if (ReadIniBool(kEditorSection, "MaskinPort", false))
        return ReadIniString(machineSection, "Port", device);
    return device;
}

int ReadThreadPriority() {
    int p = ReadIniInt(kEditorSection, "ThreadPriority", 5);
    return (p >= 0 && p <= 6) ? p : 5;
}

int32_t WholeProgramStartIndex(const std::vector<std::string>& lines) {
    CharSet set;
    ReadIniCharSet(kEditorSection, "FjernLinje", "", set);
    if (set.none()) return 0;
    int32_t i = 0;
    while (i < static_cast<int32_t>(lines.size()) &&
           (lines[i].empty() || set.test(static_cast<uint8_t>(lines[i][0]))))
        ++i;
    return i;
}

SendResult ThreadSendProgram(const std::vector<std::string>& lines, int32_t startIndex,
                             std::string startSequence, const std::string& portSection,
                             const std::atomic<bool>& abortTransfer,
                             std::atomic<int32_t>& linesQueued,
                             const std::function<bool()>& terminated) {
    std::string device = ReadPortDevice();
    TComPort port;
    bool ok = false;
    OpenComPort(portSection, device, true, ok, port);
    if (!ok) {
        // The old thread ended here without a word; the user is told, as the dialog's own
        // loop does.
        ShowOpenFailed(device, port);
        return SendResult::OpenFailed;
    }
    const SendFraming framing = ReadSendFraming();
    if (!startSequence.empty()) startSequence += port.Eob;
    std::string block = framing.StartKode + startSequence;
    const int32_t batch = std::max(framing.SendLinjer, 1);

    int32_t index = startIndex < 0 ? 0 : startIndex;
    bool finished = false;
    for (;;) {
        WriteComBlock(port, block);
        if (LineLost(port, device)) break;
        if (block.empty()) {
            const auto count = static_cast<int32_t>(lines.size());
            finished = index >= count;
            // Lines that begin with "*" are never sent: they are taken and left out, and do not
            // count towards the batch.
            int32_t left = batch;
            while (left > 0 && index < count) {
                const std::string& line = lines[static_cast<size_t>(index)];
                ++index;
                linesQueued.store(index, std::memory_order_relaxed);
                if (IsStarLine(line)) continue;
                block += line;
                block += port.Eob;
                --left;
            }
        }
        if (abortTransfer.load(std::memory_order_relaxed) || finished || (terminated && terminated()))
            break;
    }
    SendResult result = port.LineError.empty() ? SendResult::Cancelled : SendResult::LineLost;
    if (finished) {
        result = SendResult::Finished;
        WriteStopCodeAndTrailer(port, framing);
        // The transfer is over when the last byte has left the port, not when it is queued:
        // a machine that holds XOFF at the end is waited for until the user cancels.
        while (!DrainComPort(port)) {
            if (LineLost(port, device)) {
                result = SendResult::LineLost;
                break;
            }
            if (abortTransfer.load(std::memory_order_relaxed) || (terminated && terminated())) {
                result = SendResult::Cancelled;
                break;
            }
        }
        if (result == SendResult::Finished && !framing.CloseCom) {
            while (!abortTransfer.load(std::memory_order_relaxed) && !(terminated && terminated()))
                std::this_thread::sleep_for(kIdlePass);
        }
    }
    CloseComPort(port);
    return result;
}

SendResult ThreadlessSendProgram(const std::vector<std::string>& lines, int32_t startIndex,
                                 std::string startSequence, const std::string& portSection,
                                 const std::string& device, const DialogLoopHooks& hooks) {
    auto pump = [&] {
        if (hooks.processMessages) hooks.processMessages();
    };
    auto aborted = [&] { return hooks.aborted && hooks.aborted(); };
    TComPort port;
    bool ok = false;
    OpenComPort(portSection, device, true, ok, port);
    if (!ok) {
        ShowOpenFailed(device, port);
        return SendResult::OpenFailed;
    }
    if (hooks.disableCommands) hooks.disableCommands();
    const SendFraming framing = ReadSendFraming();
    if (!startSequence.empty()) startSequence += port.Eob;
    std::string block = framing.StartKode + startSequence;

    int32_t index = startIndex < 0 ? 0 : startIndex;
    const auto count = static_cast<int32_t>(lines.size());
    bool finished = false;
    auto takeLine = [&] {
        if (index >= count) {
            finished = true;
            block.clear();  // a last line that begins with "*" is dropped here
        } else {
            block = lines[static_cast<size_t>(index)] + port.Eob;
            ++index;
        }
    };
    bool lost = false;
    for (;;) {
        WriteComBlock(port, block);
        if ((lost = LineLost(port, device))) break;
        pump();
        if (!aborted() && block.empty()) {
            takeLine();
            while (!finished && IsStarLine(block)) takeLine();
            if (!finished && hooks.selectLine) hooks.selectLine(index);
        }
        if (aborted() || finished) break;
    }
    if (hooks.hideSelection) hooks.hideSelection();
    if (lost) {
        CloseComPort(port);
        return SendResult::LineLost;
    }
    // Unlike the thread, the stop code and the trailer go out after a cancel too.
    WriteStopCodeAndTrailer(port, framing);
    // Until the tape end has left the port; after a cancel one more write timeout at most.
    while (!DrainComPort(port)) {
        pump();
        if (LineLost(port, device)) {
            CloseComPort(port);
            return SendResult::LineLost;
        }
        if (aborted()) {
            finished = false;
            break;
        }
    }
    if (!framing.CloseCom) {
        while (!aborted()) {
            std::this_thread::sleep_for(kIdlePass);
            pump();
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    CloseComPort(port);
    return finished ? SendResult::Finished : SendResult::Cancelled;
}

bool ReceiveProgram(const std::string& portSection, const std::string& device,
                    const DialogLoopHooks& hooks, bool* lineLost) {
    TComPort port;
    bool ok = false;
    OpenComPort(portSection, device, false, ok, port);
    if (!ok) {
        ShowOpenFailed(device, port);
        return false;
    }
    if (hooks.disableCommands) hooks.disableCommands();
    bool arrived = false;
    for (;;) {
        std::string line;
        bool done = false;
        ReadComLine(port, line, done);
        if (hooks.processMessages) hooks.processMessages();
        if (!line.empty()) {
            if (hooks.lineReceived) hooks.lineReceived(line);
            arrived = true;
        }
        // Before the first line the loop waits for data; a line that is gone ends that wait.
        // After lines have come, the end of the connection is the end of the reception.
        if (done && !arrived && LineLost(port, device)) {
            if (lineLost) *lineLost = true;
            break;
        }
        if ((hooks.aborted && hooks.aborted()) || (done && arrived)) break;
    }
    CloseComPort(port);
    return true;
}
