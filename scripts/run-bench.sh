#!/usr/bin/env bash
# Runs every benchmark program of the build; results go to the build folder.
set -euo pipefail
BUILD=${1:-build}
mkdir -p "$BUILD/bench-results"
for b in "$BUILD"/bench/bench_*; do
  [ -x "$b" ] || continue
  n=$(basename "$b")
  echo "== $n"
  QT_QPA_PLATFORM=offscreen "$b" --benchmark_out="$BUILD/bench-results/$n.json" --benchmark_out_format=json
done
