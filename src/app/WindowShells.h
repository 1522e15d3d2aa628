#pragma once
// The windows that the program start creates after the main window and whose contents are
// still to come: each is an empty window with its caption until its real one replaces it.
#include <QDialog>
#include <QObject>

class TRenForm : public QDialog {
    Q_OBJECT
public:
    explicit TRenForm(QWidget* parent = nullptr);
};

class TReklameBilde : public QDialog {
    Q_OBJECT
public:
    explicit TReklameBilde(QWidget* parent = nullptr);
};

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

class TTrigForm : public QDialog {
    Q_OBJECT
public:
    explicit TTrigForm(QWidget* parent = nullptr);
};

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

// Not a window: the FTP client's holder.
class TFtpKlientModul : public QObject {
    Q_OBJECT
public:
    explicit TFtpKlientModul(QObject* parent = nullptr);
};

class TRoteringForm : public QDialog {
    Q_OBJECT
public:
    explicit TRoteringForm(QWidget* parent = nullptr);
};
