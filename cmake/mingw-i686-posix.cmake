# Cross build for 32-bit Windows, the test configuration: the shipped programs' architecture, with
# the posix-threads flavour of mingw-w64 because GoogleTest needs std::mutex (linked statically like
# everything else). The test programs run under a 32-bit Wine through wine-run.
set(MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
