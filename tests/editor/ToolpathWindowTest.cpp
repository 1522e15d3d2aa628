// The toolpath view in the real main window (offscreen): F9 and the remembered choice, the
// link between the caret and the picture both ways, the slider "Vis til linje", the model
// read anew after typing and after a text tool (and an overtaken reading thrown away), the
// notes and tools lists, and "Skriv ut" into a real PDF. The panel is saved as
// build/toolpath.png (and build/toolpath-3d.png) for a look.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPrinter>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "WindowTest.h"
#include "editor/EditUnit.h"
#include "editor/EditUnitPlot.h"
#include "plot/PlotWorker.h"
#include "settings/Settings.h"
#include "windows/plot/ToolpathCanvas.h"
#include "windows/plot/ToolpathView.h"
#include "windows/print/PrinterStream.h"

namespace {
// A pocket contour with rounded corners (lines 4 to 11), a drill cycle (lines 13 to 14) and
// a block the reading skips (line 15).
const char* const kPocket =
    "O1000 (LOMME)\r\n"             // 1
    "N10 G90 G17 T1 M6 (FRES D10)\r\n"  // 2
    "N20 G0 X10 Y0 Z5\r\n"          // 3
    "N30 G1 Z-2 F200\r\n"           // 4
    "N40 X40\r\n"                   // 5
    "N50 G3 X50 Y10 I0 J10\r\n"     // 6
    "N60 G1 Y30\r\n"                // 7
    "N70 G3 X40 Y40 I-10 J0\r\n"    // 8
    "N80 G1 X10\r\n"                // 9
    "N90 G3 X0 Y30 I0 J-10\r\n"     // 10
    "N100 G1 Y10\r\n"               // 11
    "N110 G3 X10 Y0 I10 J0\r\n"     // 12
    "N120 G0 Z5\r\n"                // 13
    "N130 T2 M6 (BOR D6)\r\n"       // 14
    "N140 G81 X25 Y20 Z-8 R2 F100\r\n"  // 15
    "N150 X15\r\n"                  // 16
    "N160 G80 X#1\r\n"              // 17
    "N170 G0 Z50 M30\r\n";          // 18

class ToolpathWindow : public WindowTest {
protected:
    std::string Ini() {
        return "[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nNavn=Fres\r\nKatalog=" + dir.Dnc("") +
               "\r\n";
    }
    void Open(TTextForm& form, const std::string& name, const std::string& bytes) {
        WriteFileBytes(dir.File(name), bytes);
        prompter.files.push_back(dir.Dnc(name));
        form.Aapne1Click();
    }
    // The window shown with the panel, wide enough to see something.
    void ShowWithPanel(TTextForm& form) {
        form.resize(1100, 760);
        form.show();
        QApplication::setActiveWindow(&form);
        if (!form.Actions().Verktoybane->isChecked()) form.Actions().Verktoybane->trigger();
        ASSERT_TRUE(Settle(form));
    }
    // The pocket opened with the panel shown, its model in the panel.
    void OpenWithPanel(TTextForm& form, const std::string& program) {
        ASSERT_NO_FATAL_FAILURE(ShowWithPanel(form));
        Open(form, "LOMME.NC", program);
        ASSERT_TRUE(Settle(form));
    }
    // Until the model of the text as it is now is in the panel.
    static bool Settle(TTextForm& form) {
        return QTest::qWaitFor(
            [&] {
                return !form.Plot().Pending() && form.Plot().View() &&
                       form.Plot().View()->Model();
            },
            20000);
    }
    // A double-click as a hand makes it: press and release, then the second press.
    static void DoubleClick(QListView& list, const QModelIndex& index) {
        const QPoint at = list.visualRect(index).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    }
    static TToolpathView& View(TTextForm& form) { return *form.Plot().View(); }
    static ToolpathCanvas& Canvas(TTextForm& form) { return View(form).Canvas(); }
    static const PlotModel& Model(TTextForm& form) { return *View(form).Model(); }
    static int CaretLine(TTextForm& form) { return form.Text().LineFromChar(-1) + 1; }

