#!/bin/sh
# Benchmark, run by hand: one generated package (about 40 MB in 90 files)
# installed by our setup.exe from a `setupkit build` medium, walked through
# the wizard by e2edriver.exe, and by an NSIS installer (makensis, zlib,
# File /r), one after the other in one fresh Wine prefix (32-bit programs
# through WOW64, as the tests run them). Prints a table row: the user's wait,
# ours without the setup's fixed pauses, the installers' sizes, and whether
# both installed trees equal the package byte for byte with file times.
#   bench/install_vs_nsis.sh [SIZE_MB] [FILES]          (default 40 90)
# Needs: a win32 build tree with setup.exe, e2edriver.exe and wow64/wine
# (SETUP_WINE_BUILD, default build/win32; may be another worktree's, which is
# only read), the native setupkit (SETUPKIT, default beside it in
# ../native/bin), and makensis (`apt-get install -y nsis`: not part of
# scripts/bootstrap.sh). Everything it writes is in build/bench-nsis of this
# tree, its Wine prefix included. Runs Wine as the user who starts it (root
# is fine: no permission matters here).
set -e
cd "$(dirname "$0")/.."
SRC=$(pwd)
SIZE=${1:-40} FILES=${2:-90}
: "${SETUP_WINE_BUILD:=$SRC/build/win32}"
SETUP_WINE_BUILD=$(cd "$SETUP_WINE_BUILD" && pwd)
: "${SETUPKIT:=$SETUP_WINE_BUILD/../native/bin/setupkit}"
B=$SRC/build/bench-nsis
command -v makensis >/dev/null || { echo "makensis missing: apt-get install -y nsis"; exit 2; }
for f in "$SETUP_WINE_BUILD/bin/setup.exe" "$SETUP_WINE_BUILD/bin/e2edriver.exe" "$SETUPKIT"; do
    [ -x "$f" ] || [ -f "$f" ] || { echo "missing: $f"; exit 2; }
done
# A window needs a display: one of its own, which ends with the script.
if [ -z "$DISPLAY" ]; then
    exec "$SRC/scripts/with-display.sh" sh "$SRC/bench/install_vs_nsis.sh" "$@"
fi
now() { python3 -c 'import time; print("%.3f" % time.monotonic())'; }
sub() { python3 -c "print('%.2f' % ($1))"; }

# The package, with even-second file times (archives hold MS-DOS times, NSIS
# keeps FILETIMEs: both can then be exact), and the medium.
rm -rf "$B/pkg" "$B/medium" "$B/nsis"
mkdir -p "$B/nsis"
python3 bench/make_package.py "$B/pkg" "$SIZE" "$FILES"
(cd "$B/pkg/files" && find . -type f | sort | awk '{ printf "%d %s\n", 1717171716 + 2 * NR * 3607, $0 }') |
    while read -r t f; do touch -d "@$t" "$B/pkg/files/$f"; done
"$SETUPKIT" build "$B/pkg" "$B/medium" --setup "$SETUP_WINE_BUILD/bin/setup.exe" | tee "$B/build.log"
archives=$(ls "$B/medium"/disk*/*.zip | wc -l)
pause=$((archives + 2))  # 1 s after every archive, 2 s after the last
grep -q "waits $pause s" "$B/build.log" || { echo "setupkit tells another fixed wait than $pause s"; exit 1; }
ours_size=$(du -cb "$B/medium"/disk*/* | tail -n 1 | cut -f1)

# The NSIS installer of the same files.
cat >"$B/nsis/bench.nsi" <<EOF
Name "Bench Programmer"
OutFile "$B/nsis/installer.exe"
SetCompressor zlib
InstallDir "C:\\NsisPages"
RequestExecutionLevel user
AutoCloseWindow true
Page directory
Page instfiles
Section
SetOutPath "\$INSTDIR"
File /r "$B/pkg/files/*"
SectionEnd
EOF
makensis -V2 "$B/nsis/bench.nsi"
nsis_size=$(stat -c %s "$B/nsis/installer.exe")

# The prefix, as the tests make theirs; Wine's home below $B.
export WINEPREFIX=$B/prefix
. "$SRC/scripts/wine-env.sh"
export HOME=$B/home
export XDG_CACHE_HOME=$HOME/.cache XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
mkdir -p "$HOME"
wine_remove_prefix
wine_prefix_init
ln -sfn "$B/medium/disk1" "$WINEPREFIX/dosdevices/a:"
C=$WINEPREFIX/drive_c
wine_start
trap wine_stop EXIT
trap 'exit 1' HUP INT TERM

