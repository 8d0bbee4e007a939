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
