// The install engine run as the progress dialog runs it, against real files
// in a scratch folder: the order of disks, archives and packs, the bar, the
// disk prompt, retries after a failure, and what stays on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>

#include "common/TestFiles.h"
#include "config/SetupState.h"
#include "engine/InstallEngine.h"
#include "fw/File.h"

using namespace testfs;
using engine::FailureKind;
using engine::Pace;
using engine::StepResult;
using Kind = StepResult::Kind;

namespace {

// What the dialog would have done: each bar position shown, each pause and
// prompt, each message.
struct Transcript {
    std::vector<int> percents;
    std::vector<std::string> events;  // "pause", "wait", "disk 2", "failed <kind>", "records"
    std::vector<engine::Failure> failures;
    bool finished = false;
};

struct Engine : ::testing::Test {
    TempDir d;
    std::string media = d / "medium", inst = d / "inst";
    engine::CInstallEngine eng;

    void SetUp() override {
        ResetSetupState();
        fs::create_directories(media);
        fs::create_directories(inst);
        std::snprintf(g_setup.sourceDir, sizeof g_setup.sourceDir, "%s", media.c_str());
        std::snprintf(g_setup.installDir, sizeof g_setup.installDir, "%s", inst.c_str());
        std::snprintf(g_setup.configPath, sizeof g_setup.configPath, "%s", (inst + "/morlan.ini").c_str());
    }
    // The engine enters the folders it writes into; Windows keeps a current
    // folder from being removed.
    void TearDown() override {
        fs::current_path(fs::temp_directory_path());
        ResetSetupState();
    }

    void Ini(const std::string& text) { WriteBytes(inst + "/morlan.ini", text); }
    // A path below the installation folder, in the separators the engine builds.
    std::string In(std::string rel) const {
        std::replace(rel.begin(), rel.end(), '/', engine::kSeparator);
        return inst + engine::kSeparator + rel;
    }

