#pragma once
// The windows that the program start creates after the main window and whose contents are
// still to come: each is an empty window with its caption until its real one replaces it.
#include <QDialog>
#include <QObject>

class TTransForm : public QDialog {
    Q_OBJECT
public:
    explicit TTransForm(QWidget* parent = nullptr);
};

class TAskForm : public QDialog {
    Q_OBJECT
public:
    explicit TAskForm(QWidget* parent = nullptr);
};

