// The entry point of the setup: no command line is read, and there is no
// message loop of the application's own; every window is a modal dialog run
// from InitInstance.
#include <windows.h>
#include <commctrl.h>

#include "fw/App.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    CWinApp* app = CWinApp::Current();
    if (app) app->InitInstance();
    return 0;
}
