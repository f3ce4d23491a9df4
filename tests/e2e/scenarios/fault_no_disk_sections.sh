# A configuration without disk sections: copying stops with "Error File of
# morlan.ini"; No at the exit question reads the file again and the message
# returns; Yes ends the setup.
e2e_package
mkdir -p "$WORK/disk1"
e2e_ini "$WORK/disk1/morlan.ini" <<'INI'
[Software]
Version=Morlan Demo 2.1
Name=Morlan Demo
[Dir]
Dest=C:\Morlan
[Programmer]
Type=0
INI
e2e_medium "$WORK/disk1"
e2e_drive <<SCN
$(e2e_walk_wizard)
box "Error File of morlan.ini"
expect-box-caption setup
shot error-config
answer "Error File of morlan.ini" ok
answer "Exit installation?" no
answer "Error File of morlan.ini" ok
answer "Exit installation?" yes
ended
exists C:\Morlan\morlan.ini
no-key HKLM\SYSTEM\CurrentControlSet\Services\KR3NT
missing "%DESKTOP%\Morlan Demo.lnk"
SCN
