#include "windows/transfer/EditComT.h"

#include <QThread>

std::atomic<bool> AbortTransfer{false};
std::atomic<int32_t> LinesQueued{0};

TEditThread::TEditThread(bool createSuspended, LineList lines, int32_t startIndex,
                         std::string startSequence, std::string portSection, QObject* parent)
    : QThread(parent),
      Lines(lines ? std::move(lines) : std::make_shared<const std::vector<std::string>>()),
      StartSequence(std::move(startSequence)),
      StartIndex(startIndex),
      PortSection(std::move(portSection)) {
    if (!createSuspended) Resume();
}

QThread::Priority ThreadPriorityFromSetting(int priority) {
    switch (priority) {
    case 0: return QThread::IdlePriority;
    case 1: return QThread::LowestPriority;
    case 2: return QThread::LowPriority;
    case 3: return QThread::NormalPriority;
    case 4: return QThread::HighPriority;
    case 6: return QThread::TimeCriticalPriority;
    default: return QThread::HighestPriority;
    }
}

void TEditThread::Resume() {
    if (started_) return;
    started_ = true;
    if (freeOnTerminate_) connect(this, &QThread::finished, this, &QObject::deleteLater);
    start(ThreadPriorityFromSetting(priority_));
}

void TEditThread::run() {
    AbortTransfer.store(false);
    result_ = ThreadSendProgram(*Lines, StartIndex, StartSequence, PortSection, AbortTransfer,
                                LinesQueued, [this] { return isInterruptionRequested(); });
}
