// Start-up time, process start to visible window, of two programs measured
// side by side (alternating runs):
//   bench_startup <runs> <exe A> <title A> <exe B> <title B>
// Prints the median and spread of each and the ratio A / B.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Now() {
  static LARGE_INTEGER f = [] {
    LARGE_INTEGER x;
    QueryPerformanceFrequency(&x);
    return x;
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Milliseconds from CreateProcess to the window being visible; -1 on failure.
double Once(const std::wstring& exe, const std::wstring& title) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + exe + L"\"";
  const double t0 = Now();
  if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  HWND h = nullptr;
  double t1 = -1;
  while (Now() - t0 < 20000) {
    h = FindWindowW(nullptr, title.c_str());
    if (h && IsWindowVisible(h)) {
      t1 = Now();
      break;
    }
    Sleep(1);
  }
  if (h) PostMessageW(h, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return t1 < 0 ? -1 : t1 - t0;
}

void Report(const char* name, std::vector<double> v) {
  std::sort(v.begin(), v.end());
  std::printf("%-14s median %7.1f ms   min %7.1f   max %7.1f   (%zu runs)\n", name, v[v.size() / 2],
              v.front(), v.back(), v.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) {
    std::fputs("usage: bench_startup <runs> <exe A> <title A> <exe B> <title B>\n", stderr);
    return 2;
  }
  const int runs = _wtoi(argv[1]);
  std::vector<double> a, b;
  Once(argv[2], argv[3]);  // warm both once: the first start of any program pays for loading
  Once(argv[4], argv[5]);
  for (int i = 0; i < runs; ++i) {
    const double x = Once(argv[2], argv[3]);
    const double y = Once(argv[4], argv[5]);
    if (x < 0 || y < 0) {
      std::fputs("a program did not show its window\n", stderr);
      return 1;
    }
    a.push_back(x);
    b.push_back(y);
  }
  Report("Varnock", a);
  Report("minimal", b);
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::printf("ratio of medians: %.2f\n", a[a.size() / 2] / b[b.size() / 2]);
  return 0;
}
