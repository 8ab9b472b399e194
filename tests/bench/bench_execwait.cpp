// What waiting for an installer costs the waiting program.
//
//   bench_execwait <installer.exe>
//
// The installer is expected to run for a few seconds (the stand-in with a
// sleep). For each way of waiting it prints the CPU time the waiting thread
// used, as a share of one core, and how long messages posted to one of its
// windows during the wait took to be dispatched:
//   ExecAndWait          sleeps on the process and the queue together
//   10 ms polling        WaitForSingleObject(10 ms) + PeekMessage loop
//   plain wait           WaitForSingleObject(INFINITE), queue drained after
#include "platform/win32/win.h"

#include <algorithm>
#include <functional>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "common/unOther.h"
#include "platform/win32/win32_system.h"

using namespace plat;

namespace {

constexpr UINT kStamp = WM_APP + 1;
LARGE_INTEGER g_freq;
std::vector<double> g_latencies;  // ms

double NowMs() {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(g_freq.QuadPart);
}

LRESULT CALLBACK StampProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kStamp) {
    const double sent = static_cast<double>(lp) / 1000.0;  // microseconds in lParam
    g_latencies.push_back(NowMs() - sent);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

double ThreadCpuMs() {
  FILETIME c, e, k, u;
  GetThreadTimes(GetCurrentThread(), &c, &e, &k, &u);
  auto v = [](FILETIME f) {
    return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) |
                               f.dwLowDateTime) / 10000.0;
  };
  return v(k) + v(u);
}

void PumpAll() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

bool StartInstaller(const std::wstring& file, HANDLE* process) {
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof sei;
  sei.fMask = 0x740;
  sei.lpFile = file.c_str();
  sei.lpParameters = L"";
  sei.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&sei)) return false;
  *process = sei.hProcess;
  WaitForInputIdle(sei.hProcess, INFINITE);
  return true;
}

void WaitPolling(const std::wstring& file) {
  HANDLE p;
  if (!StartInstaller(file, &p)) return;
  while (WaitForSingleObject(p, 10) == WAIT_TIMEOUT) PumpAll();
  CloseHandle(p);
}

void WaitPlain(const std::wstring& file) {
  HANDLE p;
  if (!StartInstaller(file, &p)) return;
  WaitForSingleObject(p, INFINITE);
  CloseHandle(p);
}

void Run(const char* name, HWND target, const std::function<void()>& wait) {
  g_latencies.clear();
  std::atomic<bool> stop{false};
  // Another thread posts a stamped message every 50 ms, as input or a
  // repaint would arrive.
  std::thread poster([&] {
    while (!stop) {
      Sleep(50);
      PostMessageW(target, kStamp, 0, static_cast<LPARAM>(NowMs() * 1000.0));
    }
  });
  const double cpu0 = ThreadCpuMs();
  const double t0 = NowMs();
  wait();
  const double wall = NowMs() - t0;
  const double cpu = ThreadCpuMs() - cpu0;
  stop = true;
  poster.join();
  const std::size_t during = g_latencies.size();
  PumpAll();  // what a plain wait left in the queue
  std::vector<double> l = g_latencies;
  std::sort(l.begin(), l.end());
  const double median = l.empty() ? 0 : l[l.size() / 2];
  const double p95 = l.empty() ? 0 : l[std::min(l.size() - 1, l.size() * 95 / 100)];
  const double worst = l.empty() ? 0 : l.back();
  std::printf("%-14s wall %6.0f ms  cpu %6.1f ms  (%5.2f%% of a core)  dispatched during wait %3zu/%3zu"
              "  latency median %7.2f ms  p95 %7.2f ms  max %7.1f ms\n",
              name, wall, cpu, 100.0 * cpu / wall, during, l.size(), median, p95, worst);
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: bench_execwait <installer.exe>\n", stderr);
    return 2;
  }
  static Win32System system;
  SetSystem(&system);
  QueryPerformanceFrequency(&g_freq);
  const std::wstring file = argv[1];

  WNDCLASSW wc{};
  wc.lpfnWndProc = StampProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"BenchStamp";
  RegisterClassW(&wc);
  HWND target = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);

  Run("ExecAndWait", target, [&] { ExecAndWait(Narrow(file), "", SW_SHOWNORMAL); });
  Run("10 ms polling", target, [&] { WaitPolling(file); });
  Run("plain wait", target, [&] { WaitPlain(file); });
  DestroyWindow(target);
  return 0;
}
