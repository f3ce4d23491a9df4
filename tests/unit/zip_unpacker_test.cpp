// The ZIP reader against archives made by Info-ZIP zip and Python's zipfile
// (tests/data/zip, made by make.sh there), the archives of Python's own test
// suite, and damaged copies of them made here byte by byte.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/TestFiles.h"
#include "engine/ZipUnpacker.h"
#include "setupkit/lib/PackWriter.h"

namespace {

using Bytes = std::vector<unsigned char>;
using testfs::HostPath;

std::string DataPath(const std::string& name) { return HostPath(std::string(SETUP_TEST_DATA) + "/zip/" + name); }

Bytes Load(const std::string& path) {
    const std::string s = testfs::ReadBytes(path);
    return Bytes(s.begin(), s.end());
}

std::string Save(const std::string& name, const Bytes& b) {
    const std::string p = (testfs::fs::temp_directory_path() / ("ziptest_" + name)).string();
    testfs::WriteBytes(p, std::string(b.begin(), b.end()));
    return p;
}

uint32_t Get16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
uint32_t Get32(const Bytes& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
void Put16(Bytes& b, size_t at, uint32_t v) { b.at(at) = v & 255, b.at(at + 1) = (v >> 8) & 255; }
void Put32(Bytes& b, size_t at, uint32_t v) { Put16(b, at, v & 0xFFFF), Put16(b, at + 2, v >> 16); }

// Where the parts of an archive (without prefix) lie, for making damaged copies.
struct Layout {
    explicit Layout(const Bytes& b) : bytes(b) {
        for (size_t i = b.size() - 22;; --i) {
            if (Get32(b, i) == 0x06054b50) {
                end = i;
                break;
            }
            if (i == 0) throw std::runtime_error("no end record");
        }
    }
    size_t Central(unsigned index) const {
        size_t p = Get32(bytes, end + 16);
        for (unsigned i = 0; i < index; ++i)
            p += 46 + Get16(bytes, p + 28) + Get16(bytes, p + 30) + Get16(bytes, p + 32);
        return p;
    }
    size_t Local(unsigned index) const { return Get32(bytes, Central(index) + 42); }
    size_t Data(unsigned index) const {
        size_t l = Local(index);
        return l + 30 + Get16(bytes, l + 26) + Get16(bytes, l + 28);
    }
    const Bytes& bytes;
    size_t end = 0;
};

struct Entry {
    std::string name;
    ZipEntryInfo info;
    Bytes data;
};

// Reads every entry the way the setup reads one: a buffer of chunk bytes
// until a call returns less than chunk.
std::vector<Entry> ReadAll(const std::string& path, unsigned chunk = 1024) {
    std::vector<Entry> out;
    CZipUnpacker zip(path);
    zip.GoToFirstEntry();
    do {
        Entry e;
        zip.GetCurrentEntryInfo(&e.info, nullptr, 0);
        std::vector<char> name(e.info.nameLength + 1);
        zip.GetCurrentEntryInfo(nullptr, name.data(), static_cast<unsigned>(name.size()));
        e.name = name.data();
        zip.OpenCurrentEntry();
        Bytes buf(chunk);
        unsigned got;
        do {
            got = zip.ReadCurrentEntry(buf.data(), chunk);
            e.data.insert(e.data.end(), buf.begin(), buf.begin() + got);
        } while (got == chunk);
        EXPECT_EQ(zip.ReadCurrentEntry(buf.data(), chunk), 0u) << "a call after the end delivers nothing";
        zip.CloseCurrentEntry();
        out.push_back(std::move(e));
    } while (zip.GoToNextEntry());
    zip.CloseArchive();
    return out;
}

// The cause of the CZipException that f throws, 0 when it throws none.
int CauseOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const CZipException& e) {
        return e.cause;
    }
    return 0;
}

