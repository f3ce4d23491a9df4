# Sourced by the scripts that run Windows programs: the Wine settings of the
# win64 build tree's own prefix.
WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver64
: "${SETUP_BUILD_WIN64:=$(pwd)/build/win64}"
export WINEPREFIX="${WINEPREFIX:-$SETUP_BUILD_WIN64/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix once (without a window manager every closing window
# costs seconds and no title bar is drawn, so Wine manages its own windows).
wine_prefix_init() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        "$WINE64" wineboot -i </dev/null >/dev/null 2>&1
        "$WINE64" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f </dev/null >/dev/null 2>&1
        "$WINESERVER64" -w
        # wineboot links Desktop, Documents, ... to the Unix home: make them
        # folders of the prefix, so that shortcuts made by tests and by the
        # demo stay inside it.
        find "$WINEPREFIX/drive_c/users" -type l | while read -r l; do
            rm "$l" && mkdir "$l"
        done
    fi
}

# Starts a persistent wineserver of this prefix and Wine's services, with
# every stream redirected (otherwise callers wait on them forever).
wine_start() {
    wine_prefix_init
    "$WINESERVER64" -p </dev/null >/dev/null 2>&1 &
    sleep 0.3
    "$WINE64" wineboot </dev/null >/dev/null 2>&1
}

# Ends the wineserver of this prefix and every process of it.
wine_stop() {
    "$WINESERVER64" -k </dev/null >/dev/null 2>&1 || true
}
