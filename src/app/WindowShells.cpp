#include "app/WindowShells.h"

#include "editor/Prompter.h"

TReklameBilde::TReklameBilde(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q("Brantmo-reklame"));
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) { setWindowTitle(Q("Om Skarv-Editor")); }

