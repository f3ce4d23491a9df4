// The vendor tool's get and getint, run as the vendor runs them.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>

#include <cstdio>

#include "common/TestFiles.h"

namespace {

// The tool's exit status and what it printed.
std::pair<int, std::string> Setupkit(const std::string& args) {
    FILE* p = popen((std::string(SETUPKIT_EXE) + " " + args + " 2>/dev/null").c_str(), "r");
    std::string out;
    char buf[256];
    for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int st = p ? pclose(p) : -1;
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, out};
}
std::string Out(const std::string& args) { return Setupkit(args).second; }
std::string WriteIni(const std::string& name, const std::string& text) {
    testfs::WriteBytes(::testing::TempDir() + name, text);
    return ::testing::TempDir() + name;
}

}  // namespace

TEST(SetupkitGet, PrintsWhatTheSetupReads) {
    const std::string ini = WriteIni("kit_get.ini", "[Software]\r\nVersion = \"Programmer 2.0\" \r\n"
                                                    "[Disk1]\r\nFile1=abcdefghijklmnopqrstuvwxyz\r\nPercent1= 0x1F junk\r\nBig=4294967295\r\n");
    for (auto [args, out] : {std::pair{"get INI software VERSION 100", "Programmer 2.0\n"},
                             {"get INI Disk1 File1", "abcdefghijklmnopqrs\n"},  // default size 20
                             {"get INI Disk1 File1 5", "abcd\n"}, {"get INI.none Disk1 File1", "\n"},
                             {"getint INI Disk1 Percent1", "31\n"}, {"getint INI Disk1 Big", "-1\n"}}) {
        std::string a = args;
        EXPECT_EQ(Setupkit(a.replace(a.find("INI"), 3, ini)), std::pair(0, std::string(out))) << args;
    }
}

// A file with a byte-order mark reads in the code page asked for (1252 by
// default), as on a PC with that code page, cut to whole characters; a file
// without one reads byte for byte. check reads it so too.
TEST(SetupkitGet, ByteOrderMarkedTextInTheCodePageAskedFor) {
    const std::string gbkName = "\xb1\xe0\xb3\xcc\xc6\xf7\xc8\xed\xbc\xfe";  // 编程器软件
    const std::string ini = WriteIni("kit_cp.ini", "\xef\xbb\xbf[Software]\r\nName=编程器软件\r\n");
    EXPECT_EQ(Out("get --codepage 936 " + ini + " Software Name 30"), gbkName + "\n");
    EXPECT_EQ(Out("get " + ini + " Software Name 6 --codepage 936"), gbkName.substr(0, 4) + "\n");
    EXPECT_EQ(Out("get " + ini + " Software Name 30"), "?????\n");
    const std::string utf16 = WriteIni("kit_cp16.ini", std::string("\xfe\xff\0[\0S\0]\0\n\0N\0=\x7f\x16\x7a\x0b", 18));
    EXPECT_EQ(Out("get --codepage 936 " + utf16 + " S N"), gbkName.substr(0, 4) + "\n");
    EXPECT_EQ(Out("get " + WriteIni("kit_gbk.ini", "[Software]\r\nName=" + gbkName + "\r\n") + " Software Name 30"), gbkName + "\n");

    const std::string medium = ::testing::TempDir() + "kit_cp_medium";
    testfs::fs::create_directories(medium);
    WriteIni("kit_cp_medium/morlan.ini", "\xef\xbb\xbf[Language]\r\nNumber=2\r\nDescrip1=English\r\nDescrip2=简体中文\r\n");
    EXPECT_NE(Out("check --codepage 936 " + medium)
                  .find("morlan.ini:4: warning: [Language] Descrip2 \"\xbc\xf2\xcc\xe5\xd6\xd0\xce\xc4\" is in Chinese "
                        "characters: it shows the English agreement; only an entry that reads \"Chinese\""),
              std::string::npos);
}

TEST(SetupkitGet, RefusesBadArguments) {
    const std::string ini = WriteIni("kit_args.ini", "[A]\nB=1\n");
    for (const std::string& bad : {"get " + ini + " A", "get " + ini + " A B 0", "get " + ini + " A B x",
                                   "get " + ini + " A B 12x", "get " + ini + " A B 1 2", "getint " + ini + " A",
                                   "getint " + ini + " A B 4", "get --codepage 0 " + ini + " A B",
                                   "getint " + ini + " A B --codepage", "check --codepage 12345 " + ini,
                                   std::string("nosuchcommand")})
        EXPECT_EQ(Setupkit(bad), std::pair(2, std::string())) << bad;
    EXPECT_EQ(Setupkit("get --help").first, 0);
    EXPECT_NE(Out("get --help").find("SIZE"), std::string::npos);
}
#endif
