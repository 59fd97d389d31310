// Install-type table (filled by the install-type code).
#include "install/insttype.h"

InstType instTypes[MAX_INST_TYPES];
int numInstTypes = 0;
