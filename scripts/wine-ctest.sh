#!/bin/sh
# Runs the win64 build's tests under Wine, inside a virtual X display, with a
# wineserver of the build's own prefix that is ended afterwards.
# Usage: scripts/wine-ctest.sh [ctest arguments...]
set -e
cd "$(dirname "$0")/.."
if [ -z "$SETUP_IN_XVFB" ]; then
    SETUP_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
. scripts/wine-env.sh
wine_start
rc=0
ctest --preset win64 "$@" || rc=$?
wine_stop
exit $rc
