#!/bin/sh
# Benchmark: `setupkit build` of a 200 MB package against `zip -6 -r` of the
# same tree, alternating, in one run; prints the medians as a table row.
#   bench/setupkit_build.sh [RUNS] [THREADS]   (default 5 runs each, threads:
#                                               one per processor)
# Uses a release build of setupkit (no sanitizers) in build/bench and a
# generated package in build/bench/pkg (made once, deterministic).
set -e
cd "$(dirname "$0")/.."
RUNS=${1:-5}
THREADS=${2:+--threads $2}
B=build/bench
cmake -S . -B $B -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build $B --target setupkit -j 2 >/dev/null
KIT=$B/bin/setupkit

if [ ! -f $B/pkg/package.ini ]; then
    python3 bench/make_package.py $B/pkg 200
fi

now() { python3 -c 'import time; print(time.monotonic())'; }
ktimes=""
ztimes=""
i=0
while [ $i -lt "$RUNS" ]; do
    rm -rf $B/out $B/zip.zip
    sync
    t0=$(now); $KIT build $B/pkg $B/out -q $THREADS; t1=$(now)
    ktimes="$ktimes $(python3 -c "print($t1-$t0)")"
    t0=$(now); (cd $B/pkg/files && zip -6 -r -q ../../zip.zip .); t1=$(now)
    ztimes="$ztimes $(python3 -c "print($t1-$t0)")"
    i=$((i + 1))
done
size=$(du -sb $B/pkg/files | cut -f1)
kbytes=$(du -cb $B/out/disk*/*.zip | tail -1 | cut -f1)
zbytes=$(stat -c %s $B/zip.zip)
python3 - "$size" "$kbytes" "$zbytes" "$ktimes" "$ztimes" <<'EOF'
import statistics, sys
size, kb, zb = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
k = [float(x) for x in sys.argv[4].split()]
z = [float(x) for x in sys.argv[5].split()]
mk, mz = statistics.median(k), statistics.median(z)
print("| payload | runs | setupkit build (median s) | zip -6 -r (median s) | ratio | setupkit output | zip output |")
print("|---|---|---|---|---|---|---|")
print(f"| {size/1048576:.0f} MB | {len(k)} | {mk:.2f} | {mz:.2f} | {mk/mz:.2f} | {kb/1048576:.1f} MB | {zb/1048576:.1f} MB |")
EOF
