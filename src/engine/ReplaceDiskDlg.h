// The disk-change prompt (template 140): asks for installation disk
// `diskText` in drive `driveText`. OK ends it with IDOK; Cancel, Escape and
// the close box with IDCANCEL. It checks nothing: the next copy attempt
// tells whether the right disk is in the drive.
#pragma once
#include <windows.h>

#include "fw/Dialog.h"

class CReplaceDiskDlg : public CDialog {
public:
    explicit CReplaceDiskDlg(HWND parent = nullptr);

    // "#" and the disk number, formatted by the caller with "#%d"; room for
    // any int, so that disks from 10 up are shown whole.
    char diskText[13] = "#1";
    char driveText[2] = "A";  // the drive letter

    // Fills both texts for disk `disk` read from sourceDir: the drive is
    // sourceDir's first character, upper-cased when it is a letter.
    void SetDisk(int disk, const char* sourceDir);

protected:
    BOOL OnInitDialog() override;
};
