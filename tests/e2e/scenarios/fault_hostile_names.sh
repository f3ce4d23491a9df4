# Names that climb out of the installation folder are refused, each named:
# an archive entry (the setup exits), then [DelFile], language and shortcut.
e2e_package
A=$WORK/disk-a D=$WORK/disk-d
mkdir -p "$A" "$D"
python3 -c 'import sys, zipfile as z; z.ZipFile(sys.argv[1], "w", z.ZIP_DEFLATED).writestr("..\\..\\evil.txt", "out")' \
    "$A/English.zip"
zip -q -X -j "$D/English.zip" "$PKG/bin/English.dll"
e2e_ini hostile.ini "$D/morlan.ini"
cp "$D/morlan.ini" "$A/morlan.ini"
e2e_medium "$A"
cp "$A/setup.exe" "$D/setup.exe"
printf "not the setup's to delete" >"$C/victim"
e2e_drive <<SCN
$(e2e_walk_wizard)
box "Invalid file name" 30000; shot error-hostile-name; answer "Invalid file name \"..\..\evil.txt\"" ok
answer "Exit installation?" yes; ended
disk $D
$(e2e_walk_wizard)
answer "Invalid name \"..\..\victim\" in [DelFile]" ok 30000
page complete 30000; click 12325
answer "Invalid name \"..\..\Lang\" in [Language]" ok
answer "Invalid name \"..\Evil\" in [Shortcut]" ok
ended
missing "%PROGRAMS%\..\Evil.lnk"
missing "%DESKTOP%\..\Evil.lnk"
SCN
[ "$(cat "$C/victim")" = "not the setup's to delete" ]
[ -z "$(find "$C" -maxdepth 3 \( -iname evil.txt -o -iname lang.dll \))" ]
cmp "$C/Morlan/bin/English.dll" "$PKG/bin/English.dll"
