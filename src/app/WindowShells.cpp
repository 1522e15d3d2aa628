#include "app/WindowShells.h"

#include "editor/Prompter.h"

TReklameBilde::TReklameBilde(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q("Brantmo-reklame"));
}

TTransForm::TTransForm(QWidget* parent) : QDialog(parent) { setWindowTitle(Q("CNC-overføring")); }

TAskForm::TAskForm(QWidget* parent) : QDialog(parent) { setWindowTitle(Q("Spørsmål")); }

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) { setWindowTitle(Q("Om Skarv-Editor")); }

