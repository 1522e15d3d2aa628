#include "editor/EditUnit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLayout>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QSizePolicy>
#include <QToolBar>
#include <QToolButton>

#include "document/AppTitle.h"
#include "editor/EditUnitPlot.h"
#include "settings/PathResolve.h"
#include "settings/Recent.h"
#include "settings/Settings.h"
#include "settings/Strings.h"
#include "plot/Plot.h"
#include "widgets/Prompter.h"
#include "editor/EditUnitRecovery.h"
#include "widgets/ToolGlyphs.h"

namespace {
// The "Siste filer" sub-menu as the recent-files list fills it.
class RecentQtMenu : public RecentMenu {
public:
    RecentQtMenu(TTextForm* form, QMenu* menu) : form_(form), menu_(menu) {}
    void SetEnabled(bool enabled) override { menu_->setEnabled(enabled); }
    void ClearItems() override {
        const auto actions = menu_->actions();
        for (auto it = actions.rbegin(); it != actions.rend(); ++it) {
            menu_->removeAction(*it);
            (*it)->deleteLater();
        }
    }
    void AddItem(const std::string& fileName) override {
        // The caption is the full path; "&" is doubled so the menu shows it and adds no
        // accelerator, and the entry keeps the name itself for the reopen.
        QString caption = FromCp1252(fileName);
        caption.replace(QStringLiteral("&"), QStringLiteral("&&"));
        QAction* action = menu_->addAction(caption);
        action->setData(QByteArray(fileName.data(), static_cast<qsizetype>(fileName.size())));
        TTextForm* form = form_;
        QObject::connect(action, &QAction::triggered, form, [form, action] {
            QByteArray name = action->data().toByteArray();
            form->ReopenClick(std::string(name.constData(), static_cast<size_t>(name.size())));
        });
    }

private:
    TTextForm* form_;
    QMenu* menu_;
};

}  // namespace

std::string CaptionForFile(const std::string& name) {
    if (name.empty()) return kProductName;
    return std::string(kProductName) + " - " + name;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(Utf8ToCp1252(argv[i]));
    return arguments;
}

std::string ArgumentToDncPath(const std::string& argument) {
    if (argument.size() >= 2 && argument[1] == ':') return argument;  // already "C:\..."
    if (argument.find('\\') != std::string::npos) return argument;
    QString native = QString::fromStdString(Cp1252ToUtf8(argument));
    if (!QDir::isAbsolutePath(native)) native = QDir::current().absoluteFilePath(native);
    return NativeToDncPath(QDir::cleanPath(native).toUtf8().toStdString());
}

TTextForm::TTextForm(const std::vector<std::string>& arguments, QWidget* parent)
    : QMainWindow(parent), arguments_(arguments) {
    setWindowTitle(Q(kProductName));
    resize(646, 515);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(646 / 2, 515 / 2));
    }
    RichEdit1 = new TextControl(this);
    setCentralWidget(RichEdit1);
    BuildMenus();
    BuildToolBar();

    RichEdit1->onKeyPress = [this](char& key) { RichEdit1KeyPress(key); };
    connect(RichEdit1, &TextControl::SelectionChanged, this, &TTextForm::RichEdit1SelectionChange);
    colour_ =
        new Colouring(*RichEdit1, *actions_.TekstFormatering,
                      {doc_.Loading, [this](bool on) { on ? HourglassOn() : HourglassOff(); }});
    plot_ = new ToolpathLink(
        *this, *RichEdit1, *actions_.Verktoybane,
        {[this](std::string_view start) { return DocumentPlotSettings(start); },
         [this] { return doc_.FileName; }});
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        if (!doc_.Loading) UpdateEditCommands();
    });
    GetPrompter().SetOwner(this);
    FormCreate();
}

TTextForm::~TTextForm() {
    if (!closed_) FormClose();
    GetPrompter().SetOwner(nullptr);
}

