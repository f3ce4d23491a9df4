// Program shortcuts made through the system's shell link object, read back
// with IShellLinkA / IPersistFile. The user's Desktop and Programs folders
// point at scratch folders for each test.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "config/SetupState.h"
#include "fw/Handles.h"
#include "system/CompletionActions.h"
#include "win/support/ScratchTree.h"
#include "win/support/UiDriver.h"

namespace {

// Wine's shell rewrites "Shell Folders" from "User Shell Folders" when it
// resolves a folder, so both are set.
const char* const kFolderKeys[] = {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                   "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"};

struct Link {
    bool loaded = false;
    std::string path, workDir, description, icon;
};

Link ReadLink(const std::string& file) {
    Link l;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> persist;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid())) || FAILED(persist->Load(wide, STGM_READ)))
        return l;
    l.loaded = true;
    char buf[4][MAX_PATH] = {};
    int iconIndex = -1;
    link->GetPath(buf[0], MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(buf[1], MAX_PATH);
    link->GetDescription(buf[2], MAX_PATH);
    link->GetIconLocation(buf[3], MAX_PATH, &iconIndex);
    l.path = buf[0], l.workDir = buf[1], l.description = buf[2];
    l.icon = buf[3][0] ? std::string(buf[3]) + "," + std::to_string(iconIndex) : "";
    return l;
}

class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSetupState();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        for (const char* key : kFolderKeys) {
            HKEY k = nullptr;
            ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
            for (const char* name : {"Desktop", "Programs"}) {
                DWORD type = 0, size = MAX_PATH;
                char value[MAX_PATH] = {};
                ASSERT_EQ(RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size), ERROR_SUCCESS);
                saved_.push_back({k, name, type, value});
            }
        }
        programs_ = folders_.MakeDir("Programs");
        desktop_ = folders_.MakeDir("Desktop");
        SetShellFolder("Programs", programs_);
        SetShellFolder("Desktop", desktop_);
        scratch::MakeDirIn(install_.Path(), "bin");
        std::strcpy(g_setup.installDir, install_.Path().c_str());
        std::strcpy(g_setup.configPath, (install_ / "morlan.ini").c_str());
        ASSERT_TRUE(scratch::WriteFile(install_ / "bin\\prog.exe", "MZ"));
        ASSERT_TRUE(scratch::WriteFile(install_ / "bin\\prog.ico", "icon"));
    }
    void TearDown() override {
        for (const Saved& s : saved_) {
            RegSetValueExA(s.key, s.name, 0, s.type, reinterpret_cast<const BYTE*>(s.value.c_str()),
                           static_cast<DWORD>(s.value.size() + 1));
            if (s.name == std::string("Programs")) RegCloseKey(s.key);
        }
        CoUninitialize();
    }
    // Points a folder at the given path, or removes the value the setup reads.
    void SetShellFolder(const char* name, const std::string& folder) {
        for (const Saved& s : saved_) {
            if (s.name != std::string(name)) continue;
            if (folder.empty()) {
                RegDeleteValueA(s.key, name);
                return;
            }
            RegSetValueExA(s.key, name, 0, s.type, reinterpret_cast<const BYTE*>(folder.c_str()),
                           static_cast<DWORD>(folder.size() + 1));
        }
    }
    void Config(const std::string& shortcut, const char* exec = "bin\\prog.exe") {
        ASSERT_TRUE(scratch::WriteFile(g_setup.configPath, "[Shortcut]\n" + shortcut + "\n[Exec]\nExecFile=" + exec + "\n"));
    }
    bool Made(const std::string& folder, const std::string& name) { return scratch::Exists(folder + "\\" + name + ".lnk"); }

    struct Saved {
        HKEY key;
        const char* name;
        DWORD type;
        std::string value;
    };
    std::vector<Saved> saved_;
    scratch::Folder install_{"shortcut test install"};
    scratch::Folder folders_{"shortcut test folders"};
    std::string programs_, desktop_;
};

