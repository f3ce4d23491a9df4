#!/bin/sh
# Runs one end-to-end scenario in a Wine prefix and a virtual display of its
# own (as the unprivileged test user when run as root, like scripts/wine-ctest.sh):
#   E2E_BUILD=build/win32 E2E_SOURCE=. sh tests/e2e/run.sh tests/e2e/scenarios/NAME.sh
# The scenario finds here $C (drive C:), $PKG (the package), $WORK and helpers.
set -e
E2E_BUILD=$(cd "${E2E_BUILD:?}" && pwd)
E2E_SOURCE=$(cd "${E2E_SOURCE:?}" && pwd)
scenario=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
NAME=$(basename "$scenario" .sh) && E2E_ROOT=$E2E_BUILD/e2e
if [ "$(id -u)" -eq 0 ] && [ -n "${SETUP_TEST_USER-setuptest}" ]; then
    user=${SETUP_TEST_USER:-setuptest}
    (cd "$E2E_SOURCE" && scripts/test-user.sh "$user" "$E2E_BUILD")
    # The scenario's small drive (tests/e2e/drives.sh), unmounted however it ends.
    drives=$E2E_SOURCE/tests/e2e/drives.sh
    "$drives" mount "$E2E_BUILD" "$user" "$scenario"
    trap '"$drives" umount "$E2E_BUILD" "$user" "$scenario"' EXIT
    trap 'exit 1' HUP INT TERM
    rc=0
    runuser -u "$user" -- env -u DISPLAY SETUP_TEST_USER= E2E_BUILD="$E2E_BUILD" E2E_SOURCE="$E2E_SOURCE" \
        sh "$E2E_SOURCE/tests/e2e/run.sh" "$scenario" || rc=$?
    exit $rc
fi
# $DRIVE: the small drive a scenario asks for in its first line; without
# root to mount it (and no test command that did), the scenario is skipped.
DRIVE=
if head -n 1 "$scenario" | grep -q '^# e2e-drive '; then
    DRIVE=$E2E_ROOT/drives/$NAME
    mountpoint -q "$DRIVE" || { echo "skipped: $NAME needs a small drive, which only root can mount"; exit 77; }
fi
# A display of its own (the test command runs scenarios side by side).
[ -n "$DISPLAY" ] || exec "$E2E_SOURCE/scripts/with-display.sh" sh "$0" "$scenario"
SETUP_WINE_BUILD=$E2E_BUILD
. "$E2E_SOURCE/scripts/wine-env.sh"
SETUPKIT=$E2E_BUILD/../native/bin/setupkit

# A file with given content and last-write time (even seconds, as archives and
# packs hold MS-DOS times); mkbin: n bytes from a seed that do not compress.
mkf() { mkdir -p "$(dirname "$1")" && printf '%s' "${3:-}" >"$1" && touch -d "$2" "$1"; } # PATH TIME [CONTENT]
mkbin() { # PATH TIME BYTES SEED
    mkf "$1" "$2" && perl -e 'srand($ARGV[1]); print map { chr(int(rand(256))) } 1..$ARGV[0]' "$3" "$4" >"$1" &&
        touch -d "$2" "$1"
}

# The standard package: the program (the marker, which records how it was
# started), the files of package.list, a read-only, an empty and a left-over
# file, and a data folder of small files.
e2e_package() {
    mkdir -p "$PKG/bin"
    cp "$E2E_BUILD/helpers/marker.exe" "$PKG/bin/Morlan.exe"
    touch -d "2024-03-04 10:20:30" "$PKG/bin/Morlan.exe"
    while read -r f t n seed; do mkbin "$PKG/$f" "$t" "$n" "$seed"; done <"$E2E_SOURCE/tests/data/e2e/package.list"
    mkf "$PKG/bin/readme.txt" "2020-02-29 06:07:08" "Read me first. This file is read-only."
    chmod a-w "$PKG/bin/readme.txt"
    mkf "$PKG/bin/empty.dat" "2019-12-31 23:59:58"
    mkf "$PKG/bin/old.tmp" "2018-01-01 00:00:00" "left from the build, deleted after copying"
    for i in $(seq 0 39); do
        mkf "$PKG/data/a/item$i.txt" "$((2024 - i % 30))-$((i % 12 + 1))-$((i % 28 + 1)) $((i % 24)):$((i % 60)):$((i % 30 * 2))" \
            "item $i of folder a"
        mkf "$PKG/data/b/rec$i.bin" "$((2018 + i % 6))-$((i * 5 % 12 + 1))-$((i % 27 + 1)) 12:30:58" "$(seq -s, "$i")"
    done
    mkf "$PKG/data/top.txt" "2024-05-05 05:05:06" "data root file"
}

