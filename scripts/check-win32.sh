#!/bin/sh
# Checks the shipping build: setup.exe must be a 32-bit (Intel 386) PE32
# GUI program that needs no DLL beside it, only Windows' own (the C++
# runtime, libgcc and zlib are linked in statically), must import only
# functions that Windows 98 and NT 4.0 already have (scripts/win32-imports.txt),
# must fit in 240 KiB, and a floppy medium of the demo package built with it
# must pass the vendor tool's check. The vendor tool's Windows build must
# need no extra DLL either.
# Usage: scripts/check-win32.sh [build/win32]
# SETUPKIT names the vendor tool that builds the floppy medium
# (default build/native/bin/setupkit; the demo package takes its programs
# from build/win64).
set -e
cd "$(dirname "$0")/.."
dir="${1:-build/win32}"
setupkit="${SETUPKIT:-build/native/bin/setupkit}"
max_size=245760
# Windows' own DLLs, lower case.
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comctl32.dll comdlg32.dll msvcrt.dll version.dll shlwapi.dll setupapi.dll "
fail=0

check() { # file subsystem-number subsystem-name
    exe="$dir/bin/$1"
    if [ ! -f "$exe" ]; then
        echo "check-win32: $exe is missing" >&2
        fail=1
        return
    fi
    dump=$(objdump -p "$exe")
    echo "$dump" | grep -q 'file format pei-i386' || { echo "check-win32: $1 is not an Intel 386 PE file" >&2; fail=1; }
    echo "$dump" | grep -Eq '^Magic[[:space:]]+010b' || { echo "check-win32: $1 is not PE32" >&2; fail=1; }
    echo "$dump" | grep -Eq "^Subsystem[[:space:]]+0000000$2" || { echo "check-win32: $1 is not a $3 program" >&2; fail=1; }
    for dll in $(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
        case "$allowed" in
        *" $dll "*) ;;
        *) echo "check-win32: $1 needs $dll, which Windows does not have" >&2; fail=1 ;;
        esac
    done
}

# Every function setup.exe imports by name, looked up in the list: it must
# be there, in the Windows 95 family by Windows 98 and in the NT family by
# NT 4.0. An import by ordinal alone cannot be checked and fails too.
check_imports() {
    objdump -p "$dir/bin/setup.exe" | awk -v list=scripts/win32-imports.txt '
        BEGIN {
            while ((getline line < list) > 0) {
                if (line ~ /^[[:space:]]*(#|$)/) continue
                split(line, f)
                key = tolower(f[1]) " " f[2]
                win9x[key] = f[3]; nt[key] = f[4]
            }
        }
        /DLL Name:/ { dll = tolower($3); next }
        /^[[:space:]]*$/ { dll = ""; next }
        dll != "" && /^\t[0-9a-f]+\t/ {
            name = $3
            if (name == "" || name ~ /^<none>$/) { print "check-win32: setup.exe imports from " dll " by ordinal " $2 > "/dev/stderr"; bad = 1; next }
            key = dll " " name
            if (!(key in nt)) { print "check-win32: setup.exe imports " dll " " name ", which is not in " list > "/dev/stderr"; bad = 1; next }
            if (win9x[key] !~ /^(95|98|95stub)$/ || nt[key] !~ /^(3\.1|3\.5|3\.51|4\.0)$/) {
                w = win9x[key] == "-" ? "none" : win9x[key]
                print "check-win32: setup.exe imports " dll " " name ", which Windows 98 or NT 4.0 lacks (95 family: " w ", NT family: " nt[key] ")" > "/dev/stderr"; bad = 1
            }
            count++
        }
        END { if (count == 0) { print "check-win32: no imports read from setup.exe" > "/dev/stderr"; bad = 1 } exit bad }
    ' || fail=1
}

check_size() {
    size=$(stat -c %s "$dir/bin/setup.exe")
    if [ "$size" -gt $max_size ]; then
        echo "check-win32: setup.exe has $size bytes, more than $max_size" >&2
        fail=1
    fi
}

# The demo package on 1.44 MB floppies, setup.exe on the first.
check_floppy() {
    out="$dir/floppy-check"
    rm -rf "$out"
    if ! "$setupkit" build examples/demo "$out" --disk-size floppy --setup "$dir/bin/setup.exe" -q ||
        ! "$setupkit" check "$out" >"$dir/floppy-check.log" 2>&1; then
        cat "$dir/floppy-check.log" 2>/dev/null >&2 || true
        echo "check-win32: the demo package's floppy medium with setup.exe failed to build or to pass check" >&2
        fail=1
    fi
}

check setup.exe 2 "Windows GUI"
check setupkit.exe 3 "console"
if [ -f "$dir/bin/setup.exe" ]; then
    check_imports
    check_size
    check_floppy
fi
[ $fail -eq 0 ] || exit 1
echo "check-win32: setup.exe is a PE32 i386 GUI program of $size bytes using Windows DLLs only and functions that Windows 98 and NT 4.0 have; its floppy medium passes check"
