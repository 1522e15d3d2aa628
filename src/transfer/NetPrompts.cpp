#include "transfer/NetPrompts.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QThread>

#include "editor/Prompter.h"

TcpTransferUi PrompterTcpUi(std::function<void()> clearModified) {
    TcpTransferUi ui;
    ui.warn = [](const std::string& caption, const std::string& text) {
        GetPrompter().Message(caption, text);
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
