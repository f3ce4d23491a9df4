// The medium builder: a built medium passes the check and unpacks, with the
// setup's own readers, into the package's files byte for byte with their
// times; disks respect their size; what cannot be built is refused clearly.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>

#include "app/Profile.h"
#include "engine/PackFile.h"
#include "engine/ParallelDeflate.h"
#include "engine/ZipUnpacker.h"
#include "tools/MediumBuild.h"
#include "tools/MediumCheck.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        std::random_device rd;
        path = fs::temp_directory_path() / ("setupkit-build-" + std::to_string(rd()));
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }
};

void WriteFile(const fs::path& p, const std::string& data) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}
std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
std::string Random(size_t n, unsigned seed) {
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(g());
    return s;
}
std::string Text(size_t n, unsigned seed) {
    static const char* words[] = {"chip ", "socket ", "programmer ", "verify ", "erase ", "0x3FF ", "\r\n"};
    std::mt19937 g(seed);
    std::string s;
    while (s.size() < n) s += words[g() % 7];
    s.resize(n);
    return s;
}
// Sets a file's time to an odd second, so the 2-second rounding shows.
void Stamp(const fs::path& p, int minute) {
    CFile::SetModifiedTime(p.string(), LocalTime{2024, 3, 17, 9, minute, 41});
}

const char* const kPackage =
    "; a package for the tests\n"
    "[Product]\n"
    "Name=Test Programmer\n"
    "Caption=Test Programmer 2.0\n"
    "Folder=C:\\TestProg\n"
    "Program=bin\\Prog.exe\n"
    "OpenFolder=bin\n"
    "ProgrammerType=0\n"
    "LanguageLibrary=Lang\n"
    "[Shortcut]\n"
    "Name=Test Programmer\n"
    "Description=Test\n"
    "Icon=Prog\n"
    "[Languages]\n"
    "English=Default\n"
    "Deutsch=German\n"
    "[Payload]\n"
    "Root=files\n"
    "Pack=data\n"
    "[Folders]\n"
    "logs\n"
    "[Delete]\n"
    "bin\\old.dll\n";

class BuildTest : public ::testing::Test {
protected:
    TempDir dir;
    std::map<std::string, std::string> files;  // installed path ('/') -> data

    void Add(const std::string& rel, const std::string& data, int minute) {
        files[rel] = data;
        fs::path p = dir.path / "pkg" / "files" / rel;
        WriteFile(p, data);
        Stamp(p, minute);
    }
    void SetUp() override {
        WriteFile(dir.path / "pkg" / "package.ini", kPackage);
        Add("bin/Prog.exe", Random(70000, 1), 1);
        Add("bin/Prog.ico", Random(1000, 2), 2);
        Add("bin/German.dll", Random(3000, 3), 3);
        Add("bin/Kr3nt.sys", Text(500, 4), 4);
        Add("readme.txt", Text(20000, 5), 5);
        Add("data/empty.bin", "", 6);
        Add("data/chips/list.txt", Text(300000, 6), 7);
        Add("data/chips/big.bin", Random(80000, 7), 8);
        Add("data/a.txt", Text(1024, 8), 9);
    }
    Package Load() { return LoadPackage((dir.path / "pkg" / "package.ini").string()); }

    // Unpacks every archive of the medium with the setup's ZIP reader and
    // every pack with its pack reader into a tree of (path -> data, time).
    std::map<std::string, uint32_t> attributes;  // of the archives' entries

