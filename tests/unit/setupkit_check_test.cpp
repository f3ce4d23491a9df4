// The medium check: a clean medium gives no finding; each defect is found on its line.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>

#include "common/TestFiles.h"
#include "setupkit/lib/MediumCheck.h"
#include "setupkit/lib/ZipWriter.h"

using namespace testfs;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

void WriteZip(const fs::path& p, const Entries& entries, uint32_t attributes = kZipAttrArchive) {
    CZipWriter zip(p.string());
    for (const auto& [name, data] : entries) {
        zip.BeginEntry({name, DosTime(2026, 5, 17, 12, 30, 20), attributes, 0});  // stored
        zip.WriteData(data.data(), data.size());
        zip.EndEntry(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()))), data.size());
    }
    zip.Finish();
}
std::string Pack(const Entries& records, int count = -1) {
    std::string s = PackHeader(count < 0 ? static_cast<int>(records.size()) : count);
    for (const auto& [name, data] : records) s += PackRecord(name, data, 0x5A916000u);
    return s;
}

// A clean medium (tests/data/check): four one-file archives on disk 1 (three
// of them read-only, so that they need archives of their own), a pack on disk 2.
class CheckTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path disk1 = dir.path / "disk1", disk2 = dir.path / "disk2";
    std::string ini;

    void SetUp() override {
        fs::remove_all(disk1);
        fs::remove_all(disk2);
        fs::create_directories(disk1);
        fs::create_directories(disk2);
        WriteBytes((disk1 / "setup.exe").string(), "MZ");
        for (auto [file, entry, data] : {std::tuple{"prog.zip", "Demo.exe", "program"}, {"german.zip", "German.dll", "library"},
                                         {"icon.zip", "Demo.ico", "icon"}, {"driver.zip", "Kr3nt.sys", "stand-in"}})
            WriteZip(disk1 / file, {{entry, data}}, kZipAttrArchive | (std::string(file) == "icon.zip" ? 0u : uint32_t{kZipAttrReadOnly}));
        WritePack({{"index.txt", "help"}, {"en\\start.txt", "start"}});
        ini = ReadBytes(TestData("check/morlan.ini"));
    }
    void WritePack(const Entries& records, int count = -1) { WriteZip(disk2 / "help.zip", {{"help.pak", Pack(records, count)}}); }
    CheckReport Run() {
        WriteBytes((disk1 / "morlan.ini").string(), ini);
        return CheckMedium({disk1.string(), disk2.string()});
    }
    void Replace(const std::string& from, const std::string& to) {
        ASSERT_NE(ini.find(from), std::string::npos) << from;
        ini.replace(ini.find(from), from.size(), to);
    }
    int LineOf(const std::string& text, int nth = 1) const {
        size_t at = std::string::npos;
        for (int i = 0; i < nth; ++i) at = ini.find(text, at == std::string::npos ? 0 : at + 1);
        return at == std::string::npos ? -1 : 1 + static_cast<int>(std::count(ini.begin(), ini.begin() + static_cast<long>(at), '\n'));
    }
    static std::string Dump(const CheckReport& r) {
        std::string s;
        for (const CheckFinding& f : r.findings) s += FindingText(f) + "\n";
        return s;
    }
    // How many findings (-1: any), one with this severity on the line where
    // the nth `at` starts, holding `words`.
    void Expect(int count, bool error, const std::string& at, int nth, const std::string& words) {
        const CheckReport r = Run();
        const int line = LineOf(at, nth);
        SCOPED_TRACE(words + "\n" + Dump(r));
        EXPECT_TRUE(count < 0 || static_cast<int>(r.findings.size()) == count);
        EXPECT_TRUE(count == 0 || std::any_of(r.findings.begin(), r.findings.end(), [&](const CheckFinding& f) {
            return f.error == error && f.line == line && f.message.find(words) != std::string::npos;
        }));
    }
};

TEST_F(CheckTest, CleanMediumHasNoFinding) {
    EXPECT_EQ(Dump(Run()), "");
    // As one folder holding everything, and as a build's output folder.
    for (const auto& e : fs::directory_iterator(disk2)) fs::copy_file(e.path(), disk1 / e.path().filename());
    EXPECT_EQ(Dump(CheckMedium({disk1.string()})), "");
    fs::remove(disk1 / "help.zip");
    EXPECT_EQ(Dump(CheckMedium({dir.path.string()})), "");
}

// Five archives make the setup wait 7 s; two of them hold plain files that
// a pack could carry, so the check says how to shorten the wait.
TEST_F(CheckTest, ArchivesOfPlainFilesThatMakeTheSetupWaitAreReported) {
    WriteZip(disk1 / "prog.zip", {{"Demo.exe", "program"}});
    const CheckReport r = Run();
    ASSERT_EQ(r.findings.size(), 1u) << Dump(r);
    EXPECT_FALSE(r.findings[0].error);
    EXPECT_EQ(r.findings[0].line, LineOf("[Disk]") + 1);
    EXPECT_NE(r.findings[0].message.find("waits 7 s for the 5 archives"), std::string::npos);
    EXPECT_NE(r.findings[0].message.find("pack files"), std::string::npos);
}

