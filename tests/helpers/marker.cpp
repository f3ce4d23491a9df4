// marker.exe: a small program for tests that must see a program started.
// It writes its own command line (as the system passed it) into a file and
// exits. The file is the last argument that is not an option, or, without
// one, the program's own path + ".marker" (so copies under other names
// leave markers of their own).
//   --stay   after writing, keep running (up to 10 minutes) until ended
//            from outside.
// Plain Win32 without the C++ library: the end-to-end tests ship it as the
// installed program on small test disks.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* line = GetCommandLineA();
    char file[MAX_PATH + 8] = {0};
    bool stay = false;
    // Arguments after the program's name, split at blanks; quotes group.
    const char* p = line;
    for (bool first = true; *p; first = false) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) break;
        char arg[MAX_PATH] = {0};
        int n = 0;
        for (bool quoted = false; *p && (quoted || (*p != ' ' && *p != '\t')); ++p) {
            if (*p == '"') quoted = !quoted;
            else if (n < MAX_PATH - 1) arg[n++] = *p;
        }
        if (first) continue;
        if (lstrcmpA(arg, "--stay") == 0) stay = true;
        else lstrcpyA(file, arg);
    }
    if (!file[0]) {
        GetModuleFileNameA(nullptr, file, MAX_PATH);
        lstrcatA(file, ".marker");
    }
    HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    WriteFile(h, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
    CloseHandle(h);
    if (stay) Sleep(10 * 60 * 1000);
    return 0;
}
