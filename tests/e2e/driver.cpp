// Drives a program's windows like a user, for the end-to-end tests.
//
//   driver <step> [args] <step> [args] ...
//
// Steps (window texts and titles are compared exactly):
//   start <exe>                     start the program (not waiting for it)
//   window <title>                  wait for its visible top-level window
//   title <title>                   the window's title now is <title>
//   text <id> <text>                control <id> shows <text>
//   enabled <id> 0|1                control <id> is disabled / enabled
//   checked <id> 0|1                radio button <id> is unchecked / checked
//   click <id>                      click a radio button or button and wait for the result
//   post-click <id>                 click without waiting (the click may open a box)
//   select <id> <index>             pick an item of a drop-down list
//   key <id> <virtual-key>          press a key with control <id> focused (27 Esc, 13 Enter, 9 Tab)
//   box <text>                      wait for a message box of the program showing <text>, press OK
//   box-starts <text>               the same for a box whose text begins with <text>
//   answer <button> <text>          a box whose text begins with <text>: press <button> (1 OK, 6 Yes, 7 No)
//   wait-box <text>                 wait for a box whose text begins with <text>, leave it open
//   visible <id> 0|1                control <id> is hidden / shown
//   wait-visible <id>               wait until control <id> is shown
//   gone                            wait until the window is closed or hidden
//   no-box                          no message box of the program is open
//   wait-lines <file> <n>           wait until <file> has at least <n> lines
//   lines <file> <n>                <file> has exactly <n> lines (0 when missing)
//   capture <file.bmp>              save a picture of the window
//   close                           ask the window to close (title bar close box)
//   exit <code>                     wait for the program to end with exit code <code>
//   sleep <ms>
// Each wait has a deadline (20 s). Exits 0 when every step passed, else 1
// after the first failing step.
#include "platform/win32/win.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

HANDLE g_process = nullptr;
DWORD g_pid = 0;
HWND g_window = nullptr;
constexpr DWORD kDeadline = 20000;

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

[[noreturn]] void Fail(const std::wstring& what) {
  std::printf("FAIL %s\n", Utf8(what).c_str());
  std::fflush(stdout);
  if (g_process) TerminateProcess(g_process, 99);
  ExitProcess(1);
}

std::wstring Text(HWND h) {
  wchar_t buf[1024];
  buf[0] = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, nullptr);
  return buf;
}

template <class F>
bool WaitFor(F cond, DWORD ms = kDeadline) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (cond()) return true;
    if (GetTickCount() - start > ms) return false;
    Sleep(20);
  }
}

struct FindId {
  int id;
  HWND found = nullptr;
};

BOOL CALLBACK EnumIds(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<FindId*>(lp);
  if (GetDlgCtrlID(h) != f->id) return TRUE;
  f->found = h;
  return FALSE;
}

// A control of the window by its number, also one nested in another control.
HWND Control(int id) {
  if (!g_window) Fail(L"no window yet");
  HWND h = GetDlgItem(g_window, id);
  if (!h) {
    FindId f{id};
    EnumChildWindows(g_window, EnumIds, reinterpret_cast<LPARAM>(&f));
    h = f.found;
  }
  if (!h) Fail(L"no control " + std::to_wstring(id));
  return h;
}

struct FindBox {
  HWND found = nullptr;
};

BOOL CALLBACK EnumBoxes(HWND h, LPARAM lp) {
  wchar_t cls[64];
  GetClassNameW(h, cls, 64);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == g_pid && IsWindowVisible(h) && std::wcscmp(cls, L"#32770") == 0) {
    reinterpret_cast<FindBox*>(lp)->found = h;
    return FALSE;
  }
  return TRUE;
}

