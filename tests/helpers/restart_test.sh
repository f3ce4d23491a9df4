#!/bin/sh
# The restart at the end of the setup, in a Wine prefix of its own: Wine's
# ExitWindowsEx ends every other process of the prefix and restarts its
# services (the caller itself is spared and goes on), so it is observed
# from outside: a bystander process must end and the services must restart.
# Usage: restart_test.sh PROBE.exe MARKER.exe PREFIX
set -u
PROBE=$1
MARKER=$2
export WINEPREFIX="$3"
: "${SETUP_WINE_BUILD:?}"
. "$(dirname "$0")/../../scripts/wine-env.sh"
WINE=$WINE64
WINESERVER=$WINESERVER64
OUT=$(mktemp -d /tmp/restart-test.XXXXXX)
WOUT="Z:$(printf '%s' "$OUT" | tr / '\\')"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
cleanup() {
    "$WINESERVER" -k </dev/null >/dev/null 2>&1
    rm -rf "$OUT"
}
trap cleanup EXIT

# Unix ids of the processes of this prefix whose command line holds $1.
prefix_pids() {
    for p in /proc/[0-9]*; do
        tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
        tr '\0' ' ' 2>/dev/null <"$p/cmdline" | grep -q "$1" && echo "${p#/proc/}"
    done
}
# Waits (up to $2 tenths of a second) until the command $1 succeeds.
wait_for() {
    i=0
    while [ $i -lt "$2" ]; do
        eval "$1" && return 0
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}

wine_prefix_init
"$WINESERVER" -p </dev/null >/dev/null 2>&1 &
sleep 0.3
"$WINE" wineboot </dev/null >/dev/null 2>&1
services_before=$(prefix_pids 'services.exe' | head -1)
[ -n "$services_before" ] || fail "no services process in the prefix before the restart"

# A bystander process of the prefix, which the restart must end too.
"$WINE" "$MARKER" --stay "$WOUT\\bystander.txt" </dev/null >/dev/null 2>&1 &
bystander=$!
wait_for "[ -f '$OUT/bystander.txt' ]" 200 || fail "the bystander did not start"

# A privilege that the token does not hold: the restart gives up silently.
timeout 60 "$WINE" "$PROBE" denied "$WOUT" </dev/null >/dev/null 2>&1
[ "$(cat "$OUT/returned.txt" 2>/dev/null)" = "gave up" ] || fail "restart without the privilege did not give up: $(cat "$OUT/returned.txt" 2>/dev/null)"
sleep 0.5
kill -0 "$bystander" 2>/dev/null || fail "the bystander ended although nothing was restarted"
[ "$(prefix_pids 'services.exe' | head -1)" = "$services_before" ] || fail "the services restarted although nothing was restarted"
rm -f "$OUT/returned.txt"

# The restart: notice, privilege, ExitWindowsEx.
timeout 60 "$WINE" "$PROBE" answer "$WOUT" </dev/null >/dev/null 2>&1 &
answer=$!
timeout 60 "$WINE" "$PROBE" restart "$WOUT" </dev/null >/dev/null 2>&1
probe_rc=$?
wait "$answer"
notice=$(head -1 "$OUT/notice.txt" 2>/dev/null)
buttons=$(sed -n 2p "$OUT/notice.txt" 2>/dev/null)
[ "$notice" = "Please close all processes to avoid losing data." ] || fail "notice was '$notice'"
[ "$buttons" = "buttons: 1" ] || fail "notice box had '$buttons' (only OK = 1 expected)"
[ -f "$OUT/returned.txt" ] || echo "note: the probe itself was ended too (exit $probe_rc)"
[ "$probe_rc" -ne 124 ] || fail "the probe was still running after 60 s"
wait_for "! kill -0 $bystander 2>/dev/null" 300 || fail "the bystander process survived the restart"
wait "$bystander" 2>/dev/null
services_after=""
wait_for 'services_after=$(prefix_pids services.exe | head -1); [ -n "$services_after" ] && [ "$services_after" != "$services_before" ]' 300 ||
    fail "the prefix's services were not restarted (before $services_before, after $services_after)"

# The prefix works on after the restart.
rm -f "$OUT/bystander.txt"
timeout 60 "$WINE" "$MARKER" "$WOUT\\after.txt" </dev/null >/dev/null 2>&1
[ -f "$OUT/after.txt" ] || fail "no program could start in the prefix after the restart"

echo "restart test: exit of the probe $probe_rc, services $services_before -> $services_after, $failures failure(s)"
[ "$failures" -eq 0 ]
