// The completion actions on Wine's real file system and shell: deleting
// the listed files, the language library, and the final action (starting
// the program, opening its folder, or nothing after a declined restart).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/SetupApp.h"
#include "app/SetupState.h"
#include "win/support/ScratchTree.h"
#include "win/support/UiDriver.h"

namespace {

class CompletionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSetupState();
        Install(install_.Path());
        ASSERT_TRUE(scratch::WriteFile(config_ / "morlan.ini", ""));
        std::strcpy(g_setup.configPath, (config_ / "morlan.ini").c_str());
    }
    void Install(const std::string& dir) {
        CreateDirectoryA(dir.c_str(), nullptr);
        CreateDirectoryA((dir + "\\bin").c_str(), nullptr);
        std::strcpy(g_setup.installDir, dir.c_str());
    }
    void Config(const std::string& text) { ASSERT_TRUE(scratch::WriteFile(g_setup.configPath, text)); }
    std::string In(const std::string& name) const { return std::string(g_setup.installDir) + "\\" + name; }

    scratch::Folder install_{"completion test"};
    scratch::Folder config_{"completion test config"};
    CSetupApp app_;
};

TEST_F(CompletionTest, DeleteListedFilesGoesOnPastAMissingEntryAndStopsAtNumber) {
    for (const char* f : {"a.txt", "b.txt", "bin\\c.txt", "d.txt"}) ASSERT_TRUE(scratch::WriteFile(In(f), f));
    // No Number: nothing is deleted, whatever the entries say.
    Config("[DelFile]\nFile1=a.txt\n");
    app_.DeleteListedFiles();
    EXPECT_TRUE(scratch::Exists(In("a.txt")));
    Config("[DelFile]\nNumber=-1\nFile1=a.txt\n");
    app_.DeleteListedFiles();
    EXPECT_TRUE(scratch::Exists(In("a.txt")));

    // File2 missing (names the folder itself: the deletion fails), File3 in
    // a subfolder is still deleted, File4 lies beyond Number.
    Config("[DelFile]\nNumber=3\nFile1=a.txt\nFile3=bin\\c.txt\nFile4=d.txt\n");
    app_.DeleteListedFiles();
    EXPECT_FALSE(scratch::Exists(In("a.txt")));
    EXPECT_FALSE(scratch::Exists(In("bin\\c.txt")));
    EXPECT_TRUE(scratch::Exists(In("b.txt")));
    EXPECT_TRUE(scratch::Exists(In("d.txt")));
    EXPECT_TRUE(scratch::Exists(g_setup.installDir));
}

TEST_F(CompletionTest, LanguageLibraryCopiedOverTheFixedNameUnlessDefaultOrMissing) {
    ASSERT_TRUE(scratch::WriteFile(In("bin\\Lang.dll"), "english"));
    ASSERT_TRUE(scratch::WriteFile(In("bin\\German.dll"), "german"));
    for (const char* value : {"Default", "DEFAULT", "default", "Missing"}) {
        Config(std::string("[Language]\nNumber=2\nFile1=English\nFile2=") + value + "\nDestFile=Lang\n");
        g_setup.languageIndex = 1;
        app_.CopyLanguageLibrary();
        EXPECT_EQ(scratch::ReadFile(In("bin\\Lang.dll")), "english") << value;
    }
    // The key number is the list position plus one.
    Config("[Language]\nNumber=2\nFile1=Default\nFile2=German\nDestFile=Lang\n");
    g_setup.languageIndex = 1;
    app_.CopyLanguageLibrary();
    EXPECT_EQ(scratch::ReadFile(In("bin\\Lang.dll")), "german");
    EXPECT_EQ(scratch::ReadFile(In("bin\\German.dll")), "german");
}

TEST_F(CompletionTest, LanguageLibraryPathTooLongIsRefusedNotCut) {
    // 160 characters of folder: the 180-byte source buffer cannot hold
    // "\bin\GermanLangLib.dll" after it. Cut to 179 characters the path would
    // end in "GermanLangLib.", which names the file GermanLangLib.
    std::string dir = install_.Path() + "\\";
    dir += std::string(160 - dir.size(), 'x');
    Install(dir);
    ASSERT_EQ(std::strlen(g_setup.installDir), 160u);
    ASSERT_TRUE(scratch::WriteFile(In("bin\\GermanLangLib"), "cut name"));
    ASSERT_TRUE(scratch::WriteFile(In("bin\\GermanLangLib.dll"), "german"));
    ASSERT_TRUE(scratch::WriteFile(In("bin\\Lang.dll"), "english"));
    Config("[Language]\nFile1=GermanLangLib\nDestFile=Lang\n");
    app_.CopyLanguageLibrary();
    EXPECT_EQ(scratch::ReadFile(In("bin\\Lang.dll")), "english");
}

