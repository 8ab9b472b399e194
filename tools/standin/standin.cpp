// Stand-in for a product installer, for end-to-end tests under Wine.
// A GUI-subsystem program without a window that records how it was started,
// optionally sleeps, writes registry values, and exits with a chosen code.
//
// Configuration: <exe path without extension>.cfg (UTF-8, key=value, '#' comments),
// then environment variables, which override the file:
//   record=<file>     STANDIN_RECORD    append GetCommandLineW() as UTF-8 + "\r\n" at start
//   sleep=<ms>        STANDIN_SLEEP_MS  sleep before the registry writes
//   reg=<HKLM|HKCU>\<key>|<name>|<text>  (repeatable; STANDIN_REG adds one more) REG_SZ
//   exitcode=<n>      STANDIN_EXITCODE  process exit code (default 0)
//   done=<file>       STANDIN_DONE      append "done\r\n" when finished
// Bad lines are ignored; nothing ever shows a dialog.
//
// Build: x86_64-w64-mingw32-g++-posix -O2 -s -static -municode -mwindows standin.cpp
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Config {
    std::wstring record, done;
    DWORD sleepMs = 0;
    DWORD exitCode = 0;
    std::vector<std::wstring> regs;
};

std::wstring trim(const std::wstring& s) {
    size_t b = s.find_first_not_of(L" \t\r\n"), e = s.find_last_not_of(L" \t\r\n");
    return b == std::wstring::npos ? std::wstring() : s.substr(b, e - b + 1);
}

// Whole-string decimal number (a leading '-' allowed, e.g. exit codes); false if malformed.
bool parseNumber(const std::wstring& s, DWORD& out) {
    if (s.empty()) return false;
    wchar_t* end = nullptr;
    long long v = wcstoll(s.c_str(), &end, 10);
    if (*end != L'\0' || v < -2147483648LL || v > 4294967295LL) return false;
    out = static_cast<DWORD>(v);
    return true;
}

void apply(Config& c, const std::wstring& key, const std::wstring& value) {
    if (key == L"record") c.record = value;
    else if (key == L"done") c.done = value;
    else if (key == L"sleep") parseNumber(value, c.sleepMs);
    else if (key == L"exitcode") parseNumber(value, c.exitCode);
    else if (key == L"reg") c.regs.push_back(value);
}

std::wstring fromUtf8(const char* p, int n) {
    int len = MultiByteToWideChar(CP_UTF8, 0, p, n, nullptr, 0);
    std::wstring w(len > 0 ? len : 0, L'\0');
    if (len > 0) MultiByteToWideChar(CP_UTF8, 0, p, n, &w[0], len);
    return w;
}

std::string toUtf8(const wchar_t* p) {
    int len = WideCharToMultiByte(CP_UTF8, 0, p, -1, nullptr, 0, nullptr, nullptr);
    std::string s(len > 1 ? len - 1 : 0, '\0');
    if (len > 1) WideCharToMultiByte(CP_UTF8, 0, p, -1, &s[0], len, nullptr, nullptr);
    return s;
}

void readConfigFile(Config& c) {
    std::vector<wchar_t> exe(32768);
    DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (n == 0 || n >= exe.size()) return;
    std::wstring path(exe.data(), n);
    size_t dot = path.find_last_of(L'.'), slash = path.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) path.resize(dot);
    path += L".cfg";

    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
    CloseHandle(h);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);

    std::wstring text = fromUtf8(bytes.data(), static_cast<int>(bytes.size()));
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t nl = text.find(L'\n', pos);
        if (nl == std::wstring::npos) nl = text.size();
        std::wstring line = trim(text.substr(pos, nl - pos));
        pos = nl + 1;
        size_t eq = line.find(L'=');
        if (line.empty() || line[0] == L'#' || eq == std::wstring::npos) continue;
        apply(c, trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
}

void readEnvironment(Config& c) {
    static const wchar_t* const vars[][2] = {
        {L"STANDIN_RECORD", L"record"}, {L"STANDIN_SLEEP_MS", L"sleep"},
        {L"STANDIN_EXITCODE", L"exitcode"}, {L"STANDIN_DONE", L"done"}, {L"STANDIN_REG", L"reg"}};
    for (const auto& v : vars) {
        wchar_t buf[32768];
        DWORD n = GetEnvironmentVariableW(v[0], buf, 32768);
        if (n > 0 && n < 32768) apply(c, v[1], trim(buf));
    }
}

// One WriteFile on a FILE_APPEND_DATA handle: each line lands whole at the end of the file.
void appendLine(const std::wstring& path, const std::string& line) {
    if (path.empty()) return;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int tries = 0; tries < 100; ++tries) {  // another writer may hold it unshared briefly
        h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
        Sleep(20);
    }
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(h);
}

// "<HKLM|HKCU>\<key path>|<value name>|<text>"; the text may itself contain '|'.
void writeRegistry(const std::wstring& entry) {
    size_t bar1 = entry.find(L'|');
    size_t bar2 = bar1 == std::wstring::npos ? bar1 : entry.find(L'|', bar1 + 1);
    size_t slash = entry.find(L'\\');
    if (bar2 == std::wstring::npos || slash == std::wstring::npos || slash > bar1) return;
    std::wstring root = entry.substr(0, slash);
    HKEY hive = nullptr;
    if (lstrcmpiW(root.c_str(), L"HKLM") == 0 || lstrcmpiW(root.c_str(), L"HKEY_LOCAL_MACHINE") == 0)
        hive = HKEY_LOCAL_MACHINE;
    else if (lstrcmpiW(root.c_str(), L"HKCU") == 0 || lstrcmpiW(root.c_str(), L"HKEY_CURRENT_USER") == 0)
        hive = HKEY_CURRENT_USER;
    else return;
    std::wstring path = entry.substr(slash, bar1 - slash);
    path.erase(0, path.find_first_not_of(L'\\'));  // a leading '\' fails under HKLM
    if (path.empty()) return;
    std::wstring name = entry.substr(bar1 + 1, bar2 - bar1 - 1), text = entry.substr(bar2 + 1);

    HKEY key = nullptr;
    if (RegCreateKeyExW(hive, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

}  // namespace

// Works for `ms` the way an installer with a window does: waiting for input
// in its message loop, so that a parent's WaitForInputIdle returns at once.
void workFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

int wmain(int, wchar_t**) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // message queue: the parent's WaitForInputIdle returns
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

    Config c;
    readConfigFile(c);
    readEnvironment(c);

    appendLine(c.record, toUtf8(GetCommandLineW()) + "\r\n");
    if (c.sleepMs > 0) workFor(c.sleepMs);
    for (const std::wstring& r : c.regs) writeRegistry(r);
    appendLine(c.done, "done\r\n");
    return static_cast<int>(c.exitCode);
}
