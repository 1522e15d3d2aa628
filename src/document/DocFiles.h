#pragma once
// The document's file side: the safe save with its ".Bak" backup, file stamps, the folder and
// filter texts of the file dialogs, and the rules of the reload question.
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr const char* kQuerySaveText = "Programmet er endret. Lagre ?";
inline constexpr const char* kOverwriteCaption = "Lagre";
inline constexpr const char* kOverwriteText = "Filen eksisterer fra før. Overskrive ?";
inline constexpr const char* kReloadText = "Filen har blitt endret. Lese inn på nytt?";
inline constexpr const char* kCyclesFolder = "Sykluser";
// A save that could not be made: caption, and text + file name + CR + the reason.
inline constexpr const char* kSaveFailCaption = "Lagre";
inline constexpr const char* kSaveFailText = "Feil med lagring av ";
inline constexpr const char* kSaveKeptText = "Filen på disken er ikke endret.";

// ---------------------------------------------------------------- names and folders
// The backup of F: its extension (from the last dot after the last "\", "/" or ":") replaced
// by ".Bak"; a name without one gets ".Bak" appended.
std::string BackupName(std::string_view fileName);

struct FolderSplit {
    std::string folder;  // where the dialog starts
    std::string prefix;  // the beginning of the proposed file name
};
// CurrentFolder for the dialogs: a folder ending in a backslash gives that folder (without
// it) and no prefix; a folder ending in a name part gives the folder before it and the part.
FolderSplit SplitFolder(std::string_view currentFolder);

// Filters of the file dialogs in the system's form ("Text (*.X)|*.X|...").
std::string OpenDialogFilter(const std::string& machineExt, const std::string& extraFilters);
std::string SaveDialogFilter(const std::string& machineExt);
// With the extra filters of the machine's section (BuildExtraFilters).
std::string OpenDialogFilterFor(const std::string& machineExt, const std::string& section);

// The open dialog's proposed name: FileName when it names a log, else prefix + "*" + ext.
std::string OpenDialogFileName(const std::string& fileName, const std::string& prefix,
                               const std::string& machineExt);
// Where the insert dialog starts: the "Sykluser" folder inside folder when there is one.
std::string InsertDialogFolder(const std::string& folder);
// Save as: a chosen name without any "." (folders included) gets the machine's extension.
std::string SaveAsFileName(const std::string& chosen, const std::string& machineExt);
// The caption of the unsaved-changes question.
std::string QuerySaveCaption(const std::string& currentFolder, const std::string& fileName,
                             const std::string& machineExt);
// The file of a "Siste filer" entry: its caption without the first "&".
std::string ReopenFileName(std::string caption);

// How an opened file names the document: below CurrentFolder the folder stays and FileName is
// the rest; elsewhere the folder moves to the file's folder.
struct DocumentName {
    std::string fileName;
    std::string folder;
};
DocumentName NameAfterOpen(const std::string& loadedName, const std::string& currentFolder);
// After Reopen, Save as and the command line: file-name part and folder part.
DocumentName NameOfFile(const std::string& name);

// ---------------------------------------------------------------- stamps
// A stamp of the file's contents on disk: changes whenever the file is written; -1 when the
// file is missing.
int64_t FileAge(const std::string& fileName);

// ---------------------------------------------------------------- saving
// The text as it stands in the control: every line (CR LF, CR or LF end one) is written
// followed by CR LF; the break after the last line is not a line of its own.
std::string TextForFile(std::string_view text);

struct SaveResult {
    bool ok = false;
    int error = 0;           // errno of the step that failed
    std::string reason;      // the failure in the system's words
    int64_t stamp = -1;      // FileAge of the saved file
};
// Writes the text into a new file beside F, flushes it to the disk, then (with backup) makes
// F's ".Bak" backup and puts the new file in F's place. A failure leaves F and its backup as
// they were.
SaveResult SaveTextSafely(const std::string& fileName, std::string_view text, bool backup);
// As SaveTextSafely, with Program/BakFiler (default true) deciding the backup.
SaveResult SaveDocumentFile(const std::string& fileName, std::string_view text);
// The message box text of a failed save.
std::string SaveFailureText(const std::string& fileName, const SaveResult& result);

// Test hook: the next save fails at this step as the disk would (the file layer's fault
// injection). Steps: create the new file, write, flush to disk, the hard link that makes the
// backup (refused as by a file system without hard links, such as many network shares), put
// in place. Each step is armed on its own and fires once; None disarms them all.
enum class SaveStep { None, Create, Write, Sync, Link, Replace };
void FailNextSave(SaveStep step, int error);

// ---------------------------------------------------------------- the reload question
// ActivateApplication's rules. The stamp is updated whatever the answer, so a "no" is not
// asked again until the file changes once more, and a vanished file ends the checks until the
// next load or save.
struct ReloadCheck {
    bool ask = false;
    std::string fileName;  // the question's caption and the file to load again
};
// dialogOpen: one of the about box, the question, renumbering, transfer or trigonometry
// dialogs is visible. recentFirst: entry 0 of the recent files (empty when the list is).
ReloadCheck CheckReload(bool dialogOpen, int64_t& fileStamp, const std::string& recentFirst);
