#!/usr/bin/env bash
# make check-sanitize: the whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-sanitize/ and run by CTest; then ThreadSanitizer (build-tsan/) over the tests of the
# threads beside the UI thread that do not go through Qt's event loop: the transfer thread,
# the toolpath worker and the threads that draw a dense view. A sanitizer's report
# ends the program that made it, so the test fails. What is suppressed lies outside the
# project; scripts/sanitizers/ says why for each entry.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
SUPP=$PWD/scripts/sanitizers

# The tests ThreadSanitizer runs: a test program (tests/<folder>) and the suites of its tests
# that run the thread; a new thread's tests join with one word (":Suite" added to an entry).
TSAN_TESTS=(
  "transfer:SerialPty:SerialSend:NetSerialLoops"
  "plot:PlotWorker:PlotView"
)

export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$SUPP/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$SUPP/ubsan.supp"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$SUPP/tsan.supp"
export QT_QPA_PLATFORM=offscreen

configure() {  # folder, sanitizers
  [ -f "$1/build.ninja" ] && return 0
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKARV_SANITIZE="$2" -DSKARV_BUILD_BENCH=OFF
}

start=$(date +%s)
configure build-sanitize "address,undefined"
cmake --build build-sanitize -j "$JOBS"
(cd build-sanitize && ctest --output-on-failure -j "$JOBS" --timeout 900)
echo "check-sanitize: address and undefined behaviour clean after $(( $(date +%s) - start )) s"

configure build-tsan "thread"
programs=()
for entry in "${TSAN_TESTS[@]}"; do programs+=("test_${entry%%:*}"); done
cmake --build build-tsan -j "$JOBS" --target "${programs[@]}"
for entry in "${TSAN_TESTS[@]}"; do
  program=${entry%%:*}
  suites=${entry#*:}
  filter=$(echo "$suites" | sed 's/:/.*:/g; s/$/.*/')
  echo "check-sanitize: ThreadSanitizer over test_$program --gtest_filter=$filter"
  (cd build-tsan && ./tests/"test_$program" --gtest_filter="$filter" --gtest_brief=1)
done
echo "check-sanitize: clean after $(( $(date +%s) - start )) s"
