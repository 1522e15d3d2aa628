# Writes the skarv command's manual page: the page's text from TEMPLATE, with its section of
# sub-commands (in place of the line '.\" <skarv --help>') made from what "skarv --help" prints, so that the page lists every sub-command
# with the synopsis the program itself gives. A sub-command's text comes from COMMANDS (the
# sub-command, a tab, the text).
#   cmake -DSKARV=<skarv> -DTEMPLATE=<skarv.1 configured> -DCOMMANDS=<texts> -DOUT=<page> -P ManPage.cmake
foreach(var SKARV TEMPLATE COMMANDS OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ManPage.cmake: ${var} missing")
  endif()
endforeach()

# The help is printed before any settings are read.
execute_process(COMMAND ${SKARV} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ManPage.cmake: ${SKARV} --help failed (${rc})")
endif()

# Roff: a backslash is written \e, a hyphen \- (so that options copy as typed), and a line
# may not start with a control character.
function(roff_escape text var)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

file(STRINGS ${COMMANDS} lines ENCODING UTF-8)
foreach(line IN LISTS lines)
  if(line MATCHES "^([^#\t][^\t]*)\t(.+)$")
    string(MAKE_C_IDENTIFIER "${CMAKE_MATCH_1}" key)
    set(text_${key} "${CMAKE_MATCH_2}")
  endif()
endforeach()

# One list item a line; brackets would join items in a CMake list, so they are kept aside.
string(REPLACE "[" "@LB@" help "${help}")
string(REPLACE "]" "@RB@" help "${help}")
string(REPLACE ";" "@SC@" help "${help}")
string(REPLACE "\n" ";" help "${help}")
set(section "")
foreach(line IN LISTS help)
  string(REPLACE "@LB@" "[" line "${line}")
  string(REPLACE "@RB@" "]" line "${line}")
  string(REPLACE "@SC@" ";" line "${line}")
  if(NOT line MATCHES "^  skarv (.*)$")
    continue()
  endif()
  set(usage "${CMAKE_MATCH_1}")
  # The sub-command is the first word after the options in brackets.
  set(rest "${usage}")
  while(rest MATCHES "^\\[[^]]*\\] *(.*)$")
    set(rest "${CMAKE_MATCH_1}")
  endwhile()
  string(REGEX MATCH "^[^ ]+" name "${rest}")
  # The options before it, the sub-command in bold, and what follows it.
  string(LENGTH "${usage}" whole)
  string(LENGTH "${rest}" tail)
  string(LENGTH "${name}" length)
  math(EXPR at "${whole} - ${tail}")
  string(SUBSTRING "${usage}" 0 ${at} before)
  string(SUBSTRING "${rest}" ${length} -1 behind)
  roff_escape("${before}" before)
  roff_escape("${name}" name_roff)
  roff_escape("${behind}" behind)
  set(synopsis "${before}\\fB${name_roff}\\fR${behind}")
  string(APPEND section ".TP\n\\fBskarv\\fR ${synopsis}\n")
  string(MAKE_C_IDENTIFIER "${name}" key)
  if(DEFINED text_${key})
    string(APPEND section "${text_${key}}\n")
  endif()
endforeach()
if(section STREQUAL "")
  message(FATAL_ERROR "ManPage.cmake: no sub-commands in the output of ${SKARV} --help")
endif()

file(READ ${TEMPLATE} page)
string(REPLACE ".\\\" <skarv --help>\n" "${section}" page "${page}")
file(WRITE ${OUT} "${page}")
