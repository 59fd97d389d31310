// The install panel's choice: what Next does with the install type, the drive and the directory
// the user picked.
#include "base/pathutil.h"
#include "engine/destination.h"
#include "setup/panels.h"

int panelTypeSelection = 0;
int panelDriveSelection = 0;
int panelDriveCount = 0;
char panelDirText[INST_PATH_SIZE] = "";

void panelNext(void) {
  if (installChoose(panelTypeSelection, panelDriveSelection, panelDriveCount, panelDirText)) currentState = 3;
}
