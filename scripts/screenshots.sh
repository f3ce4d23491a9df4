#!/bin/sh
# Takes the pictures of the wizard pages and the folder picker shown in the
# README: runs the page tests under Xvfb and Wine with SETUP_SCREENSHOTS set,
# so that they save PNGs of their windows (the "-cp936" ones in their runs
# in code page 936), then copies them into docs/pages.
# Not part of the normal test run. Needs a built win32 tree
# (cmake --build --preset win32).
set -e
cd "$(dirname "$0")/.."
# The font that stands in for the Chinese system fonts (see wine-env.sh).
if ! fc-list | grep -q wqy-microhei; then
    apt-get install -y -q fonts-wqy-microhei >/dev/null
fi
# The tests may run as the unprivileged test user: they save into the
# build tree's test home, which that user owns.
shots="$(pwd)/build/win32/home/pages"
rm -rf "$shots"
mkdir -p "$shots" docs/pages
SETUP_SCREENSHOTS="$shots" scripts/wine-ctest.sh \
    -R 'win_wizard_test' "$@"
cp "$shots"/*.png docs/pages/
ls -l docs/pages
