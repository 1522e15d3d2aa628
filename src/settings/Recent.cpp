#include "settings/Recent.h"

#include "settings/Settings.h"
#include "settings/Strings.h"

TRecentFileList::TRecentFileList() {
    for (int i = 1; i <= kRecentMax; ++i) {
        std::string value = ReadPersonalString(kRecentSubKey, "File" + std::to_string(i), "");
        if (!value.empty()) entries_.push_back(value);
    }
    changed_ = true;
}

TRecentFileList::~TRecentFileList() {
    // Values with a higher number than the list holds stay as they are.
    for (size_t i = 0; i < entries_.size(); ++i)
        WritePersonalString(kRecentSubKey, "File" + std::to_string(i + 1), entries_[i]);
}

void TRecentFileList::Add(const std::string& fileName) {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (!EqualsNoCase1252(entries_[i], fileName)) continue;
        if (i == 0) return;  // already the most recent: the older spelling stays
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        entries_.insert(entries_.begin(), fileName);
        changed_ = true;
        return;
    }
    if (entries_.size() >= static_cast<size_t>(kRecentMax))
        entries_.erase(entries_.begin() + (kRecentMax - 1), entries_.end());
    entries_.insert(entries_.begin(), fileName);
    changed_ = true;
}

void TRecentFileList::UpdateMenu(RecentMenu& menu) {
    if (!changed_) return;
    if (entries_.empty()) {
        menu.SetEnabled(false);
    } else {
        menu.SetEnabled(true);
        menu.ClearItems();
        for (const auto& e : entries_) menu.AddItem(e);
    }
    changed_ = false;
}
