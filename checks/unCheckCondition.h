// The prerequisite check dialog: the database server, web server and
// spreadsheet rows, checked one after another by a one-shot timer.
#pragma once

#include <string>

#include "common/unFormBase.h"
#include "platform/automation.h"
#include "platform/vcl.h"

// Results of EnsureServiceRunning.
inline constexpr int kServiceNotOpened = 0;
inline constexpr int kServiceNotStopped = 1;
inline constexpr int kServiceStartAccepted = 2;
inline constexpr int kServiceStartFailed = 3;
inline constexpr int kManagerNotOpened = 4;

class TfrmCheckCondition : public TfrmFormBase {
 public:
  TfrmCheckCondition();
  ~TfrmCheckCondition() override;

  vcl::TLabel labDB1;
  vcl::TLabel labDB2;
  vcl::TLabel labIIS1;
  vcl::TLabel labIIS2;
  vcl::TLabel labExcel1;
  vcl::TLabel labExcel2;
  vcl::TImage imgDB;
  vcl::TImage imgIIS;
  vcl::TImage imgExcel;
  vcl::TTimer Timer1;
  vcl::TImage imgDB_NO;
  vcl::TImage imgIIS_NO;
  vcl::TImage imgExcel_NO;
  bool bIsExcel32 = false;
  // The half-second pause after the last check, on the toolkit's clock.
  vcl::TTimer tmrFinish;

  void ApplyLanguage() override;
  void btnOKClick(vcl::TObject* Sender) override;
  void btnCancelClick(vcl::TObject* Sender) override;
  void Timer1Timer(vcl::TObject* Sender);
  void tmrFinishTimer(vcl::TObject* Sender);

  bool CheckDatabase(bool Retry);
  bool CheckWebServer();
  bool CheckExcel();
  int EnsureServiceRunning(const std::string& ServiceName);
  void ReportWebServerMissing();
};

// Creates, runs and frees the dialog; true when it ended with OK.
bool ShowCheckCondition(int InstallType, bool& isExcel32);

// The first service named "MSSQLSERVER" or beginning with "MSSQL$", in the
// service manager's order; "" when there is none. Shows its own error boxes.
std::string FindSqlServerService();
// Major and minor version written one after the other ("51", "62", "100");
// "" when the query fails.
std::string GetOSVersionText();
// Site numbers from the W3SVC<n> folders of a log folder (ending with a
// backslash), joined with "," in listing order.
std::string ListWebSiteNumbers(const std::string& folder);
// The first of the numbers whose web site object can be fetched from the
// web service, stored into webSite; "" when none can.
std::string OpenFirstWebServer(const std::string& numbers, plat::Handle webService,
                               plat::OleObject& webSite);

// The tick and cross pictures: 24 x 24, on a magenta background that is
// drawn transparent.
vcl::TBitmap TickPicture();
vcl::TBitmap CrossPicture();
inline constexpr std::uint32_t kPictureKey = 0xFF00FF;
