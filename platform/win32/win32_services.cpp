#include "platform/win32/win32_services.h"

#include "platform/win32/win.h"
#include "platform/win32/win32_system.h"

#undef OpenSCManager
#undef OpenService
#undef EnumServicesStatus
#undef StartService

namespace plat {

namespace {
SC_HANDLE AsSc(Handle h) { return reinterpret_cast<SC_HANDLE>(h); }
Handle FromSc(SC_HANDLE h) { return reinterpret_cast<Handle>(h); }
}  // namespace

Handle Win32ServiceManager::OpenSCManager(std::uint32_t access) {
  return FromSc(OpenSCManagerW(nullptr, nullptr, access));
}

bool Win32ServiceManager::EnumServicesStatus(Handle scm, std::uint32_t serviceType,
                                             std::uint32_t state, std::uint32_t bufferSize,
                                             std::vector<ServiceEntry>& entries,
                                             std::uint32_t& bytesNeeded,
                                             std::uint32_t& resumeHandle) {
  entries.clear();
  // A real buffer of the size asked for, aligned for the records in it.
  std::vector<std::uint64_t> storage((bufferSize + 7) / 8 + 1);
  auto* buffer = reinterpret_cast<ENUM_SERVICE_STATUSW*>(storage.data());
  DWORD needed = 0, returned = 0, resume = resumeHandle;
  const BOOL ok = EnumServicesStatusW(AsSc(scm), serviceType, state, buffer, bufferSize,
                                      &needed, &returned, &resume);
  const DWORD error = ok ? 0 : ::GetLastError();
  if (ok || error == ERROR_MORE_DATA) {
    for (DWORD i = 0; i < returned; ++i) {
      ServiceEntry e;
      if (buffer[i].lpServiceName) e.serviceName = Narrow(buffer[i].lpServiceName);
      if (buffer[i].lpDisplayName) e.displayName = Narrow(buffer[i].lpDisplayName);
      e.serviceType = buffer[i].ServiceStatus.dwServiceType;
      e.currentState = buffer[i].ServiceStatus.dwCurrentState;
      entries.push_back(e);
    }
  }
  bytesNeeded = needed;
  resumeHandle = resume;
  SetLastError(error);
  return ok != FALSE;
}

Handle Win32ServiceManager::OpenService(Handle scm, const std::string& name,
                                        std::uint32_t access) {
  return FromSc(OpenServiceW(AsSc(scm), Widen(name).c_str(), access));
}

bool Win32ServiceManager::QueryServiceStatus(Handle service, std::uint32_t& currentState) {
  SERVICE_STATUS status{};
  if (!::QueryServiceStatus(AsSc(service), &status)) return false;
  currentState = status.dwCurrentState;
  return true;
}

bool Win32ServiceManager::StartService(Handle service) {
  return StartServiceW(AsSc(service), 0, nullptr) != FALSE;
}

bool Win32ServiceManager::CloseServiceHandle(Handle handle) {
  return ::CloseServiceHandle(AsSc(handle)) != FALSE;
}

long Win32ServiceManager::GetLastError() { return static_cast<long>(::GetLastError()); }

}  // namespace plat
