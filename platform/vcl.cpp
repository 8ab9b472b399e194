#include "platform/vcl.h"

#include <algorithm>
#include <exception>

#include "platform/system.h"

namespace vcl {

TApplication* Application = nullptr;

namespace {
Backend* BackendOf() { return Application ? &Application->backend() : nullptr; }
}  // namespace

// ---------------------------------------------------------------- TControl

TControl::TControl(TWinControl* parent, std::string name, int id)
    : parent_(parent), name_(std::move(name)), id_(id) {
  if (parent_) parent_->controls_.push_back(this);
}

TControl::~TControl() {
  if (Backend* b = BackendOf()) b->ControlDestroyed(*this);
  if (parent_) {
    auto& c = parent_->controls_;
    c.erase(std::remove(c.begin(), c.end(), this), c.end());
  }
}

TForm* TControl::Form() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::Changed(Prop what) {
  if (Backend* b = BackendOf()) b->ControlChanged(*this, what);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Changed(Prop::Bounds);
}

void TControl::SetCaption(const std::string& text) {
  if (text == caption_) return;
  caption_ = text;
  Changed(Prop::Caption);
  if (auto* label = dynamic_cast<TLabel*>(this); label && label->AutoSize()) label->SetAutoSize(true);
}

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Changed(Prop::Enabled);
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  Changed(Prop::Visible);
}

const TFont& TControl::Font() const {
  if (parentFont_ && parent_) return parent_->Font();
  return font_;
}

void TControl::SetFont(const TFont& font) {
  if (!parentFont_ && font == font_) return;
  const bool same = font == Font();
  font_ = font;
  parentFont_ = false;
  if (!same) FontChanged();
}

void TControl::FontChanged() {
  Changed(Prop::Font);
  if (auto* label = dynamic_cast<TLabel*>(this); label && label->AutoSize()) label->SetAutoSize(true);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl* c : controls_)
    if (c->parentFont_) c->FontChanged();
}

// ---------------------------------------------------------------- controls

void TLabel::SetAutoSize(bool v) {
  autoSize_ = v;
  if (!v) return;
  Backend* b = BackendOf();
  if (!b) return;
  int w = Width(), h = Height();
  b->MeasureLabel(*this, w, h);
  SetBounds(Left(), Top(), w, h);
}

void TButton::Click() {
  if (ModalResult != mrNone)
    if (TForm* f = Form()) f->ModalResult = ModalResult;
  TControl::Click();
}

void TRadioButton::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  Changed(Prop::Checked);
  if (!v) return;
  if (Parent())
    for (TControl* c : Parent()->Controls())
      if (auto* r = dynamic_cast<TRadioButton*>(c); r && r != this) r->SetChecked(false);
  TControl::Click();
}

void TComboBox::SetItems(std::vector<std::string> items) {
  if (items == items_) return;
  items_ = std::move(items);
  if (itemIndex_ >= static_cast<int>(items_.size())) itemIndex_ = -1;
  Changed(Prop::Items);
}

void TComboBox::SetItemIndex(int i) {
  if (i < -1 || i >= static_cast<int>(items_.size())) i = -1;
  if (i == itemIndex_) return;
  itemIndex_ = i;
  Changed(Prop::ItemIndex);
}

void TComboBox::Select(int i) {
  SetItemIndex(i);
  if (OnChange) OnChange(this);
}

void TImage::SetPicture(const TBitmap& bmp) {
  if (bmp == picture_) return;
  picture_ = bmp;
  Changed(Prop::Picture);
}

void TCustomControl::Paint(TCanvas&) {}

void TCustomControl::Invalidate() {
  if (Backend* b = BackendOf()) b->Invalidate(*this);
}

// ---------------------------------------------------------------- TTimer

TTimer::TTimer(TForm* owner, std::string name) : owner_(owner), name_(std::move(name)) {
  if (owner_) owner_->timers_.push_back(this);
}

TTimer::~TTimer() {
  if (Backend* b = BackendOf()) b->TimerDestroyed(*this);
  if (owner_) {
    auto& t = owner_->timers_;
    t.erase(std::remove(t.begin(), t.end(), this), t.end());
  }
}

void TTimer::Update() {
  if (Backend* b = BackendOf()) b->TimerChanged(*this);
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Update();
}

void TTimer::SetInterval(int ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Update();
}

// ---------------------------------------------------------------- TForm

TForm::TForm(std::string name) : TWinControl(nullptr, std::move(name), 0) {}

TForm::~TForm() {
  if (Backend* b = BackendOf()) b->FormDestroyed(*this);
  if (Application && Application->MainForm == this) Application->MainForm = nullptr;
}

