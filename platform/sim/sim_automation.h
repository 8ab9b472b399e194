// A simulated automation world for the native tests.
//
// Tests register ProgIDs with a factory that builds each new object (or
// throws EAppError, as a server that is missing or does not start), give the
// objects property and method handlers by member name (matched without
// regard to letter case, as GetIDsOfNames does), run the product code, and
// read back what happened: objects created per ProgID, objects still alive,
// and a log of every call.
//
// Unknown ProgIDs and unknown members fail with the messages Windows gives
// for CO_E_CLASSSTRING and DISP_E_UNKNOWNNAME. VarI4FromStr follows Windows
// under a user locale whose decimal separator is the point.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/errors.h"
#include "platform/automation.h"

namespace sim {

using plat::Handle;
using plat::OleValue;

// What one object answers. Handlers may throw EAppError with the server's
// message; a method may hand back another object made with
// SimAutomation::NewObject.
class SimObject {
 public:
  using Getter = std::function<OleValue()>;
  using Method = std::function<OleValue(const std::vector<OleValue>& args)>;

  SimObject& Get(const std::string& name, Getter getter);
  // A property that always reads as this text.
  SimObject& Text(const std::string& name, std::string text);
  SimObject& Call(const std::string& name, Method method);
  // A method that does nothing and returns nothing.
  SimObject& Call(const std::string& name);

 private:
  friend class SimAutomation;
  std::map<std::string, Getter> getters_;  // by folded name
  std::map<std::string, Method> methods_;  // by folded name
};

class SimAutomation : public plat::Automation {
 public:
  using Factory = std::function<SimObject()>;

  // CO_E_CLASSSTRING's text, for an unregistered ProgID.
  static constexpr const char* kInvalidClassString = "Invalid class string";
  // DISP_E_UNKNOWNNAME's text, for a member the object does not have.
  static constexpr const char* kUnknownName = "Unknown name.";

  // Registers a ProgID (case-insensitive); each creation calls the factory.
  void Register(const std::string& progId, Factory factory);
  void Unregister(const std::string& progId);

  // A new object (one reference) that a method hands back; `kind` names it
  // in the log and the counts.
  Handle NewObject(const std::string& kind, SimObject object);

  // --- read back ---
  // Successful creations of this ProgID (failed attempts counted apart).
  int Created(const std::string& progId) const;
  int CreateAttempts(const std::string& progId) const;
  // Objects not yet released.
  int LiveObjects() const { return static_cast<int>(objects_.size()); }
  // Release of a handle that is not a live object (double release).
  int BadReleases() const { return badReleases_; }
  int CoInitializeCalls() const { return coInitCalls_; }
  // "create Excel.Application", "create Excel.Application failed",
  // "get Excel.Application.Version", "call Excel.Application.Quit",
  // "release Excel.Application" ...
  const std::vector<std::string>& Log() const { return log_; }
  int Count(const std::string& logLine) const;

  // --- plat::Automation ---
  long CoInitialize() override;
  Handle CreateOleObject(const std::string& progId) override;
  OleValue GetProperty(Handle object, const std::string& name) override;
  OleValue CallMethod(Handle object, const std::string& name,
                      const std::vector<OleValue>& args) override;
  void Release(Handle object) override;
  long VarI4FromStr(const std::string& text, std::int32_t& value) override;

 private:
  struct Live {
    std::string kind;
    SimObject object;
  };
  Live& Find(Handle object, const std::string& what);

  std::map<std::string, std::pair<std::string, Factory>> classes_;  // folded ProgID
  std::map<std::string, int> created_, attempts_;                   // folded ProgID
  std::map<Handle, Live> objects_;
  Handle next_ = 0x5000;
  int badReleases_ = 0;
  int coInitCalls_ = 0;
  std::vector<std::string> log_;
};

// Installs an automation world for one scope.
class ScopedAutomation {
 public:
  explicit ScopedAutomation(plat::Automation& a) { plat::SetAutomation(&a); }
  ~ScopedAutomation() { plat::SetAutomation(nullptr); }
};

// VarI4FromStr's parsing with '.' as the decimal separator: an optional
// sign, digits, an optional fraction, surrounding blanks allowed; fractions
// are rounded half to even; 0x80020005 (DISP_E_TYPEMISMATCH) for a text that is not a number,
// 0x8002000A (DISP_E_OVERFLOW) outside the 32-bit range.
long ParseI4(const std::string& text, std::int32_t& value);

}  // namespace sim
