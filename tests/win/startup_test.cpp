// Start-up on the real system: platform id, the executable's folder as the
// source and current folder, and the configuration file beside it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/SetupApp.h"
#include "config/SetupState.h"

TEST(StartUp, SourceFolderIsTheExecutablesAndBecomesCurrent) {
    ResetSetupState();
    char before[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, before);
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    SetCurrentDirectoryA(tmp);

    InitSetupStateFromModule();
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const std::string folder = std::string(module).substr(0, std::string(module).rfind('\\'));
    EXPECT_EQ(std::string(g_setup.sourceDir), folder);
    EXPECT_EQ(std::string(g_setup.configPath), folder + "\\morlan.ini");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    EXPECT_EQ(lstrcmpiA(cwd, folder.c_str()), 0) << cwd;

    EXPECT_EQ(g_setup.platformId, 2u);  // the test prefix reports the NT family
    SetCurrentDirectoryA(before);
    ResetSetupState();
}
