// Dellwin: the client launcher. No window, no command line: it starts the
// client installer that fits the installed Office or WPS and ends.
#include "platform/win32/win.h"

#include "client/unDellwin.h"
#include "platform/win32/win32_automation.h"
#include "platform/win32/win32_system.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Elevated and started from a download folder: never load a DLL from
  // beside it or from the current folder.
  plat::HardenDllSearch();

  static plat::Win32System machine;
  plat::SetSystem(&machine);
  static plat::Win32Automation automation;
  plat::SetAutomation(&automation);
  return RunDellwin();
}
