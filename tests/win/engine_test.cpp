// The progress dialog with the real templates: archives on two disks with
// the disk prompt, damaged and refused archives and pack records, installing
// again, and the cancel question at each stage.
#include "win/support/WinTest.h"

#include <commctrl.h>

#include <filesystem>
#include <set>

#include "engine/EngineIds.h"
#include "engine/ProgressDlg.h"

using namespace wt;
using testfs::PackHeader;
using testfs::PackRecord;

namespace {

// A progress dialog with short pauses that records every bar position it
// shows and calls onPosition right then.
class ProgressDlg : public CProgressDlg {
public:
    std::vector<int> positions;
    std::function<void(int)> onPosition = [](int) {};
    explicit ProgressDlg(int startPhase = 0) {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        phase = startPhase;
        archivePauseMs = 20, lastArchiveWaitMs = 10;
    }
    INT_PTR Run(const std::function<void()>& fn = [] {}) { return Drive([&] { return DoModal(); }, fn); }

protected:
    BOOL OnInitDialog() override {
        const BOOL r = CProgressDlg::OnInitDialog();
        SetWindowSubclass(GetDlgItem(IDC_PROGRESS_BAR), BarProc, 0, reinterpret_cast<DWORD_PTR>(this));
        positions.clear();  // the initial 0 is no step's
        return r;
    }

private:
    static LRESULT CALLBACK BarProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
        auto* d = reinterpret_cast<ProgressDlg*>(self);
        if (msg == PBM_SETPOS) d->positions.push_back(static_cast<int>(wp)), d->onPosition(static_cast<int>(wp));
        return DefSubclassProc(w, msg, wp, lp);
    }
};

