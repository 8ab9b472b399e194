#include "platform/sim/sim_automation.h"

#include <cctype>
#include <cstdint>

namespace sim {

namespace {
std::string Fold(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

constexpr long kTypeMismatch = static_cast<long>(0x80020005u);
constexpr long kOverflow = static_cast<long>(0x8002000Au);
}  // namespace

SimObject& SimObject::Get(const std::string& name, Getter getter) {
  getters_[Fold(name)] = std::move(getter);
  return *this;
}

SimObject& SimObject::Text(const std::string& name, std::string text) {
  return Get(name, [text] { return OleValue::Text(text); });
}

SimObject& SimObject::Call(const std::string& name, Method method) {
  methods_[Fold(name)] = std::move(method);
  return *this;
}

SimObject& SimObject::Call(const std::string& name) {
  return Call(name, [](const std::vector<OleValue>&) { return OleValue(); });
}

void SimAutomation::Register(const std::string& progId, Factory factory) {
  classes_[Fold(progId)] = {progId, std::move(factory)};
}

void SimAutomation::Unregister(const std::string& progId) { classes_.erase(Fold(progId)); }

Handle SimAutomation::NewObject(const std::string& kind, SimObject object) {
  Handle h = next_;
  next_ += 4;
  objects_.emplace(h, Live{kind, std::move(object)});
  return h;
}

int SimAutomation::Created(const std::string& progId) const {
  auto it = created_.find(Fold(progId));
  return it == created_.end() ? 0 : it->second;
}

int SimAutomation::CreateAttempts(const std::string& progId) const {
  auto it = attempts_.find(Fold(progId));
  return it == attempts_.end() ? 0 : it->second;
}

int SimAutomation::Count(const std::string& logLine) const {
  int n = 0;
  for (const auto& l : log_) n += l == logLine;
  return n;
}

long SimAutomation::CoInitialize() {
  // S_OK the first time on the thread, S_FALSE afterwards.
  return coInitCalls_++ == 0 ? 0 : 1;
}

Handle SimAutomation::CreateOleObject(const std::string& progId) {
  const std::string key = Fold(progId);
  ++attempts_[key];
  auto it = classes_.find(key);
  if (it == classes_.end()) {
    log_.push_back("create " + progId + " failed");
    throw EAppError(kInvalidClassString);
  }
  SimObject object;
  try {
    object = it->second.second();
  } catch (...) {
    log_.push_back("create " + progId + " failed");
    throw;
  }
  ++created_[key];
  log_.push_back("create " + it->second.first);
  return NewObject(it->second.first, std::move(object));
}

SimAutomation::Live& SimAutomation::Find(Handle object, const std::string& what) {
  auto it = objects_.find(object);
  // A released or never created object: the real thing would crash; the
  // simulation fails the call loudly instead.
  if (it == objects_.end()) throw EAppError("call on a released object: " + what);
  return it->second;
}

OleValue SimAutomation::GetProperty(Handle object, const std::string& name) {
  Live& live = Find(object, name);
  log_.push_back("get " + live.kind + "." + name);
  auto it = live.object.getters_.find(Fold(name));
  if (it == live.object.getters_.end()) throw EAppError(kUnknownName);
  return it->second();
}

OleValue SimAutomation::CallMethod(Handle object, const std::string& name,
                                   const std::vector<OleValue>& args) {
  Live& live = Find(object, name);
  log_.push_back("call " + live.kind + "." + name);
  auto it = live.object.methods_.find(Fold(name));
  if (it == live.object.methods_.end()) throw EAppError(kUnknownName);
  // A copy: the handler may release this very object.
  SimObject::Method method = it->second;
  return method(args);
}

void SimAutomation::Release(Handle object) {
  auto it = objects_.find(object);
  if (it == objects_.end()) {
    ++badReleases_;
    log_.push_back("release of a dead object");
    return;
  }
  log_.push_back("release " + it->second.kind);
  objects_.erase(it);
}

long SimAutomation::VarI4FromStr(const std::string& text, std::int32_t& value) {
  return ParseI4(text, value);
}

long ParseI4(const std::string& text, std::int32_t& value) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  std::size_t b = 0, e = text.size();
  while (b < e && blank(text[b])) ++b;
  while (e > b && blank(text[e - 1])) --e;
  std::size_t i = b;
  bool negative = false;
  if (i < e && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t whole = 0;
  bool digits = false, big = false;
  for (; i < e && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    digits = true;
    whole = whole * 10 + static_cast<unsigned>(text[i] - '0');
    if (whole > 0xFFFFFFFFull) big = true, whole = 0xFFFFFFFFull;
  }
  // The fraction decides the rounding: above a half rounds up, exactly a
  // half rounds to the even neighbour.
  int firstFraction = -1;
  bool restNonZero = false;
  if (i < e && text[i] == '.') {
    ++i;
    for (; i < e && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
      digits = true;
      int d = text[i] - '0';
      if (firstFraction < 0) firstFraction = d;
      else if (d) restNonZero = true;
    }
  }
  if (!digits || i != e) return kTypeMismatch;
  if (firstFraction > 5 || (firstFraction == 5 && (restNonZero || (whole & 1)))) ++whole;
  const std::uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
  if (big || whole > limit) return kOverflow;
  value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(whole))
                   : static_cast<std::int32_t>(whole);
  return 0;
}

}  // namespace sim
