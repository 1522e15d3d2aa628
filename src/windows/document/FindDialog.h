#pragma once
// The modeless find and replace dialogs of the main window. They always search forward,
// without regard to case and not for whole words: those three options are shown, set that
// way and disabled. Every press of a button only tells the window, which does the work.
#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

inline constexpr const char* kFindDialogCaption = "Søk";
inline constexpr const char* kReplaceDialogCaption = "Erstatt";

class TFindDialog : public QDialog {
    Q_OBJECT
public:
    // replace: the replace dialog (with the replacement text and its two buttons).
    explicit TFindDialog(bool replace, QWidget* parent = nullptr);

    // The texts as Windows-1252 bytes.
    std::string FindText() const;
    void SetFindText(const std::string& text);
    std::string ReplaceText() const;
    void SetReplaceText(const std::string& text);
    // Set while the replace-all button's press is being handled.
    bool ReplaceAll() const { return replaceAll_; }
    // Shows the dialog, or brings it to the front when it is up already.
    void Execute();

    QLineEdit* FindEdit = nullptr;
    QLineEdit* ReplaceEdit = nullptr;  // replace dialog only
    QPushButton* FindNextButton = nullptr;
    QPushButton* ReplaceButton = nullptr;     // replace dialog only
    QPushButton* ReplaceAllButton = nullptr;  // replace dialog only
    QPushButton* CancelButton = nullptr;
    QCheckBox* WholeWord = nullptr;
    QCheckBox* MatchCase = nullptr;
    QRadioButton* Up = nullptr;    // find dialog only
    QRadioButton* Down = nullptr;  // find dialog only

signals:
    void Find();
    void Replace();

private:
    void UpdateButtons();
    bool replaceAll_ = false;
};
