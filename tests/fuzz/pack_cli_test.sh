#!/bin/sh
# setupkit pack / list / extract on pack files: a folder tree survives the
# round trip byte for byte with its times; damaged packs and names that
# would leave the folder are refused with exit code 1 and nothing written.
# Usage: pack_cli_test.sh SETUPKIT
set -u
kit=$1
export TZ=UTC
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() {  # check DESCRIPTION CONDITION...
    what=$1
    shift
    if "$@"; then :; else echo "FAILED: $what" >&2; fail=1; fi
}
mkpack() {  # mkpack PACK NAME...: a pack of records named NAME, each holding its name
    python3 - "$@" <<'PY'
import struct, sys
with open(sys.argv[1], "wb") as f:
    f.write(struct.pack("<hh", 0, len(sys.argv) - 2))
    for n in sys.argv[2:]:
        n = n.encode()
        f.write(n + b"\0" + struct.pack("<II", len(n), 0x21A56AD5) + n)
PY
}

mkdir -p "$work/tree/bin/sub" "$work/tree/doc"
printf 'program' >"$work/tree/bin/prog.exe"
head -c 70000 /dev/urandom >"$work/tree/bin/sub/data.bin"
: >"$work/tree/doc/empty.txt"
printf 'read me' >"$work/tree/readme.txt"
touch -d '2003-04-05 06:07:58' "$work/tree/bin/prog.exe" "$work/tree/bin/sub/data.bin" "$work/tree/doc/empty.txt" \
    "$work/tree/readme.txt"

"$kit" pack -q "$work/p.pak" "$work/tree" 2>"$work/notes.txt"
check "pack exit code" test $? -eq 0
check "pack names the folders that must exist" grep -q 'bin\\sub must exist' "$work/notes.txt"

"$kit" list "$work/p.pak" >"$work/list.txt"
check "list without option reads a pack" test $? -eq 0
check "list line" grep -q '^ *70000 2003-04-05 06:07:58 bin\\sub\\data.bin$' "$work/list.txt"
check "list count" grep -q '^4 records; header count 4$' "$work/list.txt"
"$kit" list --pack "$work/p.pak" >/dev/null
check "list --pack" test $? -eq 0

"$kit" extract --pack "$work/p.pak" "$work/out"
check "extract exit code" test $? -eq 0
check "round trip bytes" diff -r "$work/tree" "$work/out"
check "round trip time" test "$(date -r "$work/out/bin/sub/data.bin" '+%Y-%m-%d %H:%M:%S')" = "2003-04-05 06:07:58"

# Damaged packs: nothing is written, exit code 1, one line naming the pack.
size=$(wc -c <"$work/p.pak")
head -c $((size - 1)) "$work/p.pak" >"$work/short.pak"
printf '\0\0\1\0%0100d' 0 | tr 0 n >"$work/noend.pak"
for bad in short noend; do
    rm -rf "$work/bad"
    "$kit" extract "$work/$bad.pak" "$work/bad" 2>"$work/err.txt"
    check "$bad: exit code" test $? -eq 1
    check "$bad: message names the pack" grep -q "^setupkit: $work/$bad.pak: " "$work/err.txt"
    check "$bad: nothing written" test ! -e "$work/bad"
    "$kit" list "$work/$bad.pak" >/dev/null 2>&1
    check "$bad: list exit code" test $? -eq 1
done

# Files that are neither a ZIP archive nor a pack say so, and why.
: >"$work/empty"
printf 'abc' >"$work/three"
printf 'plain text\n' >"$work/text"
for case in 'empty|the file is empty' 'three|3 bytes: too short for either' \
    'text|no ZIP signature, and its first pack record runs past the end of the file'; do
    f=$work/${case%%|*}
    "$kit" list "$f" >/dev/null 2>"$work/err.txt"
    check "$f: list exit code" test $? -eq 1
    check "$f: list message" grep -qxF "setupkit: $f: not a ZIP archive or pack file (${case#*|})" "$work/err.txt"
    "$kit" extract "$f" "$work/neither" 2>"$work/err2.txt"
    check "$f: extract exit code" test $? -eq 1
    check "$f: extract message" cmp -s "$work/err.txt" "$work/err2.txt"
    check "$f: nothing written" test ! -e "$work/neither"
done
"$kit" list --pack "$work/empty" 2>"$work/err.txt"
check "--pack on an empty file" grep -qxF "setupkit: $work/empty: not a pack file (the file is empty)" "$work/err.txt"

for name in '..\evil' '/abs' 'C:\evil' '\evil' 'a\..\..\evil'; do
    mkpack "$work/evil.pak" fine.txt "$name"
    rm -rf "$work/evil"
    "$kit" extract "$work/evil.pak" "$work/evil/inner" 2>"$work/err.txt"
    check "refused $name: exit code" test $? -eq 1
    check "refused $name: message" grep -q "would lead out of the destination folder" "$work/err.txt"
    check "refused $name: nothing written" test ! -e "$work/evil"
done

# A record that needs a folder where another record is a file.
mkpack "$work/clash.pak" 'bin\x' 'bin\x\y'
"$kit" extract "$work/clash.pak" "$work/clash" 2>"$work/err.txt"
check "clash: exit code" test $? -eq 1
check "clash: message" grep -qF "the records 'bin\x' and 'bin\x\y' clash: 'bin\x' cannot be both a file and a folder" "$work/err.txt"
check "clash: nothing written" test ! -e "$work/clash"

# Names the format cannot hold are refused by pack, and no pack is left.
mkdir -p "$work/long"
: >"$work/long/$(printf '%080d' 0)"
"$kit" pack -q "$work/long.pak" "$work/long" 2>/dev/null
check "80-byte name refused" test $? -eq 1
check "no partial pack" test ! -e "$work/long.pak"
exit $fail
