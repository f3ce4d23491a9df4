# A second installation while the installed program runs (its file held open
# without sharing): the message says a program uses the file and what to do;
# the program closed, No completes the tree a clean install leaves.
e2e_standard_medium 0
install="$(e2e_walk_wizard)"
finish="$(e2e_swaps 2 disk)
page restart 60000; click 1018; click 12325; ended"
e2e_drive <<SCN
$install
$finish
disk $WORK/disk1 setup.exe; hold $(e2e_winpath "$E2E_BUILD/helpers/holder.exe") C:\Morlan\bin\Morlan.exe
$install
box "is in use" 60000; shot error-file-in-use
fault "The file C:\Morlan\bin\Morlan.exe is in use by another program." \
    "Close that program, then answer No to the next question to try again."
release; answer "Exit installation?" no
$finish
SCN
e2e_tree "$C/Morlan" "$WORK/expected"
