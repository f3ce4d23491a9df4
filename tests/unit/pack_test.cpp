// The pack file format, the pack record step and the progress arithmetic,
// without a window.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/TestFiles.h"
#include "engine/InstallSteps.h"
#include "setupkit/lib/PackWriter.h"

using namespace testfs;

namespace {
constexpr uint32_t kTime = DosTime(2021, 6, 15, 13, 45, 58);
}

TEST(PackFormat, WriterAndReaderAgreeOnEveryField) {
    TempDir d;
    const std::string name79(79, 'n');
    const std::string big = Pattern(3000, 1);  // crosses the 1024-byte blocks
    {
        PackWriter w(d / "p.pak");
        w.AddData("a.txt", "hello", 5, kTime);
        w.AddData("empty", "", 0, kTime + 1);
        w.AddData(name79, big.data(), static_cast<uint32_t>(big.size()), kTime);
        w.AddData("sub/x.bin", "\0\1\2", 3, 0);  // '/' is stored as '\'
        w.Finish();
    }
    PackReader r;
    char buf[pack::kStreamBufferSize];
    ASSERT_TRUE(r.Open((d / "p.pak").c_str(), buf, sizeof buf));
    EXPECT_EQ(r.ReadHeader(), 4);
    struct Want {
        std::string name, data;
        uint32_t time;
    };
    const Want want[] = {{"a.txt", "hello", kTime}, {"empty", "", kTime + 1}, {name79, big, kTime},
                         {"sub\\x.bin", std::string("\0\1\2", 3), 0}};
    for (const Want& w : want) {
        PackRecordInfo info;
        ASSERT_EQ(r.ReadRecordHeader(info), PackReader::record) << w.name;
        EXPECT_EQ(info.name, w.name);
        EXPECT_EQ(info.dosTime, w.time);
        ASSERT_EQ(info.length, w.data.size());
        FILE* out = std::fopen((d / "out").c_str(), "wb");
        ASSERT_TRUE(r.CopyData(out, info.length));
        std::fclose(out);
        EXPECT_EQ(ReadBytes(d / "out"), w.data) << w.name;
    }
    PackRecordInfo info;
    EXPECT_EQ(r.ReadRecordHeader(info), PackReader::end);
    EXPECT_EQ(r.ReadRecordHeader(info), PackReader::end);
}

TEST(PackFormat, WriterRefusesWhatThePackPhaseCouldNotWriteSafely) {
    TempDir d;
    PackWriter w(d / "p.pak");
    for (const std::string& bad : std::vector<std::string>{"", "/etc/x", "\\x", "C:\\x", "c:x", "..\\x", "a/../../x", "dir\\",
                                  std::string(80, 'n'), std::string("a\0b", 3)})
        EXPECT_THROW(w.AddData(bad, "x", 1, 0), CPackException) << bad;
    EXPECT_EQ(w.Count(), 0);
}

TEST(PackFormat, CountIsSigned16BitAndAnUnfinishedPackIsRemoved) {
    TempDir d;
    {
        PackWriter w(d / "p.pak");
        for (int i = 0; i < pack::kMaxRecords; ++i) w.AddData("f" + std::to_string(i), "", 0, 0);
        EXPECT_THROW(w.AddData("one-more", "", 0, 0), CPackException);
        w.Finish();
    }
    PackReader r;
    ASSERT_TRUE(r.Open((d / "p.pak").c_str()));
    EXPECT_EQ(r.ReadHeader(), 32767);
    r.Close();
    WriteBytes(d / "p.pak", std::string("\x12\x34\xff\xff", 4));
    ASSERT_TRUE(r.Open((d / "p.pak").c_str()));
    EXPECT_EQ(r.ReadHeader(), -1);
    r.Close();
    { PackWriter w(d / "q.pak"); w.AddData("a", "x", 1, 0); }  // never finished
    EXPECT_FALSE(fs::exists(d.path / "q.pak"));
}

TEST(PackFormat, DamagedPacksAreReportedNotReadShort) {
    TempDir d;
    const std::string first = PackHeader(2) + PackRecord("ok", "data");
    struct Case {
        const char* what;
        std::string bytes;
        PackReader::Status second;
    } cases[] = {
        {"ends inside a name", first + "partial", PackReader::truncated},
        {"ends inside the length", first + PackRecord("x", "abc").substr(0, 4), PackReader::truncated},
        {"data longer than the file", first + PackRecord("x", "abcdef").substr(0, 12), PackReader::truncated},
        {"name without end", first + std::string(100, 'n'), PackReader::nameTooLong},
        {"80 bytes without zero", first + std::string(80, 'n') + '\0', PackReader::nameTooLong},
        {"clean end", PackHeader(1) + PackRecord("ok", "data"), PackReader::end},
    };
    for (const Case& c : cases) {
        WriteBytes(d / "p.pak", c.bytes);
        PackReader r;
        ASSERT_TRUE(r.Open((d / "p.pak").c_str()));
        r.ReadHeader();
        PackRecordInfo info;
        ASSERT_EQ(r.ReadRecordHeader(info), PackReader::record) << c.what;
        ASSERT_TRUE(r.SkipData(info.length));
        EXPECT_EQ(r.ReadRecordHeader(info), c.second) << c.what;
        EXPECT_LT(std::strlen(info.name), pack::kNameBufferSize);
    }
    // A file shorter than its header holds no records but is not clean.
    WriteBytes(d / "p.pak", "\0\1");
    PackReader r;
    ASSERT_TRUE(r.Open((d / "p.pak").c_str()));
    EXPECT_EQ(r.ReadHeader(), 0);
    PackRecordInfo info;
    EXPECT_EQ(r.ReadRecordHeader(info), PackReader::truncated);
}

