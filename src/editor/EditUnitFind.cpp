// Find and replace: always forward from SearchPos, case ignored, not for whole words.
#include <QString>

#include "editor/EditUnit.h"
#include "windows/document/FindDialog.h"
#include "document/FindReplace.h"
#include "widgets/Prompter.h"

namespace {
void NotFound(const std::string& what) { GetPrompter().Message(kFindCaption, kNotFoundText + what); }

TFindDialog* MakeDialog(TTextForm* form, bool replace) {
    auto* dialog = new TFindDialog(replace, form);
    if (replace) {
        QObject::connect(dialog, &TFindDialog::Find, form, &TTextForm::ReplaceDialog1Find);
        QObject::connect(dialog, &TFindDialog::Replace, form, &TTextForm::ReplaceDialog1Replace);
    } else {
        QObject::connect(dialog, &TFindDialog::Find, form, &TTextForm::FindDialog1Find);
    }
    return dialog;
}
}  // namespace

void TTextForm::Seek1Click() {
    doc_.SearchPos = RichEdit1->SelStart();
    if (!windows_.FindDialog1) windows_.FindDialog1 = MakeDialog(this, false);
    windows_.FindDialog1->Execute();
}

void TTextForm::Erstatt1Click() {
    doc_.SearchPos = RichEdit1->SelStart();
    if (!windows_.ReplaceDialog1) windows_.ReplaceDialog1 = MakeDialog(this, true);
    windows_.ReplaceDialog1->Execute();
}

void TTextForm::FindDialog1Find() {
    if (!windows_.FindDialog1) return;
    std::string what = windows_.FindDialog1->FindText();
    int p = RichEdit1->FindText(what, doc_.SearchPos);
    if (p < 0) {
        NotFound(what);  // SearchPos stays: a further press repeats the search
        return;
    }
    doc_.SearchPos = p + 1;
    RichEdit1->setFocus();
    RichEdit1->SetSelection(p, static_cast<int>(what.size()));
    RichEdit1->ScrollLines(
        static_cast<int>(ScrollForMatch(RichEdit1->LineFromChar(p), RichEdit1->FirstVisibleLine())));
}

void TTextForm::ReplaceDialog1Find() {
    if (!windows_.ReplaceDialog1) return;
    std::string what = windows_.ReplaceDialog1->FindText();
    int p = RichEdit1->FindText(what, doc_.SearchPos);
    if (p < 0) {
        doc_.SearchPos = 0;  // the next find-next starts at the top
        NotFound(what);
        return;
    }
    doc_.SearchPos = p + 1;
    RichEdit1->setFocus();
    RichEdit1->SetSelection(p, static_cast<int>(what.size()));
}

void TTextForm::ReplaceDialog1Replace() {
    if (!windows_.ReplaceDialog1) return;
    const std::string what = windows_.ReplaceDialog1->FindText();
    const std::string with = windows_.ReplaceDialog1->ReplaceText();
    if (what.empty()) return;
    const int lw = static_cast<int>(what.size());

    if (!windows_.ReplaceDialog1->ReplaceAll()) {
        // Only the length counts: a selection as long as the search text is replaced
        // whatever it holds.
        if (RichEdit1->SelLength() != lw) ReplaceDialog1Find();
        if (RichEdit1->SelLength() != lw) return;
        int p = RichEdit1->SelStart();
        RichEdit1->ReplaceSel(with);
        // Text taken away: the character that moved into its place is searched next.
        if (with.empty() && doc_.SearchPos > p) doc_.SearchPos = p;
        return;
    }

    // Replace all runs over a copy of the text and puts the result back in one piece, so a
    // large program with many matches is done at once. It ends with the failed search.
    FindState st;
    st.searchPos = doc_.SearchPos;
    st.selStart = RichEdit1->SelStart();
    st.selLength = RichEdit1->SelLength();
    ReplaceOutcome out;
    {
        WaitCursor wait(*this);
        std::string text = RichEdit1->Text();
        out = ReplaceDialogReplace(text, what, with, st, true);
        if (out.replaced > 0) {
            int first = RichEdit1->FirstVisibleLine();
            {
                LoadingGuard loading(*this);
                RichEdit1->SetText(text);
                RichEdit1->ScrollLines(first);
            }
            colour_->RecolourAll();
        }
    }
    doc_.SearchPos = static_cast<int32_t>(st.searchPos);
    RichEdit1->setFocus();
    RichEdit1->SetSelection(static_cast<int>(st.selStart), static_cast<int>(st.selLength));
    if (out.replaced > 0) UpdateEditCommands();
    if (out.notFound) GetPrompter().Message(kFindCaption, out.message);
}
