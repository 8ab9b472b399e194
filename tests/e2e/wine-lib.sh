# shellcheck shell=bash
# Library for end-to-end tests under Wine; source it, then call wine_start.
# Facts and numbers behind every step: shared/WINE.md.
#
# Environment (all optional):
#   E2E_PREFIX        Wine prefix to create (default /tmp/e2e-wpfx-$$); wiped first, deleted at exit
#   E2E_KEEP_PREFIX=1 keep the prefix at exit (for debugging)
#   E2E_USE_DISPLAY=1 use the caller's $DISPLAY if it answers, instead of starting Xvfb
#   E2E_TIMEOUT       seconds allowed to each wine call made through w (default 60)
#   E2E_TIMEOUT_BOOT  seconds allowed to wineboot -i (default 180)
#   E2E_WINE, E2E_WINESERVER  binaries (default /usr/lib/wine/wine64, /usr/lib/wine/wineserver)
#
# Functions:
#   wine_start               display + fresh prefix + restarted server + font .reg; EXIT trap cleans up
#   w ARGS... / wrun ARGS... wine64 ARGS under timeout; returns wine's exit code (124 on timeout)
#   wine_cdrive              Linux path of drive_c
#   wine_path PATH           Windows path of a Linux path (C:\ inside drive_c, else Z:\)
#   wine_reg_add KEY NAME DATA [TYPE]   reg add (TYPE default REG_SZ; NAME "" = default value)
#   wine_reg_query KEY [NAME]           0 if the key (value) exists, else non-zero
#   wine_reg_delete KEY [NAME]          delete a value, or the whole key without NAME
#   wine_screenshot FILE.png            screenshot of the whole X screen
#   wine_stop                the EXIT trap's work: stop the server, Xvfb, delete the prefix (idempotent)

E2E_WINE=${E2E_WINE:-/usr/lib/wine/wine64}
E2E_WINESERVER=${E2E_WINESERVER:-/usr/lib/wine/wineserver}
_E2E_XPID=
_E2E_T0=${EPOCHREALTIME/[.,]/}

_e2e_log() {
    local d=$(( (${EPOCHREALTIME/[.,]/} - _E2E_T0) / 100000 ))
    printf 'e2e [%3d.%ds] %s\n' $((d / 10)) $((d % 10)) "$*" >&2
}

w() {
    local t=${E2E_TIMEOUT:-60} rc=0
    timeout -k 5 "$t" "$E2E_WINE" "$@" || rc=$?
    if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then _e2e_log "TIMEOUT after ${t}s: wine64 $*"; fi
    return "$rc"
}
wrun() { w "$@"; }

_e2e_ws() { timeout -k 5 30 "$E2E_WINESERVER" "$@"; }

