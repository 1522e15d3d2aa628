#include "document/EventLog.h"

#include "settings/PathResolve.h"
#include "settings/Strings.h"

EventLogChoice ChooseEventLog(const std::string& currentFolder, int machine,
                              const std::function<bool(const std::string&)>& exists) {
    auto has = [&](const std::string& f) { return exists ? exists(f) : FileExists(f); };
    const std::string k = std::to_string(machine);
    EventLogChoice c;
    std::string first = currentFolder + "Maskin" + k + ".TXT";
    std::string second = std::string(kEventLogTempFolder) + "Maskin" + k + "H.TXT";
    if (has(first)) {
        c.found = true;
        c.file = first;
    } else if (has(second)) {
        c.found = true;
        c.file = second;
    } else {
        c.message = std::string(kNoEventLogText) + "\r" + first;
    }
    return c;
}

DocumentName NameDocument(const std::string& path, const std::string& currentFolder) {
    DocumentName n;
    if (!currentFolder.empty() && StartsWithNoCase1252(path, currentFolder)) {
        n.fileName = path.substr(currentFolder.size());
        n.folder = currentFolder;
    } else {
        n.fileName = FileNamePart(path);
        n.folder = FolderPart(path);
    }
    return n;
}
