# The restart page left at Yes: the notice is shown, and after OK the setup
# restarts the "computer", which under Wine ends every process of the prefix
# (this driver too, so the checks run in a second driver afterwards).
e2e_package
e2e_standard_medium 0
rc=0
e2e_drive <<SCN || rc=$?
$(e2e_walk_wizard)
diskprompt #2 A 60000
disk $WORK/disk2 manual.zip
click 1
page restart 60000
expect 1017 checked
click 12325
box "Please close all processes to avoid losing data."
shot restart-notice
answer "Please close all processes to avoid losing data." ok
echo "notice answered"
sleep 15000
echo "still alive after the restart"
SCN
echo "driver ended with $rc"
[ "$rc" -ne 0 ]
grep -q "still alive" "$WORK/driver.log" && { echo "the restart did not end the prefix's processes"; exit 1; }
grep -q "notice answered" "$WORK/driver.log"
grep -q "^FAILED" "$WORK/driver.log" && exit 1
e2e_drive <<SCN
tree C:\Morlan $(winpath "$WORK/expected")
reg HKLM\SYSTEM\CurrentControlSet\Services\KR3NT Start dword 2
link "%DESKTOP%\Morlan Demo.lnk" C:\Morlan\bin\Morlan.exe C:\Morlan\bin C:\Morlan\bin\morlan.ico
SCN
