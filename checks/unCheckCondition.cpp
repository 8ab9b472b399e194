#include "checks/unCheckCondition.h"

#include <exception>

#include "checks/check_ids.h"
#include "checks/unPub_Excel.h"
#include "common/unLang.h"
#include "common/unMsgDialog.h"
#include "common/unOther.h"
#include "common/unReg_File.h"
#include "platform/services.h"
#include "platform/system.h"

using namespace plat;

namespace {

constexpr std::uint32_t kGenericReadExecute = 0xA0000000u;  // GENERIC_READ | GENERIC_EXECUTE
constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
constexpr std::uint32_t kServiceTypeAll = 0x13F;
constexpr std::uint32_t kServiceStateAll = 3;
constexpr std::uint32_t kServiceStopped = 1;
constexpr std::uint32_t kServiceRunning = 4;
constexpr long kErrDatabaseDoesNotExist = 1065;

// The password the MSDE setup package gives the SA account.
const char* const kMsdeSaPassword = "sa";

const char* const kW3svcKey = "SOFTWARE\\Microsoft\\W3SVC";

// The folder of the running program, with its trailing backslash.
std::string ProgramFolder() {
  const std::string file = sys().ProgramFileName();
  const auto cut = file.find_last_of("\\:");
  return cut == std::string::npos ? std::string() : file.substr(0, cut + 1);
}

std::string ManagerErrorText(long error) {
  switch (error) {
    case w::ErrAccessDenied: return "Acces Denied";
    case w::ErrInvalidParameter: return "Invalid Parameter";
    case kErrDatabaseDoesNotExist: return "Database doesn't exists";
    default: return "Unknown Error";
  }
}

std::string EnumerateErrorText(long error) {
  switch (error) {
    case w::ErrAccessDenied:
      return "The specified handle was not opened with SC_MANAGER_ENUMERATE_SERVICE access";
    case w::ErrInvalidHandle: return "The specified handle is invalid";
    case w::ErrInvalidParameter: return "A parameter that was specified is invalid";
    default: return "Unknown Error";
  }
}

// One text for every language, under the current language's caption.
void ErrorBox(const std::string& text) { MsgHint(text, "", ""); }

bool IsSqlServerName(const std::string& name) {
  return name == "MSSQLSERVER" || (name.size() >= 6 && name.compare(0, 6, "MSSQL$") == 0);
}

// The state of a service, or 0 when it cannot be queried.
std::uint32_t ServiceState(const std::string& name) {
  ServiceManager& m = scm();
  const Handle manager = m.OpenSCManager(kGenericReadExecute);
  if (!manager) return 0;
  std::uint32_t state = 0;
  if (const Handle s = m.OpenService(manager, name, 0x0004 /* SERVICE_QUERY_STATUS */)) {
    if (!m.QueryServiceStatus(s, state)) state = 0;
    m.CloseServiceHandle(s);
  }
  m.CloseServiceHandle(manager);
  return state;
}

// Spaces and control characters off both ends.
std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

// Splits at CR, LF or CR LF; a line break at the very end makes no empty line.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t j = i;
    while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
    lines.push_back(text.substr(i, j - i));
    if (j < text.size() && text[j] == '\r') ++j;
    if (j < text.size() && text[j] == '\n') ++j;
    i = j;
  }
  return lines;
}

void SetIcons(vcl::TImage& tick, vcl::TImage& cross, bool passed) {
  tick.SetVisible(passed);
  cross.SetVisible(!tick.Visible());
}

}  // namespace

// ---------------------------------------------------------------- the dialog

