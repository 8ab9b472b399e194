#include "launcher/unSetupMain.h"

#include "common/errors.h"
#include "common/unLang.h"
#include "common/unMsgDialog.h"
#include "common/unOther.h"
#include "common/unReg_File.h"
#include "launcher/Bitmap.h"
#include "launcher/DataPacket.h"
#include "launcher/setup_ids.h"
#include "launcher/unPack.h"
#include "platform/system.h"

using plat::w::HKLM;

namespace {

const char* const kTenvoxKey = "SoftWare\\Tenvox\\";
const char* const kUserKey = "\\Software\\Tenvox\\";

std::string ReplaceFirst(const std::string& text, const std::string& from,
                         const std::string& to) {
  const auto at = text.find(from);
  if (at == std::string::npos) return text;
  return text.substr(0, at) + to + text.substr(at + from.size());
}

// `keyword` "folder": the folder in double quotation marks, nothing escaped.
std::string ChainParameter(const std::string& keyword, const std::string& folder) {
  return keyword + " \"" + folder + "\"";
}

}  // namespace

TfrmSetupMain::TfrmSetupMain()
    : TfrmFormBase("frmSetupMain"),
      Image1(this, "Image1", setup_ids::Image1),
      Shape1(this, "Shape1", setup_ids::Shape1),
      Label1(this, "Label1", setup_ids::Label1),
      radAll(this, "radAll", setup_ids::radAll),
      btnAll(this, "btnAll", setup_ids::btnAll),
      Label5(this, "Label5", setup_ids::Label5),
      radServer(this, "radServer", setup_ids::radServer),
      btnServer(this, "btnServer", setup_ids::btnServer),
      Label6(this, "Label6", setup_ids::Label6),
      radServers(this, "radServers", setup_ids::radServers),
      Label7(this, "Label7", setup_ids::Label7),
      btnServer1(this, "btnServer1", setup_ids::btnServer1),
      Label8(this, "Label8", setup_ids::Label8),
      btnServer2(this, "btnServer2", setup_ids::btnServer2),
      radClient(this, "radClient", setup_ids::radClient),
      btnClient(this, "btnClient", setup_ids::btnClient),
      Label9(this, "Label9", setup_ids::Label9),
      Label3(this, "Label3", setup_ids::Label3),
      comboLang(this, "comboLang", setup_ids::comboLang) {
  SetCaption("安装程序");
  Color = vcl::clWindow;
  SetClientSize(585, 436);

  Image1.SetBounds(0, 0, 585, 69);
  Image1.SetPicture(DesignBanner());
  Shape1.SetBounds(0, 68, 587, 1);

  // Captions first, then the stored bounds: the design sizes stand until a
  // caption or font changes.
  auto label = [](vcl::TLabel& l, const char* text, int x, int y, int w, int h) {
    l.SetCaption(text);
    l.SetBounds(x, y, w, h);
  };
  label(Label1, "请选择安装类型：", 14, 82, 96, 12);
  label(Label5, "适合在既是作服务器又作客户机的电脑上快速安装。", 61, 129, 276, 12);
  label(Label6, "适合大多数用户安装", 61, 188, 108, 12);
  label(Label7, "中间件服务器 - 安装", 61, 248, 114, 12);
  label(Label8, "网络服务器 - 安装", 61, 276, 102, 12);
  label(Label9, "建议远程的计算机直接从 网络服务器 下载客户端安装程序进行安装，", 61, 336, 372, 12);
  label(Label3, "这样就可以省去拷贝安装程序的麻烦。", 61, 351, 204, 12);

  radAll.SetCaption("整体快速安装（包括服务器、Excel客户端、Pellora、数据库MSDE2000）");
  radAll.SetBounds(37, 105, 409, 15);
  radAll.SetChecked(true);
  radServer.SetCaption("服务器 - 常规安装");
  radServer.SetBounds(37, 164, 121, 15);
  radServers.SetCaption("服务器 - 高级安装");
  radServers.SetBounds(37, 221, 121, 15);
  radClient.SetCaption("Excel客户端、Pellora - 安装");
  radClient.SetBounds(37, 310, 187, 15);

  auto button = [](vcl::TButton& b, int x, int y, int w, int h, bool enabled) {
    b.SetCaption("安装...");
    b.SetBounds(x, y, w, h);
    b.SetEnabled(enabled);
    b.HotTrack = true;
  };
  button(btnAll, 493, 105, 75, 41, true);
  button(btnServer, 181, 164, 75, 41, false);
  button(btnServer1, 181, 240, 75, 25, false);
  button(btnServer2, 181, 272, 75, 25, false);
  button(btnClient, 277, 305, 75, 25, false);

  SymbolLine1.SetBounds(10, 372, 561, 15);
  comboLang.SetBounds(37, 397, 84, 20);
  comboLang.SetItems({"简体中文", "繁體中文", "English"});
  comboLang.SetItemIndex(0);
  btnOK.SetBounds(291, 397, 75, 22);
  btnOK.SetVisible(false);
  btnCancel.SetBounds(435, 397, 75, 22);
  btnCancel.SetCaption("关闭");

  // Keyboard order, after the base form's OK (0) and Cancel (1).
  int order = 2;
  for (vcl::TControl* c : std::initializer_list<vcl::TControl*>{
           &btnAll, &btnServer, &btnServer1, &btnServer2, &radAll, &radServer, &radServers,
           &radClient, &btnClient, &comboLang})
    c->SetTabOrder(order++);

  for (vcl::TRadioButton* r : {&radAll, &radServer, &radServers, &radClient})
    r->OnClick = [this](vcl::TObject* s) { radAllClick(s); };
  btnAll.OnClick = [this](vcl::TObject* s) { btnAllClick(s); };
  btnServer.OnClick = [this](vcl::TObject* s) { btnServerClick(s); };
  btnServer1.OnClick = [this](vcl::TObject* s) { btnServer1Click(s); };
  btnServer2.OnClick = [this](vcl::TObject* s) { btnServer2Click(s); };
  btnClient.OnClick = [this](vcl::TObject* s) { btnClientClick(s); };
  comboLang.OnChange = [this](vcl::TObject* s) { comboLangChange(s); };
  OnCloseQuery = [this](vcl::TObject* s, bool& canClose) { FormCloseQuery(s, canClose); };
}

