#!/bin/sh
# The layers of the sources, checked from their includes: a core file includes no Qt or
# QScintilla header and no folder above core; platform includes neither widgets, windows nor
# the editor; widgets include no window; a window folder does not include the main window;
# every folder of src/ belongs to a layer. Usage: layers.sh SRC "CORE FOLDERS" "WINDOW FOLDERS"
cd "$1" || exit 2
includes() { dirs=$1; shift; for d in $dirs; do grep -sHE "^ *# *include *[<\"]($*)" $d/*.h $d/*.cpp; done; }
found=$(
  includes "$2" 'Q|Qsci/|(platform|widgets|windows|editor|app|cli)/'
  includes platform '(widgets|windows|editor|app|cli)/'
  includes widgets '(windows|editor|app|cli)/'
  includes "$3" '(editor|app|cli)/'
  includes editor '(app|cli)/'
  for f in $(find . -name '*.h' -o -name '*.cpp'); do
    d=$(dirname "${f#./}")
    case " $2 $3 platform widgets editor app cli " in *" $d "*) ;; *) echo "$f: src/$d is in no layer" ;; esac
  done
)
[ -z "$found" ] || { echo "Includes against the layers:"; echo "$found"; exit 1; }
