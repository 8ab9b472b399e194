// The simulated machine with a service manager and an automation world, and
// a machine on which every check passes without a message.
#pragma once

#include "platform/sim/sim_automation.h"
#include "platform/sim/sim_services.h"
#include "tests/unit/ui_fixture.h"

// Services, automation and the facts every check reads, installed for one
// scope on a given machine.
struct CheckWorld {
  sim::SimServiceManager services;
  sim::SimAutomation automation;
  sim::ScopedServices servicesScope{services};
  sim::ScopedAutomation automationScope{automation};

  // A running database engine, a running web server on Windows Server 2008
  // (no recommendation), and a 32-bit Office: every check passes quietly.
  void MakeReady(sim::SimMachine& m) {
    services.Add("MSSQLSERVER", "SQL Server (MSSQLSERVER)", sim::svc::Running);
    services.Add("w3svc", "World Wide Web Publishing Service", sim::svc::Running);
    m.SetOsVersion({6, 0, 6002, 2, ""});
    m.CreateKey(plat::w::HKLM, "SOFTWARE\\Microsoft\\W3SVC");
    m.SetString(plat::w::HKLM, "SOFTWARE\\Microsoft\\Office\\14.0\\Outlook", "Bitness", "x86");
  }
};

class CheckTest : public UiTest {
 protected:
  CheckWorld world;
  sim::SimServiceManager& services = world.services;
  sim::SimAutomation& automation = world.automation;
};
