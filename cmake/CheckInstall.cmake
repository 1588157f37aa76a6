# Installs a build tree into a scratch staging directory, as a package build
# does (DESTDIR), and checks that exactly the expected files arrive and that no
# installed library still looks for libraries in the build tree.
#
#   cmake -DBUILD_DIR=<build tree> -DSTAGE_DIR=<scratch> -DPREFIX=/usr
#         -DEXPECTED="<dir>/<file>|..." -P CheckInstall.cmake
#
# EXPECTED holds install destinations as the install rules give them: relative
# to the prefix, or absolute. '|' separates them ('; ' would not survive ctest).
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
list(JOIN wanted ", " wanted)
message(STATUS "Installed exactly: ${wanted}")
