# cmake -DPREFIX=<installed tree> -DTOOL=<installed quorvel> -DLIBRARY_PATH=<its library's folder>
#       -DDOCDIR=<documentation folder, relative to PREFIX> -P docs.cmake
# The installed manual page renders without warnings, carries its date,
# names every command the tool lists, and its SEE ALSO names the installed
# documents; the installed bash completion offers commands and the options
# of the command being typed.
cmake_minimum_required(VERSION 3.21)
set(ENV{LD_LIBRARY_PATH} "${LIBRARY_PATH}")
set(page "${PREFIX}/share/man/man1/quorvel.1")
set(completion "${PREFIX}/share/bash-completion/completions/quorvel")
foreach(file "${page}" "${completion}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${file} is not installed")
  endif()
endforeach()

set(problems "")
set(ENV{MANWIDTH} 80)
execute_process(COMMAND man --warnings -l "${page}" RESULT_VARIABLE rc OUTPUT_VARIABLE manual ERROR_VARIABLE warnings)
if(rc OR NOT warnings STREQUAL "")
  list(APPEND problems "man -l ${page}: status ${rc}, warnings: ${warnings}")
endif()
execute_process(COMMAND "${TOOL}" help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
string(REGEX MATCHALL "\n  [a-z]+ " listed "${help}")
if(rc OR NOT listed)
  list(APPEND problems "quorvel help: status ${rc}, no commands listed")
endif()
foreach(entry IN LISTS listed)
  string(STRIP "${entry}" command)
  if(NOT manual MATCHES "\n       ${command}( |\n)")
    list(APPEND problems "the manual page does not describe '${command}'")
  endif()
endforeach()
file(READ "${page}" source)
if(NOT source MATCHES "\n[.]TH QUORVEL 1 \"[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]\"")
  list(APPEND problems "the manual page's .TH line carries no date")
endif()
# SEE ALSO names the documentation folder and each document in it.
string(REGEX MATCH "\n[.]SH SEE ALSO\n.*" see_also "${source}")
string(REPLACE "\\-" "-" see_also "${see_also}")
string(REGEX MATCHALL "[^ \n]+[.]md|NEWS" named "${see_also}")
file(GLOB installed_docs RELATIVE "${PREFIX}/${DOCDIR}" "${PREFIX}/${DOCDIR}/*.md")
list(APPEND installed_docs NEWS)
list(SORT named)
list(SORT installed_docs)
if(NOT see_also MATCHES "${DOCDIR}/" OR NOT named STREQUAL installed_docs)
  list(APPEND problems "SEE ALSO names '${named}' in it, not ${DOCDIR}/ with '${installed_docs}'")
endif()

# Word being completed -> what must be offered.
foreach(case "rm=rmtree" "he=help" "rmtree --f=--force" "--js=--json")
  string(REGEX MATCH "^(.*)=(.*)$" _ "${case}")
  set(want "${CMAKE_MATCH_2}")
  execute_process(COMMAND bash -c
    "source \"$0\"; COMP_WORDS=(\"$1\" $2); COMP_CWORD=$((\${#COMP_WORDS[@]} - 1)); _quorvel; printf '%s\\n' \"\${COMPREPLY[@]}\""
    "${completion}" "${TOOL}" "${CMAKE_MATCH_1}"
    OUTPUT_VARIABLE offered RESULT_VARIABLE rc)
  if(rc OR NOT offered MATCHES "(^|\n)${want}\n")
    list(APPEND problems "completing '${CMAKE_MATCH_1}' offers '${offered}', not '${want}'")
  endif()
endforeach()

if(problems)
  string(REPLACE ";" "\n  " text "${problems}")
  message(FATAL_ERROR "${text}")
endif()
