#pragma once
// TTransformForm, "Transformer": the values of a move, turn, mirror or scale of the marked
// lines or the whole program. The dialog checks the values and closes with the request; the
// main window runs the transform and makes it one step of the text.
#include <QDialog>

#include "compare/Transform.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

class TTransformForm : public QDialog {
    Q_OBJECT
public:
    explicit TTransformForm(QWidget* parent = nullptr);

    // Filled by the main window before each showing.
    long long selectionStartLine = 0;  // the line that holds the selection start
    long long selectionEndLine = 0;    // the line that holds selection start + length
    std::string planeText = "G17";     // the plane a turn is made in, as shown

    // After "Transformer": the request (lines 0-based).
    const TransformRequest& Request() const { return request_; }
    bool Accepted() const { return accepted_; }

    void ModeClick();
    void TransformerClick();

    QRadioButton* Flytt;
    QRadioButton* Roter;
    QRadioButton* Speil;
    QRadioButton* Skaler;
    QStackedWidget* Sider;
    QLineEdit* DX;
    QLineEdit* DY;
    QLineEdit* DZ;
    QLineEdit* Vinkel;
    QLineEdit* Senter1;
    QLineEdit* Senter2;
    QLabel* Plan;
    QCheckBox* SpeilX;
    QCheckBox* SpeilY;
    QLineEdit* SpeilVed;
    QLineEdit* Faktor;
    QLineEdit* SenterX;
    QLineEdit* SenterY;
    QLineEdit* SenterZ;
    QCheckBox* OgsaaF;
    QCheckBox* BareMerketOmraade;
    QPushButton* Transformer;
    QPushButton* Avbryt;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TransformRequest request_;
    bool accepted_ = false;
};
