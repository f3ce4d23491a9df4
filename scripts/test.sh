#!/bin/sh
# The README's test command: installs what is missing, builds the three
# presets, checks the shipping executable and runs every test: the native
# unit tests (with the sanitizers), then the Windows tests under Wine
# (scripts/wine-ctest.sh). Prints a summary; the output of failed tests in full.
set -e
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh native win64 win32
scripts/check-win32.sh

run() { # NAME LOG COMMAND...
    name=$1 log=$2
    shift 2
    if "$@" >"$log" 2>&1; then
        echo "$name: $(grep -E 'tests passed' "$log" | tail -n 1)"
    else
        cat "$log"
        echo "$name: FAILED (log: $log)"
        return 1
    fi
}

rc=0
run "native tests" build/ctest-native.log ctest --preset native -j 2 || rc=1
run "Windows tests (32-bit, under Wine through WOW64)" build/ctest-win32.log scripts/wine-ctest.sh || rc=1
exit $rc
