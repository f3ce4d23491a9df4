// holder.exe FILE EVENT: opens FILE for reading with no sharing, as a running
// program holds its own executable, and keeps it open until the named event
// EVENT is set (at most 10 minutes). Exit code 2 when the file cannot be opened.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char file[MAX_PATH] = {0}, event[MAX_PATH] = {0};
    const char* args = GetCommandLineA();  // holder.exe "FILE" EVENT (the program's name quoted or not)
    auto word = [&](char* out) {
        while (*args == ' ') ++args;
        const char end = *args == '"' ? *args++ : ' ';
        for (int n = 0; *args && *args != end; ++args)
            if (n < MAX_PATH - 1) out[n++] = *args;
        if (*args) ++args;
    };
    char self[MAX_PATH] = {0};
    word(self);
    word(file);
    word(event);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, event);
    // The driver looks whether the file is held by opening it for a moment:
    // an open that meets one of those is tried again (for up to 10 s).
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int tries = 0; tries < 1000; ++tries, Sleep(10)) {
        h = CreateFileA(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
    }
    if (h == INVALID_HANDLE_VALUE || !release) return 2;
    WaitForSingleObject(release, 10 * 60 * 1000);
    CloseHandle(h);
    CloseHandle(release);
    return 0;
}
