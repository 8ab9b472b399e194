// Registry text helpers. Each call opens its key and closes it before it
// returns. Failures raise EAppError; callers do not catch.
#pragma once

#include <string>

#include "platform/system.h"

// Leaves the value equal to `value` (REG_SZ), creating the key and any
// missing parents; writes nothing when the stored text is already equal.
void WriteRegString(plat::Handle root, const std::string& key, const std::string& name,
                    const std::string& value);
// The stored text, or "" when the key or the value is missing or empty.
void ReadRegString(plat::Handle root, const std::string& key, const std::string& name,
                   std::string& value);
std::string ReadRegString(plat::Handle root, const std::string& key, const std::string& name);

void ReadUserRegString(const std::string& key, const std::string& name, std::string& value);
std::string ReadUserRegString(const std::string& key, const std::string& name);
void WriteUserRegString(const std::string& key, const std::string& name,
                        const std::string& value);

// True when the key can be opened for reading. Never raises.
bool RegKeyExists(plat::Handle root, const std::string& key);
