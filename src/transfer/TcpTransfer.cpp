#include "transfer/TcpTransfer.h"

#include "document/DocFiles.h"
#include "settings/MessageSink.h"
#include "settings/Settings.h"
#include "settings/TextUtil.h"

VakoAddress ParseVakoIP(const std::string& value) {
    VakoAddress a;
    size_t colon = value.find(':');
    if (colon == std::string::npos) {
        a.host = value;
    } else {
        a.host = value.substr(0, colon);
        a.port = value.substr(colon + 1);
    }
    return a;
}

VakoAddress ReadVakoAddress() { return ParseVakoIP(ReadIniText(kTcpSection, "VakoIP", "")); }

std::string VakoRequestLine(const std::string& machineName, const std::string& path) {
    return "Send;" + machineName + ";" + path;
}

bool HasControlByte(std::string_view s) {
    for (unsigned char c : s)
        if (c < 32 || c == 127) return true;
    return false;
}

std::string VakoExchange(LineClient& client, const VakoAddress& server,
                         const std::string& requestLine) {
    std::string reply;
    if (!client.Connect(server.host, server.port) || !client.SendLine(requestLine, "\r\n")) {
        reply = kTcpNoContactText;
    } else {
        switch (client.ReceiveLine(reply)) {
        case LineClient::Receive::Line:
        case LineClient::Receive::Closed:
            break;
        case LineClient::Receive::TimedOut:
            reply = kTcpNoReplyText;
            break;
        case LineClient::Receive::Failed:
            if (reply.empty()) reply = kTcpNoContactText;
            break;
        }
    }
    client.Disconnect();
    return reply;
}

TcpResult RunTcpTransfer(LineClient& client, const VakoAddress& server, TcpDocument& doc,
                         const TcpTransferUi& ui) {
    auto warn = [&](const char* caption, const char* text) {
        if (ui.warn)
            ui.warn(caption, text);
        else
            ShowMessageBox(caption, text);
    };
    TcpResult result;
    if (doc.currentFolder.empty() || doc.machineName.empty()) {
        warn(kTcpTransferCaption, kTcpSelectMachineText);
        result.outcome = TcpOutcome::NoMachine;
        return result;
    }
    bool autoSave = ReadIniBool(kTcpSection, "AutoSave", false) && !doc.fileName.empty();
    if (autoSave && ui.save) {
        // The window saves the document its own way; a failed save leaves it modified.
        if (ui.save()) {
            doc.modified = false;
            if (ui.saved) ui.saved();
        }
    } else if (autoSave && doc.lines) {
        // A plain write: no backup copy, the recent-files list untouched. A failed write
        // keeps the document modified, so nothing half-written is sent. Without the lines
        // nothing is written: an empty write would wipe the file.
        std::string text;
        for (const auto& line : *doc.lines) {
            text += line;
            text += "\r\n";
        }
        // Written beside the file and renamed into place: a failed write keeps the old file.
        bool ok = SaveTextSafely(doc.currentFolder + doc.fileName, text, false).ok;
        if (ok) {
            doc.modified = false;
            if (ui.saved) ui.saved();
        }
    }
    if (doc.modified || doc.fileName.empty()) {
        warn(kTcpSendFileCaption, kTcpSaveFirstText);
        result.outcome = TcpOutcome::NotSaved;
        return result;
    }
    std::string path = doc.currentFolder + doc.fileName;
    if (HasControlByte(doc.machineName) || HasControlByte(path)) {
        warn(kTcpTransferCaption, kTcpControlByteText);
        result.outcome = TcpOutcome::Refused;
        return result;
    }
    if (!ui.confirm || !ui.confirm(kTcpConfirmCaption, kTcpConfirmText)) {
        result.outcome = TcpOutcome::Declined;
        return result;
    }
    if (ui.hourglass) ui.hourglass(true);
    result.reply = VakoExchange(client, server, VakoRequestLine(doc.machineName, path));
    if (ui.hourglass) ui.hourglass(false);
    if (result.reply == kTcpReplyOk) {
        result.outcome = TcpOutcome::Sent;
    } else {
        result.outcome = TcpOutcome::Shown;
        if (ui.show)
            ui.show(result.reply);
        else
            ShowMessageBox("", result.reply);
    }
    return result;
}
