#include "widgets/Prompter.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QMetaObject>
#include <QPrintDialog>
#include <QPrinter>
#include <QThread>

#include "settings/MessageSink.h"
#include "settings/PathResolve.h"

namespace {
// Windows-1252 has five holes (0x81, 0x8D, 0x8F, 0x90, 0x9D); they map to the C1 code
// points of the same value so that every byte survives the round trip.
const char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

Prompter* g_prompter = nullptr;
}  // namespace

namespace {
// Message texts break their lines with a carriage return; Qt's boxes want a line feed.
QString BoxText(const std::string& text) {
    QString s = FromCp1252(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar('\r'), QChar('\n'));
    return s;
}
}  // namespace

QString FromCp1252(std::string_view bytes) {
    QString s;
    s.resize(static_cast<qsizetype>(bytes.size()));
    QChar* out = s.data();
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        out[i] = (c >= 0x80 && c < 0xA0) ? QChar(kHigh[c - 0x80]) : QChar(c);
    }
    return s;
}

std::string ToCp1252(const QString& text) {
    std::string r;
    r.reserve(static_cast<size_t>(text.size()));
    for (QChar ch : text) {
        char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            r.push_back(static_cast<char>(u));
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] == u) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        r.push_back(mapped);
    }
    return r;
}

Prompter& GetPrompter() {
    static QtPrompter qt;
    return g_prompter ? *g_prompter : qt;
}

void SetPrompter(Prompter* prompter) { g_prompter = prompter; }

namespace {
// A message of the core comes in the middle of work that shows the hourglass (a load, a
// conversion, a print): the box itself is shown with the normal cursor, and the hourglass
// comes back when it is closed.
void MessageWithNormalCursor(const std::string& caption, const std::string& text) {
    const bool waiting = qobject_cast<QApplication*>(QCoreApplication::instance()) &&
                         QApplication::overrideCursor() &&
                         QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
    GetPrompter().Message(caption, text);
    if (waiting) QApplication::restoreOverrideCursor();
}
}  // namespace

void InstallPrompterMessageSink() {
    SetMessageSink([](const std::string& caption, const std::string& text) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || QThread::currentThread() == app->thread()) {
            MessageWithNormalCursor(caption, text);
            return;
        }
        // From the transfer thread: shown on the UI thread; the thread waits for the OK, as
        // the task-modal box of the old program made it wait.
        QMetaObject::invokeMethod(
            app, [caption, text] { MessageWithNormalCursor(caption, text); },
            Qt::BlockingQueuedConnection);
    });
}

// ------------------------------------------------------------------ Qt dialogs
void QtPrompter::Message(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, FromCp1252(caption), BoxText(text), QMessageBox::Ok,
                    owner_);
    box.setWindowModality(owner_ ? Qt::WindowModal : Qt::ApplicationModal);
    box.raise();
    box.activateWindow();
    box.exec();
}

void QtPrompter::Error(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, FromCp1252(caption), BoxText(text), QMessageBox::Ok,
                    owner_);
    box.exec();
}

void QtPrompter::Warning(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, FromCp1252(caption), BoxText(text), QMessageBox::Ok,
                    owner_);
    box.setWindowModality(owner_ ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
}

Answer QtPrompter::Question(const std::string& caption, const std::string& text, Buttons buttons,
                            Answer defaultAnswer) {
    QMessageBox box(QMessageBox::Question, FromCp1252(caption), BoxText(text),
                    QMessageBox::NoButton, owner_);
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* ok = nullptr;
    if (buttons == Buttons::Ok) {
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    } else {
        yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("&Nei"), QMessageBox::NoRole);
        if (buttons == Buttons::YesNoCancel)
            cancel = box.addButton(QStringLiteral("Avbryt"), QMessageBox::RejectRole);
    }
    if (defaultAnswer == Answer::Yes && yes) box.setDefaultButton(yes);
    if (defaultAnswer == Answer::No && no) box.setDefaultButton(no);
    if (defaultAnswer == Answer::Cancel && cancel) box.setDefaultButton(cancel);
    if (cancel) box.setEscapeButton(cancel);
    else if (no) box.setEscapeButton(no);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked && clicked == yes) return Answer::Yes;
    if (clicked && clicked == no) return Answer::No;
    if (clicked && clicked == ok) return Answer::Ok;
    return cancel ? Answer::Cancel : Answer::No;
}

QString QtFilterFromSystem(const std::string& filter, int filterIndex, QString* selected) {
    QStringList parts = FromCp1252(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString descr = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        QString entry = descr.contains('(') ? descr : descr + " (" + patterns + ")";
        // Qt reads the patterns from the parentheses; keep the description's own text.
        if (!descr.contains(patterns)) entry = descr + " [" + patterns + "] (" + patterns + ")";
        out << entry;
        if (selected && i / 2 + 1 == filterIndex) *selected = entry;
    }
    return out.join(QStringLiteral(";;"));
}

namespace {
bool RunFileDialog(QWidget* owner, const FileDialogRequest& r, std::string& chosen, bool save) {
    QString selected;
    QString filter = QtFilterFromSystem(r.filter, r.filterIndex, &selected);
    QString dir = QString::fromStdString(ResolvePath(r.folder.empty() ? "." : r.folder));
    QString start = r.fileName.empty() ? dir : dir + "/" + FromCp1252(r.fileName);
    QString result =
        // The editor asks about overwriting itself.
        save ? QFileDialog::getSaveFileName(owner, FromCp1252(r.caption), start, filter, &selected,
                                            QFileDialog::DontConfirmOverwrite)
             : QFileDialog::getOpenFileName(owner, FromCp1252(r.caption), start, filter, &selected);
    if (result.isEmpty()) return false;
    chosen = NativeToDncPath(result.toStdString());
    return true;
}
}  // namespace

bool QtPrompter::OpenFile(const FileDialogRequest& request, std::string& chosen) {
    return RunFileDialog(owner_, request, chosen, false);
}

bool QtPrompter::SaveFile(const FileDialogRequest& request, std::string& chosen) {
    return RunFileDialog(owner_, request, chosen, true);
}

bool QtPrompter::Print(PrintRequest& request) {
    QPrinter printer;
    if (!request.printerName.empty()) printer.setPrinterName(FromCp1252(request.printerName));
    QPrintDialog dlg(&printer, owner_);
    dlg.setOption(QAbstractPrintDialog::PrintSelection, request.selectionEnabled);
    if (dlg.exec() != QDialog::Accepted) return false;
    request.printSelection = printer.printRange() == QPrinter::Selection;
    request.copies = printer.copyCount();
    request.printerName = ToCp1252(printer.printerName());
    return true;
}