void TTextForm::BuildMenus() {
    MainActions& a = actions_;
    // Each item is connected to its handler where it is made.
    auto item = [this](QMenu* menu, const char* caption, void (TTextForm::*handler)(),
                       const QKeySequence& shortcut = {}) {
        QAction* action = menu->addAction(Q(caption));
        if (!shortcut.isEmpty()) action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenuBar* bar = menuBar();
    a.Fil1 = bar->addMenu(Q("&Fil"));
    connect(a.Fil1, &QMenu::aboutToShow, this, &TTextForm::Fil1Click);
    a.Ny1 = item(a.Fil1, "&Ny", &TTextForm::Ny1Click, QKeySequence(Qt::CTRL | Qt::Key_N));
    a.Aapne1 = item(a.Fil1, "&Åpne", &TTextForm::Aapne1Click, QKeySequence(Qt::CTRL | Qt::Key_O));
    a.Liminnfil1 = item(a.Fil1, "L&im inn fil", &TTextForm::Liminnfil1Click);
    a.Lagre1 = item(a.Fil1, "&Lagre", &TTextForm::Lagre1Click, QKeySequence(Qt::CTRL | Qt::Key_S));
    a.LagreSom1 = item(a.Fil1, "Lagre &som", &TTextForm::LagreSom1Click);
    a.SisteFiler = a.Fil1->addMenu(Q("Siste filer"));
    a.Fil1->addSeparator();
    a.Katalog1 = item(a.Fil1, "&Katalog", &TTextForm::Katalog1Click);
    a.Overfoer = item(a.Fil1, "&Overfør", &TTextForm::OverfoerClick, QKeySequence(Qt::Key_F2));
    a.FTPoverfoering =
        item(a.Fil1, "FTP overføring", &TTextForm::FTPoverfoeringClick, QKeySequence(Qt::Key_F4));
    a.TCPoverfoering =
        item(a.Fil1, "TCP overføring", &TTextForm::TCPoverfoeringClick, QKeySequence(Qt::Key_F6));
    a.Reklame1 = item(a.Fil1, "&Reklame", &TTextForm::Reklame1Click);
    a.Fil1->addSeparator();
    a.Skrivut1 = item(a.Fil1, "Skriv &ut", &TTextForm::Skrivut1Click);
    a.Fil1->addSeparator();
    a.Avslutt1 = item(a.Fil1, "&Avslutt", &TTextForm::Avslutt1Click);

    a.Rediger1 = bar->addMenu(Q("&Rediger"));
    connect(a.Rediger1, &QMenu::aboutToShow, this, &TTextForm::RichEdit1SelectionChange);
    a.Angre =
        item(a.Rediger1, "&Angre", &TTextForm::AngreClick, QKeySequence(Qt::CTRL | Qt::Key_Z));
    a.Rediger1->addSeparator();
    a.KlippUt1 = item(a.Rediger1, "Klipp &ut", &TTextForm::KlippUt1Click,
                      QKeySequence(Qt::CTRL | Qt::Key_X));
    a.Kopier1 =
        item(a.Rediger1, "&Kopier", &TTextForm::Kopier1Click, QKeySequence(Qt::CTRL | Qt::Key_C));
    a.Liminn1 =
        item(a.Rediger1, "&Lim inn", &TTextForm::Liminn1Click, QKeySequence(Qt::CTRL | Qt::Key_V));
    a.Slett1 =
        item(a.Rediger1, "&Fjern", &TTextForm::Slett1Click, QKeySequence(Qt::CTRL | Qt::Key_D));
    a.Rediger1->addSeparator();
    a.Seek1 = item(a.Rediger1, "&Søk", &TTextForm::Seek1Click);
    a.Erstatt1 = item(a.Rediger1, "&Erstatt", &TTextForm::Erstatt1Click);
    a.Rediger1->addSeparator();
    a.Komprimerprogram1 =
        item(a.Rediger1, "K&omprimer program", &TTextForm::Komprimerprogram1Click);
    a.Luftprogram1 = item(a.Rediger1, "L&uft program", &TTextForm::Luftprogram1Click);
    a.Renummerering1 = item(a.Rediger1, "&Renummerering", &TTextForm::Renummerering1Click);
    a.Trigonometri1 = item(a.Rediger1, "Tr&igonometri", &TTextForm::TrigButtonClick);
    a.Rotering1 = item(a.Rediger1, "Rotering", &TTextForm::Rotering1Click);
    a.Transformer1 = item(a.Rediger1, "Transformer", &TTextForm::Transformer1Click);
    a.Rediger1->addSeparator();
    a.TekstFormatering = a.Rediger1->addAction(Q("&Tekstformatering"));
    a.TekstFormatering->setCheckable(true);
    connect(a.TekstFormatering, &QAction::triggered, this, [this] { colour_->SwitchChosen(); });

    BuildViewMenu();

    a.Hjelp1 = bar->addMenu(Q("&Hjelp"));
    a.Emnerihjelp1 = item(a.Hjelp1, "&Emner i hjelp", &TTextForm::Emnerihjelp1Click);
    a.Hjelp1->addSeparator();
    a.Konfigurering = item(a.Hjelp1, "&Konfigurering", &TTextForm::KonfigureringClick);
    a.Hjelp1->addSeparator();
    a.OmProgrammet = item(a.Hjelp1, "&Om Skarv-Editor", &TTextForm::OmProgrammetClick);

    a.PopupMenu1 = new QMenu(this);
    connect(a.PopupMenu1, &QMenu::aboutToShow, this, &TTextForm::RichEdit1SelectionChange);
    a.KlippUt2 = item(a.PopupMenu1, "Klipp &ut", &TTextForm::KlippUt1Click);
    a.Kopier2 = item(a.PopupMenu1, "&Kopier", &TTextForm::Kopier1Click);
    a.Liminn2 = item(a.PopupMenu1, "&Lim inn", &TTextForm::Liminn1Click);
    RichEdit1->SetPopupMenu(a.PopupMenu1);

    // The shortcuts work wherever the focus is in the window, the text included.
    for (QAction* s : {a.Ny1, a.Aapne1, a.Lagre1, a.Overfoer, a.FTPoverfoering, a.TCPoverfoering,
                       a.Angre, a.KlippUt1, a.Kopier1, a.Liminn1, a.Slett1})
        s->setShortcutContext(Qt::WindowShortcut);
}

PlotSettings TTextForm::DocumentPlotSettings(std::string_view start) const {
    return ReadPlotSettings(MachineSection(CurrentMachine() - 1), doc_.FileName, start);
}

void TTextForm::BuildViewMenu() {
    MainActions& a = actions_;
    a.Vis1 = menuBar()->addMenu(Q("&Vis"));
    a.Verktoybane = a.Vis1->addAction(Q("&Verktøybane"));
    a.Verktoybane->setCheckable(true);
    a.Verktoybane->setShortcut(QKeySequence(Qt::Key_F9));
    a.Verktoybane->setShortcutContext(Qt::WindowShortcut);
    connect(a.Verktoybane, &QAction::triggered, this, [this] { plot_->SwitchChosen(); });
    BuildCompareItems();
}

void TTextForm::BuildToolBar() {
    MainActions& a = actions_;
    a.Panel1 = new QToolBar(this);
    QToolBar* bar = a.Panel1;
    bar->setObjectName(QStringLiteral("Panel1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(33);
    bar->setIconSize(QSize(18, 18));
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    bar->setContentsMargins(2, 0, 2, 0);
    bar->layout()->setSpacing(0);
    bar->setStyleSheet(
        QStringLiteral("QToolBar { spacing: 0px; padding: 1px; }"
                       "QToolBar::separator { width: 6px; }"));
    addToolBar(Qt::TopToolBarArea, bar);

    a.MaskinBoks = new QComboBox(bar);
    a.MaskinBoks->setObjectName(QStringLiteral("MaskinBoks"));
    a.MaskinBoks->setFixedWidth(129);
    a.MaskinBoks->setFocusPolicy(Qt::ClickFocus);
    bar->addWidget(a.MaskinBoks);
    connect(a.MaskinBoks, qOverload<int>(&QComboBox::activated), this,
            [this](int) { MaskinBoksChange(); });

    auto button = [this, bar](Glyph glyph, const char* hint, void (TTextForm::*handler)()) {
        QAction* b = bar->addAction(ToolGlyph(glyph), Q(hint));
        b->setToolTip(Q(hint));
        connect(b, &QAction::triggered, this, handler);
        if (auto* tb = qobject_cast<QToolButton*>(bar->widgetForAction(b))) {
            tb->setAutoRaise(true);
            tb->setFixedSize(25, 25);
        }
        return b;
    };
    a.NyButton = button(Glyph::New, "Ny", &TTextForm::Ny1Click);
    a.AapneButton = button(Glyph::Open, "Åpne", &TTextForm::Aapne1Click);
    a.LagreButton = button(Glyph::Save, "Lagre", &TTextForm::Lagre1Click);
    a.LagreSomButton = button(Glyph::SaveAs, "Lagre som", &TTextForm::LagreSom1Click);
    bar->addSeparator();
    a.HendelseButton = button(Glyph::Events, "Hendelser", &TTextForm::HendelseButtonClick);
    bar->addSeparator();
    a.SkrivUtButton = button(Glyph::Print, "Skriv ut", &TTextForm::Skrivut1Click);
    bar->addSeparator();
    a.KlippUtButton = button(Glyph::Cut, "Klipp ut", &TTextForm::KlippUt1Click);
    a.KopierButton = button(Glyph::Copy, "Kopier", &TTextForm::Kopier1Click);
    a.LimInnButton = button(Glyph::Paste, "Lim inn", &TTextForm::Liminn1Click);
    a.SlettButton = button(Glyph::Delete, "Slett", &TTextForm::Slett1Click);
    bar->addSeparator();
    a.AngreButton = button(Glyph::Undo, "Angre", &TTextForm::AngreClick);
    bar->addSeparator();
    a.SeekButton = button(Glyph::Find, "Søk", &TTextForm::Seek1Click);
    a.ErstattButton = button(Glyph::Replace, "Erstatt", &TTextForm::Erstatt1Click);
    bar->addSeparator();
    a.Komprimer = button(Glyph::Compress, "Komprimering", &TTextForm::Komprimerprogram1Click);
    a.Luft = button(Glyph::Air, "Lufting", &TTextForm::Luftprogram1Click);
    a.RenumButton = button(Glyph::Renumber, "Renummerering", &TTextForm::Renummerering1Click);
    a.TrigButton = button(Glyph::Trig, "Trigonometri", &TTextForm::TrigButtonClick);
    auto* spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    a.AvsluttButton = button(Glyph::Exit, "Avslutt", &TTextForm::Avslutt1Click);
}

// ------------------------------------------------------------------ creation and showing
void TTextForm::FormCreate() {
    doc_.FileStamp = -1;
    setWindowTitle(windowTitle() + Q(kVersionCaption) + Q(kVersionNumber));

    bool events = ReadIniBool("Program", "Hendelser", false);
    if (!events) events = ReadIniBool("Program", "LeseHendelser", false);
    actions_.HendelseButton->setEnabled(events);

    doc_.HelpFile = ProgramDirectory() + "Hjelp\\" + kHelpFileName;

    doc_.MaskOpen = false;
    doc_.Loading = false;
    doc_.FileName.clear();
    doc_.CurrentFolder.clear();

    doc_.TekstFormat = ReadIniBool("Program", "TekstFormat", true);
    doc_.DOSFormat = ReadIniBool("Program", "DOSFormat", false);

    FillMachines();

    doc_.StoreBokstaver = ReadIniBool("Program", "StoreBokstaver", true);
    doc_.PrintFormatert = ReadIniBool("Program", "PrintFormatert", true);

    // No length cap: a text of any size loads whole.
    RichEdit1->Clear();
    RichEdit1->SetFontSize(ReadIniInt("Program", "FontSize", 10));

    MachineFromCommandLine();

    UpdateEditCommands();

    actions_.Overfoer->setEnabled(!ReadIniString("VakoEdit", "Port", "").empty());
    doc_.MaskOpen = ReadIniBool("Program", "MaskOpen", false);
    colour_->SetOn(ReadPersonalInt("TekstFormatering", 0) == 1);
    plot_->SetShown(ReadPersonalInt(kToolpathSettingName, 0) == 1);

    std::string ip = ReadIniText("VakoTcp", "VakoIP", "");
    actions_.TCPoverfoering->setVisible(!ip.empty());
    size_t colon = ip.find(':');
    if (colon == std::string::npos) {
        doc_.TcpClient.RemoteHost = ip;
        doc_.TcpClient.RemotePort = kDefaultTcpPort;
    } else {
        doc_.TcpClient.RemoteHost = ip.substr(0, colon);
        doc_.TcpClient.RemotePort = ip.substr(colon + 1);
    }
}

void TTextForm::FillMachines() {
    QComboBox* box = actions_.MaskinBoks;
    int n = ReadIniInt("Program", "Maskiner", 1);
    box->clear();
    for (int k = 1; k <= n; ++k) {
        std::string section = MachineSection(k - 1);
        box->addItem(FromCp1252(ReadIniString(section, "Navn", section)));
    }
    box->setMaxVisibleItems(std::max(1, box->count()));
    box->setCurrentIndex(box->count() > 0 ? 0 : -1);
    MaskinBoksChange();
}

void TTextForm::MachineFromCommandLine() {
    if (arguments_.empty()) return;
    int index = -1;
    if (arguments_.size() >= 2) {
        int wanted = DigitsToInt(arguments_[1]) - 1;
        if (wanted >= 0 && wanted < actions_.MaskinBoks->count()) index = wanted;
    }
    if (index < 0) {
        // The machine whose program folder holds the file named on the command line. The
        // window has not loaded that file yet, so its folder, not the first machine's, is
        // what the machines' folders are compared with.
        std::string fileFolder = UpperCase1252(FolderPart(ArgumentToDncPath(arguments_[0])));
        for (int k = 1; k <= actions_.MaskinBoks->count(); ++k) {
            std::string folder = ReadIniString(MachineSection(k - 1), "Katalog", "");
            if (folder.empty()) break;
            if (folder.back() != '\\' && folder.back() != ':') folder += '\\';
            if (!fileFolder.empty() && StartsWithNoCase1252(fileFolder, folder)) {
                index = k - 1;
                break;
            }
        }
    }
    // Selecting here does not run the machine change: the activated signal is the user's.
    actions_.MaskinBoks->setCurrentIndex(index);
}

void TTextForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TTextForm::FormShow() {
    actions_.FTPoverfoering->setVisible(ConfigureFtp());
    doc_.RecentFiles = std::make_unique<TRecentFileList>();
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && doc_.RecentFiles) ActivateApplication();
            });
    if (!arguments_.empty()) {
        std::string name = LoadDocument(ArgumentToDncPath(arguments_[0]));
        // A file that does not exist yet is a new program under that name (the DNC system
        // starts the editor so to make one): the empty text is saved there. A file that is
        // there but could not be loaded (a drawing that failed to convert, a file that cannot
        // be read) does not name the document: a save would write over it.
        if (LastLoadReplaced() || LastLoadMissing()) SetFileName(FileNamePart(name));
        SetFolder(FolderPart(name));
        UpdateEditCommands();
    }
    RichEdit1->SetModified(false);
}

void TTextForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TTextForm::FormResize() {
    if (RichEdit1) RichEdit1->Invalidate();
}

void TTextForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    DiscardRecovery();  // saved, or closed without saving
    FormClose();
    event->accept();
}

void TTextForm::FormClose() {
    if (closed_) return;
    closed_ = true;
    disconnect(qApp, &QGuiApplication::applicationStateChanged, this, nullptr);
    doc_.RecentFiles.reset();  // stores the list
}

void TTextForm::Avslutt1Click() { close(); }

// ------------------------------------------------------------------ shared operations
int TTextForm::CurrentMachine() const {
    return actions_.MaskinBoks ? actions_.MaskinBoks->currentIndex() + 1 : 0;
}

void TTextForm::SetFileName(const std::string& name) {
    doc_.FileName = name;
    setWindowTitle(FromCp1252(CaptionForFile(name)));
    SetTitleForFile(name);
    plot_->SettingsChanged();  // the extension may choose another dialect
}

void TTextForm::SetFolder(const std::string& folder) { doc_.CurrentFolder = folder; }

std::string TTextForm::MachineExtension() const {
    std::string s = MachineSection(CurrentMachine() - 1);
    std::string ext = ReadIniString(s, "Ext", ReadProgramExt());
    std::string def = ReadIniBool(s, "UtKatalog", false) ? ReadIniString(s, "Ext2", ext) : ext;
    return ReadIniString(s, "EditorExt", def);
}

