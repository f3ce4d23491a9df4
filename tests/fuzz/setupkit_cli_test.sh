#!/bin/sh
# setupkit from the command line: each command's exit code, messages, output,
# bytes and times, and names that would leave the destination folder.
# Usage: setupkit_cli_test.sh SETUPKIT SOURCE_DIR
set -u
kit=$1 src=$2 data=$2/tests/data/zip c=$2/tests/data/cli
export TZ=UTC
w=$(mktemp -d)
trap 'chmod -R u+w "$w"; rm -rf "$w"' EXIT
fail=0
check() { # DESCRIPTION COMMAND...: records a failure when COMMAND fails
    what=$1 && shift
    "$@" || { echo "FAILED: $what" >&2; fail=1; }
}
# Runs setupkit, expecting exit code WANT; $w/out and $w/err are what it printed.
kit() { # WANT ARGS...
    want=$1 && shift
    "$kit" "$@" >"$w/out" 2>"$w/err"
    rc=$?
    check "setupkit $* exits $rc, not $want: $(head -c 300 "$w/err")" test $rc -eq "$want"
}
mtime() { date -r "$1" '+%Y-%m-%d %H:%M:%S'; }
# Refused: exit code 1, nothing written to DEST, the message is MESSAGE.
refused() { # MESSAGE DEST ARGS...
    msg=$1 dest=$2 && shift 2
    rm -rf "$dest"
    kit 1 "$@"
    check "$*: nothing written" test ! -e "$dest"
    check "$*: message $(cat "$w/err")" grep -qx "$msg" "$w/err"
}

# ZIP archives made by other writers.
kit 0 list "$data/deflated.zip"
check "list line" grep -q '^Deflated *10161 *79203 5ca0868a 2001-02-03 04:05:58 81a40000 text.txt$' "$w/out"
kit 0 extract "$data/stub.zip" "$w/stub"
# A wrong CRC in the first entry: named, and no file of it is left.
cp "$data/stored.zip" "$w/crc.zip"
printf X | dd of="$w/crc.zip" bs=1 seek=543 conv=notrunc 2>/dev/null
kit 1 extract "$w/crc.zip" "$w/crc"
check "checksum: message" grep -qx "setupkit: $w/crc.zip: checksumMismatch: .*" "$w/err"
check "checksum: no damaged file" test ! -e "$w/crc/exact1024.bin"
check "extracted bytes" cmp -s "$data/binary.bin" "$w/stub/binary.bin"
check "extracted time" test "$(mtime "$w/stub/text.txt")" = "2001-02-03 04:05:58"
kit 0 extract "$data/streamed.zip" "$w/streamed"
check "streamed bytes" cmp -s "$data/text.txt" "$w/streamed/streamed.txt"
check "read-only attribute" test ! -w "$w/streamed/stored.bin" -o "$(id -u)" -eq 0
kit 1 list "$data/empty.zip"
check "empty archive: one line" grep -qx "setupkit: $data/empty.zip: badArchive: .*" "$w/err"
kit 1 list "$w/missing.zip"
check "missing archive: message" grep -q "missing.zip" "$w/err"

# Hand-made archives and packs (tests/data/hostile): names that climb out
# (only the second entry is bad), entries that need a folder where another
# is a file.
for f in "$src"/tests/data/hostile/bad*; do
    refused "setupkit: $f: .*would lead out of the destination folder" "$w/d" extract "$f" "$w/d/inner"
done
for case in "0|entries 'a/b' and 'a/b/' clash: 'a/b' cannot be both" "1|entries 'a/b/c/d' and 'a/b' clash: 'a/b' cannot be both" \
    "2|entries 'a' and 'A/c' clash: 'a' and 'A' are one name on Windows and cannot be both" \
    "3|records 'bin\\\\x' and 'bin\\\\x\\\\y' clash: 'bin\\\\x' cannot be both"; do
    f=$(ls "$src/tests/data/hostile/clash${case%%|*}".*)
    refused "setupkit: $f: the ${case#*|} a file and a folder" "$w/d" extract "$f" "$w/d"
done
# Files that are neither an archive nor a pack say so, and why.
for case in 'empty|the file is empty' 'three|3 bytes: too short for either' \
    'text|no ZIP signature, and its first pack record runs past the end of the file'; do
    f=$c/${case%%|*}
    kit 1 list "$f"
    refused "setupkit: $f: not a ZIP archive or pack file (${case#*|})" "$w/d" extract "$f" "$w/d"
done

# Pack files: a folder tree round trip.
mkdir -p "$w/tree/bin/sub" "$w/tree/doc"
printf 'program' >"$w/tree/bin/prog.exe"
head -c 70000 /dev/urandom >"$w/tree/bin/sub/data.bin"
: >"$w/tree/doc/empty.txt"
find "$w/tree" -type f -exec touch -d '2003-04-05 06:07:58' {} +
kit 0 pack -q "$w/p.pak" "$w/tree"
check "pack names the folders that must exist" grep -q 'bin\\sub must exist' "$w/err"
kit 0 list "$w/p.pak"
check "pack list line" grep -q '^ *70000 2003-04-05 06:07:58 bin\\sub\\data.bin$' "$w/out"
check "pack list count" grep -q '^3 records; header count 3$' "$w/out"
kit 0 extract --pack "$w/p.pak" "$w/unpacked"
check "round trip bytes" diff -r "$w/tree" "$w/unpacked"
check "round trip time" test "$(mtime "$w/unpacked/bin/sub/data.bin")" = "2003-04-05 06:07:58"

