# A medium written by `setupkit build` with a small disk size (three disks
# or more) installs end to end: the disks are inserted as the setup asks for
# them, and the installed tree equals the package's files byte for byte,
# with their times.
e2e_package
V=$WORK/vendor
mkdir -p "$V"
# The manual in four parts of 10 KB that do not compress, so that disks
# of 16 KB each hold about one of them.
rm "$PKG/doc/manual.pdf"
for n in 1 2 3 4; do mkbin "$PKG/doc/part$n.bin" "2024-07-1$n 14:14:14" 10240 $((20 + n)); done
cp -a "$PKG" "$V/files"
e2e_ini "$V/package.ini" <<'INI'
[Product]
Name=Morlan Kit
Caption=Morlan Kit 3.0 Setup
Folder=C:\MorlanKit
Program=bin\Morlan.exe
OpenFolder=bin
ProgrammerType=0
LanguageLibrary=Language
[Shortcut]
Name=Morlan Kit
Description=Morlan Kit programmer software
Icon=morlan
[Languages]
English=English
German=German
[Payload]
Root=files
Pack=data
[Delete]
bin\old.tmp
INI
# The 64-bit test build of setup.exe (several MB with its debug data) would
# not fit a small disk; it joins disk 1 after the build, where the shipping
# build would be.
"$E2E_BUILD/../native/bin/setupkit" build -q "$V/package.ini" "$WORK/medium" --disk-size 16K
cp "$E2E_BUILD/bin/setup.exe" "$WORK/medium/disk1/setup.exe"
disks=$(ls -d "$WORK"/medium/disk* | wc -l)
echo "setupkit build wrote $disks disks"
[ "$disks" -ge 3 ]
cp -a "$PKG" "$WORK/expected"
rm "$WORK/expected/bin/old.tmp"
cp -p "$PKG/bin/English.dll" "$WORK/expected/bin/Language.dll"
cp -p "$WORK/medium/disk1/morlan.ini" "$WORK/expected/morlan.ini"
chmod u+w "$WORK/expected/morlan.ini"
chmod -R a-w "$WORK/medium"
ln -sfn "$WORK/medium/disk1" "$WINEPREFIX/dosdevices/a:"
swaps=""
i=2
while [ $i -le "$disks" ]; do
    swaps="$swaps
diskprompt #$i A 60000
disk $WORK/medium/disk$i
click 1"
    i=$((i + 1))
done
e2e_drive <<SCN
$(e2e_walk_wizard)
$swaps
page restart 120000
click 1018
click 12325
ended
tree C:\MorlanKit $(winpath "$WORK/expected")
link "%DESKTOP%\Morlan Kit.lnk" C:\MorlanKit\bin\Morlan.exe C:\MorlanKit\bin C:\MorlanKit\bin\morlan.ico
reg HKLM\SYSTEM\CurrentControlSet\Services\KR3NT Start dword 2
SCN
