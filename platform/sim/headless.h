// The window toolkit without windows, on the simulated machine: forms keep
// their models, timers fire on the simulated clock, custom controls paint
// on a canvas that records what is drawn, and tests post user actions to
// run at chosen moments.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"
#include "platform/vcl.h"

namespace sim {

struct Line {
  vcl::TColor color;
  int x0, y0, x1, y1;
};

// Text measured as a font of |height| pixels would roughly measure it:
// half the height for an ASCII character, the full height for others.
int TextWidthFor(const std::string& text, int height);

class HeadlessCanvas : public vcl::TCanvas {
 public:
  explicit HeadlessCanvas(int fontHeight) : fontHeight_(fontHeight) {}
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  std::vector<Line> lines;
  // Overrides the measures, for tests of the drawing rules.
  std::function<int(const std::string&)> widthOf, heightOf;

 private:
  int fontHeight_;
  int x_ = 0, y_ = 0;
};

class HeadlessBackend : public vcl::Backend {
 public:
  explicit HeadlessBackend(SimMachine& machine);
  ~HeadlessBackend() override;

  // Runs `action` through the message queue when the clock reaches `time`,
  // as the user's input would arrive.
  void PostAt(std::uint64_t time, std::function<void()> action);

  // Paints every custom control that asked for it, again and again until
  // none asks any more; returns the number of paints.
  int PaintPending();
  int InvalidationsOf(const vcl::TControl& c) const;
  // The canvas of the control's last paint.
  HeadlessCanvas* CanvasOf(const vcl::TControl& c);
  // Height of the font a new canvas starts with (the toolkit's default
  // canvas font, Tahoma 8 points).
  int defaultCanvasFontHeight = 11;
  std::function<void(HeadlessCanvas&)> prepareCanvas;

  std::vector<const vcl::TForm*> modalStack;
  std::vector<std::string> shownForms;  // names, in the order shown
  std::vector<plat::Msg> preTranslated;  // messages offered to the dialog keys

  void FormShown(vcl::TForm& form) override;
  void FormHidden(vcl::TForm& form) override;
  void FormDestroyed(vcl::TForm& form) override;
  void BeginModal(vcl::TForm& form) override;
  void EndModal(vcl::TForm& form) override;
  void ControlChanged(vcl::TControl& control, vcl::Prop what) override;
  void ControlDestroyed(vcl::TControl& control) override;
  void Invalidate(vcl::TCustomControl& control) override;
  void TimerChanged(vcl::TTimer& timer) override;
  void TimerDestroyed(vcl::TTimer& timer) override;
  void MeasureLabel(vcl::TLabel& label, int& width, int& height) override;
  bool PreTranslate(const void* msg) override;
  void OuterSize(const vcl::TForm& form, int& width, int& height) override;

 private:
  std::intptr_t Dispatch(const plat::Msg& msg);
  void ScheduleTick(vcl::TTimer& timer);

  SimMachine& m_;
  std::map<std::uintptr_t, std::function<void()>> actions_;
  std::uintptr_t nextAction_ = 1;
  struct TimerState {
    vcl::TTimer* timer;
    std::uint64_t generation;
  };
  std::map<std::uintptr_t, TimerState> timers_;  // by id
  std::map<const vcl::TTimer*, std::uintptr_t> timerIds_;
  std::uintptr_t nextTimer_ = 1;
  std::map<const vcl::TControl*, int> invalid_;  // pending repaint requests
  std::map<const vcl::TControl*, int> invalidations_;
  std::map<const vcl::TControl*, HeadlessCanvas> canvases_;
};

// A fresh simulated machine with the toolkit running headless on it,
// installed as the machine the program code runs on for one scope.
struct HeadlessWorld {
  SimMachine machine;
  ScopedSystem scope{machine};
  HeadlessBackend backend{machine};
  vcl::TApplication app{backend};
};

}  // namespace sim
