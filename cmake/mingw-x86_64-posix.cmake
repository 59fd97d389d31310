# Cross build for 64-bit Windows, the test configuration where 32-bit code cannot run: the same
# code as mingw-i686-posix.cmake, with the posix-threads flavour of mingw-w64 because GoogleTest
# needs std::mutex (linked statically like everything else). The test programs run under a 64-bit
# Wine through wine-run.
set(MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)
