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

void WriteZip(const fs::path& p, const Entries& entries) {
    CZipWriter zip(p.string());
    for (const auto& [name, data] : entries) {
        ZipEntryHeader h;
        h.name = name, h.method = 0, h.dosDateTime = DosTime(2026, 5, 17, 12, 30, 20);
        zip.BeginEntry(h);
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

// A clean medium: four one-file archives on disk 1, a pack with a subfolder on disk 2.
const char* const kCleanIni =
    "[Software]\r\nVersion=Demo 1.0\r\nName=Demo\r\n[Dir]\r\nDest=C:\\Demo\r\n"
    "[SubDir]\r\nNumber=3\r\nDir1=bin\r\nDir2=help\r\nDir3=help\\en\r\n"
    "[Language]\r\nNumber=2\r\nDescrip1=English\r\nDescrip2=Deutsch\r\nFile1=Default\r\nFile2=German\r\nDestFile=Lang\r\n"
    "[Disk]\r\nNumber=2\r\n[Disk1]\r\nNumber=4\r\nFile1=prog\r\nDir1=bin\r\nPercent1=40\r\nFile2=german\r\nDir2=bin\r\n"
    "Percent2=60\r\nFile3=icon\r\nDir3=bin\r\nPercent3=70\r\nFile4=driver\r\nDir4=bin\r\nPercent4=80\r\n"
    "[Disk2]\r\nNumber=1\r\nFile1=help\r\nDir1=help\r\nPercent1=100\r\n"
    "[Remove]\r\nNumber=1\r\nDir1=help\r\nFile1=help.pak\r\nDest1=help\r\n[DelFile]\r\nNumber=0\r\n"
    "[Programmer]\r\nType=0\r\n[SystemFile]\r\nNumber=0\r\n[RegIni]\r\nVID=\r\nPID=\r\n"
    "[Shortcut]\r\nDescript1=Demo software\r\nDescript2=Demo\r\nIco=Demo\r\n[Exec]\r\nExecFile=bin\\Demo.exe\r\nExecDir=bin\r\n";

class CheckTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path disk1 = dir.path / "disk1", disk2 = dir.path / "disk2";
    std::string ini;

    void SetUp() override {
        for (const fs::path& d : {disk1, disk2}) fs::remove_all(d), fs::create_directories(d);
        WriteBytes((disk1 / "setup.exe").string(), "MZ");
        for (auto [file, entry, data] : {std::tuple{"prog.zip", "Demo.exe", "program"}, {"german.zip", "German.dll", "library"},
                                         {"icon.zip", "Demo.ico", "icon"}, {"driver.zip", "Kr3nt.sys", "stand-in"}})
            WriteZip(disk1 / file, {{entry, data}});
        WritePack({{"index.txt", "help"}, {"en\\start.txt", "start"}});
        ini = kCleanIni;
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
    void InsertAfter(const std::string& line, const std::string& text) {
        ASSERT_NE(ini.find(line), std::string::npos) << line;
        ini.insert(ini.find("\r\n", ini.find(line)) + 2, text + "\r\n");
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
};

TEST_F(CheckTest, CleanMediumHasNoFinding) {
    EXPECT_EQ(Dump(Run()), "");
    // As one folder holding everything, and as a build's output folder.
    for (const auto& e : fs::directory_iterator(disk2)) fs::copy_file(e.path(), disk1 / e.path().filename());
    EXPECT_EQ(Dump(CheckMedium({disk1.string()})), "");
    fs::remove(disk1 / "help.zip");
    EXPECT_EQ(Dump(CheckMedium({dir.path.string()})), "");
}

// Each defect: how many findings (-1: any), one with this severity, on the
// line where `at` starts, holding `words`.
TEST_F(CheckTest, EachDefectIsFoundOnItsLine) {
    const bool E = true, W = false;
    auto replace = [&](std::string from, std::string to) { return [=, this] { Replace(from, to); }; };
    auto german = [&](Entries entries) { return [=, this] { WriteZip(disk1 / "german.zip", entries); }; };
    auto pack = [&](Entries records, int count = -1) { return [=, this] { WritePack(records, count); }; };
    auto renamed = [&](std::string name) {
        return [=, this] {
            fs::rename(disk1 / "german.zip", disk1 / "german6789012345678.zip");
            Replace("File2=german", "File2=" + name);
        };
    };
    auto farCounts = [&] {
        Replace("[DelFile]\r\nNumber=0", "[DelFile]\r\nNumber=2000000000\r\nFile1=bin\\old.dll");
        Replace("[Disk]\r\nNumber=2", "[Disk]\r\nNumber=2000000000");
    };
    auto ignoredKeys = [&] {
        InsertAfter("DestFile=Lang", "File03=Other");
        InsertAfter("Percent1=100", "File2=late\r\nDir1=help");
        InsertAfter("ExecDir=bin", "[Software]\r\nVersion=Again\r\n[Misc]\r\nKey=1");
    };
    auto usb = [&] {
        Replace("Type=0", "Type=1");
        Replace("[SystemFile]\r\nNumber=0", "[SystemFile]\r\nNumber=1\r\nFile1=usbdrv.sys\r\nDir1=system32");
        Replace("VID=", "VID=1234");
        Replace("PID=", "PID=5678");
    };
    const struct Row {
        int count;
        bool error;
        std::string at, words;
        std::function<void()> edit;
        int nth = 1;
    } rows[] = {
        // Counts that stop the setup; a missing disk section is reported at [Disk] Number.
        {-1, E, "Number=0\r\nFile1=help", "Error File of morlan.ini", replace("Number=1\r\nFile1=help", "Number=0\r\nFile1=help")},
        {-1, E, "Number=2\r\n[Disk1]", "Error File of morlan.ini", replace("[Disk2]", "[Disk9]")},
        {-1, E, "Number=2000000000", "the last section is [Disk2]", farCounts},
        {-1, E, "Number=2000000000", "the last key is File1", farCounts, 2},
        // Archives: missing (and so the language library not installed), on
        // another disk, named outside, not one entry, refused, unreadable, altered.
        {2, E, "File2=german", "german.zip is missing from disk 1", [&] { fs::remove(disk1 / "german.zip"); }},
        {-1, E, "File2=german", "(it is on disk 2)", [&] { fs::rename(disk1 / "german.zip", disk2 / "german.zip"); }},
        {-1, E, "File2=..\\german", "not a plain file name", replace("File2=german", "File2=..\\german")},
        {1, E, "File2=german", "holds 2 entries", german({{"German.dll", "library"}, {"extra.txt", "x"}})},
        {-1, E, "File2=german", "would be refused", german({{"..\\German.dll", "library"}})},
        {-1, E, "File2=german", "reserved device name", german({{"Lpt1.dll", "library"}})},
        {-1, E, "File2=german", "cannot be unpacked", [&] { WriteBytes((disk1 / "german.zip").string(), "just text"); }},
        {1, E, "File2=german", "cannot be unpacked", [&] {  // the first data byte, after header and name
             WriteBytes((disk1 / "german.zip").string(), ReadBytes((disk1 / "german.zip").string()).replace(30 + 10, 1, "L"));
         }},
        // Values longer than their buffer: 19 characters fit, 20 are cut to
        // another (existing) name; a long display text is only a warning.
        {0, E, "", "", renamed("german6789012345678")},
        {1, E, "File2=german6789", "cuts it to \"german6789012345678\"", renamed("german67890123456789")},
        {1, W, "Version=", "reads at most 99", replace("Version=Demo 1.0", "Version=" + std::string(100, 'v'))},
        {1, W, "Percent2=30", "lower than the 40", replace("Percent2=60", "Percent2=30")},
        {1, W, "Percent1=90", "not 100", replace("Percent1=100", "Percent1=90")},
        // Folders that no [SubDir] creates, or two levels at once.
        {-1, E, "File2=german", "\"lib\" is not created by [SubDir]", replace("Dir2=bin", "Dir2=lib")},
        {-1, E, "Dir2=help\\en", "one level at a time", replace("Dir2=help\r\nDir3=help\\en", "Dir2=help\\en\r\nDir3=help")},
        // Packs and their records.
        {-1, E, "File1=other.pak", "no archive delivers", replace("File1=help.pak", "File1=other.pak")},
        {-1, E, "Dest1=", "leads out of the folder", replace("Dest1=help", "Dest1=..\\..\\Windows")},
        {1, E, "File1=help.pak", "over 79 bytes", pack({{std::string(80, 'a'), "x"}})},
        {0, E, "", "", pack({{std::string(79, 'a'), "x"}})},
        {1, E, "File1=help.pak", "would be refused", pack({{"..\\..\\Windows\\evil.dll", "x"}})},
        {-1, E, "File1=help.pak", "reserved device name", pack({{"index.txt", "help"}, {"en\\nul.txt", "start"}})},
        {1, E, "File1=help.pak", "help\\de", pack({{"de\\start.txt", "x"}})},
        {1, E, "File1=help.pak", "ends inside", [&] {
             std::string p = Pack({{"index.txt", "help text"}});
             WriteZip(disk2 / "help.zip", {{"help.pak", p.substr(0, p.size() - 3)}});
         }},
        {1, W, "File1=help.pak", "counts 5 records but it holds 1", pack({{"index.txt", "help"}}, 5)},
        // Every place a name comes from, with a name the setup refuses.
        {-1, E, "Dir3=help\\Con", "reserved device name", replace("Dir3=help\\en", "Dir3=help\\Con")},
        {-1, E, "Dir2=bin.", "ends with a dot", replace("Dir2=bin", "Dir2=bin.")},
        {-1, E, "File1=..\\..\\victim", "\"..\" part", replace("[DelFile]\r\nNumber=0", "[DelFile]\r\nNumber=1\r\nFile1=..\\..\\victim")},
        {-1, E, "File1=bin\\nul.txt", "reserved device name", replace("[DelFile]\r\nNumber=0", "[DelFile]\r\nNumber=1\r\nFile1=bin\\nul.txt")},
        {-1, E, "File2=COM1", "reserved device name", replace("File2=German", "File2=COM1")},
        {-1, E, "DestFile=..\\..\\Lang", "\"..\" part", replace("DestFile=Lang", "DestFile=..\\..\\Lang")},
        {-1, E, "Descript2=..\\..\\Startup\\Demo", "\"..\" part", replace("Descript2=Demo", "Descript2=..\\..\\Startup\\Demo")},
        {-1, E, "Descript2=Demo:x", "alternate data stream", replace("Descript2=Demo", "Descript2=Demo:x")},
        {-1, E, "Descript2=aux", "reserved device name", replace("Descript2=Demo", "Descript2=aux")},
        {-1, E, "Dest1=Lpt2", "reserved device name", replace("Dest1=help", "Dest1=Lpt2")},
        // Files that later steps need but nothing installs; the program
        // deleted after copying leaves the shortcuts without target.
        {1, E, "Type=0", "bin\\Kr3nt.sys", [&] { WriteZip(disk1 / "driver.zip", {{"Kr3nt.old", "stand-in"}}); }},
        {1, E, "File1=usbdrv.sys", "bin\\usbdrv.sys", usb},
        {-1, E, "File1=usbdrv.sys", "is not a file name below the Windows folder", [&] { usb(), Replace("Dir1=system32", "Dir1=..\\x"); }},
        {1, E, "File2=French", "bin\\French.dll", replace("File2=German", "File2=French")},
        {1, E, "ExecFile=", "bin\\Demo2.exe", replace("ExecFile=bin\\Demo.exe", "ExecFile=bin\\Demo2.exe")},
        {1, W, "Ico=Other", "bin\\Other.ico", replace("Ico=Demo", "Ico=Other")},
        {1, E, "ExecFile=", "bin\\Demo.exe", replace("[DelFile]\r\nNumber=0", "[DelFile]\r\nNumber=1\r\nFile1=bin\\Demo.exe")},
        // 170 characters of folder: the language library's source path (179
        // at most) does not fit, bin\German.dll.zip (199) still does.
        {-1, E, "File2=German", "180 bytes", replace("Dest=C:\\Demo", "Dest=C:\\" + std::string(165, 'x'))},
        // Language entries named Chinese that show the English agreement
        // (the UTF-8 text read in code page 1252); the bare word is fine.
        {1, W, "Descrip2=", "\"Chinese (PRC)\" is more than the word Chinese: it shows the English",
         replace("Descrip2=Deutsch", "Descrip2=Chinese (PRC)")},
        {1, W, "Descrip2=", "\"??\" is in Chinese characters", [&] {
             Replace("Descrip2=Deutsch", "Descrip2=\xe4\xb8\xad\xe6\x96\x87");
             ini = "\xef\xbb\xbf" + ini;
         }},
        {0, W, "", "", replace("Descrip2=Deutsch", "Descrip2= chinese ")},
        // Keys and sections the reader ignores.
        {5, W, "File03=Other", "leading zeros", ignoredKeys},
        {5, W, "File2=late", "beyond the count (1)", ignoredKeys},
        {5, W, "Dir1=help", "given again", ignoredKeys, 2},
        {5, W, "[Software]", "appears again", ignoredKeys, 2},
        {5, W, "[Misc]", "", ignoredKeys},
    };
    for (const Row& row : rows) {
        SetUp();
        row.edit();
        const CheckReport r = Run();
        const int line = LineOf(row.at, row.nth);
        SCOPED_TRACE("row " + std::to_string(&row - rows) + ": " + row.words + "\n" + Dump(r));
        EXPECT_TRUE(row.count < 0 || static_cast<int>(r.findings.size()) == row.count);
        EXPECT_TRUE(row.count == 0 || std::any_of(r.findings.begin(), r.findings.end(), [&](const CheckFinding& f) {
                return f.error == row.error && f.line == line && f.message.find(row.words) != std::string::npos;
            }));
        for (const CheckFinding& f : r.findings)  // with a long folder the archive paths are not blamed
            EXPECT_TRUE(row.words != "180 bytes" || f.line != LineOf("File1=prog"));
    }
}

TEST_F(CheckTest, JsonReport) {
    Replace("Percent2=60", "Percent2=30");
    const std::string json = FindingsJson(Run());
    for (const std::string& part : {std::string("{\"errors\":0,\"warnings\":1,"), std::string("\"severity\":\"warning\""),
                                    "\"line\":" + std::to_string(LineOf("Percent2=30"))})
        EXPECT_NE(json.find(part), std::string::npos) << json;
}

}  // namespace
