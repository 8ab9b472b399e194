#!/usr/bin/env bash
# Smoke test of the stand-in installer (tools/standin) under Wine.
# Usage: standin-smoke.sh DIR   (DIR holds an x86_64 build of standin.exe)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source-path=SCRIPTDIR
. "$here/wine-lib.sh"

fail() { echo "standin-smoke: FAIL: $*" >&2; exit 1; }
[ $# -eq 1 ] && [ -f "$1/standin.exe" ] || fail "usage: $0 DIR-containing-standin.exe"
exe=$(realpath "$1/standin.exe")
# Only the .cfg and the variables set below may configure the stand-in.
unset STANDIN_RECORD STANDIN_SLEEP_MS STANDIN_REG STANDIN_EXITCODE STANDIN_DONE

wine_start
t=$(wine_cdrive)/t
mkdir -p "$t/bin"
cp "$exe" "$t/bin/Quenmar.exe"
# CRLF, a BOM, a comment, a blank line and malformed lines, as a hand-edited file may have.
printf '\xEF\xBB\xBF# stand-in for the product setup\r\n\r\nrecord=C:\\t\\record.txt\r\nsleep=300\r\n%s\r\n%s\r\n%s\r\nsleep=soon\r\nnonsense\r\nreg=HKXX\\Software\\Tenvox|Bad|1\r\n' \
    'reg=HKLM\SoftWare\Tenvox|ALLSetup|1' 'reg=HKLM\\SoftWare\Tenvox\Sub|Path|C:\a|b' 'done=C:\t\done.txt' \
    >"$t/bin/Quenmar.cfg"

# Run 1: configured by the file alone.
start=${EPOCHREALTIME/[.,]/}
rc=0; w 'C:\t\bin\Quenmar.exe' COM "C:\Program Files\x y" || rc=$?
ms=$(( (${EPOCHREALTIME/[.,]/} - start) / 1000 ))
echo "standin-smoke: run 1 took ${ms} ms" >&2
[ "$rc" -eq 0 ] || fail "run 1 exited $rc, expected 0"
[ "$ms" -ge 300 ] || fail "run 1 took ${ms} ms: sleep=300 was not honoured"
# Wine quotes argv[0] when it builds the command line, as Windows' own launchers do.
expected=$(printf '%s\r\n' '"C:\t\bin\Quenmar.exe" COM "C:\Program Files\x y"' | od -An -c)
actual=$(od -An -c "$t/record.txt" 2>/dev/null) || fail "record file C:\\t\\record.txt missing"
[ "$actual" = "$expected" ] || fail "record file differs; expected:$expected
actual:$actual"
[ "$(cat "$t/done.txt" 2>/dev/null)" = $'done\r' ] || fail "done file missing or wrong after run 1"
wine_reg_query 'HKLM\SoftWare\Tenvox' ALLSetup || fail "reg query 'HKLM\\SoftWare\\Tenvox' /v ALLSetup failed"
out=$(w reg query 'HKLM\Software\Tenvox' /v ALLSetup) && grep -Eq '^ +ALLSetup +REG_SZ +1[[:space:]]*$' <<<"$out" \
    || fail "ALLSetup is not REG_SZ \"1\""
out=$(w reg query 'HKLM\Software\Tenvox\Sub' /v Path) && grep -Eq '^ +Path +REG_SZ +C:\\a[|]b[[:space:]]*$' <<<"$out" \
    || fail "HKLM\\Software\\Tenvox\\Sub Path is not REG_SZ \"C:\\a|b\" (leading '\\' or '|' in text mishandled)"
wine_reg_query 'HKLM\SoftWare\Tenvox' Bad && fail "an entry with an unknown root was written"

# Run 2: variables override the file's scalars and add one registry entry; records append.
rm -f "$t/done.txt"
rc=0
STANDIN_SLEEP_MS=0 STANDIN_EXITCODE=7 STANDIN_DONE='C:\t\done2.txt' \
STANDIN_REG='HKCU\Software\Tenvox|Second|x y' \
    w 'C:\t\bin\Quenmar.exe' /q 汉字 || rc=$?
[ "$rc" -eq 7 ] || fail "run 2 exited $rc, expected 7 from STANDIN_EXITCODE"
# Wine quotes argv[0] when it builds the command line, as Windows' own launchers do.
expected=$(printf '%s\r\n' '"C:\t\bin\Quenmar.exe" COM "C:\Program Files\x y"' '"C:\t\bin\Quenmar.exe" /q 汉字' | od -An -c)
actual=$(od -An -c "$t/record.txt")
[ "$actual" = "$expected" ] || fail "record after run 2 differs (not appended, or not UTF-8); expected:$expected
actual:$actual"
[ -f "$t/done2.txt" ] && [ ! -e "$t/done.txt" ] || fail "STANDIN_DONE did not override done="
wine_reg_query 'HKCU\Software\Tenvox' Second || fail "STANDIN_REG entry not written"
wine_reg_query 'HKLM\SoftWare\Tenvox' ALLSetup || fail "file's reg= entries not written in run 2"

echo "standin-smoke: PASS" >&2
