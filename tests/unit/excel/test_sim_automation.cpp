// The simulated automation world: what the detection tests rely on.
#include <gtest/gtest.h>

#include "platform/sim/sim_automation.h"

using plat::OleObject;
using plat::OleValue;
using sim::SimAutomation;
using sim::SimObject;

TEST(SimAutomation, VarI4FromStrFollowsWindowsUnderAPointLocale) {
  struct Case {
    const char* text;
    long hr;
    std::int32_t value;
  } cases[] = {
      {"14.0", 0, 14},         {" 14.0 ", 0, 14},        {"14", 0, 14},
      {"14.5", 0, 14},         {"15.5", 0, 16},          {"15.7", 0, 16},
      {"14.51", 0, 15},        {"-2.5", 0, -2},          {"+7", 0, 7},
      {"2147483647", 0, 2147483647},
      {"-2147483648", 0, INT32_MIN},
      {"abc", static_cast<long>(0x80020005u), 0},
      {"", static_cast<long>(0x80020005u), 0},
      {"14.0x", static_cast<long>(0x80020005u), 0},
      {"1 4", static_cast<long>(0x80020005u), 0},
      {".", static_cast<long>(0x80020005u), 0},
      {"2147483648", static_cast<long>(0x8002000Au), 0},
      {"99999999999999999999", static_cast<long>(0x8002000Au), 0},
  };
  SimAutomation a;
  for (const Case& c : cases) {
    std::int32_t v = 0;
    EXPECT_EQ(a.VarI4FromStr(c.text, v), c.hr) << '"' << c.text << '"';
    if (c.hr == 0) {
      EXPECT_EQ(v, c.value) << '"' << c.text << '"';
    }
  }
}

TEST(SimAutomation, ObjectsCountedCalledByNameAndReleased) {
  SimAutomation a;
  sim::ScopedAutomation scope(a);
  int quits = 0;
  a.Register("Excel.Application", [&] {
    return SimObject().Text("Version", "16.0").Call("Quit", [&](const std::vector<OleValue>&) {
      ++quits;
      return OleValue();
    });
  });
  {
    OleObject excel(plat::ole().CreateOleObject("excel.application"));
    EXPECT_EQ(plat::ole().GetProperty(excel.get(), "VERSION").text, "16.0");
    plat::ole().CallMethod(excel.get(), "quit", {});
    EXPECT_EQ(a.LiveObjects(), 1);
    try {
      plat::ole().GetProperty(excel.get(), "Nope");
      ADD_FAILURE() << "an unknown member answered";
    } catch (const EAppError& e) {
      EXPECT_STREQ(e.what(), SimAutomation::kUnknownName);
    }
  }
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(a.LiveObjects(), 0);
  EXPECT_EQ(a.Created("Excel.Application"), 1);
  EXPECT_EQ(a.BadReleases(), 0);
  EXPECT_EQ(a.Log(), (std::vector<std::string>{
                         "create Excel.Application", "get Excel.Application.VERSION",
                         "call Excel.Application.quit", "get Excel.Application.Nope",
                         "release Excel.Application"}));
}

TEST(SimAutomation, FailedCreationsRaiseAndLeaveNothingAlive) {
  SimAutomation a;
  a.Register("Ket.Application", []() -> SimObject { throw EAppError("Server execution failed"); });
  struct Case {
    const char* progId;
    const char* message;
  } cases[] = {{"Ket.Application", "Server execution failed"},
               {"Excel.Application", SimAutomation::kInvalidClassString}};
  for (const Case& c : cases) {
    try {
      a.CreateOleObject(c.progId);
      ADD_FAILURE() << c.progId << " was created";
    } catch (const EAppError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(a.CreateAttempts(c.progId), 1);
    EXPECT_EQ(a.Created(c.progId), 0);
  }
  EXPECT_EQ(a.LiveObjects(), 0);
}

TEST(SimAutomation, MethodsHandBackObjectsAndDoubleReleaseIsCounted) {
  SimAutomation a;
  a.Register("IISNamespace", [&] {
    return SimObject().Call("GetObject", [&](const std::vector<OleValue>& args) {
      EXPECT_EQ(args.size(), 2u);
      OleValue o;
      o.kind = OleValue::Kind::Object;
      o.object = a.NewObject("IIsWebService", SimObject().Call("Start"));
      return o;
    });
  });
  plat::Handle ns = a.CreateOleObject("IISNamespace");
  OleValue svc = a.CallMethod(ns, "GetObject",
                              {OleValue::Text("IIsWebService"), OleValue::Text("127.0.0.1/w3svc")});
  ASSERT_EQ(svc.kind, OleValue::Kind::Object);
  a.CallMethod(svc.object, "Start", {});
  EXPECT_EQ(a.LiveObjects(), 2);
  a.Release(svc.object);
  a.Release(ns);
  a.Release(ns);
  EXPECT_EQ(a.LiveObjects(), 0);
  EXPECT_EQ(a.BadReleases(), 1);
  EXPECT_THROW(a.CallMethod(ns, "GetObject", {}), EAppError);
  EXPECT_EQ(a.CoInitialize(), 0);
  EXPECT_EQ(a.CoInitialize(), 1);
}
