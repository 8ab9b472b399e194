// A simulated service control manager: services with names, display names
// and states, start requests accepted or refused, access refused to the
// manager, and the paging of EnumServicesStatusW by the byte sizes a 32-bit
// program sees. Handles are counted so that tests can check that every one
// was closed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/services.h"

namespace sim {

namespace svc {
inline constexpr std::uint32_t Stopped = 1;
inline constexpr std::uint32_t StartPending = 2;
inline constexpr std::uint32_t StopPending = 3;
inline constexpr std::uint32_t Running = 4;
inline constexpr std::uint32_t ContinuePending = 5;
inline constexpr std::uint32_t PausePending = 6;
inline constexpr std::uint32_t Paused = 7;
inline constexpr std::uint32_t Win32OwnProcess = 0x10;
inline constexpr long ErrServiceDoesNotExist = 1060;
inline constexpr long ErrInvalidName = 123;
inline constexpr long ErrServiceDisabled = 1058;
inline constexpr long ErrServiceNoThread = 1053;  // did not respond in time
}  // namespace svc

struct SimService {
  std::string name;
  std::string displayName;
  std::uint32_t state = svc::Stopped;
  std::uint32_t type = svc::Win32OwnProcess;
  long startError = 0;       // StartServiceW: 0 accepts the request, else this error
  bool openDenied = false;   // OpenServiceW refuses access (5)
  int startRequests = 0;     // accepted or not
};

class SimServiceManager : public plat::ServiceManager {
 public:
  // Bytes one ENUM_SERVICE_STATUSW entry takes in a 32-bit program's buffer:
  // the 36-byte record and both UTF-16 strings with their NULs.
  static std::uint32_t EntrySize(const SimService& s);

  SimService& Add(const std::string& name, const std::string& displayName,
                  std::uint32_t state);
  SimService* Find(const std::string& name);  // case-insensitive
  std::vector<SimService>& Services() { return services_; }

  // OpenSCManagerW fails with this error when set (5, 87, 1065 ...).
  long openManagerError = 0;
  // Access rights the manager refuses (0xF003F: full access; 0x4: enumerate).
  std::uint32_t deniedManagerAccess = 0;
  // EnumServicesStatusW fails with this error when set (after checking access).
  long enumerateError = 0;
  // The most bytes the manager puts into one call, whatever the buffer size
  // (0: no limit); lets a test spread the list over several pages.
  std::uint32_t pageLimit = 0;

  int OpenHandles() const { return static_cast<int>(handles_.size()); }
  int EnumCalls() const { return enumCalls_; }
  std::vector<std::uint32_t> EnumBufferSizes() const { return bufferSizes_; }

  plat::Handle OpenSCManager(std::uint32_t access) override;
  bool EnumServicesStatus(plat::Handle scm, std::uint32_t serviceType, std::uint32_t state,
                          std::uint32_t bufferSize, std::vector<plat::ServiceEntry>& entries,
                          std::uint32_t& bytesNeeded, std::uint32_t& resumeHandle) override;
  plat::Handle OpenService(plat::Handle scm, const std::string& name,
                           std::uint32_t access) override;
  bool QueryServiceStatus(plat::Handle service, std::uint32_t& currentState) override;
  bool StartService(plat::Handle service) override;
  bool CloseServiceHandle(plat::Handle handle) override;
  long GetLastError() override { return lastError_; }

 private:
  struct Open {
    bool manager;
    std::uint32_t access;
    std::string service;  // for a service handle: its name
  };
  // Generic rights mapped to the manager's specific rights.
  static std::uint32_t MapManagerAccess(std::uint32_t access);
  std::vector<SimService> services_;
  std::map<plat::Handle, Open> handles_;
  plat::Handle next_ = 0x5000;
  long lastError_ = 0;
  int enumCalls_ = 0;
  std::vector<std::uint32_t> bufferSizes_;
};

// Installs a service manager for one scope.
class ScopedServices {
 public:
  explicit ScopedServices(plat::ServiceManager& s) { plat::SetServiceManager(&s); }
  ~ScopedServices() { plat::SetServiceManager(nullptr); }
};

}  // namespace sim
