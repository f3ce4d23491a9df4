#!/bin/sh
# setupkit from the command line: list / extract / pack on archives and pack
# files, build and check on the demo package; exit codes, one-line messages,
# bytes and times, and names that would leave the destination folder.
# Usage: setupkit_cli_test.sh SETUPKIT SOURCE_DIR
set -u
kit=$1 src=$2 data=$2/tests/data/zip
export TZ=UTC
w=$(mktemp -d)
trap 'chmod -R u+w "$w"; rm -rf "$w"' EXIT
fail=0
check() { # DESCRIPTION COMMAND...: records a failure when COMMAND fails
    what=$1
    shift
    "$@" || { echo "FAILED: $what" >&2; fail=1; }
}
# Runs setupkit; $rc is its exit code, $w/out and $w/err what it printed.
kit() { "$kit" "$@" >"$w/out" 2>"$w/err"; rc=$?; }
mtime() { date -r "$1" '+%Y-%m-%d %H:%M:%S'; }
# Refused: exit code 1, nothing written, one message matching PATTERN.
refused() { # WHAT DEST PATTERN
    check "$1: exit code $rc" test $rc -eq 1
    check "$1: nothing written" test ! -e "$2"
    check "$1: message" grep -q "$3" "$w/err"
}

# ZIP archives.
kit list "$data/deflated.zip"
check "list" test $rc -eq 0
check "list line" grep -q '^Deflated *10161 *79203 5ca0868a 2001-02-03 04:05:58 81a40000 text.txt$' "$w/out"
check "list counts entries" test "$(wc -l <"$w/out")" -eq 4
kit extract "$data/stub.zip" "$w/stub"
check "extract $rc" test $rc -eq 0
check "extracted bytes" cmp -s "$data/text.txt" "$w/stub/text.txt"
check "extracted binary" cmp -s "$data/binary.bin" "$w/stub/binary.bin"
check "extracted time" test "$(mtime "$w/stub/text.txt")" = "2001-02-03 04:05:58"
kit extract "$data/streamed.zip" "$w/streamed"
check "streamed entries $rc" test $rc -eq 0
check "streamed bytes" cmp -s "$data/text.txt" "$w/streamed/streamed.txt"
check "read-only attribute" test ! -w "$w/streamed/stored.bin" -o "$(id -u)" -eq 0
kit list "$data/empty.zip"
check "empty archive: exit code $rc" test $rc -eq 1
check "empty archive: one line" test "$(cat "$w/err")" != "" -a "$(wc -l <"$w/err")" -eq 1
check "empty archive: message" grep -q "^setupkit: $data/empty.zip: badArchive: " "$w/err"
python3 - "$data/stored.zip" "$w/crc.zip" <<'PY'
import sys
b = bytearray(open(sys.argv[1], "rb").read())
b[30 + 13 + 500] ^= 1  # inside the first entry's data
open(sys.argv[2], "wb").write(b)
PY
kit extract "$w/crc.zip" "$w/crc"
check "checksum: exit code $rc" test $rc -eq 1
check "checksum: message" grep -q "^setupkit: $w/crc.zip: checksumMismatch: " "$w/err"
kit list "$w/missing.zip"
check "missing archive: exit code $rc" test $rc -eq 1
check "missing archive: message" grep -q "missing.zip" "$w/err"

# Names that climb out, in archives and in packs (written by hand: the
# tools refuse to make them). Only the second entry is bad.
for name in '../evil' '/abs' 'C:\evil' '\evil' 'a/../../evil' '..\evil' 'a\..\..\evil'; do
    python3 - "$w/bad" "$name" <<'PY'
import struct, sys, zipfile
with zipfile.ZipFile(sys.argv[1] + ".zip", "w") as z:
    z.writestr("fine.txt", b"fine")
    z.writestr(sys.argv[2], b"evil")
with open(sys.argv[1] + ".pak", "wb") as f:
    f.write(struct.pack("<hh", 0, 2))
    for n, d in ((b"fine.txt", b"fine"), (sys.argv[2].encode(), b"evil")):
        f.write(n + b"\0" + struct.pack("<II", len(d), 0x21A56AD5) + d)
