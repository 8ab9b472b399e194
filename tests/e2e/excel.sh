#!/usr/bin/env bash
# End-to-end tests of the spreadsheet detection and Dellwin under Wine: a
# stand-in Excel/WPS COM server (tests/e2e/com) registered under
# "Excel.Application" and "Ket.Application", stand-in client installers.
#   tests/e2e/excel.sh <build/win64>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
# shellcheck source=wine-lib.sh
. "$here/wine-lib.sh"

e2e_results

wine_start
C=$(wine_cdrive)
T=$C/tests
mkdir -p "$T/client/bin" "$T/beside" "$T/other"
cp "$build/excelsim.dll" "$T/"
cp "$build/Dellwin.exe" "$T/client/"
for n in Harvend_x32 Harvend_x64; do
  cp "$build/standin.exe" "$T/client/bin/$n.exe"
  printf 'record=C:\\tests\\ran.txt\r\nsleep=4000\r\ndone=C:\\tests\\done.txt\r\n' >"$T/client/bin/$n.cfg"
done
cp "$build/standin.exe" "$T/beside/Harvend_x32.exe"
printf 'record=C:\\tests\\ran.txt\r\nsleep=4000\r\ndone=C:\\tests\\done.txt\r\n' >"$T/beside/Harvend_x32.cfg"

# The stand-in server under both ProgIDs, one class each.
for p in 'Excel.Application:A1' 'Ket.Application:A2'; do
  clsid="{B1A9C6E2-1111-4000-8000-0000000000${p#*:}}"
  wine_reg_add "HKCR\\${p%%:*}\\CLSID" "" "$clsid"
  wine_reg_add "HKCR\\CLSID\\$clsid\\InprocServer32" "" 'C:\tests\excelsim.dll'
  wine_reg_add "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
done
S='HKCU\Software\Tenvox\ExcelSim'
OUTLOOK='HKLM\SOFTWARE\Microsoft\Office\16.0\Outlook'

# One run of Dellwin from folder $1 (below C:\tests) on the machine the
# caller set up; then: exit code, which installer ran, the server's log.
dellwin() {
  rm -f "$T/ran.txt" "$T/done.txt" "$T/com.txt"
  wine_reg_add "$S" Log 'C:\tests\com.txt'
  local t0=${EPOCHREALTIME/[.,]/} rc=0
  (cd "$T/$1" && w 'C:\tests\client\Dellwin.exe') || rc=$?
  ms=$(( (${EPOCHREALTIME/[.,]/} - t0) / 1000 ))
  code=$rc
  still=0; [ -e "$T/done.txt" ] || still=1  # the installer was still working when Dellwin ended
  for _ in $(seq 100); do [ -s "$T/ran.txt" ] && break; sleep 0.05; done
  ran=$( { tr -d '\r' <"$T/ran.txt"; } 2>/dev/null || true)
  com=$( { tr -d '\r' <"$T/com.txt"; } 2>/dev/null | paste -sd, || true)
  echo "  Dellwin in C:\\tests\\$1: exit $code after ${ms} ms; ran [$ran]; server [$com]"
}
setup() {  # ExcelFail KetFail Version ProductCode
  wine_reg_add "$S" ExcelFail "$1"; wine_reg_add "$S" KetFail "$2"
  wine_reg_add "$S" Version "$3"; wine_reg_add "$S" ProductCode "$4"
}
expect() {  # what, expected installer, expected server log
  local ok=1
  [ "$code" = 0 ] || ok=0
  [ "$still" = 1 ] || ok=0
  [ "$ran" = "$2" ] || ok=0
  [ "$com" = "$3" ] || ok=0
  if [ $ok = 1 ]; then pass "$1"; else fail "$1 (want ran [$2], server [$3], exit 0, not waited)"; fi
}
# The stand-in records its command line: the name Dellwin handed to the shell.
B='"bin\Harvend_'

echo "--- Dellwin with the stand-in Excel and WPS"
wine_reg_add 'HKCU\Software\Tenvox' ShowLoginWhenOpenExcel 1
setup '' '' '16.0' '{90160000-0011-0000-1000-0000000FF1CE}'
dellwin client
expect "Excel 16.0 with a 64-bit product code: bin\\Harvend_x64.exe" "${B}x64.exe\"" \
  'create Excel,quit Excel,release Excel'
if out=$(w reg query 'HKCU\Software\Tenvox' /v ShowLoginWhenOpenExcel) && grep -Eq 'REG_SZ +0[[:space:]]*$' <<<"$out"; then
  pass "ShowLoginWhenOpenExcel set to 0"
else
  fail "ShowLoginWhenOpenExcel not 0: $out"
fi

setup '' '' '14.0' '{90140000-0011-0000-0000-0000000FF1CE}'
dellwin client
expect "Excel 14.0 with a 32-bit product code: bin\\Harvend_x32.exe" "${B}x32.exe\"" \
  'create Excel,quit Excel,release Excel'

setup 'ProductCode' '' '16.0' 'x'
dellwin client
expect "Excel failing after Version, then WPS: x32" "${B}x32.exe\"" \
  'create Excel,release Excel,create Ket,quit Ket,release Ket'

setup 'create' 'create' '16.0' ''
dellwin client
expect "nothing answers: x32, WPS tried twice" "${B}x32.exe\"" 'refuse Excel,refuse Ket,refuse Ket'

wine_reg_add "$OUTLOOK" Bitness x64
dellwin client
expect "registry bitness x64: no automation" "${B}x64.exe\"" ''

wine_reg_add "$OUTLOOK" Bitness x86
dellwin beside
expect "no bin folder: the installer in the current directory" '"Harvend_x32.exe"' ''
wine_reg_delete "$OUTLOOK" Bitness

dellwin other
if [ "$code" = 0 ] && [ -z "$ran" ]; then
  pass "no installer anywhere: nothing started, exit 0"
else
  fail "no installer anywhere: exit $code, ran [$ran]"
fi

echo "excel e2e: $fails failed"
exit $((fails > 0))
