#include <string>
#include <vector>

#include "common/errors.h"
#include "common/unReg_File.h"
#include "common/utf.h"
#include "sim_fixture.h"

using namespace plat;

namespace {

class Registry : public SimTest {};

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EAppError& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST_F(Registry, KeySpellingsReachOneKey) {
  WriteRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup", "1");
  for (const char* spelling : {"SoftWare\\Tenvox", "SoftWare\\Tenvox\\", "\\Software\\Tenvox\\",
                               "SOFTWARE\\TENVOX", "software\\tenvox"}) {
    SCOPED_TRACE(spelling);
    EXPECT_EQ(ReadRegString(w::HKLM, spelling, "ALLSetup"), "1");
    EXPECT_EQ(ReadRegString(w::HKLM, spelling, "allsetup"), "1");
    EXPECT_TRUE(RegKeyExists(w::HKLM, spelling));
  }
  WriteUserRegString("\\Software\\Tenvox\\", "CurLang", "C");
  EXPECT_EQ(ReadUserRegString("SoftWare\\Tenvox", "CurLang"), "C");
  EXPECT_EQ(m.OpenKeys(), 0);
}

TEST_F(Registry, WriteStoresRegSzWithOneTerminator) {
  WriteRegString(w::HKLM, "SoftWare\\Tenvox\\", "COMPart", "C:\\程序\\COM+");
  auto v = m.GetValue(w::HKLM, "Software\\Tenvox", "COMPart");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, w::RegSz);
  EXPECT_EQ(v->data, utf::ToRegSz("C:\\程序\\COM+"));
  EXPECT_EQ(v->data.size(), (std::u16string(u"C:\\程序\\COM+").size() + 1) * 2);
  EXPECT_EQ(v->name, "COMPart");
}

TEST_F(Registry, WriteOnlyWhenTheTextChanges) {
  m.SetString(w::HKLM, "Software\\Tenvox", "ALLSetup", "abc");
  const int before = m.RegWrites();
  WriteRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup", "abc");
  EXPECT_EQ(m.RegWrites(), before);
  WriteRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup", "ABC");  // case matters
  EXPECT_EQ(m.RegWrites(), before + 1);
  EXPECT_EQ(m.GetString(w::HKLM, "Software\\Tenvox", "ALLSetup"), "ABC");

  // An expandable value with the same text keeps its type; another text makes it REG_SZ.
  m.SetString(w::HKCU, "K", "P", "%TEMP%\\x", w::RegExpandSz);
  WriteUserRegString("K", "P", "%TEMP%\\x");
  EXPECT_EQ(m.GetValue(w::HKCU, "K", "P")->type, w::RegExpandSz);
  WriteUserRegString("K", "P", "%TEMP%\\y");
  EXPECT_EQ(m.GetValue(w::HKCU, "K", "P")->type, w::RegSz);

  // An existing empty value equals the empty text.
  m.SetValue(w::HKCU, "K", "E", w::RegSz, {});
  const int writes = m.RegWrites();
  WriteUserRegString("K", "E", "");
  EXPECT_EQ(m.RegWrites(), writes);
}

TEST_F(Registry, WriteCreatesKeyAndMissingParents) {
  ASSERT_FALSE(m.KeyExists(w::HKLM, "A"));
  WriteRegString(w::HKLM, "A\\B\\C\\", "v", "x");
  EXPECT_TRUE(m.KeyExists(w::HKLM, "A"));
  EXPECT_TRUE(m.KeyExists(w::HKLM, "A\\B"));
  EXPECT_EQ(m.GetString(w::HKLM, "a\\b\\c", "v"), "x");
}

TEST_F(Registry, ReadGivesEmptyTextForWhatIsNotThere) {
  m.SetString(w::HKLM, "Software\\Tenvox", "Empty", "");
  m.SetValue(w::HKLM, "Software\\Tenvox", "NoData", w::RegSz, {});
  m.SetValue(w::HKLM, "Software\\Tenvox", "NoDataBinary", w::RegBinary, {});
  for (const auto& [key, name] : std::vector<std::pair<std::string, std::string>>{
           {"Software\\Missing", "x"}, {"Software\\Tenvox", "Missing"},
           {"Software\\Tenvox", "Empty"}, {"Software\\Tenvox", "NoData"},
           {"Software\\Tenvox", "NoDataBinary"}}) {
    SCOPED_TRACE(key + " " + name);
    std::string value = "stale";
    ReadRegString(w::HKLM, key, name, value);
    EXPECT_EQ(value, "");
  }
  EXPECT_FALSE(m.KeyExists(w::HKLM, "Software\\Missing"));  // reading created nothing
  EXPECT_EQ(m.OpenKeys(), 0);
}