const Bytes& Text() { static const Bytes b = Load(DataPath("text.txt")); return b; }
const Bytes& Binary() { static const Bytes b = Load(DataPath("binary.bin")); return b; }
const Bytes& Exact1024() { static const Bytes b = Load(DataPath("exact1024.bin")); return b; }

}  // namespace

TEST(ZipUnpacker, ReadsWhatInfoZipAndPythonWrote) {
    struct Case {
        const char* archive;
        std::vector<std::pair<std::string, const Bytes*>> entries;
        uint32_t method;
    };
    const std::vector<Case> cases = {
        {"stored.zip", {{"exact1024.bin", &Exact1024()}, {"text.txt", &Text()}, {"binary.bin", &Binary()}}, 0},
        {"deflated.zip", {{"text.txt", &Text()}, {"binary.bin", &Binary()}, {"exact1024.bin", &Exact1024()}}, 8},
        {"comment.zip", {{"text.txt", &Text()}}, 8},  // 300-byte archive comment
        {"stub.zip", {{"text.txt", &Text()}, {"binary.bin", &Binary()}}, 8},  // program stub, zip -A
        {"streamed.zip", {{"streamed.txt", &Text()}, {"stored.bin", &Binary()}}, 99},  // flag bit 3
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        std::vector<Entry> got = ReadAll(DataPath(c.archive));
        ASSERT_EQ(got.size(), c.entries.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].name, c.entries[i].first);
            EXPECT_TRUE(got[i].data == *c.entries[i].second) << got[i].name;
            if (c.method != 99) {
                EXPECT_EQ(got[i].info.method, c.method);
            }
            EXPECT_EQ(got[i].info.dosDateTime, testfs::DosTime(2001, 2, 3, 4, 5, 58));
        }
    }
    // The streamed archive really has zero CRC and sizes in its local header.
    Bytes s = Load(DataPath("streamed.zip"));
    EXPECT_EQ(Get16(s, 6) & 8, 8u);
    EXPECT_EQ(Get32(s, 14) | Get32(s, 18) | Get32(s, 22), 0u);
}

// Archives of other writers, where the system has them: every entry's data
// matches its size and CRC.
TEST(ZipUnpacker, ReadsTheArchivesOfPythonsTestSuite) {
    const std::string root = HostPath("/usr/lib/python3.11/test/");
    if (!std::filesystem::exists(root + "zipdir.zip")) GTEST_SKIP() << "libpython3.11-testsuite is not installed";
    for (const char* name : {"zipdir.zip", "zip_cp437_header.zip", "test_importlib/zipdata01/ziptestdata.zip",
                             "test_importlib/zipdata02/ziptestdata.zip", "test_importlib/namespace_pkgs/missing_directory.zip",
                             "test_importlib/namespace_pkgs/nested_portion1.zip",
                             "test_importlib/data/example-21.12-py3-none-any.whl",
                             "test_importlib/data/example-21.12-py3.6.egg"}) {
        std::vector<Entry> got = ReadAll(root + name);
        EXPECT_FALSE(got.empty()) << name;
        for (const Entry& e : got) {
            EXPECT_EQ(e.data.size(), e.info.uncompressedSize) << name << " " << e.name;
            EXPECT_EQ(crc32(0, e.data.data(), static_cast<uInt>(e.data.size())), e.info.crc32) << name << " " << e.name;
        }
    }
}

