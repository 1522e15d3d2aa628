// Handlers of the main window that other areas fill in. Each group below is one area's; the
// developer of that area replaces exactly that group (and may move it to the area's own
// file). Bodies marked "to be completed" already do the part the window's start-up needs.
#include <QString>

#include <fstream>
#include <iterator>

#include "editor/EditUnit.h"
#include "editor/Prompter.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Recent.h"
#include "settings/Settings.h"

// Document files
// QuerySave is complete; LoadDocument is to be completed (file types, header line, DOS
// mapping, file stamp); the rest are empty.
bool TTextForm::QuerySave() {
    if (!RichEdit1->Modified()) return true;
    std::string caption = CurrentFolder + (FileName.empty() ? "0000" + MachineExtension() : FileName);
    Answer a = GetPrompter().Question(caption, "Programmet er endret. Lagre ?",
                                      Buttons::YesNoCancel, Answer::Yes);
    if (a == Answer::Cancel) return false;
    if (a == Answer::Yes) Lagre1Click();
    return true;
}

bool TTextForm::FormCloseQuery() { return QuerySave(); }

std::string TTextForm::LoadDocument(const std::string& fileName) {
    HourglassOn();
    std::ifstream in(ResolvePath(fileName), std::ios::binary);
    if (!in) {
        HourglassOff();
        ShowMessageBox("Laste fil", "Feil med lasting av " + fileName);
        return fileName;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    {
        LoadingGuard loading(*this);
        RichEdit1->SetText(bytes);
    }
    RichEdit1->SetModified(false);
    HourglassOff();
    CheckSizeAndRecolour();
    if (RecentFiles) RecentFiles->Add(fileName);
    return fileName;
}

void TTextForm::SaveDocument(const std::string&) {}
void TTextForm::Ny1Click() {}
void TTextForm::Aapne1Click() {}
void TTextForm::Liminnfil1Click() {}
void TTextForm::Lagre1Click() {}
void TTextForm::LagreSom1Click() {}
void TTextForm::ReopenClick(const std::string&) {}
void TTextForm::ActivateApplication() {}

// Syntax colouring
void TTextForm::TekstFormateringClick() {}
void TTextForm::RichEdit1Change() {}
void TTextForm::CheckSizeAndRecolour() {}
void TTextForm::RecolourAll() {}

