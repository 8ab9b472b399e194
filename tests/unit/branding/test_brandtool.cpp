// The branding tool, run as the reseller runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "common/errors.h"
#include "common/utf.h"
#include "launcher/Bitmap.h"
#include "launcher/DataPacket.h"
#include "launcher/unPack.h"
#include "tests/unit/branding/helpers.h"
#include "tests/unit/sim_fixture.h"

using namespace bt;
namespace fs = std::filesystem;

namespace {

struct Result {
  int rc = -1;
  std::string out, err;
};

std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// A 24-bit banner with a recognisable pattern.
Bytes Banner(int w, int h) {
  const std::uint32_t stride = (w * 3 + 3) / 4 * 4;
  Bytes bits;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) Le(bits, static_cast<std::uint32_t>(x * 7 + y * 13) * 0x010305u, 3);
    bits.resize((y + 1) * stride, 0);
  }
  return Cat({Str("BM"), Le32(54 + static_cast<std::uint32_t>(bits.size())), Le32(0), Le32(54), Le32(40),
              Le32(w), Le32(h), Le16(1), Le16(24), Le32(0), Le32(static_cast<std::uint32_t>(bits.size())),
              Le32(0), Le32(0), Le32(0), Le32(0), bits});
}

class BrandTool : public SimTest {
 protected:
  BrandTool() {
    char tmpl[] = "/tmp/brandtool-test-XXXXXX";
    dir_ = mkdtemp(tmpl);
    WriteFile(Path("banner.bmp"), banner_);
  }
  ~BrandTool() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  Result Run(const std::vector<std::string>& args) const {
    std::string cmd = ShellQuote(BRANDTOOL_PATH);
    for (const auto& a : args) cmd += " " + ShellQuote(a);
    cmd += " >" + ShellQuote(Path("stdout")) + " 2>" + ShellQuote(Path("stderr"));
    const int status = std::system(cmd.c_str());
    Result r;
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const Bytes out = ReadFile(Path("stdout")), err = ReadFile(Path("stderr"));
    r.out.assign(out.begin(), out.end());
    r.err.assign(err.begin(), err.end());
    return r;
  }

  std::vector<std::string> PackArgs(const std::string& out) const {
    return {"pack", out, "--title", "远景报表 V6.3", "--maker", "Acme \"Soft\" Ltd.", "--banner",
            Path("banner.bmp"), "--addin", "Acme Excel"};
  }

  std::string dir_;
  Bytes banner_ = Banner(37, 5);
};

TEST_F(BrandTool, HelpTellsBothCommands) {
  const Result r = Run({"--help"});
  EXPECT_EQ(r.rc, 0);
  for (const char* word : {"brandtool pack OUTPUT", "--title", "--maker", "--banner", "--addin",
                           "--header", "brandtool show FILE", "--extract", "Pellora", "Lumeno.dat"})
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  EXPECT_EQ(r.err, "");
}

TEST_F(BrandTool, PackShowExtractRoundTrip) {
  auto args = PackArgs(Path("Lumeno.dat"));
  args.insert(args.end(), {"--header", "Acme branding 2024"});
  const Result pack = Run(args);
  ASSERT_EQ(pack.rc, 0) << pack.err;
  EXPECT_EQ(pack.err, "");
  EXPECT_FALSE(fs::exists(Path("Lumeno.dat.tmp")));

  // The launcher's reading path takes the file as written.
  const Bytes payload = UnpackBytes(ReadFile(Path("Lumeno.dat")));
  EXPECT_EQ(sPackHeaderText, "Acme branding 2024");
  const DataPacket pk = DataPacket::Parse(payload);
  EXPECT_EQ(pk.RowCount(), 1u);
  EXPECT_EQ(pk.CurrentRow(), 1u);
  for (const auto& [name, value] : {std::pair{"a10", "远景报表 V6.3"}, {"a16", "Acme \"Soft\" Ltd."}, {"a18", "Acme Excel"}}) {
    const DataField& f = pk.FieldByName(name);
    EXPECT_EQ(f.Kind(), FieldKind::Unicode) << name;
    EXPECT_EQ(f.Width(), utf::ToUtf16(value).size() * 2) << name;
    EXPECT_EQ(f.AsString(), value);
  }
  const DataField& d3 = pk.FieldByName("d3");
  EXPECT_TRUE(d3.IsBlob());
  EXPECT_EQ(d3.Subtype(), "Graphics");
  EXPECT_EQ(d3.BlobBytes(), banner_);
  const Bitmap b = LoadBitmap(d3.BlobBytes());
  EXPECT_EQ(b.width, 37);
  EXPECT_EQ(b.height, 5);

  const Result show = Run({"show", Path("Lumeno.dat"), "--extract", Path("out.bmp")});
  ASSERT_EQ(show.rc, 0) << show.err;
  for (const char* line : {"header text: \"Acme branding 2024\"", "a10 [UTF-16 string, width 18]: \"远景报表 V6.3\"",
                           "a16 [UTF-16 string, width 32]: \"Acme \\\"Soft\\\" Ltd.\"",
                           "a18 [UTF-16 string, width 20]: \"Acme Excel\"",
                           "d3 [blob (Graphics)]: 614 bytes, bitmap 37 x 5, 24 bits per pixel"})
    EXPECT_NE(show.out.find(line), std::string::npos) << line << "\n" << show.out;
  EXPECT_EQ(ReadFile(Path("out.bmp")), banner_);
}

