// The progress dialog with the real templates: archives on two disks with
// the disk prompt, damaged and refused archives and pack records, installing
// again, and the cancel question at each stage; the file object past 4 GiB.
#include "win/support/WinTest.h"

#include <commctrl.h>

#include <filesystem>
#include <set>

#include "engine/EngineIds.h"
#include "engine/ProgressDlg.h"
#include "engine/ReplaceDiskDlg.h"
#include "fw/File.h"

using namespace wt;
using testfs::PackHeader;
using testfs::PackRecord;

namespace {

// A progress dialog that records every bar position it shows, with the
// time, and calls onPosition right then; fast() shortens the pauses.
class ProgressDlg : public CProgressDlg {
public:
    std::vector<int> positions;
    std::vector<DWORD> ticks;
    std::function<void(int)> onPosition;
    explicit ProgressDlg(int startPhase = 0) {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        phase = startPhase;
    }
    ProgressDlg& fast() { return archivePauseMs = 20, lastArchiveWaitMs = 10, *this; }
    INT_PTR Run(const std::function<void()>& fn = [] {}) { return Drive([&] { return DoModal(); }, fn); }

protected:
    BOOL OnInitDialog() override {
        const BOOL r = CProgressDlg::OnInitDialog();
        SetWindowSubclass(GetDlgItem(IDC_PROGRESS_BAR), BarProc, 0, reinterpret_cast<DWORD_PTR>(this));
        positions.clear();  // the initial 0 is no step's
        ticks.clear();
        return r;
    }

private:
    static LRESULT CALLBACK BarProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
        auto* d = reinterpret_cast<ProgressDlg*>(self);
        if (msg == PBM_SETPOS) {
            d->positions.push_back(static_cast<int>(wp));
            d->ticks.push_back(GetTickCount());
            if (d->onPosition) d->onPosition(static_cast<int>(wp));
        }
        return DefSubclassProc(w, msg, wp, lp);
    }
};

HWND Progress() { return ui::FindDialogWithControl(IDC_PROGRESS_BAR); }
HWND WaitPercent(const char* shown) {  // the progress dialog once it shows the percentage
    return ui::WaitFor([&] { return ui::ControlText(Progress(), IDC_PROGRESS_PERCENT) == shown ? Progress() : nullptr; });
}
HWND DiskPrompt() {
    HWND w = FindWindowA("#32770", "Replace Disk");
    return w && IsWindowVisible(w) ? w : nullptr;
}
void Zip(const std::string& path, const std::string& entry, const std::string& data, bool badCrc = false,
         uint32_t attributes = FILE_ATTRIBUTE_ARCHIVE) {
    Write(path, testfs::StoredZip(entry, data, badCrc, testfs::DosTime(2021, 6, 6, 13, 25, 58), attributes));
}
std::string Listing(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : " ") + n;
    return s;
}

const char* const kOneArchive = "[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=a\nDir1=\nPercent1=100\n";

// Two disks with two archives each, into bin and doc.
struct TwoDisks : Scratch {
    std::string In(const std::string& rel) const { return inst + "\\" + rel; }
    TwoDisks() {
        Ini("[Disk]\nNumber=2\n[Disk1]\nNumber=2\nFile1=core\nDir1=bin\nPercent1=10\nFile2=help\nDir2=doc\nPercent2=30\n"
            "[Disk2]\nNumber=2\nFile1=lib\nDir1=bin\nPercent1=60\nFile2=data\nDir2=doc\nPercent2=100\n");
        Set(g_setup.productVersion, "Programmer Software 1.0");
        MakeDir(In("bin"));
        MakeDir(In("doc"));
        for (const char* name : {"core", "help", "lib", "data"}) Zip(media + "\\" + name + ".zip", name, name);
    }
    void ExpectInstalled() const {
        for (std::string f : {"bin\\core", "doc\\help", "bin\\lib", "doc\\data"}) {
            EXPECT_EQ(Read(In(f)), f.substr(4));
            EXPECT_FALSE(Exists(In(f + ".zip"))) << "the copy is deleted after unpacking";
        }
    }
};

