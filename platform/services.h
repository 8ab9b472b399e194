// The service control manager, shaped after the Win32 calls: results and
// GetLastError numbers as Windows gives them (5 access denied, 234 more
// data, 1060 no such service ...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system.h"

namespace plat {

struct ServiceEntry {  // ENUM_SERVICE_STATUSW
  std::string serviceName;
  std::string displayName;
  std::uint32_t serviceType = 0;
  std::uint32_t currentState = 0;  // SERVICE_STOPPED 1 ... SERVICE_PAUSED 7
};

class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  // OpenSCManagerW(local machine, default database, access); 0 on failure.
  virtual Handle OpenSCManager(std::uint32_t access) = 0;
  // EnumServicesStatusW into a buffer of bufferSize bytes (entries sized as
  // a 32-bit program's ENUM_SERVICE_STATUSW plus its two strings). False
  // with GetLastError 234 when more entries remain; bytesNeeded and
  // resumeHandle as Windows sets them.
  virtual bool EnumServicesStatus(Handle scm, std::uint32_t serviceType, std::uint32_t state,
                                  std::uint32_t bufferSize, std::vector<ServiceEntry>& entries,
                                  std::uint32_t& bytesNeeded, std::uint32_t& resumeHandle) = 0;
  virtual Handle OpenService(Handle scm, const std::string& name, std::uint32_t access) = 0;
  virtual bool QueryServiceStatus(Handle service, std::uint32_t& currentState) = 0;
  virtual bool StartService(Handle service) = 0;
  virtual bool CloseServiceHandle(Handle handle) = 0;
  virtual long GetLastError() = 0;
};

ServiceManager& scm();
void SetServiceManager(ServiceManager* manager);

}  // namespace plat
