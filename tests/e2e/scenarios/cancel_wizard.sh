# Cancel in the first wizard: No goes on with the wizard; Yes ends the setup
# with nothing installed: the folders made on Next stay, the configuration
# file is not copied.
e2e_package
mkdir -p "$WORK/disk1"
e2e_zip "$WORK/disk1/Morlan.zip" "$PKG/bin/Morlan.exe"
e2e_ini "$WORK/disk1/morlan.ini" <<'INI'
[Software]
Version=Morlan Demo 1.0
Name=Morlan Demo
[Dir]
Dest=C:\Morlan
[SubDir]
Number=1
Dir1=bin
[Disk]
Number=1
[Disk1]
Number=1
File1=Morlan
Dir1=bin
Percent1=100
INI
e2e_medium "$WORK/disk1"
e2e_drive <<SCN
start
page welcome
expect-caption "Morlan Demo 1.0"
click 2
box "Exit installation?"
expect-box-caption setup
answer "Exit installation?" no
running 300
page welcome
click 12324
page destination
click 12324
page language
click 12324
page agreement
click 1020
expect 12325 enabled
click 2
answer "Exit installation?" yes
ended
exists C:\Morlan\bin
missing C:\Morlan\morlan.ini
missing C:\Morlan\bin\Morlan.exe
SCN
