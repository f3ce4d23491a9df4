#!/bin/sh
# Runs a Windows program of a build tree under Wine in that tree's own
# prefix; CTest uses this as the cross-compiling emulator of the Windows
# builds. Usage: wine-run.sh BUILD_DIR PROGRAM [ARGUMENTS...]
SETUP_WINE_BUILD=$1
shift
. "$(dirname "$0")/../scripts/wine-env.sh"
exec "$WINE64" "$@"
