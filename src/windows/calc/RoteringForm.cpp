#include "windows/calc/RoteringForm.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "widgets/Prompter.h"
#include "windows/print/PrinterStream.h"

namespace {
// The paint box: the form draws on it.
class PaintBox : public QWidget {
public:
    explicit PaintBox(TRoteringForm* form) : form_(form) {
        setObjectName("PB");
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        form_->PBPaint(p);
    }

private:
    TRoteringForm* form_;
};

QLabel* ColouredLabel(const char* text, const QColor& colour) {
    auto* l = new QLabel(Q(text));
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    return l;
}

QLineEdit* Edit(const char* name, bool readOnly = false) {
    auto* e = new QLineEdit;
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    return e;
}

QPoint P(const Pixel& p) { return QPoint(p.x, p.y); }

void TextAt(QPainter& painter, const Pixel& at, const std::string& text) {
    QFontMetrics fm = painter.fontMetrics();
    painter.drawText(QPoint(at.x, at.y + fm.ascent()), FromCp1252(text));
}
}  // namespace

TRoteringForm::TRoteringForm(QWidget* parent) : QDialog(parent) {
    setObjectName("RoteringForm");
    setWindowTitle(Q(kRoteringCaption));
    setSizeGripEnabled(true);

    auto* inn = new QGroupBox(Q("Inn"));
    auto* ig = new QGridLayout(inn);
    InnX = Edit("InnX");
    InnZ = Edit("InnZ");
    InnB = new QComboBox;
    InnB->setObjectName("InnB");
    InnB->setEditable(true);
    InnB->setInsertPolicy(QComboBox::NoInsert);
    InnB->addItems({"B0", "B90", "B180", "B270"});
    InnV = Edit("InnV");
    ig->addWidget(new QLabel(Q("X-verdi:")), 0, 0);
    ig->addWidget(InnX, 0, 1);
    ig->addWidget(new QLabel(Q("Z-verdi:")), 1, 0);
    ig->addWidget(InnZ, 1, 1);
    ig->addWidget(new QLabel(Q("B-inn:")), 2, 0);
    ig->addWidget(InnB, 2, 1);
    ig->addWidget(ColouredLabel("B-ut:", QColor(0, 0, 255)), 3, 0);
    ig->addWidget(InnV, 3, 1);

    auto* ut = new QGroupBox(Q("Ut"));
    auto* ug = new QGridLayout(ut);
    UtX = Edit("UtX", true);
    UtZ = Edit("UtZ", true);
    ug->addWidget(ColouredLabel("X-verdi:", QColor(255, 0, 0)), 0, 0);
    ug->addWidget(UtX, 0, 1);
    ug->addWidget(ColouredLabel("Z-verdi:", QColor(0, 128, 0)), 1, 0);
    ug->addWidget(UtZ, 1, 1);

    Kalkuler = new QPushButton(Q("OK"));
    Nullstill = new QPushButton(Q("Nullstill"));
    Utskrift = new QPushButton(Q("Utskrift"));
    Kalkuler->setObjectName("Kalkuler");
    Nullstill->setObjectName("Nullstill");
    Utskrift->setObjectName("Utskrift");
    Kalkuler->setDefault(true);
    Nullstill->setAutoDefault(false);
    Utskrift->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(Kalkuler);
    row->addWidget(Nullstill);

    auto* panel = new QVBoxLayout;
    panel->addWidget(inn);
    panel->addWidget(ut);
    panel->addLayout(row);
    panel->addStretch(1);
    panel->addWidget(Utskrift);
    PB = new PaintBox(this);
    auto* top = new QHBoxLayout(this);
    top->addLayout(panel);
    top->addWidget(PB, 1);

    connect(Kalkuler, &QPushButton::clicked, this, [this] { KalkulerClick(); });
    connect(Nullstill, &QPushButton::clicked, this, [this] { NullstillClick(); });
    connect(Utskrift, &QPushButton::clicked, this, [this] { UtskriftClick(); });

    resize(1088, 750);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Reset(false);  // FormCreate
}

