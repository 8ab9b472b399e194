#include "common/unFormBase.h"

#include "common/unLang.h"

TfrmFormBase::TfrmFormBase(std::string name)
    : vcl::TForm(std::move(name)),
      btnOK(this, "btnOK", kIdOK),
      btnCancel(this, "btnCancel", kIdCancel),
      SymbolLine1(this, "SymbolLine1", kIdSymbolLine) {
  SetCaption("frmFormBase");
  BorderStyle = vcl::TBorderStyle::bsDialog;
  Color = vcl::clBtnFace;
  vcl::TFont font;
  font.Name = "宋体";
  font.Height = -12;
  font.Charset = vcl::kAnsiCharset;
  font.Color = vcl::clWindowText;
  SetFont(font);
  Position = vcl::TPosition::poMainFormCenter;
  SetClientSize(513, 359);

  btnOK.SetCaption("确定");
  btnOK.SetBounds(299, 320, 75, 22);
  btnOK.Default = true;
  btnOK.HotTrack = true;
  btnOK.SetTabOrder(0);
  btnCancel.SetCaption("取消");
  btnCancel.SetBounds(387, 320, 75, 22);
  btnCancel.Cancel = true;
  btnCancel.ModalResult = vcl::mrCancel;
  btnCancel.HotTrack = true;
  btnCancel.SetTabOrder(1);
  SymbolLine1.SetBounds(10, 296, 491, 15);
  SymbolLine1.SetCaption("Tenvox");
  SymbolLine1.SetSpace(0);
  SymbolLine1.SetThinLine(false);
  SymbolLine1.SetLabEnable(false);

  OnCreate = [this](vcl::TObject* s) { FormCreate(s); };
  OnShow = [this](vcl::TObject* s) { FormShow(s); };
  OnClose = [this](vcl::TObject* s, vcl::TCloseAction& a) { FormClose(s, a); };
  btnOK.OnClick = [this](vcl::TObject* s) { btnOKClick(s); };
  btnCancel.OnClick = [this](vcl::TObject* s) { btnCancelClick(s); };
}

TfrmFormBase::~TfrmFormBase() = default;

void TfrmFormBase::DoIdle(vcl::TObject*, bool&) {}

void TfrmFormBase::ApplyLanguage() {
  if (bLangA) {
    btnOK.SetCaption("确定");
    btnCancel.SetCaption("取消");
  } else if (bLangB) {
    btnOK.SetCaption("確定");
    btnCancel.SetCaption("取消");
  } else if (bLangC) {
    btnOK.SetCaption("OK");
    btnCancel.SetCaption("Cancel");
  }
}

std::string TfrmFormBase::LangText(const std::string& a, const std::string& b,
                                   const std::string& c) const {
  return ::LangText(a, b, c);
}

void TfrmFormBase::FormCreate(vcl::TObject*) {
  sLangFlag = GetLangFlag();
  if (sLangFlag != "A") ApplyLanguage();
}

void TfrmFormBase::FormShow(vcl::TObject*) {
  oldDoIdle = vcl::Application->OnIdle;
  vcl::TIdleEvent mine;
  mine.object = this;
  mine.code = [this](vcl::TObject* s, bool& done) { DoIdle(s, done); };
  vcl::Application->OnIdle = mine;
}

void TfrmFormBase::FormClose(vcl::TObject*, vcl::TCloseAction&) {
  vcl::Application->OnIdle = oldDoIdle;
}

void TfrmFormBase::btnOKClick(vcl::TObject*) { vcl::Application->OnIdle = vcl::TIdleEvent{}; }

void TfrmFormBase::btnCancelClick(vcl::TObject*) {
  vcl::Application->OnIdle = vcl::TIdleEvent{};
}
