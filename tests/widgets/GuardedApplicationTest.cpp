// The guard of the event loop: an exception that escapes a handler becomes an error box with
// its text under the application title, and the event counts as not handled.
#include <gtest/gtest.h>

#include <QTimer>

#include <new>
#include <stdexcept>

#include "ScriptedPrompter.h"
#include "document/AppTitle.h"
#include "widgets/GuardedApplication.h"

TEST(GuardedApplication, ExceptionsFromHandlersBecomeErrorBoxes) {
    ScriptedPrompter prompter;
    SetApplicationTitle("PROG.NC - Skarv-Editor");
    EXPECT_TRUE(RunGuarded([] { return true; }));
    EXPECT_TRUE(prompter.shown.empty());

    EXPECT_FALSE(RunGuarded([]() -> bool { throw std::runtime_error("basic_filebuf::underflow"); }));
    EXPECT_FALSE(RunGuarded([]() -> bool { throw std::bad_alloc(); }));
    EXPECT_FALSE(RunGuarded([]() -> bool { throw 42; }));
    ASSERT_EQ(prompter.shown.size(), 3u);
    for (const auto& s : prompter.shown) {
        EXPECT_EQ(s.kind, "error");
        EXPECT_EQ(s.caption, "PROG.NC - Skarv-Editor");
    }
    EXPECT_EQ(prompter.shown[0].text, "basic_filebuf::underflow");
    EXPECT_EQ(prompter.shown[1].text, kOutOfMemoryBoxText);
    EXPECT_EQ(prompter.shown[2].text, kUnknownErrorBoxText);
    SetApplicationTitle("Skarv-Editor");
}
