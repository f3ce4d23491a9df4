// The medium builder: a built medium checks clean, keeps its disk size and
// unpacks with the setup's readers into the package; builds are repeatable.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "common/TestFiles.h"
#include "config/Profile.h"
#include "engine/PackFile.h"
#include "engine/ZipUnpacker.h"
#include "setupkit/lib/MediumBuild.h"
#include "setupkit/lib/MediumCheck.h"
#include "setupkit/lib/PackWriter.h"
#include "setupkit/lib/ZipWriter.h"

using namespace testfs;

namespace {

std::string Text(size_t n, unsigned seed) {
    static const char* words[] = {"chip ", "socket ", "programmer ", "verify ", "erase ", "0x3FF ", "\r\n"};
    std::mt19937 g(seed);
    std::string s;
    while (s.size() < n) s += words[g() % 7];
    return s.substr(0, n);
}
uint32_t DosTimeOf(const fs::path& p) {
    LocalTime t;
    EXPECT_TRUE(CFile::GetModifiedTime(p.string(), t)) << p;
    return pack::LocalToDosTime(t);
}
void Write(const fs::path& p, const std::string& data, const LocalTime* time = nullptr) {
    fs::create_directories(p.parent_path());
    WriteBytes(p.string(), data);
    if (time) CFile::SetModifiedTime(p.string(), *time);
}
std::string Slashes(std::string s) {
    for (char& c : s) c = c == '\\' ? '/' : c;
    return s;
}

struct Unpacked {
    std::string data;
    uint32_t dosTime;
};

class BuildTest : public ::testing::Test {
protected:
    TempDir dir;
    std::map<std::string, std::string> files;  // installed path ('/') -> data

