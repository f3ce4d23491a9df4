# Real key presses alone; the restart declined with Enter leaves the prefix's
# processes (this driver) running.
e2e_standard_medium 0 German
e2e_drive <<SCN
start; page welcome; focus 12324
press esc; box "Exit installation?"; shot exit-question; press tab; focus 7; press enter; page welcome; running 300
press enter; page destination; focus 12324; press tab tab; focus 1001
press enter; picker; press esc; gone; page destination; focus 1001; press tab tab; focus 12324
press enter; page language; focus 1014; press down; expect 1014 text=German
press tab; focus 1006; press tab; focus 1007; press space; expect 1007 unchecked; expect 1006 checked
press enter; page agreement; focus 1018; expect 12325 disabled; press enter; running 500; page agreement
press tab; focus 1021; press up; focus 1020; press space; expect 1020 checked; expect 12325 enabled
press down; focus 1021; press space; expect 1021 checked; expect 12325 disabled; press enter; running 500
page agreement; press up; focus 1020; press space; expect 12325 enabled
press enter; progress; diskprompt #2 A 60000; disk $WORK/disk2 manual.zip; press enter
page restart 60000; focus 12325; expect 1017 checked; press tab; focus 1017
press down; focus 1018; expect 1018 checked; expect 1017 unchecked; press enter; ended
sleep 3000
reg HKLM\SYSTEM\CurrentControlSet\Services\KR3NT Start dword 2
link "%DESKTOP%\Morlan Demo.lnk" C:\Morlan\bin\Morlan.exe C:\Morlan\bin C:\Morlan\bin\morlan.ico
missing "%PROGRAMS%\Morlan Demo.lnk"
SCN
e2e_tree "$C/Morlan" "$WORK/expected"
