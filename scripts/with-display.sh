#!/bin/sh
# Runs a command in a virtual X display of its own, which ends with it.
# Xvfb chooses a free display number itself and reports it once it accepts
# clients (-displayfd), so tests started at the same moment never race for
# one, as they do with xvfb-run -a. A display per test keeps the keyboard
# focus of one test's windows out of another's.
# Usage: scripts/with-display.sh [-s WIDTHxHEIGHTxDEPTH] COMMAND [ARGUMENTS...]
screen=1280x1024x24
if [ "$1" = -s ]; then
    screen=$2
    shift 2
fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/display.XXXXXX") || exit 1
mkfifo "$dir/number"
# Xvfb ends with this script even when the script is killed (--pdeathsig).
setpriv --pdeathsig TERM Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$dir/number" </dev/null >"$dir/log" 2>&1 &
xvfb=$!
number=$(head -n 1 "$dir/number")
if [ -z "$number" ]; then
    wait "$xvfb"
    echo "with-display.sh: Xvfb did not start:" >&2
    cat "$dir/log" >&2
    rm -rf "$dir"
    exit 1
fi
rm -rf "$dir"
trap 'kill "$xvfb" 2>/dev/null; exit 1' HUP INT TERM
DISPLAY=:$number "$@"
rc=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $rc
