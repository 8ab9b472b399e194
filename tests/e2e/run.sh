#!/usr/bin/env bash
# End-to-end tests under Wine: the x86_64 build of the real code against
# Wine's registry and real processes.
#   tests/e2e/run.sh <build/win64>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
native=$(cd "${E2E_NATIVE:-$build/../native}" && pwd)  # brandtool, mkbanner
# shellcheck source=wine-lib.sh
. "$here/wine-lib.sh"

e2e_results

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

echo "--- the main window"
shots=${E2E_SHOTS:-$(cd "$here/../.." && pwd)/out/screenshots}
mkdir -p "$shots"
D=$T/demo
mkdir -p "$D/bin" "$T/mw"
cp "$build/Varnock.exe" "$build/driver.exe" "$D/"
for n in Quenmar Ostrile Harvend_x32 Harvend_x64; do cp "$build/standin.exe" "$D/bin/$n.exe"; done
# Each installer logs its command line when it starts and "done" when it
# ends, to one file, so the log shows the order of starts and ends.
installer_cfg() {  # name, registry lines...
  local name=$1; shift
  { printf 'record=C:\\tests\\log.txt\r\nsleep=300\r\ndone=C:\\tests\\log.txt\r\n'
    for r in "$@"; do printf 'reg=%s\r\n' "$r"; done; } >"$D/bin/$name.cfg"
}
installer_cfg Quenmar 'HKLM\SoftWare\Tenvox|ALLSetup|1' 'HKLM\SoftWare\Tenvox|COMPart|C:\tests\mw\COM+'
installer_cfg Ostrile 'HKLM\SoftWare\Tenvox|ALLSetup|1'
installer_cfg Harvend_x32
installer_cfg Harvend_x64
# A reseller's branding, made with the branding tool.
"$native/mkbanner" "$T/banner.bmp"
TITLE='奥凡报表 6.3'
"$native/brandtool" pack "$D/bin/Lumeno.dat" --title "$TITLE" --maker 'Orvane Software Ltd.' \
  --banner "$T/banner.bmp" --addin '奥凡助手' >/dev/null
V='C:\tests\demo\Varnock.exe'
drive() { w 'C:\tests\demo\driver.exe' "$@"; }
shot() { convert "$T/$1.bmp" "$shots/$1.png" && rm -f "$T/$1.bmp"; }

w reg delete 'HKCU\Software\Tenvox' /f >/dev/null 2>&1 || true
if drive start "$V" window "$TITLE - 高级版" \
     text 102 '请选择安装类型：' text 104 '安装...' text 2 '关闭' text 91 'Orvane Software Ltd.' \
     text 103 '整体快速安装（包括服务器、Excel客户端、奥凡助手、数据库MSDE2000）' \
     checked 103 1 enabled 104 1 enabled 107 0 enabled 111 0 enabled 113 0 enabled 115 0 \
     capture 'C:\tests\main-zh-CN.bmp' \
     click 109 checked 103 0 enabled 104 0 enabled 111 1 enabled 113 1 \
     click 103 enabled 104 1 enabled 111 0 \
     select 118 2 title 'V6.3.1 Setup Program  - Advanced' text 102 'Please select a installation:' \
     text 104 'Setup...' text 107 'Setup...' text 115 'Setup...' text 2 'Exit' enabled 104 1 \
     capture 'C:\tests\main-en.bmp' \
     select 118 1 title 'V6.3.1版 安裝程式 - 高級版' text 102 '請選擇安裝類型：' text 2 '關閉' \
     capture 'C:\tests\main-zh-TW.bmp' \
     select 118 0 title 'V6.3.1版 安装程序 - 高级版' text 104 '安装...' \
     close exit 0; then
  pass "start-up, radio buttons, language switch to English and back"
else
  fail "start-up and language switch"
fi
for s in main-zh-CN main-en main-zh-TW; do shot "$s" || fail "screenshot $s"; done

