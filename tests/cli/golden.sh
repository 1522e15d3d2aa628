#!/usr/bin/env bash
# Runs one case of the skarv command's golden tests. A case is a folder under tests/cli/cases:
#   cmd      the command line(s), run by sh in a fresh folder with skarv on the PATH
#   stdin    standard input (optional)
#   stdout   expected standard output, byte for byte (absent: empty)
#   stderr   expected standard error (absent: empty)
#   status   expected exit status (absent: 0)
# Every other file of the case, and every file of tests/cli/files, is copied into the fresh
# folder first. In the output that folder's path reads as $DIR. Settings of the user are
# never read: XDG_CONFIG_HOME and XDG_CONFIG_DIRS point into the fresh folder.
# Usage: golden.sh CASE BIN_DIR. With SKARV_GOLDEN_UPDATE=1 the case takes the output as
# expected (review the difference before committing it).
set -u
case_dir=$(cd "$1" && pwd)
bin=$2
files=$(cd "$(dirname "$0")" && pwd)/files
tmp=$(mktemp -d)
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
run=$tmp/run
mkdir -p "$run" "$tmp/xdg/user" "$tmp/xdg/system"
[ -d "$files" ] && cp -R "$files"/. "$run"/
for f in "$case_dir"/*; do
  case $(basename "$f") in cmd | stdin | stdout | stderr | status) ;; *) cp -R "$f" "$run"/ ;; esac
done
input=/dev/null
[ -f "$case_dir/stdin" ] && input=$case_dir/stdin
(cd "$run" && PATH="$bin:$PATH" XDG_CONFIG_HOME="$tmp/xdg/user" XDG_CONFIG_DIRS="$tmp/xdg/system" \
  sh "$case_dir/cmd" <"$input" >"$tmp/stdout" 2>"$tmp/stderr")
echo $? >"$tmp/status"
for s in stdout stderr; do LC_ALL=C sed -i "s|$run|\$DIR|g" "$tmp/$s"; done

failed=0
for s in stdout stderr status; do
  expected=$case_dir/$s
  if [ "${SKARV_GOLDEN_UPDATE:-0}" = 1 ]; then
    if [ -s "$tmp/$s" ] && ! { [ $s = status ] && [ "$(cat "$tmp/$s")" = 0 ]; }; then
      cp "$tmp/$s" "$expected"
    else
      rm -f "$expected"
    fi
    continue
  fi
  if [ -f "$expected" ]; then
    cmp -s "$expected" "$tmp/$s" || { echo "== $s differs:"; diff -a "$expected" "$tmp/$s"; failed=1; }
  elif [ $s = status ]; then
    [ "$(cat "$tmp/$s")" = 0 ] || { echo "== exit status $(cat "$tmp/$s"), expected 0"; failed=1; }
  elif [ -s "$tmp/$s" ]; then
    echo "== unexpected $s:"; cat -A "$tmp/$s"; failed=1
  fi
done
exit $failed
