#pragma once
// The DNC server's TCP transfer: the editor asks the server, in one short exchange, to send
// the saved program file to the selected machine. The checks and questions before it, the
// request line and the reply.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/LineClient.h"

inline constexpr const char* kTcpSection = "VakoTcp";
inline constexpr const char* kVakoDefaultPort = "50000";
inline constexpr const char* kTcpTransferCaption = "Programoverføring";
inline constexpr const char* kTcpSelectMachineText = "Velg maskin først!";
inline constexpr const char* kTcpSendFileCaption = "Sende fil";
inline constexpr const char* kTcpSaveFirstText = "Lagre filen først!";
inline constexpr const char* kTcpConfirmCaption = "Bekreft";
inline constexpr const char* kTcpConfirmText = "Bekreft at maskinen ikke kjører noe program";
inline constexpr const char* kTcpNoContactText = "Ingen kontakt med Skarv-Vako-server";
inline constexpr const char* kTcpNoReplyText = "Ingen svar fra Skarv-Vako-server";
inline constexpr const char* kTcpControlByteText =
    "Maskinnavnet eller filnavnet inneholder et kontrolltegn. Ingenting er sendt.";
inline constexpr const char* kTcpReplyOk = "OK";

struct VakoAddress {
    std::string host;
    std::string port = kVakoDefaultPort;
};
// "host" or "host:port" (split at the first colon); the port is 50000 without one.
VakoAddress ParseVakoIP(const std::string& value);
// "VakoTcp"/"VakoIP" as stored; empty host when not set (the command is hidden then).
VakoAddress ReadVakoAddress();

// "Send;" + machine name + ";" + path, without the line end.
std::string VakoRequestLine(const std::string& machineName, const std::string& path);
// A byte below 32 or DEL: would let the line carry a second request.
bool HasControlByte(std::string_view s);
// Connect, send the line with CR LF, read the reply line, disconnect. The reply, or
// "Ingen kontakt med Skarv-Vako-server" without a connection, or "Ingen svar fra
// Skarv-Vako-server" when no line came within the time limit.
std::string VakoExchange(LineClient& client, const VakoAddress& server,
                         const std::string& requestLine);

// What the window supplies: its document state and its dialogs.
struct TcpDocument {
    std::string currentFolder;
    std::string fileName;                    // relative to currentFolder; empty when untitled
    std::string machineName;                 // as shown in the machine box; empty for none
    bool modified = false;                   // in/out: cleared by the automatic save
    const std::vector<std::string>* lines = nullptr;  // the editor's lines, for the automatic save
};

struct TcpTransferUi {
    // A box with the exclamation icon, owned by the window.
    std::function<void(const std::string& caption, const std::string& text)> warn;
    // Yes/No with the question icon, No the default button; true for Yes.
    std::function<bool(const std::string& caption, const std::string& text)> confirm;
    // A plain box (no icon, OK button) with the server's reply.
    std::function<void(const std::string& text)> show;
    // Hourglass on (true) and off (false) around the exchange.
    std::function<void(bool on)> hourglass;
    // The automatic save wrote the file: clear the window's modified flag.
    std::function<void()> saved;
    // The automatic save through the window's own save; true when the document is saved
    // now. Without it the lines are written plainly to the document's path.
    std::function<bool()> save;
};

enum class TcpOutcome { NoMachine, NotSaved, Refused, Declined, Sent, Shown };
struct TcpResult {
    TcpOutcome outcome = TcpOutcome::NoMachine;
    std::string reply;
};

// The TCP transfer command. Missing callbacks: warnings and replies go to ShowMessageBox,
// the question is answered No.
TcpResult RunTcpTransfer(LineClient& client, const VakoAddress& server, TcpDocument& doc,
                         const TcpTransferUi& ui);