    // Where a program point is in the canvas.
    static QPoint At(TTextForm& form, PlotPoint q) {
        double x, y;
        Canvas(form).CurrentProjection().Apply(q, x, y);
        return QPoint(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
    }
    // The canvas as painted, and what colour is found within a pixel or two of a point.
    static QImage Painted(TTextForm& form) { return Canvas(form).grab().toImage(); }
    // Whether a pixel has the colour's tint: lines are drawn smoothed, so their pixels are
    // the colour mixed with white, which keeps the tint's direction.
    static bool Tinted(const QImage& image, QPoint q, const PathColour& c) {
        if (!image.rect().contains(q)) return false;
        const double cm = (c.red + c.green + c.blue) / 3.0;
        const double ct[3] = {c.red - cm, c.green - cm, c.blue - cm};
        QColor px = image.pixelColor(q);
        const double m = (px.red() + px.green() + px.blue()) / 3.0;
        const double t[3] = {px.red() - m, px.green() - m, px.blue() - m};
        const double dot = t[0] * ct[0] + t[1] * ct[1] + t[2] * ct[2];
        const double len = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        const double clen = std::sqrt(ct[0] * ct[0] + ct[1] * ct[1] + ct[2] * ct[2]);
        return len > 15 && dot / (len * clen) > 0.95;
    }
    // The same within two pixels of a point.
    static bool Near(const QImage& image, QPoint p, const PathColour& c) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (Tinted(image, p + QPoint(dx, dy), c)) return true;
        return false;
    }
};
}  // namespace

TEST_F(ToolpathWindow, F9ShowsThePanelAndTheChoiceIsRemembered) {
    ScopedIni ini(Ini());
    {
        TTextForm form;
        form.show();
        QApplication::setActiveWindow(&form);
        QAction* item = form.Actions().Verktoybane;
        EXPECT_FALSE(item->isChecked());
        EXPECT_EQ(form.Plot().View(), nullptr);  // nothing made before it is asked for
        form.Text().setFocus();
        QTest::keyClick(&form.Text(), Qt::Key_F9);
        EXPECT_TRUE(item->isChecked());
        ASSERT_NE(form.Plot().Dock(), nullptr);
        EXPECT_TRUE(form.Plot().Dock()->isVisible());
        EXPECT_EQ(ToCp1252(form.Plot().Dock()->windowTitle()), "Verkt\xF8y" "bane");
        EXPECT_EQ(ReadPersonalInt(kToolpathSettingName, 9), 1);
        ASSERT_TRUE(Settle(form));
        EXPECT_EQ(Model(form).path.size(), 0u);  // an empty text: an empty picture

        QTest::keyClick(&form.Text(), Qt::Key_F9);
        EXPECT_FALSE(item->isChecked());
        EXPECT_FALSE(form.Plot().Dock()->isVisible());
        EXPECT_EQ(ReadPersonalInt(kToolpathSettingName, 9), 0);
        // Hidden, it reads nothing and keeps no model.
        form.Text().SetText(kPocket);
        QTest::qWait(kTypingPauseMs + 100);
        EXPECT_EQ(form.Plot().Requests(), 1u);
        EXPECT_EQ(View(form).Model(), nullptr);

        // The panel's own close button is the menu item too.
        QTest::keyClick(&form.Text(), Qt::Key_F9);
        ASSERT_TRUE(Settle(form));
        EXPECT_EQ(Model(form).path.size(), 20u);
        form.Plot().Dock()->close();
        EXPECT_FALSE(item->isChecked());
        EXPECT_EQ(ReadPersonalInt(kToolpathSettingName, 9), 0);
        item->trigger();
    }
    // The next start shows it at once, with the program given on the command line.
    EXPECT_EQ(ReadPersonalInt(kToolpathSettingName, 9), 1);
    WriteFileBytes(dir.File("P.NC"), kPocket);
    TTextForm form({dir.File("P.NC")});
    EXPECT_TRUE(form.Actions().Verktoybane->isChecked());
    form.show();
    ASSERT_TRUE(Settle(form));
    EXPECT_TRUE(form.Plot().Dock()->isVisible());
    EXPECT_EQ(Model(form).path.size(), 20u);
    EXPECT_EQ(ToCp1252(View(form).TotalsLabel().text()),
              "Mating: 189.8 mm  Hurtiggang: 119.0 mm  Tid: 0:01:04");
    EXPECT_EQ(ToCp1252(View(form).ExtentsLabel().text()),
              "X 0.000 til 50.000  Y 0.000 til 40.000  Z -8.000 til 5.000");
}

