# Sourced by the scripts that run Windows programs: the Wine settings of a
# Windows build tree's own prefix. SETUP_WINE_BUILD names the tree (default
# build/win32, the shipping build, whose 32-bit programs run through WOW64
# in a 64-bit prefix as on today's 64-bit Windows).
WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver64
: "${SETUP_WINE_BUILD:=$(pwd)/build/win32}"
export SETUP_WINE_BUILD
export WINEPREFIX="${WINEPREFIX:-$SETUP_WINE_BUILD/wineprefix}"
export WINEDEBUG=-all
# No Mono or Gecko installer, and no desktop menu entries for the shortcuts
# that tests make.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# wine64 starts a 32-bit program with the loader named like WINELOADER less
# its "64": the tree's wow64/wine runs Wine's 32-bit loader under qemu-i386.
if [ -x "$SETUP_WINE_BUILD/wow64/wine" ]; then
    export WINELOADER="$SETUP_WINE_BUILD/wow64/wine64"
fi
# Wine and the libraries it loads keep caches and settings below the home
# folder: a home of the build tree's own keeps the user's home untouched.
export HOME="$SETUP_WINE_BUILD/home"
export XDG_CACHE_HOME="$HOME/.cache" XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
mkdir -p "$HOME" 2>/dev/null || true
# Wine draws with the fonts that fontconfig lists. WenQuanYi Zen Hei has no
# hinting and asks (in its gasp table) for black-and-white glyphs at dialog
# sizes, which then lose strokes; Wine falls back on it for the dialog font
# in code page 936. Hidden here, so that Micro Hei (hinted, smoothed) draws
# the Chinese text.
if [ ! -f "$XDG_CONFIG_HOME/fontconfig/fonts.conf" ]; then
    mkdir -p "$XDG_CONFIG_HOME/fontconfig" 2>/dev/null &&
        printf '%s\n' '<?xml version="1.0"?>' '<!DOCTYPE fontconfig SYSTEM "fonts.dtd">' \
            '<fontconfig><selectfont><rejectfont><glob>*/wqy-zenhei.ttc</glob></rejectfont></selectfont></fontconfig>' \
            >"$XDG_CONFIG_HOME/fontconfig/fonts.conf" 2>/dev/null || true
fi

# Every prefix of a build tree is a copy of one made once with wineboot
# ($SETUP_WINE_BUILD/pristine-prefix): making one costs some 20 s of
# processor time under emulation, a copy 3 s. Without a window manager every
# closing window costs seconds and no title bar is drawn, so Wine manages its
# own windows. Safe when several tests ask for it at the same moment.
WINE_PRISTINE=$SETUP_WINE_BUILD/pristine-prefix
wine_pristine() {
    mkdir -p "$WINE_PRISTINE"
    (
        flock 8
        [ -f "$WINE_PRISTINE/.pristine-1" ] && exit 0
        find "$WINE_PRISTINE" -mindepth 1 ! -name .lock -delete
        export WINEPREFIX="$WINE_PRISTINE"
        "$WINE64" wineboot -i </dev/null >/dev/null 2>&1
        "$WINE64" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f </dev/null >/dev/null 2>&1
        # A Chinese PC has the Song faces SimSun and NSimSun (the dialog font
        # of code page 936, and the face the Chinese agreement asks for):
        # Micro Hei stands in for them.
        for f in "SimSun=WenQuanYi Micro Hei" "NSimSun=WenQuanYi Micro Hei Mono"; do
            "$WINE64" reg add "HKCU\\Software\\Wine\\Fonts\\Replacements" /v "${f%%=*}" /d "${f#*=}" /f \
                </dev/null >/dev/null 2>&1
        done
        "$WINESERVER64" -w
        # wineboot links Desktop, Documents, ... to the Unix home: make them
        # folders of the prefix, so that shortcuts made by tests and by the
        # demo stay inside it.
        find "$WINEPREFIX/drive_c/users" -type l | while read -r l; do
            rm "$l" && mkdir "$l"
        done
        touch "$WINE_PRISTINE/.pristine-1"
    ) 8>"$WINE_PRISTINE/.lock"
}

# Makes $WINEPREFIX, when it has no registry yet, a copy of the pristine prefix.
wine_prefix_init() {
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    wine_pristine
    mkdir -p "$WINEPREFIX"
    cp -a --no-preserve=ownership "$WINE_PRISTINE/." "$WINEPREFIX/"  # Wine runs only in a prefix of its user
    # Not the file that names the pristine prefix's wineserver folder (below /tmp).
    rm -f "$WINEPREFIX/.pristine-1" "$WINEPREFIX/.lock" "$WINEPREFIX/wineserver"
}

# Starts a persistent wineserver of this prefix and Wine's services, with
# every stream redirected (otherwise callers wait on them forever).
# On a busy machine the server may not listen yet when wineboot first asks
# (seen when several tests start at once): wineboot is tried up to 3 times.
wine_start() {
    wine_prefix_init
    "$WINESERVER64" -p </dev/null >/dev/null 2>&1 &
    sleep 0.3
    for try in 1 2 3; do
        "$WINE64" wineboot </dev/null >/dev/null 2>&1 && return 0
        sleep 1
        "$WINESERVER64" -p </dev/null >/dev/null 2>&1 &
        sleep 0.3
    done
    echo "wine_start: wineboot failed three times in $WINEPREFIX" >&2
    return 1
}

# Ends the wineserver of this prefix and every process of it.
wine_stop() {
    "$WINESERVER64" -k </dev/null >/dev/null 2>&1 || true
}

# Stops the prefix's wineserver and removes the prefix, with the folder
# below /tmp where Wine keeps its server socket (named in the prefix's
# "wineserver" file), which would otherwise stay behind for every throwaway
# prefix ever made. Wine makes that folder again for a prefix that needs it.
wine_remove_prefix() {
    wine_stop
    name=$(cat "$WINEPREFIX/wineserver" 2>/dev/null) || name=
    case "$name" in
    wine-??????) for d in "${TMPDIR:-/tmp}/$name" "/tmp/$name"; do [ -O "$d" ] && rm -rf "$d"; done ;;
    esac
    rm -rf "$WINEPREFIX"
}
