#pragma once
// Every message box, question, file dialog and print dialog of the program goes through the
// Prompter: the real one shows Qt dialogs; the tests' own (tests/support/ScriptedPrompter.h)
// records what was shown and answers as told. Texts are Windows-1252 bytes; this file and
// TextControl are where they become QStrings.
#include <QString>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

QString FromCp1252(std::string_view bytes);
std::string ToCp1252(const QString& text);
// A QString from a literal of the program (the literals are Windows-1252 bytes).
inline QString Q(const char* literal) { return FromCp1252(literal); }

enum class Answer { Ok, Yes, No, Cancel };
enum class Buttons { Ok, YesNo, YesNoCancel };

struct FileDialogRequest {
    std::string caption;
    std::string folder;        // DNC form
    std::string fileName;      // proposed name
    std::string filter;        // "Beskrivelse (*.NC)|*.NC|..." as the system writes filters
    int filterIndex = 1;       // 1-based
    std::string defaultExt;
};

struct PrintRequest {
    bool selectionEnabled = false;  // the dialog offers "selection"
    bool printSelection = false;    // out: the user chose the selection
    int copies = 1;
    std::string printerName;        // in: current printer; out: chosen printer
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // A box with only an OK button, no icon.
    virtual void Message(const std::string& caption, const std::string& text) = 0;
    // The standard error box (port-driver errors): OK button, error icon.
    virtual void Error(const std::string& caption, const std::string& text) = 0;
    // A box with an OK button and the exclamation icon, owned by the window ("Velg maskin
    // først!").
    virtual void Warning(const std::string& caption, const std::string& text) = 0;
    virtual Answer Question(const std::string& caption, const std::string& text, Buttons buttons,
                            Answer defaultAnswer) = 0;
    // The chosen file in DNC form; false when cancelled.
    virtual bool OpenFile(const FileDialogRequest& request, std::string& chosen) = 0;
    virtual bool SaveFile(const FileDialogRequest& request, std::string& chosen) = 0;
    virtual bool Print(PrintRequest& request) = 0;
    // The window that owns the dialogs (may be null).
    virtual void SetOwner(QWidget* owner) { owner_ = owner; }

protected:
    QWidget* owner_ = nullptr;
};

Prompter& GetPrompter();
void SetPrompter(Prompter* prompter);  // not owned; nullptr restores the Qt prompter
// Routes the core's ShowMessageBox to the Prompter on the UI thread (queued from others).
void InstallPrompterMessageSink();

class QtPrompter : public Prompter {
public:
    void Message(const std::string& caption, const std::string& text) override;
    void Error(const std::string& caption, const std::string& text) override;
    void Warning(const std::string& caption, const std::string& text) override;
    Answer Question(const std::string& caption, const std::string& text, Buttons buttons,
                    Answer defaultAnswer) override;
    bool OpenFile(const FileDialogRequest& request, std::string& chosen) override;
    bool SaveFile(const FileDialogRequest& request, std::string& chosen) override;
    bool Print(PrintRequest& request) override;
};

// Converts a filter of the system's form ("A (*.NC)|*.NC|B|*.*|") to Qt's ("A (*.NC);;...").
QString QtFilterFromSystem(const std::string& filter, int filterIndex, QString* selected);
