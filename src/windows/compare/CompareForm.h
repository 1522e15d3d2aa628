#pragma once
// TCompareForm, "Sammenlign": the document beside another program (a file, its ".Bak", the
// file on the disk). Two read-only panes scroll together with the lines aligned: added,
// removed and changed lines on their own backgrounds, the changed words marked; the counts
// above. "Neste forskjell" (F8) and "Forrige forskjell" (Shift+F8) go from difference to
// difference; "Kopier til venstre" takes the current one into the document through the main
// window, which is the only change to the document the window makes.
#include <QDialog>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/Compare.h"

class QCheckBox;
class QLabel;
class QPushButton;
class TextControl;

inline constexpr const char* kCompareCaption = "Sammenlign";
inline constexpr const char* kNextDifferenceText = "Neste forskjell";
inline constexpr const char* kPreviousDifferenceText = "Forrige forskjell";
inline constexpr const char* kCopyLeftText = "Kopier til venstre";
// The options as the user left them (per-user values).
inline constexpr const char* kIgnoreNumbersKey = "SammenlignBlokknummer";
inline constexpr const char* kIgnoreBlanksKey = "SammenlignMellomrom";
inline constexpr const char* kByValueKey = "SammenlignVerdi";

class TCompareForm : public QDialog {
    Q_OBJECT
public:
    explicit TCompareForm(QWidget* parent = nullptr);

    // Given by the main window before the showing.
    BlockModel model;
    std::string leftName, rightName;
    std::function<std::string()> leftText;  // the document as it stands
    std::string rightText;
    // Lines [first, first + count) of the document replaced by lines (CR LF between them).
    std::function<void(size_t first, size_t count, const std::string& lines)> copyLeft;

    // Compares anew and fills the panes; the current difference is kept by its number.
    void Compare();
    void NesteForskjellClick();
    void ForrigeForskjellClick();
    void KopierTilVenstreClick();
    void OptionClick();

    TextControl* Venstre;
    TextControl* Hoyre;
    QLabel* VenstreNavn;
    QLabel* HoyreNavn;
    QCheckBox* IgnorerBlokknummer;
    QCheckBox* IgnorerMellomrom;
    QCheckBox* TallEtterVerdi;
    QLabel* Antall;
    QPushButton* NesteForskjell;
    QPushButton* ForrigeForskjell;
    QPushButton* KopierTilVenstre;
    QPushButton* Lukk;

    const CompareResult& Result() const { return result_; }
    int CurrentDifference() const { return current_; }  // -1 before the first
    int RowOfDifference(size_t k) const { return hunkRow_[k]; }
    CompareOptions Options() const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Go(int difference);
    void Fill();
    std::string left_;
    std::vector<std::string_view> leftLines_, rightLines_;
    CompareResult result_;
    std::vector<int> hunkRow_;  // the pane row of each difference
    int current_ = -1;
    bool syncing_ = false;
};
