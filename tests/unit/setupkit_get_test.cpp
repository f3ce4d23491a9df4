// The vendor tool's get and getint, run as the vendor runs them.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

struct KitRun {
    int status;
    std::string out;
};

KitRun Setupkit(const std::string& args) {
    std::string cmd = std::string(SETUPKIT_EXE) + " " + args + " 2>/dev/null";
    KitRun r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string WriteIni(const char* name, const std::string& text) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

}  // namespace

TEST(SetupkitGet, PrintsWhatTheSetupReads) {
    std::string ini = WriteIni("kit_get.ini",
                               "[Software]\r\nVersion = \"Programmer 2.0\" \r\n"
                               "[Disk1]\r\nFile1=abcdefghijklmnopqrstuvwxyz\r\nPercent1= 0x1F junk\r\n"
                               "Big=4294967295\r\nNeg=-17\r\n");
    EXPECT_EQ(Setupkit("get " + ini + " software VERSION 100").out, "Programmer 2.0\n");
    EXPECT_EQ(Setupkit("get " + ini + " Disk1 File1").out, "abcdefghijklmnopqrs\n");  // default size 20
    EXPECT_EQ(Setupkit("get " + ini + " Disk1 File1 5").out, "abcd\n");
    EXPECT_EQ(Setupkit("get " + ini + " Disk1 File01").out, "\n");
    KitRun missing = Setupkit("get " + ini + ".none Disk1 File1");
    EXPECT_EQ(missing.status, 0);
    EXPECT_EQ(missing.out, "\n");
    EXPECT_EQ(Setupkit("getint " + ini + " Disk1 Percent1").out, "31\n");
    EXPECT_EQ(Setupkit("getint " + ini + " Disk1 Big").out, "-1\n");
    EXPECT_EQ(Setupkit("getint " + ini + " Disk1 Neg").out, "-17\n");
    EXPECT_EQ(Setupkit("getint " + ini + " Disk1 File1").out, "0\n");
    EXPECT_EQ(Setupkit("getint " + ini + " Disk2 Number").out, "0\n");
}

// A file with a byte-order mark reads in the code page asked for (1252 by
// default), as on a PC with that code page, cut to whole characters; a file
// without one reads byte for byte. check reads it so too.
TEST(SetupkitGet, ByteOrderMarkedTextInTheCodePageAskedFor) {
    const std::string gbkName = "\xb1\xe0\xb3\xcc\xc6\xf7\xc8\xed\xbc\xfe";  // 编程器软件
    std::string ini = WriteIni("kit_cp.ini", "\xef\xbb\xbf[Software]\r\nName=编程器软件\r\n");
    EXPECT_EQ(Setupkit("get --codepage 936 " + ini + " Software Name 30").out, gbkName + "\n");
    EXPECT_EQ(Setupkit("get " + ini + " Software Name 6 --codepage 936").out, gbkName.substr(0, 4) + "\n");
    EXPECT_EQ(Setupkit("get " + ini + " Software Name 30").out, "?????\n");
    std::string utf16 = WriteIni("kit_cp16.ini", std::string("\xfe\xff\0[\0S\0]\0\n\0N\0=\x7f\x16\x7a\x0b", 18));
    EXPECT_EQ(Setupkit("get --codepage 936 " + utf16 + " S N").out, gbkName.substr(0, 4) + "\n");
    std::string gbk = WriteIni("kit_gbk.ini", "[Software]\r\nName=" + gbkName + "\r\n");
    EXPECT_EQ(Setupkit("get " + gbk + " Software Name 30").out, gbkName + "\n");

    std::string medium = ::testing::TempDir() + "kit_cp_medium";
    std::system(("mkdir -p " + medium).c_str());
    WriteIni("kit_cp_medium/morlan.ini", "\xef\xbb\xbf[Language]\r\nNumber=2\r\nDescrip1=English\r\nDescrip2=简体中文\r\n");
    EXPECT_NE(Setupkit("check --codepage 936 " + medium)
                  .out.find("morlan.ini:4: warning: [Language] Descrip2 \"\xbc\xf2\xcc\xe5\xd6\xd0\xce\xc4\" is in Chinese "
                            "characters: it shows the English agreement; only an entry that reads \"Chinese\""),
              std::string::npos);
}

TEST(SetupkitGet, RefusesBadArguments) {
    std::string ini = WriteIni("kit_args.ini", "[A]\nB=1\n");
    for (const std::string& bad : {"get " + ini + " A", "get " + ini + " A B 0", "get " + ini + " A B x",
                                   "get " + ini + " A B 12x", "get " + ini + " A B 1 2", "getint " + ini + " A",
                                   "getint " + ini + " A B 4", "get --codepage 0 " + ini + " A B",
                                   "getint " + ini + " A B --codepage", "check --codepage 12345 " + ini,
                                   std::string("nosuchcommand")}) {
        KitRun r = Setupkit(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.out, "") << bad;
    }
    EXPECT_EQ(Setupkit("get --help").status, 0);
    EXPECT_NE(Setupkit("get --help").out.find("SIZE"), std::string::npos);
}
#endif