# A configuration from tests/data/e2e with CR LF, as the vendor's editor writes.
e2e_ini() { sed "s/\$/\r/; s/@TYPE@/${3:-}/" "$E2E_SOURCE/tests/data/e2e/$1" >"$2"; } # NAME FILE [TYPE]

# setup.exe on the first disk folder; drive A: shows it.
e2e_medium() {
    cp "$E2E_BUILD/bin/setup.exe" "$1/setup.exe"
    ln -sfn "$1" "$WINEPREFIX/dosdevices/a:"
}

# The standard package on two disks ($WORK/disk1, disk2) made with Info-ZIP:
# one archive a file, the data folder as a pack file in one. TYPE is
# [Programmer] Type. Also $WORK/expected, the tree an installation must leave.
e2e_standard_medium() { # TYPE [library of the chosen language: English or German]
    e2e_package
    mkdir -p "$WORK/disk1" "$WORK/disk2" "$WORK/data"
    "$SETUPKIT" pack -q "$WORK/data/data.pak" "$PKG/data" 2>/dev/null
    touch -d "2024-08-01 09:00:00" "$WORK/data/data.pak"
    printf '%s\n' 1:Morlan:bin/Morlan.exe 1:English:bin/English.dll 1:German:bin/German.dll 1:Kr3nt:bin/Kr3nt.sys \
        1:icon:bin/morlan.ico 1:usbsys:bin/UsbDrv.sys 1:usbinf:bin/UsbDrv.inf 1:readme:bin/readme.txt \
        1:empty:bin/empty.dat 1:old:bin/old.tmp 2:manual:doc/manual.pdf 2:data:data/data.pak |
        while IFS=: read -r disk name file; do
            [ -e "$PKG/$file" ] && src=$PKG/$file || src=$WORK/$file
            zip -q -X -j "$WORK/disk$disk/$name.zip" "$src"  # one entry, named like the file
        done
    e2e_ini standard.ini "$WORK/disk1/morlan.ini" "$1"
    touch -d "2024-09-09 09:09:10" "$WORK/disk1/morlan.ini"
    e2e_expected "$WORK/disk1/morlan.ini" "${2:-English}"
    e2e_medium "$WORK/disk1"
    chmod -R a-w "$WORK/disk1" "$WORK/disk2"
}

# The standard package with a 3 MB file that does not compress (doc\big.bin)
# on one disk made by `setupkit build`; $WORK/expected. $BIG: its archive.
e2e_big_medium() {
    e2e_package
    mkbin "$PKG/doc/big.bin" "2024-07-15 15:15:16" 3145728 9
    e2e_ini package.ini "$WORK/package.ini"
    "$SETUPKIT" build -q "$WORK/package.ini" "$WORK/medium"
    BIG=$(basename "$(ls -S "$WORK/medium/disk1"/*.zip | head -n 1)")
    e2e_medium "$WORK/medium/disk1"
    e2e_expected "$WORK/medium/disk1/morlan.ini" English
    chmod -R a-w "$WORK/medium"
}

# $WORK/expected: the package less the file deleted after copying, with the
# configuration and the chosen language's library under its fixed name.
e2e_expected() { # INI LANGUAGE
    cp -a "$PKG" "$WORK/expected"
    rm "$WORK/expected/bin/old.tmp"
    cp -p "$PKG/bin/$2.dll" "$WORK/expected/bin/Language.dll"
    cp -p "$1" "$WORK/expected/morlan.ini"
    chmod u+w "$WORK/expected/morlan.ini"
}

