#!/bin/sh
# Runs bench/cancel_latency.cpp (win32 build, through WOW64) under Wine in a virtual X
# display with the build tree's own prefix, then ends that prefix's server.
# Usage: bench/cancel_latency.sh [TRIALS] [RECORDS]
set -e
cd "$(dirname "$0")/.."
if [ -z "$SETUP_IN_XVFB" ]; then
    SETUP_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
cmake --build --preset win32 --target cancel_latency -j 2 >/dev/null
# A prefix of its own: the tests' prefix may belong to the test user.
export WINEPREFIX="$(pwd)/build/win32/bench-wineprefix"
. scripts/wine-env.sh
wine_start
rc=0
"$WINE64" build/win32/bench/cancel_latency.exe "$@" </dev/null || rc=$?
wine_stop
exit $rc
