# Destinations that cannot be used: the default folder lies below a file
# ("Error Directory" on Next, the page stays); in the folder picker an
# invalid name, a missing drive and the folder below the file are refused
# with their messages and the picker stays open; Cancel leaves the folder.
e2e_package
mkdir -p "$WORK/disk1"
e2e_ini "$WORK/disk1/morlan.ini" <<'INI'
[Software]
Version=Morlan Demo 2.1
Name=Morlan Demo
[Dir]
Dest=C:\blocker\sub
INI
e2e_medium "$WORK/disk1"
e2e_drive <<SCN
mkfile C:\blocker "a file where the folder should be"
start
page welcome
click 12324
page destination
click 12324
box "Error Directory"
shot error-directory
answer "Error Directory" ok
page destination
click 1001
picker
type 14148 C:\bad|name
click 1
box "is invalid. Please reenter."
shot picker-invalid
answer "is invalid. Please reenter." ok
picker
type 14148 Q:\nowhere
click 1
answer "does not exist. Do you want the folder to be created?" yes
box "can not be created. Please double check."
shot picker-cannot-create
answer "can not be created" ok
picker
type 14148 C:\blocker\sub\deeper
click 1
answer "does not exist" yes
answer "C:\blocker\sub\deeper\n\ncan not be created" ok
picker
click 2
gone
page destination
expect 1000 text=C:\blocker\sub
click 2
answer "Exit installation?" yes
ended
missing C:\bad|name
missing C:\blocker\sub
SCN
