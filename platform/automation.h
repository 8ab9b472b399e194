// Automation: objects created by ProgID and called late-bound, by member
// name, as IDispatch does it. Every failure (a ProgID that is not
// registered, a server that does not start, a member call that fails)
// raises EAppError carrying the system's or the server's message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system.h"

namespace plat {

// A VARIANT as far as the programs use one.
struct OleValue {
  enum class Kind { Empty, Int, Text, Object };
  Kind kind = Kind::Empty;
  std::int32_t i = 0;
  std::string text;
  Handle object = 0;  // a new reference: the receiver releases it

  static OleValue Int(std::int32_t v) { OleValue o; o.kind = Kind::Int; o.i = v; return o; }
  static OleValue Text(std::string v) { OleValue o; o.kind = Kind::Text; o.text = std::move(v); return o; }
};

class Automation {
 public:
  virtual ~Automation() = default;
  // CoInitialize(NULL) on the calling thread (single-threaded apartment);
  // the HRESULT (S_FALSE when it was initialised already).
  virtual long CoInitialize() = 0;
  // CLSIDFromProgID + CoCreateInstance(in process or local server, IDispatch).
  virtual Handle CreateOleObject(const std::string& progId) = 0;
  // A property (DISPATCH_PROPERTYGET) read as text, as a VARIANT converts.
  virtual OleValue GetProperty(Handle object, const std::string& name) = 0;
  // A method call (DISPATCH_METHOD) with arguments in the written order.
  virtual OleValue CallMethod(Handle object, const std::string& name,
                              const std::vector<OleValue>& args) = 0;
  // IDispatch::Release.
  virtual void Release(Handle object) = 0;
  // VarI4FromStr with the user's default locale; the HRESULT.
  virtual long VarI4FromStr(const std::string& text, std::int32_t& value) = 0;
};

Automation& ole();
void SetAutomation(Automation* automation);

// An object reference released when the scope ends.
class OleObject {
 public:
  OleObject() = default;
  explicit OleObject(Handle h) : h_(h) {}
  OleObject(const OleObject&) = delete;
  OleObject& operator=(const OleObject&) = delete;
  OleObject(OleObject&& o) noexcept : h_(o.h_) { o.h_ = 0; }
  OleObject& operator=(OleObject&& o) noexcept {
    if (this != &o) {
      reset();
      h_ = o.h_;
      o.h_ = 0;
    }
    return *this;
  }
  ~OleObject() { reset(); }
  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != 0; }
  void reset() {
    if (h_) ole().Release(h_);
    h_ = 0;
  }

 private:
  Handle h_ = 0;
};

}  // namespace plat
