#pragma once
// TRoteringForm, "Rotering av B-akse": X and Z of a point found again after the rotary table
// has turned, with a sketch of the situation. Enter calculates, Escape resets (it does not
// close the window), "Utskrift" prints the window on one page.
#include <QDialog>
#include <functional>

#include "calc/Rotering.h"

class QComboBox;
class QLineEdit;
class QPainter;
class QPrinter;
class QPushButton;
class QWidget;

inline constexpr const char* kRoteringPrintCaption = "Utskrift";
inline constexpr const char* kRoteringPrintFailed = "Utskrift feilet";

class TRoteringForm : public QDialog {
    Q_OBJECT
public:
    explicit TRoteringForm(QWidget* parent = nullptr);

    void KalkulerClick();
    void NullstillClick();
    void UtskriftClick();
    void PBPaint(QPainter& painter);

    // The window's fields.
    double BUtAngle = 0;
    double PointAngle = 0;
    int CentreX = 0;
    int CentreY = 0;
    bool Calculated = false;

    // Runs on the printer before the page is printed, after it is set up for the printer of
    // the program's prints (tests send it to a PDF file).
    std::function<void(QPrinter&)> printerSetup;

    // The sketch's geometry for the current paint-box size and fields.
    RotationSketch Sketch() const;

    QLineEdit* InnX;
    QLineEdit* InnZ;
    QComboBox* InnB;
    QLineEdit* InnV;
    QLineEdit* UtX;
    QLineEdit* UtZ;
    QPushButton* Kalkuler;
    QPushButton* Nullstill;
    QPushButton* Utskrift;
    QWidget* PB;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Reset(bool repaint);
};
