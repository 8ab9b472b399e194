#include "platform/win32/win.h"

#include "platform/win32/win32_system.h"

#include <algorithm>

namespace plat {

std::wstring Widen(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& s) {
  if (s.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

void HardenDllSearch() {
  // SetDefaultDllDirectories exists from Windows 8 (and 7 with KB2533623);
  // look it up so that older systems still start.
  using Fn = BOOL(WINAPI*)(DWORD);
  HMODULE k32 = GetModuleHandleW(L"kernel32.dll");
  auto fn = k32 ? reinterpret_cast<Fn>(
                      reinterpret_cast<void*>(GetProcAddress(k32, "SetDefaultDllDirectories")))
                : nullptr;
  if (fn) fn(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Take the current directory out of the search either way.
  SetDllDirectoryW(L"");
}

namespace {
// shell32 is large and slow to load: it is loaded on first use rather than
// at start-up (from the system directory, like every DLL here).
template <class Fn>
Fn Shell32(const char* name) {
  static HMODULE shell32 = [] {
    HMODULE h = LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return h ? h : LoadLibraryW(L"shell32.dll");
  }();
  return shell32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(shell32, name)))
                 : nullptr;
}

HKEY AsKey(Handle h) { return reinterpret_cast<HKEY>(h); }
HANDLE AsHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle FromPtr(const void* p) { return reinterpret_cast<Handle>(p); }
}  // namespace

long Win32System::RegCreateKeyEx(Handle root, const std::string& subKey, std::uint32_t access,
                                 Handle* result) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExW(AsKey(root), Widen(subKey).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
  *result = rc == ERROR_SUCCESS ? FromPtr(key) : 0;
  return rc;
}

long Win32System::RegOpenKeyEx(Handle root, const std::string& subKey, std::uint32_t access,
                               Handle* result) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(AsKey(root), Widen(subKey).c_str(), 0, access, &key);
  *result = rc == ERROR_SUCCESS ? FromPtr(key) : 0;
  return rc;
}

long Win32System::RegQueryValueEx(Handle key, const std::string& name, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* size) {
  DWORD t = 0;
  DWORD n = size ? *size : 0;
  LONG rc = RegQueryValueExW(AsKey(key), Widen(name).c_str(), nullptr, &t, data,
                             size ? &n : nullptr);
  if (type) *type = t;
  if (size) *size = n;
  return rc;
}

long Win32System::RegSetValueEx(Handle key, const std::string& name, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t size) {
  return RegSetValueExW(AsKey(key), Widen(name).c_str(), 0, type, data, size);
}

long Win32System::RegCloseKey(Handle key) { return ::RegCloseKey(AsKey(key)); }

bool Win32System::ShellExecuteEx(ShellExecInfo& info) {
  const std::wstring verb = info.verb ? Widen(*info.verb) : std::wstring();
  const std::wstring file = Widen(info.file);
  const std::wstring params = info.parameters ? Widen(*info.parameters) : std::wstring();
  const std::wstring dir = info.directory ? Widen(*info.directory) : std::wstring();
  SHELLEXECUTEINFOW sei;
  ZeroMemory(&sei, sizeof sei);
  // The caller states the record size of a 32-bit program; the record given
  // to Windows is this build's own.
  sei.cbSize = sizeof sei;
  sei.fMask = info.fMask;
  sei.hwnd = reinterpret_cast<HWND>(info.hwnd);
  sei.lpVerb = info.verb ? verb.c_str() : nullptr;
  sei.lpFile = file.c_str();
  sei.lpParameters = info.parameters ? params.c_str() : nullptr;
  sei.lpDirectory = info.directory ? dir.c_str() : nullptr;
  sei.nShow = info.nShow;
  using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  static const auto shellExecuteEx = Shell32<ShellExecuteExFn>("ShellExecuteExW");
  if (!shellExecuteEx) {
    SetLastError(ERROR_DLL_NOT_FOUND);
    return false;
  }
  BOOL ok = shellExecuteEx(&sei);
  info.hInstApp = reinterpret_cast<std::uintptr_t>(sei.hInstApp);
  info.hProcess = FromPtr(sei.hProcess);
  return ok != FALSE;
}

std::uint32_t Win32System::WaitForInputIdle(Handle process, std::uint32_t milliseconds) {
  return ::WaitForInputIdle(AsHandle(process), milliseconds);
}

std::uint32_t Win32System::WaitForSingleObject(Handle object, std::uint32_t milliseconds) {
  return ::WaitForSingleObject(AsHandle(object), milliseconds);
}

std::uint32_t Win32System::MsgWaitForObject(Handle object, std::uint32_t milliseconds,
                                            std::uint32_t wakeMask, std::uint32_t flags) {
  HANDLE h = AsHandle(object);
  if (!h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return MsgWaitForMultipleObjectsEx(1, &h, milliseconds, wakeMask, flags);
}

bool Win32System::CloseHandle(Handle object) { return ::CloseHandle(AsHandle(object)) != FALSE; }

long Win32System::GetLastError() { return static_cast<long>(::GetLastError()); }

bool Win32System::PeekMessage(Msg& msg, Handle hwnd, std::uint32_t filterMin,
                              std::uint32_t filterMax, std::uint32_t removeFlags) {
  MSG m;
  if (!PeekMessageW(&m, reinterpret_cast<HWND>(hwnd), filterMin, filterMax, removeFlags))
    return false;
  msg.hwnd = FromPtr(m.hwnd);
  msg.message = m.message;
  msg.wParam = m.wParam;
  msg.lParam = m.lParam;
  msg.time = m.time;
  msg.ptX = m.pt.x;
  msg.ptY = m.pt.y;
  return true;
}

namespace {
MSG ToMsg(const Msg& msg) {
  MSG m;
  m.hwnd = reinterpret_cast<HWND>(msg.hwnd);
  m.message = msg.message;
  m.wParam = msg.wParam;
  m.lParam = msg.lParam;
  m.time = msg.time;
  m.pt.x = msg.ptX;
  m.pt.y = msg.ptY;
  return m;
}
}  // namespace

bool Win32System::TranslateMessage(const Msg& msg) {
  MSG m = ToMsg(msg);
  return ::TranslateMessage(&m) != FALSE;
}

std::intptr_t Win32System::DispatchMessage(const Msg& msg) {
  MSG m = ToMsg(msg);
  return DispatchMessageW(&m);
}

bool Win32System::PostMessage(Handle hwnd, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) {
  return PostMessageW(reinterpret_cast<HWND>(hwnd), message, wParam, lParam) != FALSE;
}

void Win32System::PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

std::uintptr_t Win32System::ShellExecute(Handle hwnd, const std::string& verb,
                                         const std::string& file, const std::string& parameters,
                                         const std::string& directory, int showCmd) {
  using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  static const auto shellExecute = Shell32<ShellExecuteFn>("ShellExecuteW");
  if (!shellExecute) return ERROR_DLL_NOT_FOUND;
  return reinterpret_cast<std::uintptr_t>(shellExecute(
      reinterpret_cast<HWND>(hwnd), Widen(verb).c_str(), Widen(file).c_str(),
      Widen(parameters).c_str(), Widen(directory).c_str(), showCmd));
}

bool Win32System::GetVersionEx(OsVersion& version) {
  OSVERSIONINFOW vi;
  ZeroMemory(&vi, sizeof vi);
  vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(&vi)) return false;
#pragma GCC diagnostic pop
  version.major = vi.dwMajorVersion;
  version.minor = vi.dwMinorVersion;
  version.build = vi.dwBuildNumber;
  version.platformId = vi.dwPlatformId;
  version.servicePack = Narrow(vi.szCSDVersion);
  return true;
}

std::string Win32System::GetSystemDirectory() {
  wchar_t buf[MAX_PATH + 1];
  const UINT n = ::GetSystemDirectoryW(buf, MAX_PATH + 1);
  return n == 0 || n > MAX_PATH ? std::string() : Narrow(std::wstring(buf, n));
}

bool Win32System::ListFolder(const std::string& pattern, std::vector<FileEntry>& entries) {
  entries.clear();
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  do {
    entries.push_back({Narrow(fd.cFileName), fd.dwFileAttributes});
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return true;
}

bool Win32System::WaitMessage() { return ::WaitMessage() != FALSE; }

std::string Win32System::ProgramFileName() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) {
      buf.resize(n);
      return Narrow(buf);
    }
    buf.resize(buf.size() * 2);
  }
}

bool Win32System::FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesW(Widen(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!(a & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  // A link counts when its target can be opened.
  HANDLE h = CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

bool Win32System::DirectoryExists(const std::string& path) {
  const DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32System::ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(h, &size) && size.QuadPart < (1LL << 30);
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
      ok = ReadFile(h, bytes.data() + done, want, &got, nullptr) && got > 0;
      done += got;
    }
  }
  ::CloseHandle(h);
  if (!ok) bytes.clear();
  return ok;
}

std::string Win32System::AnsiToUtf8(const std::string& bytes, std::uint32_t codePage) {
  if (bytes.empty()) return std::string();
  const UINT cp = codePage == 0 ? CP_ACP : codePage;
  int n = MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) {  // unknown code page: keep ASCII, mark the rest
    std::string out;
    for (unsigned char c : bytes) out += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\xEF\xBF\xBD";
    return out;
  }
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
  return Narrow(w);
}

int Win32System::MessageBox(const std::string& text, const std::string& caption,
                            std::uint32_t style) {
  return MessageBoxW(GetActiveWindow(), Widen(text).c_str(), Widen(caption).c_str(), style);
}

}  // namespace plat
