// The progress dialog's archive phase with the real templates: archives on
// two disks, the disk prompt, the configuration error, a corrupt archive,
// refused names and the cancel question.
#include <gtest/gtest.h>

#include "config/SetupState.h"
#include "engine/EngineIds.h"
#include "engine/ReplaceDiskDlg.h"
#include "win/support/EngineMedia.h"
#include "win/support/UiDriver.h"

using media::Media;
using media::RecordingProgressDlg;

namespace {

const char* kTwoDisks =
    "[Disk]\nNumber=2\n"
    "[Disk1]\nNumber=2\nFile1=core\nDir1=bin\nPercent1=10\nFile2=help\nDir2=doc\nPercent2=30\n"
    "[Disk2]\nNumber=2\nFile1=lib\nDir1=bin\nPercent1=60\nFile2=data\nDir2=doc\nPercent2=100\n";

void MakeTwoDiskMedium(const Media& m) {
    m.WriteIni(kTwoDisks);
    media::MakeDir(m.Dst("bin"));
    media::MakeDir(m.Dst("doc"));
    media::MakeZip(m.Src("core.zip"), "core.exe", "core program");
    media::MakeZip(m.Src("help.zip"), "help.txt", "help text");
    media::MakeZip(m.Src("lib.zip"), "lib.dll", "library");
    media::MakeZip(m.Src("data.zip"), "data.bin", std::string(5000, 'd'));
}

void ExpectTwoDiskInstall(const Media& m) {
    EXPECT_EQ(media::ReadFile(m.Dst("bin\\core.exe")), "core program");
    EXPECT_EQ(media::ReadFile(m.Dst("doc\\help.txt")), "help text");
    EXPECT_EQ(media::ReadFile(m.Dst("bin\\lib.dll")), "library");
    EXPECT_EQ(media::ReadFile(m.Dst("doc\\data.bin")), std::string(5000, 'd'));
    for (const char* copy : {"bin\\core.zip", "doc\\help.zip", "bin\\lib.zip", "doc\\data.zip"})
        EXPECT_FALSE(media::Exists(m.Dst(copy))) << copy << " (the copy is deleted after unpacking)";
}

}  // namespace

// Two disks with two archives each, with the real pauses: the bar moves by
// the Percent keys of both disks (halfway while an archive unpacks), the
// 1000 ms pause follows every archive and the 2000 ms wait only the last.
TEST(ArchivePhase, TwoDisksWithTwoArchivesEach) {
    media::Watchdog wd(60000);
    Media m;
    MakeTwoDiskMedium(m);
    RecordingProgressDlg dlg;
    std::string caption;
    ui::Driver driver([&] {
        HWND w = ui::WaitForDialogWithControl(IDC_PROGRESS_BAR);
        ASSERT_NE(w, nullptr);
        caption = ui::WindowText(w);
    });
    INT_PTR r = dlg.DoModal();
    const ULONGLONG ended = static_cast<ULONGLONG>(GetTickCount());
    driver.Finish();
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(caption, "Programmer Software 1.0");
    // Targets 2, 6, 12, 20; shown halfway first: 1, 4, 9, 16.
    EXPECT_EQ(dlg.Positions(), (std::vector<int>{1, 2, 4, 6, 9, 12, 16, 20}));
    ExpectTwoDiskInstall(m);
    ASSERT_EQ(dlg.samples.size(), 8u);
    // Between one archive's end and the next one's start lies the 1000 ms
    // timer; after the last one the 2000 ms wait and the timer's 1000 ms
    // before the (empty) pack phase ends the dialog.
    for (size_t i = 1; i + 1 < dlg.samples.size(); i += 2) {
        const ULONGLONG gap = dlg.samples[i + 1].tick - dlg.samples[i].tick;
        EXPECT_GE(gap, 900u) << "pause after archive " << (i + 1) / 2;
        EXPECT_LT(gap, 2500u) << "no long wait after archive " << (i + 1) / 2;
    }
    EXPECT_GE(ended - dlg.samples.back().tick, 2900u);
}

