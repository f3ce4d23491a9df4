// The application object and the message box helper.
#pragma once
#include <windows.h>

#include <string>

// The one application object. Its constructor registers it; the entry
// point (WinMain.win.cpp) calls InitInstance and ends the process when it
// returns FALSE, as the setup always does.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual BOOL InitInstance() { return FALSE; }
    static CWinApp* Current();
};

// The module whose resources the dialogs are made from (the executable).
HINSTANCE AppInstance();

// The executable's base name without extension ("setup"): every message
// box's caption.
const std::string& AppName();

// Shows a message box captioned with AppName(). An OK box (MB_OK, the
// default) given no icon gets the exclamation icon. The owner is the
// thread's active window unless one is given. Returns the button pressed.
int AppMessageBox(const char* text, UINT type = MB_OK, HWND owner = nullptr);