// [Remove] for pack i in "packs", unpacked into out<i>.
struct Packs : Scratch {
    explicit Packs(int n, const std::string& before = "") {
        std::string s = before + "[Remove]\nNumber=" + std::to_string(n) + "\n";
        for (int k = 1; k <= n; ++k) {
            const std::string i = std::to_string(k);
            s += "Dir" + i + "=packs\nFile" + i + "=p" + i + ".pak\nDest" + i + "=out" + i + "\n";
            MakeDir(inst + "\\out" + i);
        }
        Ini(s);
        MakeDir(inst + "\\packs");
    }
    std::string Pack(int i) const { return inst + "\\packs\\p" + std::to_string(i) + ".pak"; }
    std::string Out(int i, const std::string& name) const { return inst + "\\out" + std::to_string(i) + "\\" + name; }
    void WritePack(int i, const std::string& prefix, int n) const {
        std::string s = PackHeader(n);
        for (int r = 0; r < n; ++r) s += PackRecord(prefix + std::to_string(r), prefix + std::to_string(r) + " data");
        Write(Pack(i), s);
    }
};

}  // namespace

// The real pauses: 1000 ms follow every archive (the bar moves halfway while
// it unpacks, then to its Percent), and 2000 ms more the last one before the
// (empty) pack phase ends the dialog.
TEST(ArchivePhase, TwoDisksWithTwoArchivesEach) {
    TwoDisks m;
    ProgressDlg dlg;
    EXPECT_EQ(dlg.Run(), IDOK);
    const DWORD ended = GetTickCount();
    m.ExpectInstalled();
    ASSERT_EQ(dlg.ticks.size(), 8u);
    for (size_t i = 1; i + 1 < dlg.ticks.size(); i += 2) {
        const DWORD gap = dlg.ticks[i + 1] - dlg.ticks[i];
        EXPECT_TRUE(gap >= 900 && gap < 2500) << "pause after archive " << (i + 1) / 2 << ": " << gap;
    }
    EXPECT_GE(ended - dlg.ticks.back(), 2900u);
}

// The second disk is not in the drive: a prompt for "#2" in the source
// drive (upper case); OK without the disk prompts again; Cancel asks, and
// No starts the same archive again; once the file is there, OK goes on.
TEST(ArchivePhase, MissingSecondDiskPromptsUntilTheFileIsThere) {
    TwoDisks m;
    DeleteFileA((m.media + "\\lib.zip").c_str());
    g_setup.sourceDir[0] = static_cast<char>(tolower(g_setup.sourceDir[0]));
    std::string drive;
    EXPECT_EQ(ProgressDlg().fast().Run([&] {
        for (int prompt = 0; prompt < 3; ++prompt) {
            HWND p = ui::WaitFor(DiskPrompt);
            ASSERT_NE(p, nullptr) << prompt;
            EXPECT_EQ(ui::ControlText(p, IDC_DISK_NUMBER), "#2");
            drive = ui::ControlText(p, IDC_DISK_DRIVE);
            if (prompt == 2) Zip(m.media + "\\lib.zip", "lib", "lib");
            ui::Click(p, prompt == 1 ? IDCANCEL : IDOK);
            if (prompt == 1) {
                EXPECT_NE(ui::Answer("Exit installation?", IDNO), "");
            }
            ui::WaitGone(p);
        }
    }), IDOK);
    EXPECT_EQ(drive, std::string(1, static_cast<char>(toupper(m.media[0]))));
    m.ExpectInstalled();
}

