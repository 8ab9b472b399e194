#include <string>
#include <vector>

#include "common/errors.h"
#include "common/unLang.h"
#include "branding_file.h"
#include "checks/check_fixture.h"
#include "launcher/unSetupMain.h"

using namespace plat;

namespace {

const char* const kBin = "C:\\Program Files\\Tenvox\\bin\\";
const char* const kBrandingFile = "C:\\Program Files\\Tenvox\\bin\\Lumeno.dat";

void AddBranding(sim::SimMachine& machine) { machine.AddFile(kBrandingFile, testbrand::DefaultFile()); }

class SetupMain : public UiTest {
 protected:
  // Every check of the check dialog passes quietly; it ends with OK 1.5 s
  // after an install button is pressed.
  SetupMain() {
    AddBranding(m);
    checks.MakeReady(m);
  }
  CheckWorld checks;

  void Store(const std::string& code) { m.SetString(w::HKCU, "Software\\Tenvox", "CurLang", code); }

  std::unique_ptr<TfrmSetupMain> Start() {
    auto f = vcl::CreateForm<TfrmSetupMain>();
    f->Show();
    return f;
  }

  // An installer that runs for `ms` and writes `allSetup` (unless empty)
  // and, for the middleware installer, COMPart.
  void AddInstaller(const std::string& name, std::uint32_t ms, const std::string& allSetup,
                    const std::string& comPart = "") {
    sim::Program p;
    p.runMs = ms;
    p.onExit = [allSetup, comPart](sim::SimMachine& mm, const sim::Launch&) {
      if (!allSetup.empty()) mm.SetString(w::HKLM, "Software\\Tenvox", "ALLSetup", allSetup);
      if (!comPart.empty()) mm.SetString(w::HKLM, "Software\\Tenvox", "COMPart", comPart);
    };
    m.AddProgram(std::string(kBin) + name, p);
  }

  struct Started {
    std::string file, params;
    int show;
  };
  std::vector<Started> Launched() const {
    std::vector<Started> out;
    for (const auto& l : m.Launches())
      out.push_back({l.info.file, l.info.parameters.value_or("(null)"), l.info.nShow});
    return out;
  }
};

TEST_F(SetupMain, FirstState) {
  auto f = Start();
  EXPECT_EQ(f->ClientWidth(), 585);
  EXPECT_EQ(f->ClientHeight(), 436);
  EXPECT_EQ(f->Color, vcl::clWindow);

  struct Row {
    vcl::TControl* c;
    int x, y, w, h;
    std::string caption;
    bool enabled, visible;
  };
  const std::vector<Row> rows = {
      {&f->Image1, 0, 0, 585, 69, "", true, true},
      {&f->Shape1, 0, 68, 587, 1, "", true, true},
      {&f->Label1, 14, 82, 96, 12, "请选择安装类型：", true, true},
      {&f->radAll, 37, 105, 409, 15, "整体快速安装（包括服务器、Excel客户端、报表助手、数据库MSDE2000）", true, true},
      {&f->btnAll, 493, 105, 75, 41, "安装...", true, true},
      {&f->Label5, 61, 129, 276, 12, "适合在既是作服务器又作客户机的电脑上快速安装。", true, true},
      {&f->radServer, 37, 164, 121, 15, "服务器 - 常规安装", true, true},
      {&f->btnServer, 181, 164, 75, 41, "安装...", false, true},
      {&f->Label6, 61, 188, 108, 12, "适合大多数用户安装", true, true},
      {&f->radServers, 37, 221, 121, 15, "服务器 - 高级安装", true, true},
      {&f->Label7, 61, 248, 114, 12, "中间件服务器 - 安装", true, true},
      {&f->btnServer1, 181, 240, 75, 25, "安装...", false, true},
      {&f->Label8, 61, 276, 102, 12, "网络服务器 - 安装", true, true},
      {&f->btnServer2, 181, 272, 75, 25, "安装...", false, true},
      {&f->radClient, 37, 310, 187, 15, "Excel客户端、报表助手 - 安装", true, true},
      {&f->btnClient, 277, 305, 75, 25, "安装...", false, true},
      {&f->Label9, 61, 336, 372, 12, "建议远程的计算机直接从 网络服务器 下载客户端安装程序进行安装，", true, true},
      {&f->Label3, 61, 351, 204, 12, "这样就可以省去拷贝安装程序的麻烦。", true, true},
      {&f->comboLang, 37, 397, 84, 20, "", true, true},
      {&f->btnOK, 291, 397, 75, 22, "确定", true, false},
      {&f->btnCancel, 435, 397, 75, 22, "关闭", true, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.c->Name());
    EXPECT_EQ(r.c->Left(), r.x);
    EXPECT_EQ(r.c->Top(), r.y);
    EXPECT_EQ(r.c->Width(), r.w);
    EXPECT_EQ(r.c->Height(), r.h);
    EXPECT_EQ(r.c->Caption(), r.caption);
    EXPECT_EQ(r.c->Enabled(), r.enabled);
    EXPECT_EQ(r.c->Visible(), r.visible);
  }
  backend.PaintPending();
  EXPECT_EQ(f->SymbolLine1.Left(), 10);
  EXPECT_EQ(f->SymbolLine1.Width(), 561);
  EXPECT_EQ(f->SymbolLine1.Top(), 372);
  EXPECT_TRUE(f->radAll.Checked());
  EXPECT_EQ(f->comboLang.Items(), (std::vector<std::string>{"简体中文", "繁體中文", "English"}));
  EXPECT_EQ(f->comboLang.ItemIndex(), 0);
  EXPECT_EQ(f->Image1.Picture().Width, 585);
  EXPECT_EQ(f->Image1.Picture().Height, 70);
  EXPECT_EQ(f->Image1.Picture().Pixels.at(35 * 585), 0xFFFFFFu);  // the branding banner
  EXPECT_EQ(f->Caption(), "汇报通 6.3 - 高级版");
  EXPECT_EQ(f->SymbolLine1.Caption(), "Tenvox Ltd.");
  EXPECT_TRUE(f->btnCancel.Cancel);

  std::vector<std::string> order;
  for (vcl::TControl* c : f->TabOrderList()) order.push_back(c->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"btnOK", "btnCancel", "btnAll", "btnServer",
                                             "btnServer1", "btnServer2", "radAll", "radServer",
                                             "radServers", "radClient", "btnClient", "comboLang"}));
}

