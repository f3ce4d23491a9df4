# e2e-drive 12M
# The destination drive too full for an archive's copy: a message naming the
# drive and the archive, the exit question by itself; the room made, No
# installs the tree a clean install leaves, with nothing else on the drive.
e2e_big_medium
e2e_small_drive 1048576
e2e_drive <<SCN
$(e2e_walk_wizard 'D:\MorlanKit')
box "There is not enough space" 60000; shot error-disk-full-copy
fault "There is not enough space on drive D: to copy the archive $BIG of disk 1" "answer No to the next question to try again"
delete $(e2e_winpath "$DRIVE/filler"); answer "Exit installation?" no
page restart 60000; click 1018; click 12325; ended
SCN
[ "$(ls -A "$DRIVE")" = MorlanKit ]  # before e2e_tree writes its list beside the tree
e2e_tree "$DRIVE/MorlanKit" "$WORK/expected"
