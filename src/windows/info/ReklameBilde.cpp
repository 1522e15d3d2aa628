#include "windows/info/ReklameBilde.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <fstream>
#include <iterator>

#include "widgets/Prompter.h"
#include "windows/print/PrinterStream.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "document/RichText.h"

namespace {
Qt::Alignment Alignment(RichAlign a) {
    switch (a) {
        case RichAlign::Centre: return Qt::AlignHCenter;
        case RichAlign::Right: return Qt::AlignRight;
        case RichAlign::Justify: return Qt::AlignJustify;
        case RichAlign::Left: break;
    }
    return Qt::AlignLeft;
}

QTextCharFormat CharFormat(const RichFormat& f) {
    QTextCharFormat c;
    c.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    c.setFontItalic(f.italic);
    c.setFontUnderline(f.underline);
    if (f.halfPoints > 0) c.setFontPointSize(f.halfPoints / 2.0);
    if (!f.colour.automatic) c.setForeground(QColor(f.colour.red, f.colour.green, f.colour.blue));
    return c;
}

// The maker's logo: a stylised bird over a wave, drawn once.
QPixmap Logo() {
    QPixmap pm(96, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 160));
    p.drawRoundedRect(QRectF(2, 2, 92, 44), 8, 8);
    QPen white(Qt::white, 3, Qt::SolidLine, Qt::RoundCap);
    p.setPen(white);
    p.setBrush(Qt::NoBrush);
    QPainterPath bird;
    bird.moveTo(18, 22);
    bird.quadTo(30, 10, 42, 22);
    bird.quadTo(54, 10, 66, 22);
    p.drawPath(bird);
    QPainterPath wave;
    wave.moveTo(12, 36);
    wave.cubicTo(30, 28, 50, 44, 84, 32);
    p.drawPath(wave);
    return pm;
}
}  // namespace

void FillTextDocument(QTextDocument& target, const RichDocument& doc) {
    target.clear();
    QTextCursor cursor(&target);
    bool first = true;
    for (const RichParagraph& para : doc.paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(Alignment(para.align));
        QTextCharFormat start = para.runs.empty() ? QTextCharFormat() : CharFormat(para.runs.front().format);
        if (first) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(start);
            first = false;
        } else {
            cursor.insertBlock(block, start);
        }
        for (const RichRun& run : para.runs) {
            QString text = FromCp1252(run.text);
            text.replace(QChar('\n'), QChar::LineSeparator);
            cursor.insertText(text, CharFormat(run.format));
        }
    }
}

TReklameBilde::TReklameBilde(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q(kReklameCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFixedSize(632, 371);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setReadOnly(true);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEdit1->setGeometry(0, 0, 632, 305);

    Image1 = new QLabel(this);
    Image1->setPixmap(Logo());
    Image1->setGeometry(8, 315, 96, 48);

    Label1 = new QLabel(Q("Skarv Automasjon AS"), this);
    QFont big = Label1->font();
    big.setPointSize(16);
    big.setBold(true);
    Label1->setFont(big);
    Label1->setGeometry(112, 310, 260, 28);
    Label2 = new QLabel(Q("Verkstedgata 7, 7010 Trondheim"), this);
    Label2->setGeometry(112, 338, 200, 15);
    Label3 = new QLabel(Q("Telefon 73 00 00 00"), this);
    Label3->setGeometry(112, 353, 200, 15);
    Label4 = new QLabel(Q("Telefaks 73 00 00 01"), this);
    Label4->setGeometry(320, 338, 160, 15);
    Label5 = new QLabel(Q("support@skarv.example"), this);
    Label5->setGeometry(320, 353, 160, 15);

    Utskrift = new QPushButton(Q("Utskrift"), this);
    Utskrift->setGeometry(486, 320, 64, 25);
    OK = new QPushButton(Q("OK"), this);
    OK->setGeometry(556, 320, 64, 25);
    OK->setDefault(true);

    connect(Utskrift, &QPushButton::clicked, this, &TReklameBilde::UtskriftClick);
    connect(OK, &QPushButton::clicked, this, &TReklameBilde::OKClick);
}

void TReklameBilde::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A missing document closes the window again at once, without a message.
    if (!FormShow()) QTimer::singleShot(0, this, &QDialog::reject);
}

bool TReklameBilde::FormShow() {
    std::string file = ProgramDirectory() + kReklameFile;
    if (!FileExists(file)) return false;
    std::ifstream in(ResolvePath(file), std::ios::binary);
    if (!in) return false;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    FillTextDocument(*RichEdit1->document(), ReadRichText(bytes));
    RichEdit1->moveCursor(QTextCursor::Start);
    return true;
}

void TReklameBilde::UtskriftClick() {
    // At once, without a dialog, on the printer "Skriver" chose for the program's prints.
    QPrinter printer(QPrinter::HighResolution);
    ConfigureDriverPrinter(printer, kReklamePrintTitle, 1);
    RichEdit1->document()->print(&printer);
}

void TReklameBilde::OKClick() { accept(); }
