// Program shortcuts made through the system's shell link object under Wine
// and read back with IShellLinkA / IPersistFile.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/SetupApp.h"
#include "app/SetupState.h"
#include "fw/Handles.h"
#include "system/SystemSteps.h"
#include "win/support/ScratchTree.h"
#include "win/support/UiDriver.h"

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// Wine's shell rewrites "Shell Folders" from "User Shell Folders" when it
// resolves a folder, so a test that moves a folder sets both.
const char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct Link {
    bool loaded = false;
    std::string path, workDir, description, icon;
    int iconIndex = -1;
};

Link ReadLink(const std::string& file) {
    Link l;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid())))
        return l;
    ComPtr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid()))) return l;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    if (FAILED(persist->Load(wide, STGM_READ))) return l;
    l.loaded = true;
    char buf[MAX_PATH] = {0};
    link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
    l.path = buf;
    buf[0] = 0;
    link->GetWorkingDirectory(buf, MAX_PATH);
    l.workDir = buf;
    buf[0] = 0;
    link->GetDescription(buf, MAX_PATH);
    l.description = buf;
    buf[0] = 0;
    link->GetIconLocation(buf, MAX_PATH, &l.iconIndex);
    l.icon = buf;
    return l;
}

// A "Shell Folders" value as it was, put back at the end.
struct SavedValue {
    const char* keyPath;
    std::string name;
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

SavedValue SaveValue(const char* keyPath, const char* name) {
    SavedValue v;
    v.keyPath = keyPath;
    v.name = name;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
    DWORD size = 1024;
    v.data.resize(size);
    v.present = RegQueryValueExA(key, name, nullptr, &v.type, v.data.data(), &size) == ERROR_SUCCESS;
    v.data.resize(size);
    RegCloseKey(key);
    return v;
}

void RestoreValue(const SavedValue& v) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, v.keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (v.present) RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    else RegDeleteValueA(key, v.name.c_str());
    RegCloseKey(key);
}

// Sets (or, with an empty folder, removes) a folder in "Shell Folders";
// the shell's own source of it follows unless only the value that the
// setup reads is to go.
void SetShellFolder(const char* name, const std::string& folder) {
    for (const char* keyPath : {kShellFolders, kUserShellFolders}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
        if (folder.empty()) {
            RegDeleteValueA(key, name);
            RegCloseKey(key);
            return;
        }
        RegSetValueExA(key, name, 0, keyPath == kShellFolders ? REG_SZ : REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(folder.c_str()), static_cast<DWORD>(folder.size() + 1));
        RegCloseKey(key);
    }
}

class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSetupState();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        for (const char* keyPath : {kShellFolders, kUserShellFolders})
            for (const char* name : {"Desktop", "Programs"}) {
                saved_.push_back(SaveValue(keyPath, name));
                ASSERT_TRUE(saved_.back().present) << keyPath << " " << name;
            }
        scratch::MakeDirIn(install_.Path(), "bin");
        std::strcpy(g_setup.installDir, install_.Path().c_str());
        std::strcpy(g_setup.configPath, (install_ / "morlan.ini").c_str());
        ASSERT_TRUE(scratch::WriteFile(install_ / "bin\\prog.exe", "MZ"));
        ASSERT_TRUE(scratch::WriteFile(install_ / "bin\\prog.ico", "icon"));
    }
    void TearDown() override {
        for (const SavedValue& v : saved_) RestoreValue(v);
        CoUninitialize();
    }
    void Config(const std::string& text) { ASSERT_TRUE(scratch::WriteFile(g_setup.configPath, text)); }
    // Points both folders at scratch folders of this test.
    void UseScratchFolders() {
        programs_ = folders_.MakeDir("Programs");
        desktop_ = folders_.MakeDir("Desktop");
        SetShellFolder("Programs", programs_);
        SetShellFolder("Desktop", desktop_);
    }

    scratch::Folder install_{"shortcut test install"};
    scratch::Folder folders_{"shortcut test folders"};
    std::string programs_, desktop_;
    std::vector<SavedValue> saved_;
    CSetupApp app_;
};

