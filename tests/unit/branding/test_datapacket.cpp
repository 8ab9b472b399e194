#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "common/errors.h"
#include "launcher/Bitmap.h"
#include "launcher/DataPacket.h"
#include "tests/unit/branding/helpers.h"
#include "tests/unit/sim_fixture.h"

using namespace bt;

namespace {

constexpr std::uint32_t kInt4 = 0x00010004, kZStr1 = 0x00490001, kUni1 = 0x004A0001,
                        kBlob = 0x004B0004, kUInt2 = 0x00020002, kSubtype = 0x00490002;

std::string ParseError(const Bytes& packet) {
  try {
    DataPacket::Parse(packet);
  } catch (const EAppError& e) {
    return e.Message();
  }
  return "(no error)";
}

// "name:kind" for each field.
std::string Layout(const DataPacket& p) {
  std::string s;
  for (const DataField& f : p.Fields())
    s += (s.empty() ? "" : " ") + f.Name() + ":" + std::to_string(static_cast<int>(f.Kind()));
  return s;
}

class PacketTest : public SimTest {};

TEST_F(PacketTest, ReadsTheCurrentRecordOfEverySample) {
  struct Sample {
    const char* file;
    std::string layout;
    std::uint32_t rows, visible, current;
    std::map<std::string, std::string> values;
  };
  const Sample samples[] = {
      {"emb_country.cds", "Name:9 Capital:9 Continent:9 Area:4 Population:4", 18, 18, 1,
       {{"Name", "Argentina"}, {"Capital", "Buenos Aires"}, {"Continent", "South America"},
        {"Area", "2777815"}, {"Population", "32300003"}}},
      {"emb_animals.cds", "NAME:9 SIZE:1 WEIGHT:1 AREA:9 BMP:11", 7, 7, 1,
       {{"NAME", "Angel Fish"}, {"SIZE", "2"}, {"WEIGHT", "2"}, {"AREA", "Computer Aquariums"}}},
      // Saved with a change log: row 1 is a superseded version.
      {"emb_Products.cds", "Code:1 ProductName:9 Stock:1 MinimalStock:1", 206, 8, 198,
       {{"Code", "11"}, {"ProductName", "DiegoN"}, {"Stock", "0"}, {"MinimalStock", "100"}}},
      {"srhrodric_Clientes.cds", "Codigo:1 Nome:9 Endereco:9 Cidade:9 Estado:9 Fone:9", 18, 7, 11,
       {{"Codigo", "1"}, {"Nome", "Carlos Maçaranduba"}, {"Endereco", "Rua do Levanta Peso"},
        {"Cidade", "Marombeira"}, {"Estado", "SP"}, {"Fone", "(999)999-9999"}}},
      {"electric_ldsMeasures.cds",
       "ID:1 LABEL_UKR:10 KOEFF:4 DESCRIPTION_UKR:10 BASE_ID:1 DESCRIPTION_RU:10 LABEL_RU:10", 12, 12, 1,
       {{"ID", "2"}, {"LABEL_UKR", "A"}, {"KOEFF", "1"}, {"DESCRIPTION_UKR", "Ампер"},
        {"BASE_ID", "0"}, {"DESCRIPTION_RU", ""}, {"LABEL_RU", ""}}},
  };
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.file);
    const DataPacket p = DataPacket::Parse(ReadFile(Packet(s.file)));
    EXPECT_EQ(Layout(p), s.layout);
    EXPECT_EQ(p.RowCount(), s.rows);
    EXPECT_EQ(p.VisibleRows(), s.visible);
    EXPECT_EQ(p.CurrentRow(), s.current);
    for (const auto& [name, value] : s.values) EXPECT_EQ(p.FieldByName(name).AsString(), value) << name;
  }
}

