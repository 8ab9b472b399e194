#include <string>
#include <vector>

#include "common/errors.h"
#include "common/unMsgDialog.h"
#include "common/unReg_File.h"
#include "sim_fixture.h"

using namespace plat;

namespace {

class Lang : public SimTest {
 protected:
  void Store(const std::string& code) {
    m.SetString(w::HKCU, "Software\\Tenvox", "CurLang", code);
  }
};

struct CodeCase {
  std::optional<std::string> stored;  // nullopt: no value at all
  std::string code;
  bool a, b, c;
};

TEST_F(Lang, StoredCodeSetsExactlyOneFlagOrNone) {
  const std::vector<CodeCase> cases = {
      {std::nullopt, "A", true, false, false}, {"", "A", true, false, false},
      {"A", "A", true, false, false},          {"B", "B", false, true, false},
      {"C", "C", false, false, true},          {"c", "c", false, false, false},
      {"D", "D", false, false, false},         {"AB", "AB", false, false, false},
      {" A", " A", false, false, false},
  };
  for (const CodeCase& tc : cases) {
    SCOPED_TRACE(tc.stored.value_or("(none)"));
    sim::SimMachine machine;
    sim::ScopedSystem scope(machine);
    ResetLanguage();
    if (tc.stored) machine.SetString(w::HKCU, "Software\\Tenvox", "CurLang", *tc.stored);
    const int writes = machine.RegWrites();
    EXPECT_EQ(GetLangFlag(), tc.code);
    EXPECT_EQ(sCurLang, tc.code);
    EXPECT_TRUE(bLangRead);
    EXPECT_EQ(bLangA, tc.a);
    EXPECT_EQ(bLangB, tc.b);
    EXPECT_EQ(bLangC, tc.c);
    EXPECT_EQ(machine.RegWrites(), writes);  // nothing written back
    EXPECT_EQ(machine.GetValue(w::HKCU, "Software\\Tenvox", "CurLang").has_value(),
              tc.stored.has_value());
  }
}

TEST_F(Lang, CacheHoldsUntilCleared) {
  Store("B");
  EXPECT_EQ(GetLangFlag(), "B");
  Store("C");
  EXPECT_EQ(GetLangFlag(), "B");
  EXPECT_TRUE(bLangB);
  bLangRead = false;
  EXPECT_EQ(GetLangFlag(), "C");
  EXPECT_TRUE(bLangC);
  EXPECT_FALSE(bLangB);
}

TEST_F(Lang, RegistryErrorPassesThroughAndIsRetried) {
  m.SetDword(w::HKCU, "Software\\Tenvox", "CurLang", 2);
  EXPECT_THROW(GetLangFlag(), EAppError);
  EXPECT_FALSE(bLangRead);
  Store("C");
  EXPECT_EQ(GetLangFlag(), "C");
}

struct TextCase {
  std::string code;
  std::string a, b, c;
  std::string expected;
};

TEST_F(Lang, LangTextChoosesAndFallsBackToSimplified) {
  const std::vector<TextCase> cases = {
      {"A", "x", "y", "z", "x"}, {"B", "x", "y", "z", "y"}, {"C", "x", "y", "z", "z"},
      {"D", "x", "y", "z", "z"}, {"c", "x", "y", "z", "z"}, {"B", "x", "", "z", "x"},
      {"C", "x", "y", "", "x"},  {"D", "x", "y", "", "x"},  {"A", "", "y", "z", ""},
      {"C", "only", "", "", "only"},
  };
  for (const TextCase& tc : cases) {
    SCOPED_TRACE(tc.code + ": " + tc.a + "|" + tc.b + "|" + tc.c);
    ResetLanguage();
    Store(tc.code);
    GetLangFlag();
    EXPECT_EQ(LangText(tc.a, tc.b, tc.c), tc.expected);
  }
}

TEST_F(Lang, BeforeTheFirstReadNoFlagIsSet) {
  EXPECT_EQ(LangText("简", "繁", "en"), "en");
}

struct BoxCase {
  std::string code;
  std::string hintCaption, confirmCaption, text;
};

TEST_F(Lang, MessageBoxesInEachLanguage) {
  const std::vector<BoxCase> cases = {
      {"A", "提示", "确认", "简"},
      {"B", "提示", "確認", "繁"},
      {"C", "Hint", "Confirm", "en"},
      {"D", "Hint", "Confirm", "en"},
  };
  for (const BoxCase& tc : cases) {
    SCOPED_TRACE(tc.code);
    sim::SimMachine machine;
    sim::ScopedSystem scope(machine);
    ResetLanguage();
    machine.SetString(w::HKCU, "Software\\Tenvox", "CurLang", tc.code);
    GetLangFlag();
    machine.AnswerBoxes({w::IdOk, w::IdYes, w::IdNo});
    MsgHint("简", "繁", "en");
    EXPECT_EQ(MsgConfirm("简", "繁", "en"), 6);
    EXPECT_EQ(MsgConfirm("简", "繁", "en"), 7);
    const auto& boxes = machine.Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, tc.text);
    EXPECT_EQ(boxes[0].caption, tc.hintCaption);
    EXPECT_EQ(boxes[0].style, 64u);
    for (int i : {1, 2}) {
      EXPECT_EQ(boxes[i].text, tc.text);
      EXPECT_EQ(boxes[i].caption, tc.confirmCaption);
      EXPECT_EQ(boxes[i].style, 36u);
    }
  }
}

TEST_F(Lang, HintRawTextAndOwnCaption) {
  Store("C");
  GetLangFlag();
  m.AnswerBoxes({1, 1, 1});
  MsgHint("", "繁", "English text", true);     // raw: the first text, even empty
  MsgHint("原文", "", "English", true, "标题");  // caption as given, in every language
  MsgHint("简", "繁", "", false, "Title");
  ASSERT_EQ(m.Boxes().size(), 3u);
  EXPECT_EQ(m.Boxes()[0].text, "");
  EXPECT_EQ(m.Boxes()[0].caption, "Hint");
  EXPECT_EQ(m.Boxes()[1].text, "原文");
  EXPECT_EQ(m.Boxes()[1].caption, "标题");
  EXPECT_EQ(m.Boxes()[2].text, "简");
  EXPECT_EQ(m.Boxes()[2].caption, "Title");
}

TEST_F(Lang, ConfirmThatCannotBeShownCountsAsNo) {
  GetLangFlag();
  EXPECT_EQ(MsgConfirm("确定吗？", "", ""), 0);  // no answer scripted: box not shown
  EXPECT_EQ(m.UnansweredBoxes(), 1);
}

}  // namespace