HWND Box() {
  FindBox f;
  EnumWindows(EnumBoxes, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

int CountLines(const std::wstring& path) {
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return 0;
  int n = 0, c;
  while ((c = std::fgetc(f)) != EOF) n += c == '\n';
  std::fclose(f);
  return n;
}

void Capture(const std::wstring& path) {
  // Let the window finish painting what the last steps changed.
  RedrawWindow(g_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(400);
  RECT r;
  GetWindowRect(g_window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
  const DWORD size = stride * static_cast<DWORD>(h);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + size;
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) Fail(L"cannot write " + path);
  std::fwrite(&fh, sizeof fh, 1, f);
  std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
  std::fwrite(bits, 1, size, f);
  std::fclose(f);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> a(argv + 1, argv + argc);
  std::size_t i = 0;
  auto arg = [&]() -> std::wstring {
    if (i >= a.size()) Fail(L"missing argument");
    return a[i++];
  };
  while (i < a.size()) {
    const std::wstring step = arg();
    std::wstring trace = step;
    if (step == L"start") {
      const std::wstring exe = arg();
      SHELLEXECUTEINFOW sei{};
      sei.cbSize = sizeof sei;
      sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
      sei.lpFile = exe.c_str();
      sei.nShow = SW_SHOWNORMAL;
      if (!ShellExecuteExW(&sei) || !sei.hProcess) Fail(L"cannot start " + exe);
      g_process = sei.hProcess;
      g_pid = GetProcessId(g_process);
      trace += L" " + exe;
    } else if (step == L"window") {
      const std::wstring title = arg();
      g_window = nullptr;
      if (!WaitFor([&] {
            HWND h = FindWindowW(nullptr, title.c_str());
            if (h && IsWindowVisible(h) && GetDlgItem(h, 2)) g_window = h;
            return g_window != nullptr;
          }))
        Fail(L"no window titled [" + title + L"]");
      DWORD pid = 0;
      GetWindowThreadProcessId(g_window, &pid);
      if (!g_pid) {
        g_pid = pid;
        g_process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
      }
      trace += L" " + title;
    } else if (step == L"title") {
      const std::wstring want = arg();
      if (!WaitFor([&] { return Text(g_window) == want; }, 3000))
        Fail(L"title is [" + Text(g_window) + L"], want [" + want + L"]");
    } else if (step == L"text") {
      const int id = std::stoi(arg());
      const std::wstring want = arg();
      const std::wstring got = Text(Control(id));
      if (got != want) Fail(L"control " + std::to_wstring(id) + L" shows [" + got + L"], want [" + want + L"]");
    } else if (step == L"enabled") {
      const int id = std::stoi(arg());
      const bool want = arg() == L"1";
      if ((IsWindowEnabled(Control(id)) != FALSE) != want)
        Fail(L"control " + std::to_wstring(id) + (want ? L" is disabled" : L" is enabled"));
    } else if (step == L"checked") {
      const int id = std::stoi(arg());
      const bool want = arg() == L"1";
      const bool got = SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (got != want) Fail(L"radio " + std::to_wstring(id) + (want ? L" is not checked" : L" is checked"));
    } else if (step == L"click" || step == L"post-click") {
      const int id = std::stoi(arg());
      if (step == L"click") SendMessageW(Control(id), BM_CLICK, 0, 0);
      else PostMessageW(Control(id), BM_CLICK, 0, 0);
    } else if (step == L"key") {
      const int id = std::stoi(arg());
      const WPARAM vk = static_cast<WPARAM>(std::stoi(arg()));
      HWND c = Control(id);
      PostMessageW(c, WM_KEYDOWN, vk, 1);
      PostMessageW(c, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
    } else if (step == L"select") {
      const int id = std::stoi(arg());
      const int index = std::stoi(arg());
      HWND c = Control(id);
      SendMessageW(c, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
      SendMessageW(g_window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
    } else if (step == L"visible") {
      const int id = std::stoi(arg());
      const bool want = arg() == L"1";
      if ((IsWindowVisible(Control(id)) != FALSE) != want)
        Fail(L"control " + std::to_wstring(id) + (want ? L" is hidden" : L" is visible"));
    } else if (step == L"wait-visible") {
      const int id = std::stoi(arg());
      if (!WaitFor([&] { return IsWindowVisible(Control(id)) != FALSE; }))
        Fail(L"control " + std::to_wstring(id) + L" never became visible");
    } else if (step == L"gone") {
      HWND w = g_window;
      if (!WaitFor([&] { return !IsWindow(w) || !IsWindowVisible(w); })) Fail(L"window still open");
    } else if (step == L"box" || step == L"box-starts" || step == L"answer") {
      const bool prefix = step != L"box";
      const int button = step == L"answer" ? std::stoi(arg()) : IDOK;
      const std::wstring want = arg();
      HWND box = nullptr;
      if (!WaitFor([&] { return (box = Box()) != nullptr; })) Fail(L"no message box");
      const std::wstring got = Text(GetDlgItem(box, 0xFFFF));
      if (prefix ? got.compare(0, want.size(), want) != 0 : got != want)
        Fail(L"box shows [" + got + L"], want [" + want + (prefix ? L"...]" : L"]"));
      std::printf("     box: %s\n", Utf8(got).c_str());
      SendMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
      WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
    } else if (step == L"wait-box") {
      const std::wstring want = arg();
      HWND box = nullptr;
      if (!WaitFor([&] { return (box = Box()) != nullptr; })) Fail(L"no message box");
      const std::wstring got = Text(GetDlgItem(box, 0xFFFF));
      if (got.compare(0, want.size(), want) != 0) Fail(L"box shows [" + got + L"], want [" + want + L"...]");
    } else if (step == L"no-box") {
      if (HWND box = Box()) Fail(L"unexpected box: " + Text(GetDlgItem(box, 0xFFFF)));
    } else if (step == L"wait-lines" || step == L"lines") {
      const std::wstring file = arg();
      const int n = std::stoi(arg());
      if (step == L"wait-lines") {
        if (!WaitFor([&] { return CountLines(file) >= n; }))
          Fail(file + L" has " + std::to_wstring(CountLines(file)) + L" lines, want " + std::to_wstring(n));
      } else if (CountLines(file) != n) {
        Fail(file + L" has " + std::to_wstring(CountLines(file)) + L" lines, want exactly " + std::to_wstring(n));
      }
    } else if (step == L"capture") {
      Capture(arg());
    } else if (step == L"close") {
      PostMessageW(g_window, WM_CLOSE, 0, 0);
    } else if (step == L"exit") {
      const DWORD want = static_cast<DWORD>(std::stoul(arg()));
      if (!g_process || WaitForSingleObject(g_process, kDeadline) != WAIT_OBJECT_0) Fail(L"program did not end");
      DWORD code = 0;
      GetExitCodeProcess(g_process, &code);
      if (code != want) Fail(L"exit code " + std::to_wstring(code) + L", want " + std::to_wstring(want));
    } else if (step == L"sleep") {
      Sleep(static_cast<DWORD>(std::stoul(arg())));
    } else {
      Fail(L"unknown step " + step);
    }
    std::printf("ok   %s\n", Utf8(trace).c_str());
    std::fflush(stdout);
  }
  return 0;
}
