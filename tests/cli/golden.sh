#!/usr/bin/env bash
# Runs one golden case of the skarv command. A case is a folder under tests/cli/cases:
#   cmd                       the command line(s), run by sh with skarv on the PATH
#   stdin                     standard input (optional)
#   stdout, stderr, status    what is expected, byte for byte (absent: empty, empty, 0)
# The case runs in a fresh folder holding every other file of the case and of tests/cli/files;
# in the output that folder reads as $DIR. The user's settings are never read (XDG folders in
# the fresh folder). Usage: golden.sh CASE BIN_DIR. With SKARV_GOLDEN_UPDATE=1 the output is
# written into the case as expected: review the difference before committing it.
set -u
case_dir=$(cd "$1" && pwd) bin=$(cd "$2" && pwd) files=$(cd "$(dirname "$0")" && pwd)/files tmp=$(mktemp -d)
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/run" "$tmp/user" "$tmp/system" "$tmp/out"
cp -R "$files"/. "$tmp/run"/
for f in "$case_dir"/*; do
  case ${f##*/} in cmd | stdin | stdout | stderr | status) ;; *) cp -R "$f" "$tmp/run"/ ;; esac
done
input=$case_dir/stdin && [ -f "$input" ] || input=/dev/null
(cd "$tmp/run" && PATH="$bin:$PATH" XDG_CONFIG_HOME="$tmp/user" XDG_CONFIG_DIRS="$tmp/system" \
  sh "$case_dir/cmd" <"$input" >"$tmp/out/stdout" 2>"$tmp/out/stderr")
echo $? >"$tmp/out/status"
LC_ALL=C sed -i "s|$tmp/run|\$DIR|g" "$tmp/out/stdout" "$tmp/out/stderr"
[ "$(cat "$tmp/out/status")" = 0 ] && : >"$tmp/out/status"
failed=0
for s in stdout stderr status; do
  if [ "${SKARV_GOLDEN_UPDATE:-0}" = 1 ]; then
    rm -f "$case_dir/$s" && [ -s "$tmp/out/$s" ] && cp "$tmp/out/$s" "$case_dir/$s"
  elif ! cmp -s "$tmp/out/$s" "${case_dir}/$s" 2>/dev/null && [ -s "$tmp/out/$s" -o -s "$case_dir/$s" ]; then
    echo "== $s expected:"; cat -A "$case_dir/$s" 2>/dev/null; echo
    echo "== $s actual:"; cat -A "$tmp/out/$s"; echo
    failed=1
  fi
done
exit $failed
