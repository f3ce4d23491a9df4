#!/bin/sh
# The pack phase's record writing against `cp -r`, and `setupkit pack`
# against `tar -cf`, on the same tree of 1,000 files and 100 MB on one file
# system, in one run, several rounds; prints a Markdown table of medians.
# Usage: bench/pack_bench.sh [ROUNDS]   (default 5)
set -e
cd "$(dirname "$0")/.."
rounds=${1:-5}
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSETUP_SANITIZE=OFF \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target pack_bench setupkit -j 2 >/dev/null
bench=$build/bench/pack_bench
kit=$build/bin/setupkit
work=${BENCH_DIR:-$build/packdata}
mkdir -p "$work"
[ -d "$work/tree" ] || "$bench" data "$work/tree" 1000 100
"$kit" pack -q "$work/tree.pak" "$work/tree" 2>/dev/null

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
least() { sort -n | head -1; }
: >"$work/t.unpack"; : >"$work/t.cp"; : >"$work/t.pack"; : >"$work/t.tar"
i=0
while [ $i -lt "$rounds" ]; do
    # The pack phase creates no folders: they exist beforehand, as [SubDir]
    # makes them on the setup's road.
    rm -rf "$work/out.unpack" "$work/out.cp" "$work/p.pak" "$work/t.tar.out"
    mkdir -p "$work/out.unpack"
    for d in 0 1 2 3 4 5 6 7 8 9; do mkdir "$work/out.unpack/d$d"; done
    # Each run starts with no dirty pages, so none pays for another's
    # write-back.
    sync
    "$bench" time "$bench" unpack "$work/tree.pak" "$work/out.unpack" >>"$work/t.unpack"
    sync
    "$bench" time cp -r "$work/tree" "$work/out.cp" >>"$work/t.cp"
    sync
    "$bench" time "$kit" pack -q "$work/p.pak" "$work/tree" 2>/dev/null >>"$work/t.pack"
    sync
    "$bench" time tar -cf "$work/t.tar.out" -C "$work" tree >>"$work/t.tar"
    i=$((i + 1))
done
diff -r "$work/tree" "$work/out.unpack" >/dev/null || { echo "unpacked tree differs" >&2; exit 1; }

row() {  # row TASK TOOL FILE
    printf '| %s | %s | %s | %s | %s |\n' "$1" "$2" "$(cut -d' ' -f1 "$3" | median)" "$(cut -d' ' -f2 "$3" | median)" \
        "$(cut -d' ' -f1 "$3" | least)"
}
echo "| task (1,000 files, 100 MB, $rounds rounds) | tool | median wall s | median CPU s | best wall s |"
echo "|---|---|---|---|---|"
row "write the records of a pack" "pack phase (setup's code)" "$work/t.unpack"
row "write the records of a pack" "cp -r" "$work/t.cp"
row "make a pack / archive" "setupkit pack" "$work/t.pack"
row "make a pack / archive" "tar -cf" "$work/t.tar"
awk -v a="$(cut -d' ' -f1 "$work/t.unpack" | median)" -v b="$(cut -d' ' -f1 "$work/t.cp" | median)" \
    -v c="$(cut -d' ' -f1 "$work/t.pack" | median)" -v d="$(cut -d' ' -f1 "$work/t.tar" | median)" \
    'BEGIN { printf "\nratios: pack phase / cp -r = %.2f, setupkit pack / tar -cf = %.2f\n", a / b, c / d }'
