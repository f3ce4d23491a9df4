// The entry point of the setup: no command line is read, and there is no
// message loop of the application's own; every window is a modal dialog run
// from InitInstance.
#include <windows.h>
#include <commctrl.h>

#include "fw/App.h"

namespace {

// InitCommonControlsEx came with version 4.70 of the common controls, which
// NT 4.0 may not have: it is looked up, and InitCommonControls (which every
// version has, and which keeps the library imported) registers the classes
// where it is missing.
void InitControls() {
    using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const HMODULE comctl = GetModuleHandleA("comctl32.dll");
    const auto initEx = comctl ? reinterpret_cast<InitEx>(
                                     reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")))
                               : nullptr;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    if (!initEx || !initEx(&icc)) InitCommonControls();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    InitControls();
    CWinApp* app = CWinApp::Current();
    if (app) app->InitInstance();
    return 0;
}
