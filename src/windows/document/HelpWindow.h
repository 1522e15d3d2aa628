#pragma once
// The program's help viewer: the help file is an HTML page (Windows-1252 unless it names
// another character set), shown in a browser window of its own that stays open beside the
// editor.
#include <QDialog>

#include <string>

class QPushButton;
class QTextBrowser;

inline constexpr const char* kHelpCaption = "Skarv-Editor hjelp";
inline constexpr const char* kHelpMissingText = "Finner ikke hjelpefilen ";  // + the file

class THelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);
    // Shows the contents page of a help file (DNC form). False when it cannot be read; the
    // window then says so on its page.
    bool OpenContents(const std::string& helpFile);

    QTextBrowser* Browser = nullptr;
    QPushButton* ContentsButton = nullptr;
    QPushButton* BackButton = nullptr;
    QPushButton* ForwardButton = nullptr;
    QPushButton* CloseButton = nullptr;

private:
    QString contents_;  // the page of the file as last opened
};

// The text of an HTML page's bytes: UTF-8 when the page says so (or starts with its byte
// order mark), else Windows-1252.
QString DecodeHelpPage(const std::string& bytes);
