#pragma once
// The fixture of the window tests: a temporary folder, the key stores in memory, the scripted
// Prompter and the application title of the program start, for the lifetime of the test; and
// the failing styles of the colouring.
#include <gtest/gtest.h>

#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "document/AppTitle.h"
#include "editor/EditUnit.h"
#include "settings/KeyStore.h"

class WindowTest : public ::testing::Test {
protected:
    WindowTest() {
        SetKeyStore(&store);
        SetSavedTitle(kProductName);
        SetApplicationTitle(kProductName);
    }
    ~WindowTest() override { SetKeyStore(nullptr); }

    TempDir dir;
    MemoryKeyStore store;
    ScriptedPrompter prompter;
};

// A style writer for the colouring's seam that fails as a text control out of memory does:
// after `calls` successful writes the next one fails; the writes after it succeed again.
inline Colouring::StyleWriter FailingStylesAfter(TextControl& control, int calls) {
    return [&control, calls](int start, const unsigned char* styles, int length) mutable {
        if (length > 0 && calls-- == 0) return false;
        return control.SetStyleBytes(start, styles, length);
    };
}
