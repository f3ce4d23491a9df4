#!/bin/sh
# setupkit list / extract on ZIP archives: exit codes, one-line messages,
# extracted bytes and times, and names that would leave the folder.
# Usage: zip_cli_test.sh SETUPKIT DATA_DIR
set -u
kit=$1
data=$2
export TZ=UTC
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail=0
check() {  # check DESCRIPTION CONDITION...
    what=$1
    shift
    if "$@"; then :; else echo "FAILED: $what" >&2; fail=1; fi
}

"$kit" list "$data/deflated.zip" >"$work/list.txt" 2>"$work/err.txt"
check "list exit code" test $? -eq 0
check "list line" grep -q '^Deflated *10161 *79203 5ca0868a 2001-02-03 04:05:58 81a40000 text.txt$' "$work/list.txt"
check "list counts entries" test "$(wc -l <"$work/list.txt")" -eq 4

"$kit" extract "$data/stub.zip" "$work/out"
check "extract exit code" test $? -eq 0
check "extracted text" cmp -s "$data/text.txt" "$work/out/text.txt"
check "extracted binary" cmp -s "$data/binary.bin" "$work/out/binary.bin"
check "extracted time" test "$(date -r "$work/out/text.txt" '+%Y-%m-%d %H:%M:%S')" = "2001-02-03 04:05:58"

"$kit" extract "$data/streamed.zip" "$work/streamed"
check "streamed exit code" test $? -eq 0
check "streamed bytes" cmp -s "$data/text.txt" "$work/streamed/streamed.txt"
check "read-only attribute" test ! -w "$work/streamed/stored.bin" -o "$(id -u)" -eq 0

for bad in '../evil.txt' '/abs.txt' 'C:\\evil.txt' '\\evil.txt' 'a/../../evil.txt'; do
    python3 - "$work/bad.zip" "$bad" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("fine.txt", b"fine")
    z.writestr(sys.argv[2], b"evil")
PY
    rm -rf "$work/bad"
    "$kit" extract "$work/bad.zip" "$work/bad/inner" 2>"$work/err.txt"
    rc=$?
    check "refused $bad: exit code" test $rc -eq 1
    check "refused $bad: message" grep -q "^setupkit: $work/bad.zip: the entry name .* would lead out of the destination folder$" "$work/err.txt"
    check "refused $bad: nothing written" test ! -e "$work/bad"
done

# Entries that need a folder where another is a file: refused before
# anything is written, in a sentence naming both.
for case in "a/b a/b/|'a/b' cannot be both" "a/b/c/d a/b|'a/b' cannot be both" \
    "a A/c|'a' and 'A' are one name on Windows and cannot be both"; do
    names=${case%%|*}
    python3 - "$work/clash.zip" $names <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for n in sys.argv[2:]:
        z.writestr(n, b"" if n.endswith("/") else b"x")
PY
    set -- $names
    rm -rf "$work/clash"
    "$kit" extract "$work/clash.zip" "$work/clash" 2>"$work/err.txt"
    check "clash $names: exit code" test $? -eq 1
    check "clash $names: message" grep -qxF "setupkit: $work/clash.zip: the entries '$1' and '$2' clash: ${case#*|} a file and a folder" "$work/err.txt"
    check "clash $names: nothing written" test ! -e "$work/clash"
done

"$kit" list "$data/empty.zip" >/dev/null 2>"$work/err.txt"
check "empty archive exit code" test $? -eq 1
check "empty archive message" grep -q "^setupkit: $data/empty.zip: badArchive: " "$work/err.txt"
check "one line" test "$(wc -l <"$work/err.txt")" -eq 1

python3 - "$data/stored.zip" "$work/crc.zip" <<'PY'
import sys
b = bytearray(open(sys.argv[1], "rb").read())
b[30 + 13 + 500] ^= 1  # inside the first entry's data
open(sys.argv[2], "wb").write(b)
PY
"$kit" extract "$work/crc.zip" "$work/crc" 2>"$work/err.txt"
check "checksum exit code" test $? -eq 1
check "checksum message" grep -q "^setupkit: $work/crc.zip: checksumMismatch: " "$work/err.txt"

"$kit" list "$work/missing.zip" 2>"$work/err.txt"
check "missing archive exit code" test $? -eq 1
check "missing archive message" grep -q "missing.zip" "$work/err.txt"

"$kit" list --no-such-format "$data/stored.zip" 2>/dev/null
check "unknown option exit code" test $? -eq 2
"$kit" extract "$data/stored.zip" 2>/dev/null
check "missing DIR exit code" test $? -eq 2

exit $fail