TEST_F(PacketTest, SampleParamsAndBlob) {
  const DataPacket animals = DataPacket::Parse(ReadFile(Packet("emb_animals.cds")));
  EXPECT_EQ(animals.Lcid(), 1033);
  EXPECT_EQ(animals.FieldByName("NAME").Width(), 10u);
  const DataField& bmp = animals.FieldByName("BMP");
  EXPECT_TRUE(bmp.IsBlob());
  EXPECT_EQ(bmp.Subtype(), "TypedBinary");
  const Bytes blob = bmp.BlobBytes();
  ASSERT_EQ(blob.size(), 16126u);
  EXPECT_EQ(Bytes(blob.begin(), blob.begin() + 10), (Bytes{1, 0, 0, 1, 0xF6, 0x3E, 0, 0, 'B', 'M'}));
  EXPECT_TRUE(HasGraphicHeader(blob));
  const Bitmap b = LoadBitmap(blob);
  EXPECT_EQ(b.width, 200);
  EXPECT_EQ(b.bitsPerPixel, 4);

  const DataPacket products = DataPacket::Parse(ReadFile(Packet("emb_Products.cds")));
  EXPECT_EQ(products.FieldByName("Code").Subtype(), "Autoinc");
  EXPECT_EQ(products.FieldByName("Code").Attributes(), 2);
  EXPECT_FALSE(products.Lcid().has_value());
}

TEST_F(PacketTest, AnsiTextFollowsTheSystemCodePage) {
  const Bytes clientes = ReadFile(Packet("srhrodric_Clientes.cds"));
  m.SetAnsiCodePage(20127);  // US-ASCII: the cp1252 letter cannot be shown
  EXPECT_EQ(DataPacket::Parse(clientes).FieldByName("Nome").AsString(), "Carlos Ma\xEF\xBF\xBD" "aranduba");
}

TEST_F(PacketTest, FieldsAreFoundWhateverTheirCase) {
  const Bytes p = PacketBuilder()
                      .Field("Name", kInt4)
                      .Field("Größe", kInt4)
                      .Field("Имя", kInt4)
                      .Field("Pre\xE7o", kInt4)  // an ANSI (cp1252) name from an old writer
                      .Row(0, {Le32(1), Le32(2), Le32(3), Le32(4)})
                      .Build();
  const DataPacket pk = DataPacket::Parse(p);
  for (const auto& [name, value] : std::map<std::string, std::string>{
           {"name", "1"}, {"NAME", "1"}, {"GRÖSSE", "(none)"}, {"GRÖßE", "2"}, {"иМЯ", "3"}, {"PREÇO", "4"}}) {
    const DataField* f = pk.FindField(name);
    EXPECT_EQ(f ? f->AsString() : "(none)", value) << name;
  }
  try {
    pk.FieldByName("a10");
    FAIL();
  } catch (const EAppError& e) {
    EXPECT_EQ(e.Message(), "Field 'a10' not found");
  }
}

