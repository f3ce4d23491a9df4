// final_action_probe.exe: runs the restart of the final action in a Wine
// prefix of its own, for tests/helpers/restart_test.sh, which observes it
// from outside. Usage: final_action_probe MODE FOLDER
//   restart  the final action after a restart page answered Yes; writes
//            FOLDER\returned.txt only if it comes back (it should not: the
//            restart ends every process of the prefix).
//   denied   the restart with a privilege that the token does not hold;
//            writes FOLDER\returned.txt with the result (it must give up).
//   answer   a driver: waits for the probe's notice box, writes its text
//            and buttons to FOLDER\notice.txt, and presses OK.
#include <windows.h>

#include <cstring>
#include <string>

#include "config/SetupState.h"
#include "system/CompletionActions.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
}

int Answer(const std::string& folder) {
    HWND box = nullptr;
    for (int i = 0; i < 600 && !box; ++i) {
        box = FindWindowA("#32770", "final_action_probe");
        if (box && !IsWindowVisible(box)) box = nullptr;
        if (!box) Sleep(50);
    }
    if (!box) return 1;
    Sleep(200);  // let the box finish building
    char text[512] = {0};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text - 1);
    std::string report = text;
    report += "\nbuttons:";
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO})
        if (GetDlgItem(box, id)) report += " " + std::to_string(id);
    report += "\n";
    WriteText(folder + "\\notice.txt", report);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    const std::string folder = argv[2];
    if (mode == "answer") return Answer(folder);
    if (mode == "denied") {
        const bool restarted = RestartComputer("SeCreateTokenPrivilege");
        WriteText(folder + "\\returned.txt", restarted ? "restarted\n" : "gave up\n");
        return 0;
    }
    if (mode == "restart") {
        ResetSetupState();
        g_setup.platformId = 2;
        g_setup.programmerType = 0;
        g_setup.restartNow = TRUE;
        std::strcpy(g_setup.installDir, folder.c_str());
        std::strcpy(g_setup.configPath, (folder + "\\morlan.ini").c_str());
        RunFinalAction(true);
        WriteText(folder + "\\returned.txt", "returned\n");
        return 0;
    }
    return 2;
}
