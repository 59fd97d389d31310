// Processor identification through CPUID.
#include "platform/cpu.h"

#if defined(__i386__) && !defined(__x86_64__)
#include <cpuid.h>
#endif

int plat_cpu_has_sse2(void) {
#if defined(__x86_64__) || defined(_M_X64)
  return 1;
#elif defined(__i386__)
  static int answer = -1;
  if (answer < 0) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    // __get_cpuid checks that the processor has CPUID (the identification flag toggles) first.
    answer = (__get_cpuid(1, &a, &b, &c, &d) && (d & (1u << 26))) ? 1 : 0;
  }
  return answer;
#else
  return 0;
#endif
}