TEST_F(PacketTest, ValuesOfEveryKindAsText) {
  struct Kind {
    std::uint32_t type;
    Bytes value;
    const char* text;
  };
  auto dbl = [](double d) { Bytes b(8); std::memcpy(b.data(), &d, 8); return b; };
  const Kind kinds[] = {
      {0x00010001, {0xFF}, "-1"},
      {0x00010002, Le16(0x8000), "-32768"},
      {0x00010004, Le32(123456), "123456"},
      {0x00010008, {0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "-5"},
      {0x00020002, Le16(0xFFFF), "65535"},
      {0x00020008, Bytes(8, 0xFF), "18446744073709551615"},
      {0x00030002, {1, 0}, "True"},
      {0x00030002, {0, 0}, "False"},
      {0x00040008, dbl(2777815.0), "2777815"},
      {0x00040008, dbl(0.1), "0.1"},
      {0x00040008, dbl(-2.5), "-2.5"},
      {0x00040008, dbl(1.0 / 3), "0.333333333333333"},
      {0x00040008, dbl(123456789012345.0), "123456789012345"},
      {0x00040008, dbl(1e15), "1E15"},
      {0x00040008, dbl(0.0001), "0.0001"},
      {0x00040008, dbl(0.00001), "1E-5"},
      {0x00040008, dbl(-1.5e-7), "-1.5E-7"},
      {0x00040008, dbl(0.0), "0"},
      {0x0004000A, {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F}, "1.5"},  // 80-bit extended
      {0x001B0004, {0xCD, 0xCC, 0xCC, 0x3D}, "0.1"},                  // single
      {0x00050005, {5, 2, 0x12, 0x34, 0x50}, "123.45"},               // BCD
      {0x00050005, {5, 0x82, 0x00, 0x04, 0x50}, "-0.45"},
      {0x0012000B, {18, 2, 0, 0, 0, 0, 0, 0, 0x01, 0x23, 0x45}, "123.45"},  // FMTBCD
      {0x00060004, Le32(738950), "2024-03-05"},
      {0x00060004, Le32(1), "0001-01-01"},
      {0x00060004, Le32(693595), "1899-12-31"},
      {0x00070004, Le32(49530250), "13:45:30"},
      {0x00080008, dbl(738950.0 * 86400000 + 49530250), "2024-03-05 13:45:30"},
      {0x00080008, dbl(738950.0 * 86400000), "2024-03-05"},
      {0x00110010, Cat({Le16(2024), Le16(3), Le16(5), Le16(13), Le16(45), Le16(30), Le32(0)}), "2024-03-05 13:45:30"},
      {kZStr1, Var1(Str("Ma\xE7" "a")), "Maça"},
      {kZStr1, Var1({0}), ""},  // a non-NULL empty string as MIDAS stores it
      {kZStr1, Var1(Str("ab\0cd")), "ab"},
      {0x00490002, Var2(Str("two-byte prefix")), "two-byte prefix"},
      {kUni1, Var1(Utf16(u"Ампер")), "Ампер"},
      {0x004A0002, Var2(Utf16(u"整体快速安装")), "整体快速安装"},
      {0x000B0003, {'a', 'b', 'c'}, "abc"},  // fixed bytes
      {kBlob, Var4(Str("memo\r\ntext")), "memo\r\ntext"},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.text);
    const Bytes p = PacketBuilder().Field("f", k.type).Row(0, {k.value}).Build();
    const DataPacket pk = DataPacket::Parse(p);
    EXPECT_EQ(pk.FieldByName("f").AsString(), k.text);
    EXPECT_EQ(pk.FieldByName("f").BlobBytes().size(), k.value.size() - (k.type & 0x00400000 ? (k.type & 0xFFFF) : 0));
  }
}

TEST_F(PacketTest, ValuesOutsideTheirRangeFailWhenRead) {
  struct Bad {
    std::uint32_t type;
    Bytes value;
  };
  auto dbl = [](double d) { Bytes b(8); std::memcpy(b.data(), &d, 8); return b; };
  const Bad bad[] = {{0x00060004, Le32(0)}, {0x00060004, Le32(3652060)}, {0x00070004, Le32(86400000)},
                     {0x00080008, dbl(-1.0)}, {0x00080008, dbl(1e300)}, {0x00050004, {4, 0, 0x1A, 0}},
                     {0x00050003, {3, 0, 0}}};
  for (const Bad& b : bad) {
    const DataPacket pk = DataPacket::Parse(PacketBuilder().Field("f", b.type).Row(0, {b.value}).Build());
    EXPECT_THROW(pk.FieldByName("f").AsString(), EAppError) << std::hex << b.type;
  }
}

