#include "windows/compare/TransformForm.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "nctools/Renum.h"
#include "widgets/Prompter.h"

TTransformForm::TTransformForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q(kTransformCaption));
    auto* layout = new QVBoxLayout(this);
    auto* modes = new QHBoxLayout;
    Flytt = new QRadioButton(Q(kMoveText), this);
    Roter = new QRadioButton(Q(kRotateText), this);
    Speil = new QRadioButton(Q(kMirrorText), this);
    Skaler = new QRadioButton(Q(kScaleText), this);
    for (QRadioButton* r : {Flytt, Roter, Speil, Skaler}) {
        modes->addWidget(r);
        connect(r, &QRadioButton::clicked, this, &TTransformForm::ModeClick);
    }
    Flytt->setChecked(true);
    layout->addLayout(modes);

    Sider = new QStackedWidget(this);
    auto page = [this]() {
        auto* w = new QWidget(Sider);
        auto* form = new QFormLayout(w);
        Sider->addWidget(w);
        return form;
    };
    auto field = [this](const char* text) {
        auto* e = new QLineEdit(QString::fromLatin1(text), this);
        e->setMaxLength(20);
        return e;
    };
    QFormLayout* move = page();
    move->addRow(QStringLiteral("dX:"), DX = field("0"));
    move->addRow(QStringLiteral("dY:"), DY = field("0"));
    move->addRow(QStringLiteral("dZ:"), DZ = field("0"));
    QFormLayout* rotate = page();
    rotate->addRow(QStringLiteral("Vinkel:"), Vinkel = field("0"));
    rotate->addRow(QStringLiteral("Senter 1:"), Senter1 = field("0"));
    rotate->addRow(QStringLiteral("Senter 2:"), Senter2 = field("0"));
    rotate->addRow(QStringLiteral("Plan:"), Plan = new QLabel(this));
    QFormLayout* mirror = page();
    SpeilX = new QCheckBox(QStringLiteral("X"), this);
    SpeilY = new QCheckBox(QStringLiteral("Y"), this);
    SpeilX->setChecked(true);
    auto* axes = new QHBoxLayout;
    axes->addWidget(SpeilX);
    axes->addWidget(SpeilY);
    mirror->addRow(QStringLiteral("Akse:"), axes);
    mirror->addRow(QStringLiteral("Ved:"), SpeilVed = field("0"));
    QFormLayout* scale = page();
    scale->addRow(QStringLiteral("Faktor:"), Faktor = field("1"));
    scale->addRow(QStringLiteral("Senter X:"), SenterX = field("0"));
    scale->addRow(QStringLiteral("Senter Y:"), SenterY = field("0"));
    scale->addRow(QStringLiteral("Senter Z:"), SenterZ = field("0"));
    scale->addRow(QString(), OgsaaF = new QCheckBox(Q("Også F"), this));
    layout->addWidget(Sider);

    BareMerketOmraade = new QCheckBox(Q("Bare merket område"), this);
    layout->addWidget(BareMerketOmraade);
    auto* buttons = new QHBoxLayout;
    Transformer = new QPushButton(Q(kTransformCaption), this);
    Avbryt = new QPushButton(QStringLiteral("Avbryt"), this);
    Transformer->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(Transformer);
    buttons->addWidget(Avbryt);
    layout->addLayout(buttons);
    connect(Transformer, &QPushButton::clicked, this, &TTransformForm::TransformerClick);
    connect(Avbryt, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(sizeHint());
}

void TTransformForm::showEvent(QShowEvent* event) {
    accepted_ = false;
    Plan->setText(FromCp1252(planeText));
    MarkedArea marked = MarkedAreaOf(selectionStartLine, selectionEndLine);
    BareMerketOmraade->setEnabled(marked.last >= marked.first && selectionEndLine > selectionStartLine);
    BareMerketOmraade->setChecked(BareMerketOmraade->isEnabled());
    ModeClick();
    QDialog::showEvent(event);
}

void TTransformForm::ModeClick() {
    int page = Flytt->isChecked() ? 0 : Roter->isChecked() ? 1 : Speil->isChecked() ? 2 : 3;
    Sider->setCurrentIndex(page);
}

void TTransformForm::TransformerClick() {
    TransformRequest r;
    auto read = [](QLineEdit* e, double& v) { return ReadTypedNumber(ToCp1252(e->text()), v); };
    bool ok = true;
    if (Flytt->isChecked()) {
        r.mode = TransformMode::Move;
        ok = read(DX, r.move[0]) && read(DY, r.move[1]) && read(DZ, r.move[2]);
    } else if (Roter->isChecked()) {
        r.mode = TransformMode::Rotate;
        ok = read(Vinkel, r.angle) && read(Senter1, r.centre[0]) && read(Senter2, r.centre[1]);
    } else if (Speil->isChecked()) {
        r.mode = TransformMode::Mirror;
        r.mirrorX = SpeilX->isChecked();
        r.mirrorY = SpeilY->isChecked();
        ok = (r.mirrorX || r.mirrorY) && read(SpeilVed, r.mirrorAt);
    } else {
        r.mode = TransformMode::Scale;
        ok = read(Faktor, r.factor) && r.factor > 0 && read(SenterX, r.centre[0]) &&
             read(SenterY, r.centre[1]) && read(SenterZ, r.centre[2]);
        r.scaleFeed = OgsaaF->isChecked();
    }
    if (!ok) {
        GetPrompter().Message(kTransformCaption, kBadValuesText);
        return;
    }
    if (BareMerketOmraade->isChecked()) {
        MarkedArea marked = MarkedAreaOf(selectionStartLine, selectionEndLine);
        r.onlyLines = true;
        r.first = static_cast<size_t>(std::max(0LL, marked.first));
        r.last = static_cast<size_t>(std::max(marked.first, marked.last));
    }
    request_ = r;
    accepted_ = true;
    accept();
}
