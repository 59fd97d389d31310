// Pieces shared by both OS-services halves (internal to platform/): the write-fault seam and the
// copy through a buffer.
#pragma once

// How many of the next n bytes a write may still put down before the simulated full drive;
// the answer is taken from the remaining allowance. n itself when the fault is off.
unsigned long os_fault_take(unsigned long n);
// 1 while a simulated full drive is set (os_fault_write_after), else 0.
int os_fault_active(void);
// os_copy by os_read into buf and os_write out of it.
long os_copy_through(int in, int out, void* buf, unsigned long size, int* write_failed);