    // Runs steps until the run ends, a failure or a disk request is not
    // answered by `onFailure` / `onDisk` (which return false to stop), or
    // `limit` steps were taken. Each answer of true is the user's No after
    // the message (a Retry), or OK at the disk prompt.
    Transcript Run(const std::function<bool(const engine::Failure&)>& onFailure = nullptr,
                   const std::function<bool(int)>& onDisk = nullptr, int limit = 100000) {
        Transcript t;
        for (int i = 0; i < limit; ++i) {
            const StepResult r = eng.Step();
            if (r.percent >= 0) t.percents.push_back(r.percent);
            if (r.kind == Kind::finished) {
                t.finished = true;
                return t;
            }
            if (r.kind == Kind::needDisk) {
                t.events.push_back("disk " + std::to_string(r.disk));
                if (!onDisk || !onDisk(r.disk)) return t;
                continue;
            }
            if (r.kind == Kind::failed) {
                t.events.push_back("failed");
                t.failures.push_back(r.failure);
                if (!onFailure || !onFailure(r.failure)) return t;
                eng.Retry();
                continue;
            }
            if (r.pace == Pace::archiveDone) t.events.push_back("pause");
            if (r.pace == Pace::lastArchive) t.events.push_back("wait");
        }
        return t;
    }
    std::vector<std::string> Listing(const std::string& dir) const {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir)) names.push_back(fs::relative(e.path(), dir).generic_string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

const char* const kTwoDisks =
    "[Disk]\nNumber=2\n"
    "[Disk1]\nNumber=2\nFile1=core\nDir1=bin\nPercent1=10\nFile2=help\nDir2=doc\nPercent2=30\n"
    "[Disk2]\nNumber=2\nFile1=lib\nDir1=bin\nPercent1=60\nFile2=data\nDir2=doc\nPercent2=100\n";

}  // namespace

// Two disks of two archives, then two packs of ten records: the bar moves
// by the Percent values (halfway while each archive unpacks), the pause
// follows every archive and the wait only the last one; the packs fill
// 20..60 and 60..100, each pack deleted once it is done. The installed tree
// is the package's, with no copy, pack or temporary file left.
TEST_F(Engine, DisksArchivesAndPacksInOrderWithTheirProgress) {
    Ini(std::string(kTwoDisks) + "[Remove]\nNumber=2\nDir1=packs\nFile1=a.pak\nDest1=out\nDir2=packs\nFile2=b.pak\nDest2=out\n");
    for (const char* dir : {"bin", "doc", "packs", "out"}) fs::create_directories(In(dir));
    for (const char* name : {"core", "help", "lib", "data"})
        WriteBytes(media + "/" + name + ".zip", StoredZip(std::string(name) + ".txt", name));
    for (const char* pack : {"a", "b"}) {
        std::string bytes = PackHeader(10);
        for (int r = 0; r < 10; ++r) bytes += PackRecord(std::string(pack) + std::to_string(r), "record");
        WriteBytes(In(std::string("packs/") + pack + ".pak"), bytes);
    }
    eng.Start();
    const Transcript t = Run();
    ASSERT_TRUE(t.finished);
    EXPECT_EQ(t.events, (std::vector<std::string>{"pause", "pause", "pause", "wait"}));
    const std::vector<int> archives(t.percents.begin(), t.percents.begin() + 8);
    EXPECT_EQ(archives, (std::vector<int>{1, 2, 4, 6, 9, 12, 16, 20}));
    const std::vector<int> packs(t.percents.begin() + 8, t.percents.end());
    EXPECT_EQ(packs.front(), 24);
    EXPECT_NE(std::find(packs.begin(), packs.end(), 60), packs.end());
    EXPECT_EQ(packs.back(), 100);
    EXPECT_TRUE(std::is_sorted(packs.begin(), packs.end()));
    std::vector<std::string> expected = {"bin", "bin/core.txt", "bin/lib.txt", "doc", "doc/data.txt", "doc/help.txt",
                                         "morlan.ini", "out", "packs"};
    for (const char* pack : {"a", "b"})
        for (int r = 0; r < 10; ++r) expected.push_back("out/" + std::string(pack) + std::to_string(r));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Listing(inst), expected);
    EXPECT_EQ(ReadBytes(In("doc/data.txt")), "data");
}

// The worked example of one disk: 5 % while archive 1 unpacks, 10 % after
// it, 15 % and 20 %. No pack: the run ends after the wait.
TEST_F(Engine, OneDiskBarAndNoPacks) {
    Ini("[Disk1]\nNumber=2\nFile1=a\nDir1=\nPercent1=50\nFile2=b\nDir2=\nPercent2=100\n");
    WriteBytes(media + "/a.zip", StoredZip("a.txt", "A"));
    WriteBytes(media + "/b.zip", StoredZip("b.txt", "B"));
    eng.Start();  // [Disk] Number missing: disk 1 all the same
    const Transcript t = Run();
    EXPECT_TRUE(t.finished);
    EXPECT_EQ(t.percents, (std::vector<int>{5, 10, 15, 20}));
    EXPECT_EQ(t.events, (std::vector<std::string>{"pause", "wait"}));
}

// The second disk is not in the drive: the copy of its first archive asks
// for disk 2 as long as the file is missing; the run goes on once it is
// there. A retry (Cancel at the prompt, then No) starts the same archive
// again and asks again.
TEST_F(Engine, MissingDiskIsAskedForUntilItIsThere) {
    Ini(kTwoDisks);
    for (const char* dir : {"bin", "doc"}) fs::create_directories(In(dir));
    for (const char* name : {"core", "help", "data"})
        WriteBytes(media + "/" + name + ".zip", StoredZip(std::string(name) + ".txt", name));
    eng.Start();
    int asked = 0;
    Transcript t = Run(nullptr, [&](int disk) {
        EXPECT_EQ(disk, 2);
        return ++asked < 3;
    });
    EXPECT_EQ(asked, 3);
    EXPECT_FALSE(fs::exists(In("bin/lib.zip")));
    eng.Retry();
    t = Run(nullptr, [&](int) {
        WriteBytes(media + "/lib.zip", StoredZip("lib.txt", "lib"));
        return true;
    });
    EXPECT_TRUE(t.finished);
    EXPECT_EQ(t.events.front(), "disk 2");
    EXPECT_EQ(ReadBytes(In("bin/lib.txt")), "lib");
}

