#pragma once
// TTrigForm, "Trigonometriske funksjoner": a right-angled triangle from two known
// quantities, the bolt-hole circle inserted into the program above the caret's line, and a
// button that starts the desktop's calculator.
#include <QDialog>

#include "calc/TrigCalc.h"

class QLineEdit;
class QPushButton;
class Launcher;

class TTrigForm : public QDialog {
    Q_OBJECT
public:
    explicit TTrigForm(QWidget* parent = nullptr);

    // Set by the main window before each showing: the program's lines.
    HoleCircleTarget* TargetEditor = nullptr;
    // The lines inserted by the last hole circle of this showing; first > last: none.
    long long FirstInsertedLine = 1;
    long long LastInsertedLine = 0;
    // The launcher for "Kalkulator": GetLauncher() when null, else the process launcher.
    Launcher* launcher = nullptr;

    void FormShow();
    void NullstillClick();
    void AntallHullChange();
    void KalkulatorClick();
    void AvsluttClick();
    void BeregnTrekantClick();
    void SettInnHullSirkelClick();

    QLineEdit* Hypotenus;
    QLineEdit* Hosliggende;
    QLineEdit* Motstaaende;
    QLineEdit* Vinkel;
    QLineEdit* Radius;
    QLineEdit* StartVinkel;
    QLineEdit* AntallHull;
    QLineEdit* SenterX;
    QLineEdit* SenterY;
    QPushButton* Kalkulator;
    QPushButton* BeregnTrekant;
    QPushButton* SettInnHullSirkel;
    QPushButton* Nullstill;
    QPushButton* Avslutt;

protected:
    void showEvent(QShowEvent* event) override;
};
