// The main window's comparison with another program ("&Vis": a file, the document's backup,
// the file on the disk) and the transforms of the program ("Transformer").
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <string>

#include "compare/Transform.h"
#include "document/DocFiles.h"
#include "document/Loaders.h"
#include "editor/EditUnit.h"
#include "nctools/Renum.h"
#include "plot/Plot.h"
#include "settings/Settings.h"
#include "widgets/Prompter.h"
#include "windows/compare/CompareForm.h"
#include "windows/compare/TransformForm.h"

namespace {
inline constexpr const char* kCompareFileCaption = "Sammenlign med fil";
inline constexpr const char* kNoFileText = "Programmet har ikke noe filnavn.";

std::string Section(const TTextForm& form) { return MachineSection(form.CurrentMachine() - 1); }
}  // namespace

// The comparisons in the view menu, below the toolpath panel's switch.
void TTextForm::BuildCompareItems() {
    MainActions& a = actions_;
    a.Vis1->addSeparator();
    auto item = [this, &a](const char* caption, void (TTextForm::*handler)()) {
        QAction* action = a.Vis1->addAction(Q(caption));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    a.SammenlignFil = item("Sammenlign med &fil…", &TTextForm::SammenlignFilClick);
    a.SammenlignBackup = item("Sammenlign med &sikkerhetskopi", &TTextForm::SammenlignBackupClick);
    a.SammenlignDisk = item("Sammenlign med filen på &disken", &TTextForm::SammenlignDiskClick);
}

void TTextForm::SammenlignFilClick() {
    const std::string ext = MachineExtension();
    FolderSplit split = SplitFolder(doc_.CurrentFolder);
    FileDialogRequest request;
    request.caption = kCompareFileCaption;
    request.folder = split.folder;
    request.fileName = split.prefix + "*" + ext;
    request.filter = OpenDialogFilterFor(ext, Section(*this));
    request.filterIndex = 1;
    std::string chosen;
    if (!GetPrompter().OpenFile(request, chosen)) return;
    CompareWith(chosen);
}

void TTextForm::SammenlignBackupClick() {
    if (doc_.FileName.empty()) {
        GetPrompter().Message(kCompareCaption, kNoFileText);
        return;
    }
    CompareWith(BackupName(doc_.CurrentFolder + doc_.FileName));
}

void TTextForm::SammenlignDiskClick() {
    if (doc_.FileName.empty()) {
        GetPrompter().Message(kCompareCaption, kNoFileText);
        return;
    }
    CompareWith(doc_.CurrentFolder + doc_.FileName);
}

void TTextForm::CompareWith(const std::string& fileName) {
    LoadOptions options;
    options.currentMachine = CurrentMachine();
    options.tekstFormat = doc_.TekstFormat;
    options.dosFormat = doc_.DOSFormat;
    LoadedDocument other;
    {
        WaitCursor wait(*this);
        other = ReadDocument(fileName, options);
    }
    if (!other.replaced) return;  // the loader has said why
    TCompareForm*& form = windows_.CompareForm;
    if (!form) {
        form = new TCompareForm(this);
        windows_.ReloadQuietDialogs.emplace_back(form);
    }
    form->model = ReadBlockModel(Section(*this));
    form->leftName = doc_.FileName.empty() ? std::string(kProductName) : doc_.CurrentFolder + doc_.FileName;
    form->rightName = other.resultName;
    form->rightText = other.kind == LoadKind::Log ? std::move(other.log.text) : std::move(other.text.text);
    form->leftText = [this] { return RichEdit1->Text(); };
    form->copyLeft = [this](size_t first, size_t count, const std::string& lines) {
        int added = 0;
        for (char c : lines) added += c == '\n';
        {
            LoadingGuard loading(*this);
            RichEdit1->EditLineRange(static_cast<int>(first), static_cast<int>(count), lines);
        }
        colour_->ColourLineRange(static_cast<int>(first), static_cast<int>(first) + added);
        UpdateEditCommands();
    };
    form->exec();
    form->leftText = nullptr;
    form->copyLeft = nullptr;
    std::string().swap(form->rightText);
}

void TTextForm::Transformer1Click() {
    TTransformForm*& form = windows_.TransformForm;
    if (!form) {
        form = new TTransformForm(this);
        windows_.ReloadQuietDialogs.emplace_back(form);
    }
    PlotSettings settings =
        DocumentPlotSettings(RichEdit1->TextView(0, std::min(RichEdit1->TextLength(), 4096)));
    int selStart = RichEdit1->SelStart();
    form->selectionStartLine = RichEdit1->LineFromChar(selStart);
    form->selectionEndLine = RichEdit1->LineFromChar(selStart + RichEdit1->SelLength());
    form->planeText = settings.lathe ? "G18" : "G17";
    form->exec();
    if (!form->Accepted()) return;
    TransformResult result;
    {
        WaitCursor wait(*this);
        result = TransformProgram(RichEdit1->TextView(), settings, form->Request());
    }
    if (!result.ok) {
        // Refused before anything changed: the program is as it was.
        GetPrompter().Message(kTransformCaption, result.message);
        return;
    }
    if (result.changed.empty()) return;
    LineEdits edits;
    for (const auto& [line, text] : result.changed) edits.Add(static_cast<int>(line), text);
    {
        // One step of the text: "Angre" takes the whole transform back.
        LoadingGuard loading(*this);
        RichEdit1->EditLines(edits);
    }
    colour_->ColourLineRange(static_cast<int>(result.changed.front().first),
                             static_cast<int>(result.changed.back().first) + 1);
    UpdateEditCommands();
}
