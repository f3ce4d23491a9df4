# e2e-drive 12M
# The destination drive full while the archive's copy is unpacked (the copy
# fitted; the files travel in its pack): the message names the archive and
# its disk, never a temporary file or the pack; the room made, No installs
# the tree a clean install leaves.
e2e_big_medium
e2e_small_drive 4718592
e2e_drive <<SCN
$(e2e_walk_wizard 'D:\MorlanKit')
box "There is not enough space" 60000; shot error-disk-full-unpack
fault "There is not enough space on drive D: to unpack the archive $BIG of disk 1" !~st !.pak \
    "answer No to the next question to try again"
delete $(e2e_winpath "$DRIVE/filler"); answer "Exit installation?" no
page restart 60000; click 1018; click 12325; ended
SCN
[ "$(ls -A "$DRIVE")" = MorlanKit ]  # before e2e_tree writes its list beside the tree
e2e_tree "$DRIVE/MorlanKit" "$WORK/expected"
