# Removes a tree that holds Unix links to files and directories outside it,
# at the top, two and three levels down, past MAX_PATH (where Wine reads no
# final path), and into a twin whose name differs from the tree's only in
# letter case, with `quorvel rmtree` under Wine, then checks on the host what
# is left.
#   TOOL, EMULATOR, SCRATCH (made afresh; holds the tree and what lies outside)
# Wine resolves a Unix link wherever it opens one, so a link can neither be
# entered nor removed as itself: each must stay, and its targets untouched.
file(REMOVE_RECURSE "${SCRATCH}")
set(tree "${SCRATCH}/tree")
set(out "${SCRATCH}/outside")

# The twin: a directory of its own on a case-sensitive file system, though
# Windows names do not tell it from the tree by case alone.
set(twin "${SCRATCH}/Tree")

set(outside_files top.txt two.txt three.txt far.txt dir/inner.txt dir/sub/deep.txt)
set(twin_files Rec/old/show.ts Rec/old/clips/cut.ts)
list(TRANSFORM outside_files PREPEND "outside/" OUTPUT_VARIABLE kept)
list(TRANSFORM twin_files PREPEND "Tree/" OUTPUT_VARIABLE kept_twin)
list(APPEND kept ${kept_twin})
foreach(f IN LISTS kept)
  file(WRITE "${SCRATCH}/${f}" "kept ${f}\n")
endforeach()
file(MAKE_DIRECTORY "${out}/empty")
file(GLOB_RECURSE outside_before LIST_DIRECTORIES true RELATIVE "${SCRATCH}" "${out}/*" "${twin}/*")

string(REPEAT l 200 long)
string(REPEAT m 80 longer)
set(far "${long}/${longer}")
# Ordinary entries around the links, and a branch with no link at all.
set(ordinary plain.txt a/one.txt a/b/two.txt a/b/c/three.txt ${far}/four.txt clean/x/y.txt Rec/old/new.ts)
foreach(f IN LISTS ordinary)
  file(WRITE "${tree}/${f}" "${f}\n")
endforeach()
# Relative and absolute targets, files and directories, one empty; the last
# two in the twin, at their links' own paths but for letter case.
set(links
  "flink=../outside/top.txt" "dlink=${out}/dir"
  "a/b/flink=${out}/two.txt" "a/b/dlink=../../../outside/empty"
  "a/b/c/flink=../../../../outside/three.txt" "a/b/c/dlink=${out}/dir/sub"
  "${far}/flink=${out}/far.txt" "${far}/dlink=../../../outside/dir"
  "Rec/old/show.ts=../../../Tree/Rec/old/show.ts" "Rec/old/clips=${twin}/Rec/old/clips")
foreach(l IN LISTS links)
  string(REGEX MATCH "^([^=]+)=(.*)$" _ "${l}")
  file(CREATE_LINK "${CMAKE_MATCH_2}" "${tree}/${CMAKE_MATCH_1}" SYMBOLIC)
endforeach()

string(REPLACE "/" "\\" windows_tree "Z:${tree}")
execute_process(COMMAND ${EMULATOR} ${TOOL} rmtree --json "${windows_tree}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)

set(problems "")
string(JSON result ERROR_VARIABLE json_error GET "${stdout}" rmtree result)
# The links stay, so the removal falls short: status 1, with the library's
# result in the JSON.
if(NOT rc EQUAL 1 OR json_error)
  list(APPEND problems "quorvel rmtree: status ${rc}, not 1; ${json_error}")
elseif(NOT stderr MATCHES "kept: ")
  list(APPEND problems "quorvel rmtree does not say what stayed")
elseif(NOT result EQUAL 0)
  list(APPEND problems "result ${result}, not 0, though links stay")
endif()
file(GLOB_RECURSE outside_after LIST_DIRECTORIES true RELATIVE "${SCRATCH}" "${out}/*" "${twin}/*")
if(NOT outside_after STREQUAL outside_before)
  list(APPEND problems "outside holds '${outside_after}', not '${outside_before}'")
else()
  foreach(f IN LISTS kept)
    file(READ "${SCRATCH}/${f}" text)
    if(NOT text STREQUAL "kept ${f}\n")
      list(APPEND problems "${f} was changed")
    endif()
  endforeach()
endif()
foreach(l IN LISTS links)
  string(REGEX MATCH "^([^=]+)=" _ "${l}")
  if(NOT IS_SYMLINK "${tree}/${CMAKE_MATCH_1}")
    list(APPEND problems "link ${CMAKE_MATCH_1} is gone")
  endif()
endforeach()
foreach(f IN LISTS ordinary ITEMS clean)
  if(EXISTS "${tree}/${f}" OR IS_SYMLINK "${tree}/${f}")
    list(APPEND problems "${f} is still there")
  endif()
endforeach()

if(problems)
  string(REPLACE ";" "\n  " text "${problems}")
  message(FATAL_ERROR "quorvel rmtree ${windows_tree}:\n  ${text}\n--- stdout\n${stdout}\n--- stderr\n${stderr}")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
