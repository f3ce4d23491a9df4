# A damaged archive on the medium (one byte of the driver's stored data
# changed): the reader's check fails, the setup says so, the dialog waits
# for Cancel; No tries the same archive again, Yes ends the setup before
# any later archive. The damaged entry leaves no file behind.
e2e_package
e2e_standard_medium 0
chmod u+w "$WORK/disk1" "$WORK/disk1/Kr3nt.zip"
perl -i -pe 'BEGIN { binmode STDIN; binmode STDOUT; $/ = undef } substr($_, 30 + 9 + 100, 1) ^= "\x55"' "$WORK/disk1/Kr3nt.zip"
chmod a-w "$WORK/disk1" "$WORK/disk1/Kr3nt.zip"
unzip -tq "$WORK/disk1/Kr3nt.zip" >/dev/null 2>&1 && { echo "the archive is not damaged"; exit 1; }
e2e_drive <<SCN
$(e2e_walk_wizard)
box "Internal application error." 30000
shot error-archive
answer "Internal application error." ok
progress
no-box 1500
click 2
answer "Exit installation?" no
answer "Internal application error." ok 30000
progress
click 2
answer "Exit installation?" yes
ended
exists C:\Morlan\bin\German.dll
missing C:\Morlan\bin\Kr3nt.sys
missing C:\Morlan\bin\morlan.ico
missing C:\Morlan\doc\manual.pdf
no-key HKLM\SYSTEM\CurrentControlSet\Services\KR3NT
SCN
