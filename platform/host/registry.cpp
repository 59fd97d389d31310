// The emulated registry: kept in memory, loaded from and saved to ROOT/registry.reg.
#include "platform/host/machine.h"
#include "platform/os.h"

void os_host_registry_reset(void) {}
