// The program start: settings located, messages routed to the windows, one instance per
// file, then the main window and the other windows in their order.
#include <QApplication>

#include <memory>

#include "app/SingleInstance.h"
#include "windows/calc/RoteringForm.h"
#include "windows/calc/TrigForm.h"
#include "windows/nctools/RenumForm.h"
#include "platform/PosixFtpClient.h"
#include "platform/DevPortDriver.h"
#include "platform/ProcessLauncher.h"
#include "platform/NetSerial.h"
#include "windows/print/PrintCommand.h"
#include "settings/Launcher.h"
#include "windows/transfer/AskDlg.h"
#include "windows/transfer/EditTran.h"
#include "transfer/FtpKli.h"
#include "transfer/IO.h"
#include "transfer/Punch.h"
#include "windows/info/AboutBox.h"
#include "windows/info/ReklameBilde.h"
#include "document/AppTitle.h"
#include "editor/EditUnit.h"
#include "widgets/Prompter.h"
#include "platform/QtKeyStore.h"
#include "settings/Installation.h"
#include "settings/Settings.h"
#include "settings/TextUtil.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    static QtKeyStore store;
    SetKeyStore(&store);

    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    LocateOptions options;
    options.programDirectory = RunningProgramDirectory();
    options.arguments = arguments;
    UseInstalledLayout(options);
    LocateIniFile(options);
    InitTextDebug();
    InstallPrompterMessageSink();
    static ProcessLauncher launcher;
    SetLauncher(&launcher);
    InstallSerialPorts();
    InstallPlatformIoDriver();
    LoadPunchSection();
    SetPortErrorBox([](const std::string& c, const std::string& t) { GetPrompter().Error(c, t); });
    VelgDefaultSkriver();

    SetApplicationTitle(kProductName);
    if (!ActivatePreviousInstance(arguments)) return 0;
    InstanceServer instance;

    TTextForm form(arguments);
    instance.onActivate = [&form] { form.BringToFront(); };
    auto* renForm = new TRenForm(&form);
    auto* reklameBilde = new TReklameBilde(&form);
    auto* transForm = new TTransForm(&form);
    auto* askForm = new TAskForm(&form);
    auto* trigForm = new TTrigForm(&form);
    auto* aboutBox = new TAboutBox(&form);
    static PosixFtpClient ftpClient;
    static TFtpKlientModul ftpKlientModul(ftpClient);
    auto* roteringForm = new TRoteringForm(&form);
    OtherWindows& windows = form.Windows();
    windows.RenForm = renForm;
    windows.ReklameBilde = reklameBilde;
    windows.TransForm = transForm;
    windows.AskForm = askForm;
    transForm->AskForm = askForm;
    windows.TrigForm = trigForm;
    windows.AboutBox = aboutBox;
    windows.FtpKlientModul = &ftpKlientModul;
    windows.RoteringForm = roteringForm;
    windows.ReloadQuietDialogs = {aboutBox, askForm, renForm, transForm, trigForm};

    form.show();
    return app.exec();
}
