// Spreadsheet detection on the simulated machine and automation world.
#include <functional>

#include "checks/unPub_Excel.h"
#include "tests/unit/excel/excel_fixture.h"

namespace {
// Product codes whose 21st character is the platform digit.
const char* const kCode32 = "{90160000-0011-0000-0000-0000000FF1CE}";
const char* const kCode64 = "{90160000-0011-0000-1000-0000000FF1CE}";
}  // namespace

struct Detection {
  const char* name;
  std::function<void(ExcelWorld&)> machine;
  bool result;
  int version;
  bool officeFound;
  bool wpsFound;
  int excelAttempts;  // creations of "Excel.Application" tried
  int ketAttempts;    // creations of "Ket.Application" tried
  int quits;          // Quit calls on either
};

class Detect : public ExcelTest {};

TEST(Detection, Table) {
  const Detection cases[] = {
      {"x64 under 16.0 only", [](ExcelWorld& t) { t.Bitness(16, "x64"); t.Excel("16.0", kCode32); },
       false, 16, true, false, 0, 0, 0},
      {"x86 under 14.0, x64 under 16.0", [](ExcelWorld& t) { t.Bitness(14, "x86"); t.Bitness(16, "x64"); },
       true, 14, true, false, 0, 0, 0},
      {"X64 in capitals", [](ExcelWorld& t) { t.Bitness(15, "X64"); }, true, 15, true, false, 0, 0, 0},
      {"x64 under 18.0", [](ExcelWorld& t) { t.Bitness(18, "x64"); }, false, 18, true, false, 0, 0, 0},
      {"x64 under 19.0 is not looked at", [](ExcelWorld& t) { t.Bitness(19, "x64"); },
       false, 11, false, false, 1, 2, 0},
      {"Excel 12.0: ProductCode not read", [](ExcelWorld& t) { t.Excel("12.0", kCode64); },
       true, 12, true, false, 1, 0, 1},
      {"Excel 14.0, 21st character '1'", [](ExcelWorld& t) { t.Excel("14.0", kCode64); },
       false, 14, true, false, 1, 0, 1},
      {"Excel 16.0, 21st character '0'", [](ExcelWorld& t) { t.Excel("16.0", kCode32); },
       true, 16, true, false, 1, 0, 1},
      {"Excel 16.0, code of 20 characters", [](ExcelWorld& t) { t.Excel("16.0", "{90160000-0011-0000-"); },
       true, 16, true, false, 1, 0, 1},
      {"Excel 16.0, code of 21 ending in '1'", [](ExcelWorld& t) { t.Excel("16.0", "{90160000-0011-0000-1"); },
       false, 16, true, false, 1, 0, 1},
      {"Excel 16.0, empty code", [](ExcelWorld& t) { t.Excel("16.0", ""); }, true, 16, true, false, 1, 0, 1},
      {"Excel \" 15.7 \" rounds to 16", [](ExcelWorld& t) { t.Excel(" 15.7 ", kCode64); },
       false, 16, true, false, 1, 0, 1},
      {"Version that does not convert, WPS", [](ExcelWorld& t) { t.Excel("abc", kCode64); t.Wps(); },
       true, 11, false, true, 1, 1, 1},
      {"Version that does not convert, no WPS", [](ExcelWorld& t) { t.Excel("abc", kCode64); },
       false, 11, false, false, 1, 2, 0},
      {"only WPS", [](ExcelWorld& t) { t.Wps(); }, true, 11, false, true, 1, 1, 1},
      {"nothing at all", [](ExcelWorld&) {}, false, 11, false, false, 1, 2, 0},
      {"Excel fails to start, WPS", [](ExcelWorld& t) { t.Excel("16.0", kCode64, "create"); t.Wps(); },
       true, 11, false, true, 1, 1, 1},
      {"ProductCode fails after Version", [](ExcelWorld& t) { t.Excel("16.0", kCode64, "ProductCode"); },
       false, 16, false, false, 1, 2, 0},
      {"Quit fails after Version, WPS", [](ExcelWorld& t) { t.Excel("14.0", kCode64, "Quit"); t.Wps(); },
       true, 14, false, true, 1, 1, 2},
  };
  for (const Detection& c : cases) {
    SCOPED_TRACE(c.name);
    ExcelWorld t;  // a fresh machine per case
    c.machine(t);
    int version = -1;
    bool officeFound = true, wpsFound = true;
    EXPECT_EQ(IsOffice32(version, officeFound, wpsFound), c.result);
    EXPECT_EQ(version, c.version);
    EXPECT_EQ(officeFound, c.officeFound);
    EXPECT_EQ(wpsFound, c.wpsFound);
    EXPECT_EQ(t.a.CreateAttempts("Excel.Application"), c.excelAttempts);
    EXPECT_EQ(t.a.CreateAttempts("Ket.Application"), c.ketAttempts);
    EXPECT_EQ(t.a.Count("call Excel.Application.Quit") + t.a.Count("call Ket.Application.Quit"), c.quits);
    EXPECT_EQ(t.a.LiveObjects(), 0) << "an object was not released";
    EXPECT_EQ(t.a.BadReleases(), 0);
    EXPECT_EQ(t.m.OpenKeys(), 0);
    // ShowLoginWhenOpenExcel is set exactly when the automation was asked.
    EXPECT_EQ(t.ShowLogin().has_value(), c.excelAttempts > 0);
  }
}