void TTextForm::UpdateEditCommands() {
    const MainActions& a = actions_;
    bool paste = TextControl::ClipboardHasText();
    for (QAction* item : {a.Liminn1, a.Liminn2, a.LimInnButton}) item->setEnabled(paste);

    bool selection = RichEdit1->SelLength() > 0;
    for (QAction* item : {a.KlippUt1, a.KlippUt2, a.KlippUtButton, a.Kopier1, a.Kopier2,
                          a.KopierButton, a.Slett1, a.SlettButton})
        item->setEnabled(selection);

    bool lines = RichEdit1->LineCount() > 0;
    for (QAction* item : {a.Seek1, a.SeekButton, a.Erstatt1, a.ErstattButton, a.Renummerering1,
                          a.RenumButton, a.Komprimerprogram1, a.Komprimer, a.Luftprogram1, a.Luft})
        item->setEnabled(lines);

    a.Angre->setEnabled(RichEdit1->CanUndo());
}

void TTextForm::RichEdit1SelectionChange() {
    if (doc_.Loading) return;
    UpdateEditCommands();
    if (colour_->On()) RichEdit1->Invalidate();
}

void TTextForm::HourglassOn() {
    if (hourglass_) return;
    hourglass_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TTextForm::HourglassOff() {
    if (!hourglass_) return;
    hourglass_ = false;
    QApplication::restoreOverrideCursor();
}

void TTextForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // The state before the window was minimised is the one it comes back in.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        maximizedBeforeMinimized_ = isMaximized();
}

