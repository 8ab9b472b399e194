// A caption followed, on the same line, by an etched horizontal rule that
// runs to the control's right edge. At every paint the control places
// itself 10 pixels from its parent's left edge, as wide as the parent less
// 30 pixels.
#pragma once

#include <memory>
#include <string>

#include "platform/vcl.h"

class TSymbolLine : public vcl::TCustomControl {
 public:
  TSymbolLine(vcl::TWinControl* parent, std::string name, int id);
  ~TSymbolLine() override;

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& text);
  int Space() const { return FSpace; }
  void SetSpace(int v) { FSpace = v; }
  bool ThinLine() const { return FThinLine; }
  void SetThinLine(bool v) { FThinLine = v; }
  bool LabEnable() const { return FLabEnable; }
  void SetLabEnable(bool v) { FLabEnable = v; }

  vcl::TLabel& Label() { return *lab; }
  void Paint(vcl::TCanvas& canvas) override;

 private:
  std::string FCaption;
  std::unique_ptr<vcl::TLabel> lab;
  int FSpace = 0;
  bool FThinLine = false;
  bool FLabEnable = false;
};
