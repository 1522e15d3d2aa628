// The information window on the shop's document and without it, its print, and the about
// box; and pictures of the catalogue and the information window for a look at them (under
// Xvfb with QT_QPA_PLATFORM=xcb they are the display server's rendering).
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <unistd.h>

#include "WindowTest.h"
#include "editor/EditUnit.h"
#include "windows/document/FindDialog.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "windows/info/AboutBox.h"
#include "windows/info/ReklameBilde.h"
#include "document/RichText.h"
#include "print/PrinterSelect.h"
#include "windows/print/PrinterStream.h"

namespace {
class InformationWindow : public WindowTest {
protected:
    void SetUp() override {
        saved = ProgramDirectory();
        SetProgramDirectory(dir.Dnc(""));
    }
    void TearDown() override { SetProgramDirectory(saved); }
    static std::string ShopDocument() {
        return ReadFileBytes(std::string(SKARV_SOURCE_DIR) + "/examples/shop/Skarv.rtf");
    }
    // Runs check once the modal window is up, then presses its OK button.
    static void WhenShown(QDialog* dialog, QPushButton* ok, std::function<void()> check, bool* ran) {
        QTimer::singleShot(0, dialog, [=] {
            *ran = dialog->isVisible();
            check();
            ok->click();
        });
    }

    std::string saved;
};

std::string PlainOf(QTextEdit* edit) {
    QString t = edit->toPlainText();
    t.replace(QChar::LineSeparator, QChar('\n'));
    return ToCp1252(t);
}
}  // namespace

