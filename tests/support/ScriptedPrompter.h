#pragma once
// The Prompter of the tests, installed for its lifetime: answers come from queues; every
// dialog shown is recorded.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "widgets/Prompter.h"

class ScriptedPrompter : public Prompter {
public:
    ScriptedPrompter() { SetPrompter(this); }
    ~ScriptedPrompter() override { SetPrompter(nullptr); }
    struct Shown {
        std::string kind;  // "message", "error", "warning", "question", "open", "save", "print"
        std::string caption;
        std::string text;
        Buttons buttons = Buttons::Ok;
        Answer defaultAnswer = Answer::Ok;
    };
    std::vector<Shown> shown;
    std::deque<Answer> answers;       // for questions; empty queue answers Cancel/No
    std::deque<std::string> files;    // for open and save; empty string cancels
    std::deque<PrintRequest> prints;  // for print; empty queue cancels
    std::vector<FileDialogRequest> fileRequests;
    std::function<void(const Shown&)> onShow;  // runs when a dialog is shown

    void Message(const std::string& caption, const std::string& text) override;
    void Error(const std::string& caption, const std::string& text) override;
    void Warning(const std::string& caption, const std::string& text) override;
    Answer Question(const std::string& caption, const std::string& text, Buttons buttons,
                    Answer defaultAnswer) override;
    bool OpenFile(const FileDialogRequest& request, std::string& chosen) override;
    bool SaveFile(const FileDialogRequest& request, std::string& chosen) override;
    bool Print(PrintRequest& request) override;
    // Texts of the dialogs of one kind, in order.
    std::vector<std::string> Texts(const std::string& kind = "message") const;

private:
    bool AnswerFile(const char* kind, const FileDialogRequest& request, std::string& chosen);
};
