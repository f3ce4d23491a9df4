// The installed program of the test package: when started, it writes what it
// was given (its command line and current folder) into "<its own path>.ran",
// so a scenario can tell whether and how the setup started it.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char self[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char cwd[MAX_PATH] = {0};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string text = std::string("cmdline=") + GetCommandLineA() + "\ncwd=" + cwd + "\n";
    std::string marker = std::string(self) + ".ran";
    HANDLE h = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    DWORD n = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    CloseHandle(h);
    return 0;
}
