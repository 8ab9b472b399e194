// Dellwin's start sequence, apart from the Windows entry point: detect the
// spreadsheet's bitness, start the matching client installer through the
// shell without waiting for it, and end.
#pragma once

#include <string>

// "x32" or "x64" for a detection's outcome: a machine where neither Office
// nor WPS was found gets the 32-bit client.
std::string ClientTag(bool isOffice32, bool officeFound, bool wpsFound);

// "bin\Harvend_<tag>.exe" when that file exists below the current directory
// (a folder of that name does not count), else the bare "Harvend_<tag>.exe".
std::string ClientInstaller(const std::string& tag);

// The whole run after the platform is installed: CoInitialize, IsOffice32,
// ShellExecute(0, "open", installer, "", "", SW_SHOW). The exit code: 0
// whether or not the installer started; 1 after an error escaped the
// detection, which is shown in an error box captioned "Dellwin" first.
int RunDellwin();
