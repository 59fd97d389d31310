# Cross build for 64-bit Windows with mingw-w64: the same code as the 32-bit build, for the
# machines whose kernel cannot execute 32-bit code, where the tests run under a 64-bit Wine instead
# (scripts/test). The win32-threads flavour, or the flavour MINGW_THREADS names
# (mingw-x86_64-posix.cmake sets posix for the tests). The shipped programs stay the 32-bit build.
if(NOT DEFINED MINGW_THREADS)
  set(MINGW_THREADS win32)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-${MINGW_THREADS})
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-${MINGW_THREADS})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test binaries run under a 64-bit Wine (tests/CMakeLists.txt gives every test SETUP_WINE_ARCH=win64).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