// Waits until a file exists (a started program writes it).
bool WaitForFile(const std::string& path, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!scratch::Exists(path)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    Sleep(50);  // let the writer finish
    return true;
}

std::string Marker() { return scratch::ProgramFolder() + "\\helpers\\marker.exe"; }

TEST_F(CompletionTest, StartsTheProgramByItsQuotedPathInAFolderWithBlanks) {
    // installDir "...\finalaction\dir with blanks": an unquoted command line
    // would first name "...\finalaction\dir", i.e. the decoy dir.exe.
    scratch::Folder base("finalaction");
    Install(base / "dir with blanks");
    ASSERT_TRUE(CopyFileA(Marker().c_str(), In("bin\\app.exe").c_str(), FALSE)) << Marker();
    ASSERT_TRUE(CopyFileA(Marker().c_str(), (base / "dir.exe").c_str(), FALSE));
    Config("[Exec]\nExecFile=bin\\app.exe\nExecDir=bin\n");
    g_setup.runAfterSetup = TRUE;
    g_setup.programmerType = 1;
    g_setup.platformId = 2;

    app_.RunFinalAction();
    ASSERT_TRUE(WaitForFile(In("bin\\app.exe.marker"), 10000));
    EXPECT_EQ(scratch::ReadFile(In("bin\\app.exe.marker")), "\"" + In("bin\\app.exe") + "\"");
    EXPECT_FALSE(scratch::Exists(base / "dir.exe.marker"));
}

// A visible top-level window of any process with exactly this title.
struct TitleSearch {
    const std::string* title;
    HWND found;
};

BOOL CALLBACK MatchTitle(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<TitleSearch*>(lp);
    if (IsWindowVisible(w) && ui::WindowText(w) == *s->title) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopWindowTitled(const std::string& title) {
    TitleSearch s{&title, nullptr};
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

TEST_F(CompletionTest, OpensTheProgramsFolderWhenNotStartingIt) {
    CreateDirectoryA(In("Opened Folder 7").c_str(), nullptr);
    const std::string expected = In("Opened Folder 7");
    Config("[Exec]\nExecFile=bin\\app.exe\nExecDir=Opened Folder 7\n");
    g_setup.runAfterSetup = FALSE;
    app_.RunFinalAction();
    EXPECT_EQ(std::string(g_setup.installDir), expected);  // extended in place
    EXPECT_FALSE(scratch::Exists(In("bin\\app.exe.marker")));

    HWND window = ui::WaitFor([] { return FindTopWindowTitled("Opened Folder 7"); }, 15000);
    ASSERT_NE(window, nullptr);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    EXPECT_NE(pid, GetCurrentProcessId());
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(ui::WaitGone(window, 10000));
}

TEST_F(CompletionTest, DeclinedRestartStartsAndOpensNothing) {
    ASSERT_TRUE(CopyFileA(Marker().c_str(), In("bin\\app.exe").c_str(), FALSE));
    CreateDirectoryA(In("Not Opened 7").c_str(), nullptr);
    Config("[Exec]\nExecFile=bin\\app.exe\nExecDir=Not Opened 7\n");
    g_setup.platformId = 2;
    g_setup.programmerType = 0;
    g_setup.restartNow = FALSE;
    g_setup.runAfterSetup = TRUE;
    const std::string before = g_setup.installDir;

    // Any message box now would be a fault: answer it and remember it.
    volatile bool stop = false;
    std::string box;
    ui::Driver watcher([&] {
        while (!stop) {
            HWND b = ui::FindMessageBox("");
            if (b) {
                box = ui::MessageBoxText(b);
                PostMessageA(b, WM_COMMAND, IDOK, 0);
            }
            Sleep(20);
        }
    });
    app_.RunFinalAction();
    Sleep(1500);  // time for a program or a folder window to appear
    stop = true;
    watcher.Finish();
    EXPECT_EQ(box, "");
    EXPECT_FALSE(scratch::Exists(In("bin\\app.exe.marker")));
    EXPECT_EQ(FindTopWindowTitled("Not Opened 7"), nullptr);
    EXPECT_EQ(std::string(g_setup.installDir), before);
}

}  // namespace
