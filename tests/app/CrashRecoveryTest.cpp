// Unsaved work survives a crash, with the real program under Xvfb and a person at the keys
// (xdotool): typed text reaches the recovery copy, the editor is killed, the next start
// offers the copy and Yes brings the text back; SIGTERM writes the copy before the program
// ends, and No deletes it.
#include <gtest/gtest.h>

#include <unistd.h>

#include "TestSupport.h"

TEST(CrashRecovery, TypedTextComesBackAfterAKill) {
    if (::access("/usr/bin/Xvfb", X_OK) != 0 || ::access("/usr/bin/xdotool", X_OK) != 0)
        GTEST_SKIP() << "Xvfb or xdotool missing";
    TempDir dir;
    const std::string script = R"SH(
      set -u
      export XDG_STATE_HOME="$T/state" XDG_RUNTIME_DIR="$T/run" XDG_CONFIG_HOME="$T/config"
      mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
      copies="$XDG_STATE_HOME/skarv-editor/recovery"
      printf 'N10\r\n' > "$T/PROG.NC"
      # The id of the first window whose name is $1, within 30 s (a loaded machine is slow).
      window() {
        for i in $(seq 1 300); do
          id=$(xdotool search --name "$1" 2>/dev/null | head -1)
          [ -n "$id" ] && { echo "$id"; return 0; }
          sleep 0.1
        done
        return 1
      }
      # Waits up to 30 s for the command to succeed.
      until_true() {
        for i in $(seq 1 300); do eval "$1" && return 0; sleep 0.1; done
        return 1
      }
      fail() {
        echo "FAIL: $1"
        echo "copies: $(ls "$copies" 2>/dev/null | tr '\n' ' ')"
        kill -9 $(jobs -p) 2>/dev/null
        exit 1
      }
      # A display server of this test's own: it takes a free display number itself, so a
      # test running beside this one cannot take it over.
      Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$T/display" >/dev/null 2>&1 &
      no_display() { echo "NO DISPLAY"; kill -9 $(jobs -p) 2>/dev/null; exit 3; }
      until_true "[ -s $T/display ]" || no_display
      export DISPLAY=":$(cat "$T/display")"
      until_true "xdotool getdisplaygeometry >/dev/null 2>&1" || no_display

      # 1. Typing, a copy within the interval, then the editor is killed.
      SKARV_RECOVERY_INTERVAL_MS=300 "$BIN" "$T/PROG.NC" & pid=$!
      id=$(window "Skarv-Editor - PROG.NC") || fail "no window"
      xdotool windowfocus --sync "$id"; sleep 0.3
      xdotool type --delay 40 "g01x5"
      until_true "grep -qs G01X5N10 $copies/vakoedit-$pid-*.recovery" || fail "no copy"
      kill -9 $pid; wait $pid 2>/dev/null
      killed=$pid
      echo "copies after the kill: $(ls "$copies" | wc -l)"

      # 2. The next start offers it; Yes (the default button) brings the text back as a
      #    modified document under its name, and Ctrl+S saves it there.
      SKARV_RECOVERY_INTERVAL_MS=600000 "$BIN" & pid=$!
      q=$(window "Gjenoppretting") || fail "no question"
      xdotool windowfocus --sync "$q"; sleep 0.2
      xdotool key Return
      id=$(window "Skarv-Editor - PROG.NC") || fail "not restored"
      ls "$copies" | grep -q "vakoedit-$killed-" && fail "the taken copy is still there"
      xdotool windowfocus --sync "$id"; sleep 0.2
      xdotool key ctrl+s
      until_true "grep -qs G01X5N10 $T/PROG.NC" || fail "not saved"
      echo "saved: $(tr -d '\r' < "$T/PROG.NC")"

      # 3. SIGTERM: the copy is written before the program ends (the interval is far away).
      xdotool type --delay 40 "m30"
      sleep 0.3
      kill -TERM $pid; wait $pid; echo "status after SIGTERM: $?"
      grep -qs M30G01X5N10 "$copies"/vakoedit-$pid-*.recovery && echo "copy at SIGTERM"
      terminated=$pid

      # 4. A SIGTERM while the question is up is no answer: the copy stays. No deletes it.
      "$BIN" & pid=$!
      window "Gjenoppretting" >/dev/null || fail "no question before SIGTERM"
      kill -TERM $pid; wait $pid
      ls "$copies"/vakoedit-$terminated-* >/dev/null 2>&1 && echo "kept at SIGTERM during the question"
      "$BIN" & pid=$!
      q=$(window "Gjenoppretting") || fail "no second question"
      xdotool windowfocus --sync "$q"; sleep 0.2
      xdotool key Escape
      until_true "! ls $copies/vakoedit-$terminated-* >/dev/null 2>&1" || fail "declined copy still there"
      echo "declined copy deleted"
      kill -9 $pid; wait $pid 2>/dev/null
      kill $(jobs -p) 2>/dev/null; wait
      echo done
    )SH";
    std::string out, err;
    int rc = 3;
    for (int attempt = 0; attempt < 3 && rc == 3; ++attempt) {
        out.clear();
        err.clear();
        rc = RunProgram({"/usr/bin/env", "BIN=" + BinDir() + "/VakoEdit", "T=" + dir.path(),
                         "QT_QPA_PLATFORM=xcb", "/bin/bash", "-c", script},
                        &out, &err);
    }
    EXPECT_EQ(rc, 0) << out << err;
    EXPECT_NE(out.find("copies after the kill: 1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("saved: G01X5N10\n"), std::string::npos) << out << err;
    EXPECT_NE(out.find("status after SIGTERM: 143\n"), std::string::npos) << out;
    EXPECT_NE(out.find("copy at SIGTERM\n"), std::string::npos) << out;
    EXPECT_NE(out.find("kept at SIGTERM during the question\n"), std::string::npos) << out;
    EXPECT_NE(out.find("declined copy deleted\n"), std::string::npos) << out;
    EXPECT_NE(out.find("done\n"), std::string::npos) << out;
}