TEST_F(Detect, ProductCodeIsReadOnlyFrom14AndWpsIsNotAskedAfterExcel) {
  Excel("13.0", kCode64);
  Wps();
  int version = 0;
  bool office = false, wps = false;
  EXPECT_TRUE(IsOffice32(version, office, wps));
  EXPECT_EQ(a.Log(), (std::vector<std::string>{"create Excel.Application",
                                                "get Excel.Application.Version",
                                                "call Excel.Application.Quit",
                                                "release Excel.Application"}));
}

TEST_F(Detect, WpsThatFailsToQuitIsReleasedAndTriedOnceMore) {
  a.Register("Ket.Application", [] {
    return sim::SimObject().Call("Quit", [](const std::vector<plat::OleValue>&) -> plat::OleValue {
      throw EAppError("The server threw an exception.");
    });
  });
  int version = 0;
  bool office = true, wps = true;
  EXPECT_FALSE(IsOffice32(version, office, wps));
  EXPECT_FALSE(wps);
  EXPECT_EQ(a.Created("Ket.Application"), 2);
  EXPECT_EQ(a.LiveObjects(), 0);
}

TEST(Detection, ShowLoginWhenOpenExcelIsWrittenOnlyWhenItDiffers) {
  struct Case {
    const char* name;
    std::optional<std::string> before;
    bool bitnessInRegistry;
    std::optional<std::string> after;
    int writes;
  } cases[] = {
      {"\"1\" before", "1", false, "0", 1},
      {"missing before", std::nullopt, false, "0", 1},
      {"\"0\" before: no write at all", "0", false, "0", 0},
      {"registry answers: untouched", "1", true, "1", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExcelWorld t;
    if (c.before) t.m.SetString(plat::w::HKCU, "Software\\Tenvox", "ShowLoginWhenOpenExcel", *c.before);
    if (c.bitnessInRegistry) t.Bitness(16, "x86");
    t.Excel("16.0", kCode32);
    const int writesBefore = t.m.RegWrites();
    int version = 0;
    bool office = false, wps = false;
    EXPECT_TRUE(IsOffice32(version, office, wps));
    EXPECT_EQ(t.ShowLogin(), c.after);
    EXPECT_EQ(t.m.RegWrites() - writesBefore, c.writes);
  }
}

TEST_F(Detect, RegistryErrorsPassOutBeforeAnyAutomation) {
  m.SetDword(plat::w::HKLM, "SOFTWARE\\Microsoft\\Office\\12.0\\Outlook", "Bitness", 1);
  Excel("16.0", kCode32);
  int version = 0;
  bool office = false, wps = false;
  EXPECT_THROW(IsOffice32(version, office, wps), EAppError);
  EXPECT_EQ(a.CreateAttempts("Excel.Application"), 0);
  EXPECT_EQ(m.OpenKeys(), 0);
}

TEST(Detection, ShowLoginValueThatCannotBeWrittenPassesOut) {
  struct Case {
    const char* name;
    std::function<void(ExcelWorld&)> machine;
  } cases[] = {
      {"value of type REG_DWORD",
       [](ExcelWorld& t) { t.m.SetDword(plat::w::HKCU, "SoftWare\\Tenvox", "ShowLoginWhenOpenExcel", 1); }},
      {"key refuses writing",
       [](ExcelWorld& t) {
         t.m.SetString(plat::w::HKCU, "SoftWare\\Tenvox", "ShowLoginWhenOpenExcel", "1");
         t.m.DenyAccess(plat::w::HKCU, "SoftWare\\Tenvox", plat::w::KeySetValue);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExcelWorld t;
    c.machine(t);
    t.Excel("16.0", kCode32);
    int version = 0;
    bool office = false, wps = false;
    EXPECT_THROW(IsOffice32(version, office, wps), EAppError);
    EXPECT_EQ(t.a.CreateAttempts("Excel.Application"), 0);
  }
}

TEST(Detection, CheckExcelFoundReportsFoundAndBitness) {
  struct Case {
    const char* name;
    std::function<void(ExcelWorld&)> machine;
    bool found;
    bool isExcel32;
  } cases[] = {
      {"registry x64", [](ExcelWorld& t) { t.Bitness(16, "x64"); }, true, false},
      {"only WPS", [](ExcelWorld& t) { t.Wps(); }, true, true},
      {"nothing", [](ExcelWorld&) {}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExcelWorld t;
    c.machine(t);
    bool isExcel32 = !c.isExcel32;
    EXPECT_EQ(CheckExcelFound(isExcel32), c.found);
    EXPECT_EQ(isExcel32, c.isExcel32);
    EXPECT_TRUE(t.m.Boxes().empty());
  }
}
