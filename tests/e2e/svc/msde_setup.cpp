// Stand-in for the MSDE 2000 setup in the end-to-end tests: "installs" the
// database engine by registering the test service as "MSSQL$TEST" (demand
// start, stopped), appends its command line to the file named by the first
// line of msde_setup.cfg beside it, and ends.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir(self);
  dir.resize(dir.find_last_of(L'\\') + 1);
  if (FILE* cfg = _wfopen((dir + L"msde_setup.cfg").c_str(), L"r")) {
    char line[MAX_PATH] = {};
    if (std::fgets(line, sizeof line, cfg)) {
      std::string path(line);
      while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
      if (FILE* log = std::fopen(path.c_str(), "ab")) {
        std::fputs("msde setup\r\n", log);
        std::fclose(log);
      }
    }
    std::fclose(cfg);
  }
  SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!scm) return 1;
  const std::wstring bin = L"\"" + dir + L"svc.exe\"";
  SC_HANDLE s = CreateServiceW(scm, L"MSSQL$TEST", L"SQL Server (TEST)", SERVICE_ALL_ACCESS,
                               SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                               SERVICE_ERROR_NORMAL, bin.c_str(), nullptr, nullptr, nullptr,
                               nullptr, nullptr);
  if (s) CloseServiceHandle(s);
  CloseServiceHandle(scm);
  return s ? 0 : 2;
}
