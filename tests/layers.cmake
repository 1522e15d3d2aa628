# The layers of the sources, checked from their includes (run by CTest with cmake -P):
#   - a file of a core folder includes no Qt or QScintilla header and nothing of platform,
#     widgets, windows, editor, app or cli;
#   - widgets include no window folder and not the main window; a window folder does not
#     include the main window; platform includes neither widgets, windows nor the editor;
#   - every folder of src/ belongs to a layer.
# -DSRC=<src folder> -DCORE=<core folders, separated by ","> -DWINDOWS=<window folders>
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" core "${CORE}")
string(REPLACE "," ";" windows "${WINDOWS}")
set(above_core platform/ widgets/ windows/ editor/ app/ cli/)
set(rules_platform widgets/ windows/ editor/ app/ cli/)
set(rules_widgets windows/ editor/ app/ cli/)
set(rules_windows editor/ app/ cli/)
set(rules_editor app/ cli/)
set(failures "")

function(check dir forbidden qt_free)
  file(GLOB files ${SRC}/${dir}/*.h ${SRC}/${dir}/*.cpp)
  foreach(f ${files})
    file(STRINGS ${f} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^<\"]*[<\"]([^>\"]*)[>\"].*$" "\\1" header "${line}")
      set(bad "")
      if(qt_free AND header MATCHES "^(Q|Qsci/)")
        set(bad "a Qt header")
      endif()
      foreach(prefix ${forbidden})
        string(FIND "${header}" "${prefix}" at)
        if(at EQUAL 0)
          set(bad "a layer above it")
        endif()
      endforeach()
      if(bad)
        file(RELATIVE_PATH rel ${SRC} ${f})
        set(failures "${failures}src/${rel} includes ${header}: ${bad}\n")
      endif()
    endforeach()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

foreach(dir ${core})
  check(${dir} "${above_core}" TRUE)
endforeach()
check(platform "${rules_platform}" FALSE)
check(widgets "${rules_widgets}" FALSE)
foreach(dir ${windows})
  check(${dir} "${rules_windows}" FALSE)
endforeach()
check(editor "${rules_editor}" FALSE)

file(GLOB_RECURSE all RELATIVE ${SRC} ${SRC}/*.h ${SRC}/*.cpp)
foreach(f ${all})
  get_filename_component(dir ${f} DIRECTORY)
  if(NOT dir IN_LIST core AND NOT dir IN_LIST windows AND
     NOT dir MATCHES "^(platform|widgets|editor|app|cli)$")
    set(failures "${failures}src/${f} lies in no layer: add src/${dir} to a library's folders\n")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