TEST_F(SetupMain, RadioButtonsEnableTheirInstallButtons) {
  auto f = Start();
  struct Case {
    vcl::TRadioButton* radio;
    bool all, server, server1, server2, client;
  };
  const std::vector<Case> cases = {
      {&f->radServers, false, false, true, true, false},
      {&f->radServer, false, true, false, false, false},
      {&f->radClient, false, false, false, false, true},
      {&f->radAll, true, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.radio->Name());
    vcl::UserClick(*c.radio);
    EXPECT_TRUE(c.radio->Checked());
    int checked = 0;
    for (auto* r : {&f->radAll, &f->radServer, &f->radServers, &f->radClient}) checked += r->Checked();
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(f->btnAll.Enabled(), c.all);
    EXPECT_EQ(f->btnServer.Enabled(), c.server);
    EXPECT_EQ(f->btnServer1.Enabled(), c.server1);
    EXPECT_EQ(f->btnServer2.Enabled(), c.server2);
    EXPECT_EQ(f->btnClient.Enabled(), c.client);
  }
}

struct StartCase {
  std::optional<std::string> stored;
  std::string title, label1, fontName;
  int fontSize, serverLeft, comboIndex;
  std::string storedAfter;  // "" = no value
};

TEST_F(SetupMain, StartUpInEachStoredLanguage) {
  const std::vector<StartCase> cases = {
      {std::nullopt, "汇报通 6.3 - 高级版", "请选择安装类型：", "宋体", 9, 181, 0, ""},
      {"", "汇报通 6.3 - 高级版", "请选择安装类型：", "宋体", 9, 181, 0, ""},
      {"A", "汇报通 6.3 - 高级版", "请选择安装类型：", "宋体", 9, 181, 0, "A"},
      {"B", "V6.3.1版 安裝程式 - 高級版", "請選擇安裝類型：", "宋体", 9, 181, 1, "B"},
      {"C", "V6.3.1 Setup Program  - Advanced", "Please select a installation:", "Tahoma", 8, 280, 2, "C"},
      {"b", "V6.3.1版 安装程序 - 高级版", "请选择安装类型：", "宋体", 9, 181, 0, "A"},
      {"D", "V6.3.1版 安装程序 - 高级版", "请选择安装类型：", "宋体", 9, 181, 0, "A"},
  };
  for (const StartCase& tc : cases) {
    SCOPED_TRACE(tc.stored.value_or("(none)"));
    sim::HeadlessWorld world;
    sim::SimMachine& machine = world.machine;
    ResetLanguage();
    if (tc.stored) machine.SetString(w::HKCU, "Software\\Tenvox", "CurLang", *tc.stored);
    AddBranding(machine);
    auto f = vcl::CreateForm<TfrmSetupMain>();
    f->Show();
    EXPECT_EQ(f->Caption(), tc.title);
    // The add-in name stays only with the Simplified texts of the design.
    const bool branded = tc.title.rfind("汇报通", 0) == 0;
    EXPECT_EQ(f->radClient.Caption(), branded ? "Excel客户端、报表助手 - 安装"
                                                : tc.storedAfter == "B" ? "Excel用戶端、Pellora - 安裝"
                                                : tc.storedAfter == "C" ? "Excel Client,Report Agent - Setup"
                                                                        : "Excel客户端、Pellora - 安装");
    EXPECT_EQ(f->Image1.Picture().Pixels.at(35 * 585), 0xFFFFFFu);
    EXPECT_EQ(f->Label1.Caption(), tc.label1);
    EXPECT_EQ(f->Font().Name, tc.fontName);
    EXPECT_EQ(f->Font().Size(), tc.fontSize);
    EXPECT_EQ(f->Label1.Font().Name, tc.fontName);  // controls follow the window's font
    EXPECT_EQ(f->btnServer.Left(), tc.serverLeft);
    EXPECT_EQ(f->comboLang.ItemIndex(), tc.comboIndex);
    EXPECT_EQ(machine.GetString(w::HKCU, "Software\\Tenvox", "CurLang").value_or(""), tc.storedAfter);
    EXPECT_EQ(f->SymbolLine1.Caption(), "Tenvox Ltd.");
    EXPECT_TRUE(machine.Boxes().empty());
  }
}

