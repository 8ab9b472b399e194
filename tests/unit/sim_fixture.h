// A fresh simulated machine installed for each test, with the process-wide
// language cache reset.
#pragma once

#include <gtest/gtest.h>

#include "common/unLang.h"
#include "platform/sim/sim_machine.h"

class SimTest : public ::testing::Test {
 protected:
  SimTest() : scope_(m) { ResetLanguage(); }
  ~SimTest() override { ResetLanguage(); }

  static void ResetLanguage() {
    sCurLang.clear();
    bLangRead = bLangA = bLangB = bLangC = false;
  }

  sim::SimMachine m;

 private:
  sim::ScopedSystem scope_;
};
