# Coverage build (ZEP_COVERAGE): gcov writes a process's counts when it exits
# normally, and tests end zepsim and cimhost with SIGKILL to play a crash, or
# just to be rid of them. Those programs take SIGUSR2 first
# (testsupport::killAndReap): they write their counts, those of the provider
# library they loaded included, and then end by SIGKILL as before
# (cmake/CoverageDump.c).
add_library(zep_coverage_program OBJECT ${CMAKE_CURRENT_LIST_DIR}/CoverageDump.c)
target_compile_definitions(zep_coverage_program PRIVATE ZEP_COVERAGE_PROGRAM)
target_link_libraries(zep_coverage_program PUBLIC Threads::Threads ${CMAKE_DL_LIBS})
add_library(zep_coverage_library OBJECT ${CMAKE_CURRENT_LIST_DIR}/CoverageDump.c)
target_link_libraries(zep_coverage_library PUBLIC ${CMAKE_DL_LIBS})

foreach(program zepsim cimhost)
  if(TARGET ${program})
    target_link_libraries(${program} PRIVATE zep_coverage_program)
  endif()
endforeach()
if(TARGET QEL_ZEPProvider)
  target_link_libraries(QEL_ZEPProvider PRIVATE zep_coverage_library)
endif()
