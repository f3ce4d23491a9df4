// The configuration reader under the sanitizers: rereads and huge input (the
// awkward files of tests/data/profile are compared with the system's reader
// by the Windows test and seed the profile fuzz target).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "common/TestFiles.h"
#include "config/Profile.h"
#include "config/SetupState.h"

namespace {

std::string TempPath(const std::string& name) { return ::testing::TempDir() + "profile_" + name + ".ini"; }
std::string Write(const std::string& name, const std::string& bytes) {
    testfs::WriteBytes(TempPath(name), bytes);
    return TempPath(name);
}
std::string Read(const std::string& path, const std::string& section, const std::string& key, unsigned size = 20) {
    std::vector<char> buf(size + 8, '\x7f');
    const unsigned n = ReadProfileString(path.c_str(), section.c_str(), key.c_str(), buf.data(), size);
    EXPECT_EQ(n, std::strlen(buf.data()));
    EXPECT_EQ(buf[size], '\x7f') << "wrote past the buffer";
    return buf.data();
}

}  // namespace

// Each read sees the file as it is now (the wizard edits it between reads).
TEST(Profile, EachReadSeesTheFileAsItIsNow) {
    ResetSetupState();
    std::snprintf(g_setup.configPath, sizeof g_setup.configPath, "%s", Write("rules", "[Software]\nVersion=old\n").c_str());
    char buf[100];
    for (const char* version : {"old", "edited"}) {
        Write("rules", std::string("[Software]\nVersion=") + version + "\n");
        ReadConfigString("Software", "Version", buf, sizeof buf);
        EXPECT_STREQ(buf, version);
    }
    ResetSetupState();
}

// A file of many reads (64 KB each) with the keys at its end, on lines of
// 100,000 characters as a name and as a value.
TEST(Profile, HugeFileAndHugeLinesAreCut) {
    std::string text;
    for (int s = 0; text.size() < 200000; ++s) text += "[Section" + std::to_string(s) + "]\r\nKey=some value of a key\r\n";
    const std::string k(100000, 'k');
    text += "[S]\n" + k + "=" + std::string(100000, '7') + "\nk=" + std::string(100000, '9') + "\n";
    const std::string path = Write("huge", text);
    EXPECT_EQ(Read(path, "Section7", "Key", 200), "some value of a key");
    EXPECT_EQ(Read(path, "S", k, 180), std::string(179, '7'));
    EXPECT_EQ(Read(path, "S", "k", 20), std::string(19, '9'));
    std::remove(path.c_str());
}
