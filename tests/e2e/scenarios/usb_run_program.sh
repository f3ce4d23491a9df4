# Type 1: the USB step replaces the device's earlier registration (prepared
# here); the completion page's box ticked from the keyboard starts the program.
e2e_standard_medium 1
USB='HKLM\Enum\USB\VID_04D8&PID_E11C'
CLASS='HKLM\System\CurrentControlSet\Services\Class\USBTEST'
echo old | tee "$C/windows/inf/Drvidx.bin" >"$C/windows/inf/Drvdata.bin"
e2e_drive <<SCN
reg-set $USB\5&1234 Driver sz USBTEST\0001; reg-set $USB\5&5678 Driver sz USBTEST\0002
reg-set $CLASS\0001 DriverDesc sz "first instance"; reg-set $CLASS\0002 DriverDesc sz "second instance"
reg-set $CLASS\0003 DriverDesc sz "another device"
$(e2e_walk_wizard)
$(e2e_swaps 2 disk)
page complete 60000; expect 1015 unchecked; focus 12325; press tab; focus 1015
press space; expect 1015 checked; shot wizard-complete; press enter; ended
no-key $USB; no-key $CLASS\0001; no-key $CLASS\0002; key $CLASS\0003
no-key HKLM\SYSTEM\CurrentControlSet\Services\KR3NT
link "%DESKTOP%\Morlan Demo.lnk" C:\Morlan\bin\Morlan.exe C:\Morlan\bin C:\Morlan\bin\morlan.ico
SCN
# The program started with its quoted path; its marker is not part of the tree.
marker=$C/Morlan/bin/Morlan.exe.marker
timeout 15 sh -c "until [ -s '$marker' ]; do sleep 0.1; done"
[ "$(cat "$marker")" = '"C:\Morlan\bin\Morlan.exe"' ]; rm "$marker"
e2e_tree "$C/Morlan" "$WORK/expected"
for f in Drvidx.bin Drvdata.bin; do [ ! -e "$C/windows/inf/$f" ]; done
# Each system file in the folder that its Dir names (System32 is the system's own, not SysWOW64).
e2e_windows_file UsbDrv.sys "$PKG/bin/UsbDrv.sys" system32/drivers/UsbDrv.sys
e2e_windows_file UsbDrv.inf "$PKG/bin/UsbDrv.inf" inf/UsbDrv.inf
e2e_windows_file Kr3nt.sys -
