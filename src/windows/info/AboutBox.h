#pragma once
// The about box: the program's icon, name, version and description, and the maker's lines.
#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

inline constexpr const char* kAboutDescription = "Editor for CNC-programmer";
inline constexpr const char* kAboutVersion = "Versjon 1.4.1";
inline constexpr const char* kAboutCaptionPrefix = "Om ";
inline constexpr const char* kMakerName = "Skarv Automasjon AS";
inline constexpr const char* kMakerContact = "Verkstedgata 7, 7010 Trondheim - tlf. 73 00 00 00";

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    // Caption "Om " + product name, the three labels set; then shown modally.
    void ShowAbout(const std::string& productName, const std::string& description,
                   const std::string& version);
    // The same without showing (ShowAbout sets the box up with it).
    void SetTexts(const std::string& productName, const std::string& description,
                  const std::string& version);

    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Description = nullptr;
    QLabel* Maker = nullptr;
    QLabel* Contact = nullptr;
    QPushButton* OKButton = nullptr;
};
