#include "windows/nctools/RenumForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include <exception>

#include "widgets/Prompter.h"

TRenForm::TRenForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q(kRenumCaption));
    setObjectName("RenForm");
    auto* grid = new QGridLayout;
    Start = new QLineEdit;
    Steg = new QLineEdit;
    Max = new QLineEdit;
    Start->setObjectName("Start");
    Steg->setObjectName("Steg");
    Max->setObjectName("Max");
    Start->setText("10");
    Steg->setText("10");
    grid->addWidget(new QLabel(Q("Første blokknummer:")), 0, 0);
    grid->addWidget(Start, 0, 1);
    grid->addWidget(new QLabel(Q("Blokknummer steg:")), 1, 0);
    grid->addWidget(Steg, 1, 1);
    grid->addWidget(new QLabel(Q("Max:")), 2, 0);
    grid->addWidget(Max, 2, 1);
    AddBlockNo = new QCheckBox(Q("Legg til blokknummer"));
    RemoveBlockNo = new QCheckBox(Q("Fjern blokknummer"));
    BareMerketOmraade = new QCheckBox(Q("Bare merket område"));
    AddBlockNo->setObjectName("AddBlockNo");
    RemoveBlockNo->setObjectName("RemoveBlockNo");
    BareMerketOmraade->setObjectName("BareMerketOmraade");
    auto* lines = new QHBoxLayout;
    Linjer = new QLabel("0");
    Linjer->setObjectName("Linjer");
    lines->addWidget(new QLabel(Q("Linjer:")));
    lines->addWidget(Linjer, 1);
    Renummerer = new QPushButton(Q("Renummerer"));
    Avslutt = new QPushButton(Q("Avslutt"));
    Renummerer->setObjectName("Renummerer");
    Avslutt->setObjectName("Avslutt");
    Renummerer->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Renummerer);
    buttons->addWidget(Avslutt);
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addWidget(AddBlockNo);
    top->addWidget(RemoveBlockNo);
    top->addWidget(BareMerketOmraade);
    top->addLayout(lines);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(Renummerer, &QPushButton::clicked, this, [this] { RenummererClick(); });
    connect(Avslutt, &QPushButton::clicked, this, [this] { AvsluttClick(); });
    connect(AddBlockNo, &QCheckBox::clicked, this, [this] { AddBlockNoClick(); });
    connect(RemoveBlockNo, &QCheckBox::clicked, this, [this] { RemoveBlockNoClick(); });
}

void TRenForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
}

void TRenForm::FormShow() {
    renumbered_ = false;
    Linjer->setText(QString::number(lineCount));
    Start->setText(QString::fromLatin1(DefaultStartText(heidenhain).c_str()));
    Steg->setText(QString::fromLatin1(DefaultStepText(heidenhain).c_str()));
    marked_ = MarkedAreaOf(selectionStartLine, selectionEndLine);
    BareMerketOmraade->setEnabled(marked_.usable());
    BareMerketOmraade->setChecked(marked_.usable());
}

void TRenForm::AddBlockNoClick() {
    if (AddBlockNo->isChecked()) RemoveBlockNo->setChecked(false);
}

void TRenForm::RemoveBlockNoClick() {
    if (RemoveBlockNo->isChecked()) AddBlockNo->setChecked(false);
}

void TRenForm::Progress(size_t line) {
    Linjer->setText(QString::number(static_cast<qulonglong>(line)));
    // The label follows every tenth line; the window gets to repaint a few times a second,
    // which keeps a long run from being spent on painting.
    if (!progressClock_.isValid() || progressClock_.elapsed() >= 40) {
        QCoreApplication::processEvents();
        progressClock_.restart();
    }
}

void TRenForm::reject() {
    if (running_) return;
    QDialog::reject();
}

void TRenForm::RenummererClick() {
    if (running_) return;
    RenumRequest req;
    if (!ParseRenumValues(ToCp1252(Start->text()), ToCp1252(Steg->text()), ToCp1252(Max->text()),
                          req.values)) {
        // The box belongs to the dialog, which stays open; nothing changes.
        GetPrompter().SetOwner(this);
        GetPrompter().Message(kRenumCaption, kRenumBadValues);
        GetPrompter().SetOwner(parentWidget());
        return;
    }
    req.addBlockNo = AddBlockNo->isChecked();
    req.removeBlockNo = RemoveBlockNo->isChecked();
    req.onlyMarked = BareMerketOmraade->isChecked();
    if (req.onlyMarked) {
        req.first = marked_.first;
        req.last = marked_.last;
    } else {
        req.first = 0;
        req.last = lineCount - 1;
    }
    request_ = req;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    progressClock_.invalidate();
    running_ = true;
    Renummerer->setEnabled(false);
    Avslutt->setEnabled(false);
    bool failed = false;
    std::string error;
    try {
        if (runner) runner(req, [this](size_t i) { Progress(i); });
    } catch (const std::exception& e) {
        failed = true;
        error = e.what();
    }
    running_ = false;
    Renummerer->setEnabled(true);
    Avslutt->setEnabled(true);
    QApplication::restoreOverrideCursor();
    if (failed) {
        GetPrompter().Message(kRenumCaption, error);
        return;
    }
    renumbered_ = true;
    accept();
}

void TRenForm::AvsluttClick() {
    renumbered_ = false;
    reject();
}
