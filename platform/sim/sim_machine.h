// A simulated Windows machine for the native tests.
//
// Tests describe the machine (registry keys and values, refused access,
// programs and what they do when started, answers to message boxes, messages
// that arrive at given moments), run the real program code on it, and read
// back what happened. It follows Windows' rules rather than convenient ones:
// key paths are case-insensitive and ignore a trailing backslash, a leading
// backslash is a bad path name (161), REG_SZ data is stored as UTF-16LE bytes,
// a failed ShellExecuteEx sets GetLastError, WM_QUIT is taken from the queue
// only after every posted message.
//
// Time is virtual: it moves only when the code under test waits.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace sim {

using plat::Handle;
using plat::Msg;
using plat::ShellExecInfo;

class SimMachine;

// One start of a program through the shell.
struct Launch {
  ShellExecInfo info;      // as the caller filled it in (outputs included)
  std::string path;        // the registered program that ran
  std::uint64_t started = 0;
  std::uint64_t ended = 0;
  bool running = false;
};

// What a registered program does. `onStart` runs when it is started,
// `onExit` when its run time is over (registry writes of an installer belong
// there). A program with `handsOver` is a document given to a process that
// already runs: the shell returns no process handle.
struct Program {
  std::uint32_t runMs = 0;
  bool console = false;  // no message queue: WaitForInputIdle fails at once
  bool handsOver = false;
  std::function<void(SimMachine&, const Launch&)> onStart;
  std::function<void(SimMachine&, const Launch&)> onExit;
};

struct RegValue {
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

struct BoxShown {
  std::string text;
  std::string caption;
  std::uint32_t style = 0;
  int result = 0;
};

struct Dispatched {
  std::uint64_t time = 0;
  Msg msg;
};

class SimMachine : public plat::System {
 public:
  SimMachine();
  ~SimMachine() override;

  // --- the virtual clock ---
  std::uint64_t Now() const { return now_; }
  // Moves the clock forward, firing what falls due on the way.
  void Advance(std::uint64_t ms);

  // --- registry, described and read back by tests (paths without a root) ---
  void SetValue(Handle root, const std::string& key, const std::string& name,
                std::uint32_t type, std::vector<std::uint8_t> data);
  void SetString(Handle root, const std::string& key, const std::string& name,
                 const std::string& text, std::uint32_t type = plat::w::RegSz);
  void SetDword(Handle root, const std::string& key, const std::string& name, std::uint32_t v);
  void CreateKey(Handle root, const std::string& key);
  bool KeyExists(Handle root, const std::string& key) const;
  std::optional<RegValue> GetValue(Handle root, const std::string& key,
                                   const std::string& name) const;
  // The text of a REG_SZ/REG_EXPAND_SZ value (cut at its first NUL).
  std::optional<std::string> GetString(Handle root, const std::string& key,
                                       const std::string& name) const;
  // Opens of this key and of every key below it that ask for any of `rights`
  // fail with ERROR_ACCESS_DENIED; so does creating a key below it.
  void DenyAccess(Handle root, const std::string& key, std::uint32_t rights);
  int RegWrites() const { return regWrites_; }
  int OpenKeys() const { return static_cast<int>(keyHandles_.size()); }

  // --- programs ---
  void AddProgram(const std::string& path, Program program);
  void SetCurrentDirectory(const std::string& dir) { currentDir_ = dir; }
  void SetEnvironment(const std::string& name, const std::string& value);
  const std::vector<Launch>& Launches() const { return launches_; }
  int OpenProcesses() const { return static_cast<int>(processHandles_.size()); }

  // --- files ---
  void SetProgramFile(const std::string& path) { programFile_ = path; }
  void AddFile(const std::string& path, std::string bytes = "");
  void AddFolder(const std::string& path);
  // Attributes of a folder (FILE_ATTRIBUTE_DIRECTORY is added).
  void SetFolderAttributes(const std::string& path, std::uint32_t attributes);
  void SetSystemDirectory(const std::string& dir) { systemDir_ = dir; }
  void SetOsVersion(const plat::OsVersion& v) { osVersion_ = v; }

  // --- message queue ---
  // Posts `msg` to the queue when the clock reaches `time`.
  void PostAt(std::uint64_t time, const Msg& msg);
  void PostQuitAt(std::uint64_t time, int exitCode);
  std::function<std::intptr_t(const Msg&)> onDispatch;
  const std::vector<Dispatched>& DispatchedMessages() const { return dispatched_; }
  bool QuitPending() const { return quitPosted_; }
  int QuitCode() const { return quitCode_; }
  std::size_t QueueLength() const { return queue_.size(); }

