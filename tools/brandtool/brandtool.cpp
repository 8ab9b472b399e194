// brandtool: writes and reads the branding file of the setup launcher
// (bin\Lumeno.dat). See Usage() for what a reseller types.
//
// A branding file is a zlib stream holding a small header and a client
// dataset data packet with one record: a10 (title), a16 (maker line),
// a18 (add-in name) as UTF-16 string fields, and d3 (banner) as a graphic
// blob holding a BMP file. It is read back with the launcher's own reader.
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/utf.h"
#include "launcher/Bitmap.h"
#include "launcher/DataPacket.h"
#include "launcher/unPack.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/win32/win32_system.h"
#else
#include "platform/sim/sim_machine.h"
#endif

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Longest text a string field may hold, in UTF-16 code units.
constexpr std::size_t kMaxText = 8192;

struct Failure {
  std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw Failure{message}; }

// --- output (UTF-8; a Windows console gets it as Unicode) -----------------------

void Print(std::FILE* f, const std::string& s) {
#ifdef _WIN32
  const std::u16string w = utf::ToUtf16(s);
  std::fputws(reinterpret_cast<const wchar_t*>(w.c_str()), f);
#else
  std::fputs(s.c_str(), f);
#endif
}

// --- files ------------------------------------------------------------------

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

Bytes ReadFile(const std::string& name) {
  const fs::path p = PathOf(name);
  std::error_code ec;
  if (fs::is_directory(p, ec)) Fail("cannot read '" + name + "': it is a folder");
  errno = 0;
  std::ifstream in(p, std::ios::binary);
  if (!in) Fail("cannot read '" + name + "': " + (errno ? std::strerror(errno) : "cannot open"));
  Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) Fail("cannot read '" + name + "': read error");
  return data;
}

// Writes through a temporary file beside the target and renames it over
// the target, so a reader never sees half a file.
void WriteFileAtomic(const std::string& name, const Bytes& data) {
  const fs::path target = PathOf(name);
  fs::path temp = target;
  temp += ".tmp";
  {
    errno = 0;
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) Fail("cannot write '" + name + "': " + (errno ? std::strerror(errno) : "cannot create"));
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.flush();
    if (!out) {
      out.close();
      std::error_code ec;
      fs::remove(temp, ec);
      Fail("cannot write '" + name + "': write error (disk full?)");
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    Fail("cannot write '" + name + "': " + ec.message());
  }
}

// --- writing a data packet -----------------------------------------------------

void Put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutName(Bytes& b, const std::string& name) {
  b.push_back(static_cast<std::uint8_t>(name.size()));
  b.insert(b.end(), name.begin(), name.end());
}

struct TextField {
  std::string name;
  std::u16string value;
};

// One record: UTF-16 string fields with WIDTH (in bytes, as Unicode-era
// writers give it), then a graphic blob field.
Bytes BuildPacket(const std::vector<TextField>& texts, const std::string& blobName,
                  const Bytes& blob) {
  const std::size_t columns = texts.size() + 1;
  Bytes meta;
  for (const TextField& t : texts) {
    const std::uint32_t width = static_cast<std::uint32_t>(std::max<std::size_t>(t.value.size(), 1) * 2);
    PutName(meta, t.name);
    Put32(meta, width <= 252 ? 0x004A0001u : 0x004A0002u);
    Put16(meta, 0);  // attributes
    Put16(meta, 1);  // one param
    PutName(meta, "WIDTH");
    Put32(meta, 0x00020002u);
    Put16(meta, width);
  }
  PutName(meta, blobName);
  Put32(meta, 0x004B0004u);
  Put16(meta, 0);
  Put16(meta, 1);
  PutName(meta, "SUBTYPE");
  Put32(meta, 0x00490002u);
  const std::string subtype("Graphics\0", 9);
  Put16(meta, static_cast<std::uint32_t>(subtype.size()));
  meta.insert(meta.end(), subtype.begin(), subtype.end());
  Put16(meta, 0);  // no packet params

  Bytes p;
  Put32(p, 0xBDE01996u);
  Put16(p, 1);  // version 1.0
  Put16(p, 0);
  Put32(p, 24);
  Put16(p, static_cast<std::uint32_t>(columns));
  Put32(p, 1);  // one row
  Put32(p, 3);  // metadata present, data offset valid
  Put16(p, static_cast<std::uint32_t>(24 + meta.size()));
  p.insert(p.end(), meta.begin(), meta.end());

  p.push_back(0);                              // row status
  p.insert(p.end(), (columns + 3) / 4, 0);     // every field has a value
  for (const TextField& t : texts) {
    const std::size_t bytes = t.value.size() * 2;
    if (bytes <= 252) p.push_back(static_cast<std::uint8_t>(bytes));
    else Put16(p, static_cast<std::uint32_t>(bytes));
    for (char16_t c : t.value) Put16(p, c);
  }
  Put32(p, static_cast<std::uint32_t>(blob.size()));
  p.insert(p.end(), blob.begin(), blob.end());
  return p;
}

