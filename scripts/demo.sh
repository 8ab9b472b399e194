#!/usr/bin/env bash
# The main job: Varnock.exe under Wine with a demo product folder.
#
# Builds the 64-bit Windows configuration, lays out a demo product folder
# (the launcher, and bin/ with stand-in installers under the product
# installers' names and a reseller's branding file Lumeno.dat), and runs the launcher under Wine: on your
# display when there is one (close the window to end), otherwise under Xvfb,
# where it takes a screenshot and ends. The screenshot's path is printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
for preset in native win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
build=$root/build/win64
native=$root/build/native
out=$root/out
mkdir -p "$out"

if [ -n "${DISPLAY:-}" ] && timeout 5 xdpyinfo >/dev/null 2>&1; then
  export E2E_USE_DISPLAY=1
  interactive=1
else
  interactive=0
fi
# shellcheck source=../tests/e2e/wine-lib.sh
. "$root/tests/e2e/wine-lib.sh"
wine_start

C=$(wine_cdrive)
D=$C/demo
mkdir -p "$D/bin" "$C/demo-middleware"
cp "$build/Varnock.exe" "$build/driver.exe" "$D/"
# The stand-ins log their command lines to C:\demo\installs.log and answer
# the launcher's handshake as the product's installers would.
for n in Quenmar Ostrile Harvend_x32 Harvend_x64; do
  cp "$build/standin.exe" "$D/bin/$n.exe"
  printf 'record=C:\\demo\\installs.log\r\nsleep=1500\r\nreg=HKLM\\SoftWare\\Tenvox|ALLSetup|1\r\n' >"$D/bin/$n.cfg"
done
printf 'reg=HKLM\\SoftWare\\Tenvox|COMPart|C:\\demo-middleware\\COM+\r\n' >>"$D/bin/Quenmar.cfg"
# What the check dialog looks for, so that the installs go through: a
# database engine service (stopped; the check starts it), the web server's
# key and a 32-bit Office. The installation guide page sits in bin.
mkdir -p "$C/demo-services"
cp "$build/svc.exe" "$C/demo-services/"
w sc create MSSQLSERVER binPath= 'C:\demo-services\svc.exe' DisplayName= 'SQL Server (MSSQLSERVER)' >/dev/null
w reg add 'HKLM\SOFTWARE\Microsoft\W3SVC' /f >/dev/null
w reg add 'HKLM\SOFTWARE\Microsoft\Office\16.0\Outlook' /v Bitness /d x86 /f >/dev/null
printf '<html><body><h1>Installing IIS</h1><p>Demo guide page.</p></body></html>\r\n' >"$D/bin/Saphrel.htm"
# A reseller's branding file, made with the branding tool from a banner
# drawn for the demo.
"$native/mkbanner" "$C/demo-banner.bmp"
title='奥凡报表 6.3'
"$native/brandtool" pack "$D/bin/Lumeno.dat" --title "$title" --maker 'Orvane Software Ltd.' \
  --banner "$C/demo-banner.bmp" --addin '奥凡助手' >/dev/null

shot=$out/varnock.png
if [ "$interactive" = 1 ]; then
  echo "Varnock.exe is running on $DISPLAY; close its window to end." >&2
  (sleep 3; wine_screenshot "$shot" && echo "screenshot: $shot") &
  E2E_TIMEOUT=86400 w 'C:\demo\Varnock.exe' || true
  cat "$D/installs.log" 2>/dev/null | sed 's/^/installer started: /' || true
else
  w 'C:\demo\driver.exe' start 'C:\demo\Varnock.exe' window "$title - 高级版" \
    capture 'C:\demo\varnock.bmp' close exit 0 >/dev/null
  convert "$D/varnock.bmp" "$shot"
  echo "screenshot: $shot"
fi
