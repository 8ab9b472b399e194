// The seam between the programs and Windows.
//
// Every operation the programs need from the operating system goes through
// `System`. Each method is shaped after the Windows call it stands for and
// keeps that call's observable results: error numbers, registry value types
// and sizes, wait results, show modes. Two implementations exist: the real
// one on the Windows API (platform/win32) and a simulated machine for the
// native tests (platform/sim).
//
// Strings are UTF-8 here; registry data is raw bytes exactly as Windows
// stores them (REG_SZ as UTF-16LE with its terminating NUL).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plat {

using Handle = std::uintptr_t;  // HKEY, HANDLE, HWND: 0 is "none"

// Windows numbers, under names that do not collide with <windows.h> macros.
namespace w {
// predefined registry roots
inline constexpr Handle HKCR = 0x80000000u;
inline constexpr Handle HKCU = 0x80000001u;
inline constexpr Handle HKLM = 0x80000002u;

// registry value types
inline constexpr std::uint32_t RegNone = 0;
inline constexpr std::uint32_t RegSz = 1;
inline constexpr std::uint32_t RegExpandSz = 2;
inline constexpr std::uint32_t RegBinary = 3;
inline constexpr std::uint32_t RegDword = 4;
inline constexpr std::uint32_t RegMultiSz = 7;

// registry access rights
inline constexpr std::uint32_t KeyQueryValue = 0x0001;
inline constexpr std::uint32_t KeySetValue = 0x0002;
inline constexpr std::uint32_t KeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t KeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t KeyNotify = 0x0010;
inline constexpr std::uint32_t KeyCreateLink = 0x0020;
inline constexpr std::uint32_t StandardRightsRead = 0x20000;
inline constexpr std::uint32_t KeyRead = 0x20019;
inline constexpr std::uint32_t KeyAllAccess = 0xF003F;

// error numbers (GetLastError, registry results)
inline constexpr long ErrSuccess = 0;
inline constexpr long ErrFileNotFound = 2;
inline constexpr long ErrPathNotFound = 3;
inline constexpr long ErrAccessDenied = 5;
inline constexpr long ErrInvalidHandle = 6;
inline constexpr long ErrInvalidParameter = 87;
inline constexpr long ErrBadPathname = 161;
inline constexpr long ErrMoreData = 234;

// waits
inline constexpr std::uint32_t Infinite = 0xFFFFFFFFu;
inline constexpr std::uint32_t WaitObject0 = 0;
inline constexpr std::uint32_t WaitTimeout = 0x102;
inline constexpr std::uint32_t WaitFailed = 0xFFFFFFFFu;
inline constexpr std::uint32_t QsAllInput = 0x04FF;
inline constexpr std::uint32_t MwmoInputAvailable = 0x0004;

// messages
inline constexpr std::uint32_t WmNull = 0x0000;
inline constexpr std::uint32_t WmQuit = 0x0012;
inline constexpr std::uint32_t WmUser = 0x0400;
inline constexpr std::uint32_t PmRemove = 0x0001;

// ShellExecuteEx
inline constexpr std::uint32_t SeeMaskNoCloseProcess = 0x0040;
inline constexpr std::uint32_t SeeMaskFlagDdeWait = 0x0100;
inline constexpr std::uint32_t SeeMaskDoEnvSubst = 0x0200;
inline constexpr std::uint32_t SeeMaskFlagNoUi = 0x0400;

// show modes
inline constexpr int SwHide = 0;
inline constexpr int SwShowNormal = 1;
inline constexpr int SwShow = 5;

// file attributes
inline constexpr std::uint32_t FileAttributeReadonly = 0x01;
inline constexpr std::uint32_t FileAttributeHidden = 0x02;
inline constexpr std::uint32_t FileAttributeSystem = 0x04;
inline constexpr std::uint32_t FileAttributeDirectory = 0x10;
inline constexpr std::uint32_t FileAttributeArchive = 0x20;
inline constexpr std::uint32_t FileAttributeNormal = 0x80;

// message box styles and results
inline constexpr std::uint32_t MbOk = 0x00;
inline constexpr std::uint32_t MbYesNo = 0x04;
inline constexpr std::uint32_t MbIconHand = 0x10;
inline constexpr std::uint32_t MbIconQuestion = 0x20;
inline constexpr std::uint32_t MbIconInformation = 0x40;
inline constexpr int IdOk = 1;
inline constexpr int IdCancel = 2;
inline constexpr int IdYes = 6;
inline constexpr int IdNo = 7;
}  // namespace w

// SHELLEXECUTEINFOW, the fields the programs set and read.
struct ShellExecInfo {
  std::uint32_t cbSize = 0;
  std::uint32_t fMask = 0;
  Handle hwnd = 0;
  std::optional<std::string> verb;        // nullopt: the file's default verb
  std::string file;
  std::optional<std::string> parameters;  // nullopt: no parameters at all
  std::optional<std::string> directory;   // nullopt: the current directory
  int nShow = 0;
  std::uintptr_t hInstApp = 0;  // out: > 32 on success, else an error number
  Handle hProcess = 0;          // out: with SeeMaskNoCloseProcess, when one came back
};

