// Automation on the Windows API: COM objects by ProgID, called late-bound
// through IDispatch. ole32 and oleaut32 are loaded from the system
// directory on first use, so that a program that never automates anything
// does not pay for them at start-up.
#pragma once

#include "platform/automation.h"

namespace plat {

// COM is initialised on the calling thread by the first CoInitialize or, at
// the latest, by the first object creation (as an application start that
// initialises COM would have done), so it costs nothing until it is used.
class Win32Automation : public Automation {
 public:
  long CoInitialize() override;
  Handle CreateOleObject(const std::string& progId) override;
  OleValue GetProperty(Handle object, const std::string& name) override;
  OleValue CallMethod(Handle object, const std::string& name,
                      const std::vector<OleValue>& args) override;
  void Release(Handle object) override;
  long VarI4FromStr(const std::string& text, std::int32_t& value) override;

 private:
  bool initialised_ = false;
};

}  // namespace plat
