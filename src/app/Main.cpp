// The program start: settings located, messages routed to the windows, one instance per
// file, then the main window and the other windows in their order.
#include <QApplication>

#include <memory>

#include "app/SingleInstance.h"
#include "app/WindowShells.h"
#include "editor/AppTitle.h"
#include "editor/EditUnit.h"
#include "editor/Prompter.h"
#include "platform/QtKeyStore.h"
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
    LocateIniFile(options);
    InitTextDebug();
    InstallPrompterMessageSink();

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
    auto* ftpKlientModul = new TFtpKlientModul(&form);
    auto* roteringForm = new TRoteringForm(&form);
    (void)reklameBilde;
    (void)ftpKlientModul;
    (void)roteringForm;
    form.ReloadQuietDialogs = {aboutBox, askForm, renForm, transForm, trigForm};

    form.show();
    return app.exec();
}
