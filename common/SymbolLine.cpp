#include "common/SymbolLine.h"

TSymbolLine::TSymbolLine(vcl::TWinControl* parent, std::string name, int id)
    : vcl::TCustomControl(parent, std::move(name), id), FCaption("Tenvox") {
  lab = std::make_unique<vcl::TLabel>(this, Name() + ".lab", id + 1);
  lab->SetEnabled(false);
  lab->SetAutoSize(true);
  lab->SetCaption(FCaption);
}

TSymbolLine::~TSymbolLine() { lab.reset(); }

void TSymbolLine::SetCaption(const std::string& text) {
  FCaption = text;
  lab->SetCaption(FCaption);  // the label redraws itself; the rule waits for the next paint
}

void TSymbolLine::Paint(vcl::TCanvas& canvas) {
  vcl::TCustomControl::Paint(canvas);
  SetLeft(10);
  if (Parent()) SetWidth(Parent()->Width() - 30);
  lab->SetEnabled(FLabEnable);
  lab->SetCaption(FCaption);
  lab->SetFont(Font());
  lab->SetAutoSize(false);
  lab->SetAutoSize(true);
  // Measured in the canvas's own font, not the label's.
  const int w = canvas.TextWidth(FCaption);
  const int h = canvas.TextHeight(FCaption);
  const int y = h / 2;
  canvas.PenColor = vcl::clBtnShadow;
  canvas.MoveTo(w + FSpace, y);
  canvas.LineTo(Width(), y);
  if (!FThinLine) {
    canvas.PenColor = vcl::clBtnHighlight;
    canvas.MoveTo(w + FSpace, y + 1);
    canvas.LineTo(Width(), y + 1);
  }
}
