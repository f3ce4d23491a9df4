// The ZIP reader on archives of other writers (tests/data/zip) and damaged copies.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

#include "common/TestFiles.h"
#include "engine/ZipUnpacker.h"

using namespace testfs;

namespace {

using Edit = std::function<void(std::string&)>;

std::string DataPath(const std::string& name) { return TestData("zip/" + name); }
const std::string& Data(const char* name) {
    static std::map<std::string, std::string> cache;
    return cache.count(name) ? cache[name] : cache[name] = ReadBytes(DataPath(name));
}
uint32_t Get(const std::string& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b.at(at + i));
    return v;
}
void Put(std::string& b, size_t at, int bytes, uint32_t v) { b.replace(at, bytes, Le(v, bytes)); }
void Add(std::string& b, size_t at, int bytes, int32_t d) { Put(b, at, bytes, Get(b, at, bytes) + d); }

struct Layout {
    explicit Layout(const std::string& b) : b(b), end(b.rfind(Le(0x06054b50, 4))) {}
    size_t Central(unsigned index) const {
        size_t p = Get(b, end + 16, 4);
        for (unsigned i = 0; i < index; ++i) p += 46 + Get(b, p + 28, 2) + Get(b, p + 30, 2) + Get(b, p + 32, 2);
        return p;
    }
    size_t Local(unsigned index) const { return Get(b, Central(index) + 42, 4); }
    size_t Data(unsigned index) const { return Local(index) + 30 + Get(b, Local(index) + 26, 2) + Get(b, Local(index) + 28, 2); }
    // Adds d to the method (2 bytes) or a size (4) in the central header and the local one.
    void AddBoth(std::string& edited, unsigned index, size_t field, int32_t d) const {
        const int bytes = field == 10 ? 2 : 4;
        Add(edited, Central(index) + field, bytes, d);
        Add(edited, Local(index) + field - 2, bytes, d);
    }
    const std::string& b;
    size_t end;
};

std::string Saved(const std::string& bytes) {
    static const TempDir dir;  // named after the test: CTest runs the tests side by side
    static int n = 0;
    const std::string p = dir / ("edited" + std::to_string(n++ % 4) + ".zip");
    WriteBytes(p, bytes);
    return p;
}
std::string Edited(const char* archive, const Edit& edit) {
    std::string b = Data(archive);
    edit(b);
    return Saved(b);
}

// Reads the open entry as the setup does, until a call returns less than
// chunk; a call after the end delivers nothing.
std::string ReadEntry(CZipUnpacker& zip, unsigned chunk = 1024) {
    std::string data, buf(chunk, '\0');
    unsigned got;
    do data.append(buf, 0, got = zip.ReadCurrentEntry(buf.data(), chunk));
    while (got == chunk);
    EXPECT_EQ(zip.ReadCurrentEntry(buf.data(), chunk), 0u);
    EXPECT_EQ(zip.ReadCurrentEntry(nullptr, chunk), 0u);
    return data;
}

struct Entry {
    std::string name, data;
    ZipEntryInfo info;
};
std::vector<Entry> ReadAll(const std::string& path, unsigned chunk = 1024) {
    std::vector<Entry> out;
    CZipUnpacker zip(path);
    do {
        Entry e;
        char name[300];
        zip.GetCurrentEntryInfo(&e.info, name, sizeof name);
        e.name = name;
        zip.OpenCurrentEntry();
        e.data = ReadEntry(zip, chunk);
        zip.CloseCurrentEntry();
        out.push_back(std::move(e));
    } while (zip.GoToNextEntry());
    zip.CloseArchive();
    return out;
}

using enum ZipCause;
constexpr ZipCause kNone{};  // no exception

// The cause of the CZipException that f throws, kNone when it throws none.
ZipCause CauseOf(const std::function<void()>& f) {
    try { f(); } catch (const CZipException& e) { return e.cause; }
    return kNone;
}

}  // namespace