TEST_F(SetupMain, NoFlagAtCreationLeavesOnlyTheFixedSteps) {
  // A form created while the code is unknown: only the base captions (none
  // for an unknown code), the English edition name and the button positions.
  Store("D");
  auto f = vcl::CreateForm<TfrmSetupMain>();
  EXPECT_EQ(f->Caption(), "V6.3.1版 安装程序 - Advanced");
  EXPECT_EQ(f->Label1.Caption(), "请选择安装类型：");
  EXPECT_EQ(f->btnCancel.Caption(), "关闭");
  EXPECT_EQ(f->btnOK.Caption(), "确定");
}

TEST_F(SetupMain, LanguageSwitchToEnglishAndBack) {
  auto f = Start();
  vcl::UserSelect(f->comboLang, 2);
  EXPECT_EQ(m.GetString(w::HKCU, "Software\\Tenvox", "CurLang"), "C");
  EXPECT_TRUE(bLangC);
  EXPECT_EQ(f->Caption(), "V6.3.1 Setup Program  - Advanced");
  for (auto* b : {&f->btnAll, &f->btnServer, &f->btnServer1, &f->btnServer2, &f->btnClient})
    EXPECT_EQ(b->Caption(), "Setup...");
  EXPECT_EQ(f->btnCancel.Caption(), "Exit");
  EXPECT_EQ(f->btnOK.Caption(), "OK");
  EXPECT_EQ(f->Label9.Caption(),
            "Recommended for remote computers from a network server to download the client ");
  EXPECT_EQ(f->radAll.Caption(),
            "Overall express install (including Server,Excel client,Report agent,MSDE)");
  EXPECT_EQ(f->btnServer.Left(), 280);
  EXPECT_EQ(f->btnServer1.Left(), 230);
  EXPECT_EQ(f->btnServer2.Left(), 230);
  EXPECT_EQ(f->Font().Name, "Tahoma");
  EXPECT_EQ(f->Font().Height, -11);
  EXPECT_EQ(f->sLangFlag, "A");  // kept from creation

  vcl::UserSelect(f->comboLang, 1);
  EXPECT_EQ(f->Caption(), "V6.3.1版 安裝程式 - 高級版");
  EXPECT_EQ(f->radClient.Caption(), "Excel用戶端、Pellora - 安裝");
  EXPECT_EQ(f->btnCancel.Caption(), "關閉");

  vcl::UserSelect(f->comboLang, 0);
  EXPECT_EQ(f->Caption(), "V6.3.1版 安装程序 - 高级版");  // the branding title is not applied again
  EXPECT_EQ(f->radAll.Caption(), "整体快速安装（包括服务器、Excel客户端、Pellora、数据库MSDE2000）");
  EXPECT_EQ(f->SymbolLine1.Caption(), "Tenvox Ltd.");
  EXPECT_EQ(f->Font().Name, "宋体");
  EXPECT_EQ(f->Font().Height, -12);
  for (auto* b : {&f->btnServer, &f->btnServer1, &f->btnServer2}) EXPECT_EQ(b->Left(), 181);
  EXPECT_EQ(f->btnAll.Left(), 493);
  EXPECT_EQ(f->btnClient.Left(), 277);
  EXPECT_TRUE(f->btnAll.Enabled());  // enabled states untouched
  EXPECT_FALSE(f->btnServer.Enabled());
}