TfrmCheckCondition::TfrmCheckCondition()
    : TfrmFormBase("frmCheckCondition"),
      labDB1(this, "labDB1", check_ids::labDB1),
      labDB2(this, "labDB2", check_ids::labDB2),
      labIIS1(this, "labIIS1", check_ids::labIIS1),
      labIIS2(this, "labIIS2", check_ids::labIIS2),
      labExcel1(this, "labExcel1", check_ids::labExcel1),
      labExcel2(this, "labExcel2", check_ids::labExcel2),
      imgDB(this, "imgDB", check_ids::imgDB),
      imgIIS(this, "imgIIS", check_ids::imgIIS),
      imgExcel(this, "imgExcel", check_ids::imgExcel),
      Timer1(this, "Timer1"),
      imgDB_NO(this, "imgDB_NO", check_ids::imgDB_NO),
      imgIIS_NO(this, "imgIIS_NO", check_ids::imgIIS_NO),
      imgExcel_NO(this, "imgExcel_NO", check_ids::imgExcel_NO),
      tmrFinish(this, "tmrFinish") {
  SetCaption("安装条件检测");
  SetClientSize(496, 218);

  struct Row {
    vcl::TImage& tick;
    vcl::TImage& cross;
    vcl::TLabel& name;
    vcl::TLabel& note;
    int top;
    const char* nameText;
    const char* noteText;
  };
  const Row rows[] = {
      {imgDB, imgDB_NO, labDB1, labDB2, 30, "数据库软件", "（MSSQL2000、MSDE2000及以上）"},
      {imgIIS, imgIIS_NO, labIIS1, labIIS2, 78, "IIS（Internet 信息服务）",
       "（安装时需要操作系统安装光盘）"},
      {imgExcel, imgExcel_NO, labExcel1, labExcel2, 126, "Excel \\ WPS",
       "（ExcelXP、Excel2003及以上）"},
  };
  const vcl::TBitmap tick = TickPicture();
  const vcl::TBitmap cross = CrossPicture();
  for (const Row& r : rows) {
    for (vcl::TImage* img : {&r.tick, &r.cross}) {
      img->SetBounds(40, r.top + 2, 25, 25);
      img->Transparent = true;
      img->SetVisible(false);
    }
    r.tick.SetPicture(tick);
    r.cross.SetPicture(cross);
    r.name.SetLeft(96);
    r.name.SetTop(r.top);
    r.name.SetCaption(r.nameText);
    r.note.SetLeft(96);
    r.note.SetTop(r.top + 16);
    r.note.SetCaption(r.noteText);
  }

  SymbolLine1.SetTop(184);
  SymbolLine1.SetWidth(472);
  btnOK.SetLeft(282);
  btnOK.SetTop(179);
  btnOK.SetVisible(false);
  btnCancel.SetLeft(370);
  btnCancel.SetTop(179);
  btnCancel.SetVisible(false);

  Timer1.SetEnabled(false);
  Timer1.SetInterval(1000);
  Timer1.OnTimer = [this](vcl::TObject* s) { Timer1Timer(s); };
  tmrFinish.SetEnabled(false);
  tmrFinish.SetInterval(500);
  tmrFinish.OnTimer = [this](vcl::TObject* s) { tmrFinishTimer(s); };
}

TfrmCheckCondition::~TfrmCheckCondition() = default;

void TfrmCheckCondition::ApplyLanguage() {
  TfrmFormBase::ApplyLanguage();
  if (bLangA) return;
  if (bLangB) {
    SetCaption("安裝條件檢測");
    labDB1.SetCaption("資料庫軟體");
    labDB2.SetCaption("（MSSQL2000、MSDE2000及以上）");
    labIIS1.SetCaption("IIS（Internet 資訊服務）");
    labIIS2.SetCaption("（安裝時需要作業系統安裝光碟）");
    labExcel2.SetCaption("（ExcelXP、Excel2003及以上）");
  } else if (bLangC) {
    vcl::TFont f = Font();
    f.Name = "Tahoma";
    f.SetSize(8);
    SetFont(f);
    SetCaption("Installation conditon inspection");
    labDB1.SetCaption("Database software");
    labDB2.SetCaption("(MSSQL2000、MSDE2000 and above)");
    labIIS1.SetCaption("IIS（Internet information service）");
    labIIS2.SetCaption("(Need OS install disc)");
    labExcel2.SetCaption("（ExcelXP、Excel2003 and above）");
  }
}

void TfrmCheckCondition::btnOKClick(vcl::TObject* Sender) {
  TfrmFormBase::btnOKClick(Sender);
  ModalResult = vcl::mrOk;
}

void TfrmCheckCondition::btnCancelClick(vcl::TObject* Sender) {
  TfrmFormBase::btnCancelClick(Sender);
  Close();
}

