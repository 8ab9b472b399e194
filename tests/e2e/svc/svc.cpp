// A minimal Windows service for the end-to-end tests: it starts, runs until
// it is asked to stop, and can be paused. Registered under the names the
// checks look for ("MSSQLSERVER", "MSSQL$TEST", "w3svc").
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status{};
HANDLE g_stop = nullptr;

void Report(DWORD state) {
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted =
      state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
  g_status.dwWin32ExitCode = NO_ERROR;
  SetServiceStatus(g_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      Report(SERVICE_STOP_PENDING);
      SetEvent(g_stop);
      return NO_ERROR;
    case SERVICE_CONTROL_PAUSE:
      Report(SERVICE_PAUSED);
      return NO_ERROR;
    case SERVICE_CONTROL_CONTINUE:
      Report(SERVICE_RUNNING);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, wchar_t** argv) {
  g_handle = RegisterServiceCtrlHandlerExW(argv[0], Handler, nullptr);
  if (!g_handle) return;
  g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Report(SERVICE_START_PENDING);
  Report(SERVICE_RUNNING);
  WaitForSingleObject(g_stop, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int wmain() {
  wchar_t empty[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{empty, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
