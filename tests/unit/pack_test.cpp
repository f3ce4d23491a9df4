// The pack file format, the pack record step and the progress arithmetic,
// without a window.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/InstallSteps.h"
#include "engine/PackFile.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        static int n = 0;
        path = fs::temp_directory_path() / ("packtest-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            "-" + std::to_string(n++) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& s) const { return (path / s).string(); }
};

std::string ReadAll(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void WriteAll(const std::string& p, const std::string& data) {
    std::ofstream f(p, std::ios::binary);
    f << data;
}

std::string Pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 8)) & 0xFF);
    return s;
}

// A record in raw form, to build damaged packs by hand.
std::string RawRecord(const std::string& name, const std::string& data, uint32_t time = 0) {
    std::string r = name;
    r.push_back('\0');
    uint32_t len = static_cast<uint32_t>(data.size());
    for (uint32_t v : {len, time})
        for (int i = 0; i < 4; ++i) r.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return r + data;
}

std::string RawHeader(int count) {
    return std::string{0, 0, static_cast<char>(count & 0xFF), static_cast<char>((count >> 8) & 0xFF)};
}

constexpr uint32_t kTime = (uint32_t((2021 - 1980) << 9 | 6 << 5 | 15) << 16) | (13 << 11 | 45 << 5 | 29);

}  // namespace

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
        EXPECT_EQ(ReadAll(d / "out"), w.data) << w.name;
    }
    PackRecordInfo info;
    EXPECT_EQ(r.ReadRecordHeader(info), PackReader::end);
    EXPECT_EQ(r.ReadRecordHeader(info), PackReader::end);
}

TEST(PackFormat, WriterRefusesWhatThePackPhaseCouldNotWriteSafely) {
    TempDir d;
    PackWriter w(d / "p.pak");
    for (const char* bad : {"", "/etc/x", "\\x", "C:\\x", "c:x", "..\\x", "a/../../x", "dir\\"})
        EXPECT_THROW(w.AddData(bad, "x", 1, 0), CPackException) << bad;
    EXPECT_THROW(w.AddData(std::string(80, 'n'), "x", 1, 0), CPackException);
    EXPECT_THROW(w.AddData(std::string("a\0b", 3), "x", 1, 0), CPackException);
    EXPECT_EQ(w.Count(), 0);
}

TEST(PackFormat, CountAbove32767IsRefusedAndAnUnfinishedPackIsRemoved) {
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
    { PackWriter w(d / "q.pak"); w.AddData("a", "x", 1, 0); }  // never finished
    EXPECT_FALSE(fs::exists(d.path / "q.pak"));
}

