# A medium written by `setupkit build` from a package description: the
# standard package (plus two binary files and a file in the installation
# folder itself, whose archive goes to Dir "."), on 41K disks, four disks;
# every disk prompt is answered by pointing A: at the next disk folder. The
# installed tree equals the package byte for byte, with times and attributes.
e2e_package
mkbin "$PKG/doc/extra1.bin" "2024-01-02 03:04:06" 30000 11
mkbin "$PKG/doc/extra2.bin" "2024-01-02 03:04:08" 30000 12
mkf "$PKG/top.txt" "2024-02-03 04:05:06" "a file in the installation folder itself"
cat >"$WORK/package.ini" <<INI
[Product]
Name=Morlan Demo
Caption=Morlan Demo 2.1
Folder=C:\Morlan
Program=bin\Morlan.exe
OpenFolder=bin
ProgrammerType=0
LanguageLibrary=Language
[Shortcut]
Name=Morlan Demo
Description=Morlan Demo programmer software
Icon=morlan
[Languages]
English=English
German=German
[Payload]
Root=package
Pack=data
[Delete]
bin\old.tmp
INI
"$SETUPKIT" build "$WORK/package.ini" "$WORK/out" --disk-size 41K
"$SETUPKIT" check "$WORK"/out/disk*
[ -d "$WORK/out/disk3" ]
cp -a "$PKG" "$WORK/expected"
rm "$WORK/expected/bin/old.tmp"
cp -p "$PKG/bin/English.dll" "$WORK/expected/bin/Language.dll"
cp -p "$WORK/out/disk1/morlan.ini" "$WORK/expected/morlan.ini"
chmod u+w "$WORK/expected/morlan.ini"
e2e_medium "$WORK/out/disk1"
INST='C:\Morlan'
{ e2e_walk_wizard
  d=2
  while [ -d "$WORK/out/disk$d" ]; do
      first=$(grep -A2 "^\[Disk$d\]" "$WORK/out/disk1/morlan.ini" | sed -n 's/^File1=\(.*\)\r$/\1/p')
      echo "diskprompt #$d A 60000"
      echo "disk $WORK/out/disk$d $first.zip"
      echo "click 1"
      echo "progress"
      d=$((d + 1))
  done
  cat <<SCN
page restart 60000
click 1018
click 12325
ended
tree $INST $(winpath "$WORK/expected")
SCN
} | e2e_drive