// Also behind a program stub whose offsets were not adjusted (bytesBefore is
// its length), and with the end record 65535 bytes from the end. (The
// command-line test extracts the adjusted stub.zip and the streamed.zip.)
TEST(ZipUnpacker, ReadsWhatInfoZipAndPythonWrote) {
    using Names = std::vector<std::string>;
    const Names deflated = {"text.txt", "binary.bin", "exact1024.bin"};
    const struct {
        std::string path;
        Names entries;
        uint32_t method, bytesBefore;
    } cases[] = {
        {DataPath("stored.zip"), {"exact1024.bin", "text.txt", "binary.bin"}, 0, 0},
        {DataPath("deflated.zip"), deflated, 8, 0},
        {DataPath("comment.zip"), {"text.txt"}, 8, 0},  // 300-byte archive comment
        {Saved(std::string(4000, 'x') + Data("deflated.zip")), deflated, 8, 4000},
        {Saved(Data("deflated.zip") + std::string(65535 - 22, '\0')), deflated, 8, 0},
    };
    for (const auto& c : cases) {
        std::vector<Entry> got = ReadAll(c.path);
        EXPECT_EQ(CZipUnpacker(c.path).GetBytesBefore(), c.bytesBefore) << c.path;
        ASSERT_EQ(got.size(), c.entries.size()) << c.path;
        for (size_t i = 0; i < got.size(); ++i) {
            const std::string& name = c.entries[i];
            EXPECT_EQ(got[i].name, name) << c.path;
            EXPECT_TRUE(got[i].data == Data(name.c_str())) << name;
            EXPECT_EQ(got[i].info.method, c.method) << name;
            EXPECT_EQ(got[i].info.dosDateTime, DosTime(2001, 2, 3, 4, 5, 58));
        }
    }
    // A deflated entry ends within a call whatever the buffer, and stays ended.
    for (unsigned chunk : {1u, 7u, 4096u, 65536u, 200000u})
        EXPECT_TRUE(ReadAll(DataPath("deflated.zip"), chunk)[0].data == Data("text.txt")) << chunk;
}

