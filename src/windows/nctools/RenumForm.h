#pragma once
// TRenForm, "Renummerering": the values of a renumbering. The dialog itself never touches
// the editor: on "Renummerer" it checks the values and hands them to the runner the main
// window gave it (which renumbers its lines with RenumberText and reports progress back),
// then closes.
#include <QDialog>
#include <QElapsedTimer>
#include <functional>

#include "nctools/Renum.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TRenForm : public QDialog {
    Q_OBJECT
public:
    // progress(i): line i is about to be renumbered (called every 10 lines).
    using Runner = std::function<void(const RenumRequest& request, const RenumProgress& progress)>;

    explicit TRenForm(QWidget* parent = nullptr);

    // State filled by the main window before each showing.
    bool heidenhain = false;
    long long lineCount = 0;
    long long selectionStartLine = 0;  // line that holds the selection start
    long long selectionEndLine = 0;    // line that holds selection start + length
    Runner runner;

    // After the dialog closed: whether it renumbered, and with what.
    bool Renumbered() const { return renumbered_; }
    const RenumRequest& Request() const { return request_; }

    void FormShow();
    void RenummererClick();
    void AvsluttClick();
    void AddBlockNoClick();
    void RemoveBlockNoClick();

    QLineEdit* Start;
    QLineEdit* Steg;
    QLineEdit* Max;
    QCheckBox* AddBlockNo;
    QCheckBox* RemoveBlockNo;
    QCheckBox* BareMerketOmraade;
    QLabel* Linjer;
    QPushButton* Renummerer;
    QPushButton* Avslutt;

    // While a run processes window messages the dialog cannot be closed or started again.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Progress(size_t line);
    MarkedArea marked_;
    RenumRequest request_;
    bool renumbered_ = false;
    bool running_ = false;
    QElapsedTimer progressClock_;
};
