# Turns the WCTABLE section of Windows' best-fit table for a code page into
# the entries of a C++ array, one "{code point, byte}," per line, in the order
# the table lists them. Run by the build:
#   cmake -DINPUT=bestfit1252.txt -DOUTPUT=best_fit_1252.inc -P generate_best_fit.cmake
# Stops with an error when the section is missing, malformed, or holds another
# number of entries than it declares.

if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DINPUT=table.txt -DOUTPUT=table.inc -P generate_best_fit.cmake")
endif()

file(READ "${INPUT}" text)
# The published files end their lines with CR LF.
string(REPLACE "\r" "" text "${text}")

string(FIND "${text}" "\nWCTABLE" start)
string(FIND "${text}" "\nENDCODEPAGE" end)
if(start EQUAL -1 OR end EQUAL -1 OR end LESS start)
  message(FATAL_ERROR "${INPUT}: no WCTABLE section ending with ENDCODEPAGE")
endif()
math(EXPR length "${end} - ${start} + 1")
string(SUBSTRING "${text}" ${start} ${length} section)

if(NOT section MATCHES "^\nWCTABLE[ \t]+([0-9]+)[ \t]*\n")
  message(FATAL_ERROR "${INPUT}: the WCTABLE line does not give its number of entries")
endif()
set(declared ${CMAKE_MATCH_1})

# Every line of the section after its header: a UTF-16 code unit in four hex
# digits, a byte in two, and an optional comment after ";".
set(hex "[0-9a-fA-F]")
string(REGEX REPLACE "^\nWCTABLE[^\n]*\n" "" body "${section}")
# Comments go first: CMake lists split at ";" and treat brackets specially.
string(REGEX REPLACE ";[^\n]*" "" body "${body}")
string(REPLACE "\n" ";" lines "${body}")
set(entries "")
set(count 0)
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "")
    continue()
  endif()
  if(NOT line MATCHES "^0x(${hex}${hex}${hex}${hex})[ \t]+0x(${hex}${hex})$")
    message(FATAL_ERROR "${INPUT}: unexpected line in WCTABLE: '${line}'")
  endif()
  string(APPEND entries "    {0x${CMAKE_MATCH_1}, 0x${CMAKE_MATCH_2}},\n")
  math(EXPR count "${count} + 1")
endforeach()

if(NOT count EQUAL declared)
  message(FATAL_ERROR "${INPUT}: WCTABLE declares ${declared} entries but lists ${count}")
endif()

get_filename_component(source_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
     "// Generated from ${source_name} by generate_best_fit.cmake; do not edit.\n"
     "// ${count} entries: {UTF-16 code unit, byte}.\n"
     "${entries}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