// Each damage, where reading the archive's entry fails: at opening the
// archive, opening the entry, reading it, or closing it (its check).
TEST(ZipUnpacker, DamageIsRefusedWhereItIsFound) {
    enum Stage { opening, entering, reading, closing };
    const Layout s(Data("stored.zip")), d(Data("deflated.zip"));
    const size_t e = d.end, loc = s.Local(1), cen = s.Central(1);
    const std::tuple<const char*, const char*, unsigned, Stage, ZipCause, Edit> rows[] = {  // what, archive, entry, where, cause, edit
        // End records it cannot take.
        {"disk number", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { Put(b, e + 4, 2, 1); }},
        {"directory disk", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { Put(b, e + 6, 2, 1); }},
        {"entries on this disk", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { Put(b, e + 8, 2, 2); }},
        {"total entries", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { Put(b, e + 10, 2, 4); }},
        {"no entries", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { Put(b, e + 8, 4, 0); }},
        {"directory past the end record", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { Add(b, e + 12, 4, 1); }},
        {"huge directory offset", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { Put(b, e + 16, 4, 0xFFFFFFF0u); }},
        {"end record cut", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { b.resize(e + 10); }},
        {"central signature", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { b[d.Central(0)] ^= 1; }},
        {"no end record", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { b[e] = 'Q'; }},
        {"end record 65536 bytes from the end", "deflated.zip", 0, opening, badArchive, [&](std::string& b) { b += std::string(65535 - 22 + 1, '\0'); }},
        {"nothing but an end record (Python's empty archive)", "empty.zip", 0, opening, badArchive, [](std::string&) {}},
        // Local headers that disagree with the central directory.
        {"local signature", "stored.zip", 1, entering, badArchive, [&](std::string& b) { b[loc + 1] ^= 1; }},
        {"local method", "stored.zip", 1, entering, badArchive, [&](std::string& b) { Put(b, loc + 8, 2, 8); }},
        {"local CRC", "stored.zip", 1, entering, badArchive, [&](std::string& b) { b[loc + 14] ^= 1; }},
        {"local compressed size", "stored.zip", 1, entering, badArchive, [&](std::string& b) { b[loc + 18] ^= 1; }},
        {"local size", "stored.zip", 1, entering, badArchive, [&](std::string& b) { b[loc + 22] ^= 1; }},
        {"local name length", "stored.zip", 1, entering, badArchive, [&](std::string& b) { Add(b, loc + 26, 2, 1); }},
        {"method 12", "stored.zip", 1, entering, badArchive, [&](std::string& b) { s.AddBoth(b, 1, 10, 12); }},
        {"local offset past the end", "stored.zip", 1, entering, badArchive, [&](std::string& b) { Put(b, cen + 42, 4, static_cast<uint32_t>(b.size() - 10)); }},
        {"data past the end", "stored.zip", 1, entering, badArchive, [&](std::string& b) { s.AddBoth(b, 1, 20, 0x7FFF0000); }},
        // Bit 3 allows zero CRC and sizes in the local header; without it they are refused.
        {"zero sizes without bit 3", "streamed.zip", 0, entering, badArchive, [](std::string& b) { b[6] &= ~8; }},
        // Data that is short, altered or ends before its stated size.
        {"stored data shorter than stated", "stored.zip", 1, reading, badArchive, [&](std::string& b) { s.AddBoth(b, 1, 20, -100); }},
        {"deflate data cut short", "deflated.zip", 0, reading, inflateBufferError, [&](std::string& b) { d.AddBoth(b, 0, 20, -5000); }},
        {"stored last byte altered", "stored.zip", 0, closing, checksumMismatch, [&](std::string& b) { b[s.Data(0) + 1023] ^= 0x40; }},
        {"deflate stream one byte short of its size", "deflated.zip", 0, closing, checksumMismatch, [&](std::string& b) { d.AddBoth(b, 0, 24, 1); }},
    };
    for (const auto& [what, archive, entry, stage, cause, edit] : rows) {
        std::optional<CZipUnpacker> z;
        Stage at = opening;
        const std::string path = Edited(archive, edit);
        std::string data;
        auto open = [&, entry = entry] {
            z.emplace(path);
            for (unsigned i = 0; i < entry; ++i) z->GoToNextEntry();
            at = entering;
            z->OpenCurrentEntry();
        };
        const ZipCause got = CauseOf([&] {
            open();
            at = reading;
            data = ReadEntry(*z);
            at = closing;
            z->CloseCurrentEntry();
        });
        EXPECT_EQ(std::pair(at, got), std::pair(stage, cause)) << what;
        char buf[1000];
        if (at == entering) {  // a refused entry is not open
            EXPECT_EQ(CauseOf([&] { z->ReadCurrentEntry(buf, 16); }), badArgument) << what;
            EXPECT_EQ(CauseOf([&] { z->CloseArchive(); }), kNone) << what;
        }
        if (at != closing) continue;
        // An entry that fails its check at the end delivered all it holds. A
        // caller that stops early (a cancel) is not blamed; opened again, the
        // entry starts from its first byte; left open, zlib's memory is freed.
        const std::string sound = ReadAll(DataPath(archive))[entry].data;
        EXPECT_EQ(data.size(), sound.size()) << what;
        open();
        z->ReadCurrentEntry(buf, 1000);
        EXPECT_EQ(CauseOf([&] { z->CloseCurrentEntry(); }), kNone) << what;
        z->OpenCurrentEntry();
        EXPECT_EQ(std::string(buf, z->ReadCurrentEntry(buf, 10)), sound.substr(0, 10)) << what;
    }
}

TEST(ZipUnpacker, CorruptDeflateDataIsReportedNeverDelivered) {
    const Layout l(Data("deflated.zip"));
    const size_t start = l.Data(0), size = Get(l.b, l.Central(0) + 20, 4);
    for (size_t off = 0; off < size; off += 97) {
        const std::string path = Edited("deflated.zip", [&](std::string& b) { b[start + off] ^= 0x5A; });
        const ZipCause cause = CauseOf([&] { ReadAll(path); });
        EXPECT_TRUE(cause == checksumMismatch || cause == inflateDataError || cause == inflateBufferError)
            << "offset " << off << " cause " << ZipCauseName(cause);
    }
}
