#include "client/unDellwin.h"

#include "checks/unPub_Excel.h"
#include <exception>

#include "common/errors.h"
#include "platform/automation.h"
#include "platform/system.h"

std::string ClientTag(bool isOffice32, bool officeFound, bool wpsFound) {
  if (!officeFound && !wpsFound) return "x32";
  return isOffice32 ? "x32" : "x64";
}

std::string ClientInstaller(const std::string& tag) {
  const std::string name = "Harvend_" + tag + ".exe";
  const std::string path = "bin\\" + name;
  return plat::sys().FileExists(path) ? path : name;
}

int RunDellwin() {
  try {
    plat::ole().CoInitialize();
    int version = 11;
    bool officeFound = false;
    bool wpsFound = false;
    const bool isOffice32 = IsOffice32(version, officeFound, wpsFound);
    const std::string installer = ClientInstaller(ClientTag(isOffice32, officeFound, wpsFound));
    // The shell's answer is not looked at: nothing is reported either way.
    plat::sys().ShellExecute(0, "open", installer, "", "", plat::w::SwShow);
    return 0;
  } catch (const std::exception& e) {
    // EAppError (a registry error passed out of the detection) or any other.
    plat::sys().MessageBox(e.what(), "Dellwin", plat::w::MbIconHand);
    return 1;
  }
}
