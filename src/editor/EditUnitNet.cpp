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
    if (!FtpKlientModul) {
        ownFtpModule.reset(new OwnFtpModule);
        FtpKlientModul = &ownFtpModule->module;
    }
    // The pauses between the upload's steps keep the window painted.
    FtpKlientModul->SetPause(PauseRepainting);
    return FtpKlientModul->Configure();
}

void TTextForm::FTPoverfoeringClick() {
    if (!FtpKlientModul) ConfigureFtp();
    try {
        FtpTransferCommand(*FtpKlientModul, MaskinBoks->currentIndex(), RichEdit1->AllLines(),
                           FileName);
    } catch (const std::exception& e) {
        ShowMessageBox(kFtpCaptionPrefix, e.what());
    }
}

void TTextForm::TCPoverfoeringClick() {
    PosixLineClient client;
    // The window repaints while the exchange waits on the server.
    client.SetWaitHook(RepaintWhileWaiting);

    TcpDocument doc;
    doc.currentFolder = CurrentFolder;
    doc.fileName = FileName;
    if (MaskinBoks->currentIndex() >= 0) doc.machineName = ToCp1252(MaskinBoks->currentText());
    doc.modified = RichEdit1->Modified();

    // "AutoSave" is the plain write of the editor's lines (no backup, recent list untouched);
    // the document then counts as unmodified and its file stamp follows the new file, so the
    // change-on-disk question does not ask about our own write.
    std::vector<std::string> lines = RichEdit1->AllLines();
    doc.lines = &lines;
    TcpTransferUi ui = PrompterTcpUi([this] {
        RichEdit1->SetModified(false);
        FileStamp = FileAge(CurrentFolder + FileName);
    });
    ui.hourglass = [this](bool on) {
        if (on)
            HourglassOn();
        else
            HourglassOff();
    };
    try {
        RunTcpTransfer(client, VakoAddress{TcpClient.RemoteHost, TcpClient.RemotePort}, doc, ui);
    } catch (const std::exception& e) {
        HourglassOff();
        ShowMessageBox(kTcpTransferCaption, e.what());
    }
}
