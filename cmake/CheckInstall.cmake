# Installs a build tree into a scratch staging directory, as a package build
# does (DESTDIR), and checks that exactly the expected files arrive, that no
# installed library still looks for libraries in the build tree, and, given a
# linker version script, that the installed libraries export exactly its
# global names.
#
#   cmake -DBUILD_DIR=<build tree> -DSTAGE_DIR=<scratch> -DPREFIX=/usr
#         -DEXPECTED="<dir>/<file>|..." [-DEXPORTS_MAP=<version script> -DNM=<nm>]
#         -P CheckInstall.cmake
#
# EXPECTED holds install destinations as the install rules give them: relative
# to the prefix, or absolute. '|' separates them ('; ' would not survive ctest).
# NM is the toolchain's nm (a cross build's reads the target's libraries).
foreach(var BUILD_DIR STAGE_DIR PREFIX EXPECTED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckInstall.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${STAGE_DIR}")
set(ENV{DESTDIR} "${STAGE_DIR}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}")
endif()

string(REPLACE "|" ";" expected "${EXPECTED}")
set(wanted "")
foreach(path IN LISTS expected)
  if(NOT IS_ABSOLUTE "${path}")
    set(path "${PREFIX}/${path}")
  endif()
  string(REGEX REPLACE "//+" "/" path "${path}")
  list(APPEND wanted "${path}")
endforeach()

# Symbolic links count as files: a stray namelink is a stray file.
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${STAGE_DIR}" "${STAGE_DIR}/*")
set(installed "")
foreach(path IN LISTS found)
  list(APPEND installed "/${path}")
endforeach()

set(missing ${wanted})
set(extra ${installed})
if(installed)
  list(REMOVE_ITEM missing ${installed})
endif()
if(wanted)
  list(REMOVE_ITEM extra ${wanted})
endif()
if(missing OR extra)
  list(JOIN missing "\n  " missing)
  list(JOIN extra "\n  " extra)
  message(FATAL_ERROR "The installation is not what an OpenWBEM installation needs.\n"
                      "Missing:\n  ${missing}\nNot expected:\n  ${extra}\n"
                      "cmake --install said:\n${out}")
endif()

# The build tree's library paths must not travel: on the target the platform's
# and the object manager's own libraries are found by the dynamic loader.
foreach(path IN LISTS wanted)
  if(path MATCHES "\\.so$")
    file(READ_ELF "${STAGE_DIR}${path}" RUNPATH runpath RPATH rpath)
    if(runpath OR rpath)
      message(FATAL_ERROR "${path} keeps a library search path: '${runpath}${rpath}'")
    endif()
  endif()
endforeach()
# What the object manager looks up, and nothing else, is exported: the
# version script's global names are the installed libraries' defined
# dynamic symbols.
if(DEFINED EXPORTS_MAP)
  if(NOT NM)
    message(FATAL_ERROR "CheckInstall.cmake: EXPORTS_MAP needs NM, the toolchain's nm")
  endif()
  file(READ "${EXPORTS_MAP}" map)
  # Without its comments, the names between "global:" and "local:".
  while(TRUE)
    string(FIND "${map}" "/*" open)
    if(open EQUAL -1)
      break()
    endif()
    string(SUBSTRING "${map}" ${open} -1 rest)
    string(FIND "${rest}" "*/" close)
    if(close EQUAL -1)
      message(FATAL_ERROR "${EXPORTS_MAP}: unterminated comment")
    endif()
    math(EXPR close "${open} + ${close} + 2")
    string(SUBSTRING "${map}" 0 ${open} head)
    string(SUBSTRING "${map}" ${close} -1 tail)
    set(map "${head} ${tail}")
  endwhile()
  if(NOT map MATCHES "global:([^}]*)local:")
    message(FATAL_ERROR "${EXPORTS_MAP}: no 'global:' section before 'local:'")
  endif()
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" exports "${CMAKE_MATCH_1}")
  list(SORT exports)
  foreach(path IN LISTS wanted)
    if(NOT path MATCHES "\\.so$")
      continue()
    endif()
    execute_process(COMMAND "${NM}" -D --defined-only "${STAGE_DIR}${path}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE symbols ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${NM} -D ${path} failed (${rc}): ${err}")
    endif()
    # Lines "<address> <type> <name>".
    string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
    set(defined "")
    foreach(line IN LISTS lines)
      if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] ([^ ]+)$")
        list(APPEND defined "${CMAKE_MATCH_1}")
      endif()
    endforeach()
    list(SORT defined)
    if(NOT defined STREQUAL exports)
      set(missing ${exports})
      set(extra ${defined})
      if(defined)
        list(REMOVE_ITEM missing ${defined})
      endif()
      if(exports)
        list(REMOVE_ITEM extra ${exports})
      endif()
      list(JOIN missing " " missing)
      list(JOIN extra " " extra)
      message(FATAL_ERROR "${path} does not export exactly the global names of ${EXPORTS_MAP}.\n"
                          "Not exported: ${missing}\nExported besides: ${extra}")
    endif()
    list(LENGTH exports count)
    message(STATUS "${path} exports exactly the ${count} names of ${EXPORTS_MAP}")
  endforeach()
endif()

list(JOIN wanted ", " wanted)
message(STATUS "Installed exactly: ${wanted}")
