#!/usr/bin/env bash
# Benchmark, not a test: start-up time of Varnock.exe (process start to
# visible window) under Wine, beside a minimal Win32 program that only
# opens an empty window, built with the same toolchain.
#   tests/bench/run-startup.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
for preset in native win64; do
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" >/dev/null
done
build=$root/build/win64
# shellcheck source=../e2e/wine-lib.sh
. "$root/tests/e2e/wine-lib.sh"
wine_start
C=$(wine_cdrive)
mkdir -p "$C/bench"
cp "$build/Varnock.exe" "$build/minimal_window.exe" "$build/minimal_window_cc6.exe" \
   "$build/bench_startup.exe" "$C/bench/"
mkdir -p "$C/bench/bin"
"$root/build/native/mkbanner" "$C/bench/banner.bmp"
"$root/build/native/brandtool" pack "$C/bench/bin/Lumeno.dat" --title '奥凡报表 6.3' \
  --maker 'Orvane Software Ltd.' --banner "$C/bench/banner.bmp" --addin '奥凡助手' >/dev/null
echo "== beside a minimal window program"
E2E_TIMEOUT=600 w 'C:\bench\bench_startup.exe' "${1:-15}" \
  'C:\bench\Varnock.exe' '奥凡报表 6.3 - 高级版' 'C:\bench\minimal_window.exe' 'Minimal window'
echo "== beside the same minimal program with the launcher's manifest (Common Controls 6)"
E2E_TIMEOUT=600 w 'C:\bench\bench_startup.exe' "${1:-15}" \
  'C:\bench\Varnock.exe' '奥凡报表 6.3 - 高级版' 'C:\bench\minimal_window_cc6.exe' 'Minimal window'
