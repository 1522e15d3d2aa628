#pragma once
// The serial send and receive sequences over a port: the transfer thread's send, and the
// transfer dialog's own send and receive loops. No windows here: the dialog passes hooks.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "settings/Settings.h"
#include "transfer/PortRoute.h"

inline constexpr const char* kEditorSection = "VakoEdit";
inline constexpr const char* kDefaultPort = "Com2";
inline constexpr const char* kOpenCaptionPrefix = "Åpne ";
inline constexpr const char* kOpenFailedText = "Åpning feilet";

// LineLost: a device server's connection went (the reason shown with the device name as
// caption); nothing more was sent.
enum class SendResult { OpenFailed, Finished, Cancelled, LineLost };

// How a send frames the program (section "VakoEdit"), read afresh at the start of each send:
// the start code before the first line, the stop code and "Trailer" NUL bytes after the
// last, the lines per write, whether the port closes at the end, and the tape's 1-based
// start position within a block.
struct SendFraming {
    std::string StartKode;
    std::string StoppKode;
    int32_t Trailer = 0;
    int32_t SendLinjer = 1;
    bool CloseCom = true;
    int32_t StartPos = 0;
};
SendFraming ReadSendFraming();

// The device name of the transfer ("Port" of the editor's section, upper-cased).
std::string ReadPortDevice();
// The section that configures the port: "Port" of the machine's section when "MaskinPort" is
// on (defaulting to the device name), otherwise the device name.
std::string PortSettingsSection(const std::string& device, const std::string& machineSection);
// The priority of the transfer thread, 0 (idle) to 6 (time-critical); other values give 5.
int ReadThreadPriority();
// Where a send of the whole program starts: the leading lines that are empty or begin with a
// character of "FjernLinje" are skipped.
int32_t WholeProgramStartIndex(const std::vector<std::string>& lines);

// The body of the transfer thread. abortTransfer is only read; linesQueued is written after
// each line taken into the send block (the index of the next line). terminated, when given,
// asks the send to stop as a cancel does. Shows "Åpne <device>" / "Åpning feilet" (and the
// device server's reason on the next line) when the port cannot be opened. Finished only
// when the tape end has left the port.
SendResult ThreadSendProgram(const std::vector<std::string>& lines, int32_t startIndex,
                             std::string startSequence, const std::string& portSection,
                             const std::atomic<bool>& abortTransfer,
                             std::atomic<int32_t>& linesQueued,
                             const std::function<bool()>& terminated = {});

// What the dialog's own loops need from the dialog. Every hook may be empty.
struct DialogLoopHooks {
    std::function<void()> disableCommands;    // after the port opened (send: also hides the
                                              // selection when "Vis" is off; receive: clears
                                              // the editor)
    std::function<void()> processMessages;    // after every write or read
    std::function<bool()> aborted;            // the user pressed "Avbryt"
    std::function<void(int32_t)> selectLine;  // send: the line index reached (when "Vis")
    std::function<void()> hideSelection;      // send: after the last line
    std::function<void(const std::string&)> lineReceived;  // receive: a new last line
};

// The send without a thread. The stop code and the trailer go out after a cancel too.
// OpenFailed when the port could not be opened ("Åpne <device>" / "Åpning feilet" shown,
// nothing sent, no hook called).
SendResult ThreadlessSendProgram(const std::vector<std::string>& lines, int32_t startIndex,
                                 std::string startSequence, const std::string& portSection,
                                 const std::string& device, const DialogLoopHooks& hooks);

// The receive loop: lines until the user cancels, or until reception is over after at least
// one line. False when the port could not be opened (message shown, nothing touched). When
// a device server's connection goes, the loop ends with the reason shown; the lines that
// arrived stay, and lineLost (when given) is set.
bool ReceiveProgram(const std::string& portSection, const std::string& device,
                    const DialogLoopHooks& hooks, bool* lineLost = nullptr);
