# The target `openwbem` as a real OpenWBEM installation (scripts/openwbem
# builds one) instead of the stand-in in openwbem/: its headers as system
# headers, so its own warnings never fail our -Werror build, and the
# libraries a C++ provider links.
#
#   cmake -S . -B build/realhost -DZEP_OPENWBEM_ROOT=<prefix>
set(zep_ow_root "${ZEP_OPENWBEM_ROOT}")
# Plain paths, not cached look-ups: a new root must never meet an old answer.
set(ZEP_OPENWBEM_INCLUDE_DIR "${zep_ow_root}/include/openwbem")
if(NOT EXISTS "${ZEP_OPENWBEM_INCLUDE_DIR}/OW_config.h")
  message(FATAL_ERROR "ZEP_OPENWBEM_ROOT=${zep_ow_root}: no include/openwbem/OW_config.h there")
endif()
file(STRINGS "${ZEP_OPENWBEM_INCLUDE_DIR}/OW_config.h" zep_ow_version_line REGEX "define OW_VERSION ")
string(REGEX MATCH "\"[^\"]*\"" zep_ow_version "${zep_ow_version_line}")
message(STATUS "OpenWBEM: ${zep_ow_root} (version ${zep_ow_version})")
if(NOT zep_ow_version STREQUAL "\"3.0.3\"")
  message(FATAL_ERROR "OpenWBEM at ${zep_ow_root} reports ${zep_ow_version}: the provider is built for 3.0.3")
endif()

# The common library (CIM objects, strings, the logger) and the C++ provider
# interface (the provider base classes).
set(zep_ow_libs)
foreach(name openwbem owprovider owcppprovifc)
  set(lib "${zep_ow_root}/lib/lib${name}.so")
  if(NOT EXISTS "${lib}")
    message(FATAL_ERROR "ZEP_OPENWBEM_ROOT=${zep_ow_root}: no lib/lib${name}.so")
  endif()
  list(APPEND zep_ow_libs "${lib}")
endforeach()

add_library(openwbem INTERFACE)
target_include_directories(openwbem SYSTEM INTERFACE "${ZEP_OPENWBEM_INCLUDE_DIR}")
target_link_libraries(openwbem INTERFACE ${zep_ow_libs})

# An installation for a 32-bit target may be built with 64-bit file offsets
# (scripts/openwbem builds the target's so: under qemu-user on a 64-bit kernel
# readdir() fails without them), which OW_config.h does not record; its file
# interface then takes a 64-bit off_t, and code built against its headers must
# agree. The common library tells: the off_t of FileSystem::getFileSize is
# mangled x (long long) there, l (long) where off_t is a long.
file(STRINGS "${zep_ow_root}/lib/libopenwbem.so" zep_ow_off_t LIMIT_COUNT 1
     REGEX "^_ZN8OpenWBEM10FileSystem11getFileSizeERKNS_6StringERx$")
if(zep_ow_off_t)
  message(STATUS "OpenWBEM: built with 64-bit file offsets (_FILE_OFFSET_BITS=64)")
  target_compile_definitions(openwbem INTERFACE _FILE_OFFSET_BITS=64)
endif()

# What the tests run of it (tests/host/HostProcess.hpp finds the rest from
# the prefix): the daemon with its parts, and owmofc with the CIM qualifiers.
# A cross build's installation is the target's, whose owmofc cannot run here:
# ZEP_OPENWBEM_TOOLS_ROOT names an installation for the build machine whose
# owmofc and qualifiers the end-to-end tests use instead. A build without
# tests needs only the headers and libraries (a target sysroot's, say).
set(ZEP_OPENWBEM_TOOLS_ROOT "" CACHE PATH
    "Prefix of an OpenWBEM installation for the build machine, for its owmofc (cross builds; empty: ZEP_OPENWBEM_ROOT's)")
function(zep_ow_require variable root)
  foreach(rel ${ARGN})
    if(NOT EXISTS "${root}/${rel}")
      message(FATAL_ERROR "${variable}=${root}: no ${rel}")
    endif()
  endforeach()
endfunction()
if(ZEP_BUILD_TESTS)
  zep_ow_require(ZEP_OPENWBEM_ROOT "${zep_ow_root}" sbin/owcimomd lib/openwbem/c++providers
                 lib/openwbem/authentication/libsimpleauthentication.so)
  set(zep_ow_tools bin/owmofc share/openwbem/schemas/cim28/Core28_Qualifiers.mof)
  if(ZEP_OPENWBEM_TOOLS_ROOT)
    zep_ow_require(ZEP_OPENWBEM_TOOLS_ROOT "${ZEP_OPENWBEM_TOOLS_ROOT}" ${zep_ow_tools})
  elseif(NOT CMAKE_CROSSCOMPILING)
    zep_ow_require(ZEP_OPENWBEM_ROOT "${zep_ow_root}" ${zep_ow_tools})
  endif()
endif()