void TfrmCheckCondition::Timer1Timer(vcl::TObject*) {
  Timer1.SetEnabled(false);
  if (labDB1.Enabled()) {
    const bool r = CheckDatabase(false);
    SetIcons(imgDB, imgDB_NO, r);
    if (!r) {
      Close();
      return;
    }
  }
  if (labIIS1.Enabled()) {
    const bool r = CheckWebServer();
    SetIcons(imgIIS, imgIIS_NO, r);
    if (!r) {
      Close();
      return;
    }
    OsVersion v;
    const std::uint32_t version = sys().GetVersionEx(v) ? v.major * 10 + v.minor : 0;
    if (version != 50 && version != 52 && version != 60)
      MsgHint("为了有良好的性能，强烈建议您把本系统的 服务器程序部分 安装在专门的服务器操作系统中,\r\n"
              "例如 Win2000Server、Win2003、Win2008等！",
              "為了有良好的性能，強烈建議您把本系統的 伺服器程式部分 安裝在專門的伺服器作業系統中,\r\n"
              "例如 Win2000Server、Win2003、Win2008等！",
              "In order to have a good performance,we recommend using the server OS,for "
              "example:win2003,win2008.");
  }
  if (labExcel1.Enabled()) {
    const bool r = CheckExcel();
    SetIcons(imgExcel, imgExcel_NO, r);
    if (!r) {
      Close();
      return;
    }
  }
  // Half a second with the ticks on show, then OK.
  tmrFinish.SetEnabled(true);
}

void TfrmCheckCondition::tmrFinishTimer(vcl::TObject*) {
  tmrFinish.SetEnabled(false);
  ModalResult = vcl::mrOk;
}

bool TfrmCheckCondition::CheckExcel() {
  const bool found = CheckExcelFound(bIsExcel32);
  if (!found) {
    imgExcel_NO.SetVisible(true);
    MsgHint("没有检测到 Excel或WPS，继续安装本系统前，请先安装 Excel或WPS，推荐首选Excel ！",
            "沒有檢測到 Excel或WPS，繼續安裝本系統前，請先安裝 Excel或WPS，推薦首選Excel ！",
            "Please install Excel first!");
  }
  return found;
}

bool ShowCheckCondition(int InstallType, bool& isExcel32) {
  auto frm = vcl::CreateForm<TfrmCheckCondition>();
  const bool db = InstallType >= 1 && InstallType <= 3;
  const bool iis = InstallType == 1 || InstallType == 2 || InstallType == 4;
  const bool excel = InstallType == 1 || InstallType == 5;
  frm->labDB1.SetEnabled(db);
  frm->labIIS1.SetEnabled(iis);
  frm->labExcel1.SetEnabled(excel);
  frm->labDB2.SetEnabled(frm->labDB1.Enabled());
  frm->labIIS2.SetEnabled(frm->labIIS1.Enabled());
  frm->labExcel2.SetEnabled(frm->labExcel1.Enabled());
  frm->Timer1.SetEnabled(true);
  frm->SymbolLine1.SetCaption("");
  const int result = frm->ShowModal();
  isExcel32 = frm->bIsExcel32;
  frm.reset();
  return result == vcl::mrOk;
}

// ---------------------------------------------------------------- database server

std::string FindSqlServerService() {
  ServiceManager& m = scm();
  std::string result;
  const Handle manager = m.OpenSCManager(kGenericReadExecute);
  std::vector<std::string> names;
  if (!manager) {
    ErrorBox(ManagerErrorText(m.GetLastError()));
  } else {
    std::uint32_t bufferSize = 1024;
    std::uint32_t resume = 0;
    std::vector<ServiceEntry> entries;
    for (;;) {
      std::uint32_t needed = 0;
      const bool ok = m.EnumServicesStatus(manager, kServiceTypeAll, kServiceStateAll,
                                           bufferSize, entries, needed, resume);
      const long error = ok ? 0 : m.GetLastError();
      if (ok || error == w::ErrMoreData)
        for (const ServiceEntry& e : entries)
          if (IsSqlServerName(e.serviceName)) names.push_back(e.serviceName);
      if (ok) break;
      if (error != w::ErrMoreData) {
        ErrorBox(EnumerateErrorText(error));
        break;
      }
      // A manager that asks for no more room and hands back nothing would
      // keep us here for ever.
      if (entries.empty() && needed <= bufferSize) break;
      bufferSize = needed;
    }
  }
  if (!names.empty()) result = names.front();
  if (manager) m.CloseServiceHandle(manager);
  return result;
}

