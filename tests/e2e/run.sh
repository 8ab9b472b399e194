#!/usr/bin/env bash
# End-to-end tests under Wine: the x86_64 build of the real code against
# Wine's registry and real processes.
#   tests/e2e/run.sh <build/win64>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
# shellcheck source=wine-lib.sh
. "$here/wine-lib.sh"

fails=0
pass() { echo "PASS $*"; }
fail() { echo "FAIL $*"; fails=$((fails + 1)); }

wine_start
C=$(wine_cdrive)
T=$C/tests
mkdir -p "$T/bin"
cp "$build/e2e_helpers.exe" "$T/"
cp "$build/standin.exe" "$T/bin/Quenmar.exe"
printf 'record=C:\\tests\\record.txt\r\nsleep=1000\r\nreg=HKLM\\SoftWare\\Tenvox|ALLSetup|1\r\ndone=C:\\tests\\done.txt\r\n' \
  >"$T/bin/Quenmar.cfg"

echo "--- registry helpers on Wine's registry"
if w 'C:\tests\e2e_helpers.exe' reg; then pass "registry checks"; else fail "registry checks"; fi

echo "--- ExecAndWait on a real process"
if w 'C:\tests\e2e_helpers.exe' exec 'C:\tests\bin\Quenmar.exe' 'C:\tests\done.txt'; then
  pass "ExecAndWait checks"
else
  fail "ExecAndWait checks"
fi
expected='"C:\tests\bin\Quenmar.exe" COM "C:\Program Files\x y" 汉字'
got=$(tr -d '\r' <"$T/record.txt" 2>/dev/null || true)
if [ "$got" = "$expected" ]; then
  pass "installer got the exact command line"
else
  fail "installer command line: got [$got], want [$expected]"
fi
if wine_reg_query 'HKLM\SoftWare\Tenvox' ALLSetup; then
  pass "installer's value is in Wine's registry"
else
  fail "installer's value missing from Wine's registry"
fi

echo "e2e: $fails failed"
exit $((fails > 0))
