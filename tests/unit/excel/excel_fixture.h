// A simulated machine with a simulated automation world, and the Office,
// Excel and WPS installations the detection tests describe. A table test
// builds one `ExcelWorld` per case; `ExcelTest` is the same as a fixture.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/sim/sim_automation.h"
#include "platform/sim/sim_machine.h"

// The simulated machine resolves only absolute paths in FileExists; Windows
// resolves a relative one against the current directory, which Dellwin
// relies on. This machine does that.
class CwdMachine : public sim::SimMachine {
 public:
  void SetCurrentDirectory(const std::string& dir) {
    cwd_ = dir;
    SimMachine::SetCurrentDirectory(dir);
  }
  bool FileExists(const std::string& path) override {
    const bool absolute = (path.size() >= 2 && path[1] == ':') || (!path.empty() && path[0] == '\\');
    if (absolute) return SimMachine::FileExists(path);
    std::string dir = cwd_;
    if (!dir.empty() && dir.back() != '\\') dir += '\\';
    return SimMachine::FileExists(dir + path);
  }

 private:
  std::string cwd_ = "C:\\";
};

class ExcelWorld {
 public:
  ExcelWorld() : system_(m), ole_(a) {}

  // "Bitness" under the Outlook key of Office `version`.
  void Bitness(int version, const std::string& text) {
    m.SetString(plat::w::HKLM,
                "SOFTWARE\\Microsoft\\Office\\" + std::to_string(version) + ".0\\Outlook",
                "Bitness", text);
  }

  // An Excel that fails nowhere, or at this member ("Version",
  // "ProductCode", "Quit"), or already at its creation ("create").
  void Excel(const std::string& version, const std::string& productCode = "",
             const std::string& failAt = "") {
    a.Register("Excel.Application", [=]() -> sim::SimObject {
      if (failAt == "create") throw EAppError("Server execution failed");
      auto fail = [failAt](const std::string& member) {
        if (member == failAt) throw EAppError("Excel: " + member + " failed");
      };
      return sim::SimObject()
          .Get("Version", [=] { fail("Version"); return plat::OleValue::Text(version); })
          .Get("ProductCode", [=] { fail("ProductCode"); return plat::OleValue::Text(productCode); })
          .Call("Quit", [=](const std::vector<plat::OleValue>&) {
            fail("Quit");
            return plat::OleValue();
          });
    });
  }

  void Wps() { a.Register("Ket.Application", [] { return sim::SimObject().Call("Quit"); }); }

  std::optional<std::string> ShowLogin() const {
    return m.GetString(plat::w::HKCU, "SoftWare\\Tenvox", "ShowLoginWhenOpenExcel");
  }

  CwdMachine m;
  sim::SimAutomation a;

 private:
  sim::ScopedSystem system_;
  sim::ScopedAutomation ole_;
};

class ExcelTest : public ::testing::Test, public ExcelWorld {};
