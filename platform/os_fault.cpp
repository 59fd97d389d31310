// Simulated full drive for tests: os_fault_write_after sets how many more bytes os_write may
// write; the write that crosses the limit is cut short and every later one fails with ENOSPC.
// Also the portable copy between two open files through a caller's buffer.
#include <cerrno>

#include "platform/fault.h"
#include "platform/os.h"

namespace {
long long remaining = -1;  // negative: no fault
}

void os_fault_write_after(long long bytes) { remaining = bytes < 0 ? -1 : bytes; }

unsigned long os_fault_take(unsigned long n) {
  if (remaining < 0) return n;
  unsigned long long fits = static_cast<unsigned long long>(remaining);
  unsigned long allowed = n < fits ? n : static_cast<unsigned long>(fits);
  remaining -= static_cast<long long>(allowed);
  return allowed;
}

int os_fault_active(void) { return remaining >= 0 ? 1 : 0; }

long os_copy_through(int in, int out, void* buf, unsigned long size, int* write_failed) {
  *write_failed = 0;
  long got = os_read(in, buf, size);
  if (got <= 0) return got;
  long put = os_write(out, buf, static_cast<unsigned long>(got));
  if (put != got) {
    if (put >= 0) errno = ENOSPC;  // a short write: the drive is full
    *write_failed = 1;
    return -1;
  }
  return got;
}
