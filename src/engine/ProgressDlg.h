// PLACEHOLDER for the progress dialog: copying is built by a later change.
// Until then DoModal reports that copying finished, so the sequence runs on.
#pragma once
#include <windows.h>

class CProgressDlg {
public:
    explicit CProgressDlg(HWND = nullptr) {}
    INT_PTR DoModal() { return IDOK; }
};