TEST(Progress, ArchiveAndPackPhases) {
    // Archive phase, Percent1 = 50 and Percent2 = 100: 5 % while archive 1
    // unpacks, 10 after, 15 while archive 2 unpacks, 20 after.
    EXPECT_EQ(engine::ArchiveMidwayPercent(0, engine::ArchiveTargetPercent(50)), 5);
    EXPECT_EQ(engine::ArchiveTargetPercent(50), 10);
    EXPECT_EQ(engine::ArchiveMidwayPercent(10, engine::ArchiveTargetPercent(100)), 15);
    EXPECT_EQ(engine::ArchiveTargetPercent(100), 20);
    EXPECT_EQ(engine::ArchiveTargetPercent(1000000000), 20);
    EXPECT_EQ(engine::ArchiveTargetPercent(-5), 0);

    // Pack phase: three packs share 20..100 as 33/33/34.
    const engine::PackSlice s1 = engine::PackSliceFor(3, 1), s2 = engine::PackSliceFor(3, 2);
    EXPECT_EQ(s1.base, 33);
    EXPECT_EQ(s1.share, 33);
    EXPECT_EQ(s2.base, 66);
    EXPECT_EQ(s2.share, 34);
    EXPECT_EQ(engine::PackPercent(s1, 5, 10), 59);
    EXPECT_EQ(engine::PackPercent(s2, 10, 10), 100);
    // A header count of 0, negative, or smaller than the records: no
    // division by zero, and the bar never leaves the pack's slice.
    for (int count : {0, -3, 2})
        for (int done = 0; done < 50; ++done) {
            const int p = engine::PackPercent(s1, done, count);
            EXPECT_GE(p, 20 + 33 * 80 / 100);
            EXPECT_LE(p, 20 + 66 * 80 / 100);
        }
    EXPECT_EQ(engine::PackPercent(engine::PackSliceFor(0, 0), 1, 0), 20);
}

namespace {
struct PackStep : ::testing::Test {
    TempDir d;
    char writeBuffer[pack::kStreamBufferSize];
    char readBuffer[pack::kStreamBufferSize];
    PackReader reader;
    std::string dest;

    void Open(const std::string& bytes) {
        reader.Close();
        WriteBytes(d / "p.pak", bytes);
        ASSERT_TRUE(reader.Open((d / "p.pak").c_str(), readBuffer, sizeof readBuffer));
        reader.ReadHeader();
        dest = d / "dest";
        fs::create_directories(dest);
    }
    engine::PackStepOutcome Step() { return engine::WritePackRecord(reader, dest.c_str(), writeBuffer, sizeof writeBuffer); }
};
}  // namespace

TEST_F(PackStep, WritesRecordsWithTheirTimes) {
    const std::string big = Pattern(5000, 3);
    Open(PackHeader(2) + PackRecord("a.bin", big, kTime) + PackRecord("zero", "", kTime));
    auto o = Step();
    ASSERT_EQ(o.result, engine::PackStepOutcome::written);
    EXPECT_EQ(std::string(o.path), dest + "\\a.bin");
    EXPECT_EQ(ReadBytes(dest + "/a.bin"), big);
    LocalTime t;
    ASSERT_TRUE(CFile::GetModifiedTime(dest + "/a.bin", t));
    EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
              std::vector<int>({2021, 6, 15, 13, 45, 58}));
    ASSERT_EQ(Step().result, engine::PackStepOutcome::written);
    EXPECT_EQ(fs::file_size(dest + "/zero"), 0u);
    EXPECT_EQ(Step().result, engine::PackStepOutcome::packEnd);
}

TEST_F(PackStep, AFailedCreateRetriesTheSameRecordAndStaysInStep) {
    Open(PackHeader(2) + PackRecord("sub\\one", "first") + PackRecord("two", "second"));
    // "sub" does not exist yet: the output cannot be created.
    for (int i = 0; i < 2; ++i) {
        auto o = Step();
        EXPECT_EQ(o.result, engine::PackStepOutcome::createFailed);
        EXPECT_STREQ(o.info.name, "sub\\one");
    }
    fs::create_directories(dest + "/sub");
    ASSERT_EQ(Step().result, engine::PackStepOutcome::written);
    EXPECT_EQ(ReadBytes(dest + "/sub/one"), "first");
    auto o = Step();
    ASSERT_EQ(o.result, engine::PackStepOutcome::written);
    EXPECT_STREQ(o.info.name, "two");
    EXPECT_EQ(ReadBytes(dest + "/two"), "second");
}

TEST_F(PackStep, RefusedDamagedAndTooLongRecordsWriteNothing) {
    Open(PackHeader(3) + PackRecord("..\\escape", "x") + PackRecord("ok", "y"));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Step().result, engine::PackStepOutcome::refusedName);
    EXPECT_FALSE(fs::exists(d.path / "escape"));

    Open(PackHeader(1) + PackRecord("short", "0123456789").substr(0, 16));
    EXPECT_EQ(Step().result, engine::PackStepOutcome::damaged);
    Open(PackHeader(1) + std::string(120, 'n'));
    EXPECT_EQ(Step().result, engine::PackStepOutcome::damaged);
    EXPECT_TRUE(fs::is_empty(dest));

    // A path that does not fit is refused, not cut: 150 + 1 + 79 > 199.
    Open(PackHeader(1) + PackRecord(std::string(79, 'n'), "x"));
    dest = std::string(150, 'd');
    EXPECT_EQ(Step().result, engine::PackStepOutcome::pathTooLong);
}