    // Times on an odd second show the 2-second rounding.
    void Add(const std::string& rel, const std::string& data, int minute) {
        files[rel] = data;
        const LocalTime t{2024, 3, 17, 9, minute, 41};
        Write(dir.path / "pkg/files" / rel, data, &t);
    }
    void SetUp() override {
        Write(dir.path / "pkg/package.ini", ReadBytes(TestData("build/package.ini")));
        Write(dir.path / "pkg/setup.exe", Random(30000, 9));
        int minute = 0;
        for (auto [rel, data] : {std::pair{"bin/Prog.exe", Random(70000, 1)}, {"bin/Prog.ico", Random(1000, 2)},
                                 {"bin/German.dll", Random(3000, 3)}, {"bin/Kr3nt.sys", Text(500, 4)},
                                 {"readme.txt", Text(20000, 5)}, {"data/empty.bin", ""},
                                 {"data/chips/list.txt", Text(300000, 6)}, {"data/chips/big.bin", Random(80000, 7)},
                                 {"data/a.txt", Text(1024, 8)}})
            Add(rel, data, ++minute);
    }
    static BuildOptions Options(unsigned threads, uint64_t diskSize = BuildOptions().diskSize) {
        BuildOptions o;
        o.threads = threads;
        o.diskSize = diskSize;
        return o;
    }
    BuildResult Build(BuildOptions o = {}, const char* out = "out", const char* pkg = "pkg") {
        o.setupExe = (dir.path / pkg / "setup.exe").string();
        return BuildMedium(LoadPackage((dir.path / pkg / "package.ini").string()), (dir.path / out).string(), o);
    }
    // Installed path -> data and time, through the setup's ZIP and pack readers.
    std::map<std::string, Unpacked> Unpack(const BuildResult& r) {
        std::map<std::string, Unpacked> out, packs;
        for (const BuiltArchive& a : r.archives) {
            CZipUnpacker zip((fs::path(r.diskDirs[a.disk - 1]) / (a.name + ".zip")).string());
            ZipEntryInfo info;
            char name[200], buf[1024];
            zip.GetCurrentEntryInfo(&info, name, sizeof name);
            EXPECT_EQ(std::pair(info.method, info.versionMadeBy >> 8), std::pair(8u, 0u));  // deflated, MS-DOS attributes
            zip.OpenCurrentEntry();
            std::string data;
            for (unsigned n; (n = zip.ReadCurrentEntry(buf, sizeof buf)) > 0;) data.append(buf, n);
            zip.CloseArchive();
            (a.isPack ? packs : out)[Slashes((a.dir == "." ? "" : a.dir + "\\") + name)] = {data, info.dosDateTime};
        }
        const std::string ini = (fs::path(r.diskDirs[0]) / "morlan.ini").string();
        for (int i = 1, n = ReadProfileInt(ini.c_str(), "Remove", "Number"); i <= n; ++i) {
            char d[20], f[20], dest[20];
            for (auto [key, buf] : {std::pair{"Dir", d}, {"File", f}, {"Dest", dest}})
                ReadProfileString(ini.c_str(), "Remove", (key + std::to_string(i)).c_str(), buf, sizeof d);
            auto under = [](const std::string& folder, const std::string& name) {
                return Slashes(folder == "." || folder.empty() ? name : folder + "\\" + name);
            };
            WriteBytes(dir / "pack.tmp", packs[under(d, f)].data);
            CPackReader reader;
            EXPECT_TRUE(reader.Open((dir / "pack.tmp").c_str()));
            reader.ReadHeader();  // the check compares the count with the records
            PackRecordInfo rec;
            CPackReader::Status st;
            while ((st = reader.ReadRecordHeader(rec)) == CPackReader::record) {
                std::FILE* o = std::fopen((dir / "record.tmp").c_str(), "wb");
                EXPECT_TRUE(reader.CopyData(o, rec.length));
                std::fclose(o);
                out[under(dest, rec.name)] = {ReadBytes(dir / "record.tmp"), rec.dosTime};
            }
            EXPECT_EQ(st, CPackReader::end) << "damaged pack " << f;
        }
        return out;
    }
    // Checks clean (full and quick), every disk fits, every file comes back with its bytes and time.
    void ExpectSound(const BuildResult& r, uint64_t diskSize) {
        for (bool full : {true, false})
            for (const CheckFinding& f : CheckMedium(r.diskDirs, CheckOptions{full, true}).findings) ADD_FAILURE() << FindingText(f);
        for (const std::string& d : r.diskDirs) {
            uint64_t bytes = 0;
            for (const auto& e : fs::directory_iterator(d)) bytes += fs::file_size(e.path());
            EXPECT_TRUE(bytes > 0 && bytes <= diskSize) << d << ": " << bytes;
        }
        auto tree = Unpack(r);
        EXPECT_EQ(tree.size(), files.size());
        for (const auto& [path, data] : files) {
            EXPECT_TRUE(tree[path].data == data) << path;
            EXPECT_EQ(tree[path].dosTime, DosTimeOf(dir.path / "pkg/files" / path)) << path;
        }
    }
};

// Small disks split the big folder into packs. Building again replaces the
// medium, but not a disk folder holding other files.
TEST_F(BuildTest, RoundTripOnSmallDisks) {
    const BuildOptions o = Options(2, 90000);
    BuildResult r = Build(o);
    ASSERT_GE(r.diskCount, 3);
    EXPECT_EQ(ReadBytes((fs::path(r.diskDirs[0]) / "setup.exe").string()), ReadBytes(dir / "pkg/setup.exe"));
    ExpectSound(r, o.diskSize);

    ExpectSound(Build(o), o.diskSize);
    Write(dir.path / "out/disk1/notes.doc", "mine");
    EXPECT_THROW(Build(o), PackageError);
    EXPECT_EQ(ReadBytes(dir / "out/disk1/notes.doc"), "mine");
    // On a disk that holds it all, one archive: a single pack carries every
    // file, whatever Pack= lists (the quick check is blind inside packs);
    // files over the 1 MB deflate blocks, joined on one thread, the last one full or not.
    std::string package = ReadBytes(TestData("build/package.ini"));
    Write(dir.path / "pkg/package.ini", package.replace(package.find("Pack=data"), 9, "Pack=data\nPack=bin"));
    Add("big.txt", Text(3 << 20, 11), 20);
    Add("big.bin", Random((1 << 20) + 1, 12), 21);
    fs::remove_all(dir.path / "out");
    r = Build(Options(1));
    ASSERT_EQ(r.archives.size(), 1u);
    EXPECT_TRUE(r.archives[0].isPack);
    ExpectSound(r, UINT64_MAX);
}

TEST_F(BuildTest, RefusesWhatTheSetupCannotInstall) {
    const std::tuple<std::function<void()>, std::string, uint64_t> cases[] = {  // edit, message, disk size
        {[&] { Add("bin/huge.dat", Random(200000, 10), 11); }, "\"bin\\huge.dat\" (200000 bytes) does not fit on a disk", 120000},
        {[&] { Add("a-folder-of-twenty12/x.txt", "x", 12); }, "a-folder-of-twenty12\" has 20 characters", 0},  // [SubDir] holds 19
        {[&] { fs::remove(dir.path / "pkg/files/bin/Kr3nt.sys"); }, "package.ini:8: ProgrammerType 0 needs", 0},
#ifndef _WIN32
        {[&] { Add("bin/prog.EXE", "x", 13); }, "", 0},  // names that differ only in case (one file on Windows)
#endif
    };
    for (const auto& [edit, message, diskSize] : cases) {
        fs::remove_all(dir.path / "pkg/files");
        SetUp();
        edit();
        BuildOptions o;
        o.diskSize = diskSize ? diskSize : o.diskSize;
        std::string refused;
        try { Build(o); } catch (const PackageError& e) { refused = e.what(); }
        EXPECT_TRUE(!refused.empty() && refused.find(message) != std::string::npos) << message << ": " << refused;
    }
}

// A read-only file travels in an archive of its own, which carries the
// attribute; every other file shares the one pack. A list of Default
// languages needs no LanguageLibrary; a library does, on its own line.
TEST_F(BuildTest, ReadOnlyFilesTravelAloneAndDefaultLanguagesNeedNoLibrary) {
    fs::permissions(dir.path / "pkg/files/bin/Prog.exe", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    std::string package = ReadBytes(TestData("build/package.ini"));
    package.erase(package.find("LanguageLibrary=Lang\n"), 21);
    Write(dir.path / "pkg/package.ini", package);
    std::string refused;
    try { Build(); } catch (const PackageError& e) { refused = e.what(); }
    EXPECT_NE(refused.find("package.ini:15: [Product] LanguageLibrary is needed: language \"Deutsch\""), std::string::npos) << refused;
    package.replace(package.find("Deutsch=German"), 14, "Deutsch=Default");
    Write(dir.path / "pkg/package.ini", package);
    const BuildResult r = Build();
    ASSERT_EQ(r.archives.size(), 2u);
    EXPECT_FALSE(r.archives[0].isPack);
    EXPECT_EQ(r.archives[0].files, std::vector<std::string>{"bin\\Prog.exe"});
    EXPECT_TRUE(r.archives[1].isPack);
    EXPECT_EQ(r.archives[1].files.size(), files.size() - 1);
    CZipUnpacker zip((fs::path(r.diskDirs[0]) / (r.archives[0].name + ".zip")).string());
    ZipEntryInfo info;
    zip.GetCurrentEntryInfo(&info, nullptr, 0);
    EXPECT_EQ(info.externalAttributes & kZipAttrReadOnly, kZipAttrReadOnly);
    ExpectSound(r, BuildOptions().diskSize);
}

// Two builds of an unchanged package (a copy, 1 and 3 threads) are equal file for file and time
// for time; the medium's files have the newest input's time (package.ini's).
TEST_F(BuildTest, AnUnchangedPackageBuildsTheSameMedium) {
    Add("big.txt", Text((3 << 20) + 1, 11), 20);  // more blocks than a batch on one thread
    CFile::SetModifiedTime((dir / "pkg/package.ini"), LocalTime{2024, 3, 17, 9, 30, 41});
    CFile::SetModifiedTime((dir / "pkg/setup.exe"), LocalTime{2024, 3, 17, 9, 20, 41});
    for (const auto& e : fs::recursive_directory_iterator(dir.path / "pkg"))  // a copy that keeps the times
        if (LocalTime t; e.is_regular_file() && CFile::GetModifiedTime(e.path().string(), t))
            Write(dir.path / "copy" / e.path().lexically_relative(dir.path / "pkg"), ReadBytes(e.path().string()), &t);
    const BuildResult a = Build(Options(1), "a");
    const BuildResult b = Build(Options(3), "b", "copy");
    for (const auto& e : fs::recursive_directory_iterator(dir.path / "a")) {
        const fs::path other = dir.path / "b" / e.path().lexically_relative(dir.path / "a");
        EXPECT_TRUE(fs::is_directory(other) || ReadBytes(e.path().string()) == ReadBytes(other.string())) << other;
        EXPECT_EQ(DosTimeOf(e.path()), DosTimeOf(other)) << other;
    }
    EXPECT_EQ(DosTimeOf(dir.path / "a/disk1/morlan.ini"), DosTime(2024, 3, 17, 9, 30, 40));
}

// Random trees, sizes, disk sizes and threads: every medium is sound.
TEST_F(BuildTest, RandomPackagesBuildIntoCleanMedia) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 g(seed);
        fs::remove_all(dir.path / "pkg/files");
        files.clear();
        Add("bin/Prog.exe", Random(2000 + g() % 30000, seed), 1);
        Add("bin/Prog.ico", Random(500, seed + 1), 2);
        Add("bin/German.dll", Text(5000, seed + 2), 3);
        Add("bin/Kr3nt.sys", Text(100, seed + 3), 4);
        const char* folders[] = {"data", "data/a", "data/a/b", "data/c", "docs", "bin/sub"};
        for (int i = 0, n = 5 + static_cast<int>(g() % 30); i < n; ++i) {
            const std::string name = std::string(folders[g() % 6]) + "/f" + std::to_string(i) + (g() % 2 ? ".txt" : ".BIN");
            const size_t size = g() % 4 == 0 ? 0 : g() % 40000;
            Add(name, g() % 2 ? Text(size, seed * 100 + i) : Random(size, seed * 100 + i), static_cast<int>(g() % 60));
        }
        const uint64_t diskSize = 50000 + g() % 200000;  // drawn before the threads
        const BuildOptions o = Options(1 + g() % 3, diskSize);
        Write(dir.path / "pkg/setup.exe", Random(g() % 20000, seed));
        ExpectSound(Build(o), o.diskSize);
    }
}

TEST(DiskSize, ParsesSuffixesAndNames) {
    uint64_t b = 0;
    std::string err;
    for (auto [text, bytes] : {std::pair{"1.5M", 1572864ull}, {"floppy", 1457664ull}, {"cd", 650ull * 1024 * 1024}})
        EXPECT_TRUE(ParseDiskSize(text, b, err) && b == bytes) << text << " " << b;
    EXPECT_TRUE(ParseDiskSize("8G", b, err) && b < 4294967296u);  // archives hold 32-bit offsets
    for (const char* bad : {"", "12x", "-5M", "16000", "M"}) EXPECT_FALSE(ParseDiskSize(bad, b, err)) << bad;
}

}  // namespace
