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
    long long CaretLine() override { return form_.Text().LineFromChar(-1); }
    void InsertLine(long long index, const std::string& text) override {
        form_.Text().InsertLine(static_cast<int>(index), text);
    }
    void BeginUpdate() override {
        if (depth_++ == 0) {
            wasLoading_ = form_.Doc().Loading;
            form_.Doc().Loading = true;
        }
        form_.Text().BeginUpdate();
    }
    void EndUpdate() override {
        if (depth_ == 0) return;
        form_.Text().EndUpdate();
        if (--depth_ == 0) form_.Doc().Loading = wasLoading_;
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
    TRenForm*& ren = windows_.RenForm;
    if (!ren) ren = new TRenForm(this);
    const BlockModel model = ReadBlockModel(Section(*this));
    {
        // The dialog rewrites the lines with the change handler quiet and the editor's
        // painting held; it is repainted once when the dialog has closed.
        LoadingGuard loading(*this);
        ren->heidenhain = model.heidenhain;
        ren->lineCount = RichEdit1->LineCount();
        int selStart = RichEdit1->SelStart();
        ren->selectionStartLine = RichEdit1->LineFromChar(selStart);
        ren->selectionEndLine = RichEdit1->LineFromChar(selStart + RichEdit1->SelLength());
        ren->runner = [this, &model](const RenumRequest& request, const RenumProgress& progress) {
            ControlLines lines(*RichEdit1);
            RenumberText(lines, model, request, progress);
            lines.Finish();
        };
        ren->exec();
        ren->runner = nullptr;
    }
    colour_->RecolourAll();
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
    colour_->RecolourAll();
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
    TTrigForm*& trig = windows_.TrigForm;
    if (!trig) trig = new TTrigForm(this);
    EditorHoleTarget target(*this);
    trig->TargetEditor = &target;
    trig->exec();
    trig->TargetEditor = nullptr;
    const long long first = trig->FirstInsertedLine;
    const long long last = trig->LastInsertedLine;
    if (!colour_->On() || first > last) return;
    LoadingGuard loading(*this);
    colour_->ColourLineRange(static_cast<int>(first), static_cast<int>(last) + 1);
    RichEdit1->SetSelection(RichEdit1->LineIndex(static_cast<int>(first)), 0);
}

void TTextForm::Rotering1Click() {
    if (!windows_.RoteringForm) windows_.RoteringForm = new TRoteringForm(this);
    windows_.RoteringForm->exec();
}
