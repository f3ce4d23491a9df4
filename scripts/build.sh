#!/bin/sh
# Configures and builds the given presets (default: all three) quietly: the
# compiler's output is kept in build/<preset>.log and shown only on failure.
# Usage: scripts/build.sh [native] [win64] [win32]
set -e
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- native win64 win32
mkdir -p build
for preset in "$@"; do
    log="build/$preset.log"
    # The x86-64 build only compiles the setup's and the tool's code for a
    # 64-bit target (and the demo, whose files the floppy check packs): no
    # program of it is run, so none is linked.
    targets=""
    [ "$preset" = win64 ] && targets="--target setupwin setupres setupkitlib demo_program demo_English demo_German"
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset" -j 2 $targets; } >"$log" 2>&1; then
        tail -n 60 "$log" >&2
        echo "build.sh: building preset $preset failed (full log: $log)" >&2
        exit 1
    fi
    echo "built $preset"
done