TEST_F(SetupMain, LanguageCodesAndIndexes) {
  EXPECT_EQ(TfrmSetupMain::IndexToLangCode(0), "A");
  EXPECT_EQ(TfrmSetupMain::IndexToLangCode(1), "B");
  for (int i : {2, 3, -1}) EXPECT_EQ(TfrmSetupMain::IndexToLangCode(i), "C");
  EXPECT_EQ(TfrmSetupMain::LangCodeToIndex("A"), 0);
  EXPECT_EQ(TfrmSetupMain::LangCodeToIndex("B"), 1);
  EXPECT_EQ(TfrmSetupMain::LangCodeToIndex("C"), 2);
  for (const char* c : {"c", "b", "", "D", " A"}) EXPECT_EQ(TfrmSetupMain::LangCodeToIndex(c), 0);
}

struct FolderCase {
  std::optional<std::string> comPart;
  std::vector<std::string> folders;
  std::string expected;
};

TEST_F(SetupMain, MiddlewareFolder) {
  const std::vector<FolderCase> cases = {
      {"C:\\Prog\\COM+", {"C:\\Prog"}, "C:\\Prog"},
      {"C:\\Prog\\COM+", {}, "C:\\Prog\\COM+"},
      {"C:\\Prog+", {"C:\\Prog+"}, "C:\\Prog+"},
      {"C:\\A\\COM+\\B\\COM+", {"C:\\A\\B\\COM+"}, "C:\\A\\B\\COM+"},  // first occurrence only
      {"C:\\Prog\\com+", {"C:\\Prog"}, "C:\\Prog\\com+"},             // exact case
      {"C:\\Prog", {}, "C:\\Prog"},
      {std::nullopt, {}, ""},
  };
  auto f = Start();
  for (const FolderCase& tc : cases) {
    SCOPED_TRACE(tc.comPart.value_or("(none)"));
    sim::SimMachine machine;
    sim::ScopedSystem scope(machine);
    machine.SetString(w::HKLM, "Software\\Tenvox", "ALLSetup", "1");
    if (tc.comPart) machine.SetString(w::HKLM, "Software\\Tenvox", "COMPart", *tc.comPart);
    for (const auto& d : tc.folders) machine.AddFolder(d);
    EXPECT_EQ(f->GetMiddlewareFolder(), tc.expected);
    EXPECT_EQ(machine.GetString(w::HKLM, "Software\\Tenvox", "ALLSetup"), "0");
  }
}

struct ChainCase {
  std::string name;
  vcl::TRadioButton* (*radio)(TfrmSetupMain&);
  vcl::TButton* (*button)(TfrmSetupMain&);
  std::string middlewareWrites, webWrites;  // what each installer leaves in ALLSetup
  std::string before;                       // ALLSetup before the chain
  std::vector<std::pair<std::string, std::string>> started;
};

