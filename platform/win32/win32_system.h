// The real machine: the seam on the Windows API.
#pragma once

#include <string>

#include "platform/system.h"

namespace plat {

class Win32System : public System {
 public:
  long RegCreateKeyEx(Handle root, const std::string& subKey, std::uint32_t access,
                      Handle* result) override;
  long RegOpenKeyEx(Handle root, const std::string& subKey, std::uint32_t access,
                    Handle* result) override;
  long RegQueryValueEx(Handle key, const std::string& name, std::uint32_t* type,
                       std::uint8_t* data, std::uint32_t* size) override;
  long RegSetValueEx(Handle key, const std::string& name, std::uint32_t type,
                     const std::uint8_t* data, std::uint32_t size) override;
  long RegCloseKey(Handle key) override;
  bool ShellExecuteEx(ShellExecInfo& info) override;
  std::uint32_t WaitForInputIdle(Handle process, std::uint32_t milliseconds) override;
  std::uint32_t WaitForSingleObject(Handle object, std::uint32_t milliseconds) override;
  std::uint32_t MsgWaitForObject(Handle object, std::uint32_t milliseconds,
                                 std::uint32_t wakeMask, std::uint32_t flags) override;
  bool CloseHandle(Handle object) override;
  long GetLastError() override;
  bool PeekMessage(Msg& msg, Handle hwnd, std::uint32_t filterMin, std::uint32_t filterMax,
                   std::uint32_t removeFlags) override;
  bool TranslateMessage(const Msg& msg) override;
  std::intptr_t DispatchMessage(const Msg& msg) override;
  bool PostMessage(Handle hwnd, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override;
  void PostQuitMessage(int exitCode) override;
  bool WaitMessage() override;
  std::uintptr_t ShellExecute(Handle hwnd, const std::string& verb, const std::string& file,
                              const std::string& parameters, const std::string& directory,
                              int showCmd) override;
  bool GetVersionEx(OsVersion& version) override;
  std::string GetSystemDirectory() override;
  bool ListFolder(const std::string& pattern, std::vector<FileEntry>& entries) override;
  std::string ProgramFileName() override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool ReadWholeFile(const std::string& path, std::string& bytes) override;
  std::string AnsiToUtf8(const std::string& bytes, std::uint32_t codePage) override;
  int MessageBox(const std::string& text, const std::string& caption,
                 std::uint32_t style) override;
};

// UTF-8 <-> UTF-16 with the Windows converters.
std::wstring Widen(const std::string& s);
std::string Narrow(const std::wstring& s);

// Restricts the DLL search of this process to the system directory, so that
// a DLL placed beside the program is never loaded. Call first thing at entry.
void HardenDllSearch();

}  // namespace plat