TEST(ReplaceDisk, DiskNumbersFrom10AreShownWholeInTheirField) {
    CReplaceDiskDlg prompt;
    prompt.SetDisk(12, "d:\\setup");
    std::string disk, drive;
    EXPECT_EQ(Drive([&] { return prompt.DoModal(); }, [&] {
        HWND p = ui::WaitFor(DiskPrompt), field = ui::FindControl(p, IDC_DISK_NUMBER);
        disk = ui::WindowText(field);
        drive = ui::ControlText(p, IDC_DISK_DRIVE);
        HDC dc = GetDC(field);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(field, WM_GETFONT, 0, 0)));
        SIZE size;
        RECT rc;
        GetTextExtentPoint32A(dc, disk.c_str(), static_cast<int>(disk.size()), &size);
        ReleaseDC(field, dc);
        GetClientRect(field, &rc);
        EXPECT_LE(size.cx, rc.right - rc.left);
        ui::Click(p, IDCANCEL);
    }), IDCANCEL);
    EXPECT_EQ(disk, "#12");
    EXPECT_EQ(drive, "D");
}

// [Disk1] Number missing: the message, then the question; No reads the key
// again (the message returns until the file is mended), Yes leaves.
TEST(ArchivePhase, ErrorFileOfMorlanIniAndItsRetry) {
    for (int last : {IDNO, IDYES}) {
        Scratch m("[Disk]\nNumber=1\n");
        Zip(m.media + "\\a.zip", "a.txt", "A");
        EXPECT_EQ(ProgressDlg().fast().Run([&] {
            ui::AnswerAll({{"Error File of morlan.ini", IDOK}, {"Exit installation?", IDNO}, {"Error File of morlan.ini", IDOK}});
            if (last == IDNO) m.Ini(kOneArchive);
            ui::AnswerAll({{"Exit installation?", last}});
        }), last == IDNO ? IDOK : IDCANCEL);
        EXPECT_EQ(Read(m.inst + "\\a.txt"), last == IDNO ? "A" : "");
    }
}

// A damaged archive (a wrong CRC, or a local header that disagrees with the
// central one): the reader's error with the stop icon, then the dialog waits
// for Cancel; No starts the archive again from its copy, left in place
// meanwhile. The damaged entry leaves no file, and a file of its name keeps
// its content.
TEST(ArchivePhase, DamagedArchiveWaitsForCancelAndRetries) {
    for (auto [localHeader, before] : {std::pair{false, ""}, {false, "good old"}, {true, "good old"}}) {
        Scratch m(kOneArchive);
        const std::string zip = m.media + "\\a.zip", entry = m.inst + "\\a.txt";
        Zip(zip, "a.txt", "AAAA", !localHeader);
        if (localHeader) {  // the local header's CRC differs from the central one
            std::string bytes = Read(zip);
            bytes[14] ^= 1;
            Write(zip, bytes);
        }
        if (*before) Write(entry, before);
        std::string filesMeanwhile, entryMeanwhile;
        HWND otherBox = nullptr;
        EXPECT_EQ(ProgressDlg().fast().Run([&] {
            EXPECT_EQ(ui::Answer("Internal application error.", IDOK), "Internal application error.");
            filesMeanwhile = Listing(m.inst);
            entryMeanwhile = Read(entry);
            Sleep(300);
            otherBox = ui::FindMessageBox("");
            Zip(zip, "a.txt", "AAAA");  // a good archive on the medium
            ui::Click(Progress(), IDCANCEL);
            EXPECT_NE(ui::Answer("Exit installation?", IDNO), "");
        }), IDOK);
        EXPECT_EQ(otherBox, nullptr);
        EXPECT_EQ(filesMeanwhile, *before ? "a.txt a.zip" : "a.zip");
        EXPECT_EQ(entryMeanwhile, before);
        EXPECT_EQ(Read(entry), "AAAA");
        EXPECT_EQ(Listing(m.inst), "a.txt");
    }
}