// A retry between steps (Cancel in a pause, or during the pack phase, then
// No) does nothing again: every archive is unpacked once and every record
// written once.
TEST_F(Engine, RetryBetweenStepsGoesOn) {
    Ini("[Disk1]\nNumber=2\nFile1=a\nDir1=\nPercent1=50\nFile2=b\nDir2=\nPercent2=100\n"
        "[Remove]\nNumber=1\nDir1=\nFile1=p.pak\nDest1=\n");
    WriteBytes(media + "/a.zip", StoredZip("a.txt", "A"));
    WriteBytes(media + "/b.zip", StoredZip("b.txt", "B"));
    std::string bytes = PackHeader(5);
    for (int r = 0; r < 5; ++r) bytes += PackRecord("r" + std::to_string(r), std::to_string(r));
    WriteBytes(In("p.pak"), bytes);
    eng.Start();
    int steps = 0;
    for (StepResult r = eng.Step(); r.kind != Kind::finished; r = eng.Step()) {
        ASSERT_EQ(r.kind, Kind::progress);
        if (r.pace != Pace::now) eng.Retry();
        ASSERT_LT(++steps, 20);
    }
    EXPECT_EQ(steps, 4 + 1 + 5);  // two archives in two steps each, the set-up, the records
    for (int r = 0; r < 5; ++r) EXPECT_EQ(ReadBytes(In("r" + std::to_string(r))), std::to_string(r));
    EXPECT_FALSE(fs::exists(In("p.pak")));
}

// A damaged archive (a wrong CRC) on disk 1: the message names the archive
// and its disk; the installed file keeps its content and nothing else stays
// (no copy, no temporary file). With the good disk in the drive, the retry
// copies the archive afresh and installs it.
TEST_F(Engine, DamagedArchiveKeepsTheInstalledFileAndRetriesFromTheMedium) {
    Ini("[Disk1]\nNumber=1\nFile1=a\nDir1=bin\nPercent1=100\n");
    fs::create_directories(In("bin"));
    WriteBytes(In("bin/a.txt"), "installed before");
    WriteBytes(In("bin/~st0badf.tmp"), "left by a run that was ended");
    WriteBytes(media + "/a.zip", StoredZip("a.txt", "new content", true));
    eng.Start();
    int tries = 0;
    const Transcript t = Run([&](const engine::Failure& f) {
        EXPECT_EQ(f.kind, FailureKind::damagedArchive);
        EXPECT_EQ(f.cause, ZipCause::checksumMismatch);
        EXPECT_EQ(engine::FailureMessage(f).substr(0, 37), "The archive a.zip on disk 1 is damage");
        EXPECT_EQ(ReadBytes(In("bin/a.txt")), "installed before");
        EXPECT_EQ(Listing(In("bin")), (std::vector<std::string>{"a.txt", "~st0badf.tmp"}));
        if (++tries == 2) WriteBytes(media + "/a.zip", StoredZip("a.txt", "new content"));
        return true;
    });
    EXPECT_TRUE(t.finished);
    EXPECT_EQ(tries, 2);
    EXPECT_EQ(ReadBytes(In("bin/a.txt")), "new content");
    EXPECT_EQ(Listing(In("bin")), (std::vector<std::string>{"a.txt"}));  // what the earlier run left is gone too
}

