// Spreadsheet detection: is the installed Office (Excel) or WPS 32-bit or
// 64-bit? Built into Varnock's check dialog and into Dellwin.
//
// The registry is asked first ("Bitness" under the Outlook key of Office 11
// to 18); Excel and WPS are started through automation only when no bitness
// is found there. Automation failures only change the outcome; registry
// errors (a "Bitness" value that is not text, a ShowLoginWhenOpenExcel that
// cannot be written) pass out as EAppError. Every automation object is
// released before these functions return.
#pragma once

// True when the 32-bit client fits. version: the Office version that held
// the bitness, Excel's own version, or 11 when nothing told one.
bool IsOffice32(int& version, bool& officeFound, bool& wpsFound);

// The automation fallback of IsOffice32: sets ShowLoginWhenOpenExcel to "0",
// then asks Excel (Version, and ProductCode from 14 on) and, when that
// fails, WPS. version is changed only once Excel told its own.
bool IsExcel32ByAutomation(int& version, bool& excelFound, bool& wpsFound);

// The check dialog's spreadsheet step without its dialog: runs IsOffice32,
// sets bIsExcel32 to its result, and returns whether Office, Excel or WPS
// was found. When it returns false the caller shows the cross and the
// "install Excel or WPS first" message.
bool CheckExcelFound(bool& bIsExcel32);
