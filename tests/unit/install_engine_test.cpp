// The install engine run as the progress dialog runs it, against real files
// in a scratch folder: the order of disks, archives and packs, the bar,
// retries, refusals and the failure messages, and what stays on disk (the
// disk prompt and damaged archives are the window tests', tests/win).
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

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
    std::vector<std::string> Listing(const std::string& dir) const {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir)) names.push_back(fs::relative(e.path(), dir).generic_string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace

// Two disks of two archives, then two packs of ten records: the bar moves by
// the Percent values (halfway while each archive unpacks), the pause follows
// every archive and the wait only the last one; the packs fill 20..60 and
// 60..100, each deleted once done. Cancel and No between steps (a retry there)
// does nothing again: three steps an archive (its names, shown before it is
// copied, the copy, the unpacking), one a pack opened, one a record.
// The installed tree is the package's, with no copy, pack or temporary file left.
TEST_F(Engine, DisksArchivesAndPacksInOrderWithTheirProgress) {
    Ini("[Disk]\nNumber=2\n"
        "[Disk1]\nNumber=2\nFile1=core\nDir1=bin\nPercent1=10\nFile2=help\nDir2=doc\nPercent2=30\n"
        "[Disk2]\nNumber=2\nFile1=lib\nDir1=bin\nPercent1=60\nFile2=data\nDir2=doc\nPercent2=100\n"
        "[Remove]\nNumber=2\nDir1=packs\nFile1=a.pak\nDest1=out\nDir2=packs\nFile2=b.pak\nDest2=out\n");
    for (const char* dir : {"bin", "doc", "packs", "out"}) fs::create_directories(In(dir));
    for (const char* name : {"core", "help", "lib", "data"})
        WriteBytes(media + "/" + name + ".zip", StoredZip(std::string(name) + ".txt", name));
    for (const char* pack : {"a", "b"}) {
        std::string bytes = PackHeader(10);
        for (int r = 0; r < 10; ++r) bytes += PackRecord(std::string(pack) + std::to_string(r), "record");
        WriteBytes(In(std::string("packs/") + pack + ".pak"), bytes);
    }
    eng.Start();
    std::vector<int> percents;
    std::vector<std::string> events;
    int steps = 0;
    for (StepResult r = eng.Step(); r.kind != Kind::finished; r = eng.Step()) {
        ASSERT_EQ(r.kind, Kind::progress) << engine::FailureMessage(r.failure);
        ASSERT_LT(++steps, 100);
        if (r.percent >= 0) percents.push_back(r.percent);
        if (r.dest && eng.GetPhase() == engine::Phase::archives) {
            EXPECT_FALSE(fs::exists(*r.dest)) << "named after its copy: " << *r.dest;
        }
        if (r.pace == Pace::archiveDone) events.push_back("pause");
        if (r.pace == Pace::lastArchive) events.push_back("wait");
        if (r.pace != Pace::now) eng.Retry();
    }
    EXPECT_EQ(steps, 4 * 3 + 2 * (1 + 10));
    EXPECT_EQ(events, (std::vector<std::string>{"pause", "pause", "pause", "wait"}));
    const std::vector<int> archives(percents.begin(), percents.begin() + 8);
    EXPECT_EQ(archives, (std::vector<int>{1, 2, 4, 6, 9, 12, 16, 20}));
    const std::vector<int> packs(percents.begin() + 8, percents.end());
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

// The failures of the pack phase, each reported again after No: a pack
// that is not there and a record whose folder is missing, which install
// once mended (the pack opened again); a damaged record and a refused name.
// What was written before stays; nothing short, outside or temporary is written.
TEST_F(Engine, PackFailuresAreReportedAgainUntilMended) {
    Ini("[Remove]\nNumber=1\nDir1=packs\nFile1=p.pak\nDest1=out\n");
    fs::create_directories(In("packs"));
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
        SCOPED_TRACE(static_cast<int>(c.kind));
        engine::CInstallEngine fresh;
        fresh.StartAtPacks();
        fs::current_path(d.path);
        fs::remove_all(In("out"));
        fs::create_directories(In("out"));
        if (c.bytes.empty()) fs::remove(In("packs/p.pak"));
        else WriteBytes(In("packs/p.pak"), c.bytes);
        auto untilNotProgress = [&] {
            StepResult r = fresh.Step();
            for (int i = 0; i < 10 && r.kind == Kind::progress; ++i) r = fresh.Step();
            return r;
        };
        for (int i = 0; i < 2; ++i) {
            if (i) fresh.Retry();
            const StepResult r = untilNotProgress();
            ASSERT_EQ(r.kind, Kind::failed);
            EXPECT_EQ(r.failure.kind, c.kind);
        }
        if (c.kind == FailureKind::packMissing || c.kind == FailureKind::recordCreateFailed) {
            if (c.bytes.empty()) WriteBytes(In("packs/p.pak"), good);
            fs::create_directories(In("out/sub"));
            fresh.Retry();
            EXPECT_EQ(untilNotProgress().kind, Kind::finished);
            EXPECT_EQ(ReadBytes(In("out/sub/b")) + ReadBytes(In("out/c")), "22333");
        }
        EXPECT_EQ(ReadBytes(In("out/ok")), "fine");
        EXPECT_FALSE(fs::exists(In("out/short")) || fs::exists(In("evil")) || fs::exists(d / "evil"));
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