TEST_F(ToolpathWindow, TheCaretsBlockIsHighlightedAndAClickPutsTheCaretOnItsLine) {
    ScopedIni ini(Ini());
    TTextForm form;
    ASSERT_NO_FATAL_FAILURE(OpenWithPanel(form, kPocket));
    ToolpathCanvas& canvas = Canvas(form);
    // Caret on the arc of line 6: the arc is highlighted, the tool stands at its end.
    Painted(form);
    form.Text().SetSelStart(form.Text().LineIndex(5) + 2);
    EXPECT_EQ(canvas.HighlightLine(), 6u);
    int pictures = canvas.PicturesMade();
    QImage image = Painted(form);
    EXPECT_EQ(canvas.PicturesMade(), pictures);  // the highlight alone makes no new picture
    const double r = std::sqrt(0.5) * 10;
    EXPECT_TRUE(Near(image, At(form, {40 + r, 10 - r, -2}), kHighlightColour));  // the arc's middle
    EXPECT_TRUE(Near(image, At(form, {50, 10, -2}), kHighlightColour));        // the tool
    EXPECT_FALSE(Near(image, At(form, {25, 0, -2}), kHighlightColour));        // line 5
    EXPECT_TRUE(Near(image, At(form, {25, 0, -2}), kFeedColour));

    // A click on the straight line of line 9 puts the caret there; a click beside the path
    // leaves it where it is.
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, At(form, {25, 40, -2}) + QPoint(0, 2));
    EXPECT_EQ(CaretLine(form), 9);
    EXPECT_EQ(canvas.HighlightLine(), 9u);
    EXPECT_TRUE(form.Text().hasFocus());
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, At(form, {25, 10, -2}));
    EXPECT_EQ(CaretLine(form), 9);
    // Seen from the front, the first hole's drilling feed: the cycle's line.
    View(form).ViewButton(1).click();
    EXPECT_EQ(canvas.View(), PlotView::XZ);
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, At(form, {25, 20, -5}));
    EXPECT_EQ(CaretLine(form), 15);
    View(form).ViewButton(0).click();

    // A drag pans the picture and picks nothing; the path is where it went.
    QPoint from = At(form, {25, 10, -2});
    QTest::mousePress(&canvas, Qt::LeftButton, {}, from);
    for (int k = 1; k <= 4; ++k) QTest::mouseMove(&canvas, from + QPoint(10 * k, 5 * k));
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, from + QPoint(40, 20));
    EXPECT_EQ(CaretLine(form), 15);
    EXPECT_EQ(At(form, {25, 10, -2}), from + QPoint(40, 20));
    EXPECT_TRUE(Near(Painted(form), At(form, {25, 40, -2}), kFeedColour));
    // The wheel zooms about the mouse: the point under it stays.
    QPoint corner = At(form, {50, 30, -2});
    const double scale = canvas.CurrentProjection().scale;
    QWheelEvent wheel(corner, canvas.mapToGlobal(corner), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&canvas, &wheel);
    EXPECT_NEAR(canvas.CurrentProjection().scale, scale * 1.44, 1e-9);
    EXPECT_NEAR(At(form, {50, 30, -2}).x(), corner.x(), 1);
    EXPECT_NEAR(At(form, {50, 30, -2}).y(), corner.y(), 1);
    // "Tilpass" fits it all in again, and the 3D view turns with the right button.
    View(form).FitButton().click();
    View(form).ViewButton(3).click();
    EXPECT_EQ(canvas.View(), PlotView::Orbit);
    Projection before = canvas.CurrentProjection();
    QPoint mid(canvas.width() / 2, canvas.height() / 2);
    QTest::mousePress(&canvas, Qt::RightButton, {}, mid);
    QTest::mouseMove(&canvas, mid + QPoint(30, 0));
    QTest::mouseRelease(&canvas, Qt::RightButton, {}, mid + QPoint(30, 0));
    EXPECT_NE(canvas.CurrentProjection().right[0], before.right[0]);
    EXPECT_EQ(CaretLine(form), 15);
}