TEST_F(ShortcutsTest, BothLinksInTheUsersRealFoldersCarryTargetFolderDescriptionAndIcon) {
    Config("[Shortcut]\nDescript1=Device programmer software\nDescript2=Setup Test Programmer\nIco=prog\n"
           "[Exec]\nExecFile=bin\\prog.exe\n");
    char desktop[256], programs[256];
    ASSERT_TRUE(ReadShellFolder("Desktop", desktop, sizeof desktop));
    ASSERT_TRUE(ReadShellFolder("Programs", programs, sizeof programs));
    const std::string links[] = {std::string(programs) + "\\Setup Test Programmer.lnk",
                                 std::string(desktop) + "\\Setup Test Programmer.lnk"};
    for (const std::string& l : links) DeleteFileA(l.c_str());

    app_.CreateShortcuts();
    for (const std::string& l : links) {
        Link link = ReadLink(l);
        DeleteFileA(l.c_str());
        ASSERT_TRUE(link.loaded) << l;
        EXPECT_EQ(link.path, install_ / "bin\\prog.exe");
        EXPECT_EQ(link.workDir, install_ / "bin");
        EXPECT_EQ(link.description, "Device programmer software");
        EXPECT_EQ(link.icon, install_ / "bin\\prog.ico");
        EXPECT_EQ(link.iconIndex, 0);
    }
}

TEST_F(ShortcutsTest, ProgramsLinkIsSavedBeforeTheDesktopLink) {
    UseScratchFolders();
    Config("[Shortcut]\nDescript2=Ordered\n[Exec]\nExecFile=bin\\prog.exe\n");
    // Both folders are watched through one completion port, which queues
    // their notices in the order the files appeared.
    struct Watch {
        std::string folder;
        HANDLE dir = INVALID_HANDLE_VALUE;
        OVERLAPPED ov = {};
        alignas(DWORD) char buffer[4096];
    };
    Watch watches[2];
    watches[0].folder = desktop_;
    watches[1].folder = programs_;
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    ASSERT_NE(port, nullptr);
    auto arm = [](Watch& w) {
        return ReadDirectoryChangesW(w.dir, w.buffer, sizeof w.buffer, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME, nullptr,
                                     &w.ov, nullptr);
    };
    for (ULONG_PTR i = 0; i < 2; ++i) {
        watches[i].dir = CreateFileA(watches[i].folder.c_str(), FILE_LIST_DIRECTORY,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(watches[i].dir, INVALID_HANDLE_VALUE);
        ASSERT_EQ(CreateIoCompletionPort(watches[i].dir, port, i, 0), port);
        ASSERT_TRUE(arm(watches[i]));
    }

    app_.CreateShortcuts();

    std::vector<std::string> created;
    DWORD got = 0;
    ULONG_PTR which = 0;
    OVERLAPPED* done = nullptr;
    while (created.size() < 2 && GetQueuedCompletionStatus(port, &got, &which, &done, 3000)) {
        Watch& w = watches[which];
        for (auto* n = reinterpret_cast<FILE_NOTIFY_INFORMATION*>(w.buffer); got > 0;
             n = reinterpret_cast<FILE_NOTIFY_INFORMATION*>(reinterpret_cast<char*>(n) + n->NextEntryOffset)) {
            if (n->Action == FILE_ACTION_ADDED) {
                char name[MAX_PATH] = {0};
                WideCharToMultiByte(CP_ACP, 0, n->FileName, static_cast<int>(n->FileNameLength / sizeof(WCHAR)), name,
                                    MAX_PATH - 1, nullptr, nullptr);
                created.push_back(w.folder + "\\" + name);
            }
            if (n->NextEntryOffset == 0) break;
        }
        if (!arm(w)) break;
    }
    for (Watch& w : watches) {
        CancelIo(w.dir);
        CloseHandle(w.dir);
    }
    CloseHandle(port);
    ASSERT_EQ(created.size(), 2u);
    EXPECT_EQ(created[0], programs_ + "\\Ordered.lnk");
    EXPECT_EQ(created[1], desktop_ + "\\Ordered.lnk");
}

TEST_F(ShortcutsTest, NoIconLocationWhenIcoIsEmptyOrItsFileIsMissing) {
    UseScratchFolders();
    for (const char* ico : {"", "missing", "p*"}) {
        Config(std::string("[Shortcut]\nDescript2=NoIcon\nIco=") + ico + "\n[Exec]\nExecFile=bin\\prog.exe\n");
        app_.CreateShortcuts();
        for (const std::string& folder : {programs_, desktop_}) {
            Link link = ReadLink(folder + "\\NoIcon.lnk");
            ASSERT_TRUE(link.loaded) << ico;
            EXPECT_EQ(link.icon, "") << ico;
            EXPECT_EQ(link.path, install_ / "bin\\prog.exe") << ico;
        }
    }
}

TEST_F(ShortcutsTest, ClearedBoxWritesNoFile) {
    UseScratchFolders();
    Config("[Shortcut]\nDescript2=Chosen\n[Exec]\nExecFile=bin\\prog.exe\n");
    g_setup.desktopShortcut = FALSE;
    app_.CreateShortcuts();
    EXPECT_TRUE(scratch::Exists(programs_ + "\\Chosen.lnk"));
    EXPECT_FALSE(scratch::Exists(desktop_ + "\\Chosen.lnk"));
    DeleteFileA((programs_ + "\\Chosen.lnk").c_str());

    g_setup.desktopShortcut = TRUE;
    g_setup.startMenuShortcut = FALSE;
    app_.CreateShortcuts();
    EXPECT_FALSE(scratch::Exists(programs_ + "\\Chosen.lnk"));
    EXPECT_TRUE(scratch::Exists(desktop_ + "\\Chosen.lnk"));
    DeleteFileA((desktop_ + "\\Chosen.lnk").c_str());

    g_setup.desktopShortcut = FALSE;
    app_.CreateShortcuts();
    EXPECT_FALSE(scratch::Exists(programs_ + "\\Chosen.lnk"));
    EXPECT_FALSE(scratch::Exists(desktop_ + "\\Chosen.lnk"));
}

TEST_F(ShortcutsTest, MissingDescript2GivesDotLnk) {
    UseScratchFolders();
    Config("[Shortcut]\nDescript1=Only a description\n[Exec]\nExecFile=prog.exe\n");
    app_.CreateShortcuts();
    Link link = ReadLink(programs_ + "\\.lnk");
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.description, "Only a description");
    EXPECT_EQ(link.path, install_ / "prog.exe");  // no "bin" inserted
    EXPECT_TRUE(scratch::Exists(desktop_ + "\\.lnk"));
}

