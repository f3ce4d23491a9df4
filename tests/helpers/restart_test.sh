#!/bin/sh
# The restart at the end of the setup, in a Wine prefix of its own: Wine's
# ExitWindowsEx ends every other process of the prefix (a bystander) and
# restarts its services; without the privilege nothing happens.
# Usage: restart_test.sh PROBE.exe MARKER.exe PREFIX
set -u
PROBE=$1 MARKER=$2
# A display of its own, as the end-to-end scenarios have, beside which it runs.
[ -n "${DISPLAY-}" ] || exec "$(dirname "$0")/../../scripts/with-display.sh" sh "$0" "$@"
export WINEPREFIX="$3"
. "$(dirname "$0")/../../scripts/wine-env.sh"
OUT=$(mktemp -d /tmp/restart-test.XXXXXX)
WOUT="Z:$(printf '%s' "$OUT" | tr / '\\')"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
trap 'wine_stop; rm -rf "$OUT"' EXIT
wine() { timeout 60 "$WINE64" "$@" </dev/null >/dev/null 2>&1; }
services() { # the Unix id of the services process of this prefix
    for p in $(pgrep -f services.exe); do
        grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$p/environ" 2>/dev/null && echo "$p" && return
    done
}
# Waits up to 30 s until the command $1 succeeds.
wait_for() { end=$(($(date +%s) + 30)); until eval "$1"; do [ "$(date +%s)" -lt $end ] || return 1; sleep 0.1; done; }

wine_start
before=$(services)
[ -n "$before" ] || fail "no services process in the prefix before the restart"
"$WINE64" "$MARKER" --stay "$WOUT\\bystander.txt" </dev/null >/dev/null 2>&1 &
bystander=$!
wait_for "[ -f '$OUT/bystander.txt' ]" || fail "the bystander did not start"

# A privilege that the token does not hold: the restart gives up silently.
wine "$PROBE" denied "$WOUT"
[ "$(cat "$OUT/returned.txt" 2>/dev/null)" = "gave up" ] || fail "restart without the privilege did not give up"
sleep 0.5
kill -0 "$bystander" 2>/dev/null || fail "the bystander ended although nothing was restarted"
[ "$(services)" = "$before" ] || fail "the services restarted although nothing was restarted"

# The restart: the notice, the privilege, ExitWindowsEx.
wine "$PROBE" answer "$WOUT" &
wine "$PROBE" restart "$WOUT"
probe_rc=$?
wait $!
[ "$(cat "$OUT/notice.txt" 2>/dev/null)" = "Please close all processes to avoid losing data." ] ||
    fail "notice was '$(cat "$OUT/notice.txt")'"
[ "$probe_rc" -ne 124 ] || fail "the probe was still running after 60 s"
wait_for "! kill -0 $bystander 2>/dev/null" || fail "the bystander process survived the restart"
wait_for "[ -n \"\$(services)\" ] && [ \"\$(services)\" != $before ]" ||
    fail "the prefix's services were not restarted (before $before, after $(services))"
echo "restart test: exit of the probe $probe_rc, services $before -> $(services), $failures failure(s)"
[ "$failures" -eq 0 ]
