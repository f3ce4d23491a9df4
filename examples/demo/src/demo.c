/* Demo Programmer: the small program that the demo medium installs. It shows
   one window with a greeting taken from its language library bin\Lang.dll
   (a copy of English.dll or German.dll, made by the setup from the language
   the user chose), or a note when the library is missing. */
#include <windows.h>

typedef const char* (*GreetingFn)(void);

static char g_text[512];

static void LoadGreeting(void) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    char* slash;
    HMODULE lib;
    lstrcpynA(g_text, "Demo Programmer\n\n(No language library: bin\\Lang.dll is missing.)", sizeof g_text);
    if (n == 0 || n >= sizeof path) return;
    slash = strrchr(path, '\\');
    if (!slash || (size_t)(slash - path) + 10 >= sizeof path) return;
    lstrcpyA(slash + 1, "Lang.dll");
    lib = LoadLibraryA(path);
    if (lib) {
        GreetingFn fn = (GreetingFn)(void*)GetProcAddress(lib, "DemoGreeting");
        if (fn) lstrcpynA(g_text, fn(), sizeof g_text);
    }
}

static LRESULT CALLBACK WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        RECT r;
        HDC dc = BeginPaint(w, &ps);
        GetClientRect(w, &r);
        InflateRect(&r, -16, -16);
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, g_text, -1, &r, DT_LEFT | DT_WORDBREAK);
        EndPaint(w, &ps);
        return 0;
    }
    if (m == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmd, int show) {
    WNDCLASSA wc;
    HWND w;
    MSG msg;
    (void)prev;
    (void)cmd;
    LoadGreeting();
    ZeroMemory(&wc, sizeof wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(1));
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = "DemoProgrammer";
    if (!RegisterClassA(&wc)) return 1;
    w = CreateWindowA("DemoProgrammer", "Demo Programmer", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 420, 200,
                      NULL, NULL, inst, NULL);
    if (!w) return 1;
    ShowWindow(w, show);
    UpdateWindow(w);
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
