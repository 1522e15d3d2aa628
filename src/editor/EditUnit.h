#pragma once
// The main window: one NC program in the text control, every command of the system in its
// menus and tool bar, and the document state the commands share. Its widgets and state are
// private; the window's own handlers and the tests reach them through the accessors.
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/EditUnitColour.h"
#include "widgets/TextControl.h"

class QAction;
class QComboBox;
class QMenu;
class QMenuBar;
class QToolBar;
class TRecentFileList;
class TRenForm;
class TReklameBilde;
class TTransForm;
class TAskForm;
class TTrigForm;
class TAboutBox;
class TFtpKlientModul;
class TRoteringForm;
class TFindDialog;
class THelpWindow;
class TCompareForm;
class TTransformForm;
class TextLines;
class ToolpathLink;
struct PlotSettings;
class RecoveryKeeper;

inline constexpr const char* kProductName = "Skarv-Editor";
inline constexpr const char* kVersionNumber = "1.4.1";
inline constexpr const char* kVersionCaption = ", versjon ";
inline constexpr const char* kHelpFileName = "VakoEdit.Hlp";
inline constexpr const char* kDefaultTcpPort = "50000";

// Where the TCP transfer connects (host and port as text).
struct TcpClientConfig {
    std::string RemoteHost;
    std::string RemotePort = kDefaultTcpPort;
};

// The document state the commands share.
struct DocumentState {
    std::string FileName;       // relative to CurrentFolder; empty: no file
    std::string CurrentFolder;  // DNC form, ends with a backslash
    int64_t FileStamp = -1;     // FileAge of the document file (-1: none)
    int32_t SearchPos = 0;
    bool Loading = false;  // the program is rewriting the text: the change handlers wait
    bool MaskOpen = false;
    bool TekstFormat = true;
    bool DOSFormat = false;
    bool StoreBokstaver = true;
    bool PrintFormatert = true;
    std::string HelpFile;
    TcpClientConfig TcpClient;
    std::unique_ptr<TRecentFileList> RecentFiles;  // made when the window is first shown
};

// The menus with their items, the tool bar with its buttons and the machine box.
struct MainActions {
    QMenu* Fil1 = nullptr;
    QMenu* Rediger1 = nullptr;
    QMenu* Vis1 = nullptr;
    QMenu* Hjelp1 = nullptr;
    QMenu* SisteFiler = nullptr;
    QMenu* PopupMenu1 = nullptr;
    // File menu.
    QAction* Ny1 = nullptr;
    QAction* Aapne1 = nullptr;
    QAction* Liminnfil1 = nullptr;
    QAction* Lagre1 = nullptr;
    QAction* LagreSom1 = nullptr;
    QAction* Katalog1 = nullptr;
    QAction* Overfoer = nullptr;
    QAction* FTPoverfoering = nullptr;
    QAction* TCPoverfoering = nullptr;
    QAction* Reklame1 = nullptr;
    QAction* Skrivut1 = nullptr;
    QAction* Avslutt1 = nullptr;
    // Edit menu.
    QAction* Angre = nullptr;
    QAction* KlippUt1 = nullptr;
    QAction* Kopier1 = nullptr;
    QAction* Liminn1 = nullptr;
    QAction* Slett1 = nullptr;
    QAction* Seek1 = nullptr;
    QAction* Erstatt1 = nullptr;
    QAction* Komprimerprogram1 = nullptr;
    QAction* Luftprogram1 = nullptr;
    QAction* Renummerering1 = nullptr;
    QAction* Trigonometri1 = nullptr;
    QAction* Rotering1 = nullptr;
    QAction* Transformer1 = nullptr;
    QAction* TekstFormatering = nullptr;  // its check mark is the colouring switch
    // View menu.
    QAction* Verktoybane = nullptr;  // its check mark shows the toolpath panel
    QAction* SammenlignFil = nullptr;
    QAction* SammenlignBackup = nullptr;
    QAction* SammenlignDisk = nullptr;
    // Help menu.
    QAction* Emnerihjelp1 = nullptr;
    QAction* Konfigurering = nullptr;
    QAction* OmProgrammet = nullptr;
    // Pop-up menu of the text.
    QAction* KlippUt2 = nullptr;
    QAction* Kopier2 = nullptr;
    QAction* Liminn2 = nullptr;
    // The tool bar.
    QToolBar* Panel1 = nullptr;
    QComboBox* MaskinBoks = nullptr;
    QAction* NyButton = nullptr;
    QAction* AapneButton = nullptr;
    QAction* LagreButton = nullptr;
    QAction* LagreSomButton = nullptr;
    QAction* HendelseButton = nullptr;
    QAction* SkrivUtButton = nullptr;
    QAction* KlippUtButton = nullptr;
    QAction* KopierButton = nullptr;
    QAction* LimInnButton = nullptr;
    QAction* SlettButton = nullptr;
    QAction* AngreButton = nullptr;
    QAction* SeekButton = nullptr;
    QAction* ErstattButton = nullptr;
    QAction* Komprimer = nullptr;
    QAction* Luft = nullptr;
    QAction* RenumButton = nullptr;
    QAction* TrigButton = nullptr;
    QAction* AvsluttButton = nullptr;
};

