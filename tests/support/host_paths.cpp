// Linked into the tests of the file readers, which work on files they make in the host's
// temporary directories: on the host the OS services then take those host paths as they stand
// (the emulated machine has tests of its own). Windows paths are the system's own anyway.
#ifndef _WIN32
#include "platform/host/machine.h"

namespace {
const int nativePaths = (os_host_native_paths(1), 0);
}  // namespace
#endif
