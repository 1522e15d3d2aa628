#pragma once
// The windows that the program start creates after the main window and whose contents are
// still to come: each is an empty window with its caption until its real one replaces it.
#include <QDialog>
#include <QObject>

class TReklameBilde : public QDialog {
    Q_OBJECT
public:
    explicit TReklameBilde(QWidget* parent = nullptr);
};

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

