#include "engine/ReplaceDiskDlg.h"

#include "config/Ascii.h"
#include "engine/EngineIds.h"

CReplaceDiskDlg::CReplaceDiskDlg(HWND parent) : CDialog(IDD_REPLACE_DISK, parent) {}

void CReplaceDiskDlg::SetDisk(int disk, const char* sourceDir) {
    wsprintfA(diskText, "#%d", disk);  // at most 12 characters
    driveText[0] = AsciiUpper(sourceDir ? sourceDir[0] : 0);
    driveText[1] = 0;
}

BOOL CReplaceDiskDlg::OnInitDialog() {
    SetDlgItemText(IDC_DISK_NUMBER, diskText);
    SetDlgItemText(IDC_DISK_DRIVE, driveText);
    return TRUE;
}
