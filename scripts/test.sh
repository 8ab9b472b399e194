#!/usr/bin/env bash
# Runs every test on a fresh Debian 12 machine: installs what is missing,
# builds the three configurations, runs the unit tests, checks the 32-bit
# release executables and runs the end-to-end tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

step() { printf '\n=== %s\n' "$*"; }

step "packages"
bash scripts/install-deps.sh

for preset in native win32 win64; do
  step "build $preset"
  cmake --preset "$preset" -DWARNINGS_AS_ERRORS=ON >/dev/null
  cmake --build --preset "$preset"
done

step "unit tests (native, simulated machine)"
ctest --preset native

step "fuzzing the branding reader (a short fixed run)"
bash tests/fuzz/run-fuzz.sh 20000

step "32-bit release executables"
bash tests/pe/check-pe.sh build/win32 Varnock:gui:manifest standin:gui Dellwin:gui:manifest

step "end-to-end tests (x86_64 build under Wine)"
bash tests/e2e/standin-smoke.sh build/win64
bash tests/e2e/run.sh build/win64
bash tests/e2e/checks.sh build/win64
bash tests/e2e/excel.sh build/win64

step "all tests passed"
