// marker.exe: a small program for tests that must see a program started.
// It writes its own command line (as the system passed it) into a file and
// exits. The file is the last argument that is not an option, or, without
// one, the program's own path + ".marker" (so copies under other names
// leave markers of their own).
//   --stay   after writing, keep running (up to 10 minutes) until ended
//            from outside.
#include <windows.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
    bool stay = false;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--stay") == 0) stay = true;
        else file = argv[i];
    }
    if (file.empty()) {
        char self[MAX_PATH] = {0};
        GetModuleFileNameA(nullptr, self, sizeof self - 1);
        file = std::string(self) + ".marker";
    }
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 2;
    const char* line = GetCommandLineA();
    DWORD written = 0;
    WriteFile(h, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    CloseHandle(h);
    if (stay) Sleep(10 * 60 * 1000);
    return 0;
}