HWND Progress() { return ui::FindDialogWithControl(IDC_PROGRESS_BAR); }
HWND WaitPercent(const char* shown) {  // the progress dialog once it shows the percentage
    return ui::WaitFor([&] { return ui::ControlText(Progress(), IDC_PROGRESS_PERCENT) == shown ? Progress() : nullptr; });
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
// The message and the exit question twice, No the first time; then mend()
// and the last answer. Returns the texts of the first three boxes.
std::vector<std::string> FailTwice(const char* message, int last, const std::function<void()>& mend) {
    auto shown = ui::AnswerAll({{message, IDOK}, {"Exit installation?", IDNO}, {message, IDOK}});
    mend();
    ui::AnswerAll({{"Exit installation?", last}});
    return shown;
}

const char* const kOneArchive = "[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=a\nDir1=\nPercent1=100\n";

// Two disks with two archives each, into bin and doc.
struct TwoDisks : Scratch {
    std::string In(const std::string& rel) const { return inst + "\\" + rel; }
    TwoDisks() {
        Ini("[Disk]\nNumber=2\n[Disk1]\nNumber=2\nFile1=core\nDir1=bin\nPercent1=10\nFile2=help\nDir2=doc\nPercent2=30\n"
            "[Disk2]\nNumber=2\nFile1=lib\nDir1=bin\nPercent1=60\nFile2=data\nDir2=doc\nPercent2=100\n");
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

// The second disk is not in the drive: a prompt for "#2" in the source
// drive (upper case); OK without the disk prompts again; Cancel asks, and
// No starts the same archive again; once the file is there, OK goes on.
TEST(ArchivePhase, MissingSecondDiskPromptsUntilTheFileIsThere) {
    TwoDisks m;
    DeleteFileA((m.media + "\\lib.zip").c_str());
    g_setup.sourceDir[0] = static_cast<char>(tolower(g_setup.sourceDir[0]));
    std::string drive;
    EXPECT_EQ(ProgressDlg().Run([&] {
        for (int prompt = 0; prompt < 3; ++prompt) {
            HWND p = ui::WaitFor([] {
                HWND w = FindWindowA("#32770", "Replace Disk");
                return w && IsWindowVisible(w) ? w : nullptr;
            });
            ASSERT_NE(p, nullptr) << prompt;
            EXPECT_EQ(ui::ControlText(p, IDC_DISK_NUMBER), "#2");
            drive = ui::ControlText(p, IDC_DISK_DRIVE);
            if (prompt == 2) Zip(m.media + "\\lib.zip", "lib", "lib");
            ui::Click(p, prompt == 1 ? IDCANCEL : IDOK);
            if (prompt == 1) ui::AnswerAll({{"Exit installation?", IDNO}});
            ui::WaitGone(p);
        }
    }), IDOK);
    EXPECT_EQ(drive, std::string(1, static_cast<char>(toupper(m.media[0]))));
    m.ExpectInstalled();
}

// [Disk1] Number missing: the message, then the question; No reads the key
// again (the message returns until the file is mended), Yes leaves.
TEST(ArchivePhase, ErrorFileOfMorlanIniAndItsRetry) {
    for (int last : {IDNO, IDYES}) {
        Scratch m("[Disk]\nNumber=1\n");
        Zip(m.media + "\\a.zip", "a.txt", "A");
        EXPECT_EQ(ProgressDlg().Run([&] { FailTwice("Error File of morlan.ini", last, [&] { m.Ini(kOneArchive); }); }),
                  last == IDNO ? IDOK : IDCANCEL);
        EXPECT_EQ(Read(m.inst + "\\a.txt"), last == IDNO ? "A" : "");
    }
}

// A damaged archive (a wrong CRC, or a local header that disagrees with the
// central one): the reader's error, then the dialog waits for Cancel; No
// starts the archive again from its copy, left in place meanwhile. The
// damaged entry leaves no file, and a file of its name keeps its content.
TEST(ArchivePhase, DamagedArchiveWaitsForCancelAndRetries) {
    for (auto [localHeader, before] : {std::pair{false, ""}, {false, "good old"}, {true, "good old"}}) {
        Scratch m(kOneArchive);
        const std::string zip = m.media + "\\a.zip", entry = m.inst + "\\a.txt";
        std::string bytes = testfs::StoredZip("a.txt", "AAAA", !localHeader);
        if (localHeader) bytes[14] ^= 1;  // the local header's CRC differs from the central one
        Write(zip, bytes);
        if (*before) Write(entry, before);
        std::string filesMeanwhile, entryMeanwhile;
        HWND otherBox = nullptr;
        EXPECT_EQ(ProgressDlg().Run([&] {
            ui::AnswerAll({{"Internal application error.", IDOK}});
            filesMeanwhile = Listing(m.inst);
            entryMeanwhile = Read(entry);
            Sleep(300);
            otherBox = ui::FindMessageBox("");
            Zip(zip, "a.txt", "AAAA");  // a good archive on the medium
            ui::Click(Progress(), IDCANCEL);
            ui::AnswerAll({{"Exit installation?", IDNO}});
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
// (a pack record gives none) and time. No message comes.
TEST(ArchivePhase, InstallingAgainOverReadOnlyHiddenAndSystemFiles) {
    Scratch m(std::string(kOneArchive) + "[Remove]\nNumber=1\nDir1=\nFile1=p.pak\nDest1=\n");
    const std::string a = m.inst + "\\a.txt", p = m.inst + "\\p.txt";
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (DWORD userMade : {DWORD(0), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), DWORD(FILE_ATTRIBUTE_SYSTEM)}) {
        const std::string round = std::to_string(userMade);
        Zip(m.media + "\\a.zip", "a.txt", "A" + round, false, FILE_ATTRIBUTE_READONLY);
        Write(m.inst + "\\p.pak", PackHeader(1) + PackRecord("p.txt", "P" + round));
        if (userMade) SetFileAttributesA(a.c_str(), userMade), SetFileAttributesA(p.c_str(), userMade);
        EXPECT_EQ(ProgressDlg().Run(), IDOK) << round;
        EXPECT_EQ(Read(a) + Read(p), "A" + round + "P" + round);
        EXPECT_EQ(GetFileAttributesA(a.c_str()) & kKept, DWORD(FILE_ATTRIBUTE_READONLY)) << round;
        EXPECT_EQ(GetFileAttributesA(p.c_str()) & kKept, 0u) << round;
        WIN32_FILE_ATTRIBUTE_DATA d;
        FILETIME local;
        WORD date = 0, time = 0;
        ASSERT_TRUE(GetFileAttributesExA(a.c_str(), GetFileExInfoStandard, &d));
        FileTimeToLocalFileTime(&d.ftLastWriteTime, &local);  // the entry's time is local time
        FileTimeToDosDateTime(&local, &date, &time);
        EXPECT_EQ(uint32_t(date) << 16 | time, testfs::DosTime(2021, 6, 6, 13, 25, 58)) << round;
    }
}

// Names that would leave the installation folder, and a composed path that
// does not fit its 200-byte buffer, are refused with a message naming them,
// then the question; nothing is written outside. An archive whose source
// and destination are the same file (apart from letter case) is unpacked
// in place and stays: it is the medium's own.
TEST(ArchivePhase, RefusedNamesAndTheMediumAsDestination) {
    for (bool tooLong : {false, true}) {
        const char* file = tooLong ? "longarchivename" : "a";
        Scratch m(std::string("[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=") + file + "\nDir1=" + (tooLong ? "" : "..\\..") +
                  "\nPercent1=100\n");
        std::string deep = m.inst;
        while (tooLong && deep.size() < 185) MakeDir(deep += "\\dddddddddd");
        Set(g_setup.installDir, deep);
        Zip(m.media + "\\" + file + ".zip", "x.txt", "E");
        std::vector<std::string> shown;
        const char* named = tooLong ? "too long" : "..\\..";
        EXPECT_EQ(ProgressDlg().Run([&] { shown = ui::AnswerAll({{named, IDOK}, {"Exit installation?", IDYES}}); }),
                  IDCANCEL);
        ASSERT_EQ(shown.size(), 2u) << named;
        EXPECT_NE(shown[0].find(tooLong ? file : "morlan.ini"), std::string::npos) << shown[0];
        EXPECT_FALSE(Exists((m.path / "x.txt").string()) || Exists((m.path.parent_path() / "x.txt").string()));
    }
    Scratch m(kOneArchive);
    Set(g_setup.installDir, m.media);
    CharUpperA(g_setup.installDir + 3);
    Zip(m.media + "\\a.zip", "a.txt", "A");
    EXPECT_EQ(ProgressDlg().Run(), IDOK);
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
        EXPECT_EQ(dlg.Run([&] {
            ui::Click(WaitPercent("2%"), IDCANCEL);
            ui::AnswerAll({{"Exit installation?", answer}});
        }), answer == IDYES ? IDCANCEL : IDOK);
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
    dlg.lastArchiveWaitMs = 2000;
    bool firstGoneWhenSecondStarts = false;
    dlg.onPosition = [&](int p) {
        if (p == 64) firstGoneWhenSecondStarts = !Exists(m.Pack(1)) && Exists(m.Pack(2));
    };
    EXPECT_EQ(dlg.Run([&] {
        ui::Click(WaitPercent("20%"), IDCANCEL);  // queued while the thread waits
        ui::AnswerAll({{"Exit installation?", IDNO}}, 8000);
    }), IDOK);
    std::vector<int> want{10, 20};
    for (int p = 24; p <= 100; p += 4) want.push_back(p);
    EXPECT_EQ(dlg.positions, want);
    EXPECT_TRUE(firstGoneWhenSecondStarts);
    EXPECT_FALSE(Exists(m.Pack(2)));
    EXPECT_EQ(Read(m.inst + "\\a.txt"), "A");
    EXPECT_EQ(Read(m.Out(2, "b9")), "b9 data");
}

// Each failure shows its message (naming the pack or the name), then the
// question: No tries the same record again. Yes ends the dialog: nothing
// short and nothing outside is written, and the pack in use stays. A record
// whose folder is missing is written once the folder is there, and the next
// record follows intact.
TEST(PackPhase, MessageForEachFailureAndTheRetryAfterNo) {
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
        {PackHeader(3) + PackRecord("ok", "fine") + PackRecord("sub\\b", "22") + PackRecord("c", "333"), "Error Move Out File."},
    };
    for (const auto& c : cases) {
        Packs m(1);
        if (!c.bytes.empty()) Write(m.Pack(1), c.bytes);
        const bool mended = &c == std::end(cases) - 1;
        std::vector<std::string> shown;
        EXPECT_EQ(ProgressDlg(1).Run([&] {
            shown = FailTwice(c.message, mended ? IDNO : IDYES, [&] { MakeDir(m.Out(1, "sub")); });
        }), mended ? IDOK : IDCANCEL) << c.message;
        ASSERT_EQ(shown.size(), 3u);
        EXPECT_EQ(shown[0], shown[2]) << c.message;
        if (c.bytes.empty()) continue;
        EXPECT_EQ(Read(m.Out(1, "ok")), "fine");
        EXPECT_FALSE(Exists(m.Out(1, "short")));
        EXPECT_FALSE(Exists(m.inst + "\\evil") || Exists(m / "evil") || Exists("C:\\evil"));
        EXPECT_EQ(Exists(m.Pack(1)), !mended);
        EXPECT_EQ(Read(m.Out(1, "sub\\b")) + "," + Read(m.Out(1, "c")), mended ? "22,333" : ",");
    }
}

// Cancel while records are being written: No resumes with the next record
// (each written once), Yes ends with IDCANCEL and leaves the pack.
TEST(PackPhase, CancelYesAndNo) {
    for (int answer : {IDNO, IDYES}) {
        Packs m(1);
        m.WritePack(1, "f", 300);
        EXPECT_EQ(ProgressDlg(1).Run([&] {
            ui::Click(ui::WaitForDialogWithControl(IDC_PROGRESS_BAR), IDCANCEL);
            ui::AnswerAll({{"Exit installation?", answer}});
        }), answer == IDNO ? IDOK : IDCANCEL);
        int written = 0;
        for (int i = 0; i < 300; ++i) {
            const std::string name = "f" + std::to_string(i), text = Read(m.Out(1, name));
            if (text.empty()) continue;
            EXPECT_EQ(text, name + " data");
            ++written;
        }
        EXPECT_EQ(written == 300, answer == IDNO) << written;
        EXPECT_EQ(Exists(m.Pack(1)), answer == IDYES);
    }
}