_e2e_display_works() {
    [ -n "${DISPLAY:-}" ] || return 1
    if command -v xdpyinfo >/dev/null; then
        timeout 5 xdpyinfo >/dev/null 2>&1
    else
        local n=${DISPLAY#*:}; [ -S "/tmp/.X11-unix/X${n%%.*}" ]
    fi
}

_e2e_start_xvfb() {
    local n _
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        _E2E_XPID=$!
        for _ in $(seq 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
            kill -0 "$_E2E_XPID" 2>/dev/null || break  # lost a race for :n: try the next one
            sleep 0.05
        done
        kill "$_E2E_XPID" 2>/dev/null || true; wait "$_E2E_XPID" 2>/dev/null || true; _E2E_XPID=
    done
    _e2e_log "no free X display in :90..:140"; return 1
}

# UTF-16LE with BOM: ANSI "5.00" files are read wrongly (WINE.md, Registry).
_e2e_fonts_reg() {
    local r='"=\"WenQuanYi Micro Hei\"\r\n' f
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        for f in Tahoma 'MS Shell Dlg' 'MS Shell Dlg 2' SimSun 宋体 NSimSun 新宋体 PMingLiU 新細明體 \
                 'Microsoft YaHei' 微软雅黑; do
            printf "\"%s$r" "$f"
        done
    } | iconv -f UTF-8 -t UTF-16 >"$1"
}

wine_stop() {
    trap - EXIT
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        _e2e_ws -k 2>/dev/null || true
        if [ "${E2E_KEEP_PREFIX:-}" = 1 ]; then _e2e_log "kept prefix $WINEPREFIX"
        else rm -rf -- "$WINEPREFIX"; fi
    fi
    if [ -n "$_E2E_XPID" ]; then
        kill "$_E2E_XPID" 2>/dev/null || true; wait "$_E2E_XPID" 2>/dev/null || true; _E2E_XPID=
    fi
    return 0
}

wine_start() {
    local prefix=${E2E_PREFIX:-/tmp/e2e-wpfx-$$}
    case $prefix in /*/*) ;; *) _e2e_log "refusing prefix '$prefix' (want an absolute path below /)"; return 1;; esac
    export WINEPREFIX=$prefix WINEDEBUG=-all LANG=C.UTF-8 \
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    trap wine_stop EXIT
    trap 'exit 130' INT; trap 'exit 143' TERM  # run the EXIT trap on signals too

    # DISPLAY must be set before the first wine process starts the server.
    if [ -n "${E2E_USE_DISPLAY:-}" ] && _e2e_display_works; then
        _e2e_log "using DISPLAY=$DISPLAY"
    else
        _e2e_start_xvfb || return 1
        _e2e_log "Xvfb on DISPLAY=$DISPLAY"
    fi

    rm -rf -- "$WINEPREFIX" && mkdir -p "$WINEPREFIX" || return 1
    _e2e_ws -p || return 1
    _e2e_log "wineboot -i in $WINEPREFIX"
    local log="$WINEPREFIX/e2e-wineboot.log"  # its harmless chatter is shown only on failure
    E2E_TIMEOUT=${E2E_TIMEOUT_BOOT:-180} w wineboot -i 2>"$log" \
        || { cat "$log" >&2; _e2e_log "wineboot -i failed"; return 1; }
    # Restart the server: after wineboot -i two services.exe run and services fail to start.
    _e2e_ws -k || true; _e2e_ws -p || return 1

    local reg="$WINEPREFIX/drive_c/e2e-fonts.reg"
    _e2e_fonts_reg "$reg" && w regedit /s "$(wine_path "$reg")" || { _e2e_log "font .reg import failed"; return 1; }
    _e2e_log "prefix ready"
}

wine_cdrive() { printf '%s\n' "$WINEPREFIX/drive_c"; }

wine_path() {
    local p c
    p=$(realpath -m -- "$1") c=$(realpath -m -- "$WINEPREFIX/drive_c")
    case $p in
        "$c") p=C:\\ ;;
        "$c"/*) p="C:${p#"$c"}"; p=${p//\//\\} ;;
        *) p="Z:${p//\//\\}" ;;
    esac
    printf '%s\n' "$p"
}

wine_reg_add() {
    local -a v; mapfile -t v < <(_e2e_regv "$2")
    w reg add "$1" "${v[@]}" /t "${4:-REG_SZ}" /d "$3" /f >/dev/null
}

# Value selector for reg.exe: none (whole key), /ve (NAME ""), or /v NAME.
_e2e_regv() { if [ $# -lt 1 ]; then :; elif [ -z "$1" ]; then echo /ve; else printf '/v\n%s\n' "$1"; fi; }

wine_reg_query() {
    local -a v; mapfile -t v < <(_e2e_regv "${@:2}")
    w reg query "$1" "${v[@]}" >/dev/null 2>&1
}

wine_reg_delete() {
    local -a v; mapfile -t v < <(_e2e_regv "${@:2}")
    w reg delete "$1" "${v[@]}" /f >/dev/null 2>&1
}

wine_screenshot() {
    timeout 20 /usr/bin/import -display "$DISPLAY" -window root "$1"
}

# Counting results: `pass TEXT` and `fail TEXT` print one line each; $fails
# counts the failures for the script's exit code.
e2e_results() {
    fails=0
    pass() { echo "PASS $*"; }
    fail() { echo "FAIL $*"; fails=$((fails + 1)); }
}
