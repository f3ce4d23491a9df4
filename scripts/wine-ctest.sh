#!/bin/sh
# Runs the Windows tests of build/win32 under Wine in a virtual X display with
# the build's own prefix. Run as root, as the unprivileged user SETUP_TEST_USER
# (default setuptest; empty: root), since Wine run as root ignores read-only
# files and permissions. Usage: scripts/wine-ctest.sh [ctest arguments...]
set -e
cd "$(dirname "$0")/.."
build=$(pwd)/build/win32
if [ "$(id -u)" -eq 0 ] && [ -n "${SETUP_TEST_USER-setuptest}" ]; then
    user=${SETUP_TEST_USER:-setuptest}
    scripts/test-user.sh "$user" "$build"
    # The small drives of the end-to-end scenarios need root to mount.
    tests/e2e/drives.sh mount "$build" "$user"
    trap 'tests/e2e/drives.sh umount "$build" "$user"' EXIT
    trap 'exit 1' HUP INT TERM
    rc=0
    runuser -u "$user" -- env SETUP_TEST_USER= "$0" "$@" || rc=$?
    exit $rc
fi
[ -n "$SETUP_IN_XVFB" ] || SETUP_IN_XVFB=1 exec scripts/with-display.sh "$0" "$@"
SETUP_WINE_BUILD=$build
. scripts/wine-env.sh
wine_start
rc=0
# Four at a time: the tests of the build's prefix one after another, the
# end-to-end scenarios beside them (they mostly wait on the setup's pauses).
ctest --preset win32 -j "${SETUP_WINE_JOBS:-4}" "$@" || rc=$?
wine_stop
exit $rc
