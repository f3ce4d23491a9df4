// The medium check: a clean medium gives no finding; each defect that would
// make an installation fail or go wrong is found, on the right line.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "engine/ZipWriter.h"
#include "tools/MediumCheck.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        std::random_device rd;
        path = fs::temp_directory_path() / ("setupkit-check-" + std::to_string(rd()));
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

void WriteFile(const fs::path& p, const std::string& data) {
    std::ofstream(p, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// An archive of stored entries (name, data).
void WriteZip(const fs::path& p, const std::vector<std::pair<std::string, std::string>>& entries) {
    CZipWriter zip(p.string());
    for (const auto& [name, data] : entries) {
        ZipEntryHeader h;
        h.name = name;
        h.method = 0;
        h.dosDateTime = (46u << 9 | 5u << 5 | 17u) << 16 | (12u << 11 | 30u << 5 | 10u);
        zip.BeginEntry(h);
        zip.WriteData(data.data(), data.size());
        zip.EndEntry(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()))),
                     data.size());
    }
    zip.Finish();
}

std::string Pack(const std::vector<std::pair<std::string, std::string>>& records, int count = -1) {
    std::string s(2, '\0');
    int n = count < 0 ? static_cast<int>(records.size()) : count;
    s += static_cast<char>(n & 0xFF);
    s += static_cast<char>((n >> 8) & 0xFF);
    for (const auto& [name, data] : records) {
        s += name;
        s += '\0';
        for (uint32_t v : {static_cast<uint32_t>(data.size()), 0x5A916000u})
            for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
        s += data;
    }
    return s;
}

// A complete, correct medium on two disks: two archives with single files,
// one archive with a pack whose records use a subfolder.
const char* const kCleanIni =
    "[Software]\r\n"
    "Version=Demo 1.0\r\n"
    "Name=Demo\r\n"
    "[Dir]\r\n"
    "Dest=C:\\Demo\r\n"
    "[SubDir]\r\n"
    "Number=3\r\n"
    "Dir1=bin\r\n"
    "Dir2=help\r\n"
    "Dir3=help\\en\r\n"
    "[Language]\r\n"
    "Number=2\r\n"
    "Descrip1=English\r\n"
    "Descrip2=Deutsch\r\n"
    "File1=Default\r\n"
    "File2=German\r\n"
    "DestFile=Lang\r\n"
    "[Disk]\r\n"
    "Number=2\r\n"
    "[Disk1]\r\n"
    "Number=2\r\n"
    "File1=prog\r\n"
    "Dir1=bin\r\n"
    "Percent1=40\r\n"
    "File2=german\r\n"
    "Dir2=bin\r\n"
    "Percent2=60\r\n"
    "[Disk2]\r\n"
    "Number=1\r\n"
    "File1=help\r\n"
    "Dir1=help\r\n"
    "Percent1=100\r\n"
    "[Remove]\r\n"
    "Number=1\r\n"
    "Dir1=help\r\n"
    "File1=help.pak\r\n"
    "Dest1=help\r\n"
    "[DelFile]\r\n"
    "Number=0\r\n"
    "[Programmer]\r\n"
    "Type=0\r\n"
    "[SystemFile]\r\n"
    "Number=0\r\n"
    "[RegIni]\r\n"
    "VID=\r\n"
    "PID=\r\n"
    "[Shortcut]\r\n"
    "Descript1=Demo software\r\n"
    "Descript2=Demo\r\n"
    "Ico=Demo\r\n"
    "[Exec]\r\n"
    "ExecFile=bin\\Demo.exe\r\n"
    "ExecDir=bin\r\n";

class CheckTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path disk1, disk2;
    std::string ini = kCleanIni;

    void SetUp() override {
        disk1 = dir.path / "disk1";
        disk2 = dir.path / "disk2";
        fs::create_directories(disk1);
        fs::create_directories(disk2);
        WriteFile(disk1 / "setup.exe", "MZ");
        WriteZip(disk1 / "prog.zip", {{"Demo.exe", "program"}});
        WriteZip(disk1 / "german.zip", {{"German.dll", "library"}});
        WritePack({{"index.txt", "help"}, {"en\\start.txt", "start"}});
    }
    void WritePack(const std::vector<std::pair<std::string, std::string>>& records, int count = -1) {
        WriteZip(disk2 / "help.zip", {{"help.pak", Pack(records, count)}});
    }
    CheckReport Run() {
        WriteFile(disk1 / "morlan.ini", ini);
        return CheckMedium({disk1.string(), disk2.string()});
    }
    // Replaces the first occurrence of `from`.
    void Replace(const std::string& from, const std::string& to) {
        size_t at = ini.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        ini.replace(at, from.size(), to);
    }
    void InsertAfter(const std::string& line, const std::string& text) {
        size_t at = ini.find(line);
        ASSERT_NE(at, std::string::npos) << line;
        ini.insert(ini.find("\r\n", at) + 2, text + "\r\n");
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
    // Expects a finding of that severity, on that line, whose text holds
    // `words`, among others.
    void ExpectHas(const CheckReport& r, bool error, int line, const std::string& words) {
        for (const CheckFinding& f : r.findings)
            if (f.error == error && f.line == line && f.message.find(words) != std::string::npos) return;
        ADD_FAILURE() << "no " << (error ? "error" : "warning") << " on line " << line << " with \"" << words << "\" in\n"
                      << Dump(r);
    }
    // Expects exactly one finding of that severity, on that line, whose text
    // holds `words`.
    void ExpectOnly(const CheckReport& r, bool error, int line, const std::string& words) {
        ASSERT_EQ(r.findings.size(), 1u) << Dump(r);
        EXPECT_EQ(r.findings[0].error, error) << Dump(r);
        EXPECT_EQ(r.findings[0].line, line) << Dump(r);
        EXPECT_NE(r.findings[0].message.find(words), std::string::npos) << Dump(r);
    }
};

// The program, the icon and the driver travel in archives of their own on
// disk 1 in the clean medium.
class CleanCheckTest : public CheckTest {
protected:
    void SetUp() override {
        CheckTest::SetUp();
        WriteZip(disk1 / "prog.zip", {{"Demo.exe", "program"}});
        WriteZip(disk1 / "icon.zip", {{"Demo.ico", "icon"}});
        WriteZip(disk1 / "driver.zip", {{"Kr3nt.sys", "stand-in"}});
        ResetIni();
    }
    void ResetIni() {
        ini = kCleanIni;
        Replace("Number=2\r\nFile1=prog", "Number=4\r\nFile1=prog");
        InsertAfter("Percent2=60", "File3=icon\r\nDir3=bin\r\nPercent3=70\r\nFile4=driver\r\nDir4=bin\r\nPercent4=80");
    }
};

TEST_F(CleanCheckTest, CleanMediumHasNoFinding) {
    CheckReport r = Run();
    EXPECT_TRUE(r.findings.empty()) << Dump(r);
    // The same medium as one folder holding everything.
    for (const auto& e : fs::directory_iterator(disk2)) fs::copy_file(e.path(), disk1 / e.path().filename());
    r = CheckMedium({disk1.string()});
    EXPECT_TRUE(r.findings.empty()) << Dump(r);
    // And as the output folder of a build.
    fs::remove(disk1 / "help.zip");
    r = CheckMedium({dir.path.string()});
    EXPECT_TRUE(r.findings.empty()) << Dump(r);
}

TEST_F(CleanCheckTest, DiskCountsThatStopTheSetup) {
    Replace("Number=1\r\nFile1=help", "Number=0\r\nFile1=help");
    ExpectHas(Run(), true, LineOf("[Disk2]") + 1, "Error File of morlan.ini");
    // A missing disk section is reported at [Disk] Number.
    ResetIni();
    Replace("[Disk2]", "[Disk9]");
    ExpectHas(Run(), true, LineOf("[Disk]") + 1, "Error File of morlan.ini");
}

