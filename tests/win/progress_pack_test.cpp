// The progress dialog's pack phase with the real templates: the bar and the
// packs' deletion, the message for each failed record, and cancel.
#include <gtest/gtest.h>

#include "config/SetupState.h"
#include "engine/EngineIds.h"
#include "win/support/EngineMedia.h"
#include "win/support/UiDriver.h"

using media::PackHeader;
using media::PackRecord;

namespace {

// [Remove] for packs\p1.pak, p2.pak, ... each unpacked into out1, out2, ...
std::string RemoveSection(int n) {
    std::string s = "[Remove]\nNumber=" + std::to_string(n) + "\n";
    for (int i = 1; i <= n; ++i) {
        const std::string k = std::to_string(i);
        s += "Dir" + k + "=packs\nFile" + k + "=p" + k + ".pak\nDest" + k + "=out" + k + "\n";
    }
    return s;
}

struct PackMedium : media::Media {
    explicit PackMedium(int packs) {
        WriteIni(RemoveSection(packs));
        media::MakeDir(Dst("packs"));
        for (int i = 1; i <= packs; ++i) media::MakeDir(Dst("out" + std::to_string(i)));
    }
    std::string Pack(int i) const { return Dst("packs\\p" + std::to_string(i) + ".pak"); }
    void WritePack(int i, const std::string& bytes) const { media::WriteFile(Pack(i), bytes); }
    std::string Out(int i, const std::string& name) const { return Dst("out" + std::to_string(i) + "\\" + name); }
};

std::string Records(const std::string& prefix, int n, int headerCount) {
    std::string s = PackHeader(headerCount);
    for (int r = 0; r < n; ++r) s += PackRecord(prefix + std::to_string(r), prefix + std::to_string(r) + " data");
    return s;
}

// A dialog that starts in the pack phase.
struct PackDlg : media::RecordingProgressDlg {
    PackDlg() { phase = 1; }
};

}  // namespace

