#!/bin/sh
# Takes the pictures of the wizard pages and the folder picker shown in the
# README: runs the page tests under Xvfb and Wine with SETUP_SCREENSHOTS set,
# so that they save PNGs of their windows into docs/pages. Not part of the
# normal test run. Needs a built win64 tree (cmake --build --preset win64).
set -e
cd "$(dirname "$0")/.."
# A font with Chinese characters, for the agreement page in Chinese.
if ! fc-list :lang=zh | grep -q .; then
    apt-get install -y -q fonts-wqy-microhei >/dev/null
fi
mkdir -p docs/pages
SETUP_SCREENSHOTS="$(pwd)/docs/pages" scripts/wine-ctest.sh \
    -R 'win_(destination_page|language_page|agreement_page|complete_pages|folder_picker)_test' "$@"
ls -l docs/pages
