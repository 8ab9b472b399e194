// The one error kind of the programs: registry and automation failures
// travel as this exception, carrying the text shown to the user.
#pragma once

#include <stdexcept>
#include <string>

class EAppError : public std::runtime_error {
 public:
  explicit EAppError(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};