    std::map<std::string, std::pair<std::string, uint32_t>> Unpack(const BuildResult& r) {
        std::map<std::string, std::pair<std::string, uint32_t>> out;
        const std::string ini = (fs::path(r.diskDirs[0]) / "morlan.ini").string();
        std::map<std::string, std::string> packs;  // "dir/file" -> data
        for (const BuiltArchive& a : r.archives) {
            CZipUnpacker zip((fs::path(r.diskDirs[a.disk - 1]) / (a.name + ".zip")).string());
            EXPECT_EQ(zip.GetEntryCount(), 1u);
            zip.GoToFirstEntry();
            ZipEntryInfo info;
            zip.GetCurrentEntryInfo(&info, nullptr, 0);
            std::vector<char> name(info.nameLength + 1);
            zip.GetCurrentEntryInfo(nullptr, name.data(), static_cast<unsigned>(name.size()));
            EXPECT_EQ(info.method, 8u);
            zip.OpenCurrentEntry();
            std::string data;
            char buf[1024];
            for (unsigned n; (n = zip.ReadCurrentEntry(buf, sizeof buf)) > 0;) data.append(buf, n);
            zip.CloseArchive();
            std::string dirPart = a.dir == "." ? "" : a.dir + "\\";
            std::string path = dirPart + name.data();
            for (char& c : path)
                if (c == '\\') c = '/';
            EXPECT_EQ(info.versionMadeBy >> 8, 0u);  // MS-DOS attributes
            attributes[path] = info.externalAttributes;
            if (a.isPack) packs[path] = data;
            else out[path] = {data, info.dosDateTime};
        }
        char key[8];
        int n = ReadProfileInt(ini.c_str(), "Remove", "Number");
        for (int i = 1; i <= n; ++i) {
            char d[20], f[20], dest[20];
            std::snprintf(key, sizeof key, "Dir%d", i);
            ReadProfileString(ini.c_str(), "Remove", key, d, sizeof d);
            std::snprintf(key, sizeof key, "File%d", i);
            ReadProfileString(ini.c_str(), "Remove", key, f, sizeof f);
            std::snprintf(key, sizeof key, "Dest%d", i);
            ReadProfileString(ini.c_str(), "Remove", key, dest, sizeof dest);
            std::string packPath = std::string(d) + "/" + f;
            EXPECT_TRUE(packs.count(packPath)) << packPath;
            fs::path tmp = dir.path / "pack.tmp";
            WriteFile(tmp, packs[packPath]);
            PackReader reader;
            EXPECT_TRUE(reader.Open(tmp.string().c_str()));
            int count = reader.ReadHeader();
            int records = 0;
            PackRecordInfo rec;
            for (PackReader::Status st; (st = reader.ReadRecordHeader(rec)) != PackReader::end;) {
                EXPECT_EQ(st, PackReader::record);
                if (st != PackReader::record) break;
                std::string body(rec.length, '\0');
                fs::path one = dir.path / "record.tmp";
                {
                    std::FILE* o = std::fopen(one.string().c_str(), "wb");
                    EXPECT_TRUE(reader.CopyData(o, rec.length));
                    std::fclose(o);
                }
                std::string path = std::string(dest) + "/" + rec.name;
                for (char& c : path)
                    if (c == '\\') c = '/';
                out[path] = {ReadFile(one), rec.dosTime};
                ++records;
            }
            EXPECT_EQ(count, records);
        }
        return out;
    }
};

TEST_F(BuildTest, RoundTripOnOneDisk) {
    fs::permissions(dir.path / "pkg" / "files" / "bin" / "Kr3nt.sys", fs::perms::owner_write | fs::perms::group_write |
                    fs::perms::others_write, fs::perm_options::remove);
    Package pkg = Load();
    WriteFile(dir.path / "setup.exe", "MZ setup");
    BuildOptions o;
    o.setupExe = (dir.path / "setup.exe").string();
    BuildResult r = BuildMedium(pkg, (dir.path / "out").string(), o);
    ASSERT_EQ(r.diskCount, 1);
    CheckReport report = CheckMedium({(dir.path / "out").string()});
    for (const CheckFinding& f : report.findings) ADD_FAILURE() << FindingText(f);

    auto tree = Unpack(r);
    ASSERT_EQ(tree.size(), files.size());
    for (const auto& [path, data] : files) {
        ASSERT_TRUE(tree.count(path)) << path;
        EXPECT_EQ(tree[path].first, data) << path;
        // 09:<minute>:41 is stored as :40 (2-second steps, rounded down).
        LocalTime t = DosDateTimeToLocal(tree[path].second);
        LocalTime want;
        CFile::GetModifiedTime((dir.path / "pkg" / "files" / path).string(), want);
        EXPECT_EQ(t.year, 2024);
        EXPECT_EQ(t.hour, want.hour) << path;
        EXPECT_EQ(t.minute, want.minute) << path;
        EXPECT_EQ(t.second, 40) << path;
    }
    EXPECT_EQ(attributes["bin/Prog.exe"], 0x20u);  // archive bit
    EXPECT_EQ(attributes["bin/Kr3nt.sys"], 0x21u);  // and read-only
    const std::string ini = (dir.path / "out" / "disk1" / "morlan.ini").string();
    char v[20];
    ReadProfileString(ini.c_str(), "SubDir", "Dir1", v, sizeof v);
    EXPECT_STREQ(v, "bin");
    ReadProfileString(ini.c_str(), "DelFile", "File1", v, sizeof v);
    EXPECT_STREQ(v, "bin\\old.dll");
    EXPECT_TRUE(fs::exists(dir.path / "out" / "disk1" / "setup.exe"));

    // Building again into the same folder replaces the old medium.
    r = BuildMedium(pkg, (dir.path / "out").string(), o);
    EXPECT_TRUE(CheckMedium({(dir.path / "out").string()}).findings.empty());
    // A disk folder holding something else is not touched.
    WriteFile(dir.path / "out" / "disk1" / "notes.doc", "mine");
    EXPECT_THROW(BuildMedium(pkg, (dir.path / "out").string(), o), PackageError);
    EXPECT_EQ(ReadFile(dir.path / "out" / "disk1" / "notes.doc"), "mine");
}

