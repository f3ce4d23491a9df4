# The Windows 95 family (the prefix reports Windows 98, platform id 1) with
# programmer type 0: no driver step, the completion page instead of the
# restart page, and with its box cleared the program's folder is opened.
# Then the same installation again into the same folder, over the files of
# the first, one of them read-only as the package has it: it completes and
# leaves the same tree.
e2e_package
e2e_standard_medium 0
install() {
    cat <<SCN
$(e2e_walk_wizard)
diskprompt #2 A 60000
disk $WORK/disk2 manual.zip
click 1
page complete 60000
expect 1015 unchecked
click 12325
ended
SCN
}
e2e_drive <<SCN
reg-set HKCU\Software\Wine Version sz win98
$(install)
window bin
tree C:\Morlan $(winpath "$WORK/expected")
no-key HKLM\SYSTEM\CurrentControlSet\Services\KR3NT
missing C:\Morlan\bin\Morlan.exe.marker
disk $WORK/disk1 setup.exe
$(install)
tree C:\Morlan $(winpath "$WORK/expected")
SCN
e2e_windows_file Kr3nt.sys -
e2e_windows_file UsbDrv.sys -
