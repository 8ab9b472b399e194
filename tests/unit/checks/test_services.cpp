#include <gtest/gtest.h>

#include "platform/sim/sim_services.h"

using namespace sim;

namespace {

TEST(SimServices, EntrySizeIsThe32BitRecordAndBothStrings) {
  SimService s;
  s.name = "w3svc";           // 6 units with NUL
  s.displayName = "W3 服务";  // 6 units with NUL
  EXPECT_EQ(SimServiceManager::EntrySize(s), 36u + 12u + 12u);
}

TEST(SimServices, EnumerationPagesWithBytesNeededAndResumeHandle) {
  SimServiceManager m;
  for (int i = 0; i < 5; ++i) m.Add("svc" + std::to_string(i), "Service " + std::to_string(i), svc::Running);
  const std::uint32_t one = SimServiceManager::EntrySize(m.Services()[0]);  // all equal
  const plat::Handle h = m.OpenSCManager(0xA0000000);
  ASSERT_NE(h, 0u);
  std::vector<plat::ServiceEntry> e;
  std::uint32_t needed = 0, resume = 0;
  EXPECT_FALSE(m.EnumServicesStatus(h, 0x13F, 3, 2 * one + 1, e, needed, resume));
  EXPECT_EQ(m.GetLastError(), 234);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[1].serviceName, "svc1");
  EXPECT_EQ(needed, 3 * one);
  EXPECT_EQ(resume, 2u);
  EXPECT_TRUE(m.EnumServicesStatus(h, 0x13F, 3, needed, e, needed, resume));
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].serviceName, "svc2");
  // A buffer too small for one entry returns none and asks for the rest.
  resume = 0;
  EXPECT_FALSE(m.EnumServicesStatus(h, 0x13F, 3, 10, e, needed, resume));
  EXPECT_TRUE(e.empty());
  EXPECT_EQ(needed, 5 * one);
  EXPECT_TRUE(m.CloseServiceHandle(h));
  EXPECT_EQ(m.OpenHandles(), 0);
}

TEST(SimServices, AccessRefusedAndMissingServices) {
  SimServiceManager m;
  m.Add("w3svc", "WWW", svc::Stopped);
  m.deniedManagerAccess = 0xF003F;
  EXPECT_EQ(m.OpenSCManager(0xF003F), 0u);
  EXPECT_EQ(m.GetLastError(), 5);
  m.deniedManagerAccess = 0x4;  // enumerate only
  const plat::Handle h = m.OpenSCManager(0x80000000);  // GENERIC_READ asks to enumerate
  EXPECT_EQ(h, 0u);
  m.deniedManagerAccess = 0;
  const plat::Handle all = m.OpenSCManager(0xF003F);
  EXPECT_EQ(m.OpenService(all, "nosuch", 0xF01FF), 0u);
  EXPECT_EQ(m.GetLastError(), 1060);
  const plat::Handle s = m.OpenService(all, "W3SVC", 0xF01FF);  // names ignore case
  ASSERT_NE(s, 0u);
  std::uint32_t state = 0;
  EXPECT_TRUE(m.QueryServiceStatus(s, state));
  EXPECT_EQ(state, svc::Stopped);
  EXPECT_TRUE(m.StartService(s));
  EXPECT_TRUE(m.QueryServiceStatus(s, state));
  EXPECT_EQ(state, svc::StartPending);
  EXPECT_FALSE(m.StartService(s));  // not stopped any more
  EXPECT_EQ(m.GetLastError(), 1056);
  m.CloseServiceHandle(s);
  m.CloseServiceHandle(all);
  EXPECT_FALSE(m.CloseServiceHandle(all));
  EXPECT_EQ(m.GetLastError(), 6);
  EXPECT_EQ(m.OpenHandles(), 0);
}

}  // namespace