# Ours: the driver walks the wizard with the defaults (C:\Bench, English,
# agreement accepted), then the last page's Finish without restarting.
# Each "echo T" line is stamped when it arrives here.
cat >"$B/scenario.txt" <<'EOF'
echo T start
start; page welcome; click 12324; page destination; click 12324; page language; click 12324; page agreement; click 1020; expect 12325 enabled; click 12325; progress 60000
echo T progress
gone 600000
echo T gone
page restart 60000; click 1018; click 12325; ended 60000
echo T ended
EOF
# A rough profile from outside: the pack and the tree below C:\Bench.
python3 bench/install_profile.py watch "$C/Bench" "$B/watch.log" &
watcher=$!
trap 'kill $watcher 2>/dev/null; wine_stop' EXIT
# drive SCENARIO LOG: the driver runs SCENARIO, every line it prints stamped
# when it arrives, into LOG (and shown); fails unless the driver passed. Each
# installation starts with no writes pending: none pays for the writing back
# of what was made before it (the package, another's tree).
drive() {
    sync
    "$WINE64" "$SETUP_WINE_BUILD/bin/e2edriver.exe" "$(printf 'Z:%s' "$1" | tr / '\\')" </dev/null |
        python3 -c '
import sys, time
for line in sys.stdin:
    sys.stdout.write("%.3f %s\n" % (time.monotonic(), line.rstrip("\r\n"))); sys.stdout.flush()' | tee "$2"
    grep -q ' passed: ' "$2" || { echo "the driver failed on $1"; return 1; }
}
stamp() { awk -v w="$2" '$2 == "T" && $3 == w { print $1 }' "$1"; } # LOG WORD
drive "$B/scenario.txt" "$B/driver.log"
kill $watcher
trap wine_stop EXIT
o_start=$(stamp "$B/driver.log" start) o_prog=$(stamp "$B/driver.log" progress)
o_gone=$(stamp "$B/driver.log" gone) o_end=$(stamp "$B/driver.log" ended)

# NSIS: silent, into C:\NsisOut; the process ends when the tree is complete.
cp "$B/nsis/installer.exe" "$C/installer.exe"
sync  # as drive does
n0=$(now)
"$WINE64" 'C:\installer.exe' /S '/D=C:\NsisOut' </dev/null
n1=$(now)

# NSIS once more as a user meets it, through its own pages, walked by the
# same driver: the folder page's Install, then its progress page, which
# closes by itself at the end (into C:\NsisPages).
cat >"$B/nsis-pages.txt" <<'EOF'
echo T start
start C:\installer.exe; window "Bench Programmer Setup: Installation Folder" 60000; click 1; ended 600000
echo T ended
EOF
drive "$B/nsis-pages.txt" "$B/nsis-pages.log" >/dev/null || { cat "$B/nsis-pages.log"; exit 1; }
p_start=$(stamp "$B/nsis-pages.log" start) p_end=$(stamp "$B/nsis-pages.log" ended)
wine_stop
trap - EXIT

# The trees: every package file with its bytes and last-write time; ours adds
# only its configuration (morlan.ini) and the chosen language's library.
tree() { # DIR: "path size mtime" of every file
    (cd "$1" && find . -type f -printf '%P %s %T@\n' | sort)
}
tree "$B/pkg/files" >"$B/want.list"
check() { # DIR NAME [EXTRA...]
    d=$1 n=$2
    shift 2
    tree "$d" >"$B/$n.list"
    for e in "$@"; do grep -v "^$e " "$B/$n.list" >"$B/$n.tmp" && mv "$B/$n.tmp" "$B/$n.list"; done
    if diff "$B/want.list" "$B/$n.list" >"$B/$n.diff" && diff -r "$B/pkg/files" "$d" -x morlan.ini -x Lang.dll \
        >>"$B/$n.diff"; then
        echo "yes ($(wc -l <"$B/want.list") files)"
    else
        echo "NO (see $B/$n.diff)"
    fi
}
ours_ok=$(check "$C/Bench" ours morlan.ini bin/Lang.dll)
nsis_ok=$(check "$C/NsisOut" nsis)
pages_ok=$(check "$C/NsisPages" nsis-pages)

wait_ours=$(sub "$o_end - $o_start") copy_ours=$(sub "$o_gone - $o_prog")
net_ours=$(sub "$o_end - $o_start - $pause") netcopy_ours=$(sub "$o_gone - $o_prog - $pause")
wait_nsis=$(sub "$n1 - $n0") wait_pages=$(sub "$p_end - $p_start")
echo
echo "| payload | our wait s | NSIS wait s | ratio | ours less ${pause} s pauses | ratio | our copy phase s (less pauses) | setup.exe + medium | NSIS installer | our tree exact | NSIS tree exact |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
echo "| $(du -sb "$B/pkg/files" | cut -f1 | awk '{ printf "%.1f MB", $1 / 1048576 }'), $(wc -l <"$B/want.list") files," \
    "$archives archive | $wait_ours | $wait_nsis | $(sub "$wait_ours / $wait_nsis") | $net_ours |" \
    "$(sub "$net_ours / $wait_nsis") | $copy_ours ($netcopy_ours) |" \
    "$(awk -v b="$ours_size" 'BEGIN { printf "%.2f MB", b / 1048576 }') |" \
    "$(awk -v b="$nsis_size" 'BEGIN { printf "%.2f MB", b / 1048576 }') | $ours_ok | $nsis_ok |"
echo "NSIS through its folder and progress pages, walked by the driver: $wait_pages s (tree exact: $pages_ok);" \
    "ours less pauses $(sub "$net_ours / $wait_pages") times that"
python3 bench/install_profile.py report "$B/watch.log" "$o_prog" "$o_gone" "$pause"