TEST(PackFormat, DamagedPacksAreReportedNotReadShort) {
    TempDir d;
    const std::string good = RawRecord("ok", "data");
    struct Case {
        const char* what;
        std::string bytes;
        PackReader::Status second;
    } cases[] = {
        {"ends inside a name", RawHeader(2) + good + "partial", PackReader::truncated},
        {"ends inside the length", RawHeader(2) + good + RawRecord("x", "abc").substr(0, 4), PackReader::truncated},
        {"data longer than the file", RawHeader(2) + good + RawRecord("x", "abcdef").substr(0, 12), PackReader::truncated},
        {"name without end", RawHeader(2) + good + std::string(100, 'n'), PackReader::nameTooLong},
        {"80 bytes without zero", RawHeader(2) + good + std::string(80, 'n') + '\0', PackReader::nameTooLong},
        {"clean end", RawHeader(1) + good, PackReader::end},
    };
    for (const Case& c : cases) {
        WriteAll(d / "p.pak", c.bytes);
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
    WriteAll(d / "p.pak", "\0\1");
    PackReader r;
    ASSERT_TRUE(r.Open((d / "p.pak").c_str()));
    EXPECT_EQ(r.ReadHeader(), 0);
    PackRecordInfo info;
    EXPECT_EQ(r.ReadRecordHeader(info), PackReader::truncated);
}

TEST(PackFormat, HeaderCountIsSigned16Bit) {
    TempDir d;
    WriteAll(d / "p.pak", std::string("\x12\x34\xff\xff", 4));
    PackReader r;
    ASSERT_TRUE(r.Open((d / "p.pak").c_str()));
    EXPECT_EQ(r.ReadHeader(), -1);
}

TEST(PackTime, DosSecondsAreHalved) {
    const LocalTime t = pack::DosTimeToLocal(kTime);
    EXPECT_EQ(t.year, 2021);
    EXPECT_EQ(t.month, 6);
    EXPECT_EQ(t.day, 15);
    EXPECT_EQ(t.hour, 13);
    EXPECT_EQ(t.minute, 45);
    EXPECT_EQ(t.second, 58);
    EXPECT_EQ(pack::LocalToDosTime(t), kTime);
    LocalTime early{1975, 3, 4, 5, 6, 7};
    EXPECT_EQ(pack::DosTimeToLocal(pack::LocalToDosTime(early)).year, 1980);
}

TEST(Progress, ArchivePhaseWorkedExample) {
    // Percent1 = 50, Percent2 = 100: 5 % while archive 1 unpacks, 10 after,
    // 15 while archive 2 unpacks, 20 after.
    int bar = 0;
    int target = engine::ArchiveTargetPercent(50);
    EXPECT_EQ(engine::ArchiveMidwayPercent(bar, target), 5);
    bar = target;
    EXPECT_EQ(bar, 10);
    target = engine::ArchiveTargetPercent(100);
    EXPECT_EQ(engine::ArchiveMidwayPercent(bar, target), 15);
    EXPECT_EQ(target, 20);
    EXPECT_EQ(engine::ArchiveTargetPercent(1000000000), 20);
    EXPECT_EQ(engine::ArchiveTargetPercent(-5), 0);
}

TEST(Progress, PackPhaseSlicesAndWorkedExample) {
    const engine::PackSlice s0 = engine::PackSliceFor(3, 0), s1 = engine::PackSliceFor(3, 1),
                            s2 = engine::PackSliceFor(3, 2);
    EXPECT_EQ(s0.base, 0);
    EXPECT_EQ(s1.base, 33);
    EXPECT_EQ(s2.base, 66);
    EXPECT_EQ(s0.share, 33);
    EXPECT_EQ(s1.share, 33);
    EXPECT_EQ(s2.share, 34);
    EXPECT_EQ(engine::PackPercent(s1, 5, 10), 59);
    EXPECT_EQ(engine::PackPercent(s2, 10, 10), 100);
    // A header count of 0, negative, or smaller than the records: no
    // division by zero, and the bar never leaves 20..100 or the pack's slice.
    for (int count : {0, -3, 2})
        for (int done = 0; done < 50; ++done) {
            const int p = engine::PackPercent(s1, done, count);
            EXPECT_GE(p, 20 + 33 * 80 / 100);
            EXPECT_LE(p, 20 + 66 * 80 / 100);
        }
    EXPECT_EQ(engine::PackPercent(engine::PackSliceFor(0, 0), 1, 0), 20);
    EXPECT_EQ(engine::PackPercent(engine::PackSliceFor(1, 0), 1, 0), 20);
}

namespace {
struct PackStepFixture : ::testing::Test {
    TempDir d;
    char writeBuffer[pack::kStreamBufferSize];
    char readBuffer[pack::kStreamBufferSize];
    PackReader reader;
    std::string dest;

    void Open(const std::string& bytes) {
        WriteAll(d / "p.pak", bytes);
        ASSERT_TRUE(reader.Open((d / "p.pak").c_str(), readBuffer, sizeof readBuffer));
        reader.ReadHeader();
        dest = d / "dest";
        fs::create_directories(dest);
    }
    engine::PackStepOutcome Step() { return engine::WritePackRecord(reader, dest.c_str(), writeBuffer, sizeof writeBuffer); }
};
}  // namespace

TEST_F(PackStepFixture, WritesRecordsWithTheirTimes) {
    const std::string big = Pattern(5000, 3);
    Open(RawHeader(2) + RawRecord("a.bin", big, kTime) + RawRecord("zero", "", kTime));
    auto o = Step();
    ASSERT_EQ(o.result, engine::PackStepOutcome::written);
    EXPECT_EQ(std::string(o.path), dest + "\\a.bin");
    EXPECT_EQ(ReadAll(dest + "/a.bin"), big);
    LocalTime t;
    ASSERT_TRUE(CFile::GetModifiedTime(dest + "/a.bin", t));
    EXPECT_EQ(t.hour, 13);
    EXPECT_EQ(t.minute, 45);
    EXPECT_EQ(t.second, 58);
    o = Step();
    ASSERT_EQ(o.result, engine::PackStepOutcome::written);
    EXPECT_TRUE(fs::exists(dest + "/zero"));
    EXPECT_EQ(fs::file_size(dest + "/zero"), 0u);
    EXPECT_EQ(Step().result, engine::PackStepOutcome::packEnd);
}

TEST_F(PackStepFixture, AFailedCreateRetriesTheSameRecordAndStaysInStep) {
    Open(RawHeader(2) + RawRecord("sub\\one", "first") + RawRecord("two", "second"));
    // "sub" does not exist yet: the output cannot be created.
    for (int i = 0; i < 2; ++i) {
        auto o = Step();
        EXPECT_EQ(o.result, engine::PackStepOutcome::createFailed);
        EXPECT_STREQ(o.info.name, "sub\\one");
    }
    fs::create_directories(dest + "/sub");
    ASSERT_EQ(Step().result, engine::PackStepOutcome::written);
    EXPECT_EQ(ReadAll(dest + "/sub/one"), "first");
    auto o = Step();
    ASSERT_EQ(o.result, engine::PackStepOutcome::written);
    EXPECT_STREQ(o.info.name, "two");
    EXPECT_EQ(ReadAll(dest + "/two"), "second");
}

TEST_F(PackStepFixture, RefusedAndDamagedRecordsWriteNothing) {
    Open(RawHeader(3) + RawRecord("..\\escape", "x") + RawRecord("ok", "y"));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Step().result, engine::PackStepOutcome::refusedName);
    EXPECT_FALSE(fs::exists(d.path / "escape"));
    reader.Close();

    Open(RawHeader(1) + RawRecord("short", "0123456789").substr(0, 16));
    EXPECT_EQ(Step().result, engine::PackStepOutcome::damaged);
    EXPECT_FALSE(fs::exists(dest + "/short"));
    reader.Close();

    Open(RawHeader(1) + std::string(120, 'n'));
    EXPECT_EQ(Step().result, engine::PackStepOutcome::damaged);
    EXPECT_TRUE(fs::is_empty(dest));
}

