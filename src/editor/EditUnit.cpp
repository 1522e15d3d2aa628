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
#include "widgets/Prompter.h"
#include "widgets/ToolGlyphs.h"
#include "settings/PathResolve.h"
#include "settings/Recent.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

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

QAction* MenuItem(QMenu* menu, const char* caption, const QKeySequence& shortcut = {}) {
    QAction* a = menu->addAction(Q(caption));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    return a;
}
}  // namespace

std::string CaptionForFile(const std::string& name) {
    if (name.empty()) return kProductName;
    return std::string(kProductName) + " - " + name;
}

std::string ArgumentToDncPath(const std::string& argument) {
    if (argument.size() >= 2 && argument[1] == ':') return argument;  // already "C:\..."
    if (argument.find('\\') != std::string::npos) return argument;
    QString native = QString::fromUtf8(argument.c_str());
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
    connect(RichEdit1, &TextControl::TextChanged, this, &TTextForm::RichEdit1Change);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        if (!Loading) UpdateEditCommands();
    });
    GetPrompter().SetOwner(this);
    FormCreate();
}

TTextForm::~TTextForm() {
    if (!closed_) FormClose();
    GetPrompter().SetOwner(nullptr);
}

void TTextForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    Fil1 = bar->addMenu(Q("&Fil"));
    Ny1 = MenuItem(Fil1, "&Ny", QKeySequence(Qt::CTRL | Qt::Key_N));
    Aapne1 = MenuItem(Fil1, "&Åpne", QKeySequence(Qt::CTRL | Qt::Key_O));
    Liminnfil1 = MenuItem(Fil1, "L&im inn fil");
    Lagre1 = MenuItem(Fil1, "&Lagre", QKeySequence(Qt::CTRL | Qt::Key_S));
    LagreSom1 = MenuItem(Fil1, "Lagre &som");
    SisteFiler = Fil1->addMenu(Q("Siste filer"));
    Fil1->addSeparator();
    Katalog1 = MenuItem(Fil1, "&Katalog");
    Overfoer = MenuItem(Fil1, "&Overfør", QKeySequence(Qt::Key_F2));
    FTPoverfoering = MenuItem(Fil1, "FTP overføring", QKeySequence(Qt::Key_F4));
    TCPoverfoering = MenuItem(Fil1, "TCP overføring", QKeySequence(Qt::Key_F6));
    Reklame1 = MenuItem(Fil1, "&Reklame");
    Fil1->addSeparator();
    Skrivut1 = MenuItem(Fil1, "Skriv &ut");
    Fil1->addSeparator();
    Avslutt1 = MenuItem(Fil1, "&Avslutt");

    Rediger1 = bar->addMenu(Q("&Rediger"));
    Angre = MenuItem(Rediger1, "&Angre", QKeySequence(Qt::CTRL | Qt::Key_Z));
    Rediger1->addSeparator();
    KlippUt1 = MenuItem(Rediger1, "Klipp &ut", QKeySequence(Qt::CTRL | Qt::Key_X));
    Kopier1 = MenuItem(Rediger1, "&Kopier", QKeySequence(Qt::CTRL | Qt::Key_C));
    Liminn1 = MenuItem(Rediger1, "&Lim inn", QKeySequence(Qt::CTRL | Qt::Key_V));
    Slett1 = MenuItem(Rediger1, "&Fjern", QKeySequence(Qt::CTRL | Qt::Key_D));
    Rediger1->addSeparator();
    Seek1 = MenuItem(Rediger1, "&Søk");
    Erstatt1 = MenuItem(Rediger1, "&Erstatt");
    Rediger1->addSeparator();
    Komprimerprogram1 = MenuItem(Rediger1, "K&omprimer program");
    Luftprogram1 = MenuItem(Rediger1, "L&uft program");
    Renummerering1 = MenuItem(Rediger1, "&Renummerering");
    Trigonometri1 = MenuItem(Rediger1, "Tr&igonometri");
    Rotering1 = MenuItem(Rediger1, "Rotering");
    Rediger1->addSeparator();
    TekstFormatering = MenuItem(Rediger1, "&Tekstformatering");
    TekstFormatering->setCheckable(true);

    Hjelp1 = bar->addMenu(Q("&Hjelp"));
    Emnerihjelp1 = MenuItem(Hjelp1, "&Emner i hjelp");
    Hjelp1->addSeparator();
    Konfigurering = MenuItem(Hjelp1, "&Konfigurering");
    Hjelp1->addSeparator();
    OmProgrammet = MenuItem(Hjelp1, "&Om Skarv-Editor");

    PopupMenu1 = new QMenu(this);
    KlippUt2 = MenuItem(PopupMenu1, "Klipp &ut");
    Kopier2 = MenuItem(PopupMenu1, "&Kopier");
    Liminn2 = MenuItem(PopupMenu1, "&Lim inn");
    RichEdit1->SetPopupMenu(PopupMenu1);

    // The shortcuts work wherever the focus is in the window, the text included.
    for (QAction* a : {Ny1, Aapne1, Lagre1, Overfoer, FTPoverfoering, TCPoverfoering, Angre,
                       KlippUt1, Kopier1, Liminn1, Slett1})
        a->setShortcutContext(Qt::WindowShortcut);

    connect(Fil1, &QMenu::aboutToShow, this, &TTextForm::Fil1Click);
    connect(Rediger1, &QMenu::aboutToShow, this, &TTextForm::RichEdit1SelectionChange);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TTextForm::RichEdit1SelectionChange);

    connect(Ny1, &QAction::triggered, this, &TTextForm::Ny1Click);
    connect(Aapne1, &QAction::triggered, this, &TTextForm::Aapne1Click);
    connect(Liminnfil1, &QAction::triggered, this, &TTextForm::Liminnfil1Click);
    connect(Lagre1, &QAction::triggered, this, &TTextForm::Lagre1Click);
    connect(LagreSom1, &QAction::triggered, this, &TTextForm::LagreSom1Click);
    connect(Katalog1, &QAction::triggered, this, &TTextForm::Katalog1Click);
    connect(Overfoer, &QAction::triggered, this, &TTextForm::OverfoerClick);
    connect(FTPoverfoering, &QAction::triggered, this, &TTextForm::FTPoverfoeringClick);
    connect(TCPoverfoering, &QAction::triggered, this, &TTextForm::TCPoverfoeringClick);
    connect(Reklame1, &QAction::triggered, this, &TTextForm::Reklame1Click);
    connect(Skrivut1, &QAction::triggered, this, &TTextForm::Skrivut1Click);
    connect(Avslutt1, &QAction::triggered, this, &TTextForm::Avslutt1Click);
    connect(Angre, &QAction::triggered, this, &TTextForm::AngreClick);
    connect(KlippUt1, &QAction::triggered, this, &TTextForm::KlippUt1Click);
    connect(Kopier1, &QAction::triggered, this, &TTextForm::Kopier1Click);
    connect(Liminn1, &QAction::triggered, this, &TTextForm::Liminn1Click);
    connect(Slett1, &QAction::triggered, this, &TTextForm::Slett1Click);
    connect(Seek1, &QAction::triggered, this, &TTextForm::Seek1Click);
    connect(Erstatt1, &QAction::triggered, this, &TTextForm::Erstatt1Click);
    connect(Komprimerprogram1, &QAction::triggered, this, &TTextForm::Komprimerprogram1Click);
    connect(Luftprogram1, &QAction::triggered, this, &TTextForm::Luftprogram1Click);
    connect(Renummerering1, &QAction::triggered, this, &TTextForm::Renummerering1Click);
    connect(Trigonometri1, &QAction::triggered, this, &TTextForm::TrigButtonClick);
    connect(Rotering1, &QAction::triggered, this, &TTextForm::Rotering1Click);
    connect(TekstFormatering, &QAction::triggered, this, &TTextForm::TekstFormateringClick);
    connect(Emnerihjelp1, &QAction::triggered, this, &TTextForm::Emnerihjelp1Click);
    connect(Konfigurering, &QAction::triggered, this, &TTextForm::KonfigureringClick);
    connect(OmProgrammet, &QAction::triggered, this, &TTextForm::OmProgrammetClick);
    connect(KlippUt2, &QAction::triggered, this, &TTextForm::KlippUt1Click);
    connect(Kopier2, &QAction::triggered, this, &TTextForm::Kopier1Click);
    connect(Liminn2, &QAction::triggered, this, &TTextForm::Liminn1Click);
}

