// Varnock: the setup launcher. One main window; it reads no command line.
#include "platform/win32/win.h"

#include "launcher/unSetupMain.h"
#include "platform/vcl.h"
#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_automation.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_system.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // An elevated program started from a download folder: never load a DLL
  // from beside it or from the current folder.
  plat::HardenDllSearch();

  static plat::Win32System machine;
  plat::SetSystem(&machine);
  static plat::Win32ServiceManager services;
  plat::SetServiceManager(&services);
  // COM and the OLE libraries are loaded by the first automation call.
  static plat::Win32Automation automation;
  plat::SetAutomation(&automation);
  plat::Win32Backend backend;
  vcl::TApplication app(backend);
  app.Title = "Varnock";

  std::unique_ptr<TfrmSetupMain> frmSetupMain;
  app.Invoke([&] { frmSetupMain = vcl::CreateForm<TfrmSetupMain>(); });
  if (!frmSetupMain) return 1;
  app.Run();
  return 0;
}
