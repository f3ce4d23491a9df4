#!/bin/sh
# The README's test command: installs what is missing, builds the three
# presets, checks the shipping executable and runs every test (the native
# unit tests with AddressSanitizer and UBSan, then the Windows tests of the
# shipping 32-bit build under Wine through WOW64 in a virtual display, as an
# unprivileged user when run as root). Prints a summary; the output of
# failed tests in full.
set -e
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh native win64 win32
scripts/check-win32.sh

summary() { # name log rc
    if [ "$3" -eq 0 ]; then
        echo "$1: $(grep -E 'tests passed' "$2" | tail -n 1)"
    else
        cat "$2"
        echo "$1: FAILED (log: $2)"
    fi
}

rc=0
ctest --preset native -j 2 >build/ctest-native.log 2>&1 || rc=$?
summary "native tests" build/ctest-native.log $rc
rc2=0
scripts/wine-ctest.sh >build/ctest-win32.log 2>&1 || rc2=$?
summary "Windows tests (32-bit, under Wine through WOW64)" build/ctest-win32.log $rc2
[ $rc -eq 0 ] && [ $rc2 -eq 0 ]
