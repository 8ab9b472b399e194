#include "common/unReg_File.h"

#include <cstdint>
#include <vector>

#include "common/errors.h"
#include "common/utf.h"

using namespace plat;

namespace {

constexpr std::uint32_t kAccessWrite = w::KeyAllAccess;  // 0xF003F
constexpr std::uint32_t kAccessRead = w::KeyRead;        // 0x20019
constexpr std::uint32_t kAccessExists =
    w::StandardRightsRead | w::KeyQueryValue | w::KeyEnumerateSubKeys;  // 0x20009

// Callers spell one key in several ways; one leading backslash is dropped,
// letter case and a trailing backslash are the registry's own business.
std::string KeyPath(const std::string& key) {
  return (!key.empty() && key[0] == '\\') ? key.substr(1) : key;
}

std::string ErrorText(const char* format, const std::string& name) {
  std::string text(format);
  text.replace(text.find("%s"), 2, name);
  return text;
}

// An open key, closed when the scope ends (also when an error passes through).
class OpenKey {
 public:
  OpenKey() = default;
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() {
    if (handle) sys().RegCloseKey(handle);
  }
  Handle handle = 0;
};

enum class Query { Missing, Text };

// Reads a value as text the way both read and write need it: a missing key
// or value, or a value with no data, is Missing; a value of another type
// raises; the text is cut at its first NUL.
Query QueryText(Handle key, const std::string& name, std::string& text) {
  text.clear();
  if (!key) return Query::Missing;
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (sys().RegQueryValueEx(key, name, &type, nullptr, &size) != w::ErrSuccess || size == 0)
    return Query::Missing;
  if (type != w::RegSz && type != w::RegExpandSz)
    throw EAppError(ErrorText("Invalid data type for '%s'", name));
  std::vector<std::uint8_t> data(size);
  std::uint32_t got = size;
  if (sys().RegQueryValueEx(key, name, &type, data.data(), &got) != w::ErrSuccess)
    throw EAppError(ErrorText("Failed to get data for '%s'", name));
  if (type != w::RegSz && type != w::RegExpandSz)
    throw EAppError(ErrorText("Invalid data type for '%s'", name));
  text = utf::FromRegBytes(data.data(), got);
  return Query::Text;
}

}  // namespace

void WriteRegString(Handle root, const std::string& key, const std::string& name,
                    const std::string& value) {
  OpenKey k;
  if (sys().RegCreateKeyEx(root, KeyPath(key), kAccessWrite, &k.handle) != w::ErrSuccess)
    k.handle = 0;
  std::string current;
  std::uint32_t size = 0;
  // A value that exists at all (even with no data) is compared as text.
  if (k.handle && sys().RegQueryValueEx(k.handle, name, nullptr, nullptr, &size) == w::ErrSuccess) {
    QueryText(k.handle, name, current);
    if (current == value) return;
  }
  const std::vector<std::uint8_t> data = utf::ToRegSz(value);
  if (!k.handle || sys().RegSetValueEx(k.handle, name, w::RegSz, data.data(),
                                       static_cast<std::uint32_t>(data.size())) != w::ErrSuccess)
    throw EAppError(ErrorText("Failed to set data for '%s'", name));
}

void ReadRegString(Handle root, const std::string& key, const std::string& name,
                   std::string& value) {
  OpenKey k;
  if (sys().RegOpenKeyEx(root, KeyPath(key), kAccessRead, &k.handle) != w::ErrSuccess)
    k.handle = 0;
  QueryText(k.handle, name, value);
}

std::string ReadRegString(Handle root, const std::string& key, const std::string& name) {
  std::string value;
  ReadRegString(root, key, name, value);
  return value;
}

void ReadUserRegString(const std::string& key, const std::string& name, std::string& value) {
  ReadRegString(w::HKCU, key, name, value);
}

std::string ReadUserRegString(const std::string& key, const std::string& name) {
  return ReadRegString(w::HKCU, key, name);
}

void WriteUserRegString(const std::string& key, const std::string& name,
                        const std::string& value) {
  WriteRegString(w::HKCU, key, name, value);
}

bool RegKeyExists(Handle root, const std::string& key) {
  Handle h = 0;
  if (sys().RegOpenKeyEx(root, KeyPath(key), kAccessExists, &h) != w::ErrSuccess) return false;
  sys().RegCloseKey(h);
  return true;
}
