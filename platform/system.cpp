#include "platform/system.h"

#include "platform/automation.h"
#include "platform/services.h"

#include <cstdio>
#include <cstdlib>

namespace plat {

namespace {
System* g_system = nullptr;
}

System& sys() {
  if (!g_system) {
    std::fputs("no machine installed: the program entry must call SetSystem\n", stderr);
    std::abort();
  }
  return *g_system;
}

void SetSystem(System* system) { g_system = system; }

namespace {
Automation* g_automation = nullptr;
ServiceManager* g_services = nullptr;

[[noreturn]] void Missing(const char* what) {
  std::fputs("no ", stderr);
  std::fputs(what, stderr);
  std::fputs(" installed: the program entry must install one\n", stderr);
  std::abort();
}
}  // namespace

Automation& ole() {
  if (!g_automation) Missing("automation");
  return *g_automation;
}
void SetAutomation(Automation* automation) { g_automation = automation; }

ServiceManager& scm() {
  if (!g_services) Missing("service manager");
  return *g_services;
}
void SetServiceManager(ServiceManager* manager) { g_services = manager; }

}  // namespace plat
