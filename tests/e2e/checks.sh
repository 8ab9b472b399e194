#!/usr/bin/env bash
# End-to-end tests of the prerequisite check dialog under Wine: Varnock's
# install buttons against real services (tests/e2e/svc), the MSDE setup
# stand-in, the registry, a stand-in browser for the IIS guide page and a
# stand-in IIS automation server (tests/e2e/iis) for the branch taken on
# Windows before 6.0. One prefix for every scenario; deleted at the end.
#   tests/e2e/checks.sh <build/win64>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
native=$(cd "${E2E_NATIVE:-$build/../native}" && pwd)  # brandtool, mkbanner
# shellcheck source=wine-lib.sh
. "$here/wine-lib.sh"

e2e_results

t0=${EPOCHREALTIME/[.,]/}
wine_start
C=$(wine_cdrive)
T=$C/tests
D="$T/Demo Setup"           # a folder with a space: quoting shows in every command line
DW='C:\tests\Demo Setup'
mkdir -p "$D/bin/MSDERelA" "$T/mw"
cp "$build/Varnock.exe" "$build/driver.exe" "$D/"
cp "$build/svc.exe" "$build/iissim.dll" "$T/"
cp "$build/msde_setup.exe" "$D/bin/MSDERelA/Setup.exe"
cp "$build/svc.exe" "$D/bin/MSDERelA/"
printf 'C:\\tests\\log.txt\r\n' >"$D/bin/MSDERelA/msde_setup.cfg"
for n in Quenmar Ostrile Harvend_x32 Harvend_x64; do cp "$build/standin.exe" "$D/bin/$n.exe"; done
# Every installer appends its command line, then "done", to one log.
installer_cfg() {  # name, registry lines...
  local name=$1; shift
  { printf 'record=C:\\tests\\log.txt\r\nsleep=200\r\ndone=C:\\tests\\log.txt\r\n'
    for r in "$@"; do printf 'reg=%s\r\n' "$r"; done; } >"$D/bin/$name.cfg"
}
installer_cfg Quenmar 'HKLM\SoftWare\Tenvox|ALLSetup|1' 'HKLM\SoftWare\Tenvox|COMPart|C:\tests\mw\COM+'
installer_cfg Ostrile
installer_cfg Harvend_x32
installer_cfg Harvend_x64
"$native/mkbanner" "$T/banner.bmp"
TITLE='奥凡报表 6.3'
"$native/brandtool" pack "$D/bin/Lumeno.dat" --title "$TITLE" --maker 'Orvane Software Ltd.' \
  --banner "$T/banner.bmp" --addin '奥凡助手' >/dev/null

# The guide page's browser. Wine's ShellExecute looks a bare program name
# up in the system folders (PathFindOnPath) before App Paths, and finds its
# own system32\iexplore.exe there: the stand-in takes that file's place in
# this prefix, loaded as a native program, and records its command line.
cp "$build/standin.exe" "$C/windows/system32/iexplore.exe"
printf 'record=C:\\tests\\browser.txt\r\n' >"$C/windows/system32/iexplore.cfg"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;iexplore.exe=n"

# The stand-in IIS namespace, registered as WINE.md describes.
clsid='{B1A9C6E2-1111-4000-8000-0000000000B1}'
wine_reg_add 'HKCR\IISNamespace\CLSID' '' "$clsid"
wine_reg_add "HKCR\\CLSID\\$clsid\\InprocServer32" '' 'C:\tests\iissim.dll'
wine_reg_add "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
IIS='HKCU\Software\Tenvox\IISSim'
wine_reg_add "$IIS" Log 'C:\tests\iis.txt'

wine_reg_add 'HKLM\SOFTWARE\Microsoft\Office\16.0\Outlook' Bitness x64
w reg add 'HKCU\Software\Tenvox' /v CurLang /d A /f >/dev/null

MAIN="$TITLE - 高级版"
CHECK='安装条件检测'
V="$DW\\Varnock.exe"
drive() { w "$DW\\driver.exe" "$@"; }
Q="\"$DW\\bin\\Quenmar.exe\""
O="\"$DW\\bin\\Ostrile.exe\""
REC='为了有良好的性能'
fresh_logs() { rm -f "$T/log.txt" "$T/browser.txt" "$T/iis.txt"; }
got() { { tr -d '\r' <"$T/$1"; } 2>/dev/null || true; }
same() {  # file, expected lines...: the file holds exactly these lines
  local f=$1 want; shift
  want=$(printf '%s\n' "$@")
  [ "$(got "$f")" = "$want" ] && return 0
  echo "  $f:"; got "$f" | sed 's/^/    /'; echo "  want:"; printf '    %s\n' "$@"; return 1
}
# 0 when service $1 reaches state $2 (sc query's number) within 5 s.
service_state() {
  for _ in $(seq 25); do
    w sc query "$1" 2>/dev/null | grep -Eq "STATE +: +$2 " && return 0
    sleep 0.2
  done
  return 1
}