# get and getint print what the setup reads (a buffer of 20 by default); a
# file with a byte-order mark reads in the code page asked for (1252 by
# default), cut to whole characters; a file without one byte for byte.
gbk=$(printf '\261\340\263\314\306\367\310\355\274\376') # the same five characters in code page 936
while IFS="|" read -r args expect; do
    kit 0 $args </dev/null
    printf "%s\n" "$expect" | cmp -s - "$w/out" || check "$args prints $expect, not $(cat "$w/out")" false
done <<EOF
get $c/get.ini software VERSION 100|Programmer 2.0
get $c/get.ini Disk1 File1|abcdefghijklmnopqrs
get $c/get.ini Disk1 File1 5|abcd
getint $c/get.ini Disk1 Percent1|31
get --codepage 936 $c/bom.ini Software Name 30|$gbk
get $c/bom.ini Software Name 6 --codepage 936|$(printf '\261\340\263\314')
get $c/bom.ini Software Name 30|?????
get --codepage 936 $c/utf16.ini S N|$(printf '\261\340\263\314')
get $c/gbk.ini Software Name 30|$gbk
EOF
kit 1 check --codepage 936 "$c/cp"
check "check in code page 936" grep -qF "morlan.ini:4: warning: [Language] Descrip2 \"$(printf '\274\362\314\345\326\320\316\304')\" is in Chinese characters" "$w/out"

# build and check the demo package on 32K disks, stand-ins for its program
# and libraries needing a disk each.
add=""
for f in Demo.exe English.dll German.dll; do
    head -c 20000 /dev/urandom >"$w/$f"
    add="$add --add bin\\$f=$w/$f"
done
printf 'MZ stand-in for setup.exe' >"$w/setup.exe"
SOURCE_DATE_EPOCH=1700000000 kit 0 build "$src/examples/demo" "$w/medium" --disk-size 32K --setup "$w/setup.exe" $add
check "three or more disks" test -d "$w/medium/disk3"
check "one pack archive a disk, and the setup's wait" grep -q "^the setup waits 5 s for the 3 archives of this medium" "$w/out"
kit 0 check "$w"/medium/disk*
check "check of a built medium" grep -q "^0 errors, 0 warnings" "$w/out"
kit 0 list "$w"/medium/disk1/files.zip
check "the pack's entry carries SOURCE_DATE_EPOCH" grep -q ' 2023-11-14 22:13:20 .* files\.pak$' "$w/out"

# Archives the setup's reader does not take, made with 7-Zip and Info-ZIP:
# extract names the reason, and check names it on the archive's line.
u="$w/unreadable"
mkdir -p "$u"
cp "$src/README.md" "$u/a.txt"
head -c 200000 /dev/urandom >"$u/r.bin"
(
    cd "$u"
    for m in Deflate64 BZip2 LZMA PPMd; do 7zz a -tzip -mm=$m $m.zip a.txt >/dev/null; done
    7zz a -tzip -mem=AES256 -psecret aes.zip a.txt >/dev/null
    zip -q -P secret zipcrypto.zip a.txt
    zip -q -fz zip64.zip a.txt
    zip -q -s 64k split.zip r.bin
)
while IFS='|' read -r z words; do
    kit 1 extract "$u/$z" "$w/unreadable-out"
    check "extract $z: $words" grep -F "the setup cannot read this archive: " "$w/err" | grep -qF "$words"
done <<EOF2
Deflate64.zip|entry "a.txt" is compressed with Deflate64 (9); the setup reads only deflate (8) and store (0): re-create it with deflate or store, without a password
BZip2.zip|compressed with BZip2 (12)
LZMA.zip|compressed with LZMA (14)
PPMd.zip|compressed with PPMd (98)
aes.zip|entry "a.txt" is encrypted with AES (method 99)
zipcrypto.zip|entry "a.txt" is encrypted (ZipCrypto, a password)
zip64.zip|it is a Zip64 archive
split.zip|it is the last part of a split (multi-volume) archive of 4 parts
EOF2
check "nothing extracted from them" test ! -e "$w/unreadable-out/a.txt"
cp -r "$w/medium" "$w/lzma-medium"
cp "$u/LZMA.zip" "$w/lzma-medium/disk1/files.zip"
kit 1 check "$w/lzma-medium"
check "check names the method on the archive's line" grep -q "morlan.ini:[0-9]*: error: files.zip cannot be unpacked by the setup: entry \"a.txt\" is compressed with LZMA (14)" "$w/out"

# Usage errors: exit code 2, nothing on standard output.
i=$c/get.ini
for args in "extract $data/stored.zip" "build a b --disk-size 12Q" "get $i A" "get $i A B 0" "get $i A B 12x" \
    "getint $i A B 4" "getint $i A B --codepage" "check --codepage 12345 $i" nosuchcommand; do
    kit 2 $args
    check "$args: nothing printed" test ! -s "$w/out"
done
SOURCE_DATE_EPOCH=soon kit 2 build a b
[ $fail -eq 0 ] && echo "setupkit command line: all passed"
exit $fail