void TTextForm::BringToFront() {
    if (isMinimized()) {
        // Restored as it was: a maximised window comes back maximised.
        if (maximizedBeforeMinimized_ || (windowState() & Qt::WindowMaximized))
            showMaximized();
        else
            showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

// ------------------------------------------------------------------ edit commands
void TTextForm::KlippUt1Click() {
    RichEdit1->CutToClipboard();
    UpdateEditCommands();
}

void TTextForm::Kopier1Click() {
    RichEdit1->CopyToClipboard();
    UpdateEditCommands();
}

void TTextForm::Liminn1Click() {
    RichEdit1->PasteFromClipboard();
    UpdateEditCommands();
}

void TTextForm::Slett1Click() {
    RichEdit1->ClearSelection();
    UpdateEditCommands();
}

void TTextForm::AngreClick() {
    RichEdit1->Undo();
    UpdateEditCommands();
}

void TTextForm::RichEdit1KeyPress(char& key) {
    // Only the ASCII letters: the Norwegian letters and every other character pass as typed.
    if (doc_.StoreBokstaver && key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
}

// ------------------------------------------------------------------ recent files
void TTextForm::Fil1Click() {
    if (!doc_.RecentFiles) return;
    RecentQtMenu menu(this, actions_.SisteFiler);
    doc_.RecentFiles->UpdateMenu(menu);
}
