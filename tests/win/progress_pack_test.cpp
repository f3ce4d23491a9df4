// The progress dialog's pack phase with the real templates: progress over
// several packs, the packs' deletion, the record edge cases, the messages
// and the cancel question.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/SetupState.h"
#include "engine/EngineIds.h"
#include "win/support/EngineMedia.h"
#include "win/support/UiDriver.h"

using media::Media;
using media::RecordingProgressDlg;

namespace {

// [Remove] for packs p1.pak, p2.pak, ... in folder "packs", each unpacked
// into its own folder out1, out2, ...
std::string RemoveSection(int n) {
    std::string s = "[Remove]\nNumber=" + std::to_string(n) + "\n";
    for (int i = 1; i <= n; ++i) {
        const std::string k = std::to_string(i);
        s += "Dir" + k + "=packs\nFile" + k + "=p" + k + ".pak\nDest" + k + "=out" + k + "\n";
    }
    return s;
}

struct PackMedium : Media {
    explicit PackMedium(int packs) {
        WriteIni(RemoveSection(packs));
        media::MakeDir(Dst("packs"));
        for (int i = 1; i <= packs; ++i) media::MakeDir(Dst("out" + std::to_string(i)));
    }
    std::string Pack(int i) const { return Dst("packs\\p" + std::to_string(i) + ".pak"); }
    void WritePack(int i, const std::string& bytes) const { media::WriteFile(Pack(i), bytes); }
    std::string Out(int i, const std::string& name) const { return Dst("out" + std::to_string(i) + "\\" + name); }
};

std::string TenRecords(const std::string& prefix) {
    std::string s = media::PackHeader(10);
    for (int r = 0; r < 10; ++r) s += media::PackRecord(prefix + std::to_string(r), prefix + " data " + std::to_string(r));
    return s;
}

// Starts the dialog straight in the pack phase.
void StartInPackPhase(RecordingProgressDlg& dlg) { dlg.phase = 1; }

}  // namespace