TEST_F(PacketTest, BlankCodesAndTheChangeLog) {
  // NULL (1) and "not changed" (2) with no earlier version: no value.
  const DataPacket blanks = DataPacket::Parse(
      PacketBuilder().Field("a", kInt4).Field("b", kZStr1).Field("c", kInt4)
          .Row(0, {Le32(1), Var1(Str("x")), Le32(3)}, {1, 2, 0}).Build());
  EXPECT_TRUE(blanks.FieldByName("a").IsNull());
  EXPECT_EQ(blanks.FieldByName("a").AsString(), "");
  EXPECT_TRUE(blanks.FieldByName("b").IsNull());
  EXPECT_EQ(blanks.FieldByName("c").AsString(), "3");

  // Row 3 modifies row 2, which modified row 1: unchanged fields come from
  // the nearest earlier version that holds them.
  const DataPacket log = DataPacket::Parse(
      PacketBuilder()
          .Field("id", kInt4).Field("name", kZStr1).Field("phone", kZStr1)
          .PacketParam("CHANGE_LOG", 0x00820004, Cat({Le32(6), Le32(2), Le32(1), Le32(8), Le32(3), Le32(2), Le32(8)}))
          .Row(1, {Le32(1), Var1(Str("old")), Var1(Str("555"))})
          .Row(9, {{}, Var1(Str("mid")), {}}, {2, 0, 2})
          .Row(8, {{}, {}, Var1(Str("777"))}, {2, 2, 0})
          .Build());
  EXPECT_EQ(log.CurrentRow(), 3u);
  EXPECT_EQ(log.FieldByName("id").AsString(), "1");
  EXPECT_EQ(log.FieldByName("name").AsString(), "mid");
  EXPECT_EQ(log.FieldByName("phone").AsString(), "777");

  // A change log that loops back on itself ends the walk.
  const DataPacket loop = DataPacket::Parse(
      PacketBuilder()
          .Field("id", kInt4)
          .PacketParam("CHANGE_LOG", 0x00820004, Cat({Le32(6), Le32(1), Le32(2), Le32(8), Le32(2), Le32(1), Le32(8)}))
          .Row(8, {{}}, {2})
          .Row(9, {{}}, {2})
          .Build());
  EXPECT_EQ(loop.CurrentRow(), 1u);
  EXPECT_TRUE(loop.FieldByName("id").IsNull());
}

TEST_F(PacketTest, NoVisibleRowMeansEveryFieldIsEmpty) {
  for (const Bytes& p : {PacketBuilder().Field("a", kInt4).Field("d3", kBlob).Build(),
                         PacketBuilder().Field("a", kInt4).Field("d3", kBlob)
                             .Row(2, {Le32(5), Var4(Str("BM"))}).Row(0x20, {Le32(6), Var4(Str("BM"))}).Build()}) {
    const DataPacket pk = DataPacket::Parse(p);
    EXPECT_EQ(pk.CurrentRow(), 0u);
    EXPECT_EQ(pk.FieldByName("a").AsString(), "");
    EXPECT_TRUE(pk.FieldByName("d3").BlobBytes().empty());
  }
}

TEST_F(PacketTest, LongNamesAndBlobsLeftOut) {
  const std::string full = "A_field_name_longer_than_thirty_one_bytes";
  const DataPacket pk = DataPacket::Parse(
      PacketBuilder()
          .Field(full.substr(0, 31), kInt4).Param("FIELDNAME", kSubtype, Var2(Str(full + '\0')))
          .Field("d3", kBlob).Param("SUBTYPE", kSubtype, Var2(Str(std::string("Graphics\0", 9))))
          .Row(0, {Le32(7), Le32(0x80000000u)})  // a delayed blob: no content follows
          .Build());
  EXPECT_EQ(pk.FieldByName(full).AsString(), "7");
  EXPECT_EQ(pk.FieldByName("d3").Subtype(), "Graphics");
  EXPECT_THROW(pk.FieldByName("d3").BlobBytes(), EAppError);
}

TEST_F(PacketTest, TrailingBytesAfterTheLastRowAreIgnored) {
  Bytes p = PacketBuilder().Field("a", kInt4).Row(0, {Le32(42)}).Build();
  p.insert(p.end(), {1, 2, 3});
  EXPECT_EQ(DataPacket::Parse(p).FieldByName("a").AsString(), "42");
}

