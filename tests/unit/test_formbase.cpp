#include <string>
#include <vector>

#include "common/errors.h"
#include "common/unFormBase.h"
#include "ui_fixture.h"

using namespace plat;

namespace {

class TTestForm : public TfrmFormBase {
 public:
  TTestForm() : TfrmFormBase("frmTest") {}
  int applied = 0;
  int idles = 0;
  void ApplyLanguage() override {
    TfrmFormBase::ApplyLanguage();
    ++applied;
  }
  void DoIdle(vcl::TObject*, bool&) override { ++idles; }
};

class FormBase : public UiTest {
 protected:
  void Store(const std::string& code) { m.SetString(w::HKCU, "Software\\Tenvox", "CurLang", code); }
};

struct LangCase {
  std::string code;
  int applied;
  std::string ok, cancel;
};

TEST_F(FormBase, CreationAppliesTheLanguageUnlessItIsA) {
  const std::vector<LangCase> cases = {
      {"", 0, "确定", "取消"},  {"A", 0, "确定", "取消"},   {"B", 1, "確定", "取消"},
      {"C", 1, "OK", "Cancel"}, {"c", 1, "确定", "取消"}, {"D", 1, "确定", "取消"},
  };
  for (const LangCase& tc : cases) {
    SCOPED_TRACE(tc.code);
    ResetLanguage();
    Store(tc.code);
    auto form = vcl::CreateForm<TTestForm>();
    EXPECT_EQ(form->applied, tc.applied);
    EXPECT_EQ(form->sLangFlag, tc.code.empty() ? "A" : tc.code);
    EXPECT_EQ(form->btnOK.Caption(), tc.ok);
    EXPECT_EQ(form->btnCancel.Caption(), tc.cancel);
  }
}

TEST_F(FormBase, DesignLayout) {
  auto f = vcl::CreateForm<TTestForm>();
  EXPECT_EQ(f->Caption(), "frmFormBase");
  EXPECT_EQ(f->ClientWidth(), 513);
  EXPECT_EQ(f->ClientHeight(), 359);
  EXPECT_EQ(f->Font().Name, "宋体");
  EXPECT_EQ(f->Font().Height, -12);
  EXPECT_EQ(f->Font().Size(), 9);
  EXPECT_EQ(f->btnOK.Left(), 299);
  EXPECT_EQ(f->btnCancel.Left(), 387);
  EXPECT_TRUE(f->btnOK.Default);
  EXPECT_EQ(f->btnOK.ModalResult, vcl::mrNone);
  EXPECT_TRUE(f->btnCancel.Cancel);
  EXPECT_EQ(f->btnCancel.ModalResult, vcl::mrCancel);
  EXPECT_EQ(f->SymbolLine1.Caption(), "Tenvox");
  const auto order = f->TabOrderList();
  ASSERT_EQ(order.size(), 2u);
  EXPECT_EQ(order[0], &f->btnOK);
  EXPECT_EQ(order[1], &f->btnCancel);
}

TEST_F(FormBase, IdleHandlersNestLikeAStack) {
  vcl::TIdleEvent before;
  int beforeCalls = 0;
  before.object = &beforeCalls;
  before.code = [&](vcl::TObject*, bool&) { ++beforeCalls; };
  app.OnIdle = before;

  auto lower = vcl::CreateForm<TTestForm>();
  auto upper = vcl::CreateForm<TTestForm>();
  lower->Show();
  EXPECT_EQ(app.OnIdle.object, lower.get());
  upper->Show();
  EXPECT_EQ(app.OnIdle.object, upper.get());

  // The application calls the handler when its queue runs empty.
  backend.PostAt(10, [] {});
  app.HandleMessage();
  EXPECT_EQ(upper->idles, 1);
  EXPECT_EQ(lower->idles, 0);

  upper->Close();
  EXPECT_EQ(app.OnIdle.object, lower.get());
  lower->Close();
  EXPECT_EQ(app.OnIdle.object, &beforeCalls);

  lower->Show();
  vcl::UserClick(lower->btnOK);
  EXPECT_FALSE(app.OnIdle);
  lower->Show();
  lower->btnCancelClick(lower.get());
  EXPECT_FALSE(app.OnIdle);
}

TEST_F(FormBase, CancelClosesAModalFormWithItsModalResult) {
  auto f = vcl::CreateForm<TTestForm>();
  backend.PostAt(100, [&] { vcl::UserClick(f->btnCancel); });
  EXPECT_EQ(f->ShowModal(), vcl::mrCancel);
  EXPECT_FALSE(f->Showing());
  EXPECT_FALSE(app.OnIdle);  // emptied by the click, then restored to what was before: empty
}

TEST_F(FormBase, ErrorInAHandlerIsShownAndTheWindowStays) {
  auto f = vcl::CreateForm<TTestForm>();
  f->Show();
  // The report ends a message with a full stop when its last character
  // sorts after one, as the toolkit's own report does.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Invalid data type for 'ALLSetup'", "Invalid data type for 'ALLSetup'"},
      {"Server busy", "Server busy."},
      {"Done.", "Done."},
  };
  for (const auto& [thrown, shown] : cases) {
    SCOPED_TRACE(thrown);
    const std::string message = thrown;
    f->btnOK.OnClick = [message](vcl::TObject*) { throw EAppError(message); };
    m.AnswerBoxes({w::IdOk});
    vcl::UserClick(f->btnOK);
    ASSERT_FALSE(m.Boxes().empty());
    EXPECT_EQ(m.Boxes().back().text, shown);
    EXPECT_EQ(m.Boxes().back().caption, "Varnock");
    EXPECT_EQ(m.Boxes().back().style, w::MbIconHand);
    EXPECT_TRUE(f->Showing());
  }
  EXPECT_EQ(m.Boxes().size(), cases.size());
}

