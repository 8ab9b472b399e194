#!/usr/bin/env bash
# Checks the 32-bit release executables, which cannot run on this machine:
# PE32 for i386, the subsystem each should have, and imports of Windows
# system DLLs only.
#   check-pe.sh <build/win32> <name>:<gui|console>[:manifest] ...
# With ":manifest" the embedded manifest must ask for administrator rights
# and Common Controls 6.
set -euo pipefail
dir=$1; shift
objdump=i686-w64-mingw32-objdump
# Windows' own DLLs that the programs may import; nothing else may be needed.
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|msvcrt|shlwapi|version|uxtheme)\.dll$'
fail=0
for item in "$@"; do
  IFS=: read -r name want extra <<<"$item"
  exe=$dir/$name.exe
  if [ ! -f "$exe" ]; then echo "FAIL $name: $exe missing"; fail=1; continue; fi
  head=$($objdump -f "$exe")
  pe=$($objdump -p "$exe")
  problems=()
  grep -q 'file format pei-i386' <<<"$head" || problems+=("not pei-i386")
  grep -q 'architecture: i386' <<<"$head" || problems+=("not i386")
  grep -qE '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$pe" || problems+=("not PE32")
  sub=$(awk '/^Subsystem/ {print $2}' <<<"$pe")
  case $want in
    gui) [ "$sub" = 00000002 ] || problems+=("subsystem $sub, want 2 (GUI)") ;;
    console) [ "$sub" = 00000003 ] || problems+=("subsystem $sub, want 3 (console)") ;;
  esac
  dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$pe" | sort -u)
  for d in $dlls; do
    grep -qE "$allowed" <<<"$d" || problems+=("imports $d")
  done
  if [ "${extra:-}" = manifest ]; then
    grep -aq 'level="requireAdministrator"' "$exe" || problems+=("manifest lacks requireAdministrator")
    grep -aq 'Microsoft.Windows.Common-Controls' "$exe" || problems+=("manifest lacks Common Controls 6")
    grep -aq 'supportedOS' "$exe" && problems+=("manifest declares supported Windows releases")
  fi
  size=$(stat -c %s "$exe")
  if [ ${#problems[@]} -eq 0 ]; then
    printf 'PASS %-14s PE32 i386, subsystem %s, %6d bytes, imports: %s\n' "$name" "$want" "$size" "$(echo $dlls)"
  else
    printf 'FAIL %-14s %s\n' "$name" "$(IFS=';'; echo "${problems[*]}")"; fail=1
  fi
done
exit $fail
