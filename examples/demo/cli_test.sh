#!/bin/sh
# The vendor tool from the command line on the demo package: build a
# multi-disk medium (the Windows program and libraries replaced by stand-ins
# when the Windows build is absent), check it, break it, and look at the exit
# codes, the JSON report and the help texts.
# usage: cli_test.sh SETUPKIT SOURCE_DIR WORK_DIR
set -e
kit=$1 src=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

for f in Demo.exe English.dll German.dll; do
    head -c 20000 /dev/urandom >"$work/$f"
done
printf 'MZ stand-in for setup.exe' >"$work/setup.exe"
add="--add bin\\Demo.exe=$work/Demo.exe --add bin\\English.dll=$work/English.dll --add bin\\German.dll=$work/German.dll"

# 32K disks: the three 20 KB stand-ins need a disk each.
$kit build "$src/examples/demo" "$work/medium" --disk-size 32K --setup "$work/setup.exe" $add >"$work/build.out" \
    || fail "build failed"
[ -d "$work/medium/disk3" ] || fail "expected three or more disks"
for d in "$work"/medium/disk*; do
    [ "$(du -cb "$d"/* | tail -1 | cut -f1)" -le 32768 ] || fail "$d is larger than the disk size"
done
$kit check "$work"/medium/disk* >"$work/check.out" || { cat "$work/check.out"; fail "check of a built medium failed"; }
grep -q "^0 errors, 0 warnings" "$work/check.out" || fail "findings on a built medium"
$kit check --json "$work/medium" | python3 -c 'import json,sys; r=json.load(sys.stdin); assert r["errors"]==0 and r["findings"]==[], r' \
    || fail "JSON report"

# The same package builds the same medium: again from a copy that keeps the
# files' times, on one thread. SOURCE_DATE_EPOCH dates what the build makes
# itself (here the pack's archive entry), the files keep their own times.
cp -a "$src/examples/demo" "$work/demo-copy"
$kit build "$work/demo-copy" "$work/again" -q --threads 1 --disk-size 32K --setup "$work/setup.exe" $add \
    || fail "second build failed"
diff -r "$work/medium" "$work/again" || fail "two builds of one package differ"
TZ=UTC SOURCE_DATE_EPOCH=1700000000 $kit build "$src/examples/demo" "$work/dated" -q $add || fail "dated build failed"
TZ=UTC $kit list "$work"/dated/disk1/help.zip | grep -q ' 2023-11-14 22:13:20 .* help\.pak$' \
    || fail "the pack's entry does not carry SOURCE_DATE_EPOCH"

# Take an archive away: exit code 1 and the line of its File key.
victim=$(ls "$work/medium/disk2"/*.zip | head -1)
rm "$victim"
set +e
$kit check "$work/medium" >"$work/broken.out"
rc=$?
set -e
[ $rc -eq 1 ] || fail "check of a broken medium exited $rc"
name=$(basename "$victim" .zip)
line=$(grep -n "^File[0-9]*=$name" "$work/medium/disk1/morlan.ini" | cut -d: -f1)
grep -q "morlan.ini:$line: error: .*$name.zip is missing from disk 2" "$work/broken.out" \
    || { cat "$work/broken.out"; fail "missing archive not reported on line $line"; }

# A payload file larger than a disk is refused with its name.
head -c 50000 /dev/urandom >"$work/big.bin"
set +e
$kit build "$src/examples/demo" "$work/medium2" --disk-size 32K $add --add "bin\\big.bin=$work/big.bin" 2>"$work/big.err"
rc=$?
set -e
[ $rc -eq 1 ] || fail "build with a file larger than a disk exited $rc"
grep -q 'payload file "bin\\big.bin" (50000 bytes) does not fit on a disk' "$work/big.err" || { cat "$work/big.err"; fail "refusal message"; }

# Help and usage errors.
$kit --help | grep -q "build" || fail "--help lists no build command"
$kit build --help | grep -q "ProgrammerType" || fail "build --help does not describe the package"
$kit check --help | grep -q -- "--json" || fail "check --help"
set +e
$kit build only-one-argument >/dev/null 2>&1
[ $? -eq 2 ] || fail "usage error did not exit 2"
$kit build a b --disk-size 12Q >/dev/null 2>&1
[ $? -eq 2 ] || fail "bad disk size did not exit 2"
SOURCE_DATE_EPOCH=soon $kit build a b >/dev/null 2>&1
[ $? -eq 2 ] || fail "a bad SOURCE_DATE_EPOCH did not exit 2"
set -e
echo "setupkit command line: all passed"