TEST_F(ToolpathWindow, TheSliderDrawsTheProgramUpToALine) {
    ScopedIni ini(Ini());
    TTextForm form;
    ASSERT_NO_FATAL_FAILURE(OpenWithPanel(form, kPocket));
    QSlider& slider = View(form).Slider();
    EXPECT_EQ(slider.maximum(), 18);
    EXPECT_EQ(slider.value(), 18);
    const QPoint top = At(form, {25, 40, -2});  // line 9
    EXPECT_TRUE(Near(Painted(form), top, kFeedColour));

    slider.setValue(7);  // up to the straight line at X50
    EXPECT_EQ(Canvas(form).EndMove(), Model(form).MovesUpToLine(7));
    EXPECT_EQ(Canvas(form).EndMove(), 5u);
    QImage image = Painted(form);
    EXPECT_FALSE(Near(image, top, kFeedColour));
    EXPECT_TRUE(Near(image, At(form, {50, 20, -2}), kFeedColour));
    // A block beyond the slider is not highlighted, and nothing there is picked.
    form.Text().SetSelStart(form.Text().LineIndex(8));
    EXPECT_FALSE(Near(Painted(form), top, kHighlightColour));
    QTest::mouseClick(&Canvas(form), Qt::LeftButton, {}, top);
    EXPECT_EQ(CaretLine(form), 9);  // where it was put, not by the click
    form.Text().SetSelStart(form.Text().LineIndex(4));
    QTest::mouseClick(&Canvas(form), Qt::LeftButton, {}, top);
    EXPECT_EQ(CaretLine(form), 5);

    // A new reading keeps the slider at its line; at the end it follows the end.
    form.Text().SetSelStart(form.Text().TextLength());
    form.Text().AddLine("G1 X99");
    ASSERT_TRUE(Settle(form));
    EXPECT_EQ(slider.maximum(), 19);
    EXPECT_EQ(slider.value(), 7);
    slider.setValue(slider.maximum());
    EXPECT_EQ(Canvas(form).EndMove(), SIZE_MAX);
    form.Text().AddLine("G1 Y99");
    ASSERT_TRUE(Settle(form));
    EXPECT_EQ(slider.value(), 20);
}

