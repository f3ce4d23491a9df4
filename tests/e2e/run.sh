#!/bin/sh
# Runs one end-to-end scenario in a Wine prefix of its own:
#   E2E_BUILD=build/win32 E2E_SOURCE=. sh tests/e2e/run.sh tests/e2e/scenarios/NAME.sh
# Outside a display it starts itself under xvfb-run. Run as root, it runs
# as the unprivileged test user, as scripts/wine-ctest.sh does (in a
# virtual display of that user's own).
set -e
E2E_BUILD=$(cd "${E2E_BUILD:?}" && pwd)
E2E_SOURCE=$(cd "${E2E_SOURCE:?}" && pwd)
scenario=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
if [ "$(id -u)" -eq 0 ] && [ -n "${SETUP_TEST_USER-setuptest}" ]; then
    user=${SETUP_TEST_USER:-setuptest}
    (cd "$E2E_SOURCE" && scripts/test-user.sh "$user" "$E2E_BUILD")
    exec runuser -u "$user" -- env -u DISPLAY SETUP_TEST_USER= E2E_BUILD="$E2E_BUILD" E2E_SOURCE="$E2E_SOURCE" \
        sh "$E2E_SOURCE/tests/e2e/run.sh" "$scenario"
fi
[ -n "$DISPLAY" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" "$scenario"
. "$E2E_SOURCE/tests/e2e/lib.sh"
e2e_begin "$scenario"
. "$scenario"
wine_stop
trap - EXIT
rm -rf "$WINEPREFIX"  # hard links and registry copies; the media stay for a look
echo "scenario $NAME passed"
