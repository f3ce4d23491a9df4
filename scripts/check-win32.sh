#!/bin/sh
# Checks the shipping build: setup.exe must be a 32-bit (Intel 386) PE32
# GUI program that needs no DLL beside it, only Windows' own (the C++
# runtime, libgcc, winpthread and zlib are linked in statically) and import
# nothing that the Windows 95 family lacks. The vendor tool's Windows build
# must need no extra DLL either.
# Usage: scripts/check-win32.sh [build/win32]
set -e
cd "$(dirname "$0")/.."
dir="${1:-build/win32}"
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

check setup.exe 2 "Windows GUI"
# The Windows 95 family lacks the WOW64 functions: setup.exe looks them up
# at run time, and an import of them would stop it from loading there.
for f in Wow64DisableWow64FsRedirection Wow64RevertWow64FsRedirection IsWow64Process; do
    if objdump -p "$dir/bin/setup.exe" 2>/dev/null | grep -Eq "^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+$f\$"; then
        echo "check-win32: setup.exe imports $f, which the Windows 95 family does not have" >&2
        fail=1
    fi
done
check setupkit.exe 3 "console"
[ $fail -eq 0 ] || exit 1
echo "check-win32: setup.exe is a PE32 i386 GUI program using Windows DLLs only"