// The second disk is not in the drive: beep and prompt for "#2" in the
// source drive (upper case); OK without the disk prompts again; Cancel asks
// the question and No starts the same archive again; once the file is
// there, OK goes on.
TEST(ArchivePhase, MissingSecondDiskPromptsUntilTheFileIsThere) {
    media::Watchdog wd(60000);
    Media m;
    MakeTwoDiskMedium(m);
    DeleteFileA(m.Src("lib.zip").c_str());
    g_setup.sourceDir[0] = static_cast<char>(tolower(g_setup.sourceDir[0]));
    RecordingProgressDlg dlg;
    dlg.archivePauseMs = 20;
    dlg.lastArchiveWaitMs = 10;
    std::string disk, drive, source, dest;
    int prompts = 0;
    ui::Driver driver([&] {
        HWND p = ui::WaitFor(media::FindDiskPrompt);
        ASSERT_NE(p, nullptr);
        ++prompts;
        disk = ui::ControlText(p, IDC_DISK_NUMBER);
        drive = ui::ControlText(p, IDC_DISK_DRIVE);
        HWND progress = ui::FindDialogWithControl(IDC_PROGRESS_BAR);
        source = ui::ControlText(progress, IDC_PROGRESS_SOURCE);
        dest = ui::ControlText(progress, IDC_PROGRESS_DEST);
        ui::Click(p, IDOK);  // without the disk
        ASSERT_TRUE(ui::WaitGone(p));
        p = ui::WaitFor(media::FindDiskPrompt);
        ASSERT_NE(p, nullptr);
        ++prompts;
        ui::Click(p, IDCANCEL);
        EXPECT_NE(ui::Answer("Exit installation?", IDNO), "");
        p = ui::WaitFor(media::FindDiskPrompt);  // the same archive again
        ASSERT_NE(p, nullptr);
        ++prompts;
        EXPECT_EQ(ui::ControlText(p, IDC_DISK_NUMBER), "#2");
        media::MakeZip(m.Src("lib.zip"), "lib.dll", "library");
        ui::Click(p, IDOK);
    });
    INT_PTR r = dlg.DoModal();
    driver.Finish();
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(prompts, 3);
    EXPECT_EQ(disk, "#2");
    EXPECT_EQ(drive, std::string(1, static_cast<char>(toupper(m.source[0]))));
    EXPECT_TRUE(_stricmp(source.c_str(), m.Src("lib.zip").c_str()) == 0) << source;
    EXPECT_EQ(dest, m.Dst("bin\\lib.zip"));
    ExpectTwoDiskInstall(m);
}

TEST(ReplaceDisk, DiskNumbersFrom10AreShownWhole) {
    media::Watchdog wd(20000);
    Media m;
    CReplaceDiskDlg prompt;
    prompt.SetDisk(12, "d:\\setup");
    std::string disk, drive;
    ui::Driver driver([&] {
        HWND p = ui::WaitFor(media::FindDiskPrompt);
        ASSERT_NE(p, nullptr);
        disk = ui::ControlText(p, IDC_DISK_NUMBER);
        drive = ui::ControlText(p, IDC_DISK_DRIVE);
        // The whole text fits its field.
        HWND field = ui::FindControl(p, IDC_DISK_NUMBER);
        HDC dc = GetDC(field);
        HFONT old = static_cast<HFONT>(SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(field, WM_GETFONT, 0, 0))));
        SIZE sz;
        GetTextExtentPoint32A(dc, disk.c_str(), static_cast<int>(disk.size()), &sz);
        SelectObject(dc, old);
        ReleaseDC(field, dc);
        RECT rc;
        GetClientRect(field, &rc);
        EXPECT_LE(sz.cx, rc.right - rc.left);
        ui::Click(p, IDCANCEL);
    });
    EXPECT_EQ(prompt.DoModal(), IDCANCEL);
    driver.Finish();
    EXPECT_EQ(disk, "#12");
    EXPECT_EQ(drive, "D");
}

// [Disk1] Number missing: the message, then the question; No reads the key
// again (the message returns until the file is mended), Yes leaves.
TEST(ArchivePhase, ErrorFileOfMorlanIniAndItsRetry) {
    media::Watchdog wd(30000);
    Media m;
    media::MakeZip(m.Src("a.zip"), "a.txt", "A");
    for (int last : {IDNO, IDYES}) {
        m.WriteIni("[Disk]\nNumber=1\n");
        DeleteFileA(m.Dst("a.txt").c_str());
        RecordingProgressDlg dlg;
        dlg.archivePauseMs = 20;
        dlg.lastArchiveWaitMs = 10;
        ui::Driver driver([&] {
            ui::AnswerAll({{"Error File of morlan.ini", IDOK}, {"Exit installation?", IDNO}, {"Error File of morlan.ini", IDOK}});
            if (last == IDNO) m.WriteIni("[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=a\nDir1=\nPercent1=100\n");
            ui::AnswerAll({{"Exit installation?", last}});
        });
        EXPECT_EQ(dlg.DoModal(), last == IDNO ? IDOK : IDCANCEL);
        driver.Finish();
        EXPECT_EQ(media::ReadFile(m.Dst("a.txt")), last == IDNO ? "A" : "");
    }
}

