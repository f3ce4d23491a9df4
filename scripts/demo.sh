#!/bin/sh
# The README's demo command: installs what is missing, builds everything and
# installs the demo package under Wine from the medium that setupkit builds
# from examples/demo, driven through the whole wizard by the end-to-end
# driver. With a display ($DISPLAY set) it runs there, at a pace you can
# follow (E2E_PACE milliseconds before each action); without one it runs in
# a virtual display (Xvfb) and saves a picture of the first page to
# docs/demo.png.
# The demo has a Wine prefix of its own (build/demo/wineprefix), so nothing
# it installs touches the test prefix or the user's own Wine.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
if [ -z "$SETUP_DEMO_INNER" ]; then
    scripts/bootstrap.sh
    scripts/build.sh native win64 win32
fi

# Without a display, run this script again inside a virtual one.
if [ -z "$DISPLAY" ]; then
    SETUP_DEMO_INNER=1 SETUP_DEMO_HEADLESS=1 exec scripts/with-display.sh -s 1024x768x24 "$0" "$@"
fi

demo="$root/build/demo"
medium="$demo/medium"
export WINEPREFIX="$demo/wineprefix"
. scripts/wine-env.sh

# Builds the demo medium from the demo package (examples/demo) with the
# vendor tool: disk1/ holds the shipping 32-bit setup.exe, morlan.ini and
# the archives. The setup runs through WOW64 in the 64-bit prefix, as on
# today's 64-bit Windows.
make_demo_medium() {
    rm -rf "$medium"
    build/native/bin/setupkit build examples/demo "$medium" --setup build/win32/bin/setup.exe -q
}

# The demo install, driven the way the end-to-end tests drive the setup: the
# medium's first disk is drive A: of the prefix, setup.exe starts from it,
# and tests/e2e's driver walks every page with the default choices (the
# agreement accepted, the restart declined), inserting each further disk
# when the setup asks for it. On a display it pauses before every action so
# that you can follow; without one it also saves the first page's picture to
# docs/demo.png.
write_demo_scenario() {
    {
        [ -n "$SETUP_DEMO_HEADLESS" ] && echo "shots $root/docs"
        printf '%s\n' start "page welcome" "shot demo" "click 12324" "page destination" "click 12324" \
            "page language" "click 12324" "page agreement" "click 1020" "click 12325" progress
        i=2
        while [ -d "$medium/disk$i" ]; do
            printf '%s\n' "diskprompt #$i A 120000" "disk $medium/disk$i" "click 1"
            i=$((i + 1))
        done
        printf '%s\n' "page restart 300000" "click 1018" "click 12325" ended 'exists C:\DemoProg\bin\Demo.exe' \
            'echo "installed into C:\DemoProg of the prefix build/demo/wineprefix"'
    } >"$demo/demo-scenario.txt"
}

make_demo_medium
wine_prefix_init
if [ -n "$SETUP_DEMO_HEADLESS" ]; then
    # Without a window manager, Wine draws the windows' frames itself.
    managed=N pace=0
else
    managed=Y pace=${E2E_PACE:-700}
    echo "demo: the setup runs on your display, driven by tests/e2e's driver"
fi
"$WINE64" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d $managed /f </dev/null >/dev/null 2>&1
wine_start
ln -sfn "$medium/disk1" "$WINEPREFIX/dosdevices/a:"
write_demo_scenario
mkdir -p docs
rc=0
E2E_PACE=$pace "$WINE64" build/win32/bin/e2edriver.exe "$(printf 'Z:%s' "$demo/demo-scenario.txt" | tr / '\\')" \
    </dev/null || rc=$?
wine_stop
exit $rc
