# Cross build for the target: 32-bit big-endian PowerPC Linux, with Debian's
# cross compiler (g++-powerpc-linux-gnu; `scripts/bootstrap cross`).
#
# Target programs run under qemu-user: ctest, gtest_discover_tests and the
# tests that start child programs (ZEP_TEST_LAUNCHER, tests/CMakeLists.txt)
# all go through CMAKE_CROSSCOMPILING_EMULATOR. The target's C library lives
# in /usr/powerpc-linux-gnu, which -L makes the emulated dynamic loader's root.
#
#   cmake -S . -B build/cross -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/powerpc-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)

set(ZEP_CROSS_TRIPLE powerpc-linux-gnu)
set(ZEP_CROSS_SYSROOT /usr/${ZEP_CROSS_TRIPLE})

set(CMAKE_C_COMPILER ${ZEP_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZEP_CROSS_TRIPLE}-g++)

# Libraries, headers and CMake packages come from the target's tree only; a
# host package (the distribution's x86 GTest, say) must never be picked up.
# Programs run at build time are the host's.
set(CMAKE_FIND_ROOT_PATH ${ZEP_CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(ZEP_QEMU_PPC qemu-ppc)
if(NOT ZEP_QEMU_PPC)
  message(FATAL_ERROR "qemu-ppc not found: run 'scripts/bootstrap cross' (package qemu-user)")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZEP_QEMU_PPC} -L ${ZEP_CROSS_SYSROOT})

# 32-bit PowerPC has no 64-bit atomic instructions: GCC turns std::atomic of
# 64-bit types into calls to libatomic. Every target program and library may
# link it, and only those that call it keep it as a dependency.
foreach(lang C CXX)
  set(CMAKE_${lang}_STANDARD_LIBRARIES_INIT "-Wl,--push-state,--as-needed -latomic -Wl,--pop-state")
endforeach()
