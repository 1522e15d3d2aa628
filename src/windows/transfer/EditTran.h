#pragma once
// TTransForm, "CNC-overføring": sends the program in the editor to the selected machine (the
// whole program or from the caret's line), or receives one into an empty editor. The device
// name decides between the serial port (the transfer thread, or the dialog's own loop) and
// the tape card (reader and punch emulation). Progress shows as the selected line of the
// editor; "Avbryt" cancels, and a running transfer closes the dialog when it ends.
#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;
class TAskForm;
class TEditThread;
class TextControl;

inline constexpr const char* kTransCaption = "CNC-overføring";
inline constexpr const char* kStartCaption = "Starte overføring";
inline constexpr const char* kStartHeading = "Oppgi eventuell startsekvens";
inline constexpr const char* kDefaultStartSequence = "S2000";

class TTransForm : public QDialog {
    Q_OBJECT
public:
    explicit TTransForm(QWidget* parent = nullptr);
    // A transfer thread still running is cancelled and waited for.
    ~TTransForm() override;

    // ---- Components.
    QFrame* Panel1 = nullptr;
    QPushButton* Avbryt = nullptr;
    QCheckBox* Vis = nullptr;
    QFrame* Panel2 = nullptr;
    QToolButton* Send = nullptr;
    QLabel* SendLabel = nullptr;
    QFrame* Panel3 = nullptr;
    QToolButton* SendLinje = nullptr;
    QLabel* SendLinjeLabel = nullptr;
    QFrame* Panel4 = nullptr;
    QToolButton* Hent = nullptr;
    QLabel* HentLabel = nullptr;
    QTimer* ThreadTimer = nullptr;
    // 1 when the last serial send ran on a thread, 0 when in the dialog's loop.
    int ThreadTimerTag = 0;

    // ---- State.
    bool Busy = false;
    bool Aborted = false;
    int32_t CaretLine = 0;
    QPointer<TEditThread> Thread;
    // Set by the main window before each showing.
    std::string MachineSectionName;
    TextControl* TargetEditor = nullptr;
    TAskForm* AskForm = nullptr;  // the question dialog; made on first use when missing

    // ---- Events and operations.
    void FormShow();
    // The form sees every key first. True when the key clicked a command.
    bool FormKeyPress(char key);
    bool FormCloseQuery();
    void AvbrytClick();
    void VisClick();
    void ThreadTimerTimer();
    void SendClick();
    void SendLinjeClick();
    void HentClick();
    void StartTransfer(int32_t startIndex, const std::string& startSequence);
    void DisableCommands();
    void ThreadDone();

    // Refused while a transfer runs (Esc).
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CloseDialog();
    void ProcessMessages();
    // Selects the line (from its first character over its length); an index past the end
    // keeps the last line selected.
    void SelectLine(int32_t line);
    void SerialSend(int32_t startIndex, const std::string& startSequence, const std::string& device);
    void TapeSendLoop(int32_t startIndex, const std::string& startSequence);
    bool KeyFromEvent(QKeyEvent* event);
    // A failure no handler expected: the dialog says so and ends the transfer cleanly.
    void ReportFault(const char* what);
};
