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

# What the tests run of it (tests/host/HostProcess.hpp finds the rest from the prefix).
foreach(rel sbin/owcimomd bin/owmofc lib/openwbem/c++providers
            lib/openwbem/authentication/libsimpleauthentication.so
            share/openwbem/schemas/cim28/Core28_Qualifiers.mof)
  if(NOT EXISTS "${zep_ow_root}/${rel}")
    message(FATAL_ERROR "ZEP_OPENWBEM_ROOT=${zep_ow_root}: no ${rel}")
  endif()
endforeach()