// Installing again over the files of a first installation, which left one
// read-only as its entry said, after the user made them read-only and
// hidden, or system: each file is replaced and gets its entry's attributes
// (a pack record gives none) and time; its creation and last-access times
// are those of its writing. No message comes.
TEST(ArchivePhase, InstallingAgainOverReadOnlyHiddenAndSystemFiles) {
    Scratch m(std::string(kOneArchive) + "[Remove]\nNumber=1\nDir1=\nFile1=p.pak\nDest1=\n");
    const std::string a = m.inst + "\\a.txt", p = m.inst + "\\p.txt";
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (DWORD userMade : {DWORD(0), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), DWORD(FILE_ATTRIBUTE_SYSTEM)}) {
        const std::string round = std::to_string(userMade);
        Zip(m.media + "\\a.zip", "a.txt", "A" + round, false, FILE_ATTRIBUTE_READONLY);
        Write(m.inst + "\\p.pak", PackHeader(1) + PackRecord("p.txt", "P" + round));
        if (userMade) {
            FILETIME old = {0, 0x01c07000};  // in 2000
            HANDLE h = CreateFileA(a.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            SetFileTime(h, nullptr, &old, nullptr);
            CloseHandle(h);
            SetFileAttributesA(a.c_str(), userMade);
            SetFileAttributesA(p.c_str(), userMade);
        }
        SYSTEMTIME started;
        GetSystemTime(&started);
        EXPECT_EQ(ProgressDlg().fast().Run(), IDOK) << round;
        EXPECT_EQ(Read(a), "A" + round);
        EXPECT_EQ(GetFileAttributesA(a.c_str()) & kKept, DWORD(FILE_ATTRIBUTE_READONLY)) << round;
        EXPECT_EQ(Read(p), "P" + round);
        EXPECT_EQ(GetFileAttributesA(p.c_str()) & kKept, 0u) << round;
        WIN32_FILE_ATTRIBUTE_DATA d;
        ASSERT_TRUE(GetFileAttributesExA(a.c_str(), GetFileExInfoStandard, &d));
        SYSTEMTIME accessed, written;
        FILETIME local;
        FileTimeToSystemTime(&d.ftLastAccessTime, &accessed);
        EXPECT_TRUE(accessed.wYear == started.wYear && accessed.wDay == started.wDay) << round;
        FileTimeToLocalFileTime(&d.ftLastWriteTime, &local);
        FileTimeToSystemTime(&local, &written);  // the entry's time is local time
        EXPECT_EQ(std::vector<int>({written.wYear, written.wMonth, written.wDay, written.wHour, written.wMinute,
                                    written.wSecond}), std::vector<int>({2021, 6, 6, 13, 25, 58}));
    }
}

// Names that would leave the installation folder, and a composed path that
// does not fit its 200-byte buffer, are refused with a message naming them,
// then the question; nothing is written outside.
TEST(ArchivePhase, RefusedNames) {
    const struct {
        const char *file, *dir, *entry, *named, *also;
    } cases[] = {
        {"a", "..\\..", "x.txt", "..\\..", "morlan.ini"},
        {"longarchivename", "", "x.txt", "too long", "longarchivename"},
    };
    for (const auto& c : cases) {
        Scratch m(std::string("[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=") + c.file + "\nDir1=" + c.dir +
                  "\nPercent1=100\n");
        if (std::string(c.named) == "too long") {
            std::string deep = m.inst;
            while (deep.size() < 185) MakeDir(deep += "\\dddddddddd");
            Set(g_setup.installDir, deep);
        }
        Zip(m.media + "\\" + c.file + ".zip", c.entry, "E");
        std::vector<std::string> shown;
        EXPECT_EQ(ProgressDlg().Run([&] { shown = ui::AnswerAll({{c.named, IDOK}, {"Exit installation?", IDYES}}); }),
                  IDCANCEL);
        ASSERT_EQ(shown.size(), 2u) << c.named;
        EXPECT_NE(shown[0].find(c.also), std::string::npos) << shown[0];
        for (const auto& dir : {m.path, m.path.parent_path()})
            EXPECT_FALSE(Exists((dir / "evil.txt").string()) || Exists((dir / "x.txt").string()));
    }
}

