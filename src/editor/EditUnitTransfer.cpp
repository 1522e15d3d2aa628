// Transfer: "&Overfør" opens the transfer dialog for the selected machine.
#include <QComboBox>

#include "editor/EditUnit.h"
#include "settings/Settings.h"
#include "windows/transfer/AskDlg.h"
#include "windows/transfer/EditTran.h"

void TTextForm::OverfoerClick() {
    OtherWindows& w = windows_;
    if (!w.TransForm) {
        w.TransForm = new TTransForm(this);
        w.ReloadQuietDialogs.emplace_back(w.TransForm);
    }
    if (!w.AskForm) {
        w.AskForm = new TAskForm(this);
        w.ReloadQuietDialogs.emplace_back(w.AskForm);
    }
    w.TransForm->AskForm = w.AskForm;
    w.TransForm->MachineSectionName = MachineSection(actions_.MaskinBoks->currentIndex());
    w.TransForm->TargetEditor = RichEdit1;
    w.TransForm->exec();
    // A received program is new text: the commands that need lines follow it.
    UpdateEditCommands();
}