Bytes Deflate(const Bytes& content) {
  uLongf size = compressBound(static_cast<uLong>(content.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, content.data(), static_cast<uLong>(content.size()), 9) != Z_OK)
    Fail("cannot compress the branding data");
  out.resize(size);
  return out;
}

// --- commands --------------------------------------------------------------------

const char* const kUsage =
    "brandtool - makes and checks the branding file of the Tenvox setup program\n"
    "\n"
    "The setup program (Varnock.exe) reads its branding from bin\\Lumeno.dat beside it:\n"
    "the window title, the maker line under the banner, the banner picture and the\n"
    "name of the add-in that the install choices mention. Without a readable branding\n"
    "file the setup program stops at start.\n"
    "\n"
    "Make a branding file:\n"
    "  brandtool pack OUTPUT --title TEXT --maker TEXT --banner PICTURE.bmp --addin TEXT\n"
    "                 [--header TEXT] [--graphic-header]\n"
    "\n"
    "    OUTPUT            the file to write, normally Lumeno.dat (replaced if it exists)\n"
    "    --title TEXT      the window title\n"
    "    --maker TEXT      the maker line shown under the banner\n"
    "    --banner FILE     the banner: a Windows bitmap (.bmp) file, 585 x 70 pixels fits\n"
    "                      the window; it is checked before anything is written\n"
    "    --addin TEXT      the add-in name; it replaces the word \"Pellora\" in the install\n"
    "                      choices (may be empty: --addin \"\")\n"
    "    --header TEXT     optional note kept in the file (plain ASCII; the setup program\n"
    "                      ignores it)\n"
    "    --graphic-header  store the banner behind the 8-byte header that database\n"
    "                      graphic fields use (the setup program accepts both forms)\n"
    "\n"
    "  Texts may hold any characters (Chinese included), up to 8192 characters each.\n"
    "\n"
    "Check a branding file:\n"
    "  brandtool show FILE [--extract BANNER.bmp]\n"
    "\n"
    "    prints the header note and every field of the file (a bare data packet is\n"
    "    read too); with --extract, writes the banner to BANNER.bmp exactly as it\n"
    "    was packed.\n"
    "\n"
    "  brandtool --help     this text\n"
    "\n"
    "Example:\n"
    "  brandtool pack Lumeno.dat --title \"Acme Reports 6.3\" --maker \"Acme Ltd.\" \\\n"
    "            --banner acme.bmp --addin \"Acme Excel\"\n"
    "  brandtool show Lumeno.dat --extract check.bmp\n"
    "\n"
    "Exit status: 0 on success, 1 when something is wrong (one line on the error\n"
    "output says what), 2 for a wrong command line.\n";

struct UsageError {
  std::string message;
};

std::u16string CheckedText(const std::string& option, const std::string& value) {
  const std::u16string w = utf::ToUtf16(value);
  if (utf::FromUtf16(w) != value) Fail(option + ": the text is not valid UTF-8");
  if (w.size() > kMaxText)
    Fail(option + ": the text has " + std::to_string(w.size()) + " characters, at most " +
         std::to_string(kMaxText) + " are allowed");
  return w;
}

