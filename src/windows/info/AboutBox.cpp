#include "windows/info/AboutBox.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/Prompter.h"

namespace {
// The program's icon: a program sheet with "NC" on it.
QPixmap ProgramPicture() {
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 3.5, 31, 41));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 160));
    p.drawRect(QRectF(9, 4, 30, 12));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (int y = 24; y <= 40; y += 4) p.drawLine(QPointF(13, y), QPointF(35, y));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(10);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(9, 4, 30, 12), Qt::AlignCenter, QStringLiteral("NC"));
    return pm;
}
}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q("Om Skarv-Editor"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setPixmap(ProgramPicture());
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