void TTextForm::BuildToolBar() {
    Panel1 = new QToolBar(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setMovable(false);
    Panel1->setFloatable(false);
    Panel1->setFixedHeight(33);
    Panel1->setIconSize(QSize(18, 18));
    Panel1->setContextMenuPolicy(Qt::PreventContextMenu);
    Panel1->setContentsMargins(2, 0, 2, 0);
    Panel1->layout()->setSpacing(0);
    Panel1->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 1px; }"
                                         "QToolBar::separator { width: 6px; }"));
    addToolBar(Qt::TopToolBarArea, Panel1);

    MaskinBoks = new QComboBox(Panel1);
    MaskinBoks->setObjectName(QStringLiteral("MaskinBoks"));
    MaskinBoks->setFixedWidth(129);
    MaskinBoks->setFocusPolicy(Qt::ClickFocus);
    Panel1->addWidget(MaskinBoks);
    connect(MaskinBoks, qOverload<int>(&QComboBox::activated), this, [this](int) {
        MaskinBoksChange();
    });

    auto button = [this](Glyph glyph, const char* hint, void (TTextForm::*handler)()) {
        QAction* a = Panel1->addAction(ToolGlyph(glyph), Q(hint));
        a->setToolTip(Q(hint));
        connect(a, &QAction::triggered, this, handler);
        if (auto* b = qobject_cast<QToolButton*>(Panel1->widgetForAction(a))) {
            b->setAutoRaise(true);
            b->setFixedSize(25, 25);
        }
        return a;
    };
    NyButton = button(Glyph::New, "Ny", &TTextForm::Ny1Click);
    AapneButton = button(Glyph::Open, "Åpne", &TTextForm::Aapne1Click);
    LagreButton = button(Glyph::Save, "Lagre", &TTextForm::Lagre1Click);
    LagreSomButton = button(Glyph::SaveAs, "Lagre som", &TTextForm::LagreSom1Click);
    Panel1->addSeparator();
    HendelseButton = button(Glyph::Events, "Hendelser", &TTextForm::HendelseButtonClick);
    Panel1->addSeparator();
    SkrivUtButton = button(Glyph::Print, "Skriv ut", &TTextForm::Skrivut1Click);
    Panel1->addSeparator();
    KlippUtButton = button(Glyph::Cut, "Klipp ut", &TTextForm::KlippUt1Click);
    KopierButton = button(Glyph::Copy, "Kopier", &TTextForm::Kopier1Click);
    LimInnButton = button(Glyph::Paste, "Lim inn", &TTextForm::Liminn1Click);
    SlettButton = button(Glyph::Delete, "Slett", &TTextForm::Slett1Click);
    Panel1->addSeparator();
    AngreButton = button(Glyph::Undo, "Angre", &TTextForm::AngreClick);
    Panel1->addSeparator();
    SeekButton = button(Glyph::Find, "Søk", &TTextForm::Seek1Click);
    ErstattButton = button(Glyph::Replace, "Erstatt", &TTextForm::Erstatt1Click);
    Panel1->addSeparator();
    Komprimer = button(Glyph::Compress, "Komprimering", &TTextForm::Komprimerprogram1Click);
    Luft = button(Glyph::Air, "Lufting", &TTextForm::Luftprogram1Click);
    RenumButton = button(Glyph::Renumber, "Renummerering", &TTextForm::Renummerering1Click);
    TrigButton = button(Glyph::Trig, "Trigonometri", &TTextForm::TrigButtonClick);
    auto* spacer = new QWidget(Panel1);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    Panel1->addWidget(spacer);
    AvsluttButton = button(Glyph::Exit, "Avslutt", &TTextForm::Avslutt1Click);
}