int Pack(const std::vector<std::string>& args) {
  std::optional<std::string> output, title, maker, banner, addin, header;
  bool graphicHeader = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::optional<std::string>& slot) {
      if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
      if (slot) throw UsageError{a + " is given twice"};
      slot = args[++i];
    };
    if (a == "--title") value(title);
    else if (a == "--maker") value(maker);
    else if (a == "--banner") value(banner);
    else if (a == "--addin") value(addin);
    else if (a == "--header") value(header);
    else if (a == "--graphic-header") graphicHeader = true;
    else if (a.size() > 1 && a[0] == '-') throw UsageError{"unknown option " + a};
    else if (output) throw UsageError{"more than one output file: '" + *output + "', '" + a + "'"};
    else output = a;
  }
  if (!output) throw UsageError{"pack: the output file is missing"};
  for (const auto& [name, slot] : {std::pair{"--title", &title}, {"--maker", &maker},
                                   {"--banner", &banner}, {"--addin", &addin}}) {
    if (!*slot) throw UsageError{std::string("pack: ") + name + " is missing"};
  }

  std::vector<TextField> texts = {{"a10", CheckedText("--title", *title)},
                                  {"a16", CheckedText("--maker", *maker)},
                                  {"a18", CheckedText("--addin", *addin)}};
  if (header) {
    for (unsigned char c : *header)
      if (c == 0 || c >= 0x80) Fail("--header: the note must be plain ASCII text");
    if (header->size() > static_cast<std::size_t>(kPackMaxHeaderText))
      Fail("--header: the note is longer than " + std::to_string(kPackMaxHeaderText) + " bytes");
  }

  Bytes bmp = ReadFile(*banner);
  try {
    const Bitmap b = LoadBitmap(bmp);
    (void)b;
  } catch (const EAppError& e) {
    Fail("--banner '" + *banner + "': " + e.Message());
  }
  bmp = StripGraphicHeader(bmp);
  const Bytes blob = graphicHeader ? AddGraphicHeader(bmp) : bmp;

  const Bytes packet = BuildPacket(texts, "d3", blob);
  if (packet.size() > 0x7FFFFFFFu) Fail("--banner: the picture is too large");
  Bytes content;
  if (header) {
    Put32(content, static_cast<std::uint32_t>(kPackMagic));
    Put32(content, static_cast<std::uint32_t>(packet.size()));
    Put32(content, static_cast<std::uint32_t>(header->size()));
    content.insert(content.end(), header->begin(), header->end());
  } else {
    Put32(content, 0);
    Put32(content, static_cast<std::uint32_t>(packet.size()));
  }
  content.insert(content.end(), packet.begin(), packet.end());
  const Bytes packed = Deflate(content);

  // Read it back the way the setup program will before writing it.
  const DataPacket check = DataPacket::Parse(UnpackBytes(packed));
  if (check.FieldByName("a10").AsString() != *title || check.FieldByName("d3").BlobBytes() != blob)
    Fail("internal error: the packed data do not read back");

  WriteFileAtomic(*output, packed);
  Print(stdout, "wrote " + *output + " (" + std::to_string(packed.size()) + " bytes)\n");
  return 0;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (static_cast<unsigned char>(c) < 0x20) {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", static_cast<unsigned char>(c));
      out += b;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string KindText(const DataField& f) {
  static const char* const names[] = {"UNKNOWN", "INT", "UINT", "BOOL", "FLOAT", "BCD", "DATE",
                                      "TIME", "TIMESTAMP", "ANSI string", "UTF-16 string", "BYTES"};
  const auto k = static_cast<unsigned>(f.Kind());
  std::string s = f.IsBlob() ? "blob" : k < std::size(names) ? names[k] : "kind " + std::to_string(k);
  if (!f.Subtype().empty()) s += " (" + f.Subtype() + ")";
  if (f.Width()) s += ", width " + std::to_string(f.Width());
  return s;
}

std::string BlobText(const DataField& f) {
  const Bytes blob = f.BlobBytes();
  std::string s = std::to_string(blob.size()) + " bytes";
  if (blob.empty()) return s;
  if (HasGraphicHeader(blob)) s += ", graphic header";
  try {
    const Bitmap b = LoadBitmap(blob);
    s += ", bitmap " + std::to_string(b.width) + " x " + std::to_string(b.height) + ", " +
         std::to_string(b.bitsPerPixel) + " bits per pixel";
  } catch (const EAppError& e) {
    s += ", " + e.Message();
  }
  return s;
}

int Show(const std::vector<std::string>& args) {
  std::optional<std::string> input, extract;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--extract") {
      if (i + 1 >= args.size()) throw UsageError{"--extract needs a file name"};
      if (extract) throw UsageError{"--extract is given twice"};
      extract = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      throw UsageError{"unknown option " + a};
    } else if (input) {
      throw UsageError{"more than one file to show"};
    } else {
      input = a;
    }
  }
  if (!input) throw UsageError{"show: the file is missing"};

  const Bytes data = ReadFile(*input);
  const bool bare = data.size() >= 4 && ((data[0] == 0x96 && data[1] == 0x19 && data[2] == 0xE0 &&
                                          data[3] == 0xBD) ||
                                         (data[0] == 0xCD && data[1] == 0xAB && !data[2] && !data[3]));
  std::string out = *input + ": ";
  Bytes payload;
  if (bare) {
    payload = data;
    out += "a bare data packet of " + std::to_string(data.size()) + " bytes\n";
  } else {
    payload = UnpackBytes(data);
    out += "branding file of " + std::to_string(data.size()) + " bytes, data packet of " +
           std::to_string(payload.size()) + " bytes\n";
    out += "header text: " + (sPackHeaderText.empty() ? std::string("(none)") : Quote(sPackHeaderText)) + "\n";
  }
  const DataPacket pk = DataPacket::Parse(payload);
  out += std::to_string(pk.Fields().size()) + " fields, " + std::to_string(pk.RowCount()) +
         " stored rows, current record: " +
         (pk.CurrentRow() ? "row " + std::to_string(pk.CurrentRow()) : std::string("none")) + "\n";
  for (const DataField& f : pk.Fields()) {
    std::string value;
    if (f.IsNull()) value = "(null)";
    else if (f.IsBlob() && f.Subtype() != "Text" && f.Subtype() != "WideText") value = BlobText(f);
    else value = Quote(f.AsString());
    out += "  " + f.Name() + " [" + KindText(f) + "]: " + value + "\n";
  }
  Print(stdout, out);

  if (extract) {
    const DataField& d3 = pk.FieldByName("d3");
    if (!d3.IsBlob()) Fail("field d3 is not a blob field");
    if (d3.IsNull()) Fail("field d3 holds no banner");
    const Bytes bmp = StripGraphicHeader(d3.BlobBytes());
    WriteFileAtomic(*extract, bmp);
    Print(stdout, "banner written to " + *extract + " (" + std::to_string(bmp.size()) + " bytes)\n");
  }
  return 0;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError{"no command given"};
  const std::string& cmd = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (cmd == "--help" || cmd == "-h" || cmd == "help" || cmd == "/?") {
    Print(stdout, kUsage);
    return 0;
  }
  if (cmd == "pack") return Pack(rest);
  if (cmd == "show") return Show(rest);
  throw UsageError{"unknown command '" + cmd + "'"};
}

int Main(const std::vector<std::string>& args) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_U8TEXT);
  _setmode(_fileno(stderr), _O_U8TEXT);
  plat::Win32System machine;
#else
  // Linux has no ANSI code page: texts stored in one are read as Windows-1252.
  sim::SimMachine machine;
#endif
  plat::SetSystem(&machine);
  int rc;
  try {
    rc = Run(args);
  } catch (const UsageError& e) {
    Print(stderr, "brandtool: " + e.message + " (brandtool --help tells how to use it)\n");
    rc = 2;
  } catch (const Failure& e) {
    Print(stderr, "brandtool: " + e.message + "\n");
    rc = 1;
  } catch (const EAppError& e) {
    Print(stderr, "brandtool: " + e.Message() + "\n");
    rc = 1;
  } catch (const std::exception& e) {
    Print(stderr, std::string("brandtool: ") + e.what() + "\n");
    rc = 1;
  }
  std::fflush(stdout);
  plat::SetSystem(nullptr);
  return rc;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.push_back(utf::FromUtf16(reinterpret_cast<const char16_t*>(argv[i])));
  return Main(args);
}
#else
int main(int argc, char** argv) { return Main(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
