#pragma once
// The recent-files list: the last five program files opened or saved, most recent first,
// kept per user ("Software\Vako\Personal\VakoEdit\Recent", values File1 .. File5).
#include <string>
#include <vector>

inline constexpr const char* kRecentSubKey = "VakoEdit\\Recent";
inline constexpr int kRecentMax = 5;

// What the list needs of the sub-menu it fills.
class RecentMenu {
public:
    virtual ~RecentMenu() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void ClearItems() = 0;                           // removes every sub-item
    virtual void AddItem(const std::string& fileName) = 0;   // caption is the full path
};

class TRecentFileList {
public:
    TRecentFileList();   // reads the list from the per-user values
    ~TRecentFileList();  // stores it
    TRecentFileList(const TRecentFileList&) = delete;
    TRecentFileList& operator=(const TRecentFileList&) = delete;

    void Add(const std::string& fileName);
    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& Entry(int index) const { return entries_.at(static_cast<size_t>(index)); }
    const std::vector<std::string>& Entries() const { return entries_; }
    bool Changed() const { return changed_; }
    // Rebuilds the sub-menu when the list changed since the last rebuild.
    void UpdateMenu(RecentMenu& menu);

private:
    std::vector<std::string> entries_;
    bool changed_ = true;
};