TEST_F(PacketTest, MalformedPacketsAreRejectedWithAReason) {
  const auto base = [] {
    return PacketBuilder().Field("a", kInt4).Field("d3", kBlob).Row(0, {Le32(1), Var4(Str("BM"))});
  };
  const Bytes good = base().Build();
  auto patched = [&](std::size_t at, const Bytes& with) {
    Bytes p = good;
    std::copy(with.begin(), with.end(), p.begin() + static_cast<long>(at));
    return p;
  };
  struct Case {
    const char* name;
    Bytes packet;
    const char* message;
  };
  const Case cases[] = {
      {"empty", {}, "only 0 bytes, too short for the 24-byte header"},
      {"bad magic", patched(0, {0x97}), "wrong magic number 0xBDE01997"},
      {"xml", ReadFile(Packet("emb_country.xml")), "XML form"},
      {"version", patched(4, {4}), "version 4 is not supported"},
      {"no metadata", patched(18, {0}), "no field descriptions"},
      {"xml body", patched(18, {3, 0x80}), "XML body"},
      {"header size small", patched(8, {23}), "field descriptions start at 23, outside 24.."},
      {"header size large", patched(8, {0xFF, 0xFF}), "field descriptions start at 65535"},
      {"column count", patched(12, {3}), "field 3 of 3 has an empty name"},
      {"empty name", patched(24, {0}), "field 1 of 2 has an empty name"},
      {"int width", patched(26, {3}), "field 'a' (type 0x00010003): INT values of 3 bytes are not valid"},
      {"float varying", patched(26, {4, 0, 0x44}), "FLOATIEEE values cannot vary in length"},
      {"prefix width", patched(37, {3}), "field 'd3' (type 0x004B0003) has a length prefix of 3 bytes"},
      {"composite", patched(26, {1, 0, 0x0C, 0x01}), "composite ADT field"},
      {"data offset", patched(22, {0}), "the header puts row 1 at 0 but the field descriptions end at 47"},
      {"row count", patched(14, {2}), "cut off in the status of row 2"},
      {"row count huge", patched(14, {0xFF, 0xFF, 0xFF, 0xFF}), "cut off in the status of row 2"},
      {"blob length", patched(53, {0xFF}), "cut off in the value of field 'd3' of row 1 at offset 57 (255 bytes needed, 2 left)"},
      {"change log triples", base().PacketParam("CHANGE_LOG", 0x00820004, Cat({Le32(2), Le32(1), Le32(0)})).Build(),
       "change log is not a list of row triples"},
      {"change log row", base().PacketParam("CHANGE_LOG", 0x00820004, Cat({Le32(3), Le32(5), Le32(0), Le32(4)})).Build(),
       "the change log names row 5 of 1"},
      {"param array", base().PacketParam("X", 0x00820004, Le32(0x40000000)).Build(),
       "cut off in the value of parameter 'X' of the packet"},
      {"param prefix", base().PacketParam("X", 0x00490003, Le32(0)).Build(),
       "parameter 'X' of the packet has a length prefix of 3 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string m = ParseError(c.packet);
    EXPECT_EQ(m.rfind("Invalid data packet: ", 0), 0u) << m;
    EXPECT_NE(m.find(c.message), std::string::npos) << m;
  }
}

// Every sample cut short is refused, wherever the cut falls.
TEST_F(PacketTest, EveryCutOfASampleIsRefused) {
  for (const char* file : {"emb_country.cds", "emb_Products.cds", "srhrodric_Clientes.cds",
                           "electric_ldsMeasures.cds", "emb_animals.cds"}) {
    SCOPED_TRACE(file);
    const Bytes whole = ReadFile(Packet(file));
    const std::size_t step = whole.size() > 10000 ? 61 : 1;  // the big one: its metadata, then a stride
    for (std::size_t n = 0; n < whole.size(); n += n < 400 ? 1 : step) {
      const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(n));
      EXPECT_THROW(DataPacket::Parse(cut), EAppError) << "cut at " << n;
    }
  }
}

// Any single damaged byte gives a packet that reads or an EAppError; never
// another failure (and, under the sanitizers, no stray memory access).
TEST_F(PacketTest, DamagedBytesNeverBreakTheReader) {
  for (const char* file : {"emb_country.cds", "emb_Products.cds", "srhrodric_Clientes.cds",
                           "electric_ldsMeasures.cds"}) {
    SCOPED_TRACE(file);
    const Bytes whole = ReadFile(Packet(file));
    for (std::size_t i = 0; i < whole.size(); ++i) {
      for (std::uint8_t flip : {0xFF, 0x01, 0x80}) {
        Bytes p = whole;
        p[i] ^= flip;
        try {
          const DataPacket pk = DataPacket::Parse(p);
          for (const DataField& f : pk.Fields()) {
            try {
              f.AsString();
              f.BlobBytes();
            } catch (const EAppError&) {
            }
          }
        } catch (const EAppError&) {
        } catch (const std::exception& e) {
          ADD_FAILURE() << "byte " << i << " ^ " << int(flip) << ": " << e.what();
        }
      }
    }
  }
}

}  // namespace