w reg add 'HKCU\Software\Tenvox' /v CurLang /d C /f >/dev/null
if drive start "$V" window 'V6.3.1 Setup Program  - Advanced' text 104 'Setup...' close exit 0; then
  pass "starts in the stored language"
else
  fail "start in the stored language"
fi
w reg add 'HKCU\Software\Tenvox' /v CurLang /d A /f >/dev/null

check_log() {  # expected lines...
  local want got
  want=$(printf '%s\n' "$@")
  got=$(tr -d '\r' <"$T/log.txt" 2>/dev/null || true)
  [ "$got" = "$want" ] || { echo "log:"; echo "$got"; echo "want:"; echo "$want"; return 1; }
}
# What the check dialog looks for before a whole install: a database engine
# service (stopped: the check starts it), the web server's key, and the
# bitness of an installed Office (32-bit).
cp "$build/svc.exe" "$T/"
w sc create MSSQLSERVER binPath= 'C:\tests\svc.exe' DisplayName= 'SQL Server (MSSQLSERVER)' >/dev/null
w reg add 'HKLM\SOFTWARE\Microsoft\W3SVC' /f >/dev/null
w reg add 'HKLM\SOFTWARE\Microsoft\Office\16.0\Outlook' /v Bitness /d x86 /f >/dev/null
Q='"C:\tests\demo\bin\Quenmar.exe"'
O='"C:\tests\demo\bin\Ostrile.exe"'
H='"C:\tests\demo\bin\Harvend_x32.exe"'
rm -f "$T/log.txt"
if drive start "$V" window "$TITLE - 高级版" post-click 104 box-starts '为了有良好的性能' \
     wait-lines 'C:\tests\log.txt' 6 sleep 500 no-box close exit 0 &&
   check_log "$Q COM" done "$O WEB_CLIENT \"C:\tests\mw\"" done "$H CLIENT \"C:\tests\mw\"" done; then
  pass "type 1 chain: three installers in order, each after the previous ended"
else
  fail "type 1 chain"
fi

rm -f "$T/log.txt"
if drive start "$V" window "$TITLE - 高级版" post-click 104 box-starts '为了有良好的性能' \
     wait-lines 'C:\tests\log.txt' 1 key 104 27 \
     box '安装程序正在运行，请等它结束后再关闭本窗口。' \
     wait-lines 'C:\tests\log.txt' 6 sleep 500 no-box title "$TITLE - 高级版" close exit 0 &&
   check_log "$Q COM" done "$O WEB_CLIENT \"C:\tests\mw\"" done "$H CLIENT \"C:\tests\mw\"" done; then
  pass "Esc while an installer runs: the window stays with a message, the chain completes"
else
  fail "Esc during a chain"
fi

installer_cfg Ostrile  # the web installer now leaves ALLSetup alone
rm -f "$T/log.txt"
if drive start "$V" window "$TITLE - 高级版" post-click 104 box-starts '为了有良好的性能' \
     wait-lines 'C:\tests\log.txt' 4 sleep 1500 lines 'C:\tests\log.txt' 4 close exit 0 &&
   check_log "$Q COM" done "$O WEB_CLIENT \"C:\tests\mw\"" done; then
  pass "type 1 chain stops when the web installer does not write 1"
else
  fail "type 1 chain without the web installer's 1"
fi

echo "--- a damaged branding file"
cp "$D/bin/Lumeno.dat" "$T/Lumeno.good"
printf 'not a packed file' >"$D/bin/Lumeno.dat"
if drive start "$V" box-starts $'缺少文件，程序结束运行！\r\n' exit 0; then
  pass "damaged branding file: message, then the program ends"
else
  fail "damaged branding file"
fi
rm "$D/bin/Lumeno.dat"
if drive start "$V" box $'缺少文件，程序结束运行！\r\n' no-box exit 0; then
  pass "missing branding file: one message, then the program ends"
else
  fail "missing branding file"
fi
cp "$T/Lumeno.good" "$D/bin/Lumeno.dat"

echo "e2e: $fails failed"
exit $((fails > 0))