TEST_F(PackStepFixture, APathThatDoesNotFitIsRefusedNotCut) {
    Open(RawHeader(1) + RawRecord(std::string(79, 'n'), "x"));
    dest = std::string(150, 'd');  // 150 + 1 + 79 > 199
    EXPECT_EQ(Step().result, engine::PackStepOutcome::pathTooLong);
}

TEST(PackDirectory, NamesAreRelativeWithBackslashesAndSorted) {
    TempDir d;
    fs::create_directories(d.path / "tree" / "bin");
    WriteAll(d / "tree/readme.txt", "r");
    WriteAll(d / "tree/bin/prog.exe", Pattern(2000, 5));
    WriteAll(d / "tree/a.dat", "");
    std::vector<std::string> folders;
    auto names = PackDirectory(d / "out.pak", d / "tree", &folders);
    EXPECT_EQ(names, (std::vector<std::string>{"a.dat", "bin\\prog.exe", "readme.txt"}));
    EXPECT_EQ(folders, (std::vector<std::string>{"bin"}));
    PackReader r;
    ASSERT_TRUE(r.Open((d / "out.pak").c_str()));
    EXPECT_EQ(r.ReadHeader(), 3);
    LocalTime mt;
    ASSERT_TRUE(CFile::GetModifiedTime(d / "tree/bin/prog.exe", mt));
    PackRecordInfo info;
    ASSERT_EQ(r.ReadRecordHeader(info), PackReader::record);
    r.SkipData(info.length);
    ASSERT_EQ(r.ReadRecordHeader(info), PackReader::record);
    EXPECT_STREQ(info.name, "bin\\prog.exe");
    EXPECT_EQ(info.length, 2000u);
    EXPECT_EQ(info.dosTime, pack::LocalToDosTime(mt));
}