# The tree below Unix folder GOT has the files of WANT with their bytes,
# last-write times and read-only state, and nothing else.
e2e_tree() { # GOT WANT
    for d in "$1" "$2"; do
        (cd "$d" && find . -mindepth 1 -type d -printf '%P/\n' -o -printf '%P %s %T@ ' \
            \( -perm -u=w -printf 'w\n' -o -printf 'r\n' \)) | sort >"$d.list"
    done
    diff "$2.list" "$1.list" && diff -r "$2" "$1" && echo "tree $1: $(wc -l <"$2.list") entries equal"
}

# The copies of NAME (any case) below the Windows folder, seen from outside
# Wine (32-bit programs are shown syswow64 for system32): only PATH (none: no
# copy), with REFERENCE's bytes.
e2e_windows_file() { # NAME [REFERENCE PATH]
    found=$(cd "$C/windows" && find . -iname "$1" | sed 's|^\./||')
    [ "$found" = "${3:-}" ] || { echo "FAILED: $1 is at [$found]"; return 1; }
    [ -z "$found" ] || cmp "$C/windows/$3" "$2"
}

# Driver lines: the plain walk through the wizard (the default folder or the
# one typed, first language, both shortcuts, the agreement accepted); the
# prompts for disks 2 to N, answered by inserting $WORK/PREFIXn.
e2e_walk_wizard() { # [FOLDER]
    echo "start; page welcome; click 12324; page destination; ${1:+type 1000 $1;} click 12324; page language;" \
        "click 12324; page agreement; click 1020; expect 12325 enabled; click 12325; progress"
}
e2e_swaps() { # N PREFIX
    for i in $(seq 2 "$1"); do echo "diskprompt #$i A 60000; disk $WORK/$2$i; click 1"; done
}

# The small drive as drive D:, emptied, with a filler that leaves BYTES free.
e2e_small_drive() { # BYTES
    find "$DRIVE" -mindepth 1 -delete
    ln -sfn "$DRIVE" "$WINEPREFIX/dosdevices/d:"
    head -c $(($(df -B1 --output=avail "$DRIVE" | tail -n 1) - $1)) /dev/zero >"$DRIVE/filler"
}
# A Unix path as Wine's Z: drive shows it.
e2e_winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

e2e_drive() {
    cat >"$WORK/scenario.txt"
    SETUP_SCREENSHOTS=$E2E_SHOTS "$WINE64" "$E2E_BUILD/bin/e2edriver.exe" \
        "$(e2e_winpath "$WORK/scenario.txt")" </dev/null | tee "$WORK/driver.log"
    grep -q '^passed: ' "$WORK/driver.log"  # the driver's status, not tee's
}

# Every scenario gets a copy of the build tree's pristine prefix whose files
# are hard links (the setup only adds files or replaces them by new ones, so
# the pristine prefix stays untouched) and whose registry is a copy.
WORK=$E2E_ROOT/$NAME PKG=$E2E_ROOT/$NAME/package
mkdir -p "$E2E_ROOT"
wine_pristine
TEMPLATE=$WINE_PRISTINE
export WINEPREFIX=$WORK/prefix
chmod -R u+w "$WORK" 2>/dev/null || true
wine_remove_prefix  # an earlier run's
rm -rf "$WORK"
mkdir -p "$WINEPREFIX/dosdevices"
C=$WINEPREFIX/drive_c
cp -al "$TEMPLATE/drive_c" "$C"
cp "$TEMPLATE"/*.reg "$TEMPLATE/.update-timestamp" "$WINEPREFIX/"
ln -s ../drive_c "$WINEPREFIX/dosdevices/c:"
ln -s / "$WINEPREFIX/dosdevices/z:"
# 64-bit Windows has a drivers folder in its 32-bit system folder too:
# a copy redirected there would succeed and go unnoticed by the setup.
mkdir -p "$C/windows/syswow64/drivers"
trap wine_stop EXIT  # also when the start fails half-way
wine_start
echo "scenario $NAME in $WORK"
. "$scenario"
trap - EXIT
wine_remove_prefix  # hard links and registry copies; the media stay for a look
echo "scenario $NAME passed"
