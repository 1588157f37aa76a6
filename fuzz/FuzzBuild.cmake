# Initial cache of the fuzz build (cmake -C fuzz/FuzzBuild.cmake -S . -B build/fuzz):
# clang, the whole project instrumented for libFuzzer's coverage and checked
# by the address and undefined-behaviour sanitizers, only what the fuzzers need.
#
# The sanitizer runtime is clang's shared one: the project's own shared
# libraries (stand-ins, OpenWBEM) are linked with --no-undefined, so they must
# name the runtime they are instrumented for. Programs find it by their rpath.
set(CMAKE_C_COMPILER clang CACHE STRING "")
set(CMAKE_CXX_COMPILER clang++ CACHE STRING "")
set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "")
execute_process(COMMAND clang -print-runtime-dir OUTPUT_VARIABLE zep_fuzz_runtime_dir
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(zep_fuzz_flags "-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer")
set(zep_fuzz_link "-fsanitize=address,undefined -shared-libasan -Wl,-rpath,${zep_fuzz_runtime_dir}")
set(CMAKE_C_FLAGS "${zep_fuzz_flags}" CACHE STRING "")
set(CMAKE_CXX_FLAGS "${zep_fuzz_flags}" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "${zep_fuzz_link}" CACHE STRING "")
set(CMAKE_SHARED_LINKER_FLAGS "${zep_fuzz_link}" CACHE STRING "")
set(ZEP_BUILD_FUZZERS ON CACHE BOOL "")
set(ZEP_BUILD_TESTS OFF CACHE BOOL "")
set(ZEP_BUILD_BENCH OFF CACHE BOOL "")
