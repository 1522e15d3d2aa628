#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) in
# fuzz-build/, seeds them with small generated inputs and runs each for FUZZ_SECONDS
# (default 60; 0 only builds). Usage: scripts/fuzz.sh [TARGET ...]  (default: all in fuzz/)
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=fuzz-build
SECONDS_EACH=${FUZZ_SECONDS:-60}
CXX=${FUZZ_CXX:-clang++}
mkdir -p "$OUT"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

sources_for() {
  case "$1" in
    DxfFuzz) echo src/settings/*.cpp src/convert/DXF.cpp src/convert/ESSI.cpp ;;
    RtfFuzz) echo src/ui/RichText.cpp ;;
    IsoPlotFuzz|HeidenhainPlotFuzz|EssiPlotFuzz)
      echo src/settings/Strings.cpp src/plot/Toolpath.cpp src/plot/PathBuilder.cpp src/plot/IsoPlot.cpp \
        src/plot/HeidenhainPlot.cpp src/plot/EssiPlot.cpp src/plot/Plot.cpp src/plot/PlotView.cpp \
        src/plot/MoveIndex.cpp src/plot/PlotFigures.cpp ;;
    *) echo "fuzz.sh: unknown target $1" >&2; exit 2 ;;
  esac
}

seed_DxfFuzz() {
  local d=$1
  printf '  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n0.0\r\n 20\r\n0.0\r\n 30\r\n0.0\r\n 11\r\n10.0\r\n 21\r\n0.0\r\n 31\r\n0.0\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n' > "$d/line.dxf"
  printf '  0\r\nCIRCLE\r\n 10\r\n20.0\r\n 20\r\n5.0\r\n 30\r\n0.0\r\n 40\r\n5.0\r\n  0\r\nEOF\r\n' > "$d/circle.dxf"
  printf '  0\nARC\n100\nAcDbCircle\n 10\n5.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n100\nAcDbArc\n 50\n0.0\n 51\n90.0\n  0\nline\n 10\n10\n 20\n0\n 11\n1e308\n 21\n-0,5\n  0\nEOF\n' > "$d/arc.dxf"
  printf '  0\r\nLINE\r\n 10\r\n1\r\n 30\r\n2\r\n 11\r\n3\r\n  0\r\nCIRCLE\r\n 10\r\n3\r\n 20\r\n0\r\n 40\r\n3\r\n  0\r\nARC\r\n 10\r\n0\r\n 40\r\n2\r\n 50\r\n180\r\n 51\r\n0\r\n' > "$d/mixed.dxf"
}

seed_RtfFuzz() {
  local d=$1
  printf '{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}\\f0\\fs24 Hei \\b fet\\b0  \\i kursiv\\i0\\par\\cf1\\ul r\\'"'"'f8d\\ulnone\\line\\tab\\uc1\\u8364?\\par}' > "$d/basic.rtf"
  printf '{\\rtf1{\\*\\generator x;}{\\info{\\title t}}{\\stylesheet{\\s0 Normal;}}\\pard\\qc\\fs48\\b Skarv\\b0\\par\\fs20 \\'"'"'c5pne {\\b\\i x}\\par}' > "$d/groups.rtf"
  printf '{\\rtf1 {\\b unbalanced \\'"'"'e' > "$d/broken.rtf"
}

seed_IsoPlotFuzz() {
  local d=$1
  cp examples/shop/Dreiebenk/*.NC examples/shop/Fres/*.NC examples/shop/Gammel/*.NC examples/shop/Portal/*.MPF "$d/"
  printf 'G17 G90 G0 X0 Y0 Z50\r\nG98 G83 X10 Y0 Z-10 R2 Q4 F100\r\nG91 G99 G81 X10 Z-12 R-48 K3\r\nG80 G90\r\nG18 G2 X10 Z0 I5 K0\r\nG19 G3 Y0 Z10 R-10\r\nG20 G91 G2 I.5\r\nG92 X0\r\nG52 X100\r\nG28 Z0\r\nM98 P00031000\r\nM30\r\nO1000\r\nG91 G1 X10\r\nM98 P1000\r\nM99\r\n' > "$d/mill.nc"
  printf 'G0 X40 Z2\r\nG71 U2 R0.5\r\nG71 P10 Q20 U0.4 W0.1 F0.25\r\nN10 G0 X20\r\nG1 U4 W-2\r\nG2 X32 Z-34 R4\r\nN20 Z-60\r\nG70 P10 Q20\r\nG96 S180 G50 S2000\r\nG8 X10\r\n' > "$d/lathe.nc"
}

seed_HeidenhainPlotFuzz() {
  local d=$1
  cp examples/shop/Fres/LOKK.H "$d/"
  printf '0 BEGIN PGM K MM\r\n1 BLK FORM 0.1 Z X+0 Y+0 Z-20\r\n2 BLK FORM 0.2 IX+100 IY+100 IZ+20\r\n3 TOOL CALL 1 Z S2000 ; FRES\r\n4 L X+0 Y+0 Z-5 R0 FMAX\r\n5 L X+50 RL F200\r\n6 RND R10\r\n7 L Y+50\r\n8 CHF 5\r\n9 L X+0\r\n10 CC X+0 Y+75\r\n11 C X+0 Y+100 DR-\r\n12 CR X+50 Y+100 R+30 DR-\r\n13 CT X+100 Y+50\r\n14 CC IX-50\r\n15 LP PR+50 IPA+30\r\n16 CP IPA+720 DR+ IZ-2\r\n17 LBL 1\r\n18 L IX+1\r\n19 CALL LBL 1 REP 3/3\r\n20 CALL LBL 5\r\n21 M30\r\n22 LBL 5\r\n23 CYCL DEF 200 BOHREN ~\r\n  Q200=2 ;A ~\r\n  Q201=-15 ~\r\n  Q202=5\r\n24 L X+10 FMAX M99\r\n25 LBL 0\r\n' > "$d/contour.h"
}

seed_EssiPlotFuzz() {
  local d=$1
  cp examples/shop/Plasma/BRAKETT.ESI "$d/"
  printf '1\r\nESSI Upload\r\nPart Number 1\r\n7\r\n+100+\r\n++50\r\n8\r\n5\r\n+150+\r\n6\r\n7\r\n++-50++\r\n+100++50+-\r\n8\r\n63\r\n0\r\n' > "$d/example.esi"
}

for t in "${targets[@]}"; do
  [ -f "fuzz/$t.cpp" ] || { echo "fuzz.sh: no fuzz/$t.cpp" >&2; exit 2; }
  # shellcheck disable=SC2046
  "$CXX" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -Isrc -o "$OUT/$t" "fuzz/$t.cpp" $(sources_for "$t")
  mkdir -p "$OUT/corpus/$t" "$OUT/seeds/$t"
  "seed_$t" "$OUT/seeds/$t"
  echo "fuzz.sh: built $OUT/$t"
  if [ "$SECONDS_EACH" -gt 0 ]; then
    "$OUT/$t" -max_total_time="$SECONDS_EACH" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$OUT/$t-" "$OUT/corpus/$t" "$OUT/seeds/$t"
  fi
done