int TfrmCheckCondition::EnsureServiceRunning(const std::string& ServiceName) {
  ServiceManager& m = scm();
  const Handle manager = m.OpenSCManager(kScManagerAllAccess);
  if (!manager) return kManagerNotOpened;
  int result = kServiceNotOpened;
  const Handle service = m.OpenService(manager, ServiceName, kServiceAllAccess);
  if (service) {
    std::uint32_t state = 0;
    // A status that cannot be read counts as not stopped: nothing is started.
    if (m.QueryServiceStatus(service, state) && state == kServiceStopped)
      result = m.StartService(service) ? kServiceStartAccepted : kServiceStartFailed;
    else
      result = kServiceNotStopped;
    m.CloseServiceHandle(service);
  }
  m.CloseServiceHandle(manager);
  return result;
}

bool TfrmCheckCondition::CheckDatabase(bool Retry) {
  const std::string name = FindSqlServerService();
  const int code = EnsureServiceRunning(name);
  switch (code) {
    case kServiceNotStopped:
    case kServiceStartAccepted:
      return true;
    case kServiceStartFailed:
      imgDB_NO.SetVisible(true);
      MsgHint("数据库软件（MSSQL/MSDE）未能正常启动，请检查原因！",
              "資料庫軟體（MSSQL/MSDE）未能正常啟動，請檢查原因！",
              "The SQL is not worked,please check!");
      return false;
    case kManagerNotOpened:
      MsgHint("操作系统不完整！", "作業系統不完整！", "The OS may have a problem!");
      return false;
    default:
      break;
  }
  if (Retry) return false;
  imgDB_NO.SetVisible(true);
  const std::string setup = ProgramFolder() + "bin\\MSDERelA\\Setup.exe";
  auto elsewhere = [] {
    if (MsgConfirm("本系统必需MS系列数据库的支持，但数据库不一定在本机，也可以在网络上的其它机器上！\r\n"
                   "你确定网络上有可使用的MS系列数据库吗？",
                   "本系統必需MS系列資料庫的支援，但資料庫不一定在本機，也可以在網路上的其它機器上！\r\n"
                   "你確定網路上有可使用的MS系列資料庫嗎？",
                   "This software required a SQL database support!\r\nThe SQL can be on the "
                   "local machine or on a network!\r\nYou determine the available SQL database!") ==
        w::IdYes)
      return true;
    MsgHint("继续安装本系统前，请先安装MS系列数据库！", "繼續安裝本系統前，請先安裝MS系列資料庫！",
            "Please install MSSQL first!");
    return false;
  };
  if (sys().FileExists(setup)) {
    if (MsgConfirm("没有在本机检测出MS系列数据库，是否现在安装免费数据库 MSDE2000 ?",
                   "沒有在本機檢測出MS系列資料庫，是否現在安裝免費資料庫 MSDE2000 ?",
                   "The machine does not detect SQL databse,do you want to install msde2000?") ==
        w::IdYes) {
      const std::string pw = std::string("\"") + kMsdeSaPassword + "\"";
      MsgHint("数据库用户 SA 的密码是" + pw + "，安装本系统的时候需要用到这个密码，请记在笔记本上！",
              "資料庫使用者 SA 的密碼是" + pw + "，安裝本系統的時候需要用到這個密碼，請記在筆記本上！",
              "The password of the user SA is " + pw + ",please note!");
      ExecAndWait(setup, "", w::SwShowNormal);
      return CheckDatabase(true);
    }
    return elsewhere();
  }
  MsgHint("没有在本机检测出MS系列数据库！\r\n继续安装本系统前，请先安装MS系列数据库！\r\n"
          "本版安装程序不含数据库 MSDE2000，请单独安装MS系列数据库，或者重新下载含有MSDE2000的安装程序！",
          "沒有在本機檢測出MS系列資料庫！\r\n繼續安裝本系統前，請先安裝MS系列資料庫！\r\n"
          "本版安裝程式不含資料庫 MSDE2000，請單獨安裝MS系列資料庫，或者重新下載含有MSDE2000的安裝程式！",
          "The machine does not detect SQL databse!\r\nPlease install SQL database first!");
  return elsewhere();
}

// ---------------------------------------------------------------- web server

std::string GetOSVersionText() {
  OsVersion v;
  if (!sys().GetVersionEx(v)) return "";
  return std::to_string(v.major) + std::to_string(v.minor);
}