// An archive whose source and destination are the same file (apart from
// letter case) is unpacked in place and stays: it is the medium's own.
TEST(ArchivePhase, SameFileIsNeitherCopiedNorDeleted) {
    Scratch m(kOneArchive);
    Set(g_setup.installDir, m.media);
    CharUpperA(g_setup.installDir + 3);
    Zip(m.media + "\\a.zip", "a.txt", "A");
    EXPECT_EQ(ProgressDlg().fast().Run(), IDOK);
    EXPECT_TRUE(Exists(m.media + "\\a.zip"));
    EXPECT_EQ(Read(m.media + "\\a.txt"), "A");
}

// Cancel in the pause after the first archive: Yes ends with IDCANCEL and
// leaves what was written; No goes on with the next archive.
TEST(ArchivePhase, CancelYesAndNo) {
    for (int answer : {IDNO, IDYES}) {
        TwoDisks m;
        ProgressDlg dlg;
        dlg.archivePauseMs = 500;
        dlg.lastArchiveWaitMs = 10;
        const INT_PTR r = dlg.Run([&] {
            ui::Click(WaitPercent("2%"), IDCANCEL);
            EXPECT_NE(ui::Answer("Exit installation?", answer), "");
        });
        EXPECT_EQ(r, answer == IDYES ? IDCANCEL : IDOK);
        if (answer == IDNO) m.ExpectInstalled();
        EXPECT_EQ(Read(m.In("bin\\core")), "core");
        EXPECT_EQ(Exists(m.In("bin\\lib")), answer == IDNO);
    }
}

// An archive, then two packs: Cancel in the wait after the archive, then
// No, and the pack phase is set up and runs: 20 -> 60 % over the first
// pack, 60 -> 100 % over the second; each pack is deleted once the next
// one opens (or the phase ends).
TEST(PackPhase, CancelInTheFinalWaitThenTwoPacks) {
    Packs m(2, kOneArchive);
    Zip(m.media + "\\a.zip", "a.txt", "A");
    m.WritePack(1, "a", 10);
    m.WritePack(2, "b", 10);
    ProgressDlg dlg;
    dlg.archivePauseMs = 20;
    bool firstGoneWhenSecondStarts = false;
    dlg.onPosition = [&](int p) {
        if (p == 64) firstGoneWhenSecondStarts = !Exists(m.Pack(1)) && Exists(m.Pack(2));
    };
    EXPECT_EQ(dlg.Run([&] {
        ui::Click(WaitPercent("20%"), IDCANCEL);  // queued while the thread waits
        EXPECT_NE(ui::Answer("Exit installation?", IDNO, 8000), "");
    }), IDOK);
    std::vector<int> want{10, 20};
    for (int p = 24; p <= 100; p += 4) want.push_back(p);
    EXPECT_EQ(dlg.positions, want);
    EXPECT_TRUE(firstGoneWhenSecondStarts);
    EXPECT_FALSE(Exists(m.Pack(2)));
    EXPECT_EQ(Read(m.inst + "\\a.txt"), "A");
    EXPECT_EQ(Read(m.Out(2, "b9")), "b9 data");
}

// "Error Move Out File.", then No: the same record is tried again, so once
// its folder exists it is written and the next record follows intact.
TEST(PackPhase, FailedRecordIsRetriedAfterNo) {
    Packs m(1);
    Write(m.Pack(1), PackHeader(3) + PackRecord("first", "1") + PackRecord("sub\\second", "22") + PackRecord("third", "333"));
    EXPECT_EQ(ProgressDlg(1).Run([&] {
        ui::AnswerAll({{"Error Move Out File.", IDOK}, {"Exit installation?", IDNO}, {"Error Move Out File.", IDOK}});
        MakeDir(m.Out(1, "sub"));
        ui::AnswerAll({{"Exit installation?", IDNO}});
    }), IDOK);
    EXPECT_EQ(Read(m.Out(1, "sub\\second")), "22");
    EXPECT_EQ(Read(m.Out(1, "third")), "333");
    EXPECT_FALSE(Exists(m.Pack(1)));
}