// The failures of the pack phase, each tried again after No until mended:
// a pack that is not there (opened again once it is), a damaged record, a
// refused name, a record whose folder is missing. What was written before
// stays; nothing short or outside is written.
TEST_F(Engine, PackFailuresAreTriedAgainUntilMended) {
    Ini("[Remove]\nNumber=1\nDir1=packs\nFile1=p.pak\nDest1=out\n");
    fs::create_directories(In("packs"));
    fs::create_directories(In("out"));
    const std::string good = PackHeader(3) + PackRecord("ok", "fine") + PackRecord("sub\\b", "22") + PackRecord("c", "333");
    const struct {
        std::string bytes;  // empty: no pack file yet
        FailureKind kind;
    } cases[] = {
        {"", FailureKind::packMissing},
        {PackHeader(2) + PackRecord("ok", "fine") + PackRecord("short", "0123456789").substr(0, 12), FailureKind::damagedPack},
        {PackHeader(2) + PackRecord("ok", "fine") + PackRecord("..\\evil", "E"), FailureKind::refusedStoredName},
        {good, FailureKind::recordCreateFailed},
    };
    for (const auto& c : cases) {
        engine::CInstallEngine fresh;
        fresh.StartAtPacks();
        fs::current_path(d.path);
        fs::remove_all(In("out"));
        fs::create_directories(In("out"));
        if (c.bytes.empty()) fs::remove(In("packs/p.pak"));
        else WriteBytes(In("packs/p.pak"), c.bytes);
        std::vector<FailureKind> seen;
        StepResult r;
        for (int i = 0; i < 50 && r.kind != Kind::finished; ++i) {
            r = fresh.Step();
            if (r.kind != Kind::failed) continue;
            seen.push_back(r.failure.kind);
            if (seen.size() == 2) {  // the same failure twice, then the cause removed
                WriteBytes(In("packs/p.pak"), good);
                fs::create_directories(In("out/sub"));
            }
            if (seen.size() == 2 && c.kind != FailureKind::packMissing && c.kind != FailureKind::recordCreateFailed) break;
            fresh.Retry();
        }
        ASSERT_GE(seen.size(), 2u) << static_cast<int>(c.kind);
        EXPECT_EQ(seen[0], c.kind);
        EXPECT_EQ(seen[1], c.kind);
        EXPECT_EQ(ReadBytes(In("out/ok")), "fine");
        EXPECT_FALSE(fs::exists(In("out/short")) || fs::exists(In("evil")) || fs::exists(d / "evil"));
        const bool mended = c.kind == FailureKind::packMissing || c.kind == FailureKind::recordCreateFailed;
        EXPECT_EQ(r.kind == Kind::finished, mended);
        if (mended) {
            EXPECT_EQ(ReadBytes(In("out/sub/b")) + ReadBytes(In("out/c")), "22333");
        }
        for (const auto& e : fs::recursive_directory_iterator(In("out")))
            EXPECT_FALSE(CFile::IsTemporaryName(e.path().filename().string())) << e.path();
    }
}

