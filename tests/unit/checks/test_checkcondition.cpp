#include <string>
#include <vector>

#include "check_fixture.h"
#include "checks/unCheckCondition.h"
#include "common/errors.h"
#include "common/unLang.h"

using namespace plat;
using sim::SimObject;
namespace svc = sim::svc;

namespace {

const char* const kNet = "C:\\windows\\system32\\net.exe";
const char* const kMsde = "C:\\Program Files\\Tenvox\\bin\\MSDERelA\\Setup.exe";
const char* const kLogs = "C:\\windows\\system32\\Logfiles\\";

// The three texts of a message, in the order of the languages.
struct Texts {
  std::string a, b, c;
  const std::string& In(const std::string& lang) const { return lang == "A" ? a : lang == "B" ? b : c; }
};

const Texts kSqlNotStarted{"数据库软件（MSSQL/MSDE）未能正常启动，请检查原因！",
                           "資料庫軟體（MSSQL/MSDE）未能正常啟動，請檢查原因！",
                           "The SQL is not worked,please check!"};
const Texts kOsBroken{"操作系统不完整！", "作業系統不完整！", "The OS may have a problem!"};
const Texts kNoSql{
    "没有在本机检测出MS系列数据库！\r\n继续安装本系统前，请先安装MS系列数据库！\r\n本版安装程序不含数据库 "
    "MSDE2000，请单独安装MS系列数据库，或者重新下载含有MSDE2000的安装程序！",
    "沒有在本機檢測出MS系列資料庫！\r\n繼續安裝本系統前，請先安裝MS系列資料庫！\r\n本版安裝程式不含資料庫 "
    "MSDE2000，請單獨安裝MS系列資料庫，或者重新下載含有MSDE2000的安裝程式！",
    "The machine does not detect SQL databse!\r\nPlease install SQL database first!"};
const Texts kElsewhere{
    "本系统必需MS系列数据库的支持，但数据库不一定在本机，也可以在网络上的其它机器上！\r\n你确定网络上有可使用的MS系列数据库吗？",
    "本系統必需MS系列資料庫的支援，但資料庫不一定在本機，也可以在網路上的其它機器上！\r\n你確定網路上有可使用的MS系列資料庫嗎？",
    "This software required a SQL database support!\r\nThe SQL can be on the local machine or on "
    "a network!\r\nYou determine the available SQL database!"};
const Texts kInstallFirst{"继续安装本系统前，请先安装MS系列数据库！", "繼續安裝本系統前，請先安裝MS系列資料庫！",
                          "Please install MSSQL first!"};
const Texts kOfferMsde{"没有在本机检测出MS系列数据库，是否现在安装免费数据库 MSDE2000 ?",
                       "沒有在本機檢測出MS系列資料庫，是否現在安裝免費資料庫 MSDE2000 ?",
                       "The machine does not detect SQL databse,do you want to install msde2000?"};
const Texts kNoIis{
    "没有检测到IIS（Internet 信息服务），继续安装本系统前，请先安装 IIS ！\r\n确定后，可以阅读安装指南！",
    "沒有檢測到IIS（Internet 資訊服務），繼續安裝本系統前，請先安裝 IIS ！\r\n確定後，可以閱讀安裝指南！",
    "Please install IIS first!"};
const Texts kIisNotStarted{"IIS（Internet 信息服务）未能正常启动，请检查原因！",
                           "IIS（Internet 資訊服務）未能正常啟動，請檢查原因！",
                           "The IIS is not worked,please check it!"};
const std::string kRecommendC =
    "In order to have a good performance,we recommend using the server OS,for example:win2003,win2008.";

std::vector<std::string> TextsOf(const sim::SimMachine& m) {
  std::vector<std::string> out;
  for (const auto& b : m.Boxes()) out.push_back(b.text);
  return out;
}

class Checks : public CheckTest {
 protected:
  void Lang(const std::string& code) {
    m.SetString(w::HKCU, "SoftWare\\Tenvox", "CurLang", code);
    ResetLanguage();
  }
  std::unique_ptr<TfrmCheckCondition> Dialog() { return vcl::CreateForm<TfrmCheckCondition>(); }

  // "net" stops the web publishing service, as the real command does.
  void AddNet() {
    sim::Program p;
    p.runMs = 200;
    p.console = true;
    p.onExit = [this](sim::SimMachine&, const sim::Launch&) {
      if (auto* s = services.Find("w3svc")) s->state = svc::Stopped;
    };
    m.AddProgram(kNet, p);
  }

