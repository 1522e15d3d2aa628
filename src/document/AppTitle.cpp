#include "document/AppTitle.h"

#include "settings/PathResolve.h"

namespace {
std::string g_title = "Skarv-Editor";
std::string g_saved = "Skarv-Editor";
std::function<void(const std::string&)> g_listener;
}  // namespace

const std::string& ApplicationTitle() { return g_title; }

void SetApplicationTitle(const std::string& title) {
    if (title == g_title) return;
    g_title = title;
    if (g_listener) g_listener(g_title);
}

const std::string& SavedTitle() { return g_saved; }
void SetSavedTitle(const std::string& title) { g_saved = title; }

void SetTitleForFile(const std::string& name) {
    if (name.empty()) SetApplicationTitle(g_saved);
    else SetApplicationTitle(FileNamePart(name) + " - " + g_saved);
}

void SetTitleListener(std::function<void(const std::string&)> listener) {
    g_listener = std::move(listener);
}