// Names and paths of morlan.ini that the engine refuses, named in the
// message; [Disk1] without Number is reported until it is mended.
TEST_F(Engine, RefusedConfigurationIsNamedAndReportedUntilMended) {
    const struct {
        const char* ini;
        FailureKind kind;
        const char* message;
    } cases[] = {
        {"[Disk1]\nFile1=a\n", FailureKind::archiveCountMissing, "Error File of morlan.ini"},
        {"[Disk1]\nNumber=1\nFile1=a\nDir1=..\\..\n", FailureKind::refusedConfigName,
         "Invalid name \"..\\..\" in [Disk1] of morlan.ini."},
        {"[Disk1]\nNumber=1\nFile1=nul\nDir1=\n", FailureKind::refusedConfigName, "Invalid name \"nul\" in [Disk1]"},
    };
    for (const auto& c : cases) {
        Ini(c.ini);
        engine::CInstallEngine fresh;
        fresh.Start();
        for (int i = 0; i < 2; ++i) {
            const StepResult r = fresh.Step();
            ASSERT_EQ(r.kind, Kind::failed) << c.ini;
            EXPECT_EQ(r.failure.kind, c.kind);
            EXPECT_EQ(engine::FailureMessage(r.failure).rfind(c.message, 0), 0u) << engine::FailureMessage(r.failure);
            fresh.Retry();
        }
    }
    std::string deep = inst;
    while (deep.size() < 185) fs::create_directories(deep += "/dddddddddd");
    std::snprintf(g_setup.installDir, sizeof g_setup.installDir, "%s", deep.c_str());
    Ini("[Disk1]\nNumber=1\nFile1=longarchivename\nDir1=\nPercent1=100\n");
    engine::CInstallEngine fresh;
    fresh.Start();
    const StepResult r = fresh.Step();
    EXPECT_EQ(engine::FailureMessage(r.failure),
              "Path too long for archive \"longarchivename\" of [Disk1] in morlan.ini.");
}

// Failures of the file system say what happened to which file and what to
// do, and how to try again.
TEST(FailureMessage, NamesTheFileTheCauseAndTheWayOn) {
    engine::Failure f;
    f.kind = FailureKind::outputFailed;
    f.file = "D:\\Prog\\data\\big.bin";
    f.bytes = 3 * 1024 * 1024 + 1;
    const std::string tail = "then answer No to the next question to try again.";
    const struct {
        FileFault fault;
        const char* begins;
    } cases[] = {
        {FileFault::diskFull, "There is not enough space on drive D: for the file D:\\Prog\\data\\big.bin (it needs 3.1 MB)."},
        {FileFault::inUse, "The file D:\\Prog\\data\\big.bin is in use by another program.\n\nClose that program, then"},
        {FileFault::accessDenied, "The file D:\\Prog\\data\\big.bin cannot be written: access is denied."},
        {FileFault::notFound, "The folder D:\\Prog\\data does not exist, so the file D:\\Prog\\data\\big.bin cannot be"},
        {FileFault::other, "An error occurred while writing the file D:\\Prog\\data\\big.bin."},
    };
    for (const auto& c : cases) {
        f.fault = c.fault;
        const std::string text = engine::FailureMessage(f);
        EXPECT_EQ(text.rfind(c.begins, 0), 0u) << text;
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    }
    f.kind = FailureKind::copyFailed;
    f.fault = FileFault::diskFull;
    f.file = "d:\\Prog\\bin\\core.zip";
    f.archive = "core.zip";
    f.number = 1;
    f.bytes = 1500;
    EXPECT_EQ(engine::FailureMessage(f).rfind("There is not enough space on drive D: to copy the archive core.zip of "
                                              "disk 1 to d:\\Prog\\bin\\core.zip (it needs 2 KB).", 0), 0u);
    f.kind = FailureKind::packUnpackFailed;  // the pack the archive brings is never named
    EXPECT_EQ(engine::FailureMessage(f).rfind("There is not enough space on drive D: to unpack the archive core.zip of "
                                              "disk 1 (it needs 2 KB).", 0), 0u);
#ifdef _WIN32  // the NT family's codes and the Windows 95 family's "disk full"
    for (auto [code, fault] : {std::pair{112, FileFault::diskFull}, {39, FileFault::diskFull}, {32, FileFault::inUse},
                               {5, FileFault::accessDenied}, {3, FileFault::notFound}, {21, FileFault::notReady}})
#else
    for (auto [code, fault] : {std::pair{ENOSPC, FileFault::diskFull}, {EACCES, FileFault::accessDenied},
                               {EROFS, FileFault::accessDenied}, {ENOENT, FileFault::notFound}})
#endif
        EXPECT_EQ(FileFaultOf(code), fault) << code;
}
