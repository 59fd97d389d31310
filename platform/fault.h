// Write-fault seam shared by both OS-services halves (internal to platform/).
#pragma once

// How many of the next n bytes a write may still put down before the simulated full drive;
// the answer is taken from the remaining allowance. n itself when the fault is off.
unsigned long os_fault_take(unsigned long n);
