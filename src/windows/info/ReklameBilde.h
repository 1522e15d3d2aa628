#pragma once
// The information window: the maker's rich-text document "Skarv.rtf" from the program
// folder, read afresh at every showing, with the maker's logo and contact lines, and a
// button that prints the document.
#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QPrinter;
class QPushButton;
class QTextDocument;
class QTextEdit;
struct RichDocument;

inline constexpr const char* kReklameCaption = "Brantmo-reklame";
inline constexpr const char* kReklameFile = "Skarv.rtf";
inline constexpr const char* kReklamePrintTitle = "Skarv-Vako informasjon";

// Fills a text document with the paragraphs of a rich-text document, formats included.
void FillTextDocument(QTextDocument& target, const RichDocument& doc);

class TReklameBilde : public QDialog {
    Q_OBJECT
public:
    explicit TReklameBilde(QWidget* parent = nullptr);

    // Loads the document from the program folder; false (and the window closes again at
    // once) when it is not there.
    bool FormShow();
    void UtskriftClick();
    void OKClick();

    QTextEdit* RichEdit1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* Utskrift = nullptr;
    QPushButton* OK = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
