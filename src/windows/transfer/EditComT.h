#pragma once
// The transfer thread: sends the program to the machine over the serial port beside the user
// interface. It never touches a widget; it reads the program from a read-only copy of the
// lines and reports through the message sink.
#include <QThread>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transfer/SerialTransfer.h"

// Shared with the transfer dialog: the dialog writes AbortTransfer, the thread LinesQueued.
extern std::atomic<bool> AbortTransfer;
extern std::atomic<int32_t> LinesQueued;

class TEditThread : public QThread {
    Q_OBJECT
public:
    using LineList = std::shared_ptr<const std::vector<std::string>>;
    TEditThread(bool createSuspended, LineList lines, int32_t startIndex, std::string startSequence,
                std::string portSection, QObject* parent = nullptr);

    // The thread frees itself when it ends (deleteLater on the thread it belongs to).
    void SetFreeOnTerminate(bool on) { freeOnTerminate_ = on; }
    // 0 (idle) to 6 (time-critical), as "ThreadPriority".
    void SetPriority(int priority) { priority_ = priority; }
    // Starts a thread created suspended. The termination handler is the finished() signal.
    void Resume();
    SendResult Result() const { return result_; }

    const LineList Lines;
    const std::string StartSequence;
    const int32_t StartIndex;
    const std::string PortSection;

protected:
    void run() override;  // Execute

private:
    bool freeOnTerminate_ = false;
    int priority_ = 5;
    bool started_ = false;
    SendResult result_ = SendResult::Cancelled;
};

QThread::Priority ThreadPriorityFromSetting(int priority);
