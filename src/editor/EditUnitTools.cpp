// The main window's text tools: renumbering, compress and air, and the two calculators.
#include <QApplication>

#include <exception>
#include <string>
#include <vector>

#include "windows/calc/RoteringForm.h"
#include "windows/calc/TrigForm.h"
#include "widgets/ControlLines.h"
#include "editor/EditUnit.h"
#include "widgets/Prompter.h"
#include "nctools/Colour.h"
#include "nctools/CompressAir.h"
#include "nctools/Renum.h"
#include "windows/nctools/RenumForm.h"
#include "settings/Settings.h"

namespace {
// The hole circle goes into the program's lines, above the caret's line. While the dialog
// inserts, the change handler keeps quiet and the control does not repaint.
class EditorHoleTarget : public HoleCircleTarget {
public:
    explicit EditorHoleTarget(TTextForm& form) : form_(form) {}
    long long CaretLine() override { return form_.RichEdit1->LineFromChar(-1); }
    void InsertLine(long long index, const std::string& text) override {
        form_.RichEdit1->InsertLine(static_cast<int>(index), text);
    }
    void BeginUpdate() override {
        if (depth_++ == 0) {
            wasLoading_ = form_.Loading;
            form_.Loading = true;
        }
        form_.RichEdit1->BeginUpdate();
    }
    void EndUpdate() override {
        if (depth_ == 0) return;
        form_.RichEdit1->EndUpdate();
        if (--depth_ == 0) form_.Loading = wasLoading_;
    }

private:
    TTextForm& form_;
    int depth_ = 0;
    bool wasLoading_ = false;
};

std::string Section(const TTextForm& form) { return MachineSection(form.CurrentMachine() - 1); }
}  // namespace

// Renumbering
void TTextForm::Renummerering1Click() {
    if (!RenForm) RenForm = new TRenForm(this);
    const BlockModel model = ReadBlockModel(Section(*this));
    {
        // The dialog rewrites the lines with the change handler quiet and the editor's
        // painting held; it is repainted once when the dialog has closed.
        LoadingGuard loading(*this);
        RenForm->heidenhain = model.heidenhain;
        RenForm->lineCount = RichEdit1->LineCount();
        int selStart = RichEdit1->SelStart();
        RenForm->selectionStartLine = RichEdit1->LineFromChar(selStart);
        RenForm->selectionEndLine = RichEdit1->LineFromChar(selStart + RichEdit1->SelLength());
        RenForm->runner = [this, &model](const RenumRequest& request, const RenumProgress& progress) {
            ControlLines lines(*RichEdit1);
            RenumberText(lines, model, request, progress);
            lines.Finish();
        };
        RenForm->exec();
        RenForm->runner = nullptr;
    }
    RecolourAll();
}

// Compress and air
size_t TTextForm::RewriteAllLines(const std::function<size_t(TextLines&)>& tool) {
    size_t replaced = 0;
    std::string failure;
    {
        WaitCursor wait(*this);
        LoadingGuard loading(*this);
        try {
            ControlLines lines(*RichEdit1);
            tool(lines);
            replaced = lines.Finish();
        } catch (const std::exception& e) {
            // Nothing has been written when a tool fails: the lines go in only at the end.
            failure = e.what();
        }
        RichEdit1->SetSelection(0, 0);
    }
    if (!failure.empty()) GetPrompter().Message(kProductName, failure);
    RecolourAll();
    return replaced;
}

void TTextForm::Komprimerprogram1Click() {
    RewriteAllLines([](TextLines& lines) { return CompressLines(lines); });
}

void TTextForm::Luftprogram1Click() {
    const char separator = ReadAirSeparator(Section(*this));
    RewriteAllLines([separator](TextLines& lines) { return AirLines(lines, separator); });
}

// Calculators
void TTextForm::TrigButtonClick() {
    if (!TrigForm) TrigForm = new TTrigForm(this);
    EditorHoleTarget target(*this);
    TrigForm->TargetEditor = &target;
    TrigForm->exec();
    TrigForm->TargetEditor = nullptr;
    const long long first = TrigForm->FirstInsertedLine;
    const long long last = TrigForm->LastInsertedLine;
    if (!TekstFormatering->isChecked() || first > last) return;
    LoadingGuard loading(*this);
    ColourLineRange(static_cast<int>(first), static_cast<int>(last) + 1);
    RichEdit1->SetSelection(RichEdit1->LineIndex(static_cast<int>(first)), 0);
}

void TTextForm::Rotering1Click() {
    if (!RoteringForm) RoteringForm = new TRoteringForm(this);
    RoteringForm->exec();
}
