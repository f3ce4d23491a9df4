// The progress dialog with the real templates: damaged archives, installing
// again, the medium as its own destination, cancel at each stage and at the
// disk prompt.
#include "win/support/WinTest.h"

#include <commctrl.h>

#include <filesystem>
#include <set>

#include "engine/EngineIds.h"
#include "engine/ProgressDlg.h"

using namespace wt;
using namespace testfs;
using Names = std::set<std::string>;

namespace {

// The progress dialog, with short pauses unless given.
struct ProgressDlg : CProgressDlg {
    explicit ProgressDlg(int startPhase = 0, UINT pauseMs = 20, DWORD waitMs = 10) : CProgressDlg(nullptr, {pauseMs, waitMs}) {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        if (startPhase) StartAtPacks();
    }
    INT_PTR Run(const std::function<void()>& fn = [] {}) { return Drive([&] { return DoModal(); }, fn); }
};

HWND Progress() { return ui::FindDialogWithControl(IDC_PROGRESS_BAR); }
bool Themed(HWND control) {  // drawn with a visual style
    using GetTheme = HANDLE(WINAPI*)(HWND);
    const HMODULE uxtheme = LoadLibraryA("uxtheme.dll");
    const auto get = uxtheme ? reinterpret_cast<GetTheme>(reinterpret_cast<void*>(GetProcAddress(uxtheme, "GetWindowTheme")))
                             : nullptr;
    return get && get(control);
}
HWND WaitPercent(const char* shown) {  // the progress dialog once it shows the percentage
    return ui::WaitFor([&] { return ui::ControlText(Progress(), IDC_PROGRESS_PERCENT) == shown ? Progress() : nullptr; });
}
Names Listing(const std::string& dir) {
    Names names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

const char* const kOneArchive = "[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=a\nDir1=\nPercent1=100\n";
const char* const kMedium =
    "[Disk]\nNumber=2\n[Disk1]\nNumber=2\nFile1=core\nDir1=bin\nPercent1=10\nFile2=help\nDir2=doc\nPercent2=30\n"
    "[Disk2]\nNumber=2\nFile1=lib\nDir1=bin\nPercent1=60\nFile2=data\nDir2=doc\nPercent2=100\n"
    "[Remove]\nNumber=1\nDir1=packs\nFile1=p.pak\nDest1=out\n";

// Two disks with two archives each, into bin and doc, then a pack of
// records f<i> in "packs", unpacked into "out".
struct Medium : Scratch {
    const int records;
    const std::string pack = inst + "\\packs\\p.pak";
    std::string In(const std::string& rel) const { return inst + "\\" + rel; }
    explicit Medium(int n = 3) : records(n) {
        Ini(kMedium);
        for (const char* dir : {"bin", "doc", "packs", "out"}) MakeDir(In(dir));
        for (const char* name : {"core", "help", "lib", "data"}) Write(media + "\\" + name + ".zip", StoredZip(name, name));
        std::string s = PackHeader(n);
        for (int r = 0; r < n; ++r) s += PackRecord("f" + std::to_string(r), "f" + std::to_string(r) + " data");
        Write(pack, s);
    }
    int Archives() const {  // installed in their order, the copies deleted after unpacking
        int done = 0;
        for (std::string f : {"bin\\core", "doc\\help", "bin\\lib", "doc\\data"})
            done += Read(In(f)) == f.substr(4) && !Exists(In(f + ".zip"));
        return done;
    }
    int Records() const {  // written whole
        int done = 0;
        for (int r = 0; r < records; ++r) done += Read(In("out\\f" + std::to_string(r))) == "f" + std::to_string(r) + " data";
        return done;
    }
};

}  // namespace

// A damaged archive (a wrong CRC, or a local header that disagrees with the
// central one): the message names the archive and its disk, and the question
// follows by itself; No with the good disk in the drive installs it. The
// damaged entry leaves no file (nor the archive's copy), and a file of its
// name keeps its content; the temporary file that a run ended abruptly left
// in the folder goes once the archive is unpacked.
TEST(ArchivePhase, DamagedArchiveAsksAndRetriesFromTheMedium) {
    for (auto [localHeader, before] : {std::pair{false, ""}, {false, "good old"}, {true, "good old"}}) {
        Scratch m(kOneArchive);
        const std::string zip = m.media + "\\a.zip", entry = m.inst + "\\a.txt";
        std::string bytes = StoredZip("a.txt", "AAAA", !localHeader);
        if (localHeader) bytes[14] ^= 1;  // the local header's CRC differs from the central one
        Write(zip, bytes);
        if (*before) Write(entry, before);
        Write(m.inst + "\\~st0badf.tmp", "left by a run that was ended");
        EXPECT_EQ(ProgressDlg().Run([&] {
            const auto shown = ui::AnswerAll({{"The archive a.zip on disk 1 is damaged.", IDOK}});
            EXPECT_NE(shown[0].find("A good copy of disk 1 is needed"), std::string::npos) << shown[0];
            EXPECT_EQ(Listing(m.inst), *before ? Names({"a.txt", "~st0badf.tmp"}) : Names({"~st0badf.tmp"}));
            EXPECT_EQ(Read(entry), before);
            Write(zip, StoredZip("a.txt", "AAAA"));  // a good archive on the medium
            ui::AnswerAll({{"Exit installation?", IDNO}});
        }), IDOK);
        EXPECT_EQ(Read(entry), "AAAA");
        EXPECT_EQ(Listing(m.inst), Names({"a.txt"}));
    }
}

// Installing again over the files of a first installation, which left one
// read-only as its entry said, after the user made them read-only and
// hidden, or system: each file is replaced and gets its entry's attributes
// (a pack record gives none). No message comes.
TEST(ArchivePhase, InstallingAgainOverReadOnlyHiddenAndSystemFiles) {
    Scratch m(std::string(kOneArchive) + "[Remove]\nNumber=1\nDir1=\nFile1=p.pak\nDest1=\n");
    const std::string a = m.inst + "\\a.txt", p = m.inst + "\\p.txt";
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (DWORD userMade : {DWORD(0), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), DWORD(FILE_ATTRIBUTE_SYSTEM)}) {
        const std::string round = std::to_string(userMade);
        const uint32_t time = DosTime(2021, 6, 6, 13, 25, 58);
        Write(m.media + "\\a.zip", StoredZip("a.txt", "A" + round, false, time, FILE_ATTRIBUTE_READONLY));
        Write(m.inst + "\\p.pak", PackHeader(1) + PackRecord("p.txt", "P" + round));
        for (const std::string& file : {a, p}) SetFileAttributesA(file.c_str(), userMade ? userMade : FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(ProgressDlg().Run(), IDOK) << round;
        EXPECT_EQ(Read(a) + Read(p), "A" + round + "P" + round);
        EXPECT_EQ(GetFileAttributesA(a.c_str()) & kKept, DWORD(FILE_ATTRIBUTE_READONLY)) << round;
        EXPECT_EQ(GetFileAttributesA(p.c_str()) & kKept, 0u) << round;
    }
}

// An archive whose source and destination are the same file (apart from
// letter case) is unpacked in place and stays: it is the medium's own.
TEST(ArchivePhase, TheMediumAsItsOwnDestination) {
    Scratch m(kOneArchive);
    Set(g_setup.installDir, m.media);
    CharUpperA(g_setup.installDir + 3);
    Write(m.media + "\\a.zip", StoredZip("a.txt", "A"));
    EXPECT_EQ(ProgressDlg().Run(), IDOK);
    EXPECT_TRUE(Exists(m.media + "\\a.zip"));
    EXPECT_EQ(Read(m.media + "\\a.txt"), "A");
}

// Cancel in the pause after the first archive, in the wait after the last
// one, while records are written, or at the prompt for the second disk (not
// in the drive; the prompt names the source drive in upper case): No goes on
// (each record written once, the pack deleted; at the prompt the same
// archive is tried again, the prompt comes back, and OK with the disk in
// goes on); Yes ends with IDCANCEL, leaving what was written. The bar has
// no visual style, as Windows draws it for a program that asks for none.
TEST(ProgressDlg, CancelAtEachStageWithYesAndNo) {
    const struct {
        const char* at;  // the percentage shown, "disk": the disk prompt; nullptr: at once
        int phase, archivesLeft;  // archivesLeft: installed when Yes ends the dialog
        unsigned pauseMs, waitMs;
    } stages[] = {{"2%", 0, 1, 500, 10}, {"20%", 0, 4, 20, 1000}, {nullptr, 1, 0, 20, 10}, {"disk", 0, 2, 20, 10}};
    auto prompt = [] {
        return ui::WaitFor([] {
            HWND w = FindWindowA("#32770", "Replace Disk");
            return IsWindowVisible(w) ? w : nullptr;
        });
    };
    for (const auto& stage : stages)
        for (int answer : {IDNO, IDYES}) {
            Medium m(300);
            const bool disk = stage.at && std::string(stage.at) == "disk";
            if (disk) DeleteFileA((m.media + "\\lib.zip").c_str());
            g_setup.sourceDir[0] = static_cast<char>(tolower(g_setup.sourceDir[0]));
            EXPECT_EQ(ProgressDlg(stage.phase, stage.pauseMs, stage.waitMs).Run([&] {
                HWND w = disk ? prompt() : stage.at ? WaitPercent(stage.at) : ui::WaitForDialogWithControl(IDC_PROGRESS_BAR);
                if (disk) { EXPECT_EQ(ui::ControlText(w, IDC_DISK_DRIVE), std::string(1, static_cast<char>(toupper(m.media[0])))); }
                else { EXPECT_FALSE(Themed(GetDlgItem(w, IDC_PROGRESS_BAR))); }
                ui::Click(w, IDCANCEL);
                ui::AnswerAll({{"Exit installation?", answer}}, 8000);
                if (!disk || answer == IDYES) return;
                ui::WaitGone(w);
                HWND again = prompt();
                ASSERT_NE(again, nullptr);
                Write(m.media + "\\lib.zip", StoredZip("lib", "lib"));
                ui::Click(again, IDOK);
            }), answer == IDNO ? IDOK : IDCANCEL);
            const int records = m.Records();
            EXPECT_EQ(m.Archives(), answer == IDNO && stage.phase == 0 ? 4 : stage.archivesLeft) << stage.phase;
            EXPECT_EQ(records == 300, answer == IDNO) << records;
            EXPECT_TRUE(answer == IDNO || stage.phase || records == 0) << records;
            EXPECT_EQ(Exists(m.pack), answer == IDYES);
        }
}