// ---------------------------------------------------------------- separator line

class SymbolLine : public UiTest {};

TEST_F(SymbolLine, PlacesItselfByTheParentsOuterWidth) {
  for (const auto& [client, outer] : std::vector<std::pair<int, int>>{{585, 591}, {496, 502}}) {
    SCOPED_TRACE(outer);
    vcl::TForm form("f");
    form.SetClientSize(client, 300);
    ASSERT_EQ(form.Width(), outer);
    TSymbolLine line(&form, "SymbolLine1", 90);
    line.SetBounds(123, 40, 7, 15);  // whatever the stored bounds say
    line.Invalidate();
    backend.PaintPending();
    EXPECT_EQ(line.Left(), 10);
    EXPECT_EQ(line.Width(), outer - 30);
    EXPECT_EQ(line.Top(), 40);
  }
}

struct RuleCase {
  std::string caption;
  int textWidth, textHeight, space;
  bool thin;
  std::vector<sim::Line> lines;
};

TEST_F(SymbolLine, RuleStartsWhereTheCanvasSaysTheCaptionEnds) {
  // Control width after placement: 591 - 30 = 561.
  const std::vector<RuleCase> cases = {
      {"Tenvox", 40, 13, 0, false, {{vcl::clBtnShadow, 40, 6, 561, 6}, {vcl::clBtnHighlight, 40, 7, 561, 7}}},
      {"Tenvox", 40, 12, 0, false, {{vcl::clBtnShadow, 40, 6, 561, 6}, {vcl::clBtnHighlight, 40, 7, 561, 7}}},
      {"", 0, 13, 0, false, {{vcl::clBtnShadow, 0, 6, 561, 6}, {vcl::clBtnHighlight, 0, 7, 561, 7}}},
      {"Tenvox", 40, 13, 5, true, {{vcl::clBtnShadow, 45, 6, 561, 6}}},
      {"Tenvox", 40, 13, -50, false, {{vcl::clBtnShadow, -10, 6, 561, 6}, {vcl::clBtnHighlight, -10, 7, 561, 7}}},
  };
  for (const RuleCase& tc : cases) {
    SCOPED_TRACE(tc.caption + " h=" + std::to_string(tc.textHeight));
    vcl::TForm form("f");
    form.SetClientSize(585, 436);
    TSymbolLine line(&form, "SymbolLine1", 90);
    line.SetCaption(tc.caption);
    line.SetSpace(tc.space);
    line.SetThinLine(tc.thin);
    backend.prepareCanvas = [&](sim::HeadlessCanvas& c) {
      c.widthOf = [&](const std::string& s) { return s == tc.caption ? tc.textWidth : -1; };
      c.heightOf = [&](const std::string&) { return tc.textHeight; };
    };
    line.Invalidate();
    backend.PaintPending();
    const auto& lines = backend.CanvasOf(line)->lines;
    ASSERT_EQ(lines.size(), tc.lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].color, tc.lines[i].color);
      EXPECT_EQ(lines[i].x0, tc.lines[i].x0);
      EXPECT_EQ(lines[i].y0, tc.lines[i].y0);
      EXPECT_EQ(lines[i].x1, tc.lines[i].x1);
      EXPECT_EQ(lines[i].y1, tc.lines[i].y1);
    }
  }
}

TEST_F(SymbolLine, MeasuresInTheCanvasFontNotTheLabelFont) {
  vcl::TForm form("f");
  form.SetClientSize(585, 436);
  vcl::TFont big;
  big.Name = "Tahoma";
  big.Height = -30;
  form.SetFont(big);
  TSymbolLine line(&form, "SymbolLine1", 90);
  line.Invalidate();
  backend.PaintPending();
  // The label follows the control's font; the rule starts after the caption
  // as measured in the default canvas font (11 pixels high).
  EXPECT_EQ(line.Label().Font().Height, -30);
  EXPECT_EQ(backend.CanvasOf(line)->lines.at(0).x0, sim::TextWidthFor("Tenvox", 11));
}

TEST_F(SymbolLine, PropertyWritesWaitForTheNextPaintAndPaintingSettles) {
  vcl::TForm form("f");
  form.SetClientSize(585, 436);
  TSymbolLine line(&form, "SymbolLine1", 90);
  line.SetBounds(10, 372, 491, 15);
  line.Invalidate();
  const int paints = backend.PaintPending();
  EXPECT_LE(paints, 2);  // the move to the new width asks for one more paint, then it settles
  EXPECT_EQ(backend.PaintPending(), 0);

  const int before = backend.InvalidationsOf(line);
  line.SetSpace(7);
  line.SetThinLine(true);
  line.SetLabEnable(true);
  line.SetCaption("Maker Ltd.");
  EXPECT_EQ(backend.InvalidationsOf(line), before);  // no repaint asked for
  EXPECT_FALSE(line.Label().Enabled());              // shows at the next paint
  EXPECT_EQ(line.Label().Caption(), "Maker Ltd.");   // the label itself follows at once

  line.Invalidate();
  backend.PaintPending();
  EXPECT_TRUE(line.Label().Enabled());
  EXPECT_EQ(backend.CanvasOf(line)->lines.size(), 1u);
  EXPECT_EQ(backend.PaintPending(), 0);
}

}  // namespace