TEST_F(SetupMain, InstallChains) {
  const std::string q = std::string(kBin) + "Quenmar.exe";
  const std::string o = std::string(kBin) + "Ostrile.exe";
  const std::string x32 = std::string(kBin) + "Harvend_x32.exe";
  const std::string folder = "\"C:\\Prog\"";
  auto all = [](TfrmSetupMain& f) { return &f.radAll; };
  auto server = [](TfrmSetupMain& f) { return &f.radServer; };
  auto servers = [](TfrmSetupMain& f) { return &f.radServers; };
  auto client = [](TfrmSetupMain& f) { return &f.radClient; };
  const std::vector<ChainCase> cases = {
      {"type 1, both write 1", all, [](TfrmSetupMain& f) { return &f.btnAll; }, "1", "1", "",
       {{q, "COM"}, {o, "WEB_CLIENT " + folder}, {x32, "CLIENT " + folder}}},
      {"type 1, web installer does not write 1", all, [](TfrmSetupMain& f) { return &f.btnAll; },
       "1", "", "", {{q, "COM"}, {o, "WEB_CLIENT " + folder}}},
      {"type 1, middleware writes nothing", all, [](TfrmSetupMain& f) { return &f.btnAll; }, "", "",
       "", {{q, "COM"}}},
      {"type 1, 1 left from an earlier run", all, [](TfrmSetupMain& f) { return &f.btnAll; }, "",
       "1", "1", {{q, "COM"}, {o, "WEB_CLIENT " + folder}, {x32, "CLIENT " + folder}}},
      {"type 1, '1 ' is not 1", all, [](TfrmSetupMain& f) { return &f.btnAll; }, "1 ", "1", "",
       {{q, "COM"}}},
      {"type 1, 'true' is not 1", all, [](TfrmSetupMain& f) { return &f.btnAll; }, "true", "1", "",
       {{q, "COM"}}},
      {"type 2", server, [](TfrmSetupMain& f) { return &f.btnServer; }, "1", "1", "",
       {{q, "COM"}, {o, "WEB " + folder}}},
      {"type 2, middleware fails", server, [](TfrmSetupMain& f) { return &f.btnServer; }, "0", "1",
       "", {{q, "COM"}}},
      {"type 3", servers, [](TfrmSetupMain& f) { return &f.btnServer1; }, "1", "1", "", {{q, ""}}},
      {"type 4", servers, [](TfrmSetupMain& f) { return &f.btnServer2; }, "1", "1", "", {{o, ""}}},
      {"type 5", client, [](TfrmSetupMain& f) { return &f.btnClient; }, "1", "1", "", {{x32, ""}}},
  };
  for (const ChainCase& tc : cases) {
    SCOPED_TRACE(tc.name);
    sim::HeadlessWorld world;
    sim::SimMachine& machine = world.machine;
    CheckWorld cw;
    cw.MakeReady(machine);
    ResetLanguage();
    auto add = [&](const std::string& path, const std::string& writes, const std::string& comPart) {
      sim::Program p;
      p.runMs = 1000;
      p.onExit = [writes, comPart](sim::SimMachine& mm, const sim::Launch&) {
        if (!writes.empty()) mm.SetString(w::HKLM, "Software\\Tenvox", "ALLSetup", writes);
        if (!comPart.empty()) mm.SetString(w::HKLM, "Software\\Tenvox", "COMPart", comPart);
      };
      machine.AddProgram(path, p);
    };
    add(q, tc.middlewareWrites, "C:\\Prog\\COM+");
    add(o, tc.webWrites, "");
    add(x32, "", "");
    machine.AddFolder("C:\\Prog");
    AddBranding(machine);
    if (!tc.before.empty()) machine.SetString(w::HKLM, "Software\\Tenvox", "ALLSetup", tc.before);
    auto f = vcl::CreateForm<TfrmSetupMain>();
    f->Show();
    vcl::UserClick(*tc.radio(*f));
    vcl::UserClick(*tc.button(*f));
    const auto& launches = machine.Launches();
    ASSERT_EQ(launches.size(), tc.started.size());
    for (std::size_t i = 0; i < launches.size(); ++i) {
      EXPECT_EQ(launches[i].info.file, tc.started[i].first);
      EXPECT_EQ(launches[i].info.parameters.value_or("(null)"), tc.started[i].second);
      EXPECT_EQ(launches[i].info.nShow, 1);
      // After the check dialog, each only after the previous one ended.
      EXPECT_EQ(launches[i].started, 1500u + 1000u * i);
    }
    EXPECT_TRUE(machine.Boxes().empty());
    EXPECT_FALSE(f->Installing());
  }
}

TEST_F(SetupMain, MissingInstallerLetsTheChainGoOnToItsTest) {
  // No installers at all: nothing starts, no message, and the chain's test
  // of ALLSetup decides as usual (a 1 left behind lets it go on).
  m.SetString(w::HKLM, "Software\\Tenvox", "ALLSetup", "1");
  auto f = Start();
  vcl::UserClick(f->btnAll);
  EXPECT_TRUE(m.Launches().empty());
  EXPECT_TRUE(m.Boxes().empty());
  EXPECT_EQ(m.GetString(w::HKLM, "Software\\Tenvox", "ALLSetup"), "0");  // GetMiddlewareFolder ran
}

