# Shell side of the end-to-end scenarios (sourced by run.sh): a Wine prefix
# of the scenario's own, the test package ($PKG), media built from it in the
# scenario's folder ($WORK), and the driver run (e2e_drive, the scenario's
# commands on stdin; winpath gives a Unix path as the setup sees it).
set -e

: "${E2E_BUILD:?}" "${E2E_SOURCE:?}"
# Wine as the build tree's tests run it (a 32-bit build through WOW64).
SETUP_WINE_BUILD=$E2E_BUILD
. "$E2E_SOURCE/scripts/wine-env.sh"
E2E_ROOT=$E2E_BUILD/e2e
TEMPLATE=$E2E_ROOT/template-prefix

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# One prefix made with wineboot per build tree; every scenario gets a copy
# whose files are hard links (a prefix is 700 MB; the setup only adds files
# or replaces them by new ones, so the template stays untouched) and whose
# registry is a real copy.
e2e_template() {
    mkdir -p "$E2E_ROOT"
    (
        flock 8
        if [ ! -f "$TEMPLATE/.e2e-template-2" ]; then
            rm -rf "$TEMPLATE"
            mkdir -p "$TEMPLATE"
            WINEPREFIX=$TEMPLATE "$WINE64" wineboot -i </dev/null >/dev/null 2>&1
            # Without a window manager Wine then draws title bars itself and
            # windows close at once.
            WINEPREFIX=$TEMPLATE "$WINE64" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f \
                </dev/null >/dev/null 2>&1
            WINEPREFIX=$TEMPLATE "$WINESERVER64" -k </dev/null >/dev/null 2>&1 || true
            WINEPREFIX=$TEMPLATE "$WINESERVER64" -w </dev/null >/dev/null 2>&1 || true
            # wineboot links Desktop, Documents, ... to the Unix home: make
            # them folders of the prefix, so that shortcuts stay inside it.
            find "$TEMPLATE/drive_c/users" -type l | while read -r l; do
                rm "$l" && mkdir "$l"
            done
            touch "$TEMPLATE/.e2e-template-2"
        fi
    ) 8>"$E2E_ROOT/template.lock"
}