// 20 -> 60 % over the first pack, 60 -> 100 % over the second; each pack is
// deleted once the next one opens (or the phase ends).
TEST(PackPhase, BarAndDeletionOverThePacks) {
    media::Watchdog wd(30000);
    PackMedium m(2);
    m.WritePack(1, Records("a", 10, 10));
    m.WritePack(2, Records("b", 10, 10));
    PackDlg dlg;
    bool firstGoneWhenSecondStarts = false;
    dlg.onPosition = [&](int p) {
        if (p == 64) firstGoneWhenSecondStarts = !media::Exists(m.Pack(1)) && media::Exists(m.Pack(2));
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    std::vector<int> want;
    for (int p = 24; p <= 100; p += 4) want.push_back(p);
    EXPECT_EQ(dlg.Positions(), want);
    EXPECT_TRUE(firstGoneWhenSecondStarts);
    EXPECT_FALSE(media::Exists(m.Pack(2)));
    EXPECT_EQ(media::ReadFile(m.Out(2, "b9")), "b9 data");
}

// "Error Move Out File.", then No: the same record is tried again, so once
// its folder exists it is written and the next record follows intact.
TEST(PackPhase, FailedRecordIsRetriedAfterNo) {
    media::Watchdog wd(30000);
    PackMedium m(1);
    m.WritePack(1, PackHeader(3) + PackRecord("first", "1") + PackRecord("sub\\second", "22") + PackRecord("third", "333"));
    PackDlg dlg;
    ui::Driver driver([&] {
        ui::AnswerAll({{"Error Move Out File.", IDOK}, {"Exit installation?", IDNO}, {"Error Move Out File.", IDOK}});
        media::MakeDir(m.Out(1, "sub"));
        ui::AnswerAll({{"Exit installation?", IDNO}});
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    driver.Finish();
    EXPECT_EQ(media::ReadFile(m.Out(1, "sub\\second")), "22");
    EXPECT_EQ(media::ReadFile(m.Out(1, "third")), "333");
    EXPECT_FALSE(media::Exists(m.Pack(1)));
}

// Each failure shows its message (naming the pack or the name), then the
// question: No tries the same record again, Yes ends the dialog. Nothing
// short and nothing outside is written, and the pack in use stays.
TEST(PackPhase, MessageForEachFailure) {
    media::Watchdog wd(60000);
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
        PackMedium m(1);
        if (!c.bytes.empty()) m.WritePack(1, c.bytes);
        PackDlg dlg;
        std::vector<std::string> shown;
        ui::Driver driver([&] {
            shown = ui::AnswerAll({{c.message, IDOK}, {"Exit installation?", IDNO}, {c.message, IDOK},
                                   {"Exit installation?", IDYES}});
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL) << c.message;
        driver.Finish();
        ASSERT_EQ(shown.size(), 4u);
        EXPECT_EQ(shown[0], shown[2]) << c.message;
        if (c.bytes.empty()) continue;
        EXPECT_EQ(media::ReadFile(m.Out(1, "ok")), "fine");
        EXPECT_FALSE(media::Exists(m.Out(1, "short")));
        EXPECT_FALSE(media::Exists(m.Dst("evil")) || media::Exists(m.root + "\\evil") || media::Exists("C:\\evil"));
        EXPECT_TRUE(media::Exists(m.Pack(1)));
    }
}

// Cancel while records are being written: No resumes with the next record
// (each written once), Yes ends with IDCANCEL and leaves the pack.
TEST(PackPhase, CancelYesAndNo) {
    media::Watchdog wd(60000);
    for (int answer : {IDNO, IDYES}) {
        PackMedium m(1);
        m.WritePack(1, Records("f", 300, 300));
        PackDlg dlg;
        ui::Driver driver([&] {
            HWND w = ui::WaitForDialogWithControl(IDC_PROGRESS_BAR);
            ui::Click(w, IDCANCEL);
            ui::AnswerAll({{"Exit installation?", answer}});
        });
        const INT_PTR r = dlg.DoModal();
        driver.Finish();
        int written = 0;
        for (int i = 0; i < 300; ++i) {
            const std::string text = media::ReadFile(m.Out(1, "f" + std::to_string(i)));
            if (text.empty()) continue;
            EXPECT_EQ(text, "f" + std::to_string(i) + " data");
            ++written;
        }
        EXPECT_EQ(r, answer == IDNO ? IDOK : IDCANCEL);
        EXPECT_EQ(written == 300, answer == IDNO) << written;
        EXPECT_EQ(media::Exists(m.Pack(1)), answer == IDYES);
    }
}

// Cancel during the wait after the last archive, then No: the pack phase
// is set up and runs to the end.
TEST(PackPhase, CancelDuringTheFinalWaitThenNo) {
    media::Watchdog wd(30000);
    PackMedium m(1);
    m.WriteIni("[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=a\nDir1=\nPercent1=100\n" + RemoveSection(1));
    media::MakeZip(m.Src("a.zip"), "a.txt", "A");
    m.WritePack(1, Records("x", 10, 10));
    media::RecordingProgressDlg dlg;
    ui::Driver driver([&] {
        HWND w = ui::WaitForDialogWithControl(IDC_PROGRESS_BAR);
        ui::WaitFor([&] { return ui::ControlText(w, IDC_PROGRESS_PERCENT) == "20%" ? w : nullptr; });
        ui::Click(w, IDCANCEL);  // queued while the thread waits
        EXPECT_NE(ui::Answer("Exit installation?", IDNO, 8000), "");
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    driver.Finish();
    EXPECT_EQ(media::ReadFile(m.Dst("a.txt")), "A");
    EXPECT_EQ(media::ReadFile(m.Out(1, "x9")), "x9 data");
    EXPECT_EQ(dlg.Positions().back(), 100);
}
