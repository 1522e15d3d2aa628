// The network commands of the main window: the FTP upload to a machine's server and the
// request to the DNC server to send the saved program to the selected machine.
#include <QComboBox>

#include <exception>

#include "document/DocFiles.h"
#include "editor/EditUnit.h"
#include "widgets/Prompter.h"
#include "platform/PosixFtpClient.h"
#include "platform/PosixLineClient.h"
#include "settings/MessageSink.h"
#include "transfer/FtpKli.h"
#include "windows/transfer/NetPrompts.h"
#include "transfer/TcpTransfer.h"

struct TTextForm::OwnFtpModule {
    PosixFtpClient client;
    TFtpKlientModul module{client};
};

void TTextForm::OwnFtpModuleDeleter::operator()(OwnFtpModule* module) const { delete module; }

bool TTextForm::ConfigureFtp() {
    if (!windows_.FtpKlientModul) {
        ownFtpModule_.reset(new OwnFtpModule);
        windows_.FtpKlientModul = &ownFtpModule_->module;
    }
    // The pauses between the upload's steps keep the window painted.
    windows_.FtpKlientModul->SetPause(PauseRepainting);
    return windows_.FtpKlientModul->Configure();
}

void TTextForm::FTPoverfoeringClick() {
    if (!windows_.FtpKlientModul) ConfigureFtp();
    try {
        FtpTransferCommand(*windows_.FtpKlientModul, actions_.MaskinBoks->currentIndex(),
                           RichEdit1->AllLines(), doc_.FileName);
    } catch (const std::exception& e) {
        ShowMessageBox(kFtpCaptionPrefix, e.what());
    }
}

void TTextForm::TCPoverfoeringClick() {
    PosixLineClient client;
    // The window repaints while the exchange waits on the server.
    client.SetWaitHook(RepaintWhileWaiting);

    TcpDocument doc;
    doc.currentFolder = doc_.CurrentFolder;
    doc.fileName = doc_.FileName;
    if (actions_.MaskinBoks->currentIndex() >= 0)
        doc.machineName = ToCp1252(actions_.MaskinBoks->currentText());
    doc.modified = RichEdit1->Modified();

    // "AutoSave" is the plain write of the editor's lines (no backup, recent list untouched);
    // the document then counts as unmodified and its file stamp follows the new file, so the
    // change-on-disk question does not ask about our own write.
    std::vector<std::string> lines = RichEdit1->AllLines();
    doc.lines = &lines;
    TcpTransferUi ui = PrompterTcpUi([this] {
        RichEdit1->SetModified(false);
        doc_.FileStamp = FileAge(doc_.CurrentFolder + doc_.FileName);
    });
    ui.hourglass = [this](bool on) {
        if (on)
            HourglassOn();
        else
            HourglassOff();
    };
    try {
        RunTcpTransfer(client, VakoAddress{doc_.TcpClient.RemoteHost, doc_.TcpClient.RemotePort},
                       doc, ui);
    } catch (const std::exception& e) {
        HourglassOff();
        ShowMessageBox(kTcpTransferCaption, e.what());
    }
}
