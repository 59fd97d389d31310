// The portable copy between two open files, through the caller's buffer: what os_copy falls back
// to on the host and what it is on Windows.
#include <cerrno>

#include "platform/fault.h"
#include "platform/os.h"

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
