// The window toolkit on the Windows API: forms become top-level windows,
// controls become real standard controls (BUTTON, STATIC, COMBOBOX) under
// Common Controls 6, and their notifications run the models' events.
#pragma once

#include <map>
#include <string>

#include "platform/vcl.h"

namespace plat {

class Win32Backend : public vcl::Backend {
 public:
  Win32Backend();
  ~Win32Backend() override;

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

  struct Impl;

 private:
  Impl* impl_;
};

}  // namespace plat
