# Cancel confirmed in the pack phase: the setup ends; the pack is only
# partly unpacked and none of the later steps (deletion list, driver,
# language library, shortcuts) runs.
e2e_package
e2e_standard_medium 0
e2e_drive <<SCN
$(e2e_walk_wizard)
diskprompt #2 A 60000
disk $WORK/disk2 manual.zip
click 1
progress
waittext 1012 data.pak 60000
click 2
answer "Exit installation?" yes
ended
count C:\Morlan\data
exists C:\Morlan\doc\manual.pdf
missing C:\Morlan\data\top.txt
exists C:\Morlan\bin\old.tmp
missing C:\Morlan\bin\Language.dll
no-key HKLM\SYSTEM\CurrentControlSet\Services\KR3NT
missing "%DESKTOP%\Morlan Demo.lnk"
SCN
e2e_windows_file Kr3nt.sys -
