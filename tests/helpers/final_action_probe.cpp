// final_action_probe.exe: runs the restart of the final action for
// tests/helpers/restart_test.sh, which observes it from outside.
// Usage: final_action_probe MODE FOLDER
//   restart  the final action after a restart page answered Yes; writes
//            FOLDER\returned.txt if it comes back.
//   denied   the restart with a privilege that the token does not hold;
//            writes the result to FOLDER\returned.txt (it must give up).
//   answer   waits for the probe's notice box, writes its text and buttons
//            to FOLDER\notice.txt, and presses OK.
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>

#include "config/SetupState.h"
#include "system/CompletionActions.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string mode = argv[1], folder = argv[2];
    if (mode == "answer") {
        HWND box = nullptr;
        for (int i = 0; i < 600 && !(box && IsWindowVisible(box)); ++i, Sleep(50))
            box = FindWindowA("#32770", "final_action_probe");
        if (!box) return 1;
        Sleep(200);  // let the box finish building
        char text[512] = {0};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text - 1);
        std::ofstream out(folder + "\\notice.txt", std::ios::binary);
        out << text << "\nbuttons:";
        for (int id : {IDOK, IDCANCEL, IDYES, IDNO})
            if (GetDlgItem(box, id)) out << " " << id;
        out << "\n";
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        return 0;
    }
    if (mode == "denied") {
        const bool restarted = RestartComputer("SeCreateTokenPrivilege");
        std::ofstream(folder + "\\returned.txt", std::ios::binary) << (restarted ? "restarted\n" : "gave up\n");
        return 0;
    }
    if (mode != "restart") return 2;
    ResetSetupState();
    g_setup.platformId = 2;
    g_setup.programmerType = 0;
    g_setup.restartNow = TRUE;
    std::strcpy(g_setup.installDir, folder.c_str());
    std::strcpy(g_setup.configPath, (folder + "\\morlan.ini").c_str());
    RunFinalAction(true);
    std::ofstream(folder + "\\returned.txt", std::ios::binary) << "returned\n";
    return 0;
}
