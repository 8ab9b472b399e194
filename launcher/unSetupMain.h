// The main setup window: five install types, each with its install chain,
// the language list, and the branding of the window.
#pragma once

#include <string>

#include "checks/unCheckCondition.h"
#include "common/unFormBase.h"
#include "platform/vcl.h"

class TfrmSetupMain : public TfrmFormBase {
 public:
  TfrmSetupMain();
  ~TfrmSetupMain() override;

  vcl::TImage Image1;
  vcl::TShape Shape1;
  vcl::TLabel Label1;
  vcl::TRadioButton radAll;
  vcl::TButton btnAll;
  vcl::TLabel Label5;
  vcl::TRadioButton radServer;
  vcl::TButton btnServer;
  vcl::TLabel Label6;
  vcl::TRadioButton radServers;
  vcl::TLabel Label7;
  vcl::TButton btnServer1;
  vcl::TLabel Label8;
  vcl::TButton btnServer2;
  vcl::TRadioButton radClient;
  vcl::TButton btnClient;
  vcl::TLabel Label9;
  vcl::TLabel Label3;
  vcl::TComboBox comboLang;

  void ApplyLanguage() override;
  void FormShow(vcl::TObject* Sender) override;
  void btnCancelClick(vcl::TObject* Sender) override;
  void FormCloseQuery(vcl::TObject* Sender, bool& CanClose);

  void radAllClick(vcl::TObject* Sender);
  void btnAllClick(vcl::TObject* Sender);
  void btnServerClick(vcl::TObject* Sender);
  void btnServer1Click(vcl::TObject* Sender);
  void btnServer2Click(vcl::TObject* Sender);
  void btnClientClick(vcl::TObject* Sender);
  void comboLangChange(vcl::TObject* Sender);

  std::string GetMiddlewareFolder();
  std::string GetEditionName();
  static std::string IndexToLangCode(int index);
  static int LangCodeToIndex(const std::string& code);

  void LoadBranding();
  void ReportMissingFile(const std::string& detail);

  // The folder of the running program, with a trailing separator.
  std::string ProgramFolder() const;
  // True while an install chain runs.
  bool Installing() const { return installing_; }

 private:
  // Runs one install chain unless another is running already (a click that
  // arrives while an installer runs would otherwise start a second chain
  // nested inside the first).
  void RunChain(void (TfrmSetupMain::*chain)());
  void MiddlewareThenWeb(const std::string& P, const std::string& webKeyword);
  void ChainAll();
  void ChainServer();
  void ChainServer1();
  void ChainServer2();
  void ChainClient();
  bool installing_ = false;
};

// The banner the window shows before branding: 585 x 70 pixels.
vcl::TBitmap DesignBanner();
