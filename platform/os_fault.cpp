// Simulated full drive for tests: os_fault_write_after sets how many more bytes os_write may
// write; the write that crosses the limit is cut short and every later one fails with ENOSPC.
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
