# Cancel answered No at each stage goes on: in the archive phase, in the
# pack phase and on the completion page (closed with the title bar's close
# box; there the second close is answered Yes, which leaves the run box's
# choice unstored, so the folder is opened instead of starting the program).
# The finished tree equals that of an uninterrupted installation.
e2e_package
e2e_standard_medium 1
e2e_drive <<SCN
$(e2e_walk_wizard)
click 2
answer "Exit installation?" no
diskprompt #2 A 60000
disk $WORK/disk2 manual.zip
click 1
progress
waittext 1012 data.pak 60000
click 2
box "Exit installation?"
shot exit-question
answer "Exit installation?" no
page complete 60000
check 1015 1
close
answer "Exit installation?" no
running 300
page complete
close
answer "Exit installation?" yes
ended
window bin
missing C:\Morlan\bin\Morlan.exe.ran
tree C:\Morlan $(winpath "$WORK/expected")
link "%PROGRAMS%\Morlan Demo.lnk" C:\Morlan\bin\Morlan.exe C:\Morlan\bin C:\Morlan\bin\morlan.ico
SCN
