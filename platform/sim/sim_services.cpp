#include "platform/sim/sim_services.h"

#include <cctype>

namespace sim {

namespace {
std::string Fold(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

// UTF-16 code units of a UTF-8 text (four-byte sequences take two).
std::uint32_t Utf16Units(const std::string& s) {
  std::uint32_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) == 0x80) continue;
    n += c >= 0xF0 ? 2 : 1;
  }
  return n;
}

constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kGenericExecute = 0x20000000u;
constexpr std::uint32_t kGenericAll = 0x10000000u;
constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
constexpr std::uint32_t kScManagerEnumerate = 0x0004;
}  // namespace

std::uint32_t SimServiceManager::EntrySize(const SimService& s) {
  return 36 + (Utf16Units(s.name) + 1) * 2 + (Utf16Units(s.displayName) + 1) * 2;
}

std::uint32_t SimServiceManager::MapManagerAccess(std::uint32_t access) {
  std::uint32_t r = access & 0x00FFFFFFu;
  if (access & kGenericRead) r |= 0x20000 | 0x0004 | 0x0010;  // read, enumerate, query lock
  if (access & kGenericWrite) r |= 0x20000 | 0x0002 | 0x0020;
  if (access & kGenericExecute) r |= 0x20000 | 0x0001 | 0x0008;
  if (access & kGenericAll) r |= kScManagerAllAccess;
  return r;
}

SimService& SimServiceManager::Add(const std::string& name, const std::string& displayName,
                                   std::uint32_t state) {
  SimService s;
  s.name = name;
  s.displayName = displayName;
  s.state = state;
  services_.push_back(s);
  return services_.back();
}

SimService* SimServiceManager::Find(const std::string& name) {
  for (SimService& s : services_)
    if (Fold(s.name) == Fold(name)) return &s;
  return nullptr;
}

plat::Handle SimServiceManager::OpenSCManager(std::uint32_t access) {
  if (openManagerError) {
    lastError_ = openManagerError;
    return 0;
  }
  const std::uint32_t mapped = MapManagerAccess(access);
  if (mapped & deniedManagerAccess) {
    lastError_ = plat::w::ErrAccessDenied;
    return 0;
  }
  const plat::Handle h = next_++;
  handles_[h] = Open{true, mapped, ""};
  lastError_ = 0;
  return h;
}

bool SimServiceManager::EnumServicesStatus(plat::Handle scm, std::uint32_t, std::uint32_t,
                                           std::uint32_t bufferSize,
                                           std::vector<plat::ServiceEntry>& entries,
                                           std::uint32_t& bytesNeeded,
                                           std::uint32_t& resumeHandle) {
  ++enumCalls_;
  bufferSizes_.push_back(bufferSize);
  entries.clear();
  bytesNeeded = 0;
  auto it = handles_.find(scm);
  if (it == handles_.end() || !it->second.manager) {
    lastError_ = plat::w::ErrInvalidHandle;
    return false;
  }
  if (!(it->second.access & kScManagerEnumerate)) {
    lastError_ = plat::w::ErrAccessDenied;
    return false;
  }
  if (enumerateError) {
    lastError_ = enumerateError;
    return false;
  }
  const std::uint32_t room = pageLimit && pageLimit < bufferSize ? pageLimit : bufferSize;
  std::uint32_t used = 0;
  std::size_t i = resumeHandle;
  for (; i < services_.size(); ++i) {
    const std::uint32_t size = EntrySize(services_[i]);
    if (used + size > room) break;
    used += size;
    const SimService& s = services_[i];
    entries.push_back({s.name, s.displayName, s.type, s.state});
  }
  if (i < services_.size()) {
    for (std::size_t j = i; j < services_.size(); ++j) bytesNeeded += EntrySize(services_[j]);
    resumeHandle = static_cast<std::uint32_t>(i);
    lastError_ = plat::w::ErrMoreData;
    return false;
  }
  resumeHandle = 0;
  lastError_ = 0;
  return true;
}

plat::Handle SimServiceManager::OpenService(plat::Handle scm, const std::string& name,
                                            std::uint32_t access) {
  auto it = handles_.find(scm);
  if (it == handles_.end() || !it->second.manager) {
    lastError_ = plat::w::ErrInvalidHandle;
    return 0;
  }
  if (name.empty()) {
    lastError_ = svc::ErrInvalidName;
    return 0;
  }
  SimService* s = Find(name);
  if (!s) {
    lastError_ = svc::ErrServiceDoesNotExist;
    return 0;
  }
  if (s->openDenied) {
    lastError_ = plat::w::ErrAccessDenied;
    return 0;
  }
  const plat::Handle h = next_++;
  handles_[h] = Open{false, access, s->name};
  lastError_ = 0;
  return h;
}

bool SimServiceManager::QueryServiceStatus(plat::Handle service, std::uint32_t& currentState) {
  auto it = handles_.find(service);
  SimService* s = it == handles_.end() || it->second.manager ? nullptr : Find(it->second.service);
  if (!s) {
    lastError_ = plat::w::ErrInvalidHandle;
    return false;
  }
  currentState = s->state;
  lastError_ = 0;
  return true;
}

bool SimServiceManager::StartService(plat::Handle service) {
  auto it = handles_.find(service);
  SimService* s = it == handles_.end() || it->second.manager ? nullptr : Find(it->second.service);
  if (!s) {
    lastError_ = plat::w::ErrInvalidHandle;
    return false;
  }
  ++s->startRequests;
  if (s->state != svc::Stopped) {
    lastError_ = 1056;  // ERROR_SERVICE_ALREADY_RUNNING
    return false;
  }
  if (s->startError) {
    lastError_ = s->startError;
    return false;
  }
  // Accepted: the service is on its way up, as Windows reports right after.
  s->state = svc::StartPending;
  lastError_ = 0;
  return true;
}

bool SimServiceManager::CloseServiceHandle(plat::Handle handle) {
  if (handles_.erase(handle)) {
    lastError_ = 0;
    return true;
  }
  lastError_ = plat::w::ErrInvalidHandle;
  return false;
}

}  // namespace sim
