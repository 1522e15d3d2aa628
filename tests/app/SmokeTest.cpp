// The real program under Xvfb with the demo shop: its window appears with the start-up
// caption; a screenshot of the screen, and one with the File menu open, go to the build
// folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "TestSupport.h"

TEST(Smoke, DemoWindowUnderXvfb) {
    if (::access("/usr/bin/xvfb-run", X_OK) != 0 || ::access("/usr/bin/xwininfo", X_OK) != 0)
        GTEST_SKIP() << "xvfb-run or xwininfo missing";
    const std::string build = SKARV_BUILD_DIR;
    // A screenshot an earlier run left must not count for this one.
    for (const char* shot : {"/screenshot.png", "/screenshot-menu.png"}) std::remove((build + shot).c_str());
    const std::string script = R"(
      "$BIN" & pid=$!
      id=""
      for i in $(seq 1 100); do
        id=$(xwininfo -root -tree 2>/dev/null | grep '"Skarv-Editor, versjon 1.4.1"' | awk '{print $1}' | head -1)
        [ -n "$id" ] && break
        sleep 0.1
      done
      sleep 0.5
      xwininfo -id "$id"
      import -window root "$OUT/screenshot.png"
      if command -v xdotool >/dev/null; then
        timeout 10 xdotool mousemove --sync 205 135 click 1 2>/dev/null
        sleep 0.5
        import -window root "$OUT/screenshot-menu.png"
      fi
      kill $pid; wait $pid 2>/dev/null
      echo "done"
    )";
    std::string out, err;
    int rc = RunProgram(UnderXvfb("1024x768x24",
                                  {"BIN=" + BinDir() + "/VakoEdit", "OUT=" + build, "QT_QPA_PLATFORM=xcb"},
                                  {"/bin/bash", "-c", script}),
                        &out, &err);
    EXPECT_EQ(rc, 0) << err;
    EXPECT_NE(out.find("xwininfo: Window id:"), std::string::npos) << out << err;
    EXPECT_NE(out.find("\"Skarv-Editor, versjon 1.4.1\""), std::string::npos) << out;
    EXPECT_NE(out.find("Width: 646"), std::string::npos) << out;
    EXPECT_EQ(::access((build + "/screenshot.png").c_str(), R_OK), 0);
}

// F9 in the real program under Xvfb, on the demo's pocket program: the panel "Verktøybane"
// comes up beside the text (a screenshot goes to the build folder) and the choice is stored
// in the user's settings, here a folder of the test's own.
TEST(Smoke, F9ShowsTheToolpathUnderXvfb) {
    if (::access("/usr/bin/xvfb-run", X_OK) != 0 || ::access("/usr/bin/xwininfo", X_OK) != 0 ||
        ::access("/usr/bin/xdotool", X_OK) != 0)
        GTEST_SKIP() << "xvfb-run, xwininfo or xdotool missing";
    TempDir config;
    const std::string build = SKARV_BUILD_DIR;
    const std::string script = R"(
      export XDG_CONFIG_HOME="$CFG"
      "$BIN" "$PROG" & pid=$!
      id=""
      for i in $(seq 1 100); do
        id=$(xwininfo -root -tree 2>/dev/null | grep '"Skarv-Editor - LOMME.NC"' | awk '{print $1}' | head -1)
        [ -n "$id" ] && break
        sleep 0.1
      done
      sleep 0.5
      xdotool windowfocus --sync "$id" 2>/dev/null
      xdotool key F9
      for i in $(seq 1 50); do
        grep -qs "Verktoybane=1" "$CFG/Vako.conf" && break
        sleep 0.1
      done
      sleep 1
      import -window root "$OUT/screenshot-toolpath.png"
      cat "$CFG/Vako.conf"
      kill $pid; wait $pid 2>/dev/null
      echo "done"
    )";
    std::string out, err;
    int rc = RunProgram(
        UnderXvfb("1280x800x24",
                  {"BIN=" + BinDir() + "/VakoEdit", "OUT=" + build, "CFG=" + config.path(),
                   "PROG=" + std::string(SKARV_SOURCE_DIR) + "/examples/shop/Fres/LOMME.NC",
                   "QT_QPA_PLATFORM=xcb"},
                  {"/bin/bash", "-c", script}),
        &out, &err);
    EXPECT_EQ(rc, 0) << err;
    EXPECT_NE(out.find("Verktoybane=1"), std::string::npos) << out << err;
    EXPECT_EQ(::access((build + "/screenshot-toolpath.png").c_str(), R_OK), 0);
}