e2e_begin() {
    NAME=$(basename "$1" .sh)
    WORK=$E2E_ROOT/$NAME
    PKG=$WORK/package
    SETUPKIT=$E2E_BUILD/../native/bin/setupkit
    e2e_template
    export WINEPREFIX=$WORK/prefix
    e2e_stop_server
    chmod -R u+w "$WORK" 2>/dev/null || true
    rm -rf "$WORK"
    mkdir -p "$WORK"
    mkdir -p "$WINEPREFIX/dosdevices"
    cp -al "$TEMPLATE/drive_c" "$WINEPREFIX/drive_c"
    cp "$TEMPLATE"/*.reg "$TEMPLATE/.update-timestamp" "$WINEPREFIX/"
    ln -s ../drive_c "$WINEPREFIX/dosdevices/c:"
    ln -s / "$WINEPREFIX/dosdevices/z:"
    # 64-bit Windows has a drivers folder in its 32-bit system folder too:
    # a copy redirected there would succeed and go unnoticed by the setup.
    mkdir -p "$WINEPREFIX/drive_c/windows/syswow64/drivers"
    # A persistent server and Wine's services, every stream redirected:
    # otherwise CTest waits on them.
    "$WINESERVER64" -p </dev/null >/dev/null 2>&1 &
    sleep 0.2
    "$WINE64" wineboot </dev/null >/dev/null 2>&1
    trap 'e2e_stop_server' EXIT
    echo "scenario $NAME in $WORK"
}

e2e_stop_server() {
    if [ -n "$WINEPREFIX" ] && [ -d "$WINEPREFIX" ]; then
        "$WINESERVER64" -k </dev/null >/dev/null 2>&1 || true
    fi
}

e2e_end() {
    e2e_stop_server
    trap - EXIT
    # The prefix is only hard links and registry copies: drop it; keep the
    # package and media for a look after a failure of a later run.
    rm -rf "$WINEPREFIX"
}

# --------------------------------------------------------------- package

# A file with given content and last-write time (times at even seconds: the
# archives and packs hold MS-DOS times).
mkf() { # path time content...
    p=$1 t=$2
    shift 2
    mkdir -p "$(dirname "$p")"
    printf '%s' "$*" >"$p"
    touch -d "$t" "$p"
}

# Binary content of n bytes from a seed (deterministic, not compressible).
mkbin() { # path time bytes seed
    mkdir -p "$(dirname "$1")"
    perl -e 'srand($ARGV[1]); print join "", map { chr(int(rand(256))) } 1..$ARGV[0]' "$3" "$4" >"$1"
    touch -d "$2" "$1"
}

# The standard package: the program (a test program that records how it was
# started), two language libraries, the kernel driver, USB driver files, an
# icon, a read-only file, an empty file, a file to delete after copying, and
# a data folder of many small files that travels as a pack file.
e2e_package() {
    rm -rf "$PKG"
    mkdir -p "$PKG/bin" "$PKG/doc" "$PKG/data/a" "$PKG/data/b"
    cp "$E2E_BUILD/helpers/marker.exe" "$PKG/bin/Morlan.exe"
    touch -d "2024-03-04 10:20:30" "$PKG/bin/Morlan.exe"
    while read -r f t n seed; do mkbin "$PKG/$f" "$t" "$n" "$seed"; done <<LIST
bin/English.dll 2023-11-05T08:00:00 3000 1
bin/German.dll 2023-11-05T08:00:02 3100 2
bin/Kr3nt.sys 2022-01-31T23:59:58 5000 3
bin/morlan.ico 2021-06-15T12:00:00 766 4
bin/UsbDrv.sys 2022-02-01T01:02:04 2048 5
bin/UsbDrv.inf 2022-02-01T01:02:06 900 6
doc/manual.pdf 2024-07-14T14:14:14 40000 7
LIST
    mkf "$PKG/bin/readme.txt" "2020-02-29 06:07:08" "Read me first. This file is read-only."
    chmod a-w "$PKG/bin/readme.txt"
    : >"$PKG/bin/empty.dat"
    touch -d "2019-12-31 23:59:58" "$PKG/bin/empty.dat"
    mkf "$PKG/bin/old.tmp" "2018-01-01 00:00:00" "left from the build, deleted after copying"
    # Small files whose times spread over years, days and seconds.
    perl -MPOSIX=mktime -e '
        for my $i (0 .. 39) {
            for (["a/item$i.txt", "item $i of folder a", 124, $i % 12, $i % 28 + 1, $i % 24, $i % 60, $i % 30 * 2],
                 ["b/rec$i.bin", "$i" x ($i % 50), 118 + $i % 6, ($i * 5) % 12, $i % 27 + 1, 12, 30, 58]) {
                my ($name, $data, $y, $mon, $d, $h, $m, $sec) = @$_;
                open my $f, ">:raw", "$ARGV[0]/$name" or die "$name: $!";
                print $f $data;
                close $f;
                my $t = mktime($sec, $m, $h, $d, $mon, $y, 0, 0, -1);
                utime $t, $t, "$ARGV[0]/$name";
            }
        }' "$PKG/data"
    mkf "$PKG/data/top.txt" "2024-05-05 05:05:06" "data root file"
}

# --------------------------------------------------------------- media

e2e_zip() { # archive file: one entry, named like the file, no folder
    rm -f "$1"
    zip -q -X -j "$1" "$2"
}

e2e_pack() { "$SETUPKIT" pack -q "$1" "$2" 2>/dev/null; } # pack dir: every file below dir

# A pack file with the record names given (names the vendor tool refuses):
# a 4-byte header whose high half is the record count, then per record the
# name, a zero byte, the length, the MS-DOS time (local time, date in the
# high half) and the bytes.
e2e_pack_names() { # pack name file [name file...]
    perl -e '
        use strict;
        my $pack = shift;
        my @records;
        push @records, [splice(@ARGV, 0, 2)] while @ARGV;
        open my $out, ">:raw", $pack or die "$pack: $!";
        print $out pack("vv", 0, scalar @records);
        for my $r (@records) {
            my ($name, $f) = @$r;
            my @t = localtime((stat $f)[9]);
            my $date = (($t[5] - 80) << 9) | (($t[4] + 1) << 5) | $t[3];
            my $time = ($t[2] << 11) | ($t[1] << 5) | ($t[0] >> 1);
            open my $in, "<:raw", $f or die "$f: $!";
            local $/; my $data = <$in> // "";
            print $out $name, "\0", pack("VV", length $data, ($date << 16) | $time), $data;
        }' "$@"
}

e2e_ini() { # file: morlan.ini from stdin, CR LF as the vendor's editor writes
    sed 's/$/\r/' >"$1"
}

# Disk folders; setup.exe on the first; drive A: shows the first.
e2e_medium() {
    cp "$E2E_BUILD/bin/setup.exe" "$1/setup.exe"
    ln -sfn "$1" "$WINEPREFIX/dosdevices/a:"
}

# The standard two-disk medium of the package in $WORK/disk1 and disk2:
# single files travel as archives (disk 1: program, libraries, drivers,
# icon, read-only, empty and to-be-deleted files; disk 2: the manual and the
# data folder as a pack file inside an archive). TYPE is [Programmer] Type.
# Also writes $WORK/expected: the tree an installation must leave.
e2e_standard_medium() { # type [library of the chosen language: English or German]
    D1=$WORK/disk1 D2=$WORK/disk2
    rm -rf "$D1" "$D2" "$WORK/expected" "$WORK/packs"
    mkdir -p "$D1" "$D2" "$WORK/packs"
    e2e_zip "$D1/Morlan.zip" "$PKG/bin/Morlan.exe"
    e2e_zip "$D1/English.zip" "$PKG/bin/English.dll"
    e2e_zip "$D1/German.zip" "$PKG/bin/German.dll"
    e2e_zip "$D1/Kr3nt.zip" "$PKG/bin/Kr3nt.sys"
    e2e_zip "$D1/icon.zip" "$PKG/bin/morlan.ico"
    e2e_zip "$D1/usbsys.zip" "$PKG/bin/UsbDrv.sys"
    e2e_zip "$D1/usbinf.zip" "$PKG/bin/UsbDrv.inf"
    e2e_zip "$D1/readme.zip" "$PKG/bin/readme.txt"
    e2e_zip "$D1/empty.zip" "$PKG/bin/empty.dat"
    e2e_zip "$D1/old.zip" "$PKG/bin/old.tmp"
    e2e_zip "$D2/manual.zip" "$PKG/doc/manual.pdf"
    e2e_pack "$WORK/packs/data.pak" "$PKG/data"
    touch -d "2024-08-01 09:00:00" "$WORK/packs/data.pak"
    e2e_zip "$D2/data.zip" "$WORK/packs/data.pak"
    # [DiskN] sections from NAME:DIR:PERCENT lists, one list a disk.
    disks() {
        echo "[Disk]"; echo "Number=$#"
        n=0
        for list in "$@"; do
            n=$((n + 1)) i=0
            echo "[Disk$n]"; echo "Number=$(echo $list | wc -w)"
            for f in $list; do
                i=$((i + 1))
                echo "$f" | awk -F: -v i=$i '{ print "File" i "=" $1; print "Dir" i "=" $2; print "Percent" i "=" $3 }'
            done
        done
    }
    { e2e_ini "$D1/morlan.ini"; } <<INI
[Software]
Version=Morlan Demo 2.1
Name=Morlan Demo
[Dir]
Dest=C:\Morlan
[SubDir]
Number=5
Dir1=bin
Dir2=doc
Dir3=data
Dir4=data\a
Dir5=data\b
[Language]
Number=2
Descrip1=English
Descrip2=German
File1=English
File2=German
DestFile=Language
$(disks "Morlan:bin:5 English:bin:10 German:bin:15 Kr3nt:bin:20 icon:bin:22 usbsys:bin:24 usbinf:bin:26
         readme:bin:28 empty:bin:29 old:bin:30" "manual:doc:60 data:data:100")
[Remove]
Number=1
Dir1=data
File1=data.pak
Dest1=data
[DelFile]
Number=1
File1=bin\old.tmp
[Programmer]
Type=$1
[SystemFile]
Number=2
File1=UsbDrv.sys
Dir1=System32\drivers
File2=UsbDrv.inf
Dir2=INF
[RegIni]
VID=04D8
PID=E11C
[Shortcut]
Descript1=Morlan Demo programmer software
Descript2=Morlan Demo
Ico=morlan
[Exec]
ExecFile=bin\Morlan.exe
ExecDir=bin
INI
    touch -d "2024-09-09 09:09:10" "$D1/morlan.ini"
    cp -a "$PKG" "$WORK/expected"
    rm "$WORK/expected/bin/old.tmp"
    cp -p "$PKG/bin/${2:-English}.dll" "$WORK/expected/bin/Language.dll"
    cp -p "$D1/morlan.ini" "$WORK/expected/morlan.ini"
    chmod u+w "$WORK/expected/morlan.ini"
    e2e_medium "$D1"
    chmod -R a-w "$D1" "$D2"
}

# --------------------------------------------------------------- system folders

# Every copy of a file named NAME (any case) below the Windows folder, seen
# from outside Wine: exactly the PATHs given (relative, in Wine's spelling;
# none: no copy), each with REFERENCE's bytes.
e2e_windows_file() { # NAME REFERENCE [PATH...]
    name=$1 ref=$2
    shift 2
    found=$(cd "$WINEPREFIX/drive_c/windows" && find . -iname "$name" | sed 's|^\./||' | sort | tr '\n' ' ')
    want=$(printf '%s\n' "$@" | sed '/^$/d' | sort | tr '\n' ' ')
    [ "$found" = "$want" ] || { echo "FAILED: $name below the Windows folder: [$found], expected [$want]" >&2; return 1; }
    for p in "$@"; do
        cmp -s "$WINEPREFIX/drive_c/windows/$p" "$ref" || { echo "FAILED: $p differs from $ref" >&2; return 1; }
    done
}

# --------------------------------------------------------------- driver

# Driver lines of the plain walk through the first wizard: the default
# folder, the first language, both shortcuts, the agreement accepted,
# Install.
e2e_walk_wizard() {
    cat <<'SCN'
start
page welcome
click 12324
page destination
click 12324
page language
click 12324
page agreement
click 1020
expect 12325 enabled
click 12325
progress
SCN
}

e2e_drive() {
    {
        # Pictures only when asked for (the documentation run).
        [ -n "$E2E_SHOTS" ] && echo "shots $E2E_SHOTS"
        cat
    } >"$WORK/scenario.txt"
    "$WINE64" "$E2E_BUILD/bin/e2edriver.exe" "$(winpath "$WORK/scenario.txt")" </dev/null | tee "$WORK/driver.log"
    # The driver's status, not tee's.
    grep -q '^passed: ' "$WORK/driver.log"
}
