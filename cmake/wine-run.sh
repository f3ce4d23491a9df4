#!/bin/sh
# Runs a Windows test program under Wine in the build tree's own prefix.
# CTest uses this as the cross-compiling emulator of the win64 build.
: "${WINEPREFIX:=$(cd "$(dirname "$0")/.." && pwd)/build/win64/wineprefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec /usr/lib/wine/wine64 "$@"
