// The event log of the DNC server, the help viewer, the about box, the information window
// and the start of the configuration program.
#include <QString>

#include "editor/EditUnit.h"
#include "document/EventLog.h"
#include "windows/document/HelpWindow.h"
#include "widgets/Prompter.h"
#include "settings/Launcher.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "windows/info/AboutBox.h"
#include "windows/info/ReklameBilde.h"

void TTextForm::HendelseButtonClick() { ShowLog(); }

void TTextForm::ShowLog() {
    EventLogChoice log = ChooseEventLog(CurrentFolder, CurrentMachine());
    if (!log.found) {
        GetPrompter().Message(kEventLogCaption, log.message);
        return;
    }
    if (!QuerySave()) return;
    TekstFormatering->setChecked(false);  // colouring off
    std::string loaded = LoadDocument(log.file);
    DocumentName name = NameDocument(loaded, CurrentFolder);
    SetFileName(name.fileName);
    SetFolder(name.folder);
    UpdateEditCommands();
}

void TTextForm::Emnerihjelp1Click() {
    HelpFile = ProgramDirectory() + "Hjelp\\" + kHelpFileName;
    if (!HelpWindow) HelpWindow = new THelpWindow(this);
    HelpWindow->OpenContents(HelpFile);
}

void TTextForm::OmProgrammetClick() {
    if (!AboutBox) AboutBox = new TAboutBox(this);
    AboutBox->ShowAbout(kProductName, kAboutDescription, kAboutVersion);
}

void TTextForm::KonfigureringClick() {
    // Started without arguments and without waiting; whether it started is not checked.
    std::string program = ProgramDirectory() + kConfigurationProgram;
    if (!FileExists(program) && FileExists(program + ".exe")) program += ".exe";
    if (Launcher* launcher = GetLauncher()) launcher->Start(ResolvePath(program), {});
    // Closing asks about unsaved changes first; a cancel keeps the editor open.
    close();
}

void TTextForm::Reklame1Click() {
    if (!ReklameBilde) ReklameBilde = new TReklameBilde(this);
    ReklameBilde->exec();
}