// ------------------------------------------------------------------ creation and showing
void TTextForm::FormCreate() {
    FileStamp = -1;
    setWindowTitle(windowTitle() + Q(kVersionCaption) + Q(kVersionNumber));

    bool events = ReadIniBool("Program", "Hendelser", false);
    if (!events) events = ReadIniBool("Program", "LeseHendelser", false);
    HendelseButton->setEnabled(events);

    HelpFile = ProgramDirectory() + "Hjelp\\" + kHelpFileName;

    MaskOpen = false;
    Loading = false;
    FileName.clear();
    CurrentFolder.clear();

    TekstFormat = ReadIniBool("Program", "TekstFormat", true);
    DOSFormat = ReadIniBool("Program", "DOSFormat", false);

    FillMachines();

    StoreBokstaver = ReadIniBool("Program", "StoreBokstaver", true);
    PrintFormatert = ReadIniBool("Program", "PrintFormatert", true);

    // No length cap: a text of any size loads whole.
    RichEdit1->Clear();
    RichEdit1->SetFontSize(ReadIniInt("Program", "FontSize", 10));

    MachineFromCommandLine();

    UpdateEditCommands();

    Overfoer->setEnabled(!ReadIniString("VakoEdit", "Port", "").empty());
    MaskOpen = ReadIniBool("Program", "MaskOpen", false);
    TekstFormatering->setChecked(ReadPersonalInt("TekstFormatering", 0) == 1);

    std::string ip = ReadIniText("VakoTcp", "VakoIP", "");
    TCPoverfoering->setVisible(!ip.empty());
    size_t colon = ip.find(':');
    if (colon == std::string::npos) {
        TcpClient.RemoteHost = ip;
        TcpClient.RemotePort = kDefaultTcpPort;
    } else {
        TcpClient.RemoteHost = ip.substr(0, colon);
        TcpClient.RemotePort = ip.substr(colon + 1);
    }
}