  // An IIS automation provider whose web service knows the given sites.
  // Every GetObject is logged by the automation world.
  void AddIis(std::vector<std::string> sites) {
    automation.Register("IISNamespace", [this, sites] {
      SimObject ns;
      ns.Call("GetObject", [this, sites](const std::vector<OleValue>&) {
        SimObject web;
        web.Call("GetObject", [this, sites](const std::vector<OleValue>& args) {
          const std::string n =
              args.at(1).kind == OleValue::Kind::Int ? std::to_string(args[1].i) : args[1].text;
          sitesAsked.push_back(n);
          for (const auto& s : sites)
            if (s == n) {
              OleValue v;
              v.kind = OleValue::Kind::Object;
              v.object = automation.NewObject("site" + n, SimObject().Call("Start"));
              return v;
            }
          throw EAppError("The path '/LM/W3SVC/" + n + "' was not found.");
        });
        OleValue v;
        v.kind = OleValue::Kind::Object;
        v.object = automation.NewObject("web", web);
        return v;
      });
      return ns;
    });
  }
  std::vector<std::string> sitesAsked;

  // The dialog while it is up, for looking at it from a posted action.
  const TfrmCheckCondition* Showing() const {
    return backend.modalStack.empty()
               ? nullptr
               : dynamic_cast<const TfrmCheckCondition*>(backend.modalStack.back());
  }
};

// ---------------------------------------------------------------- the dialog

TEST_F(Checks, InstallTypesChooseTheRowsAndEndWithOkAfterTheirChecks) {
  struct Case {
    int type;
    bool db, iis, excel;
  };
  const Case cases[] = {{0, false, false, false}, {1, true, true, true},   {2, true, true, false},
                        {3, true, false, false},  {4, false, true, false}, {5, false, false, true},
                        {6, false, false, false}, {-1, false, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    sim::HeadlessWorld world;
    sim::SimMachine& machine = world.machine;
    CheckWorld cw;
    cw.MakeReady(machine);
    ResetLanguage();
    struct Seen {
      bool db1, db2, iis1, iis2, excel1, excel2, timer;
      bool ticks[3], crosses[3];
    } early{}, late{};
    auto look = [&](Seen& s) {
      auto* d = dynamic_cast<const TfrmCheckCondition*>(world.backend.modalStack.back());
      ASSERT_NE(d, nullptr);
      s = {d->labDB1.Enabled(), d->labDB2.Enabled(), d->labIIS1.Enabled(), d->labIIS2.Enabled(),
           d->labExcel1.Enabled(), d->labExcel2.Enabled(), d->Timer1.Enabled(),
           {d->imgDB.Visible(), d->imgIIS.Visible(), d->imgExcel.Visible()},
           {d->imgDB_NO.Visible(), d->imgIIS_NO.Visible(), d->imgExcel_NO.Visible()}};
    };
    world.backend.PostAt(100, [&] { look(early); });
    world.backend.PostAt(1400, [&] { look(late); });
    bool isExcel32 = true;
    EXPECT_TRUE(ShowCheckCondition(c.type, isExcel32));
    EXPECT_EQ(machine.Now(), 1500u);  // one second, the checks, half a second
    EXPECT_EQ(isExcel32, c.excel);
    EXPECT_EQ(early.db1, c.db);
    EXPECT_EQ(early.db2, c.db);
    EXPECT_EQ(early.iis1, c.iis);
    EXPECT_EQ(early.iis2, c.iis);
    EXPECT_EQ(early.excel1, c.excel);
    EXPECT_EQ(early.excel2, c.excel);
    EXPECT_TRUE(early.timer);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(early.ticks[i] || early.crosses[i]);
    EXPECT_FALSE(late.timer);
    EXPECT_EQ(late.ticks[0], c.db);
    EXPECT_EQ(late.ticks[1], c.iis);
    EXPECT_EQ(late.ticks[2], c.excel);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(late.crosses[i]);
    EXPECT_TRUE(machine.Boxes().empty());
    EXPECT_EQ(cw.services.OpenHandles(), 0);
    EXPECT_EQ(cw.automation.LiveObjects(), 0);
  }
}

TEST_F(Checks, LayoutAndCaptionsInEachLanguage) {
  struct Case {
    std::string code, caption, db1, db2, iis1, iis2, excel2, font;
    int size;
  };
  const Case cases[] = {
      {"A", "安装条件检测", "数据库软件", "（MSSQL2000、MSDE2000及以上）", "IIS（Internet 信息服务）",
       "（安装时需要操作系统安装光盘）", "（ExcelXP、Excel2003及以上）", "宋体", 9},
      {"B", "安裝條件檢測", "資料庫軟體", "（MSSQL2000、MSDE2000及以上）", "IIS（Internet 資訊服務）",
       "（安裝時需要作業系統安裝光碟）", "（ExcelXP、Excel2003及以上）", "宋体", 9},
      {"C", "Installation conditon inspection", "Database software",
       "(MSSQL2000、MSDE2000 and above)", "IIS（Internet information service）",
       "(Need OS install disc)", "（ExcelXP、Excel2003 and above）", "Tahoma", 8},
      {"X", "安装条件检测", "数据库软件", "（MSSQL2000、MSDE2000及以上）", "IIS（Internet 信息服务）",
       "（安装时需要操作系统安装光盘）", "（ExcelXP、Excel2003及以上）", "宋体", 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Lang(c.code);
    auto d = Dialog();
    EXPECT_EQ(d->Caption(), c.caption);
    EXPECT_EQ(d->labDB1.Caption(), c.db1);
    EXPECT_EQ(d->labDB2.Caption(), c.db2);
    EXPECT_EQ(d->labIIS1.Caption(), c.iis1);
    EXPECT_EQ(d->labIIS2.Caption(), c.iis2);
    EXPECT_EQ(d->labExcel1.Caption(), "Excel \\ WPS");
    EXPECT_EQ(d->labExcel2.Caption(), c.excel2);
    EXPECT_EQ(d->labDB1.Font().Name, c.font);
    EXPECT_EQ(d->Font().Size(), c.size);
  }
  auto d = Dialog();
  EXPECT_EQ(d->ClientWidth(), 496);
  EXPECT_EQ(d->ClientHeight(), 218);
  EXPECT_FALSE(d->btnOK.Visible());
  EXPECT_FALSE(d->btnCancel.Visible());
  EXPECT_EQ(d->btnOK.Left(), 282);
  EXPECT_EQ(d->btnCancel.Left(), 370);
  EXPECT_EQ(d->SymbolLine1.Top(), 184);
  EXPECT_FALSE(d->Timer1.Enabled());
  EXPECT_EQ(d->Timer1.Interval(), 1000);
  EXPECT_FALSE(d->bIsExcel32);
  const struct {
    vcl::TImage* tick;
    vcl::TImage* cross;
    vcl::TLabel* name;
    vcl::TLabel* note;
    int top;
  } rows[] = {{&d->imgDB, &d->imgDB_NO, &d->labDB1, &d->labDB2, 32},
              {&d->imgIIS, &d->imgIIS_NO, &d->labIIS1, &d->labIIS2, 80},
              {&d->imgExcel, &d->imgExcel_NO, &d->labExcel1, &d->labExcel2, 128}};
  for (const auto& r : rows) {
    for (vcl::TImage* img : {r.tick, r.cross}) {
      EXPECT_EQ(img->Left(), 40);
      EXPECT_EQ(img->Top(), r.top);
      EXPECT_EQ(img->Width(), 25);
      EXPECT_FALSE(img->Visible());
      EXPECT_TRUE(img->Transparent);
    }
    EXPECT_EQ(r.tick->Picture(), TickPicture());
    EXPECT_EQ(r.cross->Picture(), CrossPicture());
    EXPECT_EQ(r.name->Left(), 96);
    EXPECT_EQ(r.name->Top(), r.top - 2);
    EXPECT_EQ(r.note->Top(), r.top + 14);
  }
}

TEST_F(Checks, PicturesAreAGreenTickAndARedCrossOnTheTransparentKey) {
  for (const auto& [pic, want] : {std::pair{TickPicture(), 1}, std::pair{CrossPicture(), 0}}) {
    ASSERT_EQ(pic.Width, 24);
    ASSERT_EQ(pic.Height, 24);
    EXPECT_EQ(pic.Pixels[23 * 24], kPictureKey);  // bottom-left: the key colour
    int green = 0, red = 0, other = 0;
    std::vector<std::uint32_t> colours;
    for (std::uint32_t p : pic.Pixels) {
      if (p == kPictureKey) continue;
      const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
      if (g > 0 && r == 0 && b == 0) ++green;
      else if (r > 0 && g == 0 && b == 0) ++red;
      else ++other;
      if (std::find(colours.begin(), colours.end(), p) == colours.end()) colours.push_back(p);
    }
    EXPECT_EQ(other, 0);
    EXPECT_LE(colours.size(), 255u);  // fits a 256-colour palette with the key
    EXPECT_GT(want ? green : red, 40);
    EXPECT_EQ(want ? red : green, 0);
  }
}

TEST_F(Checks, ClosingBeforeTheTimerEndsWithCancelAndRunsNoCheck) {
  world.MakeReady(m);
  backend.PostAt(500, [&] { const_cast<TfrmCheckCondition*>(Showing())->Close(); });
  bool isExcel32 = true;
  EXPECT_FALSE(ShowCheckCondition(1, isExcel32));
  EXPECT_FALSE(isExcel32);
  EXPECT_EQ(m.Now(), 500u);
  EXPECT_TRUE(m.Launches().empty());
}

TEST_F(Checks, FailingDatabaseCheckStopsTheSequenceWithTheCrossShown) {
  // Type 2: no database, no MSDE setup, the user says there is none elsewhere.
  world.MakeReady(m);
  services.Services().erase(services.Services().begin());
  bool iisTick = true, iisCross = true, dbCross = false, dbTick = true;
  backend.PostAt(1400, [] {});
  m.AnswerBoxes({w::IdOk, w::IdNo, w::IdOk});
  m.onBox = nullptr;
  int seen = 0;
  m.onBox = [&](const sim::BoxShown&) {
    if (const auto* d = Showing()) {
      dbCross = d->imgDB_NO.Visible();
      dbTick = d->imgDB.Visible();
      iisTick = d->imgIIS.Visible();
      iisCross = d->imgIIS_NO.Visible();
    }
    return ++seen == 2 ? w::IdNo : w::IdOk;
  };
  bool isExcel32 = true;
  EXPECT_FALSE(ShowCheckCondition(2, isExcel32));
  EXPECT_FALSE(isExcel32);
  EXPECT_EQ(TextsOf(m), (std::vector<std::string>{kNoSql.a, kElsewhere.a, kInstallFirst.a}));
  EXPECT_TRUE(dbCross);  // already while the messages were up
  EXPECT_FALSE(dbTick);
  EXPECT_FALSE(iisTick);
  EXPECT_FALSE(iisCross);
  EXPECT_TRUE(m.Launches().empty());  // the web server check never ran: no "net"
  EXPECT_EQ(m.Now(), 1000u);
}

TEST_F(Checks, DatabaseElsewhereShowsTheCrossDuringTheQuestionAndTheTickAtTheEnd) {
  world.MakeReady(m);
  services.Services().erase(services.Services().begin());
  std::vector<bool> crossWhileAsked;
  m.onBox = [&](const sim::BoxShown& b) {
    crossWhileAsked.push_back(Showing()->imgDB_NO.Visible());
    return b.style & w::MbYesNo ? w::IdYes : w::IdOk;
  };
  bool tick = false, cross = true;
  backend.PostAt(1200, [&] {
    tick = Showing()->imgDB.Visible();
    cross = Showing()->imgDB_NO.Visible();
  });
  bool isExcel32 = true;
  EXPECT_TRUE(ShowCheckCondition(3, isExcel32));
  EXPECT_EQ(crossWhileAsked, (std::vector<bool>{true, true}));
  EXPECT_TRUE(tick);
  EXPECT_FALSE(cross);
  EXPECT_FALSE(isExcel32);
}

TEST_F(Checks, ServerRecommendationFollowsThePassedWebCheckByVersion) {
  struct Case {
    std::uint32_t major, minor;
    bool shown;
  };
  const Case cases[] = {{5, 0, false}, {5, 1, true},  {5, 2, false}, {6, 0, false},
                        {6, 1, true},  {6, 2, true},  {10, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
    sim::HeadlessWorld world;
    sim::SimMachine& machine = world.machine;
    CheckWorld cw;
    cw.MakeReady(machine);
    machine.SetOsVersion({c.major, c.minor, 0, 2, ""});
    cw.automation.Register("IISNamespace", [&cw] {
      SimObject ns;
      ns.Call("GetObject", [&cw](const std::vector<OleValue>&) {
        SimObject web;
        web.Call("GetObject", [&cw](const std::vector<OleValue>&) {
          OleValue v;
          v.kind = OleValue::Kind::Object;
          v.object = cw.automation.NewObject("site", SimObject().Call("Start"));
          return v;
        });
        OleValue v;
        v.kind = OleValue::Kind::Object;
        v.object = cw.automation.NewObject("web", web);
        return v;
      });
      return ns;
    });
    machine.SetString(w::HKCU, "SoftWare\\Tenvox", "CurLang", "C");
    ResetLanguage();
    machine.AnswerBoxes({w::IdOk});
    bool isExcel32 = false;
    EXPECT_TRUE(ShowCheckCondition(4, isExcel32));
    EXPECT_EQ(TextsOf(machine), c.shown ? std::vector<std::string>{kRecommendC}
                                        : std::vector<std::string>{});
    EXPECT_EQ(cw.automation.LiveObjects(), 0);
  }
}

// ---------------------------------------------------------------- database server

TEST_F(Checks, FindSqlServerServiceTakesTheFirstOverEveryPage) {
  // Forty services before the first SQL Server one, spread over several
  // pages by the manager's own limit.
  for (int i = 0; i < 40; ++i) services.Add("Service" + std::to_string(i), "Some service", svc::Running);
  services.Add("MSSQLServerADHelper", "helper", svc::Running);
  services.Add("mssqlserver", "lower case", svc::Running);
  services.Add("MSSQL", "too short", svc::Running);
  services.Add("MSSQL$SQLEXPRESS", "SQL Server (SQLEXPRESS)", svc::Stopped);
  services.Add("MSSQLSERVER", "SQL Server (MSSQLSERVER)", svc::Running);
  services.pageLimit = 1200;
  EXPECT_EQ(FindSqlServerService(), "MSSQL$SQLEXPRESS");
  const auto sizes = services.EnumBufferSizes();
  ASSERT_GE(sizes.size(), 3u);
  EXPECT_EQ(sizes[0], 1024u);
  EXPECT_GT(sizes[1], 1024u);  // resized to what the manager asked for
  EXPECT_EQ(services.OpenHandles(), 0);
  EXPECT_TRUE(m.Boxes().empty());

  // Default instance first in the manager's order: it wins.
  sim::SimServiceManager other;
  sim::ScopedServices scope(other);
  other.Add("MSSQLSERVER", "", svc::Running);
  other.Add("MSSQL$A", "", svc::Running);
  EXPECT_EQ(FindSqlServerService(), "MSSQLSERVER");
}

TEST_F(Checks, FindSqlServerServiceErrorBoxes) {
  struct Case {
    long openError, enumError;
    std::string text;
  };
  const Case cases[] = {
      {5, 0, "Acces Denied"},
      {87, 0, "Invalid Parameter"},
      {1065, 0, "Database doesn't exists"},
      {1115, 0, "Unknown Error"},
      {0, 5, "The specified handle was not opened with SC_MANAGER_ENUMERATE_SERVICE access"},
      {0, 6, "The specified handle is invalid"},
      {0, 87, "A parameter that was specified is invalid"},
      {0, 1, "Unknown Error"},
  };
  Lang("C");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    sim::SimMachine machine;
    sim::ScopedSystem scope(machine);
    sim::SimServiceManager s;
    sim::ScopedServices ss(s);
    s.Add("MSSQLSERVER", "", svc::Running);
    s.openManagerError = c.openError;
    s.enumerateError = c.enumError;
    machine.AnswerBoxes({w::IdOk});
    EXPECT_EQ(FindSqlServerService(), "");
    ASSERT_EQ(machine.Boxes().size(), 1u);
    EXPECT_EQ(machine.Boxes()[0].text, c.text);
    EXPECT_EQ(machine.Boxes()[0].caption, "Hint");
    EXPECT_EQ(s.OpenHandles(), 0);
  }
}

TEST_F(Checks, EnsureServiceRunningCodes) {
  auto d = Dialog();
  services.Add("Stopped", "", svc::Stopped);
  services.Add("Refused", "", svc::Stopped).startError = svc::ErrServiceDisabled;
  services.Add("Running", "", svc::Running);
  services.Add("Paused", "", svc::Paused);
  services.Add("Pending", "", svc::StartPending);
  services.Add("Stopping", "", svc::StopPending);
  services.Add("Locked", "", svc::Stopped).openDenied = true;
  const std::pair<std::string, int> cases[] = {
      {"Stopped", 2}, {"Refused", 3}, {"Running", 1}, {"Paused", 1}, {"Pending", 1},
      {"Stopping", 1}, {"Locked", 0}, {"Missing", 0}, {"", 0}};
  for (const auto& [name, code] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(d->EnsureServiceRunning(name), code);
  }
  EXPECT_EQ(services.Find("Stopped")->state, svc::StartPending);
  EXPECT_EQ(services.Find("Running")->startRequests, 0);
  EXPECT_EQ(services.Find("Paused")->startRequests, 0);
  services.deniedManagerAccess = 0xD0022;  // full access refused, reading allowed
  EXPECT_EQ(d->EnsureServiceRunning("Running"), 4);
  EXPECT_EQ(services.OpenHandles(), 0);
}

TEST_F(Checks, CheckDatabasePathsAndMessagesInEachLanguage) {
  struct Case {
    std::string name;
    std::function<void(sim::SimServiceManager&)> setUp;
    bool msdeThere;
    std::vector<int> answers;
    bool result;
    std::vector<const Texts*> messages;
    bool cross;
  };
  const std::vector<Case> cases = {
      {"running", [](auto& s) { s.Add("MSSQL$X", "", svc::Running); }, false, {}, true, {}, false},
      {"paused", [](auto& s) { s.Add("MSSQL$X", "", svc::Paused); }, false, {}, true, {}, false},
      {"start pending", [](auto& s) { s.Add("MSSQLSERVER", "", svc::StartPending); }, false, {}, true, {}, false},
      {"stopped, start accepted", [](auto& s) { s.Add("MSSQLSERVER", "", svc::Stopped); }, false, {}, true, {}, false},
      {"stopped, start refused",
       [](auto& s) { s.Add("MSSQLSERVER", "", svc::Stopped).startError = svc::ErrServiceNoThread; },
       false, {w::IdOk}, false, {&kSqlNotStarted}, true},
      {"full access refused",
       [](auto& s) {
         s.Add("MSSQLSERVER", "", svc::Running);
         s.deniedManagerAccess = 0xD0022;
       },
       false, {w::IdOk}, false, {&kOsBroken}, false},
      {"none, no setup, elsewhere yes", [](auto&) {}, false, {w::IdOk, w::IdYes}, true,
       {&kNoSql, &kElsewhere}, true},
      {"none, no setup, elsewhere no", [](auto&) {}, false, {w::IdOk, w::IdNo, w::IdOk}, false,
       {&kNoSql, &kElsewhere, &kInstallFirst}, true},
      {"none, setup declined, elsewhere yes", [](auto&) {}, true, {w::IdNo, w::IdYes}, true,
       {&kOfferMsde, &kElsewhere}, true},
      {"none, setup declined, elsewhere no", [](auto&) {}, true, {w::IdNo, w::IdNo, w::IdOk}, false,
       {&kOfferMsde, &kElsewhere, &kInstallFirst}, true},
  };
  for (const std::string lang : {"A", "B", "C"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(lang + ": " + c.name);
      sim::HeadlessWorld world;
      sim::SimMachine& machine = world.machine;
      CheckWorld cw;
      c.setUp(cw.services);
      if (c.msdeThere) machine.AddProgram(kMsde, {});
      machine.SetString(w::HKCU, "SoftWare\\Tenvox", "CurLang", lang);
      ResetLanguage();
      auto d = vcl::CreateForm<TfrmCheckCondition>();
      machine.AnswerBoxes({});
      for (int r : c.answers) machine.AnswerBoxes({r});
      EXPECT_EQ(d->CheckDatabase(false), c.result);
      std::vector<std::string> want;
      for (const Texts* t : c.messages) want.push_back(t->In(lang));
      EXPECT_EQ(TextsOf(machine), want);
      EXPECT_EQ(d->imgDB_NO.Visible(), c.cross);
      EXPECT_TRUE(machine.Launches().empty());
      EXPECT_EQ(cw.services.OpenHandles(), 0);
    }
  }
}

TEST_F(Checks, MsdeSetupRunsAndTheRecheckDecidesOnce) {
  for (const bool installs : {true, false}) {
    SCOPED_TRACE(installs);
    sim::HeadlessWorld world;
    sim::SimMachine& machine = world.machine;
    CheckWorld cw;
    sim::Program setup;
    setup.runMs = 3000;
    if (installs)
      setup.onExit = [&cw](sim::SimMachine&, const sim::Launch&) {
        cw.services.Add("MSSQLSERVER", "SQL Server", svc::Stopped);
      };
    machine.AddProgram(kMsde, setup);
    machine.SetString(w::HKCU, "SoftWare\\Tenvox", "CurLang", "C");
    ResetLanguage();
    auto d = vcl::CreateForm<TfrmCheckCondition>();
    machine.AnswerBoxes({w::IdYes, w::IdOk});
    EXPECT_EQ(d->CheckDatabase(false), installs);
    // The offer and the password note; no second offer and no message after
    // a re-check that still finds nothing.
    ASSERT_EQ(machine.Boxes().size(), 2u);
    EXPECT_EQ(machine.Boxes()[0].text, kOfferMsde.c);
    EXPECT_EQ(machine.Boxes()[1].text, "The password of the user SA is \"sa\",please note!");
    ASSERT_EQ(machine.Launches().size(), 1u);
    EXPECT_EQ(machine.Launches()[0].info.file, kMsde);
    EXPECT_EQ(machine.Launches()[0].info.parameters.value_or("(null)"), "");
    EXPECT_EQ(machine.Launches()[0].info.nShow, 1);
    EXPECT_EQ(machine.Now(), 3000u);  // waited for the setup
    if (installs) {
      EXPECT_EQ(cw.services.Find("MSSQLSERVER")->startRequests, 1);
    }
    EXPECT_EQ(cw.services.OpenHandles(), 0);
  }
  // The Chinese password note.
  sim::ScopedSystem again(m);
  sim::ScopedServices againServices(services);
  sim::ScopedAutomation againAutomation(automation);
  Lang("A");
  m.AddProgram(kMsde, {});
  auto d = Dialog();
  m.AnswerBoxes({w::IdYes, w::IdOk});
  EXPECT_FALSE(d->CheckDatabase(false));
  ASSERT_EQ(m.Boxes().size(), 2u);
  EXPECT_EQ(m.Boxes()[1].text,
            "数据库用户 SA 的密码是\"sa\"，安装本系统的时候需要用到这个密码，请记在笔记本上！");
}

// ---------------------------------------------------------------- web server

class NoVersionMachine : public sim::SimMachine {
 public:
  bool GetVersionEx(OsVersion&) override { return false; }
};

TEST_F(Checks, VersionTextChoosesTheBranch) {
  // A stopped w3svc that starts, a working IIS provider, and no W3SVC key:
  // the older branch passes, the newer one finds IIS missing.
  struct Case {
    std::optional<std::pair<std::uint32_t, std::uint32_t>> version;
    std::string text;
    bool older;
  };
  const Case cases[] = {{std::nullopt, "", true},       {{{5, 1}}, "51", true},
                        {{{5, 2}}, "52", true},         {{{6, 0}}, "60", false},
                        {{{6, 1}}, "61", false},        {{{6, 2}}, "62", false},
                        {{{10, 0}}, "100", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    NoVersionMachine noVersion;
    sim::SimMachine plain;
    sim::SimMachine& machine = c.version ? plain : noVersion;
    if (c.version) machine.SetOsVersion({c.version->first, c.version->second, 0, 2, ""});
    sim::ScopedSystem scope(machine);
    sim::HeadlessBackend b(machine);
    vcl::TApplication a(b);
    services.Services().clear();
    services.Add("w3svc", "WWW", svc::Stopped);
    sitesAsked.clear();
    AddIis({"1"});
    ResetLanguage();
    EXPECT_EQ(GetOSVersionText(), c.text);
    auto d = vcl::CreateForm<TfrmCheckCondition>();
    machine.AnswerBoxes({w::IdOk});
    EXPECT_EQ(d->CheckWebServer(), c.older);
    EXPECT_EQ(services.Find("w3svc")->startRequests, c.older ? 1 : 0);
    EXPECT_EQ(sitesAsked, c.older ? std::vector<std::string>{"1"} : std::vector<std::string>{});
    EXPECT_EQ(TextsOf(machine), c.older ? std::vector<std::string>{} : std::vector<std::string>{kNoIis.a});
    EXPECT_EQ(automation.LiveObjects(), 0);
  }
}

TEST_F(Checks, NetStopRunsFromTheSystemDirectoryHidden) {
  AddNet();
  m.CreateKey(w::HKLM, "SOFTWARE\\Microsoft\\W3SVC");
  auto d = Dialog();
  EXPECT_TRUE(d->CheckWebServer());
  ASSERT_EQ(m.Launches().size(), 1u);
  EXPECT_EQ(m.Launches()[0].info.file, kNet);
  EXPECT_EQ(m.Launches()[0].info.parameters.value_or("(null)"), "stop w3svc");
  EXPECT_EQ(m.Launches()[0].info.nShow, 0);
  EXPECT_EQ(m.Now(), 200u);  // waited for it
}

TEST_F(Checks, NewerBranchStartsTheWebServiceAgainOnlyWhenItRanBefore) {
  struct Case {
    std::uint32_t before;
    bool key;
    std::uint32_t after;
    int starts;
  };
  const Case cases[] = {{svc::Running, true, svc::StartPending, 1},
                        {svc::Running, false, svc::StartPending, 1},
                        {svc::Stopped, true, svc::Stopped, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before * 10 + c.key);
    sim::HeadlessWorld world;
    sim::SimMachine& machine = world.machine;
    CheckWorld cw;
    cw.services.Add("w3svc", "WWW", c.before);
    sim::Program net;
    net.runMs = 200;
    net.onExit = [&cw](sim::SimMachine&, const sim::Launch&) { cw.services.Find("w3svc")->state = svc::Stopped; };
    machine.AddProgram(kNet, net);
    if (c.key) machine.CreateKey(w::HKLM, "SOFTWARE\\Microsoft\\W3SVC");
    ResetLanguage();
    auto d = vcl::CreateForm<TfrmCheckCondition>();
    machine.AnswerBoxes({w::IdOk});
    EXPECT_EQ(d->CheckWebServer(), c.key);
    EXPECT_EQ(cw.services.Find("w3svc")->state, c.after);
    EXPECT_EQ(cw.services.Find("w3svc")->startRequests, c.starts);
    EXPECT_EQ(cw.services.OpenHandles(), 0);
  }
}

TEST_F(Checks, OlderBranchServiceFailuresInEachLanguage) {
  struct Case {
    std::string name;
    std::function<void(sim::SimServiceManager&)> setUp;
    const Texts* message;
    bool crossDuringMessage;
    bool guide;
  };
  const std::vector<Case> cases = {
      {"no w3svc", [](auto&) {}, &kNoIis, true, true},
      {"start refused", [](auto& s) { s.Add("w3svc", "", svc::Stopped).startError = 1058; },
       &kIisNotStarted, true, false},
      {"manager refused", [](auto& s) {
         s.Add("w3svc", "", svc::Running);
         s.deniedManagerAccess = 0xF003F;
       }, &kOsBroken, false, false},
  };
  for (const std::string lang : {"A", "B", "C"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(lang + ": " + c.name);
      sim::HeadlessWorld world;
      sim::SimMachine& machine = world.machine;
      CheckWorld cw;
      c.setUp(cw.services);
      machine.SetOsVersion({5, 2, 3790, 2, ""});
      machine.AddProgram("C:\\IExplore.exe", {});  // found from the current folder
      machine.SetString(w::HKCU, "SoftWare\\Tenvox", "CurLang", lang);
      ResetLanguage();
      auto d = vcl::CreateForm<TfrmCheckCondition>();
      bool cross = false;
      machine.onBox = [&](const sim::BoxShown&) {
        cross = d->imgIIS_NO.Visible();
        return w::IdOk;
      };
      EXPECT_FALSE(d->CheckWebServer());
      EXPECT_EQ(TextsOf(machine), std::vector<std::string>{c.message->In(lang)});
      EXPECT_EQ(cross, c.crossDuringMessage);
      std::vector<std::string> opened;
      for (const auto& l : machine.Launches())
        opened.push_back(l.info.file + " " + l.info.parameters.value_or("(null)") + " " +
                         std::to_string(l.info.nShow) + (l.info.verb ? " verb" : ""));
      EXPECT_EQ(opened, c.guide ? std::vector<std::string>{"IExplore.exe C:\\Program Files\\Tenvox\\bin\\Saphrel.htm 1"}
                                : std::vector<std::string>{});
      EXPECT_EQ(cw.automation.CreateAttempts("IISNamespace"), 0);
    }
  }
}

TEST_F(Checks, ListWebSiteNumbersKeepsPlainW3svcFolders) {
  m.AddFolder(std::string(kLogs) + "W3SVC1");
  m.AddFolder(std::string(kLogs) + "w3svc12");
  m.AddFolder(std::string(kLogs) + "W3SVC");
  m.AddFolder(std::string(kLogs) + "W3SVC2");
  m.SetFolderAttributes(std::string(kLogs) + "W3SVC2", w::FileAttributeArchive);
  m.AddFolder(std::string(kLogs) + "W3SVC4");
  m.SetFolderAttributes(std::string(kLogs) + "W3SVC4", w::FileAttributeHidden);
  m.AddFolder(std::string(kLogs) + "SMTPSVC1");
  m.AddFolder(std::string(kLogs) + "W3");
  m.AddFile(std::string(kLogs) + "W3SVC5");  // a file, not a folder
  const std::string numbers = ListWebSiteNumbers(kLogs);
  std::vector<std::string> parts;
  std::size_t i = 0;
  for (;;) {
    const auto j = numbers.find(',', i);
    parts.push_back(numbers.substr(i, j - i));
    if (j == std::string::npos) break;
    i = j + 1;
  }
  std::sort(parts.begin(), parts.end());
  EXPECT_EQ(parts, (std::vector<std::string>{"", "1", "12"}));
  EXPECT_EQ(ListWebSiteNumbers("C:\\nowhere\\"), "");
}

TEST_F(Checks, OpenFirstWebServerTriesEachNumberInTurn) {
  AddIis({"3", "7"});
  OleObject ns(ole().CreateOleObject("IISNamespace"));
  OleObject web(ole().CallMethod(ns.get(), "GetObject", {}).object);
  struct Case {
    std::string numbers, found;
    std::vector<std::string> asked;
  };
  const Case cases[] = {{"1,3,7", "3", {"1", "3"}},
                        {" 2,7 \r\n", "7", {"2", "7"}},
                        {"1,2", "", {"1", "2"}},
                        {"", "", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.numbers);
    sitesAsked.clear();
    OleObject site;
    EXPECT_EQ(OpenFirstWebServer(c.numbers, web.get(), site), c.found);
    EXPECT_EQ(static_cast<bool>(site), !c.found.empty());
    EXPECT_EQ(sitesAsked, c.asked);
  }
  web.reset();
  ns.reset();
  EXPECT_EQ(automation.LiveObjects(), 0);
}

TEST_F(Checks, AutomationFindsSiteThreeWhenSiteOneIsMissing) {
  m.SetOsVersion({5, 2, 3790, 2, ""});
  services.Add("w3svc", "WWW", svc::Running);
  m.AddFolder(std::string(kLogs) + "W3SVC1");
  m.AddFolder(std::string(kLogs) + "W3SVC3");
  AddIis({"3"});
  auto d = Dialog();
  EXPECT_TRUE(d->CheckWebServer());
  // 1 as a number fails, then "1" and "3" from the folders, then 3 again.
  EXPECT_EQ(sitesAsked, (std::vector<std::string>{"1", "1", "3", "3"}));
  EXPECT_EQ(automation.Count("call site3.Start"), 1);
  EXPECT_TRUE(m.Boxes().empty());
  EXPECT_EQ(automation.LiveObjects(), 0);
  EXPECT_EQ(services.OpenHandles(), 0);
}

TEST_F(Checks, AutomationFailuresShowTheErrorTextInChineseOnly) {
  struct Case {
    std::string name;
    bool provider;
    std::string error;
  };
  const Case cases[] = {
      {"no W3SVC folder: the empty number decides", true, "The path '/LM/W3SVC/' was not found."},
      {"no provider", false, sim::SimAutomation::kInvalidClassString},
  };
  for (const std::string lang : {"A", "B", "C"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(lang + ": " + c.name);
      sim::HeadlessWorld world;
      sim::SimMachine& machine = world.machine;
      machine.SetOsVersion({5, 1, 2600, 2, ""});
      machine.SetString(w::HKCU, "SoftWare\\Tenvox", "CurLang", lang);
      ResetLanguage();
      services.Services().clear();
      services.Add("w3svc", "WWW", svc::Running);
      automation.Unregister("IISNamespace");
      if (c.provider) AddIis({"5"});
      auto d = vcl::CreateForm<TfrmCheckCondition>();
      bool cross = false;
      machine.onBox = [&](const sim::BoxShown&) {
        cross = d->imgIIS_NO.Visible();
        return w::IdOk;
      };
      EXPECT_FALSE(d->CheckWebServer());
      const std::string want = lang == "C" ? kIisNotStarted.c : kIisNotStarted.In(lang) + "\r\n" + c.error;
      EXPECT_EQ(TextsOf(machine), std::vector<std::string>{want});
      EXPECT_TRUE(cross);
      EXPECT_EQ(automation.LiveObjects(), 0);
    }
  }
}

}  // namespace