TEST(ZipUnpacker, FindsTheArchiveBehindAPrefixAndAfterAComment) {
    // A stub in front whose offsets were not adjusted: bytesBefore is its length.
    Bytes prefixed(4000, 'x');
    Bytes zip = Load(DataPath("deflated.zip"));
    prefixed.insert(prefixed.end(), zip.begin(), zip.end());
    std::string path = Save("prefixed.zip", prefixed);
    {
        CZipUnpacker z(path);
        EXPECT_EQ(z.GetBytesBefore(), 4000u);
        EXPECT_EQ(z.GetEntryCount(), 3u);
    }
    std::vector<Entry> got = ReadAll(path);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_TRUE(got[1].data == Binary());
    // zip -A adjusted the offsets: nothing lies before the archive proper.
    CZipUnpacker adjusted(DataPath("stub.zip"));
    EXPECT_EQ(adjusted.GetBytesBefore(), 0u);

    // An end record within the last 65535 bytes is found; one further away is not.
    Bytes near = zip;
    near.resize(near.size() + 65535 - 22, 0);  // its signature starts 65535 bytes from the end
    EXPECT_EQ(ReadAll(Save("near.zip", near)).size(), 3u);
    Bytes far = zip;
    far.resize(far.size() + 65535 - 22 + 1, 0);
    EXPECT_EQ(CauseOf([&] { CZipUnpacker z(Save("far.zip", far)); }), badArchive);
}

TEST(ZipUnpacker, RefusesEndRecordsItCannotTake) {
    const Bytes base = Load(DataPath("deflated.zip"));
    const Layout l(base);
    std::vector<std::pair<const char*, std::function<void(Bytes&)>>> edits = {
        {"disk number", [&](Bytes& b) { Put16(b, l.end + 4, 1); }},
        {"directory disk", [&](Bytes& b) { Put16(b, l.end + 6, 1); }},
        {"entries on this disk", [&](Bytes& b) { Put16(b, l.end + 8, 2); }},
        {"total entries", [&](Bytes& b) { Put16(b, l.end + 10, 4); }},
        {"no entries", [&](Bytes& b) { Put16(b, l.end + 8, 0), Put16(b, l.end + 10, 0); }},
        {"directory past the end record", [&](Bytes& b) { Put32(b, l.end + 12, Get32(b, l.end + 12) + 1); }},
        {"huge directory offset", [&](Bytes& b) { Put32(b, l.end + 16, 0xFFFFFFF0u); }},
        {"end record cut", [&](Bytes& b) { b.resize(l.end + 10); }},
        {"central signature", [&](Bytes& b) { b[l.Central(0)] ^= 1; }},
        {"no end record", [&](Bytes& b) { b[l.end] = 'Q'; }},
    };
    for (auto& [what, edit] : edits) {
        Bytes b = base;
        edit(b);
        std::string path = Save("endrec.zip", b);
        EXPECT_EQ(CauseOf([&] { CZipUnpacker z(path); }), badArchive) << what;
    }
    // Python's empty archive is nothing but an end record, at offset 0.
    EXPECT_EQ(CauseOf([&] { CZipUnpacker z(DataPath("empty.zip")); }), badArchive);
    // A refused archive leaves the reader closed and says which file it was.
    Bytes b = base;
    Put16(b, l.end + 4, 1);
    std::string path = Save("multidisk.zip", b);
    CZipUnpacker z;
    try {
        z.OpenArchive(path.c_str());
        FAIL() << "a multi-disk archive was opened";
    } catch (const CZipException& e) {
        EXPECT_EQ(e.archivePath, path);
        EXPECT_EQ(e.GetErrorMessage(), "Internal application error.");
        EXPECT_EQ(e.kindFlag, 0);
    }
    EXPECT_FALSE(z.IsArchiveOpen());
}

