# Media whose names lead out of the installation folder or name a device:
# the setup refuses each name with a message that names it, writes and
# deletes nothing outside the folder. Four runs in one prefix: an archive
# entry and a pack record that climb out, and an entry named like a device
# (each ends when the exit question is answered Yes); then an installation
# that completes although [DelFile], the language library's target and the
# shortcut's name climb out.
e2e_package
A=$WORK/disk-a B=$WORK/disk-b C=$WORK/disk-c D=$WORK/disk-d
mkdir -p "$A" "$B" "$C" "$D" "$WORK/src"
mkf "$WORK/src/XXXXXXXXXXXXXX" "2024-01-01 10:00:00" "must not leave the folder"
(cd "$WORK/src" && zip -q -X "$A/evil.zip" XXXXXXXXXXXXXX)
perl -i -pe 'BEGIN { binmode STDIN; binmode STDOUT; $/ = undef } s/XXXXXXXXXXXXXX/..\\..\\evil.txt/g' "$A/evil.zip"
unzip -Z1 "$A/evil.zip" | grep -qF '..\..\evil.txt'
mkf "$WORK/src/ok.txt" "2024-01-01 10:00:02" "inside"
e2e_pack_names "$WORK/src/data.pak" ok.txt "$WORK/src/ok.txt" '..\escaped.txt' "$WORK/src/ok.txt" top.txt "$WORK/src/ok.txt"
e2e_zip "$B/data.zip" "$WORK/src/data.pak"
mkf "$WORK/src/Nul.txt" "2024-01-01 10:00:04" "to a device"
e2e_zip "$C/evil.zip" "$WORK/src/Nul.txt"
e2e_zip "$D/English.zip" "$PKG/bin/English.dll"
for d in "$A" "$B" "$C"; do
    e2e_ini "$d/morlan.ini" <<'INI'
[Software]
Version=Morlan Demo 2.1
[Dir]
Dest=C:\Morlan
[SubDir]
Number=2
Dir1=bin
Dir2=data
[Disk]
Number=1
[Disk1]
Number=1
File1=evil
Dir1=bin
Percent1=100
[Remove]
Number=1
Dir1=data
File1=data.pak
Dest1=data
INI
done
sed -i 's/^File1=evil/File1=data/; s/^Dir1=bin/Dir1=data/' "$B/morlan.ini"
e2e_ini "$D/morlan.ini" <<'INI'
[Software]
Version=Morlan Demo 2.1
[Dir]
Dest=C:\Morlan
[SubDir]
Number=1
Dir1=bin
[Language]
Number=0
File1=English
DestFile=..\..\Lang
[Disk]
Number=1
[Disk1]
Number=1
File1=English
Dir1=bin
Percent1=100
[DelFile]
Number=1
File1=..\..\victim
[Programmer]
Type=2
[Shortcut]
Descript2=..\Evil
[Exec]
ExecFile=bin\English.dll
ExecDir=bin
INI
e2e_medium "$A"
for d in "$B" "$C" "$D"; do cp "$A/setup.exe" "$d/setup.exe"; done
e2e_drive <<SCN
$(e2e_walk_wizard)
box "Invalid file name" 30000
shot error-hostile-name
answer "Invalid file name" ok
answer "Exit installation?" yes
ended
missing C:\evil.txt
missing C:\Morlan\evil.txt
missing C:\Morlan\bin\evil.txt
disk $B data.zip
$(e2e_walk_wizard)
answer "Invalid file name" ok 30000
answer "Exit installation?" yes
ended
exists C:\Morlan\data\ok.txt
missing C:\Morlan\escaped.txt
missing C:\escaped.txt
missing C:\Morlan\data\top.txt
disk $C evil.zip
$(e2e_walk_wizard)
answer "Invalid file name \"Nul.txt\"" ok 30000
answer "Exit installation?" yes
ended
disk $D English.zip
mkfile C:\victim "not the setup's to delete"
$(e2e_walk_wizard)
answer "Invalid name \"..\..\victim\" in [DelFile]" ok 30000
page complete 30000
check 1015 0
click 12325
answer "Invalid name \"..\..\Lang\" in [Language]" ok
answer "Invalid name \"..\Evil\" in [Shortcut]" ok
ended
file-text C:\victim "not the setup's to delete"
exists C:\Morlan\bin\English.dll
missing C:\Lang.dll
missing C:\Morlan\Lang.dll
missing "%PROGRAMS%\..\Evil.lnk"
missing "%DESKTOP%\..\Evil.lnk"
SCN
