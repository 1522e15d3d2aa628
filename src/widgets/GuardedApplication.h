#pragma once
// No exception leaves a handler: every event the application delivers (menu items, keys,
// timers, the handlers of the windows and of nested dialogs) runs under one guard. An
// exception that escaped a handler is shown in an error box with its text under the
// application title, as the old run-time did, and the program goes on.
#include <QApplication>

#include <functional>

inline constexpr const char* kOutOfMemoryBoxText = "Ikke nok minne.";
inline constexpr const char* kUnknownErrorBoxText = "Ukjent feil.";

class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs one delivery under the guard; false (not handled) when it threw.
bool RunGuarded(const std::function<bool()>& deliver);