TEST_F(BuildTest, SmallDisksHoldTheirSizeAndTheMediumChecksClean) {
    Package pkg = Load();
    WriteFile(dir.path / "setup.exe", Random(30000, 9));
    BuildOptions o;
    o.setupExe = (dir.path / "setup.exe").string();
    o.diskSize = 90000;
    o.threads = 2;
    BuildResult r = BuildMedium(pkg, (dir.path / "out").string(), o);
    ASSERT_GE(r.diskCount, 3);
    for (const std::string& d : r.diskDirs) {
        uint64_t bytes = 0;
        for (const auto& e : fs::directory_iterator(d)) bytes += fs::file_size(e.path());
        EXPECT_LE(bytes, o.diskSize) << d;
        EXPECT_GT(bytes, 0u) << d;
    }
    // The big text folder was split into several packs.
    int packs = 0;
    for (const BuiltArchive& a : r.archives) packs += a.isPack;
    EXPECT_GE(packs, 2);
    // Percent values rise to 100 over all disks.
    const std::string ini = (fs::path(r.diskDirs[0]) / "morlan.ini").string();
    EXPECT_EQ(ReadProfileInt(ini.c_str(), "Disk", "Number"), r.diskCount);
    int last = 0;
    for (int d = 1; d <= r.diskCount; ++d) {
        std::string sec = "Disk" + std::to_string(d);
        int k = ReadProfileInt(ini.c_str(), sec.c_str(), "Number");
        EXPECT_GT(k, 0);
        for (int i = 1; i <= k; ++i) {
            int p = ReadProfileInt(ini.c_str(), sec.c_str(), ("Percent" + std::to_string(i)).c_str());
            EXPECT_GE(p, last);
            last = p;
        }
    }
    EXPECT_EQ(last, 100);
    CheckReport report = CheckMedium(r.diskDirs);
    for (const CheckFinding& f : report.findings) ADD_FAILURE() << FindingText(f);
    auto tree = Unpack(r);
    for (const auto& [path, data] : files) EXPECT_EQ(tree[path].first, data) << path;
}

TEST_F(BuildTest, ProgramAndLibrariesMayTravelInAPack) {
    std::string ini = kPackage;
    ini.replace(ini.find("Pack=data"), 9, "Pack=data\nPack=bin");
    WriteFile(dir.path / "pkg" / "package.ini", ini);
    BuildResult r = BuildMedium(Load(), (dir.path / "out").string(), BuildOptions{});
    int packs = 0;
    for (const BuiltArchive& a : r.archives) packs += a.isPack;
    EXPECT_EQ(packs, 2);
    // Both the full check and the quick one that build runs (which cannot
    // see inside the packs) pass.
    for (bool full : {true, false}) {
        CheckOptions co;
        co.readArchiveData = full;
        co.expectSetupExe = false;
        for (const CheckFinding& f : CheckMedium({(dir.path / "out").string()}, co).findings)
            ADD_FAILURE() << (full ? "full: " : "quick: ") << FindingText(f);
    }
    auto tree = Unpack(r);
    EXPECT_TRUE(tree["bin/Prog.exe"].first == files["bin/Prog.exe"]);
}

