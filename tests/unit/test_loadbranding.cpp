#include <zlib.h>

#include <string>
#include <vector>

#include "branding_file.h"
#include "launcher/unSetupMain.h"
#include "ui_fixture.h"

using namespace plat;

namespace {

const char* const kFile = "C:\\Program Files\\Tenvox\\bin\\Lumeno.dat";
const std::string kMissing = "缺少文件，程序结束运行！\r\n";

std::string Inflate(const std::string& z) {
  std::string out(1 << 20, '\0');
  uLongf n = out.size();
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(z.data()),
                 z.size()) != Z_OK)
    return {};
  out.resize(n);
  return out;
}

std::string Deflate(const std::string& s) {
  std::string out(compressBound(s.size()), '\0');
  uLongf n = out.size();
  compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(s.data()), s.size());
  out.resize(n);
  return out;
}

// The default branding file with the banner's first bytes replaced (same
// length), so that d3 holds another kind of picture.
std::string WithBannerStart(const std::string& start) {
  std::string content = Inflate(testbrand::DefaultFile());
  const auto at = content.find(testbrand::TestBanner().substr(0, 54));
  if (at == std::string::npos) return {};
  content.replace(at, start.size(), start);
  return Deflate(content);
}

class LoadBranding : public UiTest {
 protected:
  std::unique_ptr<TfrmSetupMain> Start() {
    auto f = vcl::CreateForm<TfrmSetupMain>();
    m.AnswerBoxes({w::IdOk});
    f->Show();
    return f;
  }
};

TEST_F(LoadBranding, AddInNameReplacesTheFirstPellora) {
  for (const auto& [addin, all, client] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"Pellora", "整体快速安装（包括服务器、Excel客户端、Pellora、数据库MSDE2000）", "Excel客户端、Pellora - 安装"},
           {"", "整体快速安装（包括服务器、Excel客户端、、数据库MSDE2000）", "Excel客户端、 - 安装"},
           {"Pellora Pellora", "整体快速安装（包括服务器、Excel客户端、Pellora Pellora、数据库MSDE2000）",
            "Excel客户端、Pellora Pellora - 安装"},
       }) {
    SCOPED_TRACE(addin);
    sim::HeadlessWorld world;
    sim::SimMachine& machine = world.machine;
    ResetLanguage();
    const std::string file = testbrand::Pack("标题", "Maker", testbrand::TestBanner(), addin);
    ASSERT_FALSE(file.empty());
    machine.AddFile(kFile, file);
    auto f = vcl::CreateForm<TfrmSetupMain>();
    f->Show();
    EXPECT_EQ(f->radAll.Caption(), all);
    EXPECT_EQ(f->radClient.Caption(), client);
    EXPECT_EQ(f->Caption(), "标题 - 高级版");
    EXPECT_TRUE(machine.Boxes().empty());
  }
}

TEST_F(LoadBranding, MissingFileIsReportedOnceAndEndsTheProgram) {
  for (const char* code : {"A", "C"}) {
    SCOPED_TRACE(code);
    sim::HeadlessWorld world;
    sim::SimMachine& machine = world.machine;
    ResetLanguage();
    machine.SetString(w::HKCU, "Software\\Tenvox", "CurLang", code);
    machine.AnswerBoxes({w::IdOk, w::IdOk});
    auto f = vcl::CreateForm<TfrmSetupMain>();
    f->Show();
    ASSERT_EQ(machine.Boxes().size(), 1u);
    EXPECT_EQ(machine.Boxes()[0].text, kMissing);  // the same text in every language
    EXPECT_EQ(machine.Boxes()[0].caption, std::string(code) == "A" ? "提示" : "Hint");
    EXPECT_EQ(machine.Boxes()[0].style, w::MbIconInformation);
    EXPECT_TRUE(machine.QuitPending());
    // The rest of the start-up still ran.
    EXPECT_EQ(f->Caption(), std::string(code) == "A" ? "V6.3.1版 安装程序 - 高级版"
                                                     : "V6.3.1 Setup Program  - Advanced");
    world.app.ProcessMessages();
    EXPECT_TRUE(world.app.Terminated());
  }
}

TEST_F(LoadBranding, DamagedFilesKeepTheStepsBeforeTheFailure) {
  struct Case {
    std::string name, file;
    bool titleApplied;    // a10 and a16 were read before the failure
    std::string detail;   // a piece of the failure's own message
  };
  const std::vector<Case> cases = {
      {"PNG banner", WithBannerStart("\x89PNG\r\n\x1a\n"), true, "PNG"},
      {"JPEG banner", WithBannerStart(std::string("\xFF\xD8\xFF\xE0", 4)), true, "JPEG"},
      {"not zlib", "This is not a packed file at all.", false, ""},
      {"empty file", "", false, ""},
      {"cut short", testbrand::DefaultFile().substr(0, 40), false, ""},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    ASSERT_TRUE(tc.name == "empty file" || !tc.file.empty());
    sim::HeadlessWorld world;
    sim::SimMachine& machine = world.machine;
    ResetLanguage();
    machine.AddFile(kFile, tc.file);
    machine.AnswerBoxes({w::IdOk, w::IdOk});
    auto f = vcl::CreateForm<TfrmSetupMain>();
    f->Show();
    ASSERT_EQ(machine.Boxes().size(), 1u);
    const std::string& text = machine.Boxes()[0].text;
    EXPECT_EQ(text.rfind(kMissing, 0), 0u) << text;
    EXPECT_GT(text.size(), kMissing.size()) << "the failure's message follows";
    if (!tc.detail.empty()) {
      EXPECT_NE(text.find(tc.detail), std::string::npos) << text;
    }
    EXPECT_TRUE(machine.QuitPending());
    EXPECT_EQ(f->Caption(), tc.titleApplied ? "汇报通 6.3 - 高级版" : "V6.3.1版 安装程序 - 高级版");
    EXPECT_EQ(f->SymbolLine1.Caption(), tc.titleApplied ? "Tenvox Ltd." : "Tenvox");
    // The banner and the add-in name come after the picture: never applied.
    EXPECT_EQ(f->radClient.Caption(), "Excel客户端、Pellora - 安装");
    EXPECT_NE(f->Image1.Picture().Pixels.at(35 * 585), 0xFFFFFFu);
  }
}

}  // namespace
