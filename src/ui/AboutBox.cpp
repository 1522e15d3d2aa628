#include "ui/AboutBox.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/Prompter.h"
#include "editor/ToolGlyphs.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q("Om Skarv-Editor"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setPixmap(ToolGlyph(Glyph::Open).pixmap(48, 48));
    ProgramIcon->setFixedSize(56, 56);
    ProductName = new QLabel(this);
    QFont big = ProductName->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    ProductName->setFont(big);
    Version = new QLabel(this);
    Description = new QLabel(this);
    Maker = new QLabel(Q(kMakerName), this);
    Contact = new QLabel(Q(kMakerContact), this);
    OKButton = new QPushButton(Q("OK"), this);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);

    auto* texts = new QVBoxLayout;
    texts->addWidget(ProductName);
    texts->addWidget(Version);
    texts->addSpacing(6);
    texts->addWidget(Description);
    texts->addSpacing(10);
    texts->addWidget(Maker);
    texts->addWidget(Contact);
    auto* upper = new QHBoxLayout;
    upper->addWidget(ProgramIcon, 0, Qt::AlignTop);
    upper->addSpacing(8);
    upper->addLayout(texts, 1);
    auto* lower = new QHBoxLayout;
    lower->addStretch();
    lower->addWidget(OKButton);
    lower->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(upper);
    layout->addSpacing(8);
    layout->addLayout(lower);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::SetTexts(const std::string& productName, const std::string& description,
                         const std::string& version) {
    setWindowTitle(FromCp1252(kAboutCaptionPrefix + productName));
    ProductName->setText(FromCp1252(productName));
    Version->setText(FromCp1252(version));
    Description->setText(FromCp1252(description + "."));
    adjustSize();
}

void TAboutBox::ShowAbout(const std::string& productName, const std::string& description,
                          const std::string& version) {
    SetTexts(productName, description, version);
    exec();
}