// The other windows and modules, created by the program start right after the main window
// (not owned here). A handler whose window is missing (a test that builds the main window
// alone) creates it on first use.
struct OtherWindows {
    TRenForm* RenForm = nullptr;
    TReklameBilde* ReklameBilde = nullptr;
    TTransForm* TransForm = nullptr;
    TAskForm* AskForm = nullptr;
    TTrigForm* TrigForm = nullptr;
    TAboutBox* AboutBox = nullptr;
    TFtpKlientModul* FtpKlientModul = nullptr;
    TRoteringForm* RoteringForm = nullptr;
    TFindDialog* FindDialog1 = nullptr;     // made on first use, modeless
    TFindDialog* ReplaceDialog1 = nullptr;  // made on first use, modeless
    THelpWindow* HelpWindow = nullptr;      // made on first use
    TCompareForm* CompareForm = nullptr;    // made on first use
    TTransformForm* TransformForm = nullptr;  // made on first use
    // The dialogs during which the change-on-disk test stays quiet.
    std::vector<QPointer<QWidget>> ReloadQuietDialogs;
};

class TTextForm : public QMainWindow {
    Q_OBJECT
public:
    // arguments: the command-line arguments after the program name.
    explicit TTextForm(const std::vector<std::string>& arguments = {}, QWidget* parent = nullptr);
    ~TTextForm() override;

    // ---- What the program start and the tests reach.
    TextControl& Text() const { return *RichEdit1; }
    DocumentState& Doc() { return doc_; }
    const MainActions& Actions() const { return actions_; }
    OtherWindows& Windows() { return windows_; }
    Colouring& Colour() const { return *colour_; }
    ToolpathLink& Plot() const { return *plot_; }

    // The configuration program in the program folder (also tried with ".exe").
    static constexpr const char* kConfigurationProgram = "VakoEdtI";
    // The event log of the current machine: loaded as the document, or the message.
    void ShowLog();
    // Configures the FTP module (the window's own one when the program start gave none);
    // true when a server is set.
    bool ConfigureFtp();
    // Item index of MaskinBoks + 1; 0 when no machine is selected.
    int CurrentMachine() const;

    // ---- Shared operations.
    void SetFileName(const std::string& name);
    void SetFolder(const std::string& folder);
    std::string MachineExtension() const;
    bool QuerySave();
    std::string LoadDocument(const std::string& fileName);
    void SaveDocument(const std::string& fullFileName);
    void UpdateEditCommands();
    void HourglassOn();
    void HourglassOff();
    bool HourglassShown() const { return hourglass_; }
    // Whether the last LoadDocument put a new text into the control (false: the document
    // stayed as it was, under its name).
    bool LastLoadReplaced() const { return lastLoadReplaced_; }
    // Whether the last LoadDocument found no file by that name (the text stayed as it was).
    bool LastLoadMissing() const { return lastLoadMissing_; }
    // Whether the last SaveDocument failed (reported; the file on disk unchanged).
    bool LastSaveFailed() const { return lastSaveFailed_; }

    // ---- Unsaved work kept against a crash; the program start turns it on.
    // Copies of the modified text every intervalMs into folder (native path).
    void StartRecovery(const std::string& folder, int intervalMs);
    RecoveryKeeper* Recovery() const { return recovery_; }
    // The copies that editors no longer running left in folder, offered one by one:
    // "Gjenoppretting", Yes opens the text as a modified document under its name (after the
    // unsaved-changes question), No deletes the copy.
    void OfferRecoveredWork(const std::string& folder);

