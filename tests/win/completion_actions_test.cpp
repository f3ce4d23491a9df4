// The completion actions on Wine's real file system and shell: deleting
// the listed files, the language library, and the final action (starting
// the program, opening its folder, or nothing after a declined restart).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>

#include "config/SetupState.h"
#include "system/CompletionActions.h"
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
};

TEST_F(CompletionTest, DeleteListedFilesGoesOnPastAMissingEntryAndStopsAtNumber) {
    for (const char* f : {"a.txt", "b.txt", "bin\\c.txt", "d.txt"}) ASSERT_TRUE(scratch::WriteFile(In(f), f));
    // No Number, or a negative one: nothing is deleted, whatever the entries say.
    for (const char* number : {"", "Number=-1\n"}) {
        Config(std::string("[DelFile]\n") + number + "File1=a.txt\n");
        DeleteListedFiles();
        EXPECT_TRUE(scratch::Exists(In("a.txt"))) << number;
    }

    // File2 missing (names the folder itself: the deletion fails), File3 in
    // a subfolder is still deleted, File4 lies beyond Number.
    Config("[DelFile]\nNumber=3\nFile1=a.txt\nFile3=bin\\c.txt\nFile4=d.txt\n");
    DeleteListedFiles();
    for (auto [f, kept] : {std::pair{"a.txt", false}, {"bin\\c.txt", false}, {"b.txt", true}, {"d.txt", true}, {"", true}})
        EXPECT_EQ(scratch::Exists(In(f)), kept) << f;
}

TEST_F(CompletionTest, LanguageLibraryCopiedOverTheFixedNameUnlessDefaultOrMissing) {
    ASSERT_TRUE(scratch::WriteFile(In("bin\\Lang.dll"), "english"));
    ASSERT_TRUE(scratch::WriteFile(In("bin\\German.dll"), "german"));
    // Left read-only and system by an earlier installation: kept as it is
    // when nothing is copied, replaced by a copy.
    // (Wine run by an unprivileged user keeps no system bit on a read-only
    // file, so the bits are read back.)
    SetFileAttributesA(In("bin\\Lang.dll").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    const DWORD earlier = GetFileAttributesA(In("bin\\Lang.dll").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    ASSERT_NE(earlier & FILE_ATTRIBUTE_READONLY, 0u);
    for (const char* value : {"Default", "DEFAULT", "default", "Missing"}) {
        Config(std::string("[Language]\nNumber=2\nFile1=English\nFile2=") + value + "\nDestFile=Lang\n");
        g_setup.languageIndex = 1;
        CopyLanguageLibrary();
        EXPECT_EQ(scratch::ReadFile(In("bin\\Lang.dll")), "english") << value;
        EXPECT_EQ(GetFileAttributesA(In("bin\\Lang.dll").c_str()) & earlier, earlier) << value;
    }
    // The key number is the list position plus one.
    Config("[Language]\nNumber=2\nFile1=Default\nFile2=German\nDestFile=Lang\n");
    g_setup.languageIndex = 1;
    CopyLanguageLibrary();
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
    CopyLanguageLibrary();
    EXPECT_EQ(scratch::ReadFile(In("bin\\Lang.dll")), "english");
}

// A visible top-level window of any process with exactly this title.
struct TitleSearch {
    const std::string* title;
    HWND found;
};
BOOL CALLBACK MatchTitle(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<TitleSearch*>(lp);
    if (!IsWindowVisible(w) || ui::WindowText(w) != *s->title) return TRUE;
    s->found = w;
    return FALSE;
}
HWND FindTopWindowTitled(const std::string& title) {
    TitleSearch s{&title, nullptr};
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// The final action: start the program (by its quoted path: in a folder with
// blanks an unquoted command line would first name the decoy dir.exe), open
// its folder (in another process), or, after a declined restart, nothing
// and no message at all.
TEST_F(CompletionTest, FinalActionStartsOpensOrDoesNothing) {
    const std::string marker = scratch::ProgramFolder() + "\\helpers\\marker.exe";
    const struct {
        BOOL run;
        int type;
        BOOL restart;
        bool started, opened;
    } rows[] = {{TRUE, 1, TRUE, true, false}, {FALSE, 1, TRUE, false, true}, {TRUE, 0, FALSE, false, false}};
    for (const auto& row : rows) {
        scratch::Folder base("finalaction");
        Install(base / "dir with blanks");
        ASSERT_TRUE(CopyFileA(marker.c_str(), In("bin\\app.exe").c_str(), FALSE)) << marker;
        ASSERT_TRUE(CopyFileA(marker.c_str(), (base / "dir.exe").c_str(), FALSE));
        CreateDirectoryA(In("Folder 7").c_str(), nullptr);
        Config("[Exec]\nExecFile=bin\\app.exe\nExecDir=Folder 7\n");
        g_setup.runAfterSetup = row.run;
        g_setup.programmerType = row.type;
        g_setup.platformId = 2;
        g_setup.restartNow = row.restart;
        const std::string app = In("bin\\app.exe"), folder = In("Folder 7"), before = g_setup.installDir;
        std::atomic<bool> stop{false};
        std::string box;  // any message box is a fault: answered and remembered
        ui::Driver watcher([&] {
            for (; !stop; Sleep(20))
                if (HWND b = ui::FindMessageBox("")) box = ui::MessageBoxText(b), PostMessageA(b, WM_COMMAND, IDOK, 0);
        });
        RunFinalAction(row.type == 0);
        HWND window = ui::WaitFor([] { return FindTopWindowTitled("Folder 7"); }, row.opened ? 15000 : 1500);
        if (row.started) ui::WaitFor([&] { return scratch::Exists(app + ".marker") ? HWND(1) : nullptr; }, 10000);
        Sleep(100);  // let the marker finish writing
        stop = true;
        watcher.Finish();
        EXPECT_EQ(box, "");
        EXPECT_EQ(scratch::ReadFile(app + ".marker"), row.started ? "\"" + app + "\"" : "<missing>");
        EXPECT_FALSE(scratch::Exists(base / "dir.exe.marker"));
        EXPECT_EQ(window != nullptr, row.opened);
        EXPECT_EQ(std::string(g_setup.installDir), row.opened ? folder : before);  // extended in place
        if (!window) continue;
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        EXPECT_NE(pid, GetCurrentProcessId());
        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(ui::WaitGone(window, 10000));
    }
}

}  // namespace
