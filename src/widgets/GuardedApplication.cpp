#include "widgets/GuardedApplication.h"

#include <exception>
#include <new>

#include "document/AppTitle.h"
#include "settings/PathResolve.h"
#include "widgets/Prompter.h"

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    return RunGuarded([&] { return QApplication::notify(receiver, event); });
}

bool RunGuarded(const std::function<bool()>& deliver) {
    std::string text;
    try {
        return deliver();
    } catch (const std::bad_alloc&) {
        text = kOutOfMemoryBoxText;
    } catch (const std::exception& e) {
        text = Utf8ToCp1252(e.what());
    } catch (...) {
        text = kUnknownErrorBoxText;
    }
    // The box itself must not throw out of the guard either.
    try {
        GetPrompter().Error(ApplicationTitle(), text);
    } catch (...) {
    }
    return false;
}