// Each failure shows its message (naming the pack or the name), then the
// question: No tries the same record again, Yes ends the dialog. Nothing
// short and nothing outside is written, and the pack in use stays.
TEST(PackPhase, MessageForEachFailure) {
    const std::string ok = PackHeader(2) + PackRecord("ok", "fine");
    const struct {
        std::string bytes;  // empty: no pack file at all
        const char* message;
    } cases[] = {
        {"", "Error File Open."},
        {ok + PackRecord("short", "0123456789").substr(0, 12), "p1.pak"},
        {ok + std::string(90, 'n'), "p1.pak"},
        {ok + PackRecord("..\\evil", "E"), "..\\evil"},
        {ok + PackRecord("C:\\evil", "E"), "C:\\evil"},
    };
    for (const auto& c : cases) {
        Packs m(1);
        if (!c.bytes.empty()) Write(m.Pack(1), c.bytes);
        std::vector<std::string> shown;
        EXPECT_EQ(ProgressDlg(1).Run([&] {
            shown = ui::AnswerAll({{c.message, IDOK}, {"Exit installation?", IDNO}, {c.message, IDOK},
                                   {"Exit installation?", IDYES}});
        }), IDCANCEL) << c.message;
        ASSERT_EQ(shown.size(), 4u);
        EXPECT_EQ(shown[0], shown[2]) << c.message;
        if (c.bytes.empty()) continue;
        EXPECT_EQ(Read(m.Out(1, "ok")), "fine");
        EXPECT_FALSE(Exists(m.Out(1, "short")));
        EXPECT_FALSE(Exists(m.inst + "\\evil") || Exists(m / "evil") || Exists("C:\\evil"));
        EXPECT_TRUE(Exists(m.Pack(1)));
    }
}

// Cancel while records are being written: No resumes with the next record
// (each written once), Yes ends with IDCANCEL and leaves the pack.
TEST(PackPhase, CancelYesAndNo) {
    for (int answer : {IDNO, IDYES}) {
        Packs m(1);
        m.WritePack(1, "f", 300);
        const INT_PTR r = ProgressDlg(1).Run([&] {
            ui::Click(ui::WaitForDialogWithControl(IDC_PROGRESS_BAR), IDCANCEL);
            ui::AnswerAll({{"Exit installation?", answer}});
        });
        int written = 0;
        for (int i = 0; i < 300; ++i) {
            const std::string text = Read(m.Out(1, "f" + std::to_string(i)));
            if (text.empty()) continue;
            EXPECT_EQ(text, "f" + std::to_string(i) + " data");
            ++written;
        }
        EXPECT_EQ(r, answer == IDNO ? IDOK : IDCANCEL);
        EXPECT_EQ(written == 300, answer == IDNO) << written;
        EXPECT_EQ(Exists(m.Pack(1)), answer == IDYES);
    }
}

// The file object keeps the high half of positions and lengths past 4 GiB
// (the file is sparse).
TEST(FileObject, PositionsBeyondFourGiB) {
    testfs::TempDir dir;
    const uint64_t beyond = (5ull << 30) + 3;
    CFile f((dir / "big.bin").c_str(), CFile::modeCreate | CFile::modeReadWrite);
    EXPECT_EQ(f.Seek(static_cast<int64_t>(beyond), CFile::begin), beyond);
    f.Write("x", 1);
    EXPECT_EQ(f.GetLength(), beyond + 1);
    EXPECT_EQ(f.Seek(-2, CFile::end), beyond - 1);
    EXPECT_EQ(f.Seek(1, CFile::current), beyond);
    char c = 0;
    EXPECT_EQ(f.Read(&c, 1), 1u);
    EXPECT_EQ(c, 'x');
    EXPECT_THROW(f.Seek(-static_cast<int64_t>(beyond) - 10, CFile::current), CFileException);
}
