# A second setup.exe started while the first shows its welcome page (minimised):
# it ends by itself without a window, the first comes back in front and installs.
e2e_standard_medium 0
e2e_drive <<SCN
$(e2e_walk_wizard | sed 's/page welcome;/page welcome; second; page welcome;/')
$(e2e_swaps 2 disk)
page restart 60000; click 1018; click 12325; ended
SCN
e2e_tree "$C/Morlan" "$WORK/expected"