TfrmSetupMain::~TfrmSetupMain() = default;

std::string TfrmSetupMain::ProgramFolder() const {
  std::string path = plat::sys().ProgramFileName();
  const auto cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// ---------------------------------------------------------------- start-up

void TfrmSetupMain::FormShow(vcl::TObject* Sender) {
  TfrmFormBase::FormShow(Sender);
  SetCaption("V6.3.1版 安装程序");
  LoadBranding();
  SetCaption(Caption() + " - " + GetEditionName());
  const std::string code = ReadUserRegString(kUserKey, "CurLang");
  if (code != "A" && !code.empty()) {
    comboLang.SetItemIndex(LangCodeToIndex(code));
    comboLangChange(&comboLang);
  }
}

std::string TfrmSetupMain::GetEditionName() { return LangText("高级版", "高級版", "Advanced"); }

std::string TfrmSetupMain::IndexToLangCode(int index) {
  if (index == 0) return "A";
  if (index == 1) return "B";
  return "C";
}

int TfrmSetupMain::LangCodeToIndex(const std::string& code) {
  if (code == "A") return 0;
  if (code == "B") return 1;
  if (code == "C") return 2;
  return 0;
}

void TfrmSetupMain::comboLangChange(vcl::TObject*) {
  const std::string code = IndexToLangCode(comboLang.ItemIndex());
  WriteUserRegString(kUserKey, "CurLang", code);
  bLangRead = false;
  GetLangFlag();
  ApplyLanguage();
}

// ---------------------------------------------------------------- texts

void TfrmSetupMain::ApplyLanguage() {
  TfrmFormBase::ApplyLanguage();
  SetCaption("V6.3.1版 安装程序 - " + GetEditionName());
  btnServer.SetLeft(181);
  btnServer1.SetLeft(181);
  btnServer2.SetLeft(181);

  struct Texts {
    const char* prefix;
    const char *l1, *l5, *l6, *l7, *l8, *l9, *l3;
    const char *all, *server, *servers, *client;
    const char *install, *close;
  };
  static const Texts kA = {
      "V6.3.1版 安装程序 - ", "请选择安装类型：", "适合在既是作服务器又作客户机的电脑上快速安装。",
      "适合大多数用户安装", "中间件服务器 - 安装", "网络服务器 - 安装",
      "建议远程的计算机直接从 网络服务器 下载客户端安装程序进行安装，",
      "这样就可以省去拷贝安装程序的麻烦。",
      "整体快速安装（包括服务器、Excel客户端、Pellora、数据库MSDE2000）", "服务器 - 常规安装",
      "服务器 - 高级安装", "Excel客户端、Pellora - 安装", "安装...", "关闭"};
  static const Texts kB = {
      "V6.3.1版 安裝程式 - ", "請選擇安裝類型：", "適合在既是作伺服器又作客戶機的電腦上快速安裝。",
      "適合大多數用戶安裝", "中間件伺服器 - 安裝", "網路伺服器 - 安裝",
      "建議遠端的電腦直接從 網路伺服器 下載用戶端安裝程式進行安裝，",
      "這樣就可以省去拷貝安裝程式的麻煩。",
      "整體快速安裝（包括伺服器、Excel用戶端、Pellora、資料庫MSDE2000）", "伺服器 - 常規安裝",
      "伺服器 - 高級安裝", "Excel用戶端、Pellora - 安裝", "安裝...", "關閉"};
  static const Texts kC = {
      "V6.3.1 Setup Program  - ", "Please select a installation:",
      "Suited for both the server and the client machines for quick setup.",
      "Suitable for most users to install", "Middleware server - install",
      "Network server - install",
      "Recommended for remote computers from a network server to download the client ",
      "installation program to install.",
      "Overall express install (including Server,Excel client,Report agent,MSDE)",
      "Server - General Setup", "Server - Advanced Setup", "Excel Client,Report Agent - Setup",
      "Setup...", "Exit"};

  const Texts* t = nullptr;
  vcl::TFont font = Font();
  if (bLangA || bLangB) {
    t = bLangA ? &kA : &kB;
    font.Name = "宋体";
    font.SetSize(9);
  } else if (bLangC) {
    t = &kC;
    font.Name = "Tahoma";
    font.SetSize(8);
  } else {
    return;
  }
  SetFont(font);
  if (bLangC) {
    btnServer.SetLeft(280);
    btnServer1.SetLeft(230);
    btnServer2.SetLeft(230);
  }
  SetCaption(t->prefix + GetEditionName());
  Label1.SetCaption(t->l1);
  Label5.SetCaption(t->l5);
  Label6.SetCaption(t->l6);
  Label7.SetCaption(t->l7);
  Label8.SetCaption(t->l8);
  Label9.SetCaption(t->l9);
  Label3.SetCaption(t->l3);
  radAll.SetCaption(t->all);
  radServer.SetCaption(t->server);
  radServers.SetCaption(t->servers);
  radClient.SetCaption(t->client);
  btnAll.SetCaption(t->install);
  // In English the other buttons take the caption just given to btnAll.
  const std::string install = bLangC ? btnAll.Caption() : std::string(t->install);
  btnServer.SetCaption(install);
  btnServer1.SetCaption(install);
  btnServer2.SetCaption(install);
  btnClient.SetCaption(install);
  btnCancel.SetCaption(t->close);
}

// ---------------------------------------------------------------- install types

void TfrmSetupMain::radAllClick(vcl::TObject*) {
  btnAll.SetEnabled(radAll.Checked());
  btnServer.SetEnabled(radServer.Checked());
  btnServer1.SetEnabled(radServers.Checked());
  btnServer2.SetEnabled(radServers.Checked());
  btnClient.SetEnabled(radClient.Checked());
}

std::string TfrmSetupMain::GetMiddlewareFolder() {
  WriteRegString(HKLM, kTenvoxKey, "ALLSetup", "0");
  std::string s = ReadRegString(HKLM, kTenvoxKey, "COMPart");
  const std::string s0 = s;
  if (!s.empty() && s.back() == '+') s = ReplaceFirst(s, "\\COM+", "");
  if (!plat::sys().DirectoryExists(s)) s = s0;
  return s;
}

void TfrmSetupMain::RunChain(void (TfrmSetupMain::*chain)()) {
  if (installing_) return;  // one chain at a time
  installing_ = true;
  try {
    (this->*chain)();
  } catch (...) {
    installing_ = false;
    throw;
  }
  installing_ = false;
}

void TfrmSetupMain::btnAllClick(vcl::TObject*) { RunChain(&TfrmSetupMain::ChainAll); }
void TfrmSetupMain::btnServerClick(vcl::TObject*) { RunChain(&TfrmSetupMain::ChainServer); }
void TfrmSetupMain::btnServer1Click(vcl::TObject*) { RunChain(&TfrmSetupMain::ChainServer1); }
void TfrmSetupMain::btnServer2Click(vcl::TObject*) { RunChain(&TfrmSetupMain::ChainServer2); }
void TfrmSetupMain::btnClientClick(vcl::TObject*) { RunChain(&TfrmSetupMain::ChainClient); }

// The middleware installer, then, when it answered "1", the web installer
// with the chain parameter `webKeyword`: the common start of types 1 and 2.
void TfrmSetupMain::MiddlewareThenWeb(const std::string& P, const std::string& webKeyword) {
  ExecAndWait(P + "bin\\Quenmar.exe", "COM", plat::w::SwShowNormal);
  if (ReadRegString(HKLM, kTenvoxKey, "ALLSetup") == "1") {
    const std::string f = GetMiddlewareFolder();
    ExecAndWait(P + "bin\\Ostrile.exe", ChainParameter(webKeyword, f), plat::w::SwShowNormal);
  }
}

void TfrmSetupMain::ChainAll() {
  bool isExcel32 = false;
  if (!ShowCheckCondition(1, isExcel32)) return;
  const std::string P = ProgramFolder();
  MiddlewareThenWeb(P, "WEB_CLIENT");
  if (ReadRegString(HKLM, kTenvoxKey, "ALLSetup") == "1") {
    const std::string f = GetMiddlewareFolder();
    const std::string arch = isExcel32 ? "x32" : "x64";
    ExecAndWait(P + "bin\\Harvend_" + arch + ".exe", ChainParameter("CLIENT", f),
                plat::w::SwShowNormal);
  }
}

void TfrmSetupMain::ChainServer() {
  bool isExcel32 = false;
  if (!ShowCheckCondition(2, isExcel32)) return;
  MiddlewareThenWeb(ProgramFolder(), "WEB");
}

void TfrmSetupMain::ChainServer1() {
  bool isExcel32 = false;
  if (!ShowCheckCondition(3, isExcel32)) return;
  ExecAndWait(ProgramFolder() + "bin\\Quenmar.exe", "", plat::w::SwShowNormal);
}

void TfrmSetupMain::ChainServer2() {
  bool isExcel32 = false;
  if (!ShowCheckCondition(4, isExcel32)) return;
  ExecAndWait(ProgramFolder() + "bin\\Ostrile.exe", "", plat::w::SwShowNormal);
}

void TfrmSetupMain::ChainClient() {
  bool isExcel32 = false;
  if (!ShowCheckCondition(5, isExcel32)) return;
  const std::string arch = isExcel32 ? "x32" : "x64";
  ExecAndWait(ProgramFolder() + "bin\\Harvend_" + arch + ".exe", "", plat::w::SwShowNormal);
}

// ---------------------------------------------------------------- closing

void TfrmSetupMain::btnCancelClick(vcl::TObject* Sender) {
  TfrmFormBase::btnCancelClick(Sender);
  Close();
}

void TfrmSetupMain::FormCloseQuery(vcl::TObject*, bool& CanClose) {
  // Closing while an installer runs would leave its chain half done without
  // the user knowing: the window stays until the chain has ended.
  if (!installing_) return;
  CanClose = false;
  MsgHint("安装程序正在运行，请等它结束后再关闭本窗口。",
          "安裝程式正在執行，請等它結束後再關閉本視窗。",
          "An installer is still running. Please close this window after it has finished.");
}

// ---------------------------------------------------------------- branding

void TfrmSetupMain::ReportMissingFile(const std::string& detail) {
  MsgHint("缺少文件，程序结束运行！\r\n" + detail, "", "");
  vcl::Application->Terminate();
}

namespace {
vcl::TBitmap ToPicture(const Bitmap& b) {
  vcl::TBitmap p;
  p.Width = b.width;
  p.Height = b.height;
  p.Pixels = b.pixels;
  return p;
}
}  // namespace

void TfrmSetupMain::LoadBranding() {
  const std::string path = ProgramFolder() + "bin\\Lumeno.dat";
  if (!plat::sys().FileExists(path)) {
    // One message is enough: reading a file that is not there would only
    // report the same thing again.
    ReportMissingFile("");
    return;
  }
  // Each step keeps its effect when a later one fails.
  try {
    std::string raw;
    if (!plat::sys().ReadWholeFile(path, raw)) throw EAppError("Cannot open file \"" + path + "\".");
    const std::vector<std::uint8_t> bytes(raw.begin(), raw.end());
    const DataPacket packet = DataPacket::Parse(UnpackBytes(bytes));
    SetCaption(packet.FieldByName("a10").AsString());
    SymbolLine1.SetCaption(packet.FieldByName("a16").AsString());
    const DataField& d3 = packet.FieldByName("d3");
    if (!d3.IsBlob()) throw EAppError("Field 'd3' is not a blob field");
    Image1.SetPicture(ToPicture(LoadBitmap(d3.BlobBytes())));
    radAll.SetCaption(ReplaceFirst(radAll.Caption(), "Pellora", packet.FieldByName("a18").AsString()));
    radClient.SetCaption(
        ReplaceFirst(radClient.Caption(), "Pellora", packet.FieldByName("a18").AsString()));
  } catch (const EAppError& e) {
    ReportMissingFile(e.Message());
  }
}
