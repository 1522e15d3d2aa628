#pragma once
// The event log of the current machine kept by the DNC server: which file the "Hendelser"
// button shows, or the message when there is none.
#include <functional>
#include <string>

inline constexpr const char* kEventLogCaption = "Åpne hendelseslogg";
inline constexpr const char* kNoEventLogText = "Logg eksisterer ikke:";  // + CR + first choice
inline constexpr const char* kEventLogTempFolder = "C:\\Vako\\Temp\\";

struct EventLogChoice {
    bool found = false;
    std::string file;     // the log to load when found
    std::string message;  // otherwise: "Logg eksisterer ikke:" CR + the first choice (caption kEventLogCaption)
};

// First choice CurrentFolder + "Maskin" + k + ".TXT", second "C:\Vako\Temp\Maskin" + k +
// "H.TXT". exists defaults to FileExists.
EventLogChoice ChooseEventLog(const std::string& currentFolder, int machine,
                              const std::function<bool(const std::string&)>& exists = {});

// How Open names a document loaded from path: the file name relative to currentFolder when
// path lies in it (case ignored), else the file-name part with its folder as the new folder.
struct DocumentName {
    std::string fileName;
    std::string folder;  // the current folder afterwards
};
DocumentName NameDocument(const std::string& path, const std::string& currentFolder);
