# Cross-compiles the Windows programs on Debian with MinGW-w64 (posix threads model, for
# std::thread and std::mutex), and runs what the build has to run through wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable and nothing to ship beside it: the C and C++ runtimes and winpthreads are
# linked in, so only the system's own DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs are run through wine. Their test lists are read when ctest runs, not at every
# build, so building needs no wine prefix.
find_program(QV_WINE NAMES wine wine64)
if(QV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QV_WINE})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# GCC 12 reports -Wrestrict, -Warray-bounds, -Wstringop-overflow, -Wstringop-overread and
# -Wmaybe-uninitialized inside libstdc++'s own inlined code at -O2 (GCC bugs 105329, 105651,
# 106199 and 107919): std::string operator+, std::vector copies and push_back, tables of structs
# that hold strings. They are silenced for this compiler only; the Linux build checks the same
# code with them on.
set(CMAKE_CXX_FLAGS_INIT
    "-Wno-restrict -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread -Wno-maybe-uninitialized")
