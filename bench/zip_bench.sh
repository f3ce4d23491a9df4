#!/bin/sh
# ZIP reader against Info-ZIP unzip and a bare zlib raw-inflate loop on one
# deflated entry, in one run, several rounds; prints a Markdown table of
# medians and the peak memory of each (20 MB and 200 MB entries).
# Usage: bench/zip_bench.sh [ROUNDS]   (default 5)
set -e
cd "$(dirname "$0")/.."
rounds=${1:-5}
build=build/bench-zip
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSETUP_SANITIZE=OFF \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target zip_bench -j 2 >/dev/null
bench=$build/bench/zip_bench
work=${BENCH_DIR:-$build/zipdata}
mkdir -p "$work"
for mb in 20 200; do
    if [ ! -f "$work/entry$mb.zip" ]; then
        "$bench" data "$work/entry$mb.bin" "$mb"
        rm -f "$work/entry$mb.zip"
        (cd "$work" && zip -q -X "entry$mb.zip" "entry$mb.bin")
        rm -f "$work/entry$mb.bin"
    fi
done

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

printf '| entry | tool | median wall s | median CPU s | peak RSS KiB |\n|---|---|---|---|---|\n'
for mb in 200 20; do
    zip=$work/entry$mb.zip
    : >"$work/t.reader"; : >"$work/t.unzip"; : >"$work/t.zlib"
    i=0
    while [ $i -lt "$rounds" ]; do
        "$bench" time /dev/null "$bench" reader "$zip" 2>/dev/null >>"$work/t.reader"
        "$bench" time /dev/null unzip -p "$zip" >>"$work/t.unzip"
        "$bench" time /dev/null "$bench" zlib "$zip" 2>/dev/null >>"$work/t.zlib"
        i=$((i + 1))
    done
    for tool in reader unzip zlib; do
        t=$(cut -d' ' -f1 "$work/t.$tool" | median)
        m=$(cut -d' ' -f2 "$work/t.$tool" | median)
        c=$(cut -d' ' -f3 "$work/t.$tool" | median)
        eval "t_$tool=$t c_$tool=$c"
        case $tool in
            reader) name="CZipUnpacker, 1024-byte reads, CRC checked" ;;
            unzip) name="unzip -p > /dev/null" ;;
            zlib) name="bare zlib raw inflate, 64 KiB buffers, no CRC" ;;
        esac
        printf '| %s MB | %s | %s | %s | %s |\n' "$mb" "$name" "$t" "$c" "$m"
    done
    awk -v r="$t_reader" -v u="$t_unzip" -v z="$t_zlib" -v cr="$c_reader" -v cu="$c_unzip" -v cz="$c_zlib" \
        -v mb="$mb" 'BEGIN { printf "| %s MB | ratio reader/unzip | %.2f | %.2f | |\n| %s MB | ratio reader/zlib | %.2f | %.2f | |\n", mb, r / u, cr / cu, mb, r / z, cr / cz }'
done
echo "($rounds rounds, medians; $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg))"