TEST_F(ShortcutsTest, LinksCarryTargetFolderDescriptionAndIcon) {
    const struct {
        const char* shortcut;
        const char* exec;
        const char* link;
        std::string path, icon;
    } cases[] = {
        {"Descript1=Device programmer\nDescript2=Prog\nIco=prog", "bin\\prog.exe", "Prog", install_ / "bin\\prog.exe",
         install_ / "bin\\prog.ico,0"},
        {"Descript1=Device programmer\nDescript2=NoIcon\nIco=", "bin\\prog.exe", "NoIcon", install_ / "bin\\prog.exe", ""},
        {"Descript1=Device programmer\nDescript2=Missing\nIco=missing", "bin\\prog.exe", "Missing",
         install_ / "bin\\prog.exe", ""},
        {"Descript1=Device programmer\nDescript2=Wild\nIco=p*", "bin\\prog.exe", "Wild", install_ / "bin\\prog.exe", ""},
        // Without Descript2 the link is called ".lnk"; no "bin" is inserted.
        {"Descript1=Device programmer", "prog.exe", "", install_ / "prog.exe", ""},
    };
    for (const auto& c : cases) {
        Config(c.shortcut, c.exec);
        CreateShortcuts();
        for (const std::string& folder : {programs_, desktop_}) {
            const Link l = ReadLink(folder + "\\" + c.link + ".lnk");
            ASSERT_TRUE(l.loaded) << folder << " " << c.link;
            EXPECT_EQ(l.path, c.path);
            EXPECT_EQ(l.workDir, install_ / "bin");
            EXPECT_EQ(l.description, "Device programmer");
            EXPECT_EQ(l.icon, c.icon) << c.link;
        }
    }
}

TEST_F(ShortcutsTest, OnlyTheCheckedBoxesWriteLinks) {
    Config("Descript2=Chosen");
    for (BOOL startMenu : {TRUE, FALSE})
        for (BOOL desktop : {TRUE, FALSE}) {
            g_setup.startMenuShortcut = startMenu;
            g_setup.desktopShortcut = desktop;
            CreateShortcuts();
            EXPECT_EQ(Made(programs_, "Chosen"), !!startMenu) << startMenu << desktop;
            EXPECT_EQ(Made(desktop_, "Chosen"), !!desktop) << startMenu << desktop;
            DeleteFileA((programs_ + "\\Chosen.lnk").c_str());
            DeleteFileA((desktop_ + "\\Chosen.lnk").c_str());
        }
}

// A folder that cannot be read, or that does not leave room for the name in
// the 256-byte link path, skips that shortcut only: nothing is cut into some
// other name.
TEST_F(ShortcutsTest, UnreadableOrTooLongFolderSkipsThatShortcutOnly) {
    Config("Descript2=Skipped");
    SetShellFolder("Programs", "");
    CreateShortcuts();
    EXPECT_TRUE(Made(desktop_, "Skipped"));
    EXPECT_FALSE(Made("C:", "Skipped") || Made(folders_.Path(), "Skipped"));

    const std::string longName(179, 'n');
    const std::string longFolder = folders_.MakeDir(std::string(250 - folders_.Path().size(), 'd'));
    SetShellFolder("Programs", longFolder);
    Config("Descript2=" + longName);
    CreateShortcuts();
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((longFolder + "\\*.lnk").c_str(), &fd);
    EXPECT_EQ(f, INVALID_HANDLE_VALUE);
    if (f != INVALID_HANDLE_VALUE) FindClose(f);
    EXPECT_TRUE(Made(desktop_, longName));
}

TEST_F(ShortcutsTest, OleThatCannotStartIsReportedAndNoFileIsWritten) {
    Config("Descript2=NoOle");
    std::thread worker([&] {  // a thread of the multithreaded apartment cannot initialise OLE
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CreateShortcuts();
        CoUninitialize();
    });
    EXPECT_EQ(ui::Answer("OleInitialize error", IDOK, 10000), "OleInitialize error");
    worker.join();
    EXPECT_FALSE(Made(programs_, "NoOle") || Made(desktop_, "NoOle"));
}

}  // namespace
