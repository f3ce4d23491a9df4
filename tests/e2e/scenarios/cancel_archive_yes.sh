# Cancel confirmed in the archive phase: the setup ends at once; the first
# archive at most is unpacked, no later step runs.
e2e_package
e2e_standard_medium 0
e2e_drive <<SCN
$(e2e_walk_wizard)
click 2
answer "Exit installation?" yes
ended
exists C:\Morlan\morlan.ini
missing C:\Morlan\bin\English.dll
missing C:\Morlan\doc\manual.pdf
missing C:\Morlan\bin\Language.dll
no-key HKLM\SYSTEM\CurrentControlSet\Services\KR3NT
missing "%DESKTOP%\Morlan Demo.lnk"
missing "%PROGRAMS%\Morlan Demo.lnk"
SCN
