#!/bin/sh
# Installs every Debian package that the build, the tests and the demo need.
# Idempotent: prints nothing and installs nothing when all is already there.
set -e
PKGS="cmake ninja-build make g++ clang libclang-rt-14-dev
 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
 libz-mingw-w64-dev zlib1g-dev googletest
 wine wine64 xvfb xauth x11-utils zip unzip imagemagick python3
 libpython3.11-testsuite procps perl"
missing=""
for p in $PKGS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "bootstrap: installing$missing" >&2
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