TEST_F(InformationWindow, ShowsTheShopsDocumentWithItsFormats) {
    std::string rtf = ShopDocument();
    ASSERT_FALSE(rtf.empty());
    WriteFileBytes(dir.File("Skarv.rtf"), rtf);
    TReklameBilde window;
    EXPECT_EQ(ToCp1252(window.windowTitle()), kReklameCaption);
    EXPECT_EQ(window.size(), QSize(632, 371));
    EXPECT_TRUE(window.RichEdit1->isReadOnly());
    EXPECT_EQ(window.RichEdit1->height(), 305);
    ASSERT_TRUE(window.FormShow());
    EXPECT_EQ(PlainOf(window.RichEdit1), ReadRichText(rtf).PlainText());

    QTextCursor title(window.RichEdit1->document());
    title.movePosition(QTextCursor::NextCharacter);
    QTextCharFormat f = title.charFormat();
    EXPECT_EQ(f.fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(f.fontPointSize(), 18.0);
    EXPECT_EQ(f.foreground().color(), QColor(0, 0, 160));
    // The warning at the end is red and underlined.
    QTextDocument* doc = window.RichEdit1->document();
    QTextCursor found = doc->find(QStringLiteral("Husk sikkerhetskopi"));
    ASSERT_FALSE(found.isNull());
    EXPECT_TRUE(found.charFormat().fontUnderline());
    EXPECT_EQ(found.charFormat().foreground().color(), QColor(200, 0, 0));
    QTextCursor italic = doc->find(QStringLiteral("Telefon 73"));
    ASSERT_FALSE(italic.isNull());
    EXPECT_TRUE(italic.charFormat().fontItalic());
    EXPECT_NE(PlainOf(window.RichEdit1).find("overføring"), std::string::npos);

    // Every showing reads the file afresh.
    WriteFileBytes(dir.File("Skarv.rtf"), "{\\rtf1 Ny \\b tekst\\b0\\par}");
    ASSERT_TRUE(window.FormShow());
    EXPECT_EQ(PlainOf(window.RichEdit1), "Ny tekst");
}

TEST_F(InformationWindow, MenuCommandShowsItModallyAndClosesAtOnceWithoutTheFile) {
    WriteFileBytes(dir.File("Skarv.rtf"), ShopDocument());
    TTextForm form;
    form.Windows().ReklameBilde = new TReklameBilde(&form);
    bool ran = false;
    std::string text;
    bool modal = false;
    WhenShown(
        form.Windows().ReklameBilde, form.Windows().ReklameBilde->OK,
        [&] {
            text = PlainOf(form.Windows().ReklameBilde->RichEdit1);
            modal = form.Windows().ReklameBilde->isModal();
        },
        &ran);
    form.Reklame1Click();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(modal);
    EXPECT_EQ(text.rfind("Skarv-Vako DNC", 0), 0u);
    EXPECT_FALSE(form.Windows().ReklameBilde->isVisible());

    // Without the document the command opens the window and it closes again at once.
    std::filesystem::remove(dir.File("Skarv.rtf"));
    form.Reklame1Click();
    EXPECT_FALSE(form.Windows().ReklameBilde->isVisible());
    EXPECT_TRUE(prompter.shown.empty());  // no message
}

TEST_F(InformationWindow, PrintsAtOnceOnTheProgramsPrinter) {
    WriteFileBytes(dir.File("Skarv.rtf"), ShopDocument());
    TReklameBilde window;
    ASSERT_TRUE(window.FormShow());
    std::string pdf = dir.File("reklame.pdf");
    std::string title, printer;
    // Every print on the printer "Skriver" chose is set up by the print driver's setup (this
    // machine has no printers, so Qt would drop the name: the setup is where it shows).
    SetDriverPrinterSetup([&](QPrinter& p) {
        title = ToCp1252(p.docName());
        printer = SelectedPrinter();
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(QString::fromUtf8(pdf.c_str()));
    });
    // "Utskrift" prints at once, without asking for a printer.
    SelectPrinter("Verksted");
    window.Utskrift->click();
    SelectPrinter("");
    SetDriverPrinterSetup(nullptr);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(title, kReklamePrintTitle);
    EXPECT_EQ(printer, "Verksted");
    ASSERT_TRUE(std::filesystem::exists(pdf));
    if (::access("/usr/bin/pdftotext", X_OK) == 0) {
        std::string out, err;
        ASSERT_EQ(RunProgram({"/usr/bin/pdftotext", pdf, "-"}, &out, &err), 0) << err;
        EXPECT_NE(out.find("Skarv-Vako DNC"), std::string::npos) << out;
        EXPECT_NE(out.find("Verkstedgata 7"), std::string::npos) << out;
    }
}

TEST_F(InformationWindow, AboutBoxShowsNameVersionAndDescription) {
    TTextForm form;
    form.Windows().AboutBox = new TAboutBox(&form);
    bool ran = false;
    std::string caption, name, version, description;
    WhenShown(
        form.Windows().AboutBox, form.Windows().AboutBox->OKButton,
        [&] {
            caption = ToCp1252(form.Windows().AboutBox->windowTitle());
            name = ToCp1252(form.Windows().AboutBox->ProductName->text());
            version = ToCp1252(form.Windows().AboutBox->Version->text());
            description = ToCp1252(form.Windows().AboutBox->Description->text());
        },
        &ran);
    form.Actions().OmProgrammet->trigger();
    EXPECT_TRUE(ran);
    EXPECT_EQ(caption, "Om Skarv-Editor");
    EXPECT_EQ(name, "Skarv-Editor");
    EXPECT_EQ(version, "Versjon 1.4.1");
    EXPECT_EQ(description, "Editor for CNC-programmer.");
    EXPECT_TRUE(form.Windows().AboutBox->OKButton->isDefault());

    // Made on demand when the program start has not made it.
    TTextForm alone;
    QTimer::singleShot(0, &alone, [&] {
        if (alone.Windows().AboutBox) alone.Windows().AboutBox->OKButton->click();
    });
    alone.OmProgrammetClick();
    ASSERT_NE(alone.Windows().AboutBox, nullptr);
    EXPECT_FALSE(alone.Windows().AboutBox->isVisible());
}

// Pictures of the catalogue of the demo shop's first machine and of the information window,
// saved into the build folder.
TEST(Screens, CatalogueAndInformationWindowOfTheDemoShop) {
    std::string iniBytes = ReadFileBytes(BinDir() + "/Vako.ini");
    if (iniBytes.empty()) GTEST_SKIP() << "no demo shop in the build";
    MemoryKeyStore store;
    SetKeyStore(&store);
    ScriptedPrompter prompter;
    ScopedIni ini(iniBytes);
    std::string saved = ProgramDirectory();
    SetProgramDirectory(NativeToDncPath(BinDir() + "/"));
    const QString platform = QGuiApplication::platformName();
    const QString suffix = platform == "xcb" ? QString() : "-" + platform;
    const QString build = QString::fromUtf8(SKARV_BUILD_DIR);
    {
        TTextForm form;
        form.show();
        form.Katalog1Click();
        ASSERT_GE(form.Text().LineCount(), 2);
        EXPECT_TRUE(form.Text().StyleAt(0).bold);
        for (int i = 0; i < 10; ++i) QApplication::processEvents();
        EXPECT_TRUE(form.grab().save(build + "/catalogue" + suffix + ".png"));
        form.Erstatt1Click();
        form.Windows().ReplaceDialog1->SetFindText("G21");
        for (int i = 0; i < 10; ++i) QApplication::processEvents();
        EXPECT_TRUE(
            form.Windows().ReplaceDialog1->grab().save(build + "/replace" + suffix + ".png"));
    }
    {
        TReklameBilde window;
        window.show();
        ASSERT_TRUE(window.FormShow());
        for (int i = 0; i < 10; ++i) QApplication::processEvents();
        EXPECT_TRUE(window.grab().save(build + "/reklame" + suffix + ".png"));
    }
    {
        TAboutBox about;
        about.SetTexts(kProductName, kAboutDescription, kAboutVersion);
        about.show();
        for (int i = 0; i < 10; ++i) QApplication::processEvents();
        EXPECT_TRUE(about.grab().save(build + "/about" + suffix + ".png"));
    }
    SetProgramDirectory(saved);
    SetKeyStore(nullptr);
}

// The same pictures from the display server: this test program runs the test above once
// more under Xvfb on the xcb platform.
TEST(Screens, UnderXvfb) {
    if (QGuiApplication::platformName() != "offscreen") GTEST_SKIP() << "already on a display";
    if (::access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run missing";
    const std::string build = SKARV_BUILD_DIR;
    std::error_code ec;
    std::filesystem::remove(build + "/catalogue.png", ec);
    std::filesystem::remove(build + "/reklame.png", ec);
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string out, err;
    int rc = RunProgram(UnderXvfb("1024x768x24", {"QT_QPA_PLATFORM=xcb"},
                                  {self, "--gtest_filter=Screens.CatalogueAndInformationWindowOfTheDemoShop"}),
                        &out, &err);
    EXPECT_EQ(rc, 0) << out << err;
    EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out << err;
    EXPECT_TRUE(std::filesystem::exists(build + "/catalogue.png"));
    EXPECT_TRUE(std::filesystem::exists(build + "/reklame.png"));
}