TEST_F(ToolpathWindow, ReadAnewAfterTypingAndAfterATool) {
    ScopedIni ini(Ini());
    TTextForm form;
    ASSERT_NO_FATAL_FAILURE(OpenWithPanel(form, kPocket));
    const uint64_t afterLoad = form.Plot().Requests();
    const Projection fitted = Canvas(form).CurrentProjection();

    // Keystrokes: one reading when the typing pauses, the view where it was.
    form.Text().setFocus();
    form.Text().SetSelStart(form.Text().LineIndex(4) + 7);  // after "N40 X40"
    QTest::keyClicks(&form.Text(), "0");
    QTest::keyClicks(&form.Text(), "0");
    EXPECT_TRUE(form.Plot().Pending());
    EXPECT_EQ(form.Plot().Requests(), afterLoad);
    ASSERT_TRUE(Settle(form));
    EXPECT_EQ(form.Plot().Requests(), afterLoad + 1);
    EXPECT_EQ(Model(form).path.End(2).x, 4000);
    EXPECT_EQ(Canvas(form).CurrentProjection().scale, fitted.scale);

    // A text tool rewrites the text: read at once (no pause waited for) and fitted anew.
    form.Komprimerprogram1Click();
    EXPECT_EQ(form.Text().Line(4), "N40X4000");
    for (int k = 0; k < 20 && form.Plot().Requests() == afterLoad + 1; ++k)
        QApplication::processEvents();
    EXPECT_EQ(form.Plot().Requests(), afterLoad + 2);
    ASSERT_TRUE(Settle(form));
    EXPECT_LT(Canvas(form).CurrentProjection().scale, fitted.scale);

    // An overtaken reading is thrown away: the first is held at its start while the text is
    // rewritten; only the model of the new text arrives.
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false, open = false;
    form.Plot().Worker().beforeReading = [&](uint64_t) {
        std::unique_lock<std::mutex> lock(mutex);
        if (open) return;
        held = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(20), [&] { return open; });
    };
    int shown = 0;
    QObject::connect(&form.Plot(), &ToolpathLink::ModelShown, [&] { ++shown; });
    {
        LoadingGuard loading(form);
        form.Text().SetText("G0 X1 Y1\r\nG1 X2\r\n");
    }
    ASSERT_TRUE(QTest::qWaitFor([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return held;
    }));
    {
        LoadingGuard loading(form);
        form.Text().SetText("G0 X7 Y7\r\nG1 X8\r\nG1 Y8\r\n");
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Plot().Requests() == afterLoad + 4; }));
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
    }
    changed.notify_all();
    ASSERT_TRUE(Settle(form));
    QTest::qWait(50);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(Model(form).path.size(), 3u);
    EXPECT_EQ(Model(form).path.End(0).x, 7);
}

TEST_F(ToolpathWindow, NotesAndToolsGoToTheirLines) {
    ScopedIni ini(Ini());
    TTextForm form;
    ASSERT_NO_FATAL_FAILURE(OpenWithPanel(form, kPocket));
    QListView& notes = View(form).NotesList();
    ASSERT_EQ(notes.model()->rowCount(), 1);
    QModelIndex note = notes.model()->index(0, 0);
    EXPECT_EQ(ToCp1252(note.data().toString()), "Linje 17: variabler og uttrykk tolkes ikke");
    QListView& tools = View(form).ToolsList();
    ASSERT_EQ(tools.model()->rowCount(), 2);
    EXPECT_EQ(ToCp1252(tools.model()->index(1, 0).data().toString()), "T2  BOR D6");

    form.Text().SetSelStart(0);
    QApplication::processEvents();  // the lists lay out their rows
    DoubleClick(notes, note);
    EXPECT_EQ(CaretLine(form), 17);
    QModelIndex tool = tools.model()->index(1, 0);
    DoubleClick(tools, tool);
    EXPECT_EQ(CaretLine(form), 14);
}