// Each defect of morlan.ini (tests/data/check/defects.txt) is found on its line.
TEST_F(CheckTest, EachDefectOfTheConfigurationIsFoundOnItsLine) {
    for (const auto& row : DataRows("check/defects.txt")) {  // count|severity|at|nth|words|from|to[|from|to...]
        SetUp();
        for (size_t i = 5; i + 1 < row.size(); i += 2) Replace(row[i], row[i + 1]);
        Expect(std::stoi(row[0]), row[1] == "error", row[2], std::stoi(row[3]), row[4]);
    }
}

// Each defect of the archives and packs is found on the line that names them.
TEST_F(CheckTest, EachDefectOfTheArchivesIsFoundOnItsLine) {
    auto german = [&](Entries entries) { return [=, this] { WriteZip(disk1 / "german.zip", entries, kZipAttrArchive | kZipAttrReadOnly); }; };
    auto pack = [&](Entries records, int count = -1) { return [=, this] { WritePack(records, count); }; };
    auto renamed = [&](std::string name) {
        return [=, this] {
            fs::rename(disk1 / "german.zip", disk1 / "german6789012345678.zip");
            Replace("File2=german", "File2=" + name);
        };
    };
    const bool error = true, warning = false;
    const std::tuple<int, bool, std::string, std::string, std::function<void()>> rows[] = {  // as in Expect, and the edit
        // Missing (so the language library is not installed), on another disk, not one entry, refused, damaged.
        {2, error, "File2=german", "german.zip is missing from disk 1", [&] { fs::remove(disk1 / "german.zip"); }},
        {-1, error, "File2=german", "(it is on disk 2)", [&] { fs::rename(disk1 / "german.zip", disk2 / "german.zip"); }},
        {1, error, "File2=german", "holds 2 entries", german({{"German.dll", "library"}, {"extra.txt", "x"}})},
        {-1, error, "File2=german", "would be refused", german({{"..\\German.dll", "library"}})},
        {-1, error, "File2=german", "reserved device name", german({{"Lpt1.dll", "library"}})},
        {-1, error, "File2=german", "cannot be unpacked", [&] { WriteBytes((disk1 / "german.zip").string(), "just text"); }},
        {1, error, "File2=german", "cannot be unpacked", [&] {  // the first data byte, after header and name
             WriteBytes((disk1 / "german.zip").string(), ReadBytes((disk1 / "german.zip").string()).replace(30 + 10, 1, "L"));
         }},
        // An archive name of 19 characters fits; 20 are cut to another (existing) name.
        {0, error, "", "", renamed("german6789012345678")},
        {1, error, "File2=german6789", "cuts it to \"german6789012345678\"", renamed("german67890123456789")},
        // Pack records: names too long, refused, in a folder not created; a pack cut short or miscounted.
        {1, error, "File1=help.pak", "over 79 bytes", pack({{std::string(80, 'a'), "x"}})},
        {0, error, "", "", pack({{std::string(79, 'a'), "x"}})},
        {1, error, "File1=help.pak", "would be refused", pack({{"..\\..\\Windows\\evil.dll", "x"}})},
        {-1, error, "File1=help.pak", "reserved device name", pack({{"index.txt", "help"}, {"en\\nul.txt", "start"}})},
        {1, error, "File1=help.pak", "help\\de", pack({{"de\\start.txt", "x"}})},
        {1, error, "File1=help.pak", "ends inside", [&] {
             std::string p = Pack({{"index.txt", "help text"}});
             WriteZip(disk2 / "help.zip", {{"help.pak", p.substr(0, p.size() - 3)}});
         }},
        {1, warning, "File1=help.pak", "counts 5 records but it holds 1", pack({{"index.txt", "help"}}, 5)},
        {1, error, "Type=0", "bin\\Kr3nt.sys", [&] { WriteZip(disk1 / "driver.zip", {{"Kr3nt.old", "stand-in"}}, kZipAttrArchive | kZipAttrReadOnly); }},
    };
    for (const auto& [count, error, at, words, edit] : rows) {
        SetUp();
        edit();
        Expect(count, error, at, 1, words);
    }
}

// A pack record's path as the setup builds it (default folder, pack
// destination, name) may have 259 characters; with 260 the check says what
// the setup will say.
TEST_F(CheckTest, RecordPathsUpTo259CharactersInstall) {
    const std::string folder = "C:\\" + std::string(176, 'D');  // 179 characters, as long as [Dir] Dest reads
    for (size_t length : {74u, 75u}) {  // + "\\help\\" + name: 259 and 260 characters
        SetUp();
        Replace("Dest=C:\\Demo", "Dest=" + folder);
        const std::string name(length, 'n');
        WritePack({{name, "x"}});
        const std::string said = "Path too long for \"" + name + "\" of " + folder + "\\help\\help.pak.";
        EXPECT_EQ(Dump(Run()).find(said) != std::string::npos, length == 75) << Dump(Run());
    }
}

TEST_F(CheckTest, JsonReport) {
    Replace("Percent2=60", "Percent2=30");
    const std::string json = FindingsJson(Run()), line = "\"line\":" + std::to_string(LineOf("Percent2=30"));
    for (const std::string& part : {std::string("{\"errors\":0,\"warnings\":1,"), std::string("\"severity\":\"warning\""), line})
        EXPECT_NE(json.find(part), std::string::npos) << json;
}

}  // namespace
