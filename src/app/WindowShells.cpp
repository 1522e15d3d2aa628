#include "app/WindowShells.h"

#include "editor/Prompter.h"

TTransForm::TTransForm(QWidget* parent) : QDialog(parent) { setWindowTitle(Q("CNC-overføring")); }

TAskForm::TAskForm(QWidget* parent) : QDialog(parent) { setWindowTitle(Q("Spørsmål")); }

