// Machine selection and the catalogue of the machine's programs.
#include <QString>

#include "document/Catalogue.h"
#include "editor/EditUnit.h"

void TTextForm::MaskinBoksChange() {
    // The document keeps its name: it now counts as being in the new folder.
    SetFolder(MachineFolder(CurrentMachine()));
    if (doc_.MaskOpen) Aapne1Click();
}

void TTextForm::Katalog1Click() {
    if (!QuerySave()) return;
    WaitCursor wait(*this);
    SetFileName("");
    colour_->SetOn(false);  // colouring off
    CatalogueText catalogue =
        BuildCatalogue(doc_.CurrentFolder, MachineExtension(), doc_.TekstFormat);
    {
        LoadingGuard loading(*this);
        RichEdit1->SetSelAttributes(TextStyle{});
        if (!catalogue.empty()) {
            RichEdit1->SetAllLines(catalogue.lines);
            RichEdit1->ResetStyles();
            TextStyle bold;
            bold.bold = true;
            const int boldStyle = RichEdit1->StyleFor(bold);
            for (const CatalogueRun& run : catalogue.bold)
                RichEdit1->SetStyle(static_cast<int>(run.start), static_cast<int>(run.length), boldStyle);
        }
        RichEdit1->SetSelStart(0);
    }
    RichEdit1->SetModified(false);
    DiscardRecovery();  // the catalogue replaces the document
    RichEdit1->Invalidate();
    UpdateEditCommands();
}
