// The dialog form the launcher's windows derive from: OK and Cancel buttons
// whose captions follow the language, the separator line carrying the
// maker's name, and the idle handler it installs while shown.
#pragma once

#include <string>

#include "common/SymbolLine.h"
#include "platform/vcl.h"

// Control numbers: OK and Cancel carry the dialog numbers Windows gives
// Enter and Esc.
inline constexpr int kIdOK = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdSymbolLine = 90;

class TfrmFormBase : public vcl::TForm {
 public:
  explicit TfrmFormBase(std::string name);
  ~TfrmFormBase() override;

  vcl::TButton btnOK;
  vcl::TButton btnCancel;
  TSymbolLine SymbolLine1;

  vcl::TIdleEvent oldDoIdle;
  std::string sLangFlag;

  // The form's idle handler; leaves Done as the application passed it.
  virtual void DoIdle(vcl::TObject* Sender, bool& Done);
  // Rewrites the captions for the current language.
  virtual void ApplyLanguage();

  std::string LangText(const std::string& a, const std::string& b, const std::string& c) const;

  virtual void FormCreate(vcl::TObject* Sender);
  virtual void FormShow(vcl::TObject* Sender);
  virtual void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);
  virtual void btnOKClick(vcl::TObject* Sender);
  virtual void btnCancelClick(vcl::TObject* Sender);
};
