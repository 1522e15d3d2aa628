#pragma once
// The recovery copy of the main window's document: while the text is modified a copy is
// written every interval (30 s), on a thread beside the window, and at SIGTERM and SIGHUP
// before the program ends; it goes when the document is saved, replaced or closed without
// saving. The copy's form and which copies are left over live in document/Recovery.
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

#include "document/Recovery.h"

class TTextForm;

// The interval of the copies: 30 s, or the milliseconds in the environment variable
// SKARV_RECOVERY_INTERVAL_MS (for tests of the running program).
int RecoveryIntervalMs();

class RecoveryKeeper : public QObject {
public:
    RecoveryKeeper(TTextForm& form, const std::string& folder, int intervalMs);
    ~RecoveryKeeper() override;

    // The timer's step: a copy when the text is modified and has changed since the last
    // one; the copy goes when the text is no longer modified.
    void Keep();
    // The document was saved, replaced or closed without saving: its copy goes.
    void Discard();
    // A copy at once, written before this returns (the program is about to end).
    bool KeepNow();
    RecoveryWriter& Writer() { return writer_; }

private:
    RecoveryCopy Snapshot();

    TTextForm& form_;
    QTimer timer_;
    RecoveryWriter writer_;
    uint64_t kept_ = UINT64_MAX;  // the text's change count of the last copy
    bool exists_ = false;
};

// SIGTERM and SIGHUP end the program after a last recovery copy. The handler only writes the
// signal's number into a pipe; the window reads it in its event loop. Once per process.
void EndOnTerminationSignals(TTextForm& form);
// Whether such a signal is ending the program: the answers of the dialogs it closed are
// nobody's and count for nothing.
bool EndingAtSignal();