TEST(ZipUnpacker, RefusesLocalHeadersThatDisagree) {
    const Bytes base = Load(DataPath("stored.zip"));
    const Layout l(base);
    const size_t loc = l.Local(1), cen = l.Central(1);
    std::vector<std::pair<const char*, std::function<void(Bytes&)>>> edits = {
        {"local signature", [&](Bytes& b) { b[loc + 1] ^= 1; }},
        {"local method", [&](Bytes& b) { Put16(b, loc + 8, 8); }},
        {"local CRC", [&](Bytes& b) { b[loc + 14] ^= 1; }},
        {"local compressed size", [&](Bytes& b) { b[loc + 18] ^= 1; }},
        {"local size", [&](Bytes& b) { b[loc + 22] ^= 1; }},
        {"local name length", [&](Bytes& b) { Put16(b, loc + 26, Get16(b, loc + 26) + 1); }},
        {"method 12", [&](Bytes& b) { Put16(b, loc + 8, 12), Put16(b, cen + 10, 12); }},
        {"local offset past the end", [&](Bytes& b) { Put32(b, cen + 42, static_cast<uint32_t>(b.size() - 10)); }},
        {"data past the end", [&](Bytes& b) { Put32(b, cen + 20, 0x7FFFFFFF), Put32(b, loc + 18, 0x7FFFFFFF); }},
    };
    for (auto& [what, edit] : edits) {
        Bytes b = base;
        edit(b);
        CZipUnpacker z(Save("local.zip", b));
        ASSERT_TRUE(z.GoToNextEntry());
        EXPECT_EQ(CauseOf([&] { z.OpenCurrentEntry(); }), badArchive) << what;
        // A refused entry is not open.
        char buf[16];
        EXPECT_EQ(CauseOf([&] { z.ReadCurrentEntry(buf, sizeof buf); }), badArgument) << what;
        EXPECT_EQ(CauseOf([&] { z.CloseArchive(); }), 0) << what;
    }
    // Bit 3 allows zero CRC and sizes in the local header; without it they are refused.
    Bytes s = Load(DataPath("streamed.zip"));
    Put16(s, 6, Get16(s, 6) & ~8u);
    CZipUnpacker z(Save("nobit3.zip", s));
    EXPECT_EQ(CauseOf([&] { z.OpenCurrentEntry(); }), badArchive);
}

TEST(ZipUnpacker, StoredEntryOfExactlyOneBufferAndAlteredData) {
    Bytes b = Load(DataPath("stored.zip"));
    const Layout l(b);
    unsigned char buf[1024];
    {
        CZipUnpacker z(Save("stored.zip", b));
        z.OpenCurrentEntry();
        EXPECT_EQ(z.ReadCurrentEntry(buf, 1024), 1024u);
        EXPECT_EQ(0, std::memcmp(buf, Exact1024().data(), 1024));
        EXPECT_EQ(z.ReadCurrentEntry(buf, 1024), 0u);
        EXPECT_EQ(CauseOf([&] { z.CloseArchive(); }), 0);
    }
    // The last byte altered: every byte is still delivered, then the check fails.
    b[l.Data(0) + 1023] ^= 0x40;
    std::string path = Save("altered.zip", b);
    {
        CZipUnpacker z(path);
        z.OpenCurrentEntry();
        EXPECT_EQ(z.ReadCurrentEntry(buf, 1024), 1024u);
        EXPECT_EQ(buf[1023], Exact1024()[1023] ^ 0x40);
        EXPECT_EQ(z.ReadCurrentEntry(buf, 1024), 0u);
        EXPECT_EQ(CauseOf([&] { z.CloseArchive(); }), checksumMismatch);
    }
    {
        // Read in part and closed: no check, no error.
        CZipUnpacker z(path);
        z.OpenCurrentEntry();
        EXPECT_EQ(z.ReadCurrentEntry(buf, 1000), 1000u);
        EXPECT_EQ(CauseOf([&] { z.CloseCurrentEntry(); }), 0);
        // Opening it again starts from its first byte.
        z.OpenCurrentEntry();
        EXPECT_EQ(z.ReadCurrentEntry(buf, 10), 10u);
        EXPECT_EQ(0, std::memcmp(buf, Exact1024().data(), 10));
    }
    // Stored data shorter than the stated size ends the read as damaged.
    Bytes shortData = Load(DataPath("stored.zip"));
    const Layout s(shortData);
    Put32(shortData, s.Central(1) + 20, Get32(shortData, s.Central(1) + 20) - 100);
    Put32(shortData, s.Local(1) + 18, Get32(shortData, s.Local(1) + 18) - 100);
    CZipUnpacker z(Save("short.zip", shortData));
    ASSERT_TRUE(z.GoToNextEntry());
    z.OpenCurrentEntry();
    std::vector<unsigned char> all(Text().size());
    EXPECT_EQ(CauseOf([&] { z.ReadCurrentEntry(all.data(), static_cast<unsigned>(all.size())); }), badArchive);
}

