#include <gtest/gtest.h>

#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TestSupport.h"
#include "windows/calc/RoteringForm.h"
#include "windows/calc/TrigForm.h"
#include "print/PrinterSelect.h"
#include "windows/print/PrinterStream.h"
#include "ScriptedPrompter.h"
#include "platform/ProcessLauncher.h"

namespace {
class ListTarget : public HoleCircleTarget {
public:
    std::vector<std::string> lines;
    long long caret = 0;
    long long CaretLine() override { return caret; }
    void InsertLine(long long index, const std::string& text) override {
        lines.insert(lines.begin() + index, text);
    }
};

class RecordingLauncher : public Launcher {
public:
    std::vector<std::string> started;
    bool Start(const std::string& program, const std::vector<std::string>&) override {
        started.push_back(program);
        return true;
    }
};

class ScopedPath {
public:
    explicit ScopedPath(const std::string& path) {
        const char* p = std::getenv("PATH");
        old_ = p ? p : "";
        ::setenv("PATH", path.c_str(), 1);
    }
    ~ScopedPath() { ::setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

void SetFields(TTrigForm& f, const char* h, const char* a, const char* o, const char* v) {
    f.Hypotenus->setText(h);
    f.Hosliggende->setText(a);
    f.Motstaaende->setText(o);
    f.Vinkel->setText(v);
}
std::string BuildDir() { return SKARV_BUILD_DIR; }
}  // namespace

TEST(TTrigForm, TriangleFieldsAndInvalidValues) {
    ScriptedPrompter prompter;
    TTrigForm form;
    form.show();
    SetFields(form, "5", "4", "", "");
    QTest::mouseClick(form.BeregnTrekant, Qt::LeftButton);
    EXPECT_EQ(form.Motstaaende->text(), "3.000");
    EXPECT_EQ(form.Vinkel->text(), "36.870");
    SetFields(form, "", "12,5", "12,5", "");
    QTest::mouseClick(form.BeregnTrekant, Qt::LeftButton);
    EXPECT_EQ(form.Hypotenus->text(), "17.678");
    EXPECT_EQ(form.Vinkel->text(), "45.000");
    EXPECT_TRUE(prompter.shown.empty());
    SetFields(form, "4", "5", "", "");
    QTest::mouseClick(form.BeregnTrekant, Qt::LeftButton);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, kTriangleCaption);
    EXPECT_EQ(prompter.shown[0].text, kInvalidValues);
    EXPECT_EQ(form.Hypotenus->text(), "4.000");
    EXPECT_EQ(form.Hosliggende->text(), "5.000");
    EXPECT_EQ(form.Motstaaende->text(), "0.000");
    QTest::mouseClick(form.Nullstill, Qt::LeftButton);
    EXPECT_TRUE(form.Hypotenus->text().isEmpty());
}

TEST(TTrigForm, HoleCountEnablesTheInsertButton) {
    TTrigForm form;
    EXPECT_FALSE(form.SettInnHullSirkel->isEnabled());
    for (const char* bad : {"0", "-3", "3x", ""}) {
        form.AntallHull->setText(bad);
        EXPECT_FALSE(form.SettInnHullSirkel->isEnabled()) << bad;
    }
    form.AntallHull->setText("3");
    EXPECT_TRUE(form.SettInnHullSirkel->isEnabled());
    QTest::mouseClick(form.Nullstill, Qt::LeftButton);
    EXPECT_FALSE(form.SettInnHullSirkel->isEnabled());
}

TEST(TTrigForm, HoleCircleGoesIntoTheTargetAndTheDialogCloses) {
    ScriptedPrompter prompter;
    TTrigForm form;
    ListTarget target;
    target.lines = {"%", "G0 X0", "M30"};
    target.caret = 2;
    form.TargetEditor = &target;
    form.show();
    EXPECT_GT(form.FirstInsertedLine, form.LastInsertedLine);
    form.Radius->setText("10");
    form.StartVinkel->setText("45");
    form.AntallHull->setText("4");
    QTest::mouseClick(form.SettInnHullSirkel, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(target.lines, (std::vector<std::string>{"%", "G0 X0", "X7.071 Y7.071",
                                                      "X-7.071 Y7.071", "X-7.071 Y-7.071",
                                                      "X7.071 Y-7.071", "M30"}));
    EXPECT_EQ(form.FirstInsertedLine, 2);
    EXPECT_EQ(form.LastInsertedLine, 5);
    // Shown again: the range is empty until the next hole circle; the fields stay.
    form.show();
    EXPECT_GT(form.FirstInsertedLine, form.LastInsertedLine);
    EXPECT_EQ(form.Radius->text(), "10");
    // A failing hole circle reports, keeps what was inserted and closes.
    form.Radius->setText("1e308");
    form.StartVinkel->setText("0");
    form.SenterX->setText("1e308");
    form.AntallHull->setText("1");
    QTest::mouseClick(form.SettInnHullSirkel, Qt::LeftButton);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, kHoleCircleCaption);
    EXPECT_EQ(prompter.shown[0].text, kInvalidValues);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(target.lines.size(), 7u);
}

TEST(TTrigForm, KalkulatorStartsTheFirstCalculatorOnThePath) {
    TempDir bin;
    std::string calc = bin.File("galculator");
    std::ofstream(calc) << "#!/bin/sh\n";
    std::filesystem::permissions(calc, std::filesystem::perms::owner_all);
    ScopedPath path(bin.path());
    RecordingLauncher launcher;
    TTrigForm form;
    form.launcher = &launcher;
    QTest::mouseClick(form.Kalkulator, Qt::LeftButton);
    EXPECT_EQ(launcher.started, (std::vector<std::string>{calc}));
    ScopedPath none("/nonexistent");
    QTest::mouseClick(form.Kalkulator, Qt::LeftButton);
    EXPECT_EQ(launcher.started.size(), 1u);  // nothing to start, nothing reported
}

TEST(ProcessLauncher, StartsADetachedProgramWithItsArguments) {
    TempDir dir;
    std::string marker = dir.File("ran");
    ProcessLauncher launcher;
    ASSERT_TRUE(launcher.Start("/bin/sh", {"-c", "echo \"$1\" > \"$2\"", "sh", "a b;c", marker}));
    for (int i = 0; i < 200 && ReadFileBytes(marker).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadFileBytes(marker), "a b;c\n");  // the argument reached it whole, no shell
    EXPECT_FALSE(launcher.Start(dir.File("missing"), {}));
}

TEST(TRoteringForm, CalculateResetWithEscapeAndResize) {
    TRoteringForm form;
    form.show();
    EXPECT_EQ(form.size(), QSize(1088, 750));
    EXPECT_EQ(form.windowTitle(), Q(kRoteringCaption));
    form.InnX->setText("12,5");
    form.InnZ->setText("0");
    form.InnB->setCurrentIndex(0);
    form.InnV->setText("90");
    QTest::keyClick(form.InnV, Qt::Key_Return);  // Enter runs OK
    EXPECT_TRUE(form.Calculated);
    EXPECT_EQ(form.UtX->text(), "0.0000");
    EXPECT_EQ(form.UtZ->text(), "12.5000");
    // Typed text that is no item counts as B270.
    form.InnX->setText("0");
    form.InnZ->setText("10");
    form.InnB->setEditText("B45");
    form.InnV->setText("0");
    QTest::mouseClick(form.Kalkuler, Qt::LeftButton);
    EXPECT_EQ(form.UtX->text(), "-10.0000");
    form.resize(900, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.UtX->text(), "-10.0000");
    RotationSketch s = form.Sketch();
    EXPECT_EQ(s.l, RoundHalfEven(form.PB->height() / 2.2));
    QTest::keyClick(form.InnX, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.Calculated);
    EXPECT_TRUE(form.InnX->text().isEmpty());
    EXPECT_TRUE(form.InnV->text().isEmpty());
    EXPECT_TRUE(form.UtX->text().isEmpty());
    EXPECT_EQ(form.InnB->currentText(), "B0");
}

TEST(TRoteringForm, SketchPixelsAndScreenshot) {
    TRoteringForm form;
    form.show();
    form.InnX->setText("10");
    form.InnZ->setText("5");
    form.InnB->setCurrentIndex(0);
    form.InnV->setText("30");
    QTest::mouseClick(form.Kalkuler, Qt::LeftButton);
    QPixmap shot = form.grab();
    // build/rotering.png; under a real display server (xvfb-run with QT_QPA_PLATFORM=xcb)
    // build/rotering-xcb.png.
    QString platform = QGuiApplication::platformName();
    QString name = platform == "offscreen" ? "rotering.png" : "rotering-" + platform + ".png";
    EXPECT_TRUE(shot.save(QString::fromStdString(BuildDir() + "/") + name));
    QImage pb = form.PB->grab().toImage();
    RotationSketch s = form.Sketch();
    EXPECT_EQ(form.CentreX, s.centreX);
    // Whether the colour is drawn at, or next to, the point a third of the way from a to b.
    auto drawnNear = [&](Pixel a, Pixel b, QColor colour) {
        int x = a.x + (b.x - a.x) / 3, y = a.y + (b.y - a.y) / 3;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (pb.pixelColor(x + dx, y + dy) == colour) return true;
        return false;
    };
    Pixel centre{s.centreX, s.centreY};
    EXPECT_TRUE(drawnNear(s.zAxisFrom, centre, QColor(Qt::black)));
    EXPECT_TRUE(drawnNear(s.blueFrom, centre, QColor(0, 0, 255)));
    EXPECT_TRUE(drawnNear(centre, s.redTo, QColor(255, 0, 0)));
    EXPECT_TRUE(drawnNear(s.redTo, s.greenTo, QColor(0, 128, 0)));
    EXPECT_FALSE(drawnNear(s.blueFrom, centre, QColor(255, 0, 0)));
}

TEST(TRoteringForm, PrintsTheWindowOnOnePdfPage) {
    ScriptedPrompter prompter;
    TempDir dir;
    std::string pdf = dir.File("rotering.pdf");
    TRoteringForm form;
    form.show();
    form.InnX->setText("10");
    form.InnV->setText("45");
    QTest::mouseClick(form.Kalkuler, Qt::LeftButton);
    QPalette before = form.palette();
    form.printerSetup = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(QString::fromStdString(pdf));
    };
    // The sketch goes to the printer "Skriver" chose for the program's prints, set up as
    // every print of the program is (this machine has no printers: the setup shows it).
    std::string printer, docName;
    SetDriverPrinterSetup([&](QPrinter& p) {
        printer = SelectedPrinter();
        docName = ToCp1252(p.docName());
    });
    SelectPrinter("Verksted");
    QTest::mouseClick(form.Utskrift, Qt::LeftButton);
    SelectPrinter("");
    SetDriverPrinterSetup(nullptr);
    EXPECT_EQ(printer, "Verksted");
    EXPECT_EQ(docName, kRoteringCaption);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(form.palette().color(QPalette::Window), before.color(QPalette::Window));
    std::string bytes = ReadFileBytes(pdf);
    ASSERT_GT(bytes.size(), 1000u);
    std::string out, err;
    int rc = RunProgram({"/usr/bin/pdfinfo", pdf}, &out, &err);
    if (rc == 127) GTEST_SKIP() << "no pdfinfo";
    EXPECT_NE(out.find("Pages:           1\n"), std::string::npos) << out;
    // A printer that cannot start reports the failure.
    form.printerSetup = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(QString::fromStdString(dir.File("no/such/folder/x.pdf")));
    };
    QTest::mouseClick(form.Utskrift, Qt::LeftButton);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, kRoteringPrintCaption);
    EXPECT_EQ(prompter.shown[0].text, kRoteringPrintFailed);
}