TEST_F(BuildTest, RefusesWhatTheSetupCannotInstall) {
    // A file whose archive is larger than a disk.
    Add("bin/huge.dat", Random(200000, 10), 11);
    BuildOptions o;
    o.diskSize = 120000;
    try {
        BuildMedium(Load(), (dir.path / "out").string(), o);
        ADD_FAILURE() << "built a medium with a file larger than a disk";
    } catch (const PackageError& e) {
        EXPECT_NE(std::string(e.what()).find("\"bin\\huge.dat\" (200000 bytes) does not fit on a disk"), std::string::npos)
            << e.what();
    }
    fs::remove(dir.path / "pkg" / "files" / "bin" / "huge.dat");

    // A folder name the setup cannot create ([SubDir] holds 19 characters).
    Add("a-folder-of-twenty12/x.txt", "x", 12);
    try {
        BuildMedium(Load(), (dir.path / "out").string(), BuildOptions{});
        ADD_FAILURE() << "built a medium with a 20-character folder";
    } catch (const PackageError& e) {
        EXPECT_NE(std::string(e.what()).find("a-folder-of-twenty12\" has 20 characters"), std::string::npos) << e.what();
    }
    fs::remove_all(dir.path / "pkg" / "files" / "a-folder-of-twenty12");

#ifndef _WIN32
    // Names that differ only in case are one file on Windows (where the
    // package cannot even hold both).
    Add("bin/prog.EXE", "x", 13);
    EXPECT_THROW(Load(), PackageError);
    fs::remove(dir.path / "pkg" / "files" / "bin" / "prog.EXE");
#endif

    // What the later steps need must be in the payload.
    fs::remove(dir.path / "pkg" / "files" / "bin" / "Kr3nt.sys");
    try {
        Load();
        ADD_FAILURE() << "accepted type 0 without the kernel driver";
    } catch (const PackageError& e) {
        EXPECT_NE(std::string(e.what()).find("package.ini:8: ProgrammerType 0 needs"), std::string::npos) << e.what();
    }
}