PY
    for kind in zip pak; do
        rm -rf "$w/out.d"
        kit extract "$w/bad.$kind" "$w/out.d/inner"
        refused "$kind $name" "$w/out.d" "^setupkit: $w/bad.$kind: .*would lead out of the destination folder$"
    done
done

# Entries or records that need a folder where another is a file: refused
# before anything is written, in a sentence naming both.
for case in "zip|a/b a/b/|'a/b' cannot be both" "zip|a/b/c/d a/b|'a/b' cannot be both" \
    "zip|a A/c|'a' and 'A' are one name on Windows and cannot be both" "pak|bin\\x bin\\x\\y|'bin\\x' cannot be both"; do
    kind=${case%%|*} rest=${case#*|}
    names=${rest%%|*}
    python3 - "$w/clash.$kind" $names <<'PY'
import struct, sys, zipfile
names = sys.argv[2:]
if sys.argv[1].endswith(".zip"):
    with zipfile.ZipFile(sys.argv[1], "w") as z:
        for n in names:
            z.writestr(n, b"" if n.endswith("/") else b"x")
else:
    with open(sys.argv[1], "wb") as f:
        f.write(struct.pack("<hh", 0, len(names)))
        for n in names:
            f.write(n.encode() + b"\0" + struct.pack("<II", 1, 0x21A56AD5) + b"x")
PY
    set -- $names
    noun=entries
    [ $kind = pak ] && noun=records
    rm -rf "$w/out.d"
    kit extract "$w/clash.$kind" "$w/out.d"
    refused "clash $names" "$w/out.d" .
    check "clash $names: message" grep -qxF "setupkit: $w/clash.$kind: the $noun '$1' and '$2' clash: ${rest#*|} a file and a folder" "$w/err"
done
# Files that are neither an archive nor a pack say so, and why.
: >"$w/empty"
printf 'abc' >"$w/three"
printf 'plain text\n' >"$w/text"
for case in 'empty|the file is empty' 'three|3 bytes: too short for either' \
    'text|no ZIP signature, and its first pack record runs past the end of the file'; do
    f=$w/${case%%|*}
    kit list "$f"
    check "$f: list exit code $rc" test $rc -eq 1
    check "$f: list message" grep -qxF "setupkit: $f: not a ZIP archive or pack file (${case#*|})" "$w/err"
    mv "$w/err" "$w/list.err"
    kit extract "$f" "$w/out.d"
    refused "$f: extract" "$w/out.d" .
    check "$f: extract message" cmp -s "$w/err" "$w/list.err"
done
kit list --pack "$w/empty"
check "--pack on an empty file" grep -qxF "setupkit: $w/empty: not a pack file (the file is empty)" "$w/err"

# Pack files: a folder tree round trip.
mkdir -p "$w/tree/bin/sub" "$w/tree/doc"
printf 'program' >"$w/tree/bin/prog.exe"
head -c 70000 /dev/urandom >"$w/tree/bin/sub/data.bin"
: >"$w/tree/doc/empty.txt"
printf 'read me' >"$w/tree/readme.txt"
find "$w/tree" -type f -exec touch -d '2003-04-05 06:07:58' {} +
kit pack -q "$w/p.pak" "$w/tree"
check "pack $rc" test $rc -eq 0
check "pack names the folders that must exist" grep -q 'bin\\sub must exist' "$w/err"
kit list "$w/p.pak"
check "list reads a pack without option $rc" test $rc -eq 0
check "pack list line" grep -q '^ *70000 2003-04-05 06:07:58 bin\\sub\\data.bin$' "$w/out"
check "pack list count" grep -q '^4 records; header count 4$' "$w/out"
kit list --pack "$w/p.pak"
check "list --pack $rc" test $rc -eq 0
kit extract --pack "$w/p.pak" "$w/unpacked"
check "extract --pack $rc" test $rc -eq 0
check "round trip bytes" diff -r "$w/tree" "$w/unpacked"
check "round trip time" test "$(mtime "$w/unpacked/bin/sub/data.bin")" = "2003-04-05 06:07:58"
# Damaged packs: cut short, and a name without its end.
head -c $(($(wc -c <"$w/p.pak") - 1)) "$w/p.pak" >"$w/short.pak"
printf '\0\0\1\0%0100d' 0 | tr 0 n >"$w/noend.pak"
for bad in short noend; do
    rm -rf "$w/out.d"
    kit extract "$w/$bad.pak" "$w/out.d"
    refused "$bad pack" "$w/out.d" "^setupkit: $w/$bad.pak: "
    kit list "$w/$bad.pak"
    check "$bad pack: list exit code $rc" test $rc -eq 1
done
# A name the format cannot hold: refused, and no pack is left.
mkdir -p "$w/long"
: >"$w/long/$(printf '%080d' 0)"
kit pack -q "$w/long.pak" "$w/long"
check "80-byte name: exit code $rc" test $rc -eq 1
check "80-byte name: no partial pack" test ! -e "$w/long.pak"

# build and check on the demo package: 32K disks, so that three 20 KB
# stand-ins for the Windows program and libraries need a disk each.
add=""
for f in Demo.exe English.dll German.dll; do
    head -c 20000 /dev/urandom >"$w/$f"
    add="$add --add bin\\$f=$w/$f"
done
printf 'MZ stand-in for setup.exe' >"$w/setup.exe"
kit build "$src/examples/demo" "$w/medium" --disk-size 32K --setup "$w/setup.exe" $add
check "build $rc: $(cat "$w/err")" test $rc -eq 0
check "three or more disks" test -d "$w/medium/disk3"
for d in "$w"/medium/disk*; do
    check "$d fits the disk size" test "$(du -cb "$d"/* | tail -1 | cut -f1)" -le 32768
done
kit check "$w"/medium/disk*
check "check of a built medium $rc" grep -q "^0 errors, 0 warnings" "$w/out"
"$kit" check --json "$w/medium" | python3 -c 'import json,sys; r=json.load(sys.stdin); assert r["errors"]==0 and r["findings"]==[], r'
check "JSON report" test $? -eq 0
# The same package builds the same medium: again from a copy that keeps
# the files' times, on one thread. SOURCE_DATE_EPOCH dates what the build
# makes itself (here the pack's archive entry); files keep their own times.
cp -a "$src/examples/demo" "$w/demo-copy"
kit build "$w/demo-copy" "$w/again" -q --threads 1 --disk-size 32K --setup "$w/setup.exe" $add
check "two builds of one package are the same" diff -r "$w/medium" "$w/again"
SOURCE_DATE_EPOCH=1700000000 kit build "$src/examples/demo" "$w/dated" -q $add
"$kit" list "$w"/dated/disk1/help.zip >"$w/out"
check "the pack's entry carries SOURCE_DATE_EPOCH" grep -q ' 2023-11-14 22:13:20 .* help\.pak$' "$w/out"
# An archive taken away: exit code 1, reported on the line of its File key.
victim=$(ls "$w/medium/disk2"/*.zip | head -1)
name=$(basename "$victim" .zip)
rm "$victim"
kit check "$w/medium"
check "check of a broken medium: exit code $rc" test $rc -eq 1
line=$(grep -n "^File[0-9]*=$name" "$w/medium/disk1/morlan.ini" | cut -d: -f1)
check "missing archive on line $line" grep -q "morlan.ini:$line: error: .*$name.zip is missing from disk 2" "$w/out"
head -c 50000 /dev/urandom >"$w/big.bin"
kit build "$src/examples/demo" "$w/medium2" --disk-size 32K $add --add "bin\\big.bin=$w/big.bin"
check "file larger than a disk: exit code $rc" test $rc -eq 1
check "file larger than a disk: message" grep -q 'payload file "bin\\big.bin" (50000 bytes) does not fit on a disk' "$w/err"

# Help, and usage errors (exit code 2).
check "--help" sh -c "'$kit' --help | grep -q build"
check "build --help" sh -c "'$kit' build --help | grep -q ProgrammerType"
check "check --help" sh -c "'$kit' check --help | grep -q -- --json"
for args in "list --no-such-format $data/stored.zip" "extract $data/stored.zip" "build only-one-argument" \
    "build a b --disk-size 12Q"; do
    kit $args
    check "usage error '$args': exit code $rc" test $rc -eq 2
done
SOURCE_DATE_EPOCH=soon kit build a b
check "a bad SOURCE_DATE_EPOCH: exit code $rc" test $rc -eq 2
[ $fail -eq 0 ] && echo "setupkit command line: all passed"
exit $fail