  // --- text ---
  // The system's ANSI code page (1252 unless a test sets another). The
  // simulated converter knows 1252, 28591 (Latin-1), 20127 (US-ASCII) and
  // 65001 (UTF-8); other code pages keep ASCII and map the rest to U+FFFD.
  void SetAnsiCodePage(std::uint32_t cp) { ansiCodePage_ = cp; }

  // --- message boxes ---
  void AnswerBoxes(std::initializer_list<int> results);
  // Takes the place of the script when set: answers each box as it is shown.
  std::function<int(const BoxShown&)> onBox;
  const std::vector<BoxShown>& Boxes() const { return boxes_; }
  int UnansweredBoxes() const { return unanswered_; }

  // --- plat::System ---
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
  long GetLastError() override { return lastError_; }
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
  bool GetVersionEx(plat::OsVersion& version) override;
  std::string GetSystemDirectory() override { return systemDir_; }
  bool ListFolder(const std::string& pattern, std::vector<plat::FileEntry>& entries) override;
  std::string ProgramFileName() override { return programFile_; }
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool ReadWholeFile(const std::string& path, std::string& bytes) override;
  std::string AnsiToUtf8(const std::string& bytes, std::uint32_t codePage) override;
  int MessageBox(const std::string& text, const std::string& caption,
                 std::uint32_t style) override;

 private:
  struct Key {
    std::string name;
    std::map<std::string, std::unique_ptr<Key>> subKeys;  // by folded name
    std::map<std::string, RegValue> values;              // by folded name
    std::uint32_t denied = 0;
  };
  struct KeyHandle {
    Key* key;
    std::uint32_t access;
  };
  struct Process {
    std::size_t launch;  // index into launches_
    bool ended = false;
  };
  struct Timed {
    std::uint64_t time;
    std::uint64_t seq;
    std::function<void()> fire;
  };

  Key* Root(Handle root) const;
  // 0 on success; `create` makes missing keys (checking the right to).
  long Walk(Handle root, const std::string& path, bool create, Key** out,
            std::uint32_t* denied) const;
  Key* FindKey(Handle root, const std::string& path) const;
  Key* MakeKey(Handle root, const std::string& path);
  long OpenCommon(Handle root, const std::string& subKey, std::uint32_t access, bool create,
                  Handle* result);
  std::optional<std::string> ResolveProgram(const std::string& file) const;
  // A relative path taken from the current directory, as Windows does.
  std::string Absolute(const std::string& path) const;
  std::string ExpandEnv(const std::string& s) const;
  void Schedule(std::uint64_t time, std::function<void()> fire);
  std::optional<std::uint64_t> NextEventTime() const;
  void FireDue();
  void EndProcess(std::size_t launch);

  std::uint64_t now_ = 0;
  std::uint64_t seq_ = 0;
  std::vector<Timed> timeline_;
  long lastError_ = 0;

  std::unique_ptr<Key> hkcr_, hkcu_, hklm_;
  std::map<Handle, KeyHandle> keyHandles_;
  Handle nextHandle_ = 0x1000;
  int regWrites_ = 0;

  std::map<std::string, std::pair<std::string, Program>> programs_;  // folded path
  std::map<std::string, std::string> env_;                           // folded name
  std::string currentDir_ = "C:\\";
  std::vector<Launch> launches_;
  std::map<Handle, Process> processHandles_;

  std::string programFile_ = "C:\\Program Files\\Tenvox\\Varnock.exe";
  std::map<std::string, std::string> files_;  // folded path -> content
  std::map<std::string, std::uint32_t> folders_;  // folded path -> attributes
  std::string systemDir_ = "C:\\windows\\system32";
  plat::OsVersion osVersion_{6, 2, 9200, 2, ""};

  std::deque<Msg> queue_;
  bool quitPosted_ = false;
  int quitCode_ = 0;
  std::vector<Dispatched> dispatched_;

  std::uint32_t ansiCodePage_ = 1252;
  std::deque<int> boxAnswers_;
  std::vector<BoxShown> boxes_;
  int unanswered_ = 0;
};

// Installs a machine as the one the program code runs on, for one scope.
class ScopedSystem {
 public:
  explicit ScopedSystem(plat::System& s) { plat::SetSystem(&s); }
  ~ScopedSystem() { plat::SetSystem(nullptr); }
};

}  // namespace sim