TEST_F(SetupMain, RegistryErrorInAHandlerIsShownAndTheWindowStays) {
  AddInstaller("Quenmar.exe", 100, "");
  m.SetDword(w::HKLM, "Software\\Tenvox", "ALLSetup", 1);
  auto f = Start();
  m.AnswerBoxes({w::IdOk});
  vcl::UserClick(f->btnAll);
  ASSERT_EQ(m.Boxes().size(), 1u);
  EXPECT_EQ(m.Boxes()[0].text, "Invalid data type for 'ALLSetup'");
  EXPECT_EQ(m.Boxes()[0].style, w::MbIconHand);
  EXPECT_TRUE(f->Showing());
  EXPECT_FALSE(f->Installing());
  EXPECT_EQ(m.Launches().size(), 1u);
  // The next click runs again.
  m.SetString(w::HKLM, "Software\\Tenvox", "ALLSetup", "0");
  vcl::UserClick(f->btnAll);
  EXPECT_EQ(m.Launches().size(), 2u);
}

TEST_F(SetupMain, SecondClickDuringAChainStartsNothing) {
  AddInstaller("Quenmar.exe", 2000, "1", "C:\\Prog");
  AddInstaller("Ostrile.exe", 2000, "1");
  AddInstaller("Harvend_x32.exe", 2000, "1");
  auto f = Start();
  // A double click: the second click arrives while the first installer runs.
  backend.PostAt(50, [&] { vcl::UserClick(f->btnAll); });
  vcl::UserClick(f->btnAll);
  EXPECT_EQ(m.Launches().size(), 3u);
  EXPECT_EQ(m.Now(), 7500u);
  // Meanwhile the window stayed responsive: a language switch went through.
  backend.PostAt(m.Now() + 100, [&] { vcl::UserSelect(f->comboLang, 2); });
  vcl::UserClick(f->btnAll);
  EXPECT_EQ(m.Launches().size(), 6u);
  EXPECT_EQ(f->Caption(), "V6.3.1 Setup Program  - Advanced");
}

TEST_F(SetupMain, DialogKeysWorkWhileAnInstallerRuns) {
  AddInstaller("Quenmar.exe", 2000, "", "C:\\Prog");
  auto f = Start();
  m.SetString(w::HKLM, "Software\\Tenvox", "ALLSetup", "0");
  plat::Msg key;
  key.hwnd = 0x1234;
  key.message = 0x0100;  // WM_KEYDOWN
  m.PostAt(m.Now() + 1700, key);
  vcl::UserClick(f->radServers);
  vcl::UserClick(f->btnServer1);
  EXPECT_EQ(m.Launches().size(), 1u);
  // The key arrived while the installer ran and went through the window's
  // key handling before it was dispatched.
  int offered = 0;
  for (const plat::Msg& msg : backend.preTranslated) offered += msg.hwnd == 0x1234 && msg.message == 0x0100;
  EXPECT_EQ(offered, 1);
}

TEST_F(SetupMain, ClosingDuringAChainIsRefusedWithAMessage) {
  AddInstaller("Quenmar.exe", 2000, "1", "C:\\Prog");
  AddInstaller("Ostrile.exe", 2000, "1");
  AddInstaller("Harvend_x32.exe", 2000, "1");
  auto f = Start();
  m.AnswerBoxes({w::IdOk, w::IdOk});
  backend.PostAt(2000, [&] { vcl::UserClick(f->btnCancel); });  // Esc or the Close button
  backend.PostAt(4000, [&] { f->Close(); });                     // the title bar's close box
  vcl::UserClick(f->btnAll);
  EXPECT_EQ(m.Launches().size(), 3u);  // the chain ran to its end
  ASSERT_EQ(m.Boxes().size(), 2u);
  EXPECT_EQ(m.Boxes()[0].text, "安装程序正在运行，请等它结束后再关闭本窗口。");
  EXPECT_EQ(m.Boxes()[0].style, w::MbIconInformation);
  EXPECT_TRUE(f->Showing());
  EXPECT_FALSE(m.QuitPending());
  // Once the chain is over, closing ends the program.
  vcl::UserClick(f->btnCancel);
  EXPECT_FALSE(f->Showing());
  EXPECT_TRUE(m.QuitPending());
}

TEST_F(SetupMain, CloseEndsTheProgramAndRestoresTheIdleHandler) {
  auto f = Start();
  EXPECT_EQ(app.OnIdle.object, f.get());
  vcl::UserClick(f->btnCancel);
  EXPECT_FALSE(f->Showing());
  EXPECT_FALSE(app.OnIdle);
  EXPECT_TRUE(m.QuitPending());
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
}

}  // namespace
