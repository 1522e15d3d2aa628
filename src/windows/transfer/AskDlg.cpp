#include "windows/transfer/AskDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "widgets/Prompter.h"

TAskForm::TAskForm(QWidget* parent) : QDialog(parent) {
    setObjectName("AskForm");
    setWindowTitle(Q(kAskCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(244, 121);

    Heading = new QLabel(QStringLiteral("Heading"), this);
    Heading->setObjectName("Heading");
    Answer = new QLineEdit(QStringLiteral("Answer"), this);
    Answer->setObjectName("Answer");
    Answer->setFixedWidth(225);
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(41);
    OK = new QPushButton(QStringLiteral("OK"), Panel1);
    OK->setObjectName("OK");
    Avbryt = new QPushButton(QStringLiteral("Avbryt"), Panel1);
    Avbryt->setObjectName("Avbryt");
    // Enter in the edit box is the edit box's own (AnswerKeyPress); no button takes it.
    OK->setAutoDefault(false);
    Avbryt->setAutoDefault(false);

    auto* buttons = new QHBoxLayout(Panel1);
    buttons->addStretch(1);
    buttons->addWidget(OK);
    buttons->addWidget(Avbryt);
    buttons->addStretch(1);
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(9, 9, 9, 0);
    top->addWidget(Heading);
    top->addWidget(Answer);
    top->addStretch(1);
    top->addWidget(Panel1);

    connect(OK, &QPushButton::clicked, this, [this] { OKClick(); });
    connect(Avbryt, &QPushButton::clicked, this, [this] { AvbrytClick(); });
    // AnswerKeyPress: Enter clicks OK; every other key is typed as usual.
    connect(Answer, &QLineEdit::returnPressed, this, [this] { OKClick(); });
}

void TAskForm::Ask(const std::string& caption, const std::string& heading, bool& ok,
                   std::string& answer) {
    Answered = false;
    setWindowTitle(FromCp1252(caption));
    Heading->setText(FromCp1252(heading));
    Answer->setText(FromCp1252(answer));
    exec();
    answer = ToCp1252(Answer->text());
    ok = Answered;
}

void TAskForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TAskForm::FormShow() {
    Answer->setFocus();
    Answer->selectAll();
}

void TAskForm::OKClick() {
    Answered = true;
    accept();
}

// The close box and Esc end here too: both count as cancelling.
void TAskForm::AvbrytClick() { reject(); }
