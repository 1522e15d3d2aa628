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

// Document files: EditUnitDocs.cpp

// Find and replace
void TTextForm::Seek1Click() {}
void TTextForm::Erstatt1Click() {}
void TTextForm::FindDialog1Find() {}
void TTextForm::ReplaceDialog1Find() {}
void TTextForm::ReplaceDialog1Replace() {}

// Machine selection and catalogue
// MaskinBoksChange is to be completed by the machine selection (it already sets the folder).
void TTextForm::MaskinBoksChange() {
    int k = CurrentMachine();
    std::string section = MachineSection(k - 1);
    std::string folder =
        ReadIniString(section, "Katalog", "C:\\Vako\\Maskin" + std::to_string(k) + "\\");
    if (ReadIniBool(section, "UtKatalog", false))
        folder = ReadIniString(section, "Katalog2", folder);
    SetFolder(folder);
    if (MaskOpen) Aapne1Click();
}

void TTextForm::Katalog1Click() {}

// Event log, help, configuration
void TTextForm::HendelseButtonClick() {}
void TTextForm::Emnerihjelp1Click() {}
void TTextForm::OmProgrammetClick() {}
void TTextForm::KonfigureringClick() {}

// Renumbering
void TTextForm::Renummerering1Click() {}

// Compress and air
void TTextForm::Komprimerprogram1Click() {}
void TTextForm::Luftprogram1Click() {}

// Syntax colouring: EditUnitColour.cpp

// Transfer
void TTextForm::OverfoerClick() {}

// FTP
void TTextForm::FTPoverfoeringClick() {}

// TCP
void TTextForm::TCPoverfoeringClick() {}

// Calculators
void TTextForm::TrigButtonClick() {}
void TTextForm::Rotering1Click() {}

// Printing
void TTextForm::Skrivut1Click() {}

// Information window
void TTextForm::Reklame1Click() {}
