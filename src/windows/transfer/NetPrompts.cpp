#include "windows/transfer/NetPrompts.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QThread>
#include <memory>

#include "widgets/Prompter.h"
#include "settings/MessageSink.h"

TcpTransferUi PrompterTcpUi(std::function<void()> clearModified) {
    TcpTransferUi ui;
    ui.warn = [](const std::string& caption, const std::string& text) {
        GetPrompter().Warning(caption, text);
    };
    ui.confirm = [](const std::string& caption, const std::string& text) {
        return GetPrompter().Question(caption, text, Buttons::YesNo, Answer::No) == Answer::Yes;
    };
    ui.show = [](const std::string& text) { GetPrompter().Message("", text); };
    ui.hourglass = [](bool on) {
        if (on)
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        else
            QApplication::restoreOverrideCursor();
    };
    ui.saved = std::move(clearModified);
    return ui;
}

void RepaintWhileWaiting() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void PauseRepainting(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        RepaintWhileWaiting();
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(20, ms - timer.elapsed() + 1)));
    }
}

bool FtpTransferCommand(TFtpKlientModul& ftp, int machineIndex,
                        const std::vector<std::string>& lines, const std::string& fileName) {
    // The error box of a failed step shows with the normal cursor: the hourglass is lifted
    // while it is up.
    auto previous = std::make_shared<MessageSinkFn>();
    *previous = SetMessageSink([previous](const std::string& caption, const std::string& text) {
        QApplication::restoreOverrideCursor();
        if (*previous) {
            (*previous)(caption, text);
        } else {
            MessageSinkFn mine = SetMessageSink({});
            ShowMessageBox(caption, text);
            SetMessageSink(std::move(mine));
        }
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    });
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    bool ok = FtpUploadText(ftp, machineIndex, lines, fileName);
    QApplication::restoreOverrideCursor();
    SetMessageSink(std::move(*previous));
    return ok;
}
