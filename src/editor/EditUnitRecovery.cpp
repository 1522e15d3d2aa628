#include "editor/EditUnitRecovery.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "document/DocFiles.h"
#include "editor/EditUnit.h"
#include "widgets/Prompter.h"
#include "widgets/TextControl.h"

int RecoveryIntervalMs() {
    if (const char* v = std::getenv("SKARV_RECOVERY_INTERVAL_MS")) {
        char* end = nullptr;
        long ms = std::strtol(v, &end, 10);
        if (end != v && *end == '\0' && ms >= 10 && ms <= 24L * 3600 * 1000) return static_cast<int>(ms);
    }
    return kRecoveryIntervalMs;
}

RecoveryKeeper::RecoveryKeeper(TTextForm& form, const std::string& folder, int intervalMs)
    : QObject(&form), form_(form), writer_(folder, ThisProcess()) {
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::Keep);
    timer_.start();
}

// Whatever waits is written before the writer ends; the copy stays (the program may be
// ending at a signal, or be killed in a moment).
RecoveryKeeper::~RecoveryKeeper() = default;

RecoveryCopy RecoveryKeeper::Snapshot() {
    RecoveryCopy copy;
    const DocumentState& doc = form_.Doc();
    copy.savedAt = static_cast<int64_t>(std::time(nullptr));
    copy.folder = doc.CurrentFolder;
    copy.fileName = doc.FileName;
    copy.shownName = QuerySaveCaption(doc.CurrentFolder, doc.FileName, form_.MachineExtension());
    copy.machine = form_.CurrentMachine();
    copy.text = form_.Text().Text();  // the snapshot; the writer works on its own copy
    return copy;
}

void RecoveryKeeper::Keep() {
    TextControl& text = form_.Text();
    if (!text.Modified()) {
        if (exists_) Discard();
        return;
    }
    if (text.ChangeCount() == kept_ && exists_) return;
    kept_ = text.ChangeCount();
    exists_ = true;
    writer_.Write(Snapshot());
}

void RecoveryKeeper::Discard() {
    writer_.Remove();
    exists_ = false;
    kept_ = UINT64_MAX;
}

bool RecoveryKeeper::KeepNow() {
    TextControl& text = form_.Text();
    if (!text.Modified()) {
        Discard();
        writer_.Flush();
        return true;
    }
    kept_ = text.ChangeCount();
    exists_ = true;
    return writer_.WriteNow(Snapshot());
}

// ---------------------------------------------------------------- the signals
namespace {
int g_signalPipe[2] = {-1, -1};
bool g_endingAtSignal = false;

void OnTerminationSignal(int signal) {
    const int saved = errno;
    char number = static_cast<char>(signal);
    if (::write(g_signalPipe[1], &number, 1) < 0) {
        // The pipe is full: a signal is already waiting to be handled.
    }
    errno = saved;
}
}  // namespace

bool EndingAtSignal() { return g_endingAtSignal; }

void EndOnTerminationSignals(TTextForm& form) {
    if (g_signalPipe[0] >= 0) return;
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form, notifier] {
        char number = 0;
        if (::read(g_signalPipe[0], &number, 1) != 1) return;
        notifier->setEnabled(false);
        g_endingAtSignal = true;
        // The unsaved work is on the disk before the program ends; no question is asked.
        if (RecoveryKeeper* keeper = form.Recovery()) keeper->KeepNow();
        QCoreApplication::exit(128 + number);
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

// ---------------------------------------------------------------- the window's side
void TTextForm::StartRecovery(const std::string& folder, int intervalMs) {
    if (!recovery_) recovery_ = new RecoveryKeeper(*this, folder, intervalMs);
}

void TTextForm::DiscardRecovery() {
    if (recovery_) recovery_->Discard();
}

void TTextForm::OfferRecoveredWork(const std::string& folder) {
    for (RecoveryCopy& copy : LeftOverRecoveryCopies(folder)) {
        const std::string question =
            RecoveryQuestionText(RecoveryTimeText(copy.savedAt), copy.shownName);
        const Answer answer =
            GetPrompter().Question(kRecoveryCaption, question, Buttons::YesNo, Answer::Yes);
        // A signal that ends the program closes the question: the copy stays for the next
        // start.
        if (EndingAtSignal()) return;
        if (answer != Answer::Yes) {
            RemoveRecoveryCopy(copy.path);
            continue;
        }
        // The copy takes the place of the document: the question about its changes first.
        // A cancel leaves the copy for the next start.
        const bool goOn = QuerySave();
        if (EndingAtSignal()) return;
        if (!goOn) continue;
        {
            WaitCursor wait(*this);
            LoadingGuard loading(*this);
            RichEdit1->SetText(copy.text);
            RichEdit1->SetSelStart(0);
        }
        std::string().swap(copy.text);
        // The machine as it was, without the machine change (it would move the folder).
        if (copy.machine >= 1 && copy.machine <= actions_.MaskinBoks->count())
            actions_.MaskinBoks->setCurrentIndex(copy.machine - 1);
        SetFolder(copy.folder);
        SetFileName(copy.fileName);
        doc_.FileStamp = -1;  // the file on disk is not this text
        RichEdit1->SetModified(true);
        colour_->CheckSizeAndRecolour();
        UpdateEditCommands();
        RemoveRecoveryCopy(copy.path);
        // This editor's own copy of the text from now on.
        if (recovery_) recovery_->Keep();
    }
}
