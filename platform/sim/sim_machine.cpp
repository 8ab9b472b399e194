#include "platform/sim/sim_machine.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "common/utf.h"

namespace sim {

namespace w = plat::w;

namespace {

// Registry and file names compare without letter case (ASCII folding; the
// names this system uses are ASCII).
std::string Fold(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

std::string NormalizeFilePath(const std::string& p) {
  std::string out;
  for (char c : p) {
    char d = c == '/' ? '\\' : c;
    if (d == '\\' && !out.empty() && out.back() == '\\') continue;
    out += d;
  }
  return Fold(out);
}

bool IsAbsolute(const std::string& p) {
  return (p.size() >= 2 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/'));
}

}  // namespace

SimMachine::SimMachine()
    : hkcr_(std::make_unique<Key>()), hkcu_(std::make_unique<Key>()),
      hklm_(std::make_unique<Key>()) {
  hkcr_->name = "HKEY_CLASSES_ROOT";
  hkcu_->name = "HKEY_CURRENT_USER";
  hklm_->name = "HKEY_LOCAL_MACHINE";
}

SimMachine::~SimMachine() = default;

// ---------------------------------------------------------------- clock

void SimMachine::Schedule(std::uint64_t time, std::function<void()> fire) {
  timeline_.push_back({time, seq_++, std::move(fire)});
}

std::optional<std::uint64_t> SimMachine::NextEventTime() const {
  std::optional<std::uint64_t> next;
  for (const Timed& t : timeline_)
    if (!next || t.time < *next) next = t.time;
  return next;
}

void SimMachine::FireDue() {
  for (;;) {
    auto it = std::min_element(timeline_.begin(), timeline_.end(), [](const Timed& a, const Timed& b) {
      return a.time != b.time ? a.time < b.time : a.seq < b.seq;
    });
    if (it == timeline_.end() || it->time > now_) return;
    std::function<void()> fire = std::move(it->fire);
    timeline_.erase(it);
    fire();
  }
}

void SimMachine::Advance(std::uint64_t ms) {
  const std::uint64_t target = now_ + ms;
  for (;;) {
    std::optional<std::uint64_t> next = NextEventTime();
    if (!next || *next > target) break;
    now_ = std::max(now_, *next);
    FireDue();
  }
  now_ = target;
}

// ---------------------------------------------------------------- registry

SimMachine::Key* SimMachine::Root(Handle root) const {
  if (root == w::HKCR) return hkcr_.get();
  if (root == w::HKCU) return hkcu_.get();
  if (root == w::HKLM) return hklm_.get();
  auto it = keyHandles_.find(root);
  return it == keyHandles_.end() ? nullptr : it->second.key;
}

long SimMachine::Walk(Handle root, const std::string& path, bool create, Key** out,
                      std::uint32_t* denied) const {
  Key* key = Root(root);
  if (!key) return w::ErrInvalidHandle;
  if (!path.empty() && path[0] == '\\') return w::ErrBadPathname;
  std::uint32_t deny = key->denied;
  for (const std::string& part : SplitKeyPath(path)) {
    auto it = key->subKeys.find(Fold(part));
    if (it == key->subKeys.end()) {
      if (!create) return w::ErrFileNotFound;
      if (deny & w::KeyCreateSubKey) return w::ErrAccessDenied;
      auto child = std::make_unique<Key>();
      child->name = part;
      it = key->subKeys.emplace(Fold(part), std::move(child)).first;
    }
    key = it->second.get();
    deny |= key->denied;
  }
  *out = key;
  *denied = deny;
  return w::ErrSuccess;
}

SimMachine::Key* SimMachine::FindKey(Handle root, const std::string& path) const {
  Key* key = nullptr;
  std::uint32_t denied = 0;
  return Walk(root, path, false, &key, &denied) == w::ErrSuccess ? key : nullptr;
}

SimMachine::Key* SimMachine::MakeKey(Handle root, const std::string& path) {
  Key* key = Root(root);
  for (const std::string& part : SplitKeyPath(path)) {
    auto& slot = key->subKeys[Fold(part)];
    if (!slot) {
      slot = std::make_unique<Key>();
      slot->name = part;
    }
    key = slot.get();
  }
  return key;
}

void SimMachine::SetValue(Handle root, const std::string& key, const std::string& name,
                          std::uint32_t type, std::vector<std::uint8_t> data) {
  MakeKey(root, key)->values[Fold(name)] = RegValue{name, type, std::move(data)};
}

void SimMachine::SetString(Handle root, const std::string& key, const std::string& name,
                           const std::string& text, std::uint32_t type) {
  SetValue(root, key, name, type, utf::ToRegSz(text));
}

void SimMachine::SetDword(Handle root, const std::string& key, const std::string& name,
                          std::uint32_t v) {
  SetValue(root, key, name, w::RegDword,
           {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)});
}

void SimMachine::CreateKey(Handle root, const std::string& key) { MakeKey(root, key); }

bool SimMachine::KeyExists(Handle root, const std::string& key) const {
  return FindKey(root, key) != nullptr;
}

std::optional<RegValue> SimMachine::GetValue(Handle root, const std::string& key,
                                             const std::string& name) const {
  const Key* k = FindKey(root, key);
  if (!k) return std::nullopt;
  auto it = k->values.find(Fold(name));
  if (it == k->values.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> SimMachine::GetString(Handle root, const std::string& key,
                                                 const std::string& name) const {
  auto v = GetValue(root, key, name);
  if (!v || (v->type != w::RegSz && v->type != w::RegExpandSz)) return std::nullopt;
  return utf::FromRegBytes(v->data.data(), v->data.size());
}

void SimMachine::DenyAccess(Handle root, const std::string& key, std::uint32_t rights) {
  MakeKey(root, key)->denied |= rights;
}

long SimMachine::OpenCommon(Handle root, const std::string& subKey, std::uint32_t access,
                            bool create, Handle* result) {
  *result = 0;
  Key* key = nullptr;
  std::uint32_t denied = 0;
  // Check the right to open an existing key before creating anything.
  long rc = Walk(root, subKey, false, &key, &denied);
  if (rc == w::ErrFileNotFound && create) rc = Walk(root, subKey, true, &key, &denied);
  if (rc != w::ErrSuccess) return rc;
  // Generic and standard rights are not modelled beyond the key-specific bits.
  if (denied & access & 0xFFFF) return w::ErrAccessDenied;
  Handle h = nextHandle_;
  nextHandle_ += 4;
  keyHandles_[h] = KeyHandle{key, access};
  *result = h;
  return w::ErrSuccess;
}

long SimMachine::RegCreateKeyEx(Handle root, const std::string& subKey, std::uint32_t access,
                                Handle* result) {
  return OpenCommon(root, subKey, access, true, result);
}

long SimMachine::RegOpenKeyEx(Handle root, const std::string& subKey, std::uint32_t access,
                              Handle* result) {
  return OpenCommon(root, subKey, access, false, result);
}

long SimMachine::RegQueryValueEx(Handle key, const std::string& name, std::uint32_t* type,
                                 std::uint8_t* data, std::uint32_t* size) {
  auto it = keyHandles_.find(key);
  if (it == keyHandles_.end()) return w::ErrInvalidHandle;
  if (!(it->second.access & w::KeyQueryValue)) return w::ErrAccessDenied;
  auto v = it->second.key->values.find(Fold(name));
  if (v == it->second.key->values.end()) return w::ErrFileNotFound;
  const auto len = static_cast<std::uint32_t>(v->second.data.size());
  if (type) *type = v->second.type;
  if (!data) {
    if (size) *size = len;
    return w::ErrSuccess;
  }
  if (!size) return w::ErrInvalidParameter;
  if (*size < len) {
    *size = len;
    return w::ErrMoreData;
  }
  std::copy(v->second.data.begin(), v->second.data.end(), data);
  *size = len;
  return w::ErrSuccess;
}

long SimMachine::RegSetValueEx(Handle key, const std::string& name, std::uint32_t type,
                               const std::uint8_t* data, std::uint32_t size) {
  auto it = keyHandles_.find(key);
  if (it == keyHandles_.end()) return w::ErrInvalidHandle;
  if (!(it->second.access & w::KeySetValue)) return w::ErrAccessDenied;
  RegValue& v = it->second.key->values[Fold(name)];
  v.name = name;
  v.type = type;
  v.data.assign(data, data + size);
  ++regWrites_;
  return w::ErrSuccess;
}

long SimMachine::RegCloseKey(Handle key) {
  if (key == w::HKCR || key == w::HKCU || key == w::HKLM) return w::ErrSuccess;
  return keyHandles_.erase(key) ? w::ErrSuccess : w::ErrInvalidHandle;
}

// ---------------------------------------------------------------- programs

void SimMachine::AddProgram(const std::string& path, Program program) {
  programs_[NormalizeFilePath(path)] = {path, std::move(program)};
}

void SimMachine::SetEnvironment(const std::string& name, const std::string& value) {
  env_[Fold(name)] = value;
}

std::string SimMachine::ExpandEnv(const std::string& s) const {
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t end;
    if (s[i] == '%' && (end = s.find('%', i + 1)) != std::string::npos) {
      auto it = env_.find(Fold(s.substr(i + 1, end - i - 1)));
      if (it != env_.end()) {
        out += it->second;
        i = end + 1;
        continue;
      }
    }
    out += s[i++];
  }
  return out;
}

std::optional<std::string> SimMachine::ResolveProgram(const std::string& file) const {
  auto it = programs_.find(NormalizeFilePath(Absolute(file)));
  if (it == programs_.end()) return std::nullopt;
  return it->first;
}

bool SimMachine::ShellExecuteEx(ShellExecInfo& info) {
  info.hProcess = 0;
  std::string file = info.file;
  if (info.fMask & w::SeeMaskDoEnvSubst) file = ExpandEnv(file);
  std::optional<std::string> key = ResolveProgram(file);
  if (!key) {
    // The shell's own error box would appear here without SEE_MASK_FLAG_NO_UI.
    if (!(info.fMask & w::SeeMaskFlagNoUi))
      boxes_.push_back({"Path not found.", "Error", w::MbIconHand, w::IdOk});
    info.hInstApp = w::ErrFileNotFound;
    lastError_ = w::ErrFileNotFound;
    return false;
  }
  const Program& program = programs_.at(*key).second;
  info.hInstApp = 42;
  Launch launch;
  launch.info = info;
  launch.path = programs_.at(*key).first;
  launch.started = now_;
  launch.running = !program.handsOver;
  launches_.push_back(launch);
  const std::size_t index = launches_.size() - 1;
  if (program.onStart) program.onStart(*this, launches_[index]);
  if (program.handsOver) {
    if (program.onExit) program.onExit(*this, launches_[index]);
    launches_[index].ended = now_;
  } else {
    Handle h = nextHandle_;
    nextHandle_ += 4;
    processHandles_[h] = Process{index};
    if (info.fMask & w::SeeMaskNoCloseProcess) info.hProcess = h;
    Schedule(now_ + program.runMs, [this, index] { EndProcess(index); });
  }
  launches_[index].info.hProcess = info.hProcess;
  launches_[index].info.hInstApp = info.hInstApp;
  lastError_ = 0;
  return true;
}

void SimMachine::EndProcess(std::size_t index) {
  Launch& l = launches_[index];
  l.running = false;
  l.ended = now_;
  for (auto& [h, p] : processHandles_)
    if (p.launch == index) p.ended = true;
  const Program& program = programs_.at(NormalizeFilePath(l.path)).second;
  if (program.onExit) program.onExit(*this, launches_[index]);
}

std::uint32_t SimMachine::WaitForInputIdle(Handle process, std::uint32_t) {
  auto it = processHandles_.find(process);
  if (it == processHandles_.end()) {
    lastError_ = w::ErrInvalidHandle;
    return w::WaitFailed;
  }
  const Launch& l = launches_[it->second.launch];
  if (programs_.at(NormalizeFilePath(l.path)).second.console) {
    lastError_ = 0;
    return w::WaitFailed;
  }
  return 0;
}

std::uint32_t SimMachine::WaitForSingleObject(Handle object, std::uint32_t milliseconds) {
  auto it = processHandles_.find(object);
  if (it == processHandles_.end()) {
    lastError_ = w::ErrInvalidHandle;
    return w::WaitFailed;
  }
  const std::size_t index = it->second.launch;
  const std::uint64_t deadline =
      milliseconds == w::Infinite ? UINT64_MAX : now_ + milliseconds;
  while (!processHandles_.at(object).ended) {
    std::optional<std::uint64_t> next = NextEventTime();
    if (!next || *next > deadline) {
      if (deadline == UINT64_MAX)
        throw std::logic_error("simulated wait never ends: " + launches_[index].path);
      now_ = deadline;
      return w::WaitTimeout;
    }
    Advance(*next - now_);
  }
  return w::WaitObject0;
}

std::uint32_t SimMachine::MsgWaitForObject(Handle object, std::uint32_t milliseconds,
                                           std::uint32_t wakeMask, std::uint32_t) {
  auto it = processHandles_.find(object);
  if (it == processHandles_.end()) {
    lastError_ = w::ErrInvalidHandle;
    return w::WaitFailed;
  }
  const std::uint64_t deadline =
      milliseconds == w::Infinite ? UINT64_MAX : now_ + milliseconds;
  const bool wakeOnInput = wakeMask != 0;
  for (;;) {
    if (processHandles_.at(object).ended) return w::WaitObject0;
    if (wakeOnInput && (!queue_.empty() || quitPosted_)) return w::WaitObject0 + 1;
    std::optional<std::uint64_t> next = NextEventTime();
    if (!next || *next > deadline) {
      if (deadline == UINT64_MAX)
        throw std::logic_error("simulated wait never ends: " +
                               launches_[processHandles_.at(object).launch].path);
      now_ = deadline;
      return w::WaitTimeout;
    }
    Advance(*next - now_);
  }
}

bool SimMachine::CloseHandle(Handle object) {
  if (processHandles_.erase(object)) return true;
  lastError_ = w::ErrInvalidHandle;
  return false;
}

// ---------------------------------------------------------------- files

namespace {
std::string FolderKey(const std::string& path) {
  std::string p = NormalizeFilePath(path);
  while (p.size() > 3 && p.back() == '\\') p.pop_back();
  return p;
}
}  // namespace

void SimMachine::AddFile(const std::string& path, std::string bytes) {
  const std::string key = FolderKey(path);
  files_[key] = std::move(bytes);
  const auto cut = key.rfind('\\');
  if (cut != std::string::npos) AddFolder(key.substr(0, cut));
}

void SimMachine::AddFolder(const std::string& path) {
  std::string key = FolderKey(path);
  while (!key.empty()) {
    if (!folders_.count(key)) folders_[key] = w::FileAttributeDirectory;
    const auto cut = key.rfind('\\');
    if (cut == std::string::npos || cut < 2) break;
    key = key.substr(0, cut);
  }
}

void SimMachine::SetFolderAttributes(const std::string& path, std::uint32_t attributes) {
  AddFolder(path);
  folders_[FolderKey(path)] = attributes | w::FileAttributeDirectory;
}

namespace {
// Wildcard match as FindFirstFileW does it, without letter case: * and ?.
bool Matches(const char* pat, const char* s) {
  if (!*pat) return !*s;
  if (*pat == '*') return Matches(pat + 1, s) || (*s && Matches(pat, s + 1));
  if (!*s) return false;
  const char a = static_cast<char>(std::tolower(static_cast<unsigned char>(*pat)));
  const char b = static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
  return (*pat == '?' || a == b) && Matches(pat + 1, s + 1);
}
}  // namespace

bool SimMachine::ListFolder(const std::string& pattern, std::vector<plat::FileEntry>& entries) {
  entries.clear();
  const std::string key = NormalizeFilePath(Absolute(pattern));
  const auto cut = key.rfind('\\');
  const std::string dir = cut == std::string::npos ? std::string() : key.substr(0, cut);
  const std::string mask = cut == std::string::npos ? key : key.substr(cut + 1);
  auto consider = [&](const std::string& path, std::uint32_t attributes) {
    const auto c = path.rfind('\\');
    if (c == std::string::npos || path.substr(0, c) != dir) return;
    const std::string name = path.substr(c + 1);
    if (Matches(mask.c_str(), name.c_str())) entries.push_back({name, attributes});
  };
  for (const auto& [path, attributes] : folders_) consider(path, attributes);
  for (const auto& [path, bytes] : files_) consider(path, w::FileAttributeArchive);
  return !entries.empty();
}

bool SimMachine::GetVersionEx(plat::OsVersion& version) {
  version = osVersion_;
  return true;
}

std::uintptr_t SimMachine::ShellExecute(Handle hwnd, const std::string& verb,
                                        const std::string& file, const std::string& parameters,
                                        const std::string& directory, int showCmd) {
  ShellExecInfo info;
  info.cbSize = 0;  // not through ShellExecuteEx
  info.hwnd = hwnd;
  info.verb = verb.empty() ? std::nullopt : std::optional<std::string>(verb);
  info.file = file;
  info.parameters = parameters;
  info.directory = directory.empty() ? std::nullopt : std::optional<std::string>(directory);
  info.nShow = showCmd;
  info.fMask = w::SeeMaskFlagNoUi;  // ShellExecuteW shows no box of its own for a missing file here
  if (!ShellExecuteEx(info)) return info.hInstApp;
  // The started program runs on; nobody waits for it.
  return info.hInstApp;
}

std::string SimMachine::Absolute(const std::string& path) const {
  if (path.empty() || IsAbsolute(path)) return path;
  std::string dir = currentDir_;
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  return dir + path;
}

bool SimMachine::FileExists(const std::string& path) {
  const std::string key = FolderKey(Absolute(path));
  return files_.count(key) || programs_.count(key);
}

bool SimMachine::DirectoryExists(const std::string& path) {
  return folders_.count(FolderKey(Absolute(path))) > 0;
}

bool SimMachine::ReadWholeFile(const std::string& path, std::string& bytes) {
  auto it = files_.find(FolderKey(Absolute(path)));
  if (it == files_.end()) {
    bytes.clear();
    return false;
  }
  bytes = it->second;
  return true;
}

// ---------------------------------------------------------------- messages

bool SimMachine::WaitMessage() {
  while (queue_.empty() && !quitPosted_) {
    std::optional<std::uint64_t> next = NextEventTime();
    if (!next) throw std::logic_error("simulated WaitMessage: nothing will ever arrive");
    Advance(*next - now_);
  }
  return true;
}

void SimMachine::PostAt(std::uint64_t time, const Msg& msg) {
  Schedule(time, [this, msg] { queue_.push_back(msg); });
}

void SimMachine::PostQuitAt(std::uint64_t time, int exitCode) {
  Schedule(time, [this, exitCode] { PostQuitMessage(exitCode); });
}

bool SimMachine::PeekMessage(Msg& msg, Handle hwnd, std::uint32_t filterMin,
                             std::uint32_t filterMax, std::uint32_t removeFlags) {
  auto matches = [&](const Msg& m) {
    if (hwnd && m.hwnd != hwnd) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return m.message >= filterMin && m.message <= filterMax;
  };
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (!matches(*it)) continue;
    msg = *it;
    msg.time = static_cast<std::uint32_t>(now_);
    if (removeFlags & w::PmRemove) queue_.erase(it);
    return true;
  }
  // WM_QUIT comes only once the queue holds nothing else that matches.
  if (quitPosted_ && (filterMin == 0 && filterMax == 0)) {
    msg = Msg{};
    msg.message = w::WmQuit;
    msg.wParam = static_cast<std::uintptr_t>(quitCode_);
    msg.time = static_cast<std::uint32_t>(now_);
    if (removeFlags & w::PmRemove) quitPosted_ = false;
    return true;
  }
  return false;
}

bool SimMachine::TranslateMessage(const Msg&) { return false; }

std::intptr_t SimMachine::DispatchMessage(const Msg& msg) {
  dispatched_.push_back({now_, msg});
  return onDispatch ? onDispatch(msg) : 0;
}

bool SimMachine::PostMessage(Handle hwnd, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) {
  Msg m;
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  queue_.push_back(m);
  return true;
}

void SimMachine::PostQuitMessage(int exitCode) {
  quitPosted_ = true;
  quitCode_ = exitCode;
}

// ---------------------------------------------------------------- text

std::string SimMachine::AnsiToUtf8(const std::string& bytes, std::uint32_t codePage) {
  const std::uint32_t cp = codePage == 0 ? ansiCodePage_ : codePage;
  if (cp == 65001) return utf::FromUtf16(utf::ToUtf16(bytes));
  // Windows-1252's 0x80-0x9F row; 0 marks the five unassigned bytes.
  static const char16_t k1252[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::u16string w;
  for (unsigned char c : bytes) {
    char16_t u = 0xFFFD;
    if (c < 0x80) u = c;
    else if (cp == 28591) u = c;
    else if (cp == 1252) u = c >= 0xA0 ? c : (k1252[c - 0x80] ? k1252[c - 0x80] : c);
    w += u;
  }
  return utf::FromUtf16(w);
}

// ---------------------------------------------------------------- message boxes

void SimMachine::AnswerBoxes(std::initializer_list<int> results) {
  boxAnswers_.insert(boxAnswers_.end(), results.begin(), results.end());
}

int SimMachine::MessageBox(const std::string& text, const std::string& caption,
                           std::uint32_t style) {
  BoxShown box{text, caption, style, 0};
  if (onBox) {
    box.result = onBox(box);
  } else if (!boxAnswers_.empty()) {
    box.result = boxAnswers_.front();
    boxAnswers_.pop_front();
  } else {
    ++unanswered_;  // a box the test did not expect; it could not be shown
  }
  boxes_.push_back(box);
  return box.result;
}

}  // namespace sim