TEST_F(ToolpathWindow, PrintedToAPdfAsShown) {
    if (!std::filesystem::exists("/usr/bin/pdftotext") || !std::filesystem::exists("/usr/bin/pdftoppm"))
        GTEST_SKIP() << "poppler-utils missing";
    ScopedIni ini(Ini());
    TTextForm form;
    ASSERT_NO_FATAL_FAILURE(OpenWithPanel(form, kPocket));
    const std::string pdf = dir.File("bane.pdf");
    SetDriverPrinterSetup([pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
    });
    MessageRecorder messages;
    prompter.shown.clear();
    View(form).PrintButton().click();
    SetDriverPrinterSetup(nullptr);
    EXPECT_TRUE(prompter.shown.empty()) << prompter.shown[0].text;  // no dialog
    EXPECT_TRUE(messages.messages.empty()) << messages.messages[0].second;
    std::string text;
    RunProgram({"/usr/bin/pdftotext", "-layout", pdf, "-"}, &text, nullptr);
    EXPECT_NE(text.find("LOMME.NC"), std::string::npos) << text;
    EXPECT_NE(text.find("Mating: 189.8 mm"), std::string::npos) << text;
    EXPECT_NE(text.find("X 0.000 til 50.000"), std::string::npos) << text;
    EXPECT_EQ(text.find('\f'), text.rfind('\f'));  // one page

    // The page as an image: the feeds, the arcs and the rapid moves are on it.
    ASSERT_EQ(RunProgram({"/usr/bin/pdftoppm", "-r", "100", "-png", "-singlefile", pdf,
                          dir.File("side")},
                         nullptr, nullptr),
              0);
    QImage page(QString::fromStdString(dir.File("side.png")));
    ASSERT_FALSE(page.isNull());
    int feed = 0, arc = 0, rapid = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            QPoint at(x, y);
            feed += Tinted(page, at, kFeedColour);
            arc += Tinted(page, at, kArcColour);
            rapid += Tinted(page, at, kRapidColour);
        }
    EXPECT_GT(feed, 50);
    EXPECT_GT(arc, 20);
    EXPECT_GT(rapid, 5);

    // A printer that cannot be written to: "Utskrift feilet".
    SetDriverPrinterSetup([this](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(dir.File("no/such/folder/x.pdf")));
    });
    View(form).PrintButton().click();
    SetDriverPrinterSetup(nullptr);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].first, "Utskrift");
    EXPECT_EQ(messages.messages[0].second, "Utskrift feilet");
}

TEST_F(ToolpathWindow, PictureOfTheDemoProgram) {
    ScopedIni ini(Ini());
    TTextForm form;
    std::string demo = std::string(SKARV_SOURCE_DIR) + "/examples/shop/Fres/LOMME.NC";
    ASSERT_NO_FATAL_FAILURE(OpenWithPanel(form, ReadFileBytes(demo)));
    form.Text().SetSelStart(form.Text().LineIndex(11));  // N100: an arc of the pocket
    QApplication::processEvents();
    QDockWidget& dock = *form.Plot().Dock();
    dock.grab().save(QString::fromUtf8(SKARV_BUILD_DIR) + "/toolpath.png");
    View(form).ViewButton(3).click();
    dock.grab().save(QString::fromUtf8(SKARV_BUILD_DIR) + "/toolpath-3d.png");
    form.grab().save(QString::fromUtf8(SKARV_BUILD_DIR) + "/toolpath-window.png");
    EXPECT_EQ(View(form).NotesList().model()->rowCount(), 1);
}

TEST_F(ToolpathWindow, ALatheProgramIsSeenFromTheFront) {
    ScopedIni ini(Ini() + "Maskintype=DREIEBENK\r\n");
    TTextForm form;
    std::string demo = std::string(SKARV_SOURCE_DIR) + "/examples/shop/Dreiebenk/AKSEL.NC";
    ASSERT_NO_FATAL_FAILURE(OpenWithPanel(form, ReadFileBytes(demo)));
    EXPECT_TRUE(Model(form).path.lathe);
    EXPECT_EQ(Canvas(form).View(), PlotView::XZ);
    EXPECT_TRUE(View(form).ViewButton(1).isChecked());
    form.Text().SetSelStart(form.Text().LineIndex(9));
    QApplication::processEvents();
    form.Plot().Dock()->grab().save(QString::fromUtf8(SKARV_BUILD_DIR) + "/toolpath-lathe.png");
}
