# The whole road on the NT family, type 0, two disks, the second missing at
# the first prompt; a typed three-level folder; the restart declined.
e2e_standard_medium 0 German
INST='C:\Tools\Morlan\Demo' KR3NT='HKLM\SYSTEM\CurrentControlSet\Services\KR3NT'
e2e_drive <<SCN
start; page welcome; expect caption "text=Morlan Demo 2.1"; expect 12323 disabled; expect 12325 disabled
shot wizard-welcome; click 12324; page destination; expect 1000 text=C:\Morlan
expect 1008 "text=Setup will install Morlan Demo in the following folder."; shot wizard-destination
click 1001; picker; expect 14148 text=C:\Morlan; type 14148 $INST; shot folder-picker; click 1
box "does not exist. Do you want the folder to be created?"; shot folder-create-question
answer "does not exist" yes; page destination; expect 1000 text=$INST; click 12324
page language; expect 1006 checked; expect 1007 checked; select 1014 1; shot wizard-language; click 12324
page agreement; expect 1021 checked; expect 12325 disabled; click 1020; expect 12325 enabled
shot wizard-agreement; click 12325; progress; expect caption "text=Morlan Demo 2.1"; shot progress
# OK without the disk: the copy fails again and the prompt returns.
diskprompt #2 A 60000; shot disk-prompt; click 1; gone; diskprompt #2 A
disk $WORK/disk2 manual.zip; click 1; progress; expect 1012 has=manual.zip 15000; shot progress-disk2
page restart 60000; expect 1017 checked; shot wizard-restart; click 1018; expect 1017 unchecked; click 12325
ended
reg $KR3NT DisplayName sz KR3NT; reg $KR3NT ErrorControl dword 1; reg $KR3NT ImagePath sz System32\DRIVERS\Kr3nt.sys
reg $KR3NT Start dword 2; reg $KR3NT Type dword 1
link "%DESKTOP%\Morlan Demo.lnk" $INST\bin\Morlan.exe $INST\bin $INST\bin\morlan.ico
link "%PROGRAMS%\Morlan Demo.lnk" $INST\bin\Morlan.exe $INST\bin $INST\bin\morlan.ico
# Restart declined: nothing started, no folder opened.
no-window bin 1500
SCN
e2e_tree "$C/Tools/Morlan/Demo" "$WORK/expected"
# The driver where ImagePath points (the system's own System32, not SysWOW64); no USB step.
e2e_windows_file Kr3nt.sys "$PKG/bin/Kr3nt.sys" system32/drivers/Kr3nt.sys
e2e_windows_file UsbDrv.sys -
