#include "common/unOther.h"

#include "platform/system.h"
#include "platform/vcl.h"

using namespace plat;

bool ExecAndWait(const std::string& file, const std::string& parameters, int showMode) {
  ShellExecInfo info;
  info.cbSize = 60;  // sizeof(SHELLEXECUTEINFOW) in a 32-bit program
  info.fMask = w::SeeMaskNoCloseProcess | w::SeeMaskFlagDdeWait | w::SeeMaskDoEnvSubst |
               w::SeeMaskFlagNoUi;  // 0x740
  info.hwnd = 0;
  info.verb = std::nullopt;
  info.file = file;
  info.parameters = parameters;  // empty text stays an empty string
  info.directory = std::nullopt;
  info.nShow = showMode;
  System& s = sys();
  if (!s.ShellExecuteEx(info)) return false;

  const Handle process = info.hProcess;
  s.WaitForInputIdle(process, w::Infinite);

  // Sleep until the process ends or input arrives; on input, drain the
  // queue completely so that every message is dispatched at once. Without a
  // process handle the wait fails at once and the loop ends.
  bool quit = false;
  int quitCode = 0;
  for (;;) {
    const std::uint32_t r =
        s.MsgWaitForObject(process, w::Infinite, w::QsAllInput, w::MwmoInputAvailable);
    if (r != w::WaitObject0 + 1) break;
    Msg msg;
    while (s.PeekMessage(msg, 0, 0, 0, w::PmRemove)) {
      if (msg.message == w::WmQuit) {
        quit = true;
        quitCode = static_cast<int>(msg.wParam);
        continue;
      }
      // Keyboard navigation (Tab, Enter, Esc) works in the windows meanwhile.
      if (vcl::Application && vcl::Application->PreTranslate(msg)) continue;
      s.TranslateMessage(msg);
      s.DispatchMessage(msg);
    }
  }
  if (process) s.CloseHandle(process);
  if (quit) s.PostQuitMessage(quitCode);
  return true;
}
