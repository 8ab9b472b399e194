// A simulated machine with the window toolkit running headless on it.
#pragma once

#include "platform/sim/headless.h"
#include "sim_fixture.h"

class UiTest : public SimTest {
 protected:
  UiTest() : backend(m), app(backend) { app.Title = "Varnock"; }

  sim::HeadlessBackend backend;
  vcl::TApplication app;
};