// Two packs of 10 records: 20 → 60 % over the first, 60 → 100 % over the
// second; the first pack is deleted when the second opens, the second when
// the phase ends.
TEST(PackPhase, TwoPacksOfTenRecords) {
    media::Watchdog wd(30000);
    PackMedium m(2);
    m.WritePack(1, TenRecords("a"));
    m.WritePack(2, TenRecords("b"));
    RecordingProgressDlg dlg;
    StartInPackPhase(dlg);
    bool firstGoneWhenSecondStarts = false, secondThere = false;
    dlg.onPosition = [&](int p) {
        if (p == 64) {
            firstGoneWhenSecondStarts = !media::Exists(m.Pack(1));
            secondThere = media::Exists(m.Pack(2));
        }
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    std::vector<int> want;
    for (int p = 24; p <= 100; p += 4) want.push_back(p);
    EXPECT_EQ(dlg.Positions(), want);
    EXPECT_TRUE(firstGoneWhenSecondStarts);
    EXPECT_TRUE(secondThere);
    EXPECT_FALSE(media::Exists(m.Pack(2)));
    for (int r = 0; r < 10; ++r) {
        EXPECT_EQ(media::ReadFile(m.Out(1, "a" + std::to_string(r))), "a data " + std::to_string(r));
        EXPECT_EQ(media::ReadFile(m.Out(2, "b" + std::to_string(r))), "b data " + std::to_string(r));
    }
}

// Three packs share 33, 33 and 34 %: after record 5 of 10 of the second
// the bar shows 59 %, and the last record reaches 100 %.
TEST(PackPhase, ThreePacksWorkedExample) {
    media::Watchdog wd(30000);
    PackMedium m(3);
    for (int i = 1; i <= 3; ++i) m.WritePack(i, TenRecords("r"));
    RecordingProgressDlg dlg;
    StartInPackPhase(dlg);
    int fifthOfSecond = -1, records = 0;
    dlg.onPosition = [&](int p) {
        if (++records == 15) fifthOfSecond = p;
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(fifthOfSecond, 59);
    const std::vector<int> pos = dlg.Positions();
    EXPECT_TRUE(std::is_sorted(pos.begin(), pos.end()));
    EXPECT_EQ(pos.back(), 100);
}

// An empty pack (header only) is closed and deleted and the next one
// opened; a zero-length record gives an empty file with the record's time;
// a 79-byte name is written whole; DOS seconds 29 give hh:mm:58; a header
// count of 0 still has all its records written, the bar within 20..100.
TEST(PackPhase, RecordEdgeCases) {
    media::Watchdog wd(30000);
    PackMedium m(3);
    m.WritePack(1, media::PackHeader(0));
    const std::string name79(79, 'n');
    const uint32_t t = (uint32_t((2020 - 1980) << 9 | 2 << 5 | 29) << 16) | (10 << 11 | 20 << 5 | 29);
    m.WritePack(2, media::PackHeader(3) + media::PackRecord("zero", "", t) + media::PackRecord(name79, "long", t) +
                       media::PackRecord("sec", std::string(3000, 's'), t));
    m.WritePack(3, media::PackHeader(0) + media::PackRecord("c1", "one") + media::PackRecord("c2", "two"));
    RecordingProgressDlg dlg;
    StartInPackPhase(dlg);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    for (int i = 1; i <= 3; ++i) EXPECT_FALSE(media::Exists(m.Pack(i))) << i;
    EXPECT_TRUE(media::Exists(m.Out(2, "zero")));
    EXPECT_EQ(media::ReadFile(m.Out(2, "zero")), "");
    EXPECT_EQ(media::ReadFile(m.Out(2, name79)), "long");
    EXPECT_EQ(media::ReadFile(m.Out(2, "sec")), std::string(3000, 's'));
    SYSTEMTIME st;
    ASSERT_TRUE(media::LocalWriteTime(m.Out(2, "sec"), st));
    EXPECT_EQ(st.wYear, 2020);
    EXPECT_EQ(st.wMonth, 2);
    EXPECT_EQ(st.wDay, 29);
    EXPECT_EQ(st.wHour, 10);
    EXPECT_EQ(st.wMinute, 20);
    EXPECT_EQ(st.wSecond, 58);
    ASSERT_TRUE(media::LocalWriteTime(m.Out(2, "zero"), st));
    EXPECT_EQ(st.wSecond, 58);
    EXPECT_EQ(media::ReadFile(m.Out(3, "c1")), "one");
    EXPECT_EQ(media::ReadFile(m.Out(3, "c2")), "two");
    for (int p : dlg.Positions()) {
        EXPECT_GE(p, 20);
        EXPECT_LE(p, 100);
    }
}

TEST(PackPhase, NoPacksEndsAtOnce) {
    media::Watchdog wd(30000);
    Media m;
    m.WriteIni("[Remove]\nNumber=0\n");
    RecordingProgressDlg dlg;
    StartInPackPhase(dlg);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(dlg.samples.empty());
}

// "Error Move Out File.", then No: the same record is tried again (the
// reading stays in step with the pack), so once its folder exists it is
// written and the next record follows intact.
TEST(PackPhase, ErrorMoveOutFileRetriesTheSameRecord) {
    media::Watchdog wd(30000);
    PackMedium m(1);
    m.WritePack(1, media::PackHeader(3) + media::PackRecord("first", "1") + media::PackRecord("sub\\second", "22") +
                       media::PackRecord("third", "333"));
    RecordingProgressDlg dlg;
    StartInPackPhase(dlg);
    ui::Driver driver([&] {
        EXPECT_EQ(ui::Answer("Error Move Out File.", IDOK), "Error Move Out File.");
        EXPECT_NE(ui::Answer("Exit installation?", IDNO), "");
        EXPECT_EQ(ui::Answer("Error Move Out File.", IDOK), "Error Move Out File.");
        media::MakeDir(m.Out(1, "sub"));
        EXPECT_NE(ui::Answer("Exit installation?", IDNO), "");
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    driver.Finish();
    EXPECT_EQ(media::ReadFile(m.Out(1, "first")), "1");
    EXPECT_EQ(media::ReadFile(m.Out(1, "sub\\second")), "22");
    EXPECT_EQ(media::ReadFile(m.Out(1, "third")), "333");
    EXPECT_FALSE(media::Exists(m.Pack(1)));
}

// Damaged packs and refused names: a message naming the pack (or the
// name), then the question; nothing short and nothing outside is written.
TEST(PackPhase, DamagedPacksAndRefusedNames) {
    media::Watchdog wd(30000);
    struct Case {
        std::string bytes, expect, notWritten;
    } cases[] = {
        {media::PackHeader(2) + media::PackRecord("ok", "fine") + media::PackRecord("short", "0123456789").substr(0, 12),
         "p1.pak", "short"},
        {media::PackHeader(2) + media::PackRecord("ok", "fine") + std::string(90, 'n'), "p1.pak", ""},
        {media::PackHeader(2) + media::PackRecord("ok", "fine") + media::PackRecord("..\\evil", "E"), "..\\evil", ""},
        {media::PackHeader(2) + media::PackRecord("ok", "fine") + media::PackRecord("C:\\evil", "E"), "C:\\evil", ""},
    };
    for (const Case& c : cases) {
        PackMedium m(1);
        m.WritePack(1, c.bytes);
        RecordingProgressDlg dlg;
        StartInPackPhase(dlg);
        std::string first, second;
        ui::Driver driver([&] {
            first = ui::Answer(c.expect.c_str(), IDOK);
            EXPECT_NE(ui::Answer("Exit installation?", IDNO), "");
            second = ui::Answer(c.expect.c_str(), IDOK);  // the same record again
            EXPECT_NE(ui::Answer("Exit installation?", IDYES), "");
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        driver.Finish();
        EXPECT_NE(first, "") << c.expect;
        EXPECT_EQ(first, second);
        EXPECT_EQ(media::ReadFile(m.Out(1, "ok")), "fine");
        if (!c.notWritten.empty()) {
            EXPECT_FALSE(media::Exists(m.Out(1, c.notWritten)));
        }
        EXPECT_FALSE(media::Exists(m.Dst("evil")));
        EXPECT_FALSE(media::Exists(m.root + "\\evil"));
        EXPECT_TRUE(media::Exists(m.Pack(1)));  // a pack in use stays on disk
    }
}

TEST(PackPhase, MissingPackErrorFileOpen) {
    media::Watchdog wd(30000);
    PackMedium m(1);
    RecordingProgressDlg dlg;
    StartInPackPhase(dlg);
    ui::Driver driver([&] {
        EXPECT_EQ(ui::Answer("Error File Open.", IDOK), "Error File Open.");
        EXPECT_NE(ui::Answer("Exit installation?", IDNO), "");
        EXPECT_EQ(ui::Answer("Error File Open.", IDOK), "Error File Open.");
        EXPECT_NE(ui::Answer("Exit installation?", IDYES), "");
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    driver.Finish();
}

// Cancel during the pack phase with many small records: the question comes
// while records are being written; No resumes with the next record (every
// record written once), Yes ends with IDCANCEL and leaves the pack.
TEST(PackPhase, CancelYesAndNo) {
    media::Watchdog wd(60000);
    for (int answer : {IDNO, IDYES}) {
        PackMedium m(1);
        std::string bytes = media::PackHeader(300);
        for (int r = 0; r < 300; ++r) bytes += media::PackRecord("f" + std::to_string(r), std::to_string(r));
        m.WritePack(1, bytes);
        RecordingProgressDlg dlg;
        StartInPackPhase(dlg);
        ui::Driver driver([&] {
            HWND w = ui::WaitForDialogWithControl(IDC_PROGRESS_BAR);
            ASSERT_NE(w, nullptr);
            ui::Click(w, IDCANCEL);
            EXPECT_NE(ui::Answer("Exit installation?", answer), "");
        });
        const INT_PTR r = dlg.DoModal();
        driver.Finish();
        int written = 0;
        for (int i = 0; i < 300; ++i) {
            const std::string p = m.Out(1, "f" + std::to_string(i));
            if (media::Exists(p)) {
                ++written;
                EXPECT_EQ(media::ReadFile(p), std::to_string(i));
            }
        }
        if (answer == IDNO) {
            EXPECT_EQ(r, IDOK);
            EXPECT_EQ(written, 300);
            EXPECT_EQ(dlg.Positions().back(), 100);
        } else {
            EXPECT_EQ(r, IDCANCEL);
            EXPECT_LT(written, 300);
            EXPECT_TRUE(media::Exists(m.Pack(1)));
        }
    }
}

// Cancel pressed during the 2000 ms wait after the last archive, then No:
// the pack phase is set up and runs normally.
TEST(PackPhase, CancelDuringTheFinalWaitThenNo) {
    media::Watchdog wd(30000);
    PackMedium m(1);
    m.WriteIni("[Disk]\nNumber=1\n[Disk1]\nNumber=1\nFile1=a\nDir1=\nPercent1=100\n" + RemoveSection(1));
    media::MakeZip(m.Src("a.zip"), "a.txt", "A");
    m.WritePack(1, TenRecords("x"));
    RecordingProgressDlg dlg;
    ui::Driver driver([&] {
        HWND w = ui::WaitForDialogWithControl(IDC_PROGRESS_BAR);
        ASSERT_NE(w, nullptr);
        ASSERT_NE(ui::WaitFor([&] { return ui::ControlText(w, IDC_PROGRESS_PERCENT) == "20%" ? w : nullptr; }), nullptr);
        ui::Click(w, IDCANCEL);  // queued while the thread waits
        EXPECT_NE(ui::Answer("Exit installation?", IDNO, 8000), "");
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    driver.Finish();
    EXPECT_EQ(media::ReadFile(m.Dst("a.txt")), "A");
    EXPECT_EQ(media::ReadFile(m.Out(1, "x9")), "x data 9");
    EXPECT_EQ(dlg.Positions().back(), 100);
}
