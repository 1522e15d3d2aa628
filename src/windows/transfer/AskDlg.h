#pragma once
// TAskForm, "Spørsmål": asks for one line of text with a caption, a heading and a proposed
// answer. One instance serves every question.
#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

inline constexpr const char* kAskCaption = "Spørsmål";

class TAskForm : public QDialog {
    Q_OBJECT
public:
    explicit TAskForm(QWidget* parent = nullptr);

    // Shows the question modally. The answer comes back as typed whether the user confirmed
    // or cancelled; ok is true only when the dialog was closed with OK.
    void Ask(const std::string& caption, const std::string& heading, bool& ok,
             std::string& answer);

    QLabel* Heading = nullptr;
    QWidget* Panel1 = nullptr;
    QPushButton* OK = nullptr;
    QPushButton* Avbryt = nullptr;
    QLineEdit* Answer = nullptr;

    bool Answered = false;

    void FormShow();
    void OKClick();
    void AvbrytClick();

protected:
    void showEvent(QShowEvent* event) override;
};
