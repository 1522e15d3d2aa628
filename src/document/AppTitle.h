#pragma once
// The application title: the name another start of the program looks for when it hands a
// file over to the instance that already edits it ("PROG.NC - Skarv-Editor").
#include <functional>
#include <string>

const std::string& ApplicationTitle();
void SetApplicationTitle(const std::string& title);
// The title as it was before a file name was added to it.
const std::string& SavedTitle();
void SetSavedTitle(const std::string& title);
// Empty name: the title becomes SavedTitle; else the name's file-name part (after the last
// backslash, slash or colon) + " - " + SavedTitle.
void SetTitleForFile(const std::string& name);
// Called after every change of the title (the single-instance listener follows it).
void SetTitleListener(std::function<void(const std::string& title)> listener);