// Two builds of a package whose files keep their times give the same medium,
// file for file and time for time, whatever the clock and the thread count:
// a pack entry takes its newest file's time, the medium's files the newest
// input's (here package.ini), or both the given source date.
TEST_F(BuildTest, AnUnchangedPackageBuildsTheSameMedium) {
    Stamp(dir.path / "pkg" / "package.ini", 30);
    WriteFile(dir.path / "pkg" / "setup.exe", "MZ setup");
    Stamp(dir.path / "pkg" / "setup.exe", 20);
    // A copy of the package that keeps the files' times.
    for (const auto& e : fs::recursive_directory_iterator(dir.path / "pkg")) {
        const fs::path to = dir.path / "copy" / e.path().lexically_relative(dir.path / "pkg");
        if (!e.is_regular_file()) continue;
        WriteFile(to, ReadFile(e.path()));
        LocalTime t;
        ASSERT_TRUE(CFile::GetModifiedTime(e.path().string(), t));
        CFile::SetModifiedTime(to.string(), t);
    }
    auto build = [&](const char* pkg, const char* out, unsigned threads, std::optional<LocalTime> date = {}) {
        BuildOptions o;
        o.threads = threads;
        o.sourceDate = date;
        o.setupExe = (dir.path / pkg / "setup.exe").string();
        return BuildMedium(LoadPackage((dir.path / pkg / "package.ini").string()), (dir.path / out).string(), o);
    };
    auto timeOf = [](const fs::path& p) {
        LocalTime t;
        EXPECT_TRUE(CFile::GetModifiedTime(p.string(), t)) << p;
        return DosDateTimeToLocal(pack::LocalToDosTime(t));  // comparable as a DOS time
    };
    auto entryTime = [&](const BuildResult& r, bool pack) {
        for (const BuiltArchive& a : r.archives)
            if (a.isPack == pack) {
                CZipUnpacker zip((fs::path(r.diskDirs[a.disk - 1]) / (a.name + ".zip")).string());
                ZipEntryInfo info;
                zip.GetCurrentEntryInfo(&info, nullptr, 0);
                return info.dosDateTime;
            }
        ADD_FAILURE() << "no archive of that kind";
        return 0u;
    };
    const BuildResult a = build("pkg", "a", 1);
    const BuildResult b = build("copy", "b", 3);
    for (const auto& e : fs::recursive_directory_iterator(dir.path / "a")) {
        const fs::path other = dir.path / "b" / e.path().lexically_relative(dir.path / "a");
        ASSERT_TRUE(fs::exists(other)) << other;
        if (e.is_regular_file()) {
            EXPECT_TRUE(ReadFile(e.path()) == ReadFile(other)) << other;
        }
        EXPECT_EQ(pack::LocalToDosTime(timeOf(e.path())), pack::LocalToDosTime(timeOf(other))) << other;
    }
    EXPECT_EQ(a.archives.size(), b.archives.size());
    // data/a.txt, stamped 09:09:41, is the newest file of the pack.
    EXPECT_EQ(entryTime(a, true), pack::LocalToDosTime(LocalTime{2024, 3, 17, 9, 9, 41}));
    EXPECT_EQ(timeOf(dir.path / "a" / "disk1" / "morlan.ini").minute, 30);

    const LocalTime date{2031, 5, 6, 7, 8, 10};
    const BuildResult c = build("pkg", "c", 2, date);
    EXPECT_EQ(entryTime(c, true), pack::LocalToDosTime(date));
    EXPECT_EQ(entryTime(c, false), entryTime(a, false));  // a file keeps its own time
    for (const char* p : {"disk1", "disk1/morlan.ini", "disk1/setup.exe"})
        EXPECT_EQ(pack::LocalToDosTime(timeOf(dir.path / "c" / p)), pack::LocalToDosTime(date)) << p;
}

// Random packages (folder trees, file sizes and kinds, pack folders, disk
// sizes): every medium that the builder writes passes the full check and
// unpacks into the package.
TEST_F(BuildTest, RandomPackagesBuildIntoCleanMedia) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 g(seed);
        fs::remove_all(dir.path / "pkg" / "files");
        files.clear();
        Add("bin/Prog.exe", Random(2000 + g() % 30000, seed), 1);
        Add("bin/Prog.ico", Random(500, seed + 1), 2);
        Add("bin/German.dll", Text(5000, seed + 2), 3);
        Add("bin/Kr3nt.sys", Text(100, seed + 3), 4);
        const char* folders[] = {"data", "data/a", "data/a/b", "data/c", "docs", "bin/sub"};
        int n = 5 + static_cast<int>(g() % 30);
        for (int i = 0; i < n; ++i) {
            std::string name = std::string(folders[g() % 6]) + "/f" + std::to_string(i) + (g() % 2 ? ".txt" : ".BIN");
            size_t size = g() % 4 == 0 ? 0 : g() % 40000;
            Add(name, g() % 2 ? Text(size, seed * 100 + i) : Random(size, seed * 100 + i), static_cast<int>(g() % 60));
        }
        BuildOptions o;
        o.diskSize = 50000 + g() % 200000;
        o.threads = 1 + g() % 3;
        WriteFile(dir.path / "setup.exe", Random(g() % 20000, seed));
        o.setupExe = (dir.path / "setup.exe").string();
        BuildResult r = BuildMedium(Load(), (dir.path / "out").string(), o);
        CheckReport report = CheckMedium(r.diskDirs);
        for (const CheckFinding& f : report.findings) ADD_FAILURE() << "seed " << seed << ": " << FindingText(f);
        for (const std::string& d : r.diskDirs) {
            uint64_t bytes = 0;
            for (const auto& e : fs::directory_iterator(d)) bytes += fs::file_size(e.path());
            EXPECT_LE(bytes, o.diskSize) << "seed " << seed << " " << d;
        }
        auto tree = Unpack(r);
        EXPECT_EQ(tree.size(), files.size()) << "seed " << seed;
        for (const auto& [path, data] : files) EXPECT_TRUE(tree[path].first == data) << "seed " << seed << " " << path;
    }
}

