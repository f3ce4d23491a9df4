#!/bin/sh
# Installs every Debian package that the build, the tests and the demo need.
# Idempotent: prints nothing and installs nothing when all is already there.
# The shipping 32-bit program runs under Wine through WOW64, with Wine's
# 32-bit loader (wine32, of the i386 architecture) under qemu-i386.
set -e
PKGS="cmake ninja-build make g++ clang libclang-rt-14-dev
 g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix
 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
 libz-mingw-w64-dev zlib1g-dev googletest
 wine wine64 wine32:i386 qemu-user xvfb xauth x11-utils zip unzip 7zip imagemagick python3
 libpython3.11-testsuite procps perl acl
 locales fonts-wqy-microhei"
missing=""
for p in $PKGS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ -n "$missing" ]; then
    echo "bootstrap: installing$missing" >&2
    export DEBIAN_FRONTEND=noninteractive
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
    log=$(mktemp)
    if ! { $SUDO apt-get update -qq && $SUDO apt-get install -y -qq --no-install-recommends $missing; } >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        exit 1
    fi
    rm -f "$log"
fi
# The Chinese locale, so that Wine can run with the ANSI code page 936 as on
# a Chinese PC (tests and pictures); the font above draws its text.
if ! locale -a 2>/dev/null | grep -qx 'zh_CN.utf8'; then
    echo "bootstrap: generating the zh_CN.UTF-8 locale" >&2
    $SUDO sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -qx 'zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
fi
