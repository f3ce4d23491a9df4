// final_action_probe.exe MODE FOLDER, for restart_test.sh: "restart" runs the
// final action after a restart page answered Yes (FOLDER\returned.txt if it
// comes back); "denied" the restart with a privilege that the token does not
// hold (returned.txt: it must give up); "answer" writes the text of the
// probe's notice box to FOLDER\notice.txt and presses OK.
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>

#include "config/SetupState.h"
#include "system/CompletionActions.h"

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "", folder = argc == 3 ? argv[2] : "";
    auto write = [&](const char* name, const std::string& text) {
        std::ofstream(folder + name, std::ios::binary) << text << "\n";
    };
    if (mode == "answer") {
        HWND box = nullptr;
        for (int i = 0; i < 600 && !(box && IsWindowVisible(box)); ++i) {
            Sleep(50);
            box = FindWindowA("#32770", "final_action_probe");
        }
        Sleep(200);  // let the box finish building
        char text[512] = {0};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text - 1);
        write("\\notice.txt", text);
        return !PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(box, IDOK)));
    } else if (mode == "denied") {
        write("\\returned.txt", RestartComputer("SeCreateTokenPrivilege") ? "restarted" : "gave up");
    } else if (mode == "restart") {
        ResetSetupState();
        g_setup.platformId = Platform::nt;
        g_setup.programmerType = ProgrammerType::kernelDriver;
        g_setup.restartNow = TRUE;
        std::strcpy(g_setup.installDir, folder.c_str());
        std::strcpy(g_setup.configPath, (folder + "\\morlan.ini").c_str());
        RunFinalAction(true);
        write("\\returned.txt", "returned");
    }
    return mode == "answer" || mode == "denied" || mode == "restart" ? 0 : 2;
}
