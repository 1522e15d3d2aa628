#include "windows/document/FindDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/Prompter.h"

TFindDialog::TFindDialog(bool replace, QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q(replace ? kReplaceDialogCaption : kFindDialogCaption));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* grid = new QGridLayout;
    auto* findLabel = new QLabel(Q("Søk &etter:"), this);
    FindEdit = new QLineEdit(this);
    findLabel->setBuddy(FindEdit);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(FindEdit, 0, 1);
    if (replace) {
        auto* replaceLabel = new QLabel(Q("Erstatt &med:"), this);
        ReplaceEdit = new QLineEdit(this);
        replaceLabel->setBuddy(ReplaceEdit);
        grid->addWidget(replaceLabel, 1, 0);
        grid->addWidget(ReplaceEdit, 1, 1);
    }

    // The options the search always uses, shown but not to be changed.
    WholeWord = new QCheckBox(Q("Bare &hele ord"), this);
    MatchCase = new QCheckBox(Q("Skill mellom store og små &bokstaver"), this);
    WholeWord->setChecked(false);
    MatchCase->setChecked(false);
    WholeWord->setEnabled(false);
    MatchCase->setEnabled(false);
    auto* options = new QVBoxLayout;
    options->addWidget(WholeWord);
    options->addWidget(MatchCase);
    auto* lower = new QHBoxLayout;
    lower->addLayout(options);
    if (!replace) {
        auto* direction = new QGroupBox(Q("Retning"), this);
        Up = new QRadioButton(Q("&Opp"), direction);
        Down = new QRadioButton(Q("&Ned"), direction);
        Down->setChecked(true);
        Up->setEnabled(false);
        Down->setEnabled(false);
        auto* d = new QHBoxLayout(direction);
        d->addWidget(Up);
        d->addWidget(Down);
        lower->addWidget(direction);
    }

    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addLayout(lower);
    left->addStretch();

    auto* buttons = new QVBoxLayout;
    FindNextButton = new QPushButton(Q("&Finn neste"), this);
    FindNextButton->setDefault(true);
    buttons->addWidget(FindNextButton);
    if (replace) {
        ReplaceButton = new QPushButton(Q("&Erstatt"), this);
        ReplaceAllButton = new QPushButton(Q("Erstatt &alle"), this);
        buttons->addWidget(ReplaceButton);
        buttons->addWidget(ReplaceAllButton);
    }
    CancelButton = new QPushButton(Q("Avbryt"), this);
    buttons->addWidget(CancelButton);
    buttons->addStretch();

    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(buttons);

    connect(FindNextButton, &QPushButton::clicked, this, [this] {
        if (!FindEdit->text().isEmpty()) emit Find();
    });
    if (replace) {
        connect(ReplaceButton, &QPushButton::clicked, this, [this] {
            if (FindEdit->text().isEmpty()) return;
            replaceAll_ = false;
            emit Replace();
        });
        connect(ReplaceAllButton, &QPushButton::clicked, this, [this] {
            if (FindEdit->text().isEmpty()) return;
            replaceAll_ = true;
            emit Replace();
            replaceAll_ = false;
        });
    }
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::close);
    connect(FindEdit, &QLineEdit::textChanged, this, &TFindDialog::UpdateButtons);
    UpdateButtons();
}

std::string TFindDialog::FindText() const { return ToCp1252(FindEdit->text()); }
void TFindDialog::SetFindText(const std::string& text) { FindEdit->setText(FromCp1252(text)); }

std::string TFindDialog::ReplaceText() const {
    return ReplaceEdit ? ToCp1252(ReplaceEdit->text()) : std::string();
}
void TFindDialog::SetReplaceText(const std::string& text) {
    if (ReplaceEdit) ReplaceEdit->setText(FromCp1252(text));
}

void TFindDialog::UpdateButtons() {
    bool any = !FindEdit->text().isEmpty();
    FindNextButton->setEnabled(any);
    if (ReplaceButton) ReplaceButton->setEnabled(any);
    if (ReplaceAllButton) ReplaceAllButton->setEnabled(any);
}

void TFindDialog::Execute() {
    show();
    raise();
    activateWindow();
    FindEdit->setFocus();
    FindEdit->selectAll();
}