TEST(DiskSize, ParsesSuffixesAndNames) {
    uint64_t b = 0;
    std::string err;
    EXPECT_TRUE(ParseDiskSize("1440K", b, err));
    EXPECT_EQ(b, 1474560u);
    EXPECT_TRUE(ParseDiskSize("1.5M", b, err));
    EXPECT_EQ(b, 1572864u);
    EXPECT_TRUE(ParseDiskSize("floppy", b, err));
    EXPECT_EQ(b, 1457664u);
    EXPECT_TRUE(ParseDiskSize("cd", b, err));
    EXPECT_EQ(b, 650u * 1024 * 1024);
    EXPECT_TRUE(ParseDiskSize("8G", b, err));
    EXPECT_LT(b, 4294967296u);  // archives hold 32-bit offsets
    for (const char* bad : {"", "12x", "-5M", "16000", "M"}) EXPECT_FALSE(ParseDiskSize(bad, b, err)) << bad;
}

// Collects a deflated stream and inflates it back.
struct Collect : IDeflateSink {
    std::string out;
    uint32_t crc = 0;
    uint64_t size = 0;
    bool ended = false;
    void OnCompressed(const void* d, size_t n) override { out.append(static_cast<const char*>(d), n); }
    void OnStreamEnd(uint32_t c, uint64_t s) override {
        crc = c;
        size = s;
        ended = true;
    }
    std::string Inflate() const {
        z_stream z{};
        EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
        std::string result(size + 1, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(out.data()));
        z.avail_in = static_cast<uInt>(out.size());
        z.next_out = reinterpret_cast<Bytef*>(result.data());
        z.avail_out = static_cast<uInt>(result.size());
        EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
        EXPECT_EQ(z.avail_in, 0u);  // nothing after the final block
        result.resize(z.total_out);
        inflateEnd(&z);
        return result;
    }
};

TEST(ParallelDeflate, BlocksJoinIntoOneStreamWithTheRightCrc) {
    // Streams that end exactly on, just before and after block boundaries,
    // an empty one, and one larger than a batch, on 1 and 3 threads.
    const size_t block = 64 * 1024;
    std::vector<std::string> inputs = {Text(block, 1), "", Text(block - 1, 2), Random(block + 1, 3),
                                       Text(9 * block + 123, 4), Random(10, 5)};
    std::vector<std::string> firstRun;
    for (unsigned threads : {1u, 3u}) {
        CParallelDeflater d(6, threads, block);
        std::vector<Collect> sinks(inputs.size());
        for (size_t i = 0; i < inputs.size(); ++i) {
            d.BeginStream(&sinks[i]);
            // Written in uneven pieces.
            for (size_t at = 0; at < inputs[i].size(); at += 7777)
                d.Write(inputs[i].data() + at, std::min<size_t>(7777, inputs[i].size() - at));
            d.EndStream();
        }
        d.Flush();
        for (size_t i = 0; i < inputs.size(); ++i) {
            ASSERT_TRUE(sinks[i].ended) << i;
            EXPECT_EQ(sinks[i].size, inputs[i].size());
            EXPECT_EQ(sinks[i].crc, crc32(0, reinterpret_cast<const Bytef*>(inputs[i].data()), static_cast<uInt>(inputs[i].size())));
            EXPECT_TRUE(sinks[i].Inflate() == inputs[i]) << "stream " << i << ", " << threads << " threads";
        }
        // The dictionary carries over block boundaries: repetitive text
        // compresses about as well as in one piece.
        EXPECT_LT(sinks[4].out.size(), inputs[4].size() / 3);
        // The output depends on the input alone, not on the threads.
        for (size_t i = 0; i < inputs.size(); ++i) {
            if (firstRun.size() < inputs.size()) firstRun.push_back(sinks[i].out);
            else EXPECT_TRUE(sinks[i].out == firstRun[i]) << "stream " << i << ", " << threads << " threads";
        }
    }
}

}  // namespace