TEST(ZipUnpacker, DeflatedEntryEndsWithinACallAndStaysEnded) {
    for (unsigned chunk : {1u, 7u, 1024u, 4096u, 65536u, 200000u}) {
        SCOPED_TRACE(chunk);
        CZipUnpacker z(DataPath("deflated.zip"));
        z.OpenCurrentEntry();
        Bytes buf(chunk), data;
        unsigned got, calls = 0;
        do {
            got = z.ReadCurrentEntry(buf.data(), chunk);
            data.insert(data.end(), buf.begin(), buf.begin() + got);
            ++calls;
        } while (got == chunk);
        EXPECT_TRUE(data == Text());
        EXPECT_EQ(got, Text().size() % chunk);
        EXPECT_EQ(z.ReadCurrentEntry(buf.data(), chunk), 0u);
        EXPECT_EQ(z.ReadCurrentEntry(nullptr, chunk), 0u);
        EXPECT_EQ(CauseOf([&] { z.CloseArchive(); }), 0);
    }
}

TEST(ZipUnpacker, DeflatedStreamThatEndsBeforeItsStatedSize) {
    // Both headers claim one byte more than the deflate stream holds.
    Bytes b = Load(DataPath("deflated.zip"));
    const Layout l(b);
    Put32(b, l.Central(0) + 24, Get32(b, l.Central(0) + 24) + 1);
    Put32(b, l.Local(0) + 22, Get32(b, l.Local(0) + 22) + 1);
    std::string path = Save("longer.zip", b);
    {
        CZipUnpacker z(path);
        z.OpenCurrentEntry();
        Bytes all(Text().size() + 1);
        EXPECT_EQ(z.ReadCurrentEntry(all.data(), static_cast<unsigned>(all.size())), Text().size());
        EXPECT_EQ(CauseOf([&] { z.CloseCurrentEntry(); }), checksumMismatch);
    }
    {
        // The caller that stops early does not learn of it, and is not blamed.
        CZipUnpacker z(path);
        z.OpenCurrentEntry();
        unsigned char buf[1024];
        EXPECT_EQ(z.ReadCurrentEntry(buf, sizeof buf), 1024u);
        EXPECT_EQ(CauseOf([&] { z.CloseArchive(); }), 0);
    }
}

TEST(ZipUnpacker, CorruptDeflateDataIsReportedNeverDelivered) {
    const Bytes base = Load(DataPath("deflated.zip"));
    const Layout l(base);
    const size_t start = l.Data(0), size = Get32(base, l.Central(0) + 20);
    for (size_t off = 0; off < size; off += 97) {
        Bytes b = base;
        b[start + off] ^= 0x5A;
        std::string path = Save("corrupt.zip", b);
        int cause = CauseOf([&] { ReadAll(path); });
        EXPECT_TRUE(cause == checksumMismatch || cause == inflateDataError || cause == inflateBufferError)
            << "offset " << off << " cause " << cause;
    }
    // Deflate data cut short: zlib runs out of input.
    Bytes b = base;
    Put32(b, l.Central(0) + 20, 5000);
    Put32(b, l.Local(0) + 18, 5000);
    EXPECT_EQ(CauseOf([&] { ReadAll(Save("cut.zip", b)); }), inflateBufferError);
}

