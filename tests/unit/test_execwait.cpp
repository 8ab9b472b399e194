#include <string>
#include <vector>

#include "common/unOther.h"
#include "common/unReg_File.h"
#include "sim_fixture.h"

using namespace plat;

namespace {

class Exec : public SimTest {
 protected:
  // An installer that takes `ms` of time and writes ALLSetup when it ends.
  void AddInstaller(const std::string& path, std::uint32_t ms, const std::string& allSetup) {
    sim::Program p;
    p.runMs = ms;
    p.onExit = [allSetup](sim::SimMachine& mm, const sim::Launch&) {
      mm.SetString(w::HKLM, "Software\\Tenvox", "ALLSetup", allSetup);
    };
    m.AddProgram(path, p);
  }
  static Msg UserMsg(std::uintptr_t n) {
    Msg msg;
    msg.hwnd = 0x77;
    msg.message = w::WmUser;
    msg.wParam = n;
    return msg;
  }
};

TEST_F(Exec, StartsThroughTheShellAndWaitsForTheEnd) {
  AddInstaller("C:\\Prog\\bin\\Quenmar.exe", 5000, "1");
  ASSERT_TRUE(ExecAndWait("C:\\Prog\\bin\\Quenmar.exe", "COM", w::SwShowNormal));

  ASSERT_EQ(m.Launches().size(), 1u);
  const sim::Launch& l = m.Launches()[0];
  EXPECT_EQ(l.info.cbSize, 60u);
  EXPECT_EQ(l.info.fMask, 0x740u);
  EXPECT_EQ(l.info.hwnd, 0u);
  EXPECT_FALSE(l.info.verb.has_value());
  EXPECT_EQ(l.info.file, "C:\\Prog\\bin\\Quenmar.exe");
  EXPECT_EQ(l.info.parameters, std::optional<std::string>("COM"));
  EXPECT_FALSE(l.info.directory.has_value());
  EXPECT_EQ(l.info.nShow, 1);
  EXPECT_NE(l.info.hProcess, 0u);

  // Returned only once the installer had ended, with its writes visible.
  EXPECT_FALSE(l.running);
  EXPECT_EQ(l.ended, 5000u);
  EXPECT_EQ(m.Now(), 5000u);
  EXPECT_EQ(ReadRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup"), "1");
  EXPECT_EQ(m.OpenProcesses(), 0);  // process handle closed
  EXPECT_TRUE(m.Boxes().empty());
}

TEST_F(Exec, EmptyParametersArePassedAsEmptyText) {
  AddInstaller("C:\\Prog\\bin\\Ostrile.exe", 10, "1");
  ExecAndWait("C:\\Prog\\bin\\Ostrile.exe", "", w::SwShowNormal);
  ASSERT_EQ(m.Launches().size(), 1u);
  EXPECT_EQ(m.Launches()[0].info.parameters, std::optional<std::string>(""));
}

TEST_F(Exec, MissingFileReturnsFalseAtOnceWithoutABox) {
  EXPECT_FALSE(ExecAndWait("C:\\Prog\\bin\\Nothing.exe", "COM", w::SwShowNormal));
  EXPECT_EQ(m.Now(), 0u);
  EXPECT_TRUE(m.Launches().empty());
  EXPECT_TRUE(m.Boxes().empty());  // the shell's own box is switched off
  EXPECT_EQ(m.GetLastError(), w::ErrFileNotFound);
}

TEST_F(Exec, DocumentHandedToARunningProcessReturnsTrueAtOnce) {
  sim::Program doc;
  doc.handsOver = true;
  m.AddProgram("C:\\Prog\\bin\\Saphrel.htm", doc);
  EXPECT_TRUE(ExecAndWait("C:\\Prog\\bin\\Saphrel.htm", "", w::SwShowNormal));
  EXPECT_EQ(m.Now(), 0u);
  ASSERT_EQ(m.Launches().size(), 1u);
  EXPECT_EQ(m.Launches()[0].info.hProcess, 0u);
}

TEST_F(Exec, ConsoleProgramWithoutQueueIsWaitedFor) {
  sim::Program net;
  net.console = true;
  net.runMs = 700;
  m.AddProgram("C:\\windows\\system32\\net.exe", net);
  m.SetCurrentDirectory("C:\\windows\\system32");
  m.PostAt(300, UserMsg(1));  // a repaint of the caller's window, say
  EXPECT_TRUE(ExecAndWait("net.exe", "stop w3svc", w::SwHide));
  EXPECT_EQ(m.Now(), 700u);
  EXPECT_EQ(m.Launches()[0].info.nShow, 0);
  ASSERT_EQ(m.DispatchedMessages().size(), 1u);
  EXPECT_EQ(m.DispatchedMessages()[0].time, 300u);
}

TEST_F(Exec, EveryMessageIsDispatchedWhenItArrives) {
  AddInstaller("C:\\i.exe", 1000, "1");
  const std::vector<std::uint64_t> times = {0, 1, 250, 250, 999};
  for (std::size_t i = 0; i < times.size(); ++i) m.PostAt(times[i], UserMsg(i));
  ExecAndWait("C:\\i.exe", "", 1);
  const auto& d = m.DispatchedMessages();
  ASSERT_EQ(d.size(), times.size());
  for (std::size_t i = 0; i < d.size(); ++i) {
    EXPECT_EQ(d[i].msg.wParam, i);  // in order
    EXPECT_EQ(d[i].time, times[i]);  // no polling delay
    EXPECT_EQ(d[i].msg.hwnd, 0x77u);
  }
  EXPECT_EQ(m.Now(), 1000u);
}

TEST_F(Exec, QuitRequestDuringTheWaitIsPostedAgainAfterIt) {
  AddInstaller("C:\\i.exe", 1000, "1");
  m.PostAt(100, UserMsg(1));
  m.PostQuitAt(200, 3);
  m.PostAt(300, UserMsg(2));
  EXPECT_TRUE(ExecAndWait("C:\\i.exe", "", 1));
  // The wait went on to the installer's end, every other message was
  // dispatched, the quit request was dispatched to no window...
  EXPECT_EQ(m.Now(), 1000u);
  ASSERT_EQ(m.DispatchedMessages().size(), 2u);
  for (const auto& d : m.DispatchedMessages()) EXPECT_NE(d.msg.message, w::WmQuit);
  // ...and it is back in the queue for the caller's message loop.
  EXPECT_TRUE(m.QuitPending());
  EXPECT_EQ(m.QuitCode(), 3);
  Msg msg;
  ASSERT_TRUE(m.PeekMessage(msg, 0, 0, 0, w::PmRemove));
  EXPECT_EQ(msg.message, w::WmQuit);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Exec, NoQuitRequestIsInventedWhenNoneCame) {
  AddInstaller("C:\\i.exe", 50, "1");
  ExecAndWait("C:\\i.exe", "", 1);
  EXPECT_FALSE(m.QuitPending());
  EXPECT_EQ(m.QueueLength(), 0u);
}

TEST_F(Exec, HandlerRunNestedInsideTheWaitCanWaitToo) {
  // A click during the first installer starts a second one: it runs nested,
  // and both waits end in the right order.
  AddInstaller("C:\\outer.exe", 1000, "outer");
  AddInstaller("C:\\inner.exe", 300, "inner");
  m.PostAt(100, UserMsg(1));
  std::uint64_t innerReturned = 0;
  m.onDispatch = [&](const Msg&) {
    ExecAndWait("C:\\inner.exe", "", 1);
    innerReturned = m.Now();
    return std::intptr_t{0};
  };
  ExecAndWait("C:\\outer.exe", "", 1);
  EXPECT_EQ(innerReturned, 400u);
  EXPECT_EQ(m.Now(), 1000u);
  EXPECT_EQ(ReadRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup"), "outer");
  EXPECT_EQ(m.OpenProcesses(), 0);
}

TEST_F(Exec, EnvironmentVariablesInTheFileAreExpanded) {
  AddInstaller("C:\\Prog\\bin\\Quenmar.exe", 10, "1");
  m.SetEnvironment("PROG", "C:\\Prog");
  EXPECT_TRUE(ExecAndWait("%PROG%\\bin\\Quenmar.exe", "", 1));
  EXPECT_EQ(m.Launches().at(0).path, "C:\\Prog\\bin\\Quenmar.exe");
}

}  // namespace