echo "--- web server missing (Windows 6.2: no W3SVC key)"
fresh_logs
if drive start "$V" window "$MAIN" click 109 post-click 113 \
     window "$CHECK" wait-box '没有检测到IIS' visible 210 1 visible 207 0 \
     visible 206 0 visible 209 0 \
     box $'没有检测到IIS（Internet 信息服务），继续安装本系统前，请先安装 IIS ！\r\n确定后，可以阅读安装指南！' \
     wait-lines 'C:\tests\browser.txt' 1 window "$MAIN" sleep 500 no-box lines 'C:\tests\log.txt' 0 \
     close exit 0 &&
   same browser.txt "\"C:\\windows\\system32\\IExplore.exe\" $DW\\bin\\Saphrel.htm"; then
  pass "message with the cross, guide page opened with its path unquoted, no installer"
else
  fail "web server missing"
fi

echo "--- client install (type 5), 64-bit Office"
fresh_logs
if drive start "$V" window "$MAIN" click 114 post-click 115 \
     window "$CHECK" wait-visible 208 visible 211 0 visible 206 0 visible 207 0 \
     window "$MAIN" wait-lines 'C:\tests\log.txt' 2 sleep 300 no-box close exit 0 &&
   same log.txt "\"$DW\\bin\\Harvend_x64.exe\"" "done"; then
  pass "Bitness x64: bin\\Harvend_x64.exe without parameters"
else
  fail "client install with Bitness x64"
fi

echo "--- database service stopped (middleware install, type 3)"
w sc create MSSQLSERVER binPath= 'C:\tests\svc.exe' DisplayName= 'SQL Server (MSSQLSERVER)' >/dev/null
fresh_logs
if service_state MSSQLSERVER 1 &&
   drive start "$V" window "$MAIN" click 109 post-click 111 \
     window "$CHECK" wait-visible 206 visible 209 0 visible 207 0 visible 210 0 \
     window "$MAIN" wait-lines 'C:\tests\log.txt' 2 sleep 300 no-box close exit 0 &&
   same log.txt "$Q" "done" && service_state MSSQLSERVER 4; then
  pass "the check started MSSQLSERVER (RUNNING), no recommendation, the middleware installer ran"
else
  fail "stopped database service"
fi
w net stop MSSQLSERVER >/dev/null 2>&1 || true
service_state MSSQLSERVER 1 || true
w sc delete MSSQLSERVER >/dev/null || fail "could not delete MSSQLSERVER"

echo "--- no database service, MSDE setup beside the launcher (type 3)"
fresh_logs
if drive start "$V" window "$MAIN" click 109 post-click 111 window "$CHECK" \
     wait-box '没有在本机检测出MS系列数据库，是否现在安装免费数据库 MSDE2000' visible 209 1 visible 206 0 \
     answer 6 '没有在本机检测出MS系列数据库，是否现在安装免费数据库 MSDE2000 ?' \
     box '数据库用户 SA 的密码是"sa"，安装本系统的时候需要用到这个密码，请记在笔记本上！' \
     wait-visible 206 visible 209 0 \
     window "$MAIN" wait-lines 'C:\tests\log.txt' 3 sleep 300 no-box close exit 0 &&
   same log.txt 'msde setup' "$Q" "done" && service_state 'MSSQL$TEST' 4; then
  pass "Yes, SA note, the setup ran, MSSQL\$TEST found and started, tick replaces the cross, installer ran"
else
  fail "MSDE setup path"
fi

