#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (one per file) in fuzz-build/ with clang: the project's
# own libraries compiled with -fsanitize=fuzzer-no-link,address,undefined, so the targets link
# what CMake builds and no file list lives here. Seeds each target with small generated inputs
# and runs them one after another for FUZZ_SECONDS each (default 60; 0 only builds).
# Usage: scripts/fuzz.sh [TARGET ...]  (default: all in fuzz/). At the end a line per target
# gives its runs, seconds and covered edges; the exit status is 1 when a target found a fault
# (its input is kept as fuzz-build/<target>-crash-...).
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=fuzz-build
SECONDS_EACH=${FUZZ_SECONDS:-60}
CXX=${FUZZ_CXX:-clang++}
JOBS=${JOBS:-2}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
for t in "${targets[@]}"; do
  [ -f "fuzz/$t.cpp" ] || { echo "fuzz.sh: no fuzz/$t.cpp" >&2; exit 2; }
done

SAN="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
if [ ! -f "$OUT/build.ninja" ]; then
  cmake -S . -B "$OUT" -G Ninja -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS="$SAN" \
    -DSKARV_BUILD_FUZZ=ON -DSKARV_BUILD_TESTS=OFF -DSKARV_BUILD_BENCH=OFF
fi
cmake --build "$OUT" -j "$JOBS" --target "${targets[@]}"

seed_DxfFuzz() {
  # The first byte of every seed chooses the order of cutting and the tolerance.
  local d=$1
  printf '\000  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n0.0\r\n 20\r\n0.0\r\n 30\r\n0.0\r\n 11\r\n10.0\r\n 21\r\n0.0\r\n 31\r\n0.0\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n' > "$d/line.dxf"
  printf '\001  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nCIRCLE\r\n 10\r\n20.0\r\n 20\r\n5.0\r\n 30\r\n0.0\r\n 40\r\n5.0\r\n  0\r\nPOINT\r\n 10\r\n1\r\n 20\r\n2\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n' > "$d/circle.dxf"
  printf '\002  0\nSECTION\n  2\nENTITIES\n  0\nARC\n100\nAcDbCircle\n 10\n5.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n100\nAcDbArc\n 50\n0.0\n 51\n90.0\n210\n0\n220\n0\n230\n-1\n  0\nline\n 10\n10\n 20\n0\n 11\n1e308\n 21\n-0,5\n  0\nENDSEC\n  0\nEOF\n' > "$d/arc.dxf"
  printf '\003  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nLWPOLYLINE\r\n 90\r\n4\r\n 70\r\n1\r\n 10\r\n0\r\n 20\r\n0\r\n 42\r\n1\r\n 10\r\n10\r\n 20\r\n0\r\n 10\r\n10\r\n 20\r\n10\r\n 42\r\n-0.5\r\n 10\r\n0\r\n 20\r\n10\r\n  0\r\nPOLYLINE\r\n 70\r\n1\r\n  0\r\nVERTEX\r\n 10\r\n1\r\n 20\r\n1\r\n 42\r\n0.4\r\n  0\r\nVERTEX\r\n 10\r\n5\r\n 20\r\n1\r\n  0\r\nSEQEND\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n' > "$d/polylines.dxf"
  printf '\004  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nELLIPSE\r\n 10\r\n0\r\n 20\r\n0\r\n 11\r\n20\r\n 21\r\n5\r\n 40\r\n0.3\r\n 41\r\n0.5\r\n 42\r\n4\r\n  0\r\nSPLINE\r\n 70\r\n8\r\n 71\r\n3\r\n 72\r\n8\r\n 73\r\n4\r\n 40\r\n0\r\n 40\r\n0\r\n 40\r\n0\r\n 40\r\n0\r\n 40\r\n1\r\n 40\r\n1\r\n 40\r\n1\r\n 40\r\n1\r\n 10\r\n0\r\n 20\r\n0\r\n 10\r\n1\r\n 20\r\n3\r\n 41\r\n2\r\n 10\r\n3\r\n 20\r\n3\r\n 10\r\n4\r\n 20\r\n0\r\n  0\r\nTEXT\r\n  1\r\nA\r\n  0\r\nHATCH\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n' > "$d/curves.dxf"
  printf '\005  0\r\nSECTION\r\n  2\r\nBLOCKS\r\n  0\r\nBLOCK\r\n  2\r\nB\r\n 10\r\n1\r\n 20\r\n0\r\n  0\r\nLINE\r\n 10\r\n0\r\n 20\r\n0\r\n 11\r\n1\r\n 21\r\n1\r\n  0\r\nINSERT\r\n  2\r\nC\r\n  0\r\nENDBLK\r\n  0\r\nBLOCK\r\n  2\r\nC\r\n  0\r\nARC\r\n 40\r\n2\r\n 51\r\n45\r\n  0\r\nENDBLK\r\n  0\r\nENDSEC\r\n  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nINSERT\r\n  2\r\nb\r\n 10\r\n5\r\n 41\r\n-2\r\n 50\r\n30\r\n 70\r\n3\r\n 71\r\n2\r\n 44\r\n10\r\n 45\r\n7\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n' > "$d/blocks.dxf"
  # Binary drawings, one-byte and two-byte group codes.
  printf '\000AutoCAD Binary DXF\r\n\032\000\000SECTION\000\002ENTITIES\000\000LWPOLYLINE\000\132\002\000\000\000\012\000\000\000\000\000\000\000\000\024\000\000\000\000\000\000\000\000\052\000\000\000\000\000\000\360\077\012\000\000\000\000\000\000\044\100\024\000\000\000\000\000\000\000\000\000ENDSEC\000\000EOF\000' > "$d/binary12.dxf"
  if [ -f ../shared/dxf-samples/bin_dxf_r13.dxf ]; then
    { printf '\001'; cat ../shared/dxf-samples/bin_dxf_r13.dxf; } > "$d/binary13.dxf"
  fi
}

