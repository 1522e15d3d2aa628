#include "ScriptedPrompter.h"

void ScriptedPrompter::Message(const std::string& caption, const std::string& text) {
    shown.push_back({"message", caption, text, Buttons::Ok, Answer::Ok});
    if (onShow) onShow(shown.back());
}

void ScriptedPrompter::Error(const std::string& caption, const std::string& text) {
    shown.push_back({"error", caption, text, Buttons::Ok, Answer::Ok});
    if (onShow) onShow(shown.back());
}

void ScriptedPrompter::Warning(const std::string& caption, const std::string& text) {
    shown.push_back({"warning", caption, text, Buttons::Ok, Answer::Ok});
    if (onShow) onShow(shown.back());
}

Answer ScriptedPrompter::Question(const std::string& caption, const std::string& text,
                                  Buttons buttons, Answer defaultAnswer) {
    shown.push_back({"question", caption, text, buttons, defaultAnswer});
    if (onShow) onShow(shown.back());
    if (answers.empty()) return buttons == Buttons::YesNoCancel ? Answer::Cancel : Answer::No;
    Answer a = answers.front();
    answers.pop_front();
    return a;
}

bool ScriptedPrompter::AnswerFile(const char* kind, const FileDialogRequest& request,
                                  std::string& chosen) {
    shown.push_back({kind, request.caption, request.filter, Buttons::Ok, Answer::Ok});
    fileRequests.push_back(request);
    if (onShow) onShow(shown.back());
    if (files.empty()) return false;
    chosen = files.front();
    files.pop_front();
    return !chosen.empty();
}

bool ScriptedPrompter::OpenFile(const FileDialogRequest& request, std::string& chosen) {
    return AnswerFile("open", request, chosen);
}

bool ScriptedPrompter::SaveFile(const FileDialogRequest& request, std::string& chosen) {
    return AnswerFile("save", request, chosen);
}

bool ScriptedPrompter::Print(PrintRequest& request) {
    shown.push_back({"print", "", "", Buttons::Ok, Answer::Ok});
    if (onShow) onShow(shown.back());
    if (prints.empty()) return false;
    PrintRequest answer = prints.front();
    prints.pop_front();
    request.printSelection = answer.printSelection;
    request.copies = answer.copies;
    if (!answer.printerName.empty()) request.printerName = answer.printerName;
    return true;
}

std::vector<std::string> ScriptedPrompter::Texts(const std::string& kind) const {
    std::vector<std::string> r;
    for (const auto& s : shown)
        if (s.kind == kind) r.push_back(s.text);
    return r;
}