echo "--- server install (type 2) passing both checks"
wine_reg_add 'HKLM\SOFTWARE\Microsoft\W3SVC' InstallPath 'C:\inetpub'
w sc create w3svc binPath= 'C:\tests\svc.exe' DisplayName= 'World Wide Web Publishing Service' >/dev/null
w net start w3svc >/dev/null || true
fresh_logs
if service_state w3svc 4 &&
   drive start "$V" window "$MAIN" click 106 post-click 107 window "$CHECK" \
     wait-box "$REC" visible 206 1 visible 209 0 visible 207 1 visible 210 0 \
     box $'为了有良好的性能，强烈建议您把本系统的 服务器程序部分 安装在专门的服务器操作系统中,\r\n例如 Win2000Server、Win2003、Win2008等！' \
     window "$MAIN" wait-lines 'C:\tests\log.txt' 4 sleep 300 no-box close exit 0 &&
   same log.txt "$Q COM" "done" "$O WEB \"C:\\tests\\mw\"" "done"; then
  pass "ticks for both rows, recommendation, middleware then web installer with WEB \"<folder>\""
else
  fail "server install"
fi
# The newer branch stops the web publishing service; a check must not leave
# the machine's web server down, so what ran before runs again afterwards.
if service_state w3svc 4; then
  pass "w3svc, running before the check, runs again after the newer branch"
else
  fail "the check left w3svc stopped"
fi

echo "--- Windows XP (older branch): IIS automation"
wine_reg_add 'HKCU\Software\Wine\AppDefaults\Varnock.exe' Version winxp
logdir=$C/windows/system32/LogFiles
mkdir -p "$logdir/W3SVC3"
wine_reg_add "$IIS" Sites 3
w net start w3svc >/dev/null || true   # the check stops it first and starts it again
fresh_logs
if drive start "$V" window "$MAIN" click 109 post-click 113 window "$CHECK" \
     wait-box "$REC" visible 207 1 visible 210 0 box-starts "$REC" \
     window "$MAIN" wait-lines 'C:\tests\log.txt' 2 sleep 300 no-box close exit 0 &&
   same log.txt "$O" "done" &&
   same iis.txt 'namespace created' \
     'namespace GetObject str:IIsWebService str:127.0.0.1/w3svc -> found' \
     'service GetObject str:IIsWebServer i4:1 -> raised' \
     'service GetObject str:IIsWebServer str:3 -> found' \
     'service GetObject str:IIsWebServer str:3 -> found' \
     'site3 Start -> started' &&
   service_state w3svc 4; then
  pass "site 1 missing, W3SVC3 in the log folder: site 3 fetched, fetched again, started; w3svc running"
else
  fail "older branch, site from the log folder"
fi

wine_reg_add "$IIS" StartFail 'site 3 refuses to start'
fresh_logs
if drive start "$V" window "$MAIN" click 109 post-click 113 window "$CHECK" \
     wait-box 'IIS（Internet 信息服务）未能正常启动' visible 210 1 visible 207 0 \
     box $'IIS（Internet 信息服务）未能正常启动，请检查原因！\r\nsite 3 refuses to start' \
     window "$MAIN" sleep 500 no-box lines 'C:\tests\log.txt' 0 close exit 0 &&
   grep -q '^site3 Start -> raised$' <(got iis.txt); then
  pass "Start raising: message with the server's text, the cross, no installer"
else
  fail "older branch, Start raising"
fi

echo "--- the dialog in each language (screenshots)"
w reg delete 'HKCU\Software\Wine\AppDefaults\Varnock.exe' /f >/dev/null 2>&1 || true
shots=${E2E_SHOTS:-$here/../../out/screenshots}
mkdir -p "$shots"
for lang in 'A|安装条件检测|'"$TITLE"' - 高级版|zh-CN' 'B|安裝條件檢測|V6.3.1版 安裝程式 - 高級版|zh-TW' \
            'C|Installation conditon inspection|V6.3.1 Setup Program  - Advanced|en'; do
  IFS='|' read -r code dialog main name <<<"$lang"
  w reg add 'HKCU\Software\Tenvox' /v CurLang /d "$code" /f >/dev/null
  # A client install: only the spreadsheet row, which passes at once.
  fresh_logs
  if drive start "$V" window "$main" click 114 post-click 115 window "$dialog" \
       capture "C:\\tests\\check-$name.bmp" window "$main" \
       wait-lines 'C:\tests\log.txt' 2 sleep 300 close exit 0 &&
     convert "$T/check-$name.bmp" "$shots/check-$name.png"; then
    pass "check dialog in $name: $shots/check-$name.png"
  else
    fail "check dialog in $name"
  fi
done
w reg add 'HKCU\Software\Tenvox' /v CurLang /d A /f >/dev/null

echo "checks e2e: $fails failed, $(( (${EPOCHREALTIME/[.,]/} - t0) / 1000000 )) s"
exit $((fails > 0))