void TForm::DoCreate() {
  if (Application && !Application->MainForm) Application->MainForm = this;
  // Timers that start enabled run from the moment their form exists.
  for (TTimer* t : timers_)
    if (t->Enabled()) t->Update();
  if (OnCreate) OnCreate(this);
}

void TForm::SetClientSize(int w, int h) {
  clientWidth_ = w;
  clientHeight_ = h;
  int ow = w, oh = h;
  if (Backend* b = BackendOf()) b->OuterSize(*this, ow, oh);
  SetBounds(Left(), Top(), ow, oh);
}

std::vector<TControl*> TForm::AllControls() const {
  std::vector<TControl*> out;
  std::function<void(const TWinControl&)> walk = [&](const TWinControl& w) {
    for (TControl* c : w.Controls()) {
      out.push_back(c);
      if (auto* wc = dynamic_cast<TWinControl*>(c)) walk(*wc);
    }
  };
  walk(*this);
  return out;
}

std::vector<TControl*> TForm::TabOrderList() const {
  std::vector<TControl*> out;
  for (TControl* c : Controls())
    if (c->TabOrder() >= 0) out.push_back(c);
  std::stable_sort(out.begin(), out.end(),
                   [](TControl* a, TControl* b) { return a->TabOrder() < b->TabOrder(); });
  return out;
}

void TForm::Show() {
  if (showing_) return;
  showing_ = true;
  // OnShow runs before the window appears, as the toolkit does.
  if (OnShow) OnShow(this);
  if (showing_)
    if (Backend* b = BackendOf()) b->FormShown(*this);
}

void TForm::Hide() {
  if (!showing_) return;
  showing_ = false;
  if (Backend* b = BackendOf()) b->FormHidden(*this);
}

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  if (modal_) {
    ModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  Hide();
  if (Application && Application->MainForm == this) Application->Terminate();
}

int TForm::ShowModal() {
  Backend* b = BackendOf();
  ModalResult = mrNone;
  modal_ = true;
  if (b) b->BeginModal(*this);
  Show();
  for (;;) {
    Application->HandleMessage();
    if (Application->Terminated()) ModalResult = mrCancel;
    if (ModalResult != mrNone) {
      // The close handler of a modal form may keep it open.
      TCloseAction action = TCloseAction::caHide;
      if (!CloseQuery()) action = TCloseAction::caNone;
      else if (OnClose) OnClose(this, action);
      if (action != TCloseAction::caNone) break;
      ModalResult = mrNone;
    }
  }
  modal_ = false;
  Hide();
  if (b) b->EndModal(*this);
  return ModalResult;
}

// ---------------------------------------------------------------- TApplication

TApplication::TApplication(Backend& backend) : backend_(backend) { Application = this; }

TApplication::~TApplication() {
  if (Application == this) Application = nullptr;
}

void TApplication::Terminate() { plat::sys().PostQuitMessage(0); }

bool TApplication::ProcessMessage() {
  plat::Msg m;
  plat::System& s = plat::sys();
  if (!s.PeekMessage(m, 0, 0, 0, plat::w::PmRemove)) return false;
  if (m.message == plat::w::WmQuit) {
    terminated_ = true;
    return true;
  }
  if (!PreTranslate(m)) {
    s.TranslateMessage(m);
    s.DispatchMessage(m);
  }
  return true;
}

bool TApplication::PreTranslate(const plat::Msg& msg) { return backend_.PreTranslate(&msg); }

void TApplication::Idle() {
  bool done = true;
  if (OnIdle) Invoke([&] { OnIdle.code(this, done); });
  if (done && !terminated_) plat::sys().WaitMessage();
}

void TApplication::HandleMessage() {
  if (!ProcessMessage()) Idle();
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

void TApplication::Run() {
  if (MainForm) MainForm->Show();
  while (!terminated_) HandleMessage();
}

int TApplication::MessageBox(const std::string& text, const std::string& caption,
                             std::uint32_t style) {
  return plat::sys().MessageBox(text, caption, style);
}

void TApplication::ShowException(const std::exception& e) {
  std::string text = e.what();
  // Like the toolkit's own report: a message ends with a full stop.
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  MessageBox(text, Title, plat::w::MbOk | plat::w::MbIconHand);
}

void TApplication::Invoke(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowException(e);
  }
}

void UserClick(TControl& control) {
  if (!control.Enabled() || !control.Visible()) return;
  Application->Invoke([&] { control.Click(); });
}

void UserSelect(TComboBox& combo, int index) {
  if (!combo.Enabled()) return;
  Application->Invoke([&] { combo.Select(index); });
}

}  // namespace vcl
