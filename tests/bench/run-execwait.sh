#!/usr/bin/env bash
# Benchmark, not a test: what waiting for a 5-second installer costs the
# waiting program under Wine, for ExecAndWait beside a 10 ms polling loop
# and a plain WaitForSingleObject.
#   tests/bench/run-execwait.sh [build/win64]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/win64}
[ -f "$build/bench_execwait.exe" ] || { cmake --preset win64 >/dev/null && cmake --build --preset win64 >/dev/null; }
build=$(cd "$build" && pwd)
# shellcheck source=../e2e/wine-lib.sh
. "$root/tests/e2e/wine-lib.sh"
wine_start
C=$(wine_cdrive)
mkdir -p "$C/bench"
cp "$build/bench_execwait.exe" "$C/bench/"
cp "$build/standin.exe" "$C/bench/installer.exe"
printf 'sleep=5000\r\n' >"$C/bench/installer.cfg"
E2E_TIMEOUT=120 w 'C:\bench\bench_execwait.exe' 'C:\bench\installer.exe'