// A damaged archive (a wrong CRC, or a local header that disagrees with
// the central one): the reader's error is shown with the stop icon, no step
// follows and the dialog stays until Cancel; No then starts the archive
// again from its copy, which is left in place meanwhile. The damaged entry
// leaves no file behind, and a file of its name keeps its content.
TEST(ArchivePhase, DamagedArchiveWaitsForCancelAndRetries) {
    media::Watchdog wd(60000);
    const struct {
        bool localHeader;
        const char* before;  // the file of the entry's name before, if any
    } cases[] = {{false, nullptr}, {false, "good old"}, {true, "good old"}};
    for (const auto& c : cases) {
        Media m;
        m.WriteIni("[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=a\nDir1=\nPercent1=100\n");
        media::MakeZip(m.Src("a.zip"), "a.txt", "AAAA", /*badCrc=*/!c.localHeader);
        if (c.localHeader) {  // the local header's CRC differs from the central one
            std::string zip = media::ReadFile(m.Src("a.zip"));
            zip[14] ^= 1;
            media::WriteFile(m.Src("a.zip"), zip);
        }
        if (c.before) media::WriteFile(m.Dst("a.txt"), c.before);
        RecordingProgressDlg dlg;
        dlg.archivePauseMs = 20;
        dlg.lastArchiveWaitMs = 10;
        bool stillOpen = false, noOtherBox = false;
        std::string filesMeanwhile, entryMeanwhile;
        ui::Driver driver([&] {
            EXPECT_EQ(ui::Answer("Internal application error.", IDOK), "Internal application error.");
            filesMeanwhile = media::Listing(m.install);
            entryMeanwhile = media::ReadFile(m.Dst("a.txt"));
            Sleep(300);
            HWND w = ui::FindDialogWithControl(IDC_PROGRESS_BAR);
            stillOpen = w != nullptr;
            noOtherBox = ui::FindMessageBox("") == nullptr;
            media::MakeZip(m.Src("a.zip"), "a.txt", "AAAA");  // a good archive on the medium
            ui::Click(w, IDCANCEL);
            EXPECT_NE(ui::Answer("Exit installation?", IDNO), "");
        });
        EXPECT_EQ(dlg.DoModal(), IDOK);
        driver.Finish();
        EXPECT_TRUE(stillOpen);
        EXPECT_TRUE(noOtherBox);
        EXPECT_EQ(filesMeanwhile, c.before ? "a.txt a.zip morlan.ini" : "a.zip morlan.ini");
        EXPECT_EQ(entryMeanwhile, c.before ? c.before : "");
        EXPECT_EQ(media::ReadFile(m.Dst("a.txt")), "AAAA");
        EXPECT_EQ(media::Listing(m.install), "a.txt morlan.ini");
    }
}

// Installing again over the files of the first installation, which left
// one read-only as its entry said, after the user has made them read-only
// and hidden, or system: each file is replaced and gets its entry's
// attributes (a pack record gives none), and an unpacked file's creation
// and last-access times are those of its writing.
TEST(ArchivePhase, InstallingAgainOverReadOnlyHiddenAndSystemFiles) {
    media::Watchdog wd(60000);
    Media m;
    m.WriteIni("[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=a\nDir1=\nPercent1=100\n"
               "[Remove]\nNumber=1\nDir1=\nFile1=p.pak\nDest1=\n");
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (DWORD userMade : {DWORD(0), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), DWORD(FILE_ATTRIBUTE_SYSTEM)}) {
        const std::string round = std::to_string(userMade);
        media::MakeZip(m.Src("a.zip"), "a.txt", "A" + round, false, 0x52C66B3Du, FILE_ATTRIBUTE_READONLY);
        media::WriteFile(m.Dst("p.pak"), media::PackHeader(1) + media::PackRecord("p.txt", "P" + round));
        if (userMade) {
            media::SetLastAccess(m.Dst("a.txt"), 2001);
            SetFileAttributesA(m.Dst("a.txt").c_str(), userMade);
            SetFileAttributesA(m.Dst("p.txt").c_str(), userMade);
        }
        SYSTEMTIME started;
        GetSystemTime(&started);
        RecordingProgressDlg dlg;
        dlg.archivePauseMs = 20;
        dlg.lastArchiveWaitMs = 10;
        std::string messages;
        EXPECT_EQ(media::RunNoticingMessages(dlg, messages), IDOK) << round;
        EXPECT_EQ(messages, "") << round;
        EXPECT_EQ(media::ReadFile(m.Dst("a.txt")), "A" + round);
        EXPECT_EQ(GetFileAttributesA(m.Dst("a.txt").c_str()) & kKept, DWORD(FILE_ATTRIBUTE_READONLY)) << round;
        EXPECT_EQ(media::ReadFile(m.Dst("p.txt")), "P" + round);
        EXPECT_EQ(GetFileAttributesA(m.Dst("p.txt").c_str()) & kKept, 0u) << round;
        WIN32_FILE_ATTRIBUTE_DATA d;
        ASSERT_TRUE(GetFileAttributesExA(m.Dst("a.txt").c_str(), GetFileExInfoStandard, &d));
        SYSTEMTIME accessed;
        FileTimeToSystemTime(&d.ftLastAccessTime, &accessed);
        EXPECT_EQ(accessed.wYear, started.wYear) << round;
        EXPECT_EQ(accessed.wDay, started.wDay) << round;
    }
}

