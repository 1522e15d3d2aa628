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
    EventLogChoice log = ChooseEventLog(doc_.CurrentFolder, CurrentMachine());
    if (!log.found) {
        GetPrompter().Message(kEventLogCaption, log.message);
        return;
    }
    if (!QuerySave()) return;
    colour_->SetOn(false);  // colouring off
    std::string loaded = LoadDocument(log.file);
    DocumentName name = NameDocument(loaded, doc_.CurrentFolder);
    SetFileName(name.fileName);
    SetFolder(name.folder);
    UpdateEditCommands();
}

void TTextForm::Emnerihjelp1Click() {
    doc_.HelpFile = ProgramDirectory() + "Hjelp\\" + kHelpFileName;
    if (!windows_.HelpWindow) windows_.HelpWindow = new THelpWindow(this);
    windows_.HelpWindow->OpenContents(doc_.HelpFile);
}

void TTextForm::OmProgrammetClick() {
    if (!windows_.AboutBox) windows_.AboutBox = new TAboutBox(this);
    windows_.AboutBox->ShowAbout(kProductName, kAboutDescription, kAboutVersion);
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
    if (!windows_.ReklameBilde) windows_.ReklameBilde = new TReklameBilde(this);
    windows_.ReklameBilde->exec();
}
