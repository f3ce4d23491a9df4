#include <gtest/gtest.h>

#include "common/TestFiles.h"
#include "engine/InstallSteps.h"
#include "setupkit/lib/PackWriter.h"

using namespace testfs;
using Result = engine::PackStepOutcome::Result;

namespace {

struct Pack : ::testing::Test {
    TempDir d;
    char readBuffer[pack::kStreamBufferSize], writeBuffer[pack::kStreamBufferSize];
    CPackReader reader;
    std::string dest = d / "dest";

    int Open(const std::string& bytes) {
        reader.Close();
        WriteBytes(d / "p.pak", bytes);
        EXPECT_TRUE(reader.Open((d / "p.pak").c_str(), readBuffer, sizeof readBuffer));
        fs::create_directories(dest);
        return reader.ReadHeader();
    }
    Result Step() { return engine::WritePackRecord(reader, dest.c_str(), writeBuffer, sizeof writeBuffer).result; }
};
}  // namespace

TEST_F(Pack, WriterRefusesWhatThePackPhaseCouldNotWriteSafely) {
    CPackWriter w(d / "p.pak");
    for (const std::string& bad : std::vector<std::string>{"", "/etc/x", "\\x", "C:\\x", "c:x", "..\\x", "a/../../x", "dir\\",
                                                            std::string(80, 'n'), std::string("a\0b", 3)})
        EXPECT_THROW(w.AddData(bad, "x", 1, 0), CPackException) << bad;
    w.AddData(std::string(79, 'n'), "x", 1, 0);
    EXPECT_EQ(w.Count(), 1);
}

TEST_F(Pack, CountIsSigned16BitAndAnUnfinishedPackIsRemoved) {
    {
        CPackWriter w(d / "p.pak");
        for (int i = 0; i < pack::kMaxRecords; ++i) w.AddData("f" + std::to_string(i), "", 0, 0);
        EXPECT_THROW(w.AddData("one-more", "", 0, 0), CPackException);
        w.Finish();
    }
    EXPECT_EQ(Open(ReadBytes(d / "p.pak")), 32767);
    EXPECT_EQ(Open(std::string("\x12\x34\xff\xff", 4)), -1);
    {
        CPackWriter unfinished(d / "q.pak");
        unfinished.AddData("a", "x", 1, 0);
    }
    EXPECT_FALSE(fs::exists(d.path / "q.pak"));
}

// A damaged second record is reported, never read short; the pack phase
// writes nothing for it.
TEST_F(Pack, DamagedPacksAreReportedNotReadShort) {
    const std::string first = PackHeader(2) + PackRecord("ok", "data");
    const struct {
        const char* what;
        std::string bytes;
        CPackReader::Status second;
    } cases[] = {
        {"ends inside a name", first + "partial", CPackReader::truncated},
        {"ends inside the length", first + PackRecord("x", "abc").substr(0, 4), CPackReader::truncated},
        {"data longer than the file", first + PackRecord("x", "abcdef").substr(0, 12), CPackReader::truncated},
        {"name without end", first + std::string(100, 'n'), CPackReader::nameTooLong},
        {"80 bytes without zero", first + std::string(80, 'n') + '\0', CPackReader::nameTooLong},
        {"clean end", PackHeader(1) + PackRecord("ok", "data"), CPackReader::end},
    };
    PackRecordInfo info;
    for (const auto& c : cases) {
        Open(c.bytes);
        ASSERT_EQ(reader.ReadRecordHeader(info), CPackReader::record) << c.what;
        ASSERT_TRUE(reader.SkipData(info.length));
        EXPECT_EQ(reader.ReadRecordHeader(info), c.second) << c.what;
        Open(PackHeader(1) + c.bytes.substr(4 + 3 + 8 + 4));  // the second record first
        EXPECT_EQ(Step(), c.second == CPackReader::end ? Result::packEnd : Result::damaged) << c.what;
    }
    EXPECT_TRUE(fs::is_empty(dest));
    // A file shorter than its header holds no records but is not clean.
    EXPECT_EQ(Open(std::string("\0\1", 2)), 0);
    EXPECT_EQ(reader.ReadRecordHeader(info), CPackReader::truncated);
}

TEST(Progress, ArchiveAndPackPhases) {
    using namespace engine;
    // Archive phase: a Percent key outside 0..100 counts as 100 or 0 (the window test waits for 2 % and 20 %).
    EXPECT_EQ(std::pair(ArchiveTargetPercent(1000000000), ArchiveTargetPercent(-5)), std::pair(20, 0));
    // Pack phase: three packs share 20..100 as 33/33/34.
    const PackSlice s1 = PackSliceFor(3, 1), s2 = PackSliceFor(3, 2);
    EXPECT_EQ(std::vector<int>({s1.base, s1.share, s2.base, s2.share, PackPercent(s1, 5, 10), PackPercent(s2, 10, 10)}),
              std::vector<int>({33, 33, 66, 34, 59, 100}));
    // A header count of 0, negative, or below the records: the bar stays in the pack's slice.
    for (int count : {0, -3, 2})
        for (int done = 0; done < 50; ++done) {
            const int percent = PackPercent(s1, done, count);
            EXPECT_TRUE(percent >= 20 + 33 * 80 / 100 && percent <= 20 + 66 * 80 / 100) << count << " " << done;
        }
    EXPECT_EQ(PackPercent(PackSliceFor(0, 0), 1, 0), 20);
}

// Records are written with their times. After a failed create or a refused name the same record
// is offered again (the user's "No" is the caller's). A record's path may have 259 characters;
// one more is refused, not cut.
TEST_F(Pack, StepWritesRecordsWithTheirTimesAndRetriesAfterAFailedCreate) {
    const std::string big = Random(5000, 3);
    Open(PackHeader(3) + PackRecord("sub\\a.bin", big, DosTime(2021, 6, 15, 13, 45, 58)) + PackRecord("zero", "") +
         PackRecord("..\\escape", "x"));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Step(), Result::createFailed);  // "sub" does not exist yet
    fs::create_directories(dest + "/sub");
    auto o = engine::WritePackRecord(reader, dest.c_str(), writeBuffer, sizeof writeBuffer);
    ASSERT_EQ(o.result, Result::written);
    EXPECT_EQ(std::string(o.path), dest + engine::kSeparator + "sub" + engine::kSeparator + "a.bin");
    EXPECT_EQ(ReadBytes(dest + "/sub/a.bin"), big);
    LocalTime t;
    ASSERT_TRUE(CFile::GetModifiedTime(dest + "/sub/a.bin", t));
    EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}), std::vector<int>({2021, 6, 15, 13, 45, 58}));
    ASSERT_EQ(Step(), Result::written);
    EXPECT_EQ(fs::file_size(dest + "/zero"), 0u);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Step(), Result::refusedName);
    EXPECT_FALSE(fs::exists(d.path / "escape"));
    const std::string name(79, 'n');
    const std::string pad = "/" + std::string(sizes::kRecordPath - 1 - 80 - d.path.string().size() - 1, 'd');
    for (const std::string& folder : {d.path.string() + pad, d.path.string() + pad + "e"}) {
        dest = folder;
        Open(PackHeader(1) + PackRecord(name, "x"));
        const bool fits = dest.size() + 1 + name.size() < sizes::kRecordPath;
        EXPECT_EQ(Step(), fits ? Result::written : Result::pathTooLong) << dest.size();
        EXPECT_EQ(fs::exists(dest + "/" + name), fits);
    }
}