std::string ListWebSiteNumbers(const std::string& folder) {
  std::string result;
  bool first = true;
  std::vector<FileEntry> entries;
  if (!sys().ListFolder(folder + "*", entries)) return result;
  for (const FileEntry& e : entries) {
    // Asking for folders still leaves out hidden and system entries.
    if (e.attributes & (w::FileAttributeHidden | w::FileAttributeSystem)) continue;
    if ((e.attributes & w::FileAttributeDirectory) != e.attributes) continue;
    std::string upper = e.name.substr(0, 5);
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (upper != "W3SVC") continue;
    if (!first) result += ",";
    first = false;
    result += e.name.substr(5);
  }
  return result;
}

std::string OpenFirstWebServer(const std::string& numbers, Handle webService,
                               OleObject& webSite) {
  std::string text;
  for (char c : numbers) {
    if (c == ',') text += "\r\n";
    else text += c;
  }
  for (const std::string& line : SplitLines(Trim(text))) {
    try {
      OleValue v =
          ole().CallMethod(webService, "GetObject", {OleValue::Text("IIsWebServer"), OleValue::Text(line)});
      webSite = OleObject(v.object);
      return line;
    } catch (...) {
    }
  }
  return "";
}

void TfrmCheckCondition::ReportWebServerMissing() {
  imgIIS_NO.SetVisible(true);
  MsgHint("没有检测到IIS（Internet 信息服务），继续安装本系统前，请先安装 IIS ！\r\n确定后，可以阅读安装指南！",
          "沒有檢測到IIS（Internet 資訊服務），繼續安裝本系統前，請先安裝 IIS ！\r\n確定後，可以閱讀安裝指南！",
          "Please install IIS first!");
  sys().ShellExecute(0, "", "IExplore.exe", ProgramFolder() + "bin\\Saphrel.htm", "",
                     w::SwShowNormal);
}

bool TfrmCheckCondition::CheckWebServer() {
  bool result = false;
  // Whether the web publishing service ran before it is stopped below, so
  // that it can be brought back when nothing else starts it.
  const bool wasRunning = ServiceState("w3svc") == kServiceRunning;
  ExecAndWait(sys().GetSystemDirectory() + "\\net.exe", "stop w3svc", w::SwHide);
  const std::string text = GetOSVersionText();
  if (text < "60") {
    switch (EnsureServiceRunning("w3svc")) {
      case kServiceNotOpened:
        ReportWebServerMissing();
        break;
      case kServiceNotStopped:
      case kServiceStartAccepted:
        try {
          OleObject iis(ole().CreateOleObject("IISNamespace"));
          OleObject web(ole().CallMethod(iis.get(), "GetObject",
                                         {OleValue::Text("IIsWebService"),
                                          OleValue::Text("127.0.0.1/w3svc")})
                            .object);
          OleObject site;
          try {
            site = OleObject(ole().CallMethod(web.get(), "GetObject",
                                              {OleValue::Text("IIsWebServer"), OleValue::Int(1)})
                                 .object);
          } catch (...) {
            const std::string folder = sys().GetSystemDirectory() + "\\" + "Logfiles\\";
            const std::string numbers = ListWebSiteNumbers(folder);
            const std::string n = OpenFirstWebServer(numbers, web.get(), site);
            site = OleObject(ole().CallMethod(web.get(), "GetObject",
                                              {OleValue::Text("IIsWebServer"), OleValue::Text(n)})
                                 .object);
          }
          OleObject started(ole().CallMethod(site.get(), "Start", {}).object);
          result = true;
        } catch (const std::exception& e) {
          imgIIS_NO.SetVisible(true);
          MsgHint(std::string("IIS（Internet 信息服务）未能正常启动，请检查原因！\r\n") + e.what(),
                  std::string("IIS（Internet 資訊服務）未能正常啟動，請檢查原因！\r\n") + e.what(),
                  "The IIS is not worked,please check it!");
        }
        break;
      case kServiceStartFailed:
        imgIIS_NO.SetVisible(true);
        MsgHint("IIS（Internet 信息服务）未能正常启动，请检查原因！",
                "IIS（Internet 資訊服務）未能正常啟動，請檢查原因！",
                "The IIS is not worked,please check it!");
        break;
      case kManagerNotOpened:
        MsgHint("操作系统不完整！", "作業系統不完整！", "The OS may have a problem!");
        break;
    }
  } else {
    if (RegKeyExists(w::HKLM, kW3svcKey)) result = true;
    else ReportWebServerMissing();
    // The check stopped the service above; leave it as it was found.
    if (wasRunning) EnsureServiceRunning("w3svc");
  }
  return result;
}