TEST_F(Registry, ReadCutsAtFirstNulAndKeepsVariables) {
  std::vector<std::uint8_t> data = utf::ToRegSz("abc");
  data.pop_back();
  data.pop_back();
  data.insert(data.end(), {0, 0, 'd', 0, 'e', 0, 0, 0});
  m.SetValue(w::HKCU, "K", "Nul", w::RegSz, data);
  m.SetString(w::HKCU, "K", "Exp", "%SystemRoot%\\x", w::RegExpandSz);
  m.SetValue(w::HKCU, "K", "NoTerminator", w::RegSz, {'h', 0, 'i', 0});
  m.SetValue(w::HKCU, "K", "Odd", w::RegSz, {'h', 0, 'i'});
  EXPECT_EQ(ReadUserRegString("K", "Nul"), "abc");
  EXPECT_EQ(ReadUserRegString("K", "Exp"), "%SystemRoot%\\x");
  EXPECT_EQ(ReadUserRegString("K", "NoTerminator"), "hi");
  EXPECT_EQ(ReadUserRegString("K", "Odd"), "h");
}

TEST_F(Registry, NonTextValuesRaiseAndWriteNothing) {
  m.SetDword(w::HKLM, "Software\\Tenvox", "ALLSetup", 1);
  m.SetValue(w::HKLM, "Software\\Tenvox", "Multi", w::RegMultiSz, utf::ToRegSz("a"));
  EXPECT_EQ(ErrorOf([] { ReadRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup"); }),
            "Invalid data type for 'ALLSetup'");
  EXPECT_EQ(ErrorOf([] { ReadRegString(w::HKLM, "SoftWare\\Tenvox\\", "Multi"); }),
            "Invalid data type for 'Multi'");
  const int writes = m.RegWrites();
  EXPECT_EQ(ErrorOf([] { WriteRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup", "0"); }),
            "Invalid data type for 'ALLSetup'");
  EXPECT_EQ(m.RegWrites(), writes);
  EXPECT_EQ(m.GetValue(w::HKLM, "Software\\Tenvox", "ALLSetup")->type, w::RegDword);
  EXPECT_EQ(m.OpenKeys(), 0);  // keys closed while the errors passed through
}

TEST_F(Registry, RefusedWriteRaisesFailedToSetData) {
  // No right to write under HKEY_LOCAL_MACHINE: neither open nor create succeeds.
  m.DenyAccess(w::HKLM, "", w::KeySetValue | w::KeyCreateSubKey);
  EXPECT_EQ(ErrorOf([] { WriteRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup", "0"); }),
            "Failed to set data for 'ALLSetup'");
  EXPECT_FALSE(m.KeyExists(w::HKLM, "Software\\Tenvox"));
  m.CreateKey(w::HKLM, "Software\\Tenvox");
  EXPECT_EQ(ErrorOf([] { WriteRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup", "0"); }),
            "Failed to set data for 'ALLSetup'");
  EXPECT_EQ(m.RegWrites(), 0);
  // Reading is still allowed.
  EXPECT_EQ(ReadRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup"), "");
  EXPECT_EQ(m.OpenKeys(), 0);
}

TEST_F(Registry, RefusedReadGivesEmptyTextAndNoKey) {
  m.SetString(w::HKLM, "Software\\Secret", "v", "x");
  m.DenyAccess(w::HKLM, "Software\\Secret", w::KeyQueryValue);
  EXPECT_EQ(ReadRegString(w::HKLM, "Software\\Secret", "v"), "");
  EXPECT_FALSE(RegKeyExists(w::HKLM, "Software\\Secret"));
}

TEST_F(Registry, KeyExistsChangesNothing) {
  m.SetString(w::HKLM, "SOFTWARE\\Microsoft\\W3SVC", "v", "x");
  const int writes = m.RegWrites();
  EXPECT_TRUE(RegKeyExists(w::HKLM, "SOFTWARE\\Microsoft\\W3SVC"));
  EXPECT_FALSE(RegKeyExists(w::HKLM, "SOFTWARE\\Microsoft\\W3SVC\\Nope"));
  EXPECT_FALSE(m.KeyExists(w::HKLM, "SOFTWARE\\Microsoft\\W3SVC\\Nope"));
  EXPECT_EQ(m.RegWrites(), writes);
  EXPECT_EQ(m.OpenKeys(), 0);
}

// A machine on which the value grows between the size query and the read.
class GrowingValueMachine : public sim::SimMachine {
 public:
  long RegQueryValueEx(Handle key, const std::string& name, std::uint32_t* type,
                       std::uint8_t* data, std::uint32_t* size) override {
    long rc = SimMachine::RegQueryValueEx(key, name, type, data, size);
    if (!data) SetString(w::HKCU, "K", name, "a much longer text than before");
    return rc;
  }
};

TEST(RegistryRace, ReadFailingAfterSizeRaisesFailedToGetData) {
  GrowingValueMachine g;
  sim::ScopedSystem scope(g);
  g.SetString(w::HKCU, "K", "v", "short");
  try {
    ReadUserRegString("K", "v");
    FAIL() << "no error";
  } catch (const EAppError& e) {
    EXPECT_STREQ(e.what(), "Failed to get data for 'v'");
  }
  EXPECT_EQ(g.OpenKeys(), 0);
}

}  // namespace
