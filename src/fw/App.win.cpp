#include "fw/App.h"

#include <commctrl.h>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

CWinApp* CWinApp::Current() { return g_app; }

HINSTANCE AppInstance() { return GetModuleHandleA(nullptr); }

const std::string& AppName() {
    static const std::string name = [] {
        char path[MAX_PATH] = {0};
        GetModuleFileNameA(nullptr, path, sizeof path - 1);
        std::string s = path;
        size_t slash = s.find_last_of("\\/");
        if (slash != std::string::npos) s.erase(0, slash + 1);
        size_t dot = s.find_last_of('.');
        if (dot != std::string::npos && dot > 0) s.erase(dot);
        return s;
    }();
    return name;
}

int AppMessageBox(const char* text, UINT type, HWND owner) {
    if ((type & MB_TYPEMASK) == MB_OK && (type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
    if (!owner) owner = GetActiveWindow();
    return MessageBoxA(owner, text, AppName().c_str(), type);
}

