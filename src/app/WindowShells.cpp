#include "app/WindowShells.h"

#include "editor/Prompter.h"

TRenForm::TRenForm(QWidget* parent) : QDialog(parent) { setWindowTitle(Q("Renummerering")); }

TReklameBilde::TReklameBilde(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q("Brantmo-reklame"));
}

TTransForm::TTransForm(QWidget* parent) : QDialog(parent) { setWindowTitle(Q("CNC-overføring")); }

TAskForm::TAskForm(QWidget* parent) : QDialog(parent) { setWindowTitle(Q("Spørsmål")); }

TTrigForm::TTrigForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q("Trigonometriske funksjoner"));
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) { setWindowTitle(Q("Om Skarv-Editor")); }

TFtpKlientModul::TFtpKlientModul(QObject* parent) : QObject(parent) {}

TRoteringForm::TRoteringForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q("Rotering av B-akse"));
}