TEST_F(ShortcutsTest, UnreadableOrTooLongFolderSkipsThatShortcutOnly) {
    UseScratchFolders();
    Config("[Shortcut]\nDescript2=Skipped\n[Exec]\nExecFile=bin\\prog.exe\n");
    SetShellFolder("Programs", "");  // the value that the setup reads is gone
    app_.CreateShortcuts();
    EXPECT_TRUE(scratch::Exists(desktop_ + "\\Skipped.lnk"));
    EXPECT_FALSE(scratch::Exists("C:\\Skipped.lnk"));
    EXPECT_FALSE(scratch::Exists(folders_ / "Skipped.lnk"));

    // A folder and name that do not fit the 256-byte link path are not cut
    // into some other name.
    const std::string longName(179, 'n');
    const std::string longFolder = folders_.MakeDir(std::string(250 - folders_.Path().size(), 'd'));
    SetShellFolder("Programs", longFolder);
    Config("[Shortcut]\nDescript2=" + longName + "\n[Exec]\nExecFile=bin\\prog.exe\n");
    app_.CreateShortcuts();
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((longFolder + "\\*.lnk").c_str(), &fd);
    EXPECT_EQ(f, INVALID_HANDLE_VALUE);
    if (f != INVALID_HANDLE_VALUE) FindClose(f);
    EXPECT_TRUE(scratch::Exists(desktop_ + "\\" + longName + ".lnk"));
}

TEST_F(ShortcutsTest, OleThatCannotStartIsReportedAndNoFileIsWritten) {
    UseScratchFolders();
    Config("[Shortcut]\nDescript2=NoOle\n[Exec]\nExecFile=bin\\prog.exe\n");
    // A thread of the multithreaded apartment cannot initialise OLE.
    std::thread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        app_.CreateShortcuts();
        CoUninitialize();
    });
    const std::string shown = ui::Answer("OleInitialize error", IDOK, 10000);
    worker.join();
    EXPECT_EQ(shown, "OleInitialize error");
    EXPECT_FALSE(scratch::Exists(programs_ + "\\NoOle.lnk"));
    EXPECT_FALSE(scratch::Exists(desktop_ + "\\NoOle.lnk"));
}

}  // namespace