TEST_F(CleanCheckTest, MissingUnreadableAndMultiEntryArchives) {
    fs::remove(disk1 / "german.zip");
    CheckReport r = Run();
    EXPECT_EQ(r.Errors(), 2) << Dump(r);  // and the language library is not installed
    ExpectHas(r, true, LineOf("File2=german"), "german.zip is missing from disk 1");
    // On the wrong disk: the finding says where it is.
    WriteZip(disk2 / "german.zip", {{"German.dll", "library"}});
    ExpectHas(Run(), true, LineOf("File2=german"), "(it is on disk 2)");
    fs::remove(disk2 / "german.zip");

    Replace("File2=german", "File2=..\\german");
    ExpectHas(Run(), true, LineOf("File2=..\\german"), "not a plain file name");
    Replace("File2=..\\german", "File2=german");

    WriteZip(disk1 / "german.zip", {{"German.dll", "library"}, {"extra.txt", "x"}});
    ExpectOnly(Run(), true, LineOf("File2=german"), "holds 2 entries");

    WriteZip(disk1 / "german.zip", {{"..\\German.dll", "library"}});
    ExpectHas(Run(), true, LineOf("File2=german"), "would be refused");

    WriteFile(disk1 / "german.zip", "not an archive at all, just text");
    ExpectHas(Run(), true, LineOf("File2=german"), "cannot be unpacked");

    // Data altered after the archive was written: the CRC check fails.
    WriteZip(disk1 / "german.zip", {{"German.dll", "library"}});
    std::string bytes;
    {
        std::ifstream in(disk1 / "german.zip", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    bytes[30 + 10] = 'L';  // first data byte after the local header and name
    WriteFile(disk1 / "german.zip", bytes);
    ExpectOnly(Run(), true, LineOf("File2=german"), "cannot be unpacked");
}

TEST_F(CleanCheckTest, ValuesLongerThanTheirBuffer) {
    // 19 characters fit; 20 are cut to another archive name.
    fs::rename(disk1 / "german.zip", disk1 / "german6789012345678.zip");
    Replace("File2=german", "File2=german6789012345678");
    EXPECT_TRUE(Run().findings.empty()) << Dump(Run());
    // The 20-character name is read as the 19-character one, which exists.
    Replace("File2=german6789012345678", "File2=german67890123456789");
    ExpectOnly(Run(), true, LineOf("File2=german6789"), "cuts it to \"german6789012345678\"");
    fs::rename(disk1 / "german6789012345678.zip", disk1 / "german.zip");
    // A long display text is only a warning.
    ResetIni();
    Replace("Version=Demo 1.0", "Version=" + std::string(100, 'v'));
    ExpectOnly(Run(), false, LineOf("Version="), "reads at most 99");
}

TEST_F(CleanCheckTest, PercentThatGoesDownOrStopsShort) {
    Replace("Percent2=60", "Percent2=30");
    ExpectOnly(Run(), false, LineOf("Percent2=30"), "lower than the 40");
    ResetIni();
    Replace("Percent1=100", "Percent1=90");
    ExpectOnly(Run(), false, LineOf("Percent1=90"), "not 100");
}

TEST_F(CleanCheckTest, FoldersThatNoSubDirCreates) {
    // An archive into a folder that is not created.
    Replace("Dir2=bin", "Dir2=lib");
    CheckReport r = Run();
    ExpectHas(r, true, LineOf("File2=german"), "\"lib\" is not created by [SubDir]");
    // Two levels at once: help\en before help.
    ResetIni();
    Replace("Dir2=help\r\nDir3=help\\en", "Dir2=help\\en\r\nDir3=help");
    ExpectHas(Run(), true, LineOf("Dir2=help\\en"), "one level at a time");
}

TEST_F(CleanCheckTest, PacksAndTheirRecords) {
    // No archive delivers the pack.
    Replace("File1=help.pak", "File1=other.pak");
    ExpectHas(Run(), true, LineOf("File1=other.pak"), "no archive delivers");
    ResetIni();

    Replace("Dest1=help", "Dest1=..\\..\\Windows");
    ExpectHas(Run(), true, LineOf("Dest1="), "leads out of the folder");
    Replace("Dest1=..\\..\\Windows", "Dest1=help");

    // A record name of 80 bytes, one leading out, one into a missing folder.
    WritePack({{std::string(80, 'a'), "x"}});
    ExpectOnly(Run(), true, LineOf("File1=help.pak"), "over 79 bytes");
    WritePack({{std::string(79, 'a'), "x"}});
    EXPECT_TRUE(Run().findings.empty()) << Dump(Run());
    WritePack({{"..\\..\\Windows\\evil.dll", "x"}});
    ExpectOnly(Run(), true, LineOf("File1=help.pak"), "would be refused");
    WritePack({{"de\\start.txt", "x"}});
    ExpectOnly(Run(), true, LineOf("File1=help.pak"), "help\\de");
    // Truncated pack and a wrong header count.
    std::string p = Pack({{"index.txt", "help text"}});
    p.resize(p.size() - 3);
    WriteZip(disk2 / "help.zip", {{"help.pak", p}});
    ExpectOnly(Run(), true, LineOf("File1=help.pak"), "ends inside");
    WritePack({{"index.txt", "help"}}, 5);
    ExpectOnly(Run(), false, LineOf("File1=help.pak"), "counts 5 records but it holds 1");
}

// Every place a name comes from, with a name the setup refuses: the error
// is on the line that holds it and says why.
TEST_F(CleanCheckTest, NamesTheSetupRefuses) {
    const struct {
        const char *from, *to, *why;
    } cases[] = {
        {"Dir3=help\\en", "Dir3=help\\Con", "reserved device name"},
        {"Dir2=bin", "Dir2=bin.", "ends with a dot"},
        {"[DelFile]\r\nNumber=0", "[DelFile]\r\nNumber=1\r\nFile1=..\\..\\victim", "\"..\" part"},
        {"[DelFile]\r\nNumber=0", "[DelFile]\r\nNumber=1\r\nFile1=bin\\nul.txt", "reserved device name"},
        {"File2=German", "File2=COM1", "reserved device name"},
        {"DestFile=Lang", "DestFile=..\\..\\Lang", "\"..\" part"},
        {"Descript2=Demo", "Descript2=..\\..\\Startup\\Demo", "\"..\" part"},
        {"Descript2=Demo", "Descript2=Demo:x", "alternate data stream"},
        {"Descript2=Demo", "Descript2=aux", "reserved device name"},
        {"Dest1=help", "Dest1=Lpt2", "reserved device name"},
    };
    for (const auto& c : cases) {
        ResetIni();
        Replace(c.from, c.to);
        const std::string last = std::string(c.to).substr(std::string(c.to).rfind('\n') + 1);
        ExpectHas(Run(), true, LineOf(last), c.why);
    }
    ResetIni();
    WriteZip(disk1 / "german.zip", {{"Lpt1.dll", "library"}});
    ExpectHas(Run(), true, LineOf("File2=german"), "reserved device name");
    WriteZip(disk1 / "german.zip", {{"German.dll", "library"}});
    WritePack({{"index.txt", "help"}, {"en\\nul.txt", "start"}});
    ExpectHas(Run(), true, LineOf("File1=help.pak"), "reserved device name");
}

TEST_F(CleanCheckTest, FilesThatLaterStepsNeedButNothingInstalls) {
    WriteZip(disk1 / "driver.zip", {{"Kr3nt.old", "stand-in"}});
    ExpectOnly(Run(), true, LineOf("Type=0"), "bin\\Kr3nt.sys");
    WriteZip(disk1 / "driver.zip", {{"Kr3nt.sys", "stand-in"}});

    Replace("Type=0", "Type=1");
    Replace("[SystemFile]\r\nNumber=0", "[SystemFile]\r\nNumber=1\r\nFile1=usbdrv.sys\r\nDir1=system32");
    Replace("VID=", "VID=1234");
    Replace("PID=", "PID=5678");
    ExpectOnly(Run(), true, LineOf("File1=usbdrv.sys"), "bin\\usbdrv.sys");

    ResetIni();
    Replace("File2=German", "File2=French");
    ExpectOnly(Run(), true, LineOf("File2=French"), "bin\\French.dll");
    Replace("File2=French", "File2=German");
    Replace("ExecFile=bin\\Demo.exe", "ExecFile=bin\\Demo2.exe");
    ExpectOnly(Run(), true, LineOf("ExecFile="), "bin\\Demo2.exe");
    Replace("ExecFile=bin\\Demo2.exe", "ExecFile=bin\\Demo.exe");
    Replace("Ico=Demo", "Ico=Other");
    ExpectOnly(Run(), false, LineOf("Ico=Other"), "bin\\Other.ico");
    // Deleting the program after copying leaves the shortcuts without target.
    Replace("Ico=Other", "Ico=Demo");
    Replace("[DelFile]\r\nNumber=0", "[DelFile]\r\nNumber=1\r\nFile1=bin\\Demo.exe");
    ExpectOnly(Run(), true, LineOf("ExecFile="), "bin\\Demo.exe");
}

TEST_F(CleanCheckTest, ComposedPathsTooLongForTheDefaultFolder) {
    // 170 characters of folder: bin\German.dll.zip still fits 199, the
    // language library's source path (179 at most) does not.
    std::string dest = "C:\\" + std::string(165, 'x');
    Replace("Dest=C:\\Demo", "Dest=" + dest);
    CheckReport r = Run();
    ExpectHas(r, true, LineOf("File2=German"), "180 bytes");
    for (const CheckFinding& f : r.findings) EXPECT_NE(f.line, LineOf("File1=prog")) << Dump(r);
}

TEST_F(CleanCheckTest, KeysAndSectionsTheReaderIgnores) {
    InsertAfter("DestFile=Lang", "File03=Other");
    InsertAfter("Percent1=100", "File2=late\r\nDir1=help");
    InsertAfter("ExecDir=bin", "[Software]\r\nVersion=Again\r\n[Misc]\r\nKey=1");
    CheckReport r = Run();
    ASSERT_EQ(r.findings.size(), 5u) << Dump(r);
    for (const CheckFinding& f : r.findings) EXPECT_FALSE(f.error) << Dump(r);
    EXPECT_EQ(r.findings[0].line, LineOf("File03=Other"));
    EXPECT_NE(r.findings[0].message.find("leading zeros"), std::string::npos) << Dump(r);
    EXPECT_EQ(r.findings[1].line, LineOf("File2=late"));
    EXPECT_NE(r.findings[1].message.find("beyond the count (1)"), std::string::npos) << Dump(r);
    EXPECT_EQ(r.findings[2].line, LineOf("Dir1=help", 2));
    EXPECT_NE(r.findings[2].message.find("given again"), std::string::npos) << Dump(r);
    EXPECT_EQ(r.findings[3].line, LineOf("[Software]", 2));
    EXPECT_NE(r.findings[3].message.find("appears again"), std::string::npos) << Dump(r);
    EXPECT_EQ(r.findings[4].line, LineOf("[Misc]"));
}

TEST_F(CleanCheckTest, CountsFarBeyondTheKeysEndQuickly) {
    Replace("[DelFile]\r\nNumber=0", "[DelFile]\r\nNumber=2000000000\r\nFile1=bin\\old.dll");
    Replace("[Disk]\r\nNumber=2", "[Disk]\r\nNumber=2000000000");
    CheckReport r = Run();
    ExpectHas(r, true, LineOf("Number=2000000000"), "the last section is [Disk2]");
    ExpectHas(r, true, LineOf("Number=2000000000", 2), "the last key is File1");
}

TEST_F(CleanCheckTest, JsonReport) {
    Replace("Percent2=60", "Percent2=30");
    std::string json = FindingsJson(Run());
    EXPECT_NE(json.find("{\"errors\":0,\"warnings\":1,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"severity\":\"warning\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"line\":" + std::to_string(LineOf("Percent2=30"))), std::string::npos) << json;
}

}  // namespace
