// The program start: settings located, messages routed to the windows, one instance per
// file, then the main window and the other windows in their order.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <exception>

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
#include "editor/EditUnitRecovery.h"
#include "widgets/GuardedApplication.h"
#include "widgets/Prompter.h"
#include "platform/QtKeyStore.h"
#include "settings/Installation.h"
#include "settings/Settings.h"
#include "settings/TextUtil.h"

namespace {
int RunProgram(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    app.setDesktopFileName(QStringLiteral("no.vako.SkarvEditor"));  // the installed menu entry
    static QtKeyStore store;
    SetKeyStore(&store);

    const std::vector<std::string> arguments = CommandLineArguments(argc, argv);
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
    // Unsaved work kept against a crash, and the work an earlier editor left.
    const std::string recoveryFolder = RecoveryFolder();
    form.StartRecovery(recoveryFolder, RecoveryIntervalMs());
    EndOnTerminationSignals(form);
    QTimer::singleShot(0, &form, [&form, recoveryFolder] { form.OfferRecoveredWork(recoveryFolder); });
    return app.exec();
}
}  // namespace

int main(int argc, char** argv) {
    // The event loop has its own guard; this one catches what fails around it (the start
    // before the window, the windows' creation) so that nothing ends in an abort.
    try {
        return RunProgram(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "VakoEdit: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "VakoEdit: %s\n", kUnknownErrorBoxText);
    }
    return 1;
}
