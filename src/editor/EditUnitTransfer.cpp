// Transfer: "&Overfør" opens the transfer dialog for the selected machine.
#include <QComboBox>

#include "editor/EditUnit.h"
#include "settings/Settings.h"
#include "windows/transfer/AskDlg.h"
#include "windows/transfer/EditTran.h"

void TTextForm::OverfoerClick() {
    if (!TransForm) {
        TransForm = new TTransForm(this);
        ReloadQuietDialogs.emplace_back(TransForm);
    }
    if (!AskForm) {
        AskForm = new TAskForm(this);
        ReloadQuietDialogs.emplace_back(AskForm);
    }
    TransForm->AskForm = AskForm;
    TransForm->MachineSectionName = MachineSection(MaskinBoks->currentIndex());
    TransForm->TargetEditor = RichEdit1;
    TransForm->exec();
    // A received program is new text: the commands that need lines follow it.
    UpdateEditCommands();
}
