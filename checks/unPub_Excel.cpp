#include "checks/unPub_Excel.h"

#include <cstdint>
#include <string>

#include "common/errors.h"
#include "common/unReg_File.h"
#include "platform/automation.h"

using plat::OleObject;
using plat::ole;

namespace {

// Creates the WPS spreadsheet object, tells it to quit and releases it.
// False when any of that fails.
bool QuitWps() {
  try {
    OleObject wps(ole().CreateOleObject("Ket.Application"));
    ole().CallMethod(wps.get(), "Quit", {});
    return true;
  } catch (const EAppError&) {
    return false;
  }
}

}  // namespace

bool IsExcel32ByAutomation(int& version, bool& excelFound, bool& wpsFound) {
  bool result = true;
  excelFound = false;
  wpsFound = false;
  WriteUserRegString("SoftWare\\Tenvox", "ShowLoginWhenOpenExcel", "0");

  try {
    OleObject excel(ole().CreateOleObject("Excel.Application"));
    std::int32_t number = 0;
    const std::string text = ole().GetProperty(excel.get(), "Version").text;
    // A failed HRESULT has its top bit set (long may be wider than 32 bits).
    if (static_cast<std::int32_t>(ole().VarI4FromStr(text, number)) < 0)
      throw EAppError("Type mismatch.");
    version = number;
    if (number >= 14) {
      // From Office 14 on the 21st character of the product code is the
      // platform digit: '0' for 32-bit, '1' for 64-bit.
      const std::string code = ole().GetProperty(excel.get(), "ProductCode").text;
      if (code.size() > 20) result = code[20] == '0';
    }
    ole().CallMethod(excel.get(), "Quit", {});
    excel.reset();
    excelFound = true;
    return result;
  } catch (const EAppError&) {
    // The Excel attempt failed somewhere: WPS is asked instead.
  }

  result = QuitWps();
  wpsFound = result;
  return result;
}

bool IsOffice32(int& version, bool& officeFound, bool& wpsFound) {
  officeFound = false;
  wpsFound = false;
  version = 11;

  std::string bitness;
  for (int v = 11; v <= 18; ++v) {
    bitness = ReadRegString(plat::w::HKLM,
                            "SOFTWARE\\Microsoft\\Office\\" + std::to_string(v) + ".0\\Outlook",
                            "Bitness");
    if (!bitness.empty()) {
      version = v;
      break;
    }
  }
  officeFound = !bitness.empty();
  bool result = bitness != "x64";

  if (!officeFound) result = IsExcel32ByAutomation(version, officeFound, wpsFound);

  if (!officeFound && !wpsFound) {
    result = QuitWps();
    wpsFound = result;
  }
  return result;
}

bool CheckExcelFound(bool& bIsExcel32) {
  int version = 11;
  bool officeFound = false;
  bool wpsFound = false;
  bIsExcel32 = IsOffice32(version, officeFound, wpsFound);
  return officeFound || wpsFound;
}