void TRoteringForm::Reset(bool repaint) {
    BUtAngle = 0;
    PointAngle = 0;
    Calculated = false;
    InnX->clear();
    InnZ->clear();
    InnB->setCurrentIndex(0);
    InnV->clear();
    UtX->clear();
    UtZ->clear();
    if (repaint) PB->update();
}

void TRoteringForm::NullstillClick() { Reset(true); }

void TRoteringForm::keyPressEvent(QKeyEvent* event) {
    // Escape is the reset button's key here: it clears the window and leaves it open.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        NullstillClick();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TRoteringForm::KalkulerClick() {
    double x = ReadRotationNumber(ToCp1252(InnX->text()));
    double z = ReadRotationNumber(ToCp1252(InnZ->text()));
    double v = ReadRotationNumber(ToCp1252(InnV->text()));
    // A text typed into the list that is none of its items counts as no item chosen.
    int k = InnB->findText(InnB->currentText(), Qt::MatchExactly);
    RotationResult r = CalculateRotation(x, z, k, v);
    BUtAngle = r.bUtAngle;
    PointAngle = r.pointAngle;
    UtX->setText(FromCp1252(FormatRotationNumber(r.utX)));
    UtZ->setText(FromCp1252(FormatRotationNumber(r.utZ)));
    Calculated = true;
    PB->update();
}

RotationSketch TRoteringForm::Sketch() const {
    return ComputeRotationSketch(PB->width(), PB->height(), Calculated, BUtAngle, PointAngle,
                                 ToCp1252(InnV->text()));
}

void TRoteringForm::PBPaint(QPainter& painter) {
    RotationSketch s = Sketch();
    CentreX = s.centreX;
    CentreY = s.centreY;
    painter.setPen(QPen(Qt::black));
    painter.drawLine(P(s.xAxisFrom), P(s.xAxisTo));
    TextAt(painter, s.xAxisFrom, kAxisLabelXMinus);
    TextAt(painter, s.xAxisTo, kAxisLabelXPlus);
    painter.drawLine(P(s.zAxisFrom), P(s.zAxisTo));
    TextAt(painter, s.zAxisFrom, kAxisLabelZMinus);
    TextAt(painter, s.zAxisTo, kAxisLabelZPlus);
    if (!s.calculated) return;
    painter.setPen(QPen(QColor(0, 0, 255)));
    painter.drawLine(P(s.blueFrom), P(s.blueTo));
    TextAt(painter, s.blueTo, s.blueLabel);
    TextAt(painter, s.marker, kMarkerText);
    Pixel centre{s.centreX, s.centreY};
    painter.setPen(QPen(QColor(255, 0, 0)));
    painter.drawLine(P(centre), P(s.redTo));
    painter.setPen(QPen(QColor(0, 128, 0)));
    painter.drawLine(P(s.redTo), P(s.greenTo));
}

void TRoteringForm::UtskriftClick() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool ok = false;
    try {
        QPalette saved = palette();
        bool savedFill = autoFillBackground();
        QPalette white = saved;
        white.setColor(QPalette::Window, Qt::white);
        setPalette(white);
        setAutoFillBackground(true);
        QPixmap image = grab();
        setPalette(saved);
        setAutoFillBackground(savedFill);

        // The printer "Skriver" chose for the program's prints, as every print of the editor.
        QPrinter printer(QPrinter::HighResolution);
        ConfigureDriverPrinter(printer, kRoteringCaption, 1);
        if (printerSetup) printerSetup(printer);
        QPainter painter;
        if (painter.begin(&printer)) {
            QRectF page = printer.pageRect(QPrinter::DevicePixel);
            QSizeF size = QSizeF(image.size()).scaled(page.size(), Qt::KeepAspectRatio);
            painter.drawPixmap(QRectF(QPointF(0, 0), size), image, QRectF(image.rect()));
            ok = painter.end();
        }
    } catch (const std::exception&) {
        ok = false;
    }
    QApplication::restoreOverrideCursor();
    if (!ok) GetPrompter().Message(kRoteringPrintCaption, kRoteringPrintFailed);
}
