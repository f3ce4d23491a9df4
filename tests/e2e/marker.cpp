// The installed program of the test package: when started, it writes what it
// was given (its command line and current folder) into "<its own path>.ran",
// so a scenario can tell whether and how the setup started it. Plain Win32
// without the C++ library, so that it stays small on a small test disk.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char self[MAX_PATH + 8] = {0};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    lstrcatA(self, ".ran");
    char cwd[MAX_PATH] = {0};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    HANDLE h = CreateFileA(self, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    const char* parts[] = {"cmdline=", GetCommandLineA(), "\ncwd=", cwd, "\n"};
    for (const char* p : parts) {
        DWORD n = 0;
        WriteFile(h, p, static_cast<DWORD>(lstrlenA(p)), &n, nullptr);
    }
    CloseHandle(h);
    return 0;
}
