#pragma once
// The transfer dialog's two loops for the tape card: sending a program as a tape that the
// machine runs forwards and backwards (reader emulation), and receiving punched lines
// (punch emulation). The dialog wires the hooks to itself and its editor.
#include <functional>
#include <string>
#include <vector>

#include "transfer/Punch.h"
#include "transfer/SerialTransfer.h"  // kOpenFailedText, shared with the serial port

inline constexpr const char* kOpenParallelCaption = "Åpne parallellport";
inline constexpr const char* kSendDataCaption = "Sende data";
inline constexpr const char* kRanOffTape = "Spolte utforbi tapen";

struct TapeLoopHooks {
    // DisableCommands of the dialog, once the card is open.
    std::function<void()> disableCommands;
    // A pass of the user interface's pending messages; returns true when the user has
    // pressed Avbryt (Aborted).
    std::function<bool()> passMessages;
    // The editor shows (true) or hides (false) its selection.
    std::function<void(bool show)> showSelection;
    // Select the line at index (from its first character over its length). When caretLine is
    // 0 or above, the caret is first placed on that line (ten lines further on) so that the
    // lines ahead stay in view.
    std::function<void(int line, int caretLine)> selectLine;
    // Receiving: the editor's text is cleared, then each line is added as a new last line.
    std::function<void()> clearText;
    std::function<void(const std::string& line)> addLine;
};

enum class TapeResult {
    OpenFailed,  // "Åpning feilet" was shown; nothing was sent or received
    Aborted,     // the user cancelled (also while waiting for the machine)
    Finished,    // the machine stopped (send) or reception ended after lines arrived
    RanOffTape,  // the machine asked for more beyond an end: "Spolte utforbi tapen" shown
    PortFailed,  // the card failed; its own error box was shown
};

// Sends lines from startIndex on, after the start block ("StartKode" plus the start
// sequence, which gets the end-of-block string when not empty). vis: the Vis check box.
TapeResult TapeSend(const std::vector<std::string>& lines, int startIndex,
                    const std::string& startSequence, bool vis, const TapeLoopHooks& hooks,
                    TPortIO* io = nullptr);

// Receives punched lines into the editor until reception is over and a line has arrived,
// or the user cancels.
TapeResult TapeReceive(const TapeLoopHooks& hooks, TPortIO* io = nullptr);
