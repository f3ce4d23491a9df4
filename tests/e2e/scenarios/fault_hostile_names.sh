# Media whose archive entry or pack record is named to lead out of the
# installation folder: the setup refuses the name, writes nothing outside
# the folder, and ends when the exit question is answered Yes. Two runs in
# one prefix: a hostile archive entry, then a hostile pack record.
e2e_package
A=$WORK/disk-a B=$WORK/disk-b
mkdir -p "$A" "$B" "$WORK/src"
mkf "$WORK/src/XXXXXXXXXXXXXX" "2024-01-01 10:00:00" "must not leave the folder"
(cd "$WORK/src" && zip -q -X "$A/evil.zip" XXXXXXXXXXXXXX)
perl -i -pe 'BEGIN { binmode STDIN; binmode STDOUT; $/ = undef } s/XXXXXXXXXXXXXX/..\\..\\evil.txt/g' "$A/evil.zip"
unzip -Z1 "$A/evil.zip" | grep -qF '..\..\evil.txt'
mkf "$WORK/src/ok.txt" "2024-01-01 10:00:02" "inside"
e2e_pack_names "$WORK/src/data.pak" ok.txt "$WORK/src/ok.txt" '..\escaped.txt' "$WORK/src/ok.txt" top.txt "$WORK/src/ok.txt"
e2e_zip "$B/data.zip" "$WORK/src/data.pak"
for d in "$A" "$B"; do
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
e2e_medium "$A"
cp "$A/setup.exe" "$B/setup.exe"
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
SCN
