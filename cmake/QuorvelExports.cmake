# The .def file is the one list of exported names; the Linux export list and
# the export checks are derived from it.

# Reads the undecorated export names, in ordinal order, from a .def file.
function(quorvel_export_names def_file out_var)
  file(STRINGS ${def_file} lines REGEX "^[ \t]+Quorvel_")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "Quorvel_[A-Za-z]+" name "${line}")
    list(APPEND names ${name})
  endforeach()
  set(${out_var} ${names} PARENT_SCOPE)
endfunction()

# Writes a linker version script that exports exactly the given names.
function(quorvel_write_version_script path names)
  set(text "{\n  global:\n")
  foreach(name IN LISTS names)
    string(APPEND text "    ${name};\n")
  endforeach()
  string(APPEND text "  local:\n    *;\n};\n")
  file(CONFIGURE OUTPUT ${path} CONTENT "${text}")
endfunction()

# Writes the .def file's export list for another use, rewritten only when it
# changes (the DLL's link depends on it):
#   UNDECORATED  names without their stdcall "@N": 64-bit Windows decorates
#                nothing, so there the plain names are the names
#   NO_ALIASES   "A = B" listed as A alone, for llvm-dlltool, which would
#                otherwise bind A's callers to B's export instead of A's own
function(quorvel_write_def def_file out_path)
  cmake_parse_arguments(W "UNDECORATED;NO_ALIASES" "" "" ${ARGN})
  file(STRINGS ${def_file} lines REGEX "^[^;]")
  set(text "; Made from quorvel.def: names and ordinals are the interface; ordinal 30 is empty.\n")
  foreach(line IN LISTS lines)
    if(W_NO_ALIASES)
      string(REGEX REPLACE "^([ \t]+Quorvel_[A-Za-z]+(@[0-9]+)?) = [^ \t]+" "\\1" line "${line}")
    endif()
    if(W_UNDECORATED)
      string(REGEX REPLACE "(Quorvel_[A-Za-z]+)@[0-9]+ = (Quorvel_[A-Za-z]+)@[0-9]+" "\\1 = \\2" line "${line}")
      # Blanks in place of the decoration keep the columns.
      string(REGEX REPLACE "(Quorvel_[A-Za-z]+)@[0-9][0-9] " "\\1    " line "${line}")
      string(REGEX REPLACE "(Quorvel_[A-Za-z]+)@[0-9] " "\\1   " line "${line}")
    endif()
    string(APPEND text "${line}\n")
  endforeach()
  file(WRITE ${out_path}.new "${text}")
  file(COPY_FILE ${out_path}.new ${out_path} ONLY_IF_DIFFERENT)
  file(REMOVE ${out_path}.new)
endfunction()
