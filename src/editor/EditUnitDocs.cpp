// The document's file life in the main window: new, open, insert a file, save, save as, the
// unsaved-changes question, reopen from "Siste filer", the reload question when another
// program changed the file, and LoadDocument, which reads a file by its type.
#include <QWidget>

#include <algorithm>
#include <optional>

#include "document/DocFiles.h"
#include "editor/EditUnit.h"
#include "document/Loaders.h"
#include "widgets/Prompter.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Recent.h"
#include "settings/Settings.h"

namespace {
inline constexpr const char* kOpenCaption = "Åpne";
inline constexpr const char* kInsertCaption = "Lim inn fil";
inline constexpr const char* kSaveAsCaption = "Lagre som";
}  // namespace

// ------------------------------------------------------------------ the question
bool TTextForm::QuerySave() {
    if (!RichEdit1->Modified()) return true;
    Answer a = GetPrompter().Question(
        QuerySaveCaption(doc_.CurrentFolder, doc_.FileName, MachineExtension()), kQuerySaveText,
        Buttons::YesNoCancel, Answer::Yes);
    if (a == Answer::Cancel) return false;
    if (a == Answer::Yes) {
        lastSaveFailed_ = false;
        Lagre1Click();
        // A save that did not reach the disk keeps the program where it is: going on would
        // throw away the text the user asked to keep.
        if (lastSaveFailed_) return false;
    }
    return true;
}

bool TTextForm::FormCloseQuery() { return QuerySave(); }

// ------------------------------------------------------------------ loading
namespace {
// The program's text goes straight from the file into the control, piece by piece: a large
// program is held once, in the control, and never as a copy beside it. The old text goes
// only once the file is open.
class ControlSink : public TextSink {
public:
    explicit ControlSink(TTextForm& form) : form_(form) {}
    void Begin(size_t sizeHint) override {
        loading_.emplace(form_);  // the Loading protocol from here to the end of the load
        form_.Text().Clear();
        // Room for the whole text at once: growing a large text copies it (and its styles).
        // Lone LF or CR breaks become CR LF, so a little more than the file.
        if (sizeHint > 0) form_.Text().Reserve(sizeHint + sizeHint / 16 + 2);
    }
    void Piece(std::string_view bytes) override { form_.Text().AppendText(bytes); }
    // Ends the Loading protocol (or starts it for a text that came whole).
    void Loading(bool on) {
        if (on && !loading_) loading_.emplace(form_);
        if (!on) loading_.reset();
    }

private:
    TTextForm& form_;
    std::optional<LoadingGuard> loading_;
};
}  // namespace

std::string TTextForm::LoadDocument(const std::string& fileName) {
    LoadOptions options;
    options.currentMachine = CurrentMachine();
    options.tekstFormat = doc_.TekstFormat;
    options.dosFormat = doc_.DOSFormat;
    options.askEightBits = [this] {
        bool wait = HourglassShown();
        HourglassOff();
        bool eight = GetPrompter().Question(kBinaryQuestionCaption, kBinaryQuestionText,
                                            Buttons::YesNo, Answer::Yes) == Answer::Yes;
        if (wait) HourglassOn();
        return eight;
    };

    LoadedDocument doc;
    {
        WaitCursor wait(*this);
        ControlSink sink(*this);
        doc = ReadDocument(fileName, options, &sink);
        lastLoadReplaced_ = doc.replaced;
        lastLoadMissing_ = !doc.replaced && doc.fault == InputFault::Missing;
        if (!doc.replaced) {
            if (doc.streamed) {
                // The file was not read whole: what came is not the file. The text is
                // emptied and the document left without a name, so a save cannot cut the
                // file short.
                RichEdit1->Clear();
                sink.Loading(false);
                SetFileName("");
                doc_.FileStamp = -1;
                RichEdit1->SetModified(false);
                DiscardRecovery();
            }
            return doc.resultName;  // reported; otherwise the document stays as it was
        }
        sink.Loading(true);
        if (doc.kind == LoadKind::Log) {
            colour_->ShowLog(doc.log);
        } else if (!doc.streamed) {
            RichEdit1->SetText(doc.text.text);
            if (doc.text.lineCount > 0) RichEdit1->AppendText("\r\n");
            std::string().swap(doc.text.text);
        }
        RichEdit1->SetSelStart(0);
        sink.Loading(false);
    }
    // A binary file shown in notation counts as unchanged as well: a "yes" to the
    // unsaved-changes question must not write the notation over the file.
    RichEdit1->SetModified(false);
    DiscardRecovery();  // the document is replaced
    if (doc.recordFile) {
        colour_->CheckSizeAndRecolour();
        if (doc_.RecentFiles) doc_.RecentFiles->Add(doc.resultName);
        doc_.FileStamp = FileAge(doc.resultName);
    }
    return doc.resultName;
}

// ------------------------------------------------------------------ saving
void TTextForm::SaveDocument(const std::string& fullFileName) {
    SaveResult result;
    {
        WaitCursor wait(*this);
        result = SaveDocumentFile(fullFileName,
                                  RichEdit1->TextView(0, RichEdit1->TextLength()));
    }
    lastSaveFailed_ = !result.ok;
    if (!result.ok) {
        // The modified flag, the recent files and FileStamp stay as they were.
        ShowMessageBox(kSaveFailCaption, SaveFailureText(fullFileName, result));
        return;
    }
    RichEdit1->SetModified(false);
    DiscardRecovery();
    if (doc_.RecentFiles) doc_.RecentFiles->Add(fullFileName);
    doc_.FileStamp = result.stamp;
}

