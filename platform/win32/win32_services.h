// The service control manager on the Windows API.
#pragma once

#include "platform/services.h"

namespace plat {

class Win32ServiceManager : public ServiceManager {
 public:
  Handle OpenSCManager(std::uint32_t access) override;
  bool EnumServicesStatus(Handle scm, std::uint32_t serviceType, std::uint32_t state,
                          std::uint32_t bufferSize, std::vector<ServiceEntry>& entries,
                          std::uint32_t& bytesNeeded, std::uint32_t& resumeHandle) override;
  Handle OpenService(Handle scm, const std::string& name, std::uint32_t access) override;
  bool QueryServiceStatus(Handle service, std::uint32_t& currentState) override;
  bool StartService(Handle service) override;
  bool CloseServiceHandle(Handle handle) override;
  long GetLastError() override;
};

}  // namespace plat
