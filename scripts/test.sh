#!/bin/sh
# Installs what is needed, builds the three presets and runs every test.
set -e
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
for preset in native win64 win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
ctest --preset native -j2
scripts/wine-ctest.sh
