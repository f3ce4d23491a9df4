# A medium of three disks or more written by `setupkit build` installs, the
# disks inserted as asked, into the package's tree byte for byte with times.
e2e_package
# Four parts of 10 KB that do not compress: about one on each 16 KB disk.
rm "$PKG/doc/manual.pdf"
for n in 1 2 3 4; do mkbin "$PKG/doc/part$n.bin" "2024-07-1$n 14:14:14" 10240 $((20 + n)); done
e2e_ini package.ini "$WORK/package.ini"
# The test build of setup.exe would not fit a small disk: it joins disk 1 later.
"$SETUPKIT" build -q "$WORK/package.ini" "$WORK/medium" --disk-size 16K
e2e_medium "$WORK/medium/disk1"
disks=$(ls -d "$WORK"/medium/disk* | wc -l)
[ "$disks" -ge 3 ]
e2e_expected "$WORK/medium/disk1/morlan.ini" English
chmod -R a-w "$WORK/medium"
e2e_drive <<SCN
$(e2e_walk_wizard)
$(e2e_swaps "$disks" medium/disk)
page restart 120000; click 1018; click 12325; ended
link "%DESKTOP%\Morlan Kit.lnk" C:\MorlanKit\bin\Morlan.exe C:\MorlanKit\bin C:\MorlanKit\bin\morlan.ico
reg HKLM\SYSTEM\CurrentControlSet\Services\KR3NT Start dword 2
SCN
e2e_tree "$C/MorlanKit" "$WORK/expected"
