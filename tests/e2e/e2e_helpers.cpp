// End-to-end checks of the registry helpers and ExecAndWait on a real
// Windows registry and real processes (run under Wine by tests/e2e).
//
//   e2e_helpers reg
//   e2e_helpers exec <installer.exe> <done-file>
//
// Prints one line per check and exits with the number of failed checks.
#include "platform/win32/win.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "common/errors.h"
#include "common/unOther.h"
#include "common/unReg_File.h"
#include "platform/win32/win32_system.h"

using namespace plat;

namespace {

int g_failures = 0;

void Check(bool ok, const std::string& what, const std::string& detail = "") {
  std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", what.c_str(), detail.empty() ? "" : ": ",
              detail.c_str());
  std::fflush(stdout);
  if (!ok) ++g_failures;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EAppError& e) {
    return e.Message();
  }
  return "(no error)";
}

const wchar_t* kKey = L"Software\\TenvoxE2E";

void DeleteTestKeys() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
  RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
}

void SetRaw(HKEY root, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY k;
  RegCreateKeyExW(root, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(k);
}

DWORD RawType(HKEY root, const wchar_t* name, DWORD* size) {
  DWORD type = 0;
  *size = 0;
  RegGetValueW(root, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, size);
  return type;
}

int RegChecks() {
  DeleteTestKeys();
  const std::string spellings[] = {"Software\\TenvoxE2E", "SoftWare\\TenvoxE2E\\",
                                   "\\Software\\TenvoxE2E\\", "SOFTWARE\\TENVOXE2E"};

  Check(!RegKeyExists(w::HKLM, spellings[0]), "missing key does not exist");
  Check(ReadRegString(w::HKLM, spellings[0], "ALLSetup").empty(), "missing key reads empty");

  WriteRegString(w::HKLM, "\\Software\\TenvoxE2E\\Sub\\", "ALLSetup", "1");
  Check(RegKeyExists(w::HKLM, "Software\\TenvoxE2E\\Sub"), "write creates key and parents");
  for (const std::string& key : spellings) {
    WriteRegString(w::HKLM, key, "Text", "安装程序 " + key);
    bool same = true;
    for (const std::string& other : spellings)
      same = same && ReadRegString(w::HKLM, other, "text") == "安装程序 " + key;
    Check(same && RegKeyExists(w::HKLM, key), "spelling reaches the one key", key);
  }

  DWORD size = 0;
  WriteUserRegString("SoftWare\\TenvoxE2E", "CurLang", "繁體");
  const DWORD type = RawType(HKEY_CURRENT_USER, L"CurLang", &size);
  Check(type == REG_SZ && size == (2 + 1) * 2, "write stores REG_SZ of (length + 1) * 2 bytes",
        std::to_string(size) + " bytes");
  Check(ReadUserRegString("\\Software\\TenvoxE2E\\", "CurLang") == "繁體", "user value reads back");

  const DWORD dword = 1;
  SetRaw(HKEY_LOCAL_MACHINE, L"Dw", REG_DWORD, &dword, sizeof dword);
  const std::string readErr = ErrorOf([&] { ReadRegString(w::HKLM, spellings[1], "Dw"); });
  Check(readErr == "Invalid data type for 'Dw'", "REG_DWORD read raises", readErr);
  const std::string writeErr = ErrorOf([&] { WriteRegString(w::HKLM, spellings[1], "Dw", "1"); });
  Check(writeErr == "Invalid data type for 'Dw'" &&
            RawType(HKEY_LOCAL_MACHINE, L"Dw", &size) == REG_DWORD,
        "write over REG_DWORD raises and writes nothing", writeErr);

  // Same text: no write, seen by the value keeping its REG_EXPAND_SZ type.
  const wchar_t exp[] = L"%SystemRoot%\\x";
  SetRaw(HKEY_LOCAL_MACHINE, L"Exp", REG_EXPAND_SZ, exp, sizeof exp);
  Check(ReadRegString(w::HKLM, spellings[0], "Exp") == "%SystemRoot%\\x",
        "REG_EXPAND_SZ reads unexpanded");
  WriteRegString(w::HKLM, spellings[2], "Exp", "%SystemRoot%\\x");
  Check(RawType(HKEY_LOCAL_MACHINE, L"Exp", &size) == REG_EXPAND_SZ, "same text makes no write");
  WriteRegString(w::HKLM, spellings[2], "Exp", "%SystemRoot%\\X");
  Check(RawType(HKEY_LOCAL_MACHINE, L"Exp", &size) == REG_SZ, "other letter case is written");

  const wchar_t nul[] = L"ab\0cd";
  SetRaw(HKEY_LOCAL_MACHINE, L"Nul", REG_SZ, nul, sizeof nul);
  Check(ReadRegString(w::HKLM, spellings[0], "Nul") == "ab", "text is cut at the first NUL");
  SetRaw(HKEY_LOCAL_MACHINE, L"Empty", REG_SZ, L"", 2);
  Check(ReadRegString(w::HKLM, spellings[0], "Empty").empty(), "empty REG_SZ reads empty");

  DeleteTestKeys();
  return g_failures;
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    auto* count = reinterpret_cast<int*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    ++*count;
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool quitPosted = false;

void CALLBACK PostQuitOnce(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  quitPosted = true;
  PostQuitMessage(7);
}

int ExecChecks(const std::string& installer, const std::string& doneFile) {
  using Clock = std::chrono::steady_clock;
  auto ms = [](Clock::time_point a, Clock::time_point b) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count());
  };
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SoftWare\\Tenvox", L"ALLSetup");

  // A window whose timer must keep firing while the caller waits.
  WNDCLASSW wc{};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"E2ECounting";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
  int ticks = 0;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ticks));
  SetTimer(hwnd, 1, 50, nullptr);

  // A quit request arriving during the wait.
  SetTimer(nullptr, 0, 300, PostQuitOnce);

  auto t0 = Clock::now();
  const bool started = ExecAndWait(installer, "COM \"C:\\Program Files\\x y\" 汉字", w::SwShowNormal);
  auto t1 = Clock::now();
  const bool done = GetFileAttributesW(Widen(doneFile).c_str()) != INVALID_FILE_ATTRIBUTES;
  const std::string allSetup = ReadRegString(w::HKLM, "SoftWare\\Tenvox\\", "ALLSetup");
  KillTimer(hwnd, 1);

  Check(started, "ExecAndWait reports the start");
  Check(done && ms(t0, t1) >= 1000, "returns only after the installer ended",
        std::to_string(ms(t0, t1)) + " ms");
  Check(allSetup == "1", "installer's registry value visible right after", allSetup);
  Check(ticks >= 10, "window timer kept firing during the wait", std::to_string(ticks) + " ticks");

  MSG msg;
  const bool quitBack = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
  Check(quitPosted && quitBack && msg.wParam == 7, "quit request posted again after the wait");

  auto t2 = Clock::now();
  const bool missing = ExecAndWait("C:\\no\\such\\folder\\missing.exe", "", w::SwShowNormal);
  auto t3 = Clock::now();
  HWND box = FindWindowW(L"#32770", nullptr);
  Check(!missing && ms(t2, t3) < 500 && !box, "missing file: false at once, no dialog",
        std::to_string(ms(t2, t3)) + " ms");

  DestroyWindow(hwnd);
  return g_failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  static Win32System system;
  SetSystem(&system);
  const std::string cmd = argc > 1 ? Narrow(argv[1]) : "";
  try {
    if (cmd == "reg") return RegChecks();
    if (cmd == "exec" && argc == 4) return ExecChecks(Narrow(argv[2]), Narrow(argv[3]));
  } catch (const EAppError& e) {
    std::printf("FAIL unexpected error: %s\n", e.what());
    return 100;
  }
  std::fputs("usage: e2e_helpers reg | exec <installer.exe> <done-file>\n", stderr);
  return 2;
}
