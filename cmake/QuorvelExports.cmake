# The .def file is the one list of exported names; the Linux export list,
# the Linux aliases and the export checks are derived from it.

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

# The .def's aliases, "A = B" lines (A is B's entry point under another
# name), as undecorated A=B pairs.
function(quorvel_export_aliases def_file out_var)
  file(STRINGS ${def_file} lines REGEX "^[ \t]+Quorvel_[A-Za-z]+(@[0-9]+)? = ")
  set(pairs "")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "(Quorvel_[A-Za-z]+)(@[0-9]+)? = (Quorvel_[A-Za-z]+)" _ "${line}")
    list(APPEND pairs "${CMAKE_MATCH_1}=${CMAKE_MATCH_3}")
  endforeach()
  set(${out_var} ${pairs} PARENT_SCOPE)
endfunction()

# Makes the .def's aliases symbols of the objects, for builds that have no
# .def: the compiler makes an alias only in the translation unit that
# defines its target, so each source that defines a target gets a fragment,
# written into out_dir and included ahead of it, that declares the aliases
# of the targets it defines (<source>.inc: it belongs to that one source).
function(quorvel_define_aliases def_file sources out_dir)
  quorvel_export_aliases(${def_file} pairs)
  # Each source is read once, whatever the number of aliases.
  set(index 0)
  foreach(source IN LISTS sources)
    file(READ ${source} text_${index})
    math(EXPR index "${index} + 1")
  endforeach()
  set(defining "")
  foreach(pair IN LISTS pairs)
    string(REGEX MATCH "^(.*)=(.*)$" _ "${pair}")
    set(alias ${CMAKE_MATCH_1})
    set(target ${CMAKE_MATCH_2})
    # The definition: the name, its parameters, then a body, not a ";".
    set(found "")
    set(index 0)
    foreach(source IN LISTS sources)
      if(text_${index} MATCHES "QUORVEL_CALL[ \t\r\n]+${target}[ \t\r\n]*\\([^;{]*\\)[ \t\r\n]*{")
        list(APPEND found ${source})
      endif()
      math(EXPR index "${index} + 1")
    endforeach()
    list(LENGTH found count)
    if(NOT count EQUAL 1)
      message(FATAL_ERROR "${alias} = ${target} in ${def_file}: ${target} is defined in ${count} "
                          "sources, not one: ${found}")
    endif()
    string(MAKE_C_IDENTIFIER "${found}" key)
    if(NOT key IN_LIST defining)
      list(APPEND defining ${key})
      set(source_${key} ${found})
      set(aliases_${key} "")
    endif()
    string(APPEND aliases_${key}
      "__typeof__(${target}) ${alias} __attribute__((alias(\"${target}\")));\n")
  endforeach()
  foreach(key IN LISTS defining)
    file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${source_${key}})
    set(fragment ${out_dir}/${name}.inc)
    file(CONFIGURE OUTPUT ${fragment} CONTENT
      "// Made from ${def_file}: each \"A = B\" line there names B's entry point A too.\n#include \"quorvel/quorvel.h\"\n\n${aliases_${key}}")
    set_property(SOURCE ${source_${key}} APPEND PROPERTY COMPILE_OPTIONS -include ${fragment})
    # Moving a target to another source must write the fragments again.
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source_${key}})
  endforeach()
endfunction()

# The cross prefix of the compiler's toolchain (i686-w64-mingw32- for
# i686-w64-mingw32-gcc-posix or clang --target=i686-w64-mingw32; empty for a
# native one) and the folders its programs lie in, to find its binutils by.
function(quorvel_toolchain_prefix prefix_var dirs_var)
  set(prefix "")
  set(dirs "")
  foreach(lang C CXX)
    set(compiler "${CMAKE_${lang}_COMPILER}")
    if(NOT compiler)
      continue()
    endif()
    get_filename_component(name "${compiler}" NAME)
    if(CMAKE_${lang}_COMPILER_TARGET)
      set(prefix "${CMAKE_${lang}_COMPILER_TARGET}-")
    elseif(name MATCHES "^(.+-)(clang|g?cc|c\\+\\+|g\\+\\+|clang\\+\\+)(-[0-9]+(\\.[0-9]+)*)?(-[^.]+)?(\\.exe)?$")
      set(prefix "${CMAKE_MATCH_1}")
    endif()
    get_filename_component(dir "${compiler}" DIRECTORY)
    get_filename_component(real "${compiler}" REALPATH)
    get_filename_component(real_dir "${real}" DIRECTORY)
    list(APPEND dirs "${dir}" "${real_dir}")
    if(prefix)
      break()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES dirs)
  set(${prefix_var} "${prefix}" PARENT_SCOPE)
  set(${dirs_var} ${dirs} PARENT_SCOPE)
endfunction()
