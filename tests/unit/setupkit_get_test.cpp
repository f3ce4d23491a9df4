// The vendor tool's get and getint, run as the vendor runs them.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>

#include <cstdio>
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

TEST(SetupkitGet, RefusesBadArguments) {
    std::string ini = WriteIni("kit_args.ini", "[A]\nB=1\n");
    for (const std::string& bad : {"get " + ini + " A", "get " + ini + " A B 0", "get " + ini + " A B x",
                                   "get " + ini + " A B 12x", "get " + ini + " A B 1 2", "getint " + ini + " A",
                                   "getint " + ini + " A B 4", std::string("nosuchcommand")}) {
        KitRun r = Setupkit(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.out, "") << bad;
    }
    EXPECT_EQ(Setupkit("get --help").status, 0);
    EXPECT_NE(Setupkit("get --help").out.find("SIZE"), std::string::npos);
}
#endif
