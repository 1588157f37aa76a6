# The fake gateway program (fake_zep.cpp): joins the message framework as
# "zep" and takes commands on stdin. Used by the link's and the provider's
# tests and by the benchmarks; included wherever it is first needed.
if(NOT TARGET fake_zep)
  add_executable(fake_zep ${CMAKE_CURRENT_LIST_DIR}/fake_zep.cpp)
  target_link_libraries(fake_zep PRIVATE zep_wire HulShared Threads::Threads)
endif()