// One entry of a folder listing (FindFirstFileW / FindNextFileW).
struct FileEntry {
  std::string name;
  std::uint32_t attributes = 0;  // FILE_ATTRIBUTE_*
};

// What GetVersionExW reports to the program (as its manifest lets Windows
// tell it).
struct OsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::uint32_t platformId = 2;  // VER_PLATFORM_WIN32_NT
  std::string servicePack;
};

// MSG, the whole record, so that a message taken from the queue can be
// dispatched unchanged.
struct Msg {
  Handle hwnd = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::uint32_t time = 0;
  std::int32_t ptX = 0;
  std::int32_t ptY = 0;
};

class System {
 public:
  virtual ~System() = default;

  // --- registry (results are Windows error numbers, 0 = success) ---
  // RegCreateKeyExW: non-volatile, creates missing parents.
  virtual long RegCreateKeyEx(Handle root, const std::string& subKey, std::uint32_t access,
                              Handle* result) = 0;
  virtual long RegOpenKeyEx(Handle root, const std::string& subKey, std::uint32_t access,
                            Handle* result) = 0;
  // RegQueryValueExW: data may be null to ask for the size only; *size is in
  // bytes, in and out; a buffer too small gives ErrMoreData with the size needed.
  virtual long RegQueryValueEx(Handle key, const std::string& name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* size) = 0;
  virtual long RegSetValueEx(Handle key, const std::string& name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t size) = 0;
  virtual long RegCloseKey(Handle key) = 0;

  // --- processes ---
  // ShellExecuteExW; on failure returns false and GetLastError tells why.
  virtual bool ShellExecuteEx(ShellExecInfo& info) = 0;
  virtual std::uint32_t WaitForInputIdle(Handle process, std::uint32_t milliseconds) = 0;
  virtual std::uint32_t WaitForSingleObject(Handle object, std::uint32_t milliseconds) = 0;
  // MsgWaitForMultipleObjectsEx over one handle: WaitObject0 when the object is
  // signalled, WaitObject0 + 1 when input is in the queue, WaitTimeout, WaitFailed.
  virtual std::uint32_t MsgWaitForObject(Handle object, std::uint32_t milliseconds,
                                         std::uint32_t wakeMask, std::uint32_t flags) = 0;
  virtual bool CloseHandle(Handle object) = 0;
  virtual long GetLastError() = 0;

  // --- the calling thread's message queue ---
  virtual bool PeekMessage(Msg& msg, Handle hwnd, std::uint32_t filterMin,
                           std::uint32_t filterMax, std::uint32_t removeFlags) = 0;
  virtual bool TranslateMessage(const Msg& msg) = 0;
  virtual std::intptr_t DispatchMessage(const Msg& msg) = 0;
  virtual bool PostMessage(Handle hwnd, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) = 0;
  virtual void PostQuitMessage(int exitCode) = 0;
  // WaitMessage: sleeps until a message arrives in the queue.
  virtual bool WaitMessage() = 0;

  // ShellExecuteW: starts without waiting; the result is > 32 on success,
  // else an error number. Empty texts are passed as empty strings.
  virtual std::uintptr_t ShellExecute(Handle hwnd, const std::string& verb,
                                      const std::string& file, const std::string& parameters,
                                      const std::string& directory, int showCmd) = 0;

  // --- system facts ---
  virtual bool GetVersionEx(OsVersion& version) = 0;
  // GetSystemDirectoryW, without a trailing separator.
  virtual std::string GetSystemDirectory() = 0;

  // --- files and the program itself ---
  // GetModuleFileNameW(NULL): the running program file.
  virtual std::string ProgramFileName() = 0;
  // GetFileAttributesW: a file (not a folder) / a folder; links are followed.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // The whole file; false when it cannot be opened or read.
  virtual bool ReadWholeFile(const std::string& path, std::string& bytes) = 0;
  // FindFirstFileW(pattern) / FindNextFileW / FindClose: every entry the
  // pattern matches (for example "C:\\logs\\W3SVC*"), "." and ".." included
  // when they match; false when nothing matches.
  virtual bool ListFolder(const std::string& pattern, std::vector<FileEntry>& entries) = 0;

  // --- text ---
  // MultiByteToWideChar from an 8-bit code page to UTF-8; codePage 0 is the
  // system's ANSI code page (CP_ACP). Bytes the code page cannot map become
  // U+FFFD.
  virtual std::string AnsiToUtf8(const std::string& bytes, std::uint32_t codePage) = 0;

  // --- message box over the application's active window ---
  // Style and result numbers are those of MessageBoxW; 0 when it cannot be shown.
  virtual int MessageBox(const std::string& text, const std::string& caption,
                         std::uint32_t style) = 0;
};

// The machine the program runs on. A program's entry installs the real
// Windows implementation; tests install a simulated machine.
System& sys();
void SetSystem(System* system);

}  // namespace plat