seed_RtfFuzz() {
  local d=$1
  printf '{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}\\f0\\fs24 Hei \\b fet\\b0  \\i kursiv\\i0\\par\\cf1\\ul r\\'"'"'f8d\\ulnone\\line\\tab\\uc1\\u8364?\\par}' > "$d/basic.rtf"
  printf '{\\rtf1{\\*\\generator x;}{\\info{\\title t}}{\\stylesheet{\\s0 Normal;}}\\pard\\qc\\fs48\\b Skarv\\b0\\par\\fs20 \\'"'"'c5pne {\\b\\i x}\\par}' > "$d/groups.rtf"
  printf '{\\rtf1 {\\b unbalanced \\'"'"'e' > "$d/broken.rtf"
}

seed_TelnetFuzz() {
  local d=$1
  # A device server's greeting, answers, modem state and data with a doubled IAC.
  printf '\377\373\003\377\375\003\377\373\001\377\375\000\377\373\000\377\375\054' > "$d/greeting.bin"
  printf '\377\372\054\145\000\000\022\300\377\360\377\372\054\153\060\377\360N10\377\377X\r\n' > "$d/answers.bin"
  printf '\377\372\054\154\377\360\377\372\054\155\377\360\377\376\054\377\372\054' > "$d/broken.bin"
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

seed_CompareFuzz() {
  local d=$1
  { printf '\001'; cat examples/shop/Fres/FLENS.NC; printf '\000'; sed 's/F300/F250/; s/^N1/N2/' examples/shop/Fres/FLENS.NC; } > "$d/flens.bin"
  { printf '\017'; cat examples/shop/Fres/LOKK.H; printf '\000'; sed 's/^5 /7 /; s/X+110/X+110.000/' examples/shop/Fres/LOKK.H; } > "$d/lokk.bin"
  printf '\000G1 X1\nG1 X2\nG1 X1\nG1 X2\n\000G1 X2\nG1 X1\nG1 X2\nM30\n' > "$d/repeat.bin"
}

seed_TransformFuzz() {
  local d=$1
  local i=0
  for f in examples/shop/Fres/FLENS.NC examples/shop/Portal/DEKSEL.MPF examples/shop/Dreiebenk/AKSEL.NC; do
    for mode in 0 4 8 12 48; do { printf "\\$(printf %o $mode)"; cat "$f"; } > "$d/iso$i.nc"; i=$((i + 1)); done
  done
  for mode in 1 5 9 13; do { printf "\\$(printf %o $mode)"; cat examples/shop/Fres/LOKK.H; } > "$d/h$mode.h"; done
  printf '\004G90 G0 X0 Y0 Z5\r\nG52 X5 Y5\r\nG92 X1 Y1\r\nG91 G2 X5 Y5 I2.5 J2.5 Z-1\r\nG90.1 G90 G3 X0 Y0 I2 J2\r\nG81 X1 Y1 Z-3 R1 K3\r\nG83 Z-9 Q2\r\nG80 G53 Z0\r\nG18 G2 X1 Z1 R3\r\n' > "$d/modes.nc"
}

seed_IniFuzz() {
  local d=$1
  printf '[Program]\r\nMaskiner=3\r\nExt=.nc\r\nSysExt=.SPR\r\n\r\n[Maskin1]\r\nNavn=Fres 1\r\nBaud=$2580\r\nTab=True\r\nToleranse=0.01\r\nBlokkTegn=N[58]\r\nStartKode=%%[CR][LF]\r\n' > "$d/vako.ini"
  printf '[a]\nk=1\n[A]\nk=2\n  [ b ] \n K = "quoted" \nx=-0x7fffffff\ny=1e308\nz\n[c\nw=[DC2\n' > "$d/odd.ini"
}

seed_VisualFuzz() {
  local d=$1
  printf '%%[CR][LF]' > "$d/crlf.txt"
  printf '[dc2]M30[13][$0a][x1F][ESC[255][256][]][' > "$d/mixed.txt"
}

seed_TextLoadFuzz() {
  local d=$1
  printf '\000%%\r\nN10 G00 X5\r\n\r\nN20 (\206\217\221)\rN30\n\035M30' > "$d/program.bin"
  printf '\001\247HEADER LINE\r\nN10\r\n\r\r\n\236' > "$d/dos-header.bin"
  printf '\016\025LINE\r\n\036\035' > "$d/insert-chunks.bin"
  # A CR as the last byte of the first chunk, its LF the first of the next.
  printf '\034\r\nA\r\rB' > "$d/cr-at-chunk-end.bin"
}

seed_BinaryLogFuzz() {
  local d=$1
  printf '\000%%\r\nN10\000\377[]!#@\r\r\n\n\n\223\021' > "$d/tape.bin"
  printf '\001@RED #BLACK !MAGENTA \243BLUE \247GREEN\r\nplain\n\r\r' > "$d/log.bin"
}

seed_NcToolsFuzz() {
  local d=$1
  printf '\000\012\012\000%%\r\nN10 G01 X1.5 Y2 F200\r\nN20G01X1.5Y2(A COMMENT 1 X)\r\n\tN30 X1 \r\n*N40\r\nO1\r\n' > "$d/program.nc"
  printf '\221\002\005\003/N5 X1\r\n12 L X+10 R0 FMAX\r\nN\r\n:1\r\n' > "$d/heidenhain.nc"
}

seed_TapeCodeFuzz() {
  local d=$1
  printf '\001%%\215\012N10X5\215\012\224' > "$d/iso.bin"
  printf '\002\013\200\045\061\200\134' > "$d/eia.bin"
  printf '\000N10\r\n\r\nN20\003N30' > "$d/ascii.bin"
}

seed_FtpReplyFuzz() {
  local d=$1
  printf '\000220-Welcome\r\n220 ready\r\n331 pass\r\n230 ok\r\n227 Entering Passive Mode (127,0,0,1,195,81).\r\n' > "$d/session.txt"
  printf '\001noise\r\n229 Extended (|||50001|)\r\n150 go\n226 done\n' > "$d/extended.txt"
}

seed_DncReplyFuzz() {
  local d=$1
  printf '\001OK\r\n' > "$d/ok.txt"
  printf '\010Maskinen er opptatt\r\nrest\r' > "$d/busy.txt"
}

failed=()
summary=()
for t in "${targets[@]}"; do
  mkdir -p "$OUT/corpus/$t" "$OUT/seeds/$t"
  if declare -F "seed_$t" >/dev/null; then "seed_$t" "$OUT/seeds/$t"; fi
  echo "fuzz.sh: built $OUT/fuzz/$t"
  [ "$SECONDS_EACH" -gt 0 ] || continue
  log="$OUT/$t.log"
  status=0
  "$OUT/fuzz/$t" -max_total_time="$SECONDS_EACH" -max_len=4096 -timeout=25 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$OUT/$t-" "$OUT/corpus/$t" "$OUT/seeds/$t" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}')
  line=$(printf '%-16s runs %-10s seconds %-6s edges %s' "$t" "${runs:-?}" "${took:-?}" "${cov:-?}")
  if [ "$status" -ne 0 ]; then
    line="$line  FAULT (see $log)"
    failed+=("$t")
    tail -40 "$log" >&2
  fi
  echo "fuzz.sh: $line"
  summary+=("$line")
done
if [ ${#summary[@]} -gt 0 ]; then
  echo "fuzz.sh: summary"
  printf '  %s\n' "${summary[@]}"
fi
[ ${#failed[@]} -eq 0 ] || { echo "fuzz.sh: faults found by: ${failed[*]}" >&2; exit 1; }