    // ---- Text tools and printing.
    // The print command; fromMenu: the menu item (the print dialog first), else the tool
    // button (printed at once).
    void SkrivutFrom(bool fromMenu);
    // Runs a text tool over every line of the text under the Loading protocol with the
    // hourglass; the lines it replaces are written back in one change. Caret to the start,
    // then the whole text is recoloured. Returns how many lines were replaced.
    size_t RewriteAllLines(const std::function<size_t(TextLines&)>& tool);

public slots:
    // Window.
    void FormCreate();
    void FormShow();
    void FormResize();
    bool FormCloseQuery();
    void FormClose();
    // Document files.
    void Ny1Click();
    void Aapne1Click();
    void Liminnfil1Click();
    void Lagre1Click();
    void LagreSom1Click();
    void Avslutt1Click();
    void Fil1Click();
    void ReopenClick(const std::string& fileName);
    void ActivateApplication();
    // Edit commands.
    void RichEdit1SelectionChange();
    void KlippUt1Click();
    void Kopier1Click();
    void Liminn1Click();
    void Slett1Click();
    void AngreClick();
    // Machine selection and catalogue.
    void MaskinBoksChange();
    void Katalog1Click();
    // Find and replace.
    void Seek1Click();
    void Erstatt1Click();
    void FindDialog1Find();
    void ReplaceDialog1Find();
    void ReplaceDialog1Replace();
    // Event log, help, configuration.
    void HendelseButtonClick();
    void Emnerihjelp1Click();
    void OmProgrammetClick();
    void KonfigureringClick();
    // Text tools.
    void Renummerering1Click();
    void Komprimerprogram1Click();
    void Luftprogram1Click();
    void RichEdit1KeyPress(char& key);
    // Transfer.
    void OverfoerClick();
    void FTPoverfoeringClick();
    void TCPoverfoeringClick();
    // Calculators.
    void TrigButtonClick();
    void Rotering1Click();
    void Transformer1Click();
    // Comparison with another program.
    void SammenlignFilClick();
    void SammenlignBackupClick();
    void SammenlignDiskClick();
    // The comparison window with the document on the left and this file on the right.
    void CompareWith(const std::string& fileName);
    // Printing.
    void Skrivut1Click();
    // Information window.
    void Reklame1Click();

    // Brings the window to the front for another instance's hand-over: restored when
    // minimised, else raised and activated.
    void BringToFront();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildMenus();
    void BuildViewMenu();
    void BuildCompareItems();
    // The dialect and machine rules the toolpath reads the document by; start is its text's
    // beginning, which tells a Heidenhain program.
    PlotSettings DocumentPlotSettings(std::string_view start) const;
    void BuildToolBar();
    void FillMachines();
    void MachineFromCommandLine();

    TextControl* RichEdit1 = nullptr;
    DocumentState doc_;
    MainActions actions_;
    OtherWindows windows_;
    Colouring* colour_ = nullptr;
    ToolpathLink* plot_ = nullptr;
    RecoveryKeeper* recovery_ = nullptr;  // child of the window; null until started
    void DiscardRecovery();
    // The window's own FTP module, made when the program start gave none.
    struct OwnFtpModule;
    struct OwnFtpModuleDeleter {
        void operator()(OwnFtpModule* module) const;
    };
    std::unique_ptr<OwnFtpModule, OwnFtpModuleDeleter> ownFtpModule_;
    std::vector<std::string> arguments_;
    bool shown_ = false;
    bool hourglass_ = false;
    bool closed_ = false;
    bool lastLoadReplaced_ = false;
    bool lastLoadMissing_ = false;
    bool maximizedBeforeMinimized_ = false;  // how a minimised window comes back
    bool lastSaveFailed_ = false;
};

// The hourglass for the length of a command: on at construction, off at destruction.
class WaitCursor {
public:
    explicit WaitCursor(TTextForm& form) : form_(form) { form_.HourglassOn(); }
    ~WaitCursor() { form_.HourglassOff(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    TTextForm& form_;
};

// The Loading protocol for a rewrite of the text: Loading set and the line list in its
// update bracket for the guard's lifetime, on every path out.
class LoadingGuard {
public:
    explicit LoadingGuard(TTextForm& form) : form_(form) {
        form_.Doc().Loading = true;
        form_.Text().BeginUpdate();
    }
    ~LoadingGuard() {
        form_.Text().EndUpdate();
        form_.Doc().Loading = false;
    }
    LoadingGuard(const LoadingGuard&) = delete;
    LoadingGuard& operator=(const LoadingGuard&) = delete;

private:
    TTextForm& form_;
};

// The window caption after a name (empty: no file).
std::string CaptionForFile(const std::string& name);
// The command line in the system's own form: each argument in Windows-1252, as the window's
// title and the document state hold names (the arguments come UTF-8 from the shell). The
// program start, the single-instance check and the window all use this one form.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// A command-line file argument (Windows-1252) in the DNC form of the document state: a native
// path becomes "C:\..." (relative ones from the working folder), a DNC path stays as it is.
std::string ArgumentToDncPath(const std::string& argument);
