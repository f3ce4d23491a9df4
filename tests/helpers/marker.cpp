// marker.exe: writes its own command line into the file named by its
// argument, or else into its own path + ".marker", and exits; with "--stay
// FILE" it then runs on (up to 10 minutes). Plain Win32, small enough for test disks.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR args, int) {
    const bool stay = args[0] == '-' && args[1] == '-';
    for (args += stay ? 6 : 0; *args == ' ';) ++args;
    char file[MAX_PATH + 8] = {0};
    lstrcpynA(file, args, MAX_PATH);
    if (!file[0] && GetModuleFileNameA(nullptr, file, MAX_PATH)) lstrcatA(file, ".marker");
    HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (h == INVALID_HANDLE_VALUE || !WriteFile(h, GetCommandLineA(), lstrlenA(GetCommandLineA()), &written, nullptr))
        return 2;
    CloseHandle(h);
    if (stay) Sleep(10 * 60 * 1000);
    return 0;
}
