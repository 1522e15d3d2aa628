#include "windows/calc/TrigForm.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cstdlib>

#include "widgets/Prompter.h"
#include "platform/ProcessLauncher.h"
#include "settings/Launcher.h"

namespace {
QLineEdit* AddField(QGridLayout* grid, int row, const char* label, const char* name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    grid->addWidget(new QLabel(Q(label)), row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QPushButton* AddButton(QHBoxLayout* row, const char* caption, const char* name) {
    auto* b = new QPushButton(Q(caption));
    b->setObjectName(name);
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
}

std::string Text(const QLineEdit* e) { return ToCp1252(e->text()); }
void SetText(QLineEdit* e, const std::string& s) { e->setText(FromCp1252(s)); }
}  // namespace

TTrigForm::TTrigForm(QWidget* parent) : QDialog(parent) {
    setObjectName("TrigForm");
    setWindowTitle(Q(kTrigCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto* triangle = new QGroupBox(Q("Rettvinklet trekant"));
    auto* tg = new QGridLayout(triangle);
    Hypotenus = AddField(tg, 0, "Hypotenus:", "Hypotenus");
    Hosliggende = AddField(tg, 1, "Hosliggende:", "Hosliggende");
    Motstaaende = AddField(tg, 2, "Motstående:", "Motstaaende");
    Vinkel = AddField(tg, 3, "Vinkel:", "Vinkel");
    tg->addWidget(new QLabel(Q("(Minst 2 felt må fylles ut før beregningen)")), 4, 0, 1, 2);

    auto* circle = new QGroupBox(Q("Hullsirkel"));
    auto* cg = new QGridLayout(circle);
    Radius = AddField(cg, 0, "Radius:", "Radius");
    StartVinkel = AddField(cg, 1, "Startvinkel:", "StartVinkel");
    AntallHull = AddField(cg, 2, "Antall hull:", "AntallHull");
    SenterX = AddField(cg, 3, "Senter X:", "SenterX");
    SenterY = AddField(cg, 4, "Senter Y:", "SenterY");

    auto* groups = new QHBoxLayout;
    groups->addWidget(triangle);
    groups->addWidget(circle);
    auto* buttons = new QHBoxLayout;
    Kalkulator = AddButton(buttons, "Kalkulator", "Kalkulator");
    BeregnTrekant = AddButton(buttons, "Beregn trekant", "BeregnTrekant");
    SettInnHullSirkel = AddButton(buttons, "Sett inn hullsirkel", "SettInnHullSirkel");
    Nullstill = AddButton(buttons, "Nullstill", "Nullstill");
    Avslutt = AddButton(buttons, "Avslutt", "Avslutt");
    SettInnHullSirkel->setEnabled(false);
    auto* top = new QVBoxLayout(this);
    top->addLayout(groups);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(Kalkulator, &QPushButton::clicked, this, [this] { KalkulatorClick(); });
    connect(BeregnTrekant, &QPushButton::clicked, this, [this] { BeregnTrekantClick(); });
    connect(SettInnHullSirkel, &QPushButton::clicked, this, [this] { SettInnHullSirkelClick(); });
    connect(Nullstill, &QPushButton::clicked, this, [this] { NullstillClick(); });
    connect(Avslutt, &QPushButton::clicked, this, [this] { AvsluttClick(); });
    connect(AntallHull, &QLineEdit::textChanged, this, [this] { AntallHullChange(); });
    NullstillClick();  // FormCreate
}

void TTrigForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
}

void TTrigForm::FormShow() {
    FirstInsertedLine = 1;
    LastInsertedLine = 0;
}

void TTrigForm::NullstillClick() {
    for (QLineEdit* e : {Hypotenus, Hosliggende, Motstaaende, Vinkel, Radius, StartVinkel,
                         AntallHull, SenterX, SenterY})
        e->clear();
}

void TTrigForm::AntallHullChange() {
    SettInnHullSirkel->setEnabled(ReadHoleCount(Text(AntallHull)) > 0);
}

void TTrigForm::KalkulatorClick() {
    // Starts the desktop's calculator and returns at once; its outcome is not reported.
    const char* path = std::getenv("PATH");
    std::string program = FindCalculatorProgram(path ? path : "");
    if (program.empty()) return;
    static ProcessLauncher processLauncher;
    Launcher* l = launcher ? launcher : GetLauncher() ? GetLauncher() : &processLauncher;
    l->Start(program, {});
}

void TTrigForm::AvsluttClick() { reject(); }

void TTrigForm::BeregnTrekantClick() {
    Triangle t;
    t.h = ReadTrigNumber(Text(Hypotenus));
    t.a = ReadTrigNumber(Text(Hosliggende));
    t.o = ReadTrigNumber(Text(Motstaaende));
    t.angle = ReadTrigNumber(Text(Vinkel));
    if (!SolveTriangle(t)) GetPrompter().Message(kTriangleCaption, kInvalidValues);
    TriangleTexts texts = FormatTriangle(t);
    SetText(Hypotenus, texts.h);
    SetText(Hosliggende, texts.a);
    SetText(Motstaaende, texts.o);
    SetText(Vinkel, texts.angle);
}

void TTrigForm::SettInnHullSirkelClick() {
    HoleCircle c;
    c.radius = ReadTrigNumber(Text(Radius));
    c.startAngle = ReadTrigNumber(Text(StartVinkel));
    c.count = ReadHoleCount(Text(AntallHull));
    c.centreX = ReadTrigNumber(Text(SenterX));
    c.centreY = ReadTrigNumber(Text(SenterY));
    bool ok = false;
    if (TargetEditor) {
        try {
            ok = InsertHoleCircle(*TargetEditor, c, FirstInsertedLine, LastInsertedLine);
        } catch (const std::exception&) {
            ok = false;
        }
    }
    if (!ok) GetPrompter().Message(kHoleCircleCaption, kInvalidValues);
    accept();
}
