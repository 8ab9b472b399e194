// Dellwin's start sequence on the simulated machine.
#include <functional>

#include "client/unDellwin.h"
#include "tests/unit/excel/excel_fixture.h"

TEST(Dellwin, TagFollowsTheDetection) {
  EXPECT_EQ(ClientTag(true, true, false), "x32");
  EXPECT_EQ(ClientTag(false, true, false), "x64");
  EXPECT_EQ(ClientTag(true, false, true), "x32");
  EXPECT_EQ(ClientTag(false, false, false), "x32");  // nothing found: the 32-bit client
}

namespace {
void Installers(ExcelWorld& t, const std::string& dir) {
  t.m.AddProgram(dir + "\\Harvend_x32.exe", {});
  t.m.AddProgram(dir + "\\Harvend_x64.exe", {});
}
}  // namespace

TEST(Dellwin, StartsTheMatchingInstallerAndEnds) {
  struct Case {
    const char* name;
    std::function<void(ExcelWorld&)> machine;
    const char* started;  // the registered program that ran, "" for none
    const char* file;     // what was handed to the shell
  } cases[] = {
      {"registry x64",
       [](ExcelWorld& t) { t.Bitness(16, "x64"); Installers(t, "C:\\setup\\bin"); },
       "C:\\setup\\bin\\Harvend_x64.exe", "bin\\Harvend_x64.exe"},
      {"registry x86",
       [](ExcelWorld& t) { t.Bitness(16, "x86"); Installers(t, "C:\\setup\\bin"); },
       "C:\\setup\\bin\\Harvend_x32.exe", "bin\\Harvend_x32.exe"},
      {"Excel 12 without a registry bitness",
       [](ExcelWorld& t) { t.Excel("12.0"); Installers(t, "C:\\setup\\bin"); },
       "C:\\setup\\bin\\Harvend_x32.exe", "bin\\Harvend_x32.exe"},
      {"Excel 16, 64-bit product code",
       [](ExcelWorld& t) { t.Excel("16.0", "{90160000-0011-0000-1000-0000000FF1CE}"); Installers(t, "C:\\setup\\bin"); },
       "C:\\setup\\bin\\Harvend_x64.exe", "bin\\Harvend_x64.exe"},
      {"only WPS", [](ExcelWorld& t) { t.Wps(); Installers(t, "C:\\setup\\bin"); },
       "C:\\setup\\bin\\Harvend_x32.exe", "bin\\Harvend_x32.exe"},
      {"nothing installed", [](ExcelWorld& t) { Installers(t, "C:\\setup\\bin"); },
       "C:\\setup\\bin\\Harvend_x32.exe", "bin\\Harvend_x32.exe"},
      {"no bin folder, installer beside",
       [](ExcelWorld& t) { t.Bitness(16, "x64"); Installers(t, "C:\\setup"); },
       "C:\\setup\\Harvend_x64.exe", "Harvend_x64.exe"},
      {"bin folder below the program's folder, not below the current directory",
       [](ExcelWorld& t) {
         t.m.SetProgramFile("C:\\program\\Dellwin.exe");
         Installers(t, "C:\\program\\bin");
       },
       "", "Harvend_x32.exe"},
      {"a folder named like the installer does not count",
       [](ExcelWorld& t) {
         t.m.AddFolder("C:\\setup\\bin\\Harvend_x32.exe");
         t.m.AddProgram("C:\\setup\\Harvend_x32.exe", {});
       },
       "C:\\setup\\Harvend_x32.exe", "Harvend_x32.exe"},
      {"nothing to start at all", [](ExcelWorld&) {}, "", "Harvend_x32.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExcelWorld t;
    t.m.SetCurrentDirectory("C:\\setup");
    t.m.SetProgramFile("C:\\setup\\Dellwin.exe");
    c.machine(t);
    EXPECT_EQ(RunDellwin(), 0);
    EXPECT_TRUE(t.m.Boxes().empty());
    EXPECT_EQ(t.a.LiveObjects(), 0);
    EXPECT_EQ(t.a.CoInitializeCalls(), 1);
    if (*c.started) {
      ASSERT_EQ(t.m.Launches().size(), 1u);
      const sim::Launch& l = t.m.Launches()[0];
      EXPECT_EQ(l.path, c.started);
      EXPECT_EQ(l.info.file, c.file);
      EXPECT_EQ(l.info.verb, std::optional<std::string>("open"));
      EXPECT_EQ(l.info.parameters, std::optional<std::string>(""));
      EXPECT_EQ(l.info.directory, std::nullopt);
      EXPECT_EQ(l.info.nShow, plat::w::SwShow);
      EXPECT_EQ(l.info.hwnd, 0u);
      EXPECT_TRUE(l.running) << "Dellwin waited for the installer";
    } else {
      EXPECT_TRUE(t.m.Launches().empty());
    }
  }
}

TEST(Dellwin, ChoosesBelowTheCurrentDirectory) {
  ExcelWorld t;
  t.Bitness(16, "x64");
  t.m.AddFile("C:\\setup\\bin\\Harvend_x64.exe");
  t.m.AddFile("D:\\other\\bin\\Harvend_x64.exe");
  t.m.SetCurrentDirectory("C:\\setup");
  EXPECT_EQ(ClientInstaller("x64"), "bin\\Harvend_x64.exe");
  EXPECT_EQ(ClientInstaller("x32"), "Harvend_x32.exe");
  t.m.SetCurrentDirectory("D:\\other\\");
  EXPECT_EQ(ClientInstaller("x64"), "bin\\Harvend_x64.exe");
  t.m.SetCurrentDirectory("E:\\");
  EXPECT_EQ(ClientInstaller("x64"), "Harvend_x64.exe");
}

TEST(Dellwin, RegistryErrorEndsWithAnErrorBoxAndExitCode1) {
  ExcelWorld t;
  t.m.SetDword(plat::w::HKLM, "SOFTWARE\\Microsoft\\Office\\16.0\\Outlook", "Bitness", 1);
  Installers(t, "C:\\bin");
  t.m.SetCurrentDirectory("C:\\");
  EXPECT_EQ(RunDellwin(), 1);
  ASSERT_EQ(t.m.Boxes().size(), 1u);
  EXPECT_EQ(t.m.Boxes()[0].caption, "Dellwin");
  EXPECT_EQ(t.m.Boxes()[0].style, 16u);
  EXPECT_EQ(t.m.Boxes()[0].text, "Invalid data type for 'Bitness'");
  EXPECT_TRUE(t.m.Launches().empty());
}
