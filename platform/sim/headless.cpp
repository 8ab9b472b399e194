#include "platform/sim/headless.h"

#include <cstdlib>

namespace sim {

namespace {
constexpr plat::Handle kAppWindow = 0xA990;
constexpr std::uint32_t kWmTimer = 0x0113;
constexpr std::uint32_t kWmAction = 0x8000 + 1;  // WM_APP + 1
}  // namespace

int TextWidthFor(const std::string& text, int height) {
  const int h = std::abs(height);
  int w = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    w += c < 0x80 ? (h + 1) / 2 : h;
    i += len;
  }
  return w;
}

int HeadlessCanvas::TextWidth(const std::string& text) {
  return widthOf ? widthOf(text) : TextWidthFor(text, fontHeight_);
}

int HeadlessCanvas::TextHeight(const std::string& text) {
  return heightOf ? heightOf(text) : fontHeight_ + 2;
}

void HeadlessCanvas::MoveTo(int x, int y) {
  x_ = x;
  y_ = y;
}

void HeadlessCanvas::LineTo(int x, int y) {
  lines.push_back({PenColor, x_, y_, x, y});
  x_ = x;
  y_ = y;
}

HeadlessBackend::HeadlessBackend(SimMachine& machine) : m_(machine) {
  m_.onDispatch = [this](const plat::Msg& msg) { return Dispatch(msg); };
}

HeadlessBackend::~HeadlessBackend() { m_.onDispatch = nullptr; }

void HeadlessBackend::PostAt(std::uint64_t time, std::function<void()> action) {
  const std::uintptr_t id = nextAction_++;
  actions_[id] = std::move(action);
  plat::Msg msg;
  msg.hwnd = kAppWindow;
  msg.message = kWmAction;
  msg.wParam = id;
  m_.PostAt(time, msg);
}

std::intptr_t HeadlessBackend::Dispatch(const plat::Msg& msg) {
  if (msg.hwnd != kAppWindow) return 0;
  if (msg.message == kWmAction) {
    auto it = actions_.find(msg.wParam);
    if (it == actions_.end()) return 0;
    std::function<void()> action = std::move(it->second);
    actions_.erase(it);
    action();
  } else if (msg.message == kWmTimer) {
    auto it = timers_.find(msg.wParam);
    if (it == timers_.end()) return 0;
    vcl::TTimer* t = it->second.timer;
    if (static_cast<std::uint64_t>(msg.lParam) != it->second.generation) return 0;  // stale tick
    ScheduleTick(*t);
    if (t->OnTimer) vcl::Application->Invoke([&] { t->OnTimer(t); });
  }
  return 0;
}

void HeadlessBackend::ScheduleTick(vcl::TTimer& timer) {
  const std::uintptr_t id = timerIds_.at(&timer);
  plat::Msg msg;
  msg.hwnd = kAppWindow;
  msg.message = kWmTimer;
  msg.wParam = id;
  msg.lParam = static_cast<std::intptr_t>(timers_.at(id).generation);
  m_.PostAt(m_.Now() + static_cast<std::uint64_t>(timer.Interval()), msg);
}

void HeadlessBackend::TimerChanged(vcl::TTimer& timer) {
  auto idIt = timerIds_.find(&timer);
  if (idIt == timerIds_.end()) {
    idIt = timerIds_.emplace(&timer, nextTimer_++).first;
    timers_[idIt->second] = {&timer, 0};
  }
  TimerState& state = timers_[idIt->second];
  ++state.generation;  // ticks already scheduled are void
  if (timer.Enabled() && timer.Interval() > 0) ScheduleTick(timer);
}

void HeadlessBackend::TimerDestroyed(vcl::TTimer& timer) {
  auto it = timerIds_.find(&timer);
  if (it == timerIds_.end()) return;
  timers_.erase(it->second);
  timerIds_.erase(it);
}

void HeadlessBackend::FormShown(vcl::TForm& form) {
  shownForms.push_back(form.Name());
  for (vcl::TControl* c : form.AllControls())
    if (auto* cc = dynamic_cast<vcl::TCustomControl*>(c)) Invalidate(*cc);
}

void HeadlessBackend::FormHidden(vcl::TForm&) {}

void HeadlessBackend::FormDestroyed(vcl::TForm& form) {
  for (vcl::TControl* c : form.AllControls()) ControlDestroyed(*c);
}

void HeadlessBackend::BeginModal(vcl::TForm& form) { modalStack.push_back(&form); }

void HeadlessBackend::EndModal(vcl::TForm&) {
  if (!modalStack.empty()) modalStack.pop_back();
}

void HeadlessBackend::ControlChanged(vcl::TControl& control, vcl::Prop what) {
  // A custom control that moves or changes size is painted again, as a
  // window is.
  if (what == vcl::Prop::Bounds)
    if (auto* cc = dynamic_cast<vcl::TCustomControl*>(&control)) Invalidate(*cc);
}

void HeadlessBackend::ControlDestroyed(vcl::TControl& control) {
  invalid_.erase(&control);
  canvases_.erase(&control);
}

void HeadlessBackend::Invalidate(vcl::TCustomControl& control) {
  ++invalid_[&control];
  ++invalidations_[&control];
}

int HeadlessBackend::InvalidationsOf(const vcl::TControl& c) const {
  auto it = invalidations_.find(&c);
  return it == invalidations_.end() ? 0 : it->second;
}

HeadlessCanvas* HeadlessBackend::CanvasOf(const vcl::TControl& c) {
  auto it = canvases_.find(&c);
  return it == canvases_.end() ? nullptr : &it->second;
}

int HeadlessBackend::PaintPending() {
  int paints = 0;
  for (int round = 0; round < 100; ++round) {
    std::vector<vcl::TCustomControl*> due;
    for (auto& [c, n] : invalid_)
      if (n > 0) due.push_back(const_cast<vcl::TCustomControl*>(
                     static_cast<const vcl::TCustomControl*>(c)));
    if (due.empty()) return paints;
    for (vcl::TCustomControl* c : due) {
      invalid_[c] = 0;
      HeadlessCanvas canvas(defaultCanvasFontHeight);
      if (prepareCanvas) prepareCanvas(canvas);
      c->Paint(canvas);
      canvases_.insert_or_assign(c, canvas);
      ++paints;
    }
  }
  return paints;  // never settled
}

void HeadlessBackend::MeasureLabel(vcl::TLabel& label, int& width, int& height) {
  const int h = label.Font().Height;
  width = TextWidthFor(label.Caption(), h);
  height = std::abs(h);
}

bool HeadlessBackend::PreTranslate(const void* msg) {
  preTranslated.push_back(*static_cast<const plat::Msg*>(msg));
  return false;
}

void HeadlessBackend::OuterSize(const vcl::TForm& form, int& width, int& height) {
  // A dialog frame of 3 pixels and a caption bar of 20 (bsDialog); a
  // sizeable frame is 4 pixels.
  const int frame = form.BorderStyle == vcl::TBorderStyle::bsDialog ? 3 : 4;
  width += 2 * frame;
  height += 2 * frame + 20;
}

}  // namespace sim