// ------------------------------------------------------------------ commands
void TTextForm::Ny1Click() {
    if (!QuerySave()) return;
    {
        LoadingGuard loading(*this);
        RichEdit1->Clear();
    }
    SetFileName("");
    RichEdit1->SetModified(false);
    DiscardRecovery();
    doc_.FileStamp = -1;
    UpdateEditCommands();
}

void TTextForm::Aapne1Click() {
    const std::string ext = MachineExtension();
    FolderSplit split = SplitFolder(doc_.CurrentFolder);
    FileDialogRequest request;
    request.caption = kOpenCaption;
    request.folder = split.folder;
    request.fileName = OpenDialogFileName(doc_.FileName, split.prefix, ext);
    request.filter = OpenDialogFilterFor(ext, MachineSection(CurrentMachine() - 1));
    request.filterIndex = 1;
    std::string chosen;
    if (!GetPrompter().OpenFile(request, chosen)) return;
    if (!QuerySave()) return;
    std::string name = LoadDocument(chosen);
    if (lastLoadReplaced_) {
        DocumentName n = NameAfterOpen(name, doc_.CurrentFolder);
        SetFileName(n.fileName);
        SetFolder(n.folder);
    }
    UpdateEditCommands();
}

void TTextForm::Liminnfil1Click() {
    const std::string ext = MachineExtension();
    FolderSplit split = SplitFolder(doc_.CurrentFolder);
    FileDialogRequest request;
    request.caption = kInsertCaption;
    request.folder = InsertDialogFolder(split.folder);
    request.fileName = split.prefix + "*" + ext;
    request.filter = OpenDialogFilterFor(ext, MachineSection(CurrentMachine() - 1));
    request.filterIndex = 1;
    std::string chosen;
    if (!GetPrompter().OpenFile(request, chosen)) return;
    LineText lines;
    {
        WaitCursor wait(*this);
        InputFault fault = InputFault::None;
        bool read = InsertTextFile(chosen, doc_.DOSFormat, lines, &fault);
        // A missing file inserts nothing, as before; something that is there but is no
        // file to read is told.
        if (!read && fault != InputFault::Missing)
            ShowMessageBox(kLoadFailCaption, LoadFailureText(chosen, fault));
        if (read && lines.lineCount > 0) {
            // Before the line that holds the start of the selection; the caret stays.
            int at = RichEdit1->LineFromChar(RichEdit1->SelStart());
            if (at > RichEdit1->LineCount()) at = RichEdit1->LineCount();
            {
                LoadingGuard loading(*this);
                RichEdit1->InsertLine(at, lines.text);
            }
            colour_->ColourLineRange(at, at + static_cast<int>(lines.lineCount));
        }
    }
    UpdateEditCommands();
}

void TTextForm::Lagre1Click() {
    if (doc_.FileName.empty()) {
        LagreSom1Click();
        return;
    }
    SaveDocument(doc_.CurrentFolder + doc_.FileName);
}

void TTextForm::LagreSom1Click() {
    const std::string ext = MachineExtension();
    FolderSplit split = SplitFolder(doc_.CurrentFolder);
    FileDialogRequest request;
    request.caption = kSaveAsCaption;
    request.folder = split.folder;
    request.fileName = doc_.FileName;
    request.filter = SaveDialogFilter(ext);
    request.filterIndex = 1;
    request.defaultExt = ext;
    std::string chosen;
    if (!GetPrompter().SaveFile(request, chosen)) return;
    chosen = SaveAsFileName(chosen, ext);
    if (FileExists(chosen) &&
        GetPrompter().Question(kOverwriteCaption, kOverwriteText, Buttons::YesNo, Answer::Yes) !=
            Answer::Yes)
        return;
    DocumentName n = NameOfFile(chosen);
    SetFileName(n.fileName);
    SetFolder(n.folder);
    SaveDocument(doc_.CurrentFolder + doc_.FileName);
}

void TTextForm::ReopenClick(const std::string& fileName) {
    // The entry hands over the file's own name (its caption may carry an accelerator "&").
    if (!QuerySave()) return;
    std::string name = LoadDocument(fileName);
    if (!lastLoadReplaced_) {
        UpdateEditCommands();
        return;
    }
    DocumentName n = NameOfFile(name);
    SetFileName(n.fileName);
    SetFolder(n.folder);
    UpdateEditCommands();
    RichEdit1->SetModified(false);
}

void TTextForm::ActivateApplication() {
    if (!doc_.RecentFiles) return;
    bool dialogOpen =
        std::any_of(windows_.ReloadQuietDialogs.begin(), windows_.ReloadQuietDialogs.end(),
                    [](const QPointer<QWidget>& d) { return d && d->isVisible(); });
    std::string first = doc_.RecentFiles->Count() > 0 ? doc_.RecentFiles->Entry(0) : std::string();
    ReloadCheck check = CheckReload(dialogOpen, doc_.FileStamp, first);
    if (!check.ask) return;
    if (GetPrompter().Question(check.fileName, kReloadText, Buttons::YesNo, Answer::Yes) !=
        Answer::Yes)
        return;
    LoadDocument(check.fileName);
    UpdateEditCommands();
    // A reload that failed keeps the text, and with it the record of unsaved changes.
    if (lastLoadReplaced_) RichEdit1->SetModified(false);
}
