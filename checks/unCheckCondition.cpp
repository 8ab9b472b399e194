#include "launcher/unSetupMain.h"

// Stand-in until the check dialog exists: every check passes and the
// spreadsheet application counts as 32-bit.
bool ShowCheckCondition(int, bool& isExcel32) {
  isExcel32 = true;
  return true;
}