TEST_F(BrandTool, GraphicHeaderEmptyAddInAndNoHeaderText) {
  auto args = PackArgs(Path("Lumeno.dat"));
  args[9] = "";  // --addin ""
  args.push_back("--graphic-header");
  ASSERT_EQ(Run(args).rc, 0);
  const DataPacket pk = DataPacket::Parse(UnpackBytes(ReadFile(Path("Lumeno.dat"))));
  EXPECT_EQ(sPackHeaderText, "");
  EXPECT_FALSE(pk.FieldByName("a18").IsNull());
  EXPECT_EQ(pk.FieldByName("a18").AsString(), "");
  EXPECT_EQ(pk.FieldByName("d3").BlobBytes(), AddGraphicHeader(banner_));

  const Result show = Run({"show", Path("Lumeno.dat"), "--extract", Path("out.bmp")});
  ASSERT_EQ(show.rc, 0) << show.err;
  EXPECT_NE(show.out.find("header text: (none)"), std::string::npos);
  EXPECT_NE(show.out.find("622 bytes, graphic header, bitmap 37 x 5"), std::string::npos) << show.out;
  EXPECT_EQ(ReadFile(Path("out.bmp")), banner_);  // extracted without the graphic header
}

TEST_F(BrandTool, ShowsBareDataPackets) {
  const Result r = Run({"show", Packet("electric_ldsMeasures.cds")});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("a bare data packet of 721 bytes"), std::string::npos);
  EXPECT_NE(r.out.find("DESCRIPTION_UKR [UTF-16 string, width 8000]: \"Ампер\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("KOEFF [FLOAT]: \"1\""), std::string::npos) << r.out;
}

TEST_F(BrandTool, FailuresSayWhatIsWrongAndWriteNothing) {
  WriteFile(Path("photo.png"), Cat({Bytes{0x89}, Str("PNG\r\n\x1A\n rest")}));
  WriteFile(Path("garbage.dat"), Str("not a branding file"));
  WriteFile(Path("existing.dat"), Str("keep me"));
  WriteFile(Path("cut.dat"), [&] {
    Bytes whole = Deflate(Content(kPackMagic, 1000, Str("h"), Bytes(1000, 7)));
    return Bytes(whole.begin(), whole.begin() + 12);
  }());
  auto pack = [&](const std::string& out, const std::string& banner, std::vector<std::string> extra = {}) {
    auto a = PackArgs(out);
    a[7] = banner;
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  };
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int rc;
    std::string message;
  };
  const Case cases[] = {
      {"no command", {}, 2, "no command given"},
      {"unknown command", {"unpack"}, 2, "unknown command 'unpack'"},
      {"unknown option", {"pack", Path("x.dat"), "--colour", "red"}, 2, "unknown option --colour"},
      {"missing banner", {"pack", Path("x.dat"), "--title", "t", "--maker", "m", "--addin", "a"}, 2,
       "pack: --banner is missing"},
      {"option without value", {"pack", Path("x.dat"), "--title"}, 2, "--title needs a value"},
      {"banner not found", pack(Path("x.dat"), Path("nope.bmp")), 1,
       "cannot read '" + Path("nope.bmp") + "': No such file or directory"},
      {"banner is a png", pack(Path("existing.dat"), Path("photo.png")), 1,
       "--banner '" + Path("photo.png") + "': Bitmap image is not valid: the data is a PNG picture, not a bitmap"},
      {"header not ascii", pack(Path("existing.dat"), Path("banner.bmp"), {"--header", "été"}), 1,
       "--header: the note must be plain ASCII text"},
      {"title not utf-8", [&] { auto a = PackArgs(Path("existing.dat")); a[3] = "\xFF"; return a; }(), 1,
       "--title: the text is not valid UTF-8"},
      {"output folder missing", pack(Path("no/such/dir/x.dat"), Path("banner.bmp")), 1, "cannot write '"},
      {"show missing file", {"show", Path("nope.dat")}, 1, "cannot read '"},
      {"show garbage", {"show", Path("garbage.dat")}, 1, "The packed data is damaged: zlib: incorrect header check"},
      {"show cut", {"show", Path("cut.dat")}, 1, "The packed data is damaged: the compressed data is cut off"},
      {"extract without d3", {"show", Packet("emb_country.cds"), "--extract", Path("x.bmp")}, 1,
       "Field 'd3' not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = Run(c.args);
    EXPECT_EQ(r.rc, c.rc);
    EXPECT_EQ(r.err.rfind("brandtool: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_EQ(ReadFile(Path("existing.dat")), Str("keep me"));
  EXPECT_FALSE(fs::exists(Path("x.dat")));
  EXPECT_FALSE(fs::exists(Path("x.bmp")));
  EXPECT_FALSE(fs::exists(Path("existing.dat.tmp")));
}

}  // namespace
