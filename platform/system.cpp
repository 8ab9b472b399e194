#include "platform/system.h"

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

}  // namespace plat
