# A damaged archive on disk 1: the message names the archive and its disk and
# asks for a good copy; that disk put in, No reads the archive afresh and
# completes the tree a clean install leaves.
e2e_standard_medium 0
cp -a "$WORK/disk1" "$WORK/bad1" && chmod -R u+w "$WORK/bad1"
python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(200); b = f.read(1); f.seek(200); f.write(bytes([b[0] ^ 0x55]))' \
    "$WORK/bad1/English.zip"
e2e_medium "$WORK/bad1"
e2e_drive <<SCN
$(e2e_walk_wizard)
box "is damaged" 60000; shot error-damaged-archive
fault "The archive English.zip on disk 1 is damaged." \
    "A good copy of disk 1 is needed: put it in drive A:, then answer No to the next question to try again."
disk $WORK/disk1 English.zip; answer "Exit installation?" no
$(e2e_swaps 2 disk)
page restart 60000; click 1018; click 12325; ended
SCN
e2e_tree "$C/Morlan" "$WORK/expected"