void TTextForm::FillMachines() {
    int n = ReadIniInt("Program", "Maskiner", 1);
    MaskinBoks->clear();
    for (int k = 1; k <= n; ++k) {
        std::string section = MachineSection(k - 1);
        MaskinBoks->addItem(FromCp1252(ReadIniString(section, "Navn", section)));
    }
    MaskinBoks->setMaxVisibleItems(std::max(1, MaskinBoks->count()));
    MaskinBoks->setCurrentIndex(MaskinBoks->count() > 0 ? 0 : -1);
    MaskinBoksChange();
}

void TTextForm::MachineFromCommandLine() {
    if (arguments_.empty()) return;
    int index = -1;
    if (arguments_.size() >= 2) {
        int wanted = DigitsToInt(arguments_[1]) - 1;
        if (wanted >= 0 && wanted < MaskinBoks->count()) index = wanted;
    }
    if (index < 0) {
        // The machine whose program folder holds the file named on the command line. The
        // window has not loaded that file yet, so its folder, not the first machine's, is
        // what the machines' folders are compared with.
        std::string fileFolder = UpperCase1252(FolderPart(ArgumentToDncPath(arguments_[0])));
        for (int k = 1; k <= MaskinBoks->count(); ++k) {
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
    MaskinBoks->setCurrentIndex(index);
}

void TTextForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TTextForm::FormShow() {
    FTPoverfoering->setVisible(ConfigureFtp());
    RecentFiles = std::make_unique<TRecentFileList>();
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && RecentFiles) ActivateApplication();
            });
    if (!arguments_.empty()) {
        std::string name = LoadDocument(ArgumentToDncPath(arguments_[0]));
        // A file that could not be loaded (a drawing that failed to convert, an unreadable
        // file) does not name the document: a save would write over it.
        if (LastLoadReplaced()) SetFileName(FileNamePart(name));
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
    FormClose();
    event->accept();
}

void TTextForm::FormClose() {
    if (closed_) return;
    closed_ = true;
    disconnect(qApp, &QGuiApplication::applicationStateChanged, this, nullptr);
    RecentFiles.reset();  // stores the list
}

void TTextForm::Avslutt1Click() { close(); }

// ------------------------------------------------------------------ shared operations
int TTextForm::CurrentMachine() const { return MaskinBoks ? MaskinBoks->currentIndex() + 1 : 0; }

void TTextForm::SetFileName(const std::string& name) {
    FileName = name;
    setWindowTitle(FromCp1252(CaptionForFile(name)));
    SetTitleForFile(name);
}

void TTextForm::SetFolder(const std::string& folder) { CurrentFolder = folder; }

std::string TTextForm::MachineExtension() const {
    std::string s = MachineSection(CurrentMachine() - 1);
    std::string ext = ReadIniString(s, "Ext", ReadProgramExt());
    std::string def = ReadIniBool(s, "UtKatalog", false) ? ReadIniString(s, "Ext2", ext) : ext;
    return ReadIniString(s, "EditorExt", def);
}

void TTextForm::UpdateEditCommands() {
    bool paste = TextControl::ClipboardHasText();
    Liminn1->setEnabled(paste);
    Liminn2->setEnabled(paste);
    LimInnButton->setEnabled(paste);

    bool selection = RichEdit1->SelLength() > 0;
    for (QAction* a : {KlippUt1, KlippUt2, KlippUtButton, Kopier1, Kopier2, KopierButton, Slett1,
                       SlettButton})
        a->setEnabled(selection);

    bool lines = RichEdit1->LineCount() > 0;
    for (QAction* a : {Seek1, SeekButton, Erstatt1, ErstattButton, Renummerering1, RenumButton,
                       Komprimerprogram1, Komprimer, Luftprogram1, Luft})
        a->setEnabled(lines);

    Angre->setEnabled(RichEdit1->CanUndo());
}

void TTextForm::RichEdit1SelectionChange() {
    if (Loading) return;
    UpdateEditCommands();
    if (TekstFormatering->isChecked()) RichEdit1->Invalidate();
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

void TTextForm::BringToFront() {
    if (isMinimized()) {
        showNormal();
    } else {
        show();
        raise();
        activateWindow();
    }
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
    if (StoreBokstaver && key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
}

// ------------------------------------------------------------------ recent files
void TTextForm::Fil1Click() {
    if (!RecentFiles) return;
    RecentQtMenu menu(this, SisteFiler);
    RecentFiles->UpdateMenu(menu);
}
