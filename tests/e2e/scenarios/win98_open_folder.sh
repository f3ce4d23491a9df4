# Windows 98, type 0: no driver step, the program's folder opened; then the
# same installation again over the first, leaving the same tree.
e2e_standard_medium 0
install="$(e2e_walk_wizard)
$(e2e_swaps 2 disk)
page complete 60000; expect 1015 unchecked; click 12325; ended"
e2e_drive <<SCN
reg-set HKCU\Software\Wine Version sz win98
$install
window bin
no-key HKLM\SYSTEM\CurrentControlSet\Services\KR3NT
SCN
e2e_tree "$C/Morlan" "$WORK/expected"
e2e_windows_file Kr3nt.sys -
e2e_windows_file UsbDrv.sys -
printf 'disk %s setup.exe\n%s\n' "$WORK/disk1" "$install" | e2e_drive
e2e_tree "$C/Morlan" "$WORK/expected"