TEST(ZipUnpacker, EntryInfoAndNamesAndOrderOfOperations) {
    CZipUnpacker z(DataPath("stored.zip"));
    ZipEntryInfo info;
    char name[32];
    std::memset(name, '#', sizeof name);
    z.GetCurrentEntryInfo(&info, name, 4);  // shorter than the name: no terminator
    EXPECT_EQ(std::string(name, 5), "exac#");
    z.GetCurrentEntryInfo(nullptr, name, sizeof name);
    EXPECT_STREQ(name, "exact1024.bin");
    EXPECT_EQ(info.nameLength, 13u);
    EXPECT_EQ(info.uncompressedSize, 1024u);
    EXPECT_TRUE(z.GoToNextEntry());
    EXPECT_TRUE(z.GoToNextEntry());
    EXPECT_FALSE(z.GoToNextEntry());  // the last entry stays current
    z.GetCurrentEntryInfo(nullptr, name, sizeof name);
    EXPECT_STREQ(name, "binary.bin");
    char buf[8];
    EXPECT_EQ(CauseOf([&] { z.ReadCurrentEntry(buf, sizeof buf); }), badArgument);
    EXPECT_EQ(CauseOf([&] { z.CloseCurrentEntry(); }), 0);
    z.GoToFirstEntry();
    z.GetCurrentEntryInfo(nullptr, name, sizeof name);
    EXPECT_STREQ(name, "exact1024.bin");
    z.CloseArchive();
    EXPECT_FALSE(z.GoToNextEntry());
    EXPECT_EQ(CauseOf([&] { z.OpenCurrentEntry(); }), badArgument);
    EXPECT_EQ(CauseOf([&] { z.GetCurrentEntryInfo(&info, nullptr, 0); }), badArgument);
    EXPECT_EQ(CauseOf([&] { z.CloseArchive(); }), 0);
    // Reopened, the reader starts at the first entry again.
    z.OpenArchive(DataPath("deflated.zip").c_str());
    z.GetCurrentEntryInfo(nullptr, name, sizeof name);
    EXPECT_STREQ(name, "text.txt");
}

TEST(ZipUnpacker, MissingArchiveNamesTheFileAndZlibMemoryIsReleased) {
    try {
        CZipUnpacker z(DataPath("does-not-exist.zip"));
        FAIL() << "opened a missing archive";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.operation, CFileException::open);
        EXPECT_NE(e.GetErrorMessage().find("does-not-exist.zip"), std::string::npos);
    }
    // Destroyed with an entry open: under the sanitizers a leak fails the run.
    CZipUnpacker z(DataPath("deflated.zip"));
    z.OpenCurrentEntry();
    unsigned char buf[100];
    z.ReadCurrentEntry(buf, sizeof buf);
}

// The conversion that both the archive and the pack phase use for file times.
TEST(DosTime, ToLocalTimeAndBack) {
    using testfs::DosTime;
    auto v = [](const LocalTime& t) { return std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second}; };
    const struct {
        uint32_t dos;
        std::vector<int> local;
    } cases[] = {
        {DosTime(2001, 2, 3, 4, 5, 58), {2001, 2, 3, 4, 5, 58}},  // seconds are stored halved
        {DosTime(2107, 12, 31, 23, 59, 0), {2107, 12, 31, 23, 59, 0}},
        // Values no calendar has are brought to the nearest real one.
        {0, {1980, 1, 1, 0, 0, 0}},
        {DosTime(2001, 2, 30, 31, 63, 62), {2001, 2, 28, 23, 59, 59}},
        {DosTime(2004, 15, 31, 0, 0, 0), {2004, 12, 31, 0, 0, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(v(DosDateTimeToLocal(c.dos)), c.local) << c.dos;
    EXPECT_EQ(pack::LocalToDosTime(DosDateTimeToLocal(cases[0].dos)), cases[0].dos);
    // A time before 1980 is stored as the earliest a DOS time holds.
    EXPECT_EQ(pack::DosTimeToLocal(pack::LocalToDosTime(LocalTime{1975, 3, 4, 5, 6, 7})).year, 1980);
}