// Names that would leave the installation folder, and a composed path that
// does not fit its 200-byte buffer, are refused with a message naming them,
// then the question; nothing is written outside.
TEST(ArchivePhase, RefusedNames) {
    media::Watchdog wd(60000);
    const struct {
        const char *file, *dir, *entry, *named, *also;
        bool deep;
    } cases[] = {
        {"a", "", "..\\evil.txt", "..\\evil.txt", "..\\evil.txt", false},
        {"a", "..\\..", "x.txt", "..\\..", "morlan.ini", false},
        {"longarchivename", "", "x.txt", "too long", "longarchivename", true},
    };
    for (const auto& c : cases) {
        Media m;
        if (c.deep) {
            std::string deep = m.install;
            while (deep.size() < 185) media::MakeDir(deep += "\\dddddddddd");
            lstrcpynA(g_setup.installDir, deep.c_str(), sizeof g_setup.installDir);
        }
        m.WriteIni(std::string("[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=") + c.file + "\nDir1=" + c.dir + "\nPercent1=100\n");
        media::MakeZip(m.Src(std::string(c.file) + ".zip"), c.entry, "E");
        RecordingProgressDlg dlg;
        std::vector<std::string> shown;
        ui::Driver driver([&] { shown = ui::AnswerAll({{c.named, IDOK}, {"Exit installation?", IDYES}}); });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        driver.Finish();
        ASSERT_EQ(shown.size(), 2u) << c.named;
        EXPECT_NE(shown[0].find(c.also), std::string::npos) << shown[0];
        EXPECT_FALSE(media::Exists(m.root + "\\evil.txt") || media::Exists(m.root + "\\x.txt"));
    }
}

// An archive whose source and destination are the same file (apart from
// letter case) is unpacked in place and stays: it is the medium's own.
TEST(ArchivePhase, SameFileIsNeitherCopiedNorDeleted) {
    media::Watchdog wd(30000);
    Media m;
    lstrcpynA(g_setup.installDir, m.source.c_str(), sizeof g_setup.installDir);
    CharUpperA(g_setup.installDir + 3);
    lstrcpynA(g_setup.configPath, m.Src("morlan.ini").c_str(), sizeof g_setup.configPath);
    media::WriteFile(m.Src("morlan.ini"), "[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=a\nDir1=\nPercent1=100\n");
    media::MakeZip(m.Src("a.zip"), "a.txt", "A");
    RecordingProgressDlg dlg;
    dlg.archivePauseMs = 20;
    dlg.lastArchiveWaitMs = 10;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(media::Exists(m.Src("a.zip")));
    EXPECT_EQ(media::ReadFile(m.Src("a.txt")), "A");
}

// Cancel during the pause between archives: Yes ends with IDCANCEL and
// leaves what was written; No goes on with the next archive.
TEST(ArchivePhase, CancelYesAndNo) {
    media::Watchdog wd(60000);
    for (int answer : {IDNO, IDYES}) {
        Media m;
        MakeTwoDiskMedium(m);
        RecordingProgressDlg dlg;
        dlg.lastArchiveWaitMs = 10;
        ui::Driver driver([&] {
            HWND w = ui::WaitForDialogWithControl(IDC_PROGRESS_BAR);
            ASSERT_NE(w, nullptr);
            // Wait for the first archive to be done, then cancel in the pause.
            ASSERT_NE(ui::WaitFor([&] { return ui::ControlText(w, IDC_PROGRESS_PERCENT) == "2%" ? w : nullptr; }), nullptr);
            ui::Click(w, IDCANCEL);
            EXPECT_NE(ui::Answer("Exit installation?", answer), "");
        });
        INT_PTR r = dlg.DoModal();
        driver.Finish();
        if (answer == IDYES) {
            EXPECT_EQ(r, IDCANCEL);
            EXPECT_EQ(media::ReadFile(m.Dst("bin\\core.exe")), "core program");
            EXPECT_FALSE(media::Exists(m.Dst("bin\\lib.dll")));
        } else {
            EXPECT_EQ(r, IDOK);
            ExpectTwoDiskInstall(m);
            EXPECT_EQ(dlg.Positions(), (std::vector<int>{1, 2, 4, 6, 9, 12, 16, 20}));
        }
    }
}
