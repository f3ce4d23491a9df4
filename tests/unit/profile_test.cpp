// The configuration reader on its own: the rules the setup relies on, and
// bad input (the native build runs these under AddressSanitizer and UBSan).
// The Windows tests compare the same corpus with the system's reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "common/ProfileCorpus.h"
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

TEST(Profile, RulesTheSetupReliesOn) {
    std::string p = Write("rules",
                          "[Software]\r\nVersion = Programmer 5 \r\nversion=second\r\n"
                          "[Disk1]\r\nFile01=zero\r\nFile1=\"one\"\r\nFile2='two'\r\nNumber=0x2\r\n"
                          "[Long]\r\nA=0123456789012345678\r\nB=01234567890123456789\r\n"
                          "[software]\r\nName=hidden by the first section\r\n");
    for (auto [section, key, size, want] : {std::tuple{"software", "VERSION", 100, "Programmer 5"}, {"Disk1", "File1", 20, "one"},
                                            {"Disk1", "File2", 20, "two"}, {"Disk1", "File01", 20, "zero"},
                                            {"Software", "Name", 20, ""},  // the first [Software] has no Name
                                            {"Long", "A", 20, "0123456789012345678"},  // 19 characters fit in 20 bytes
                                            {"Long", "B", 20, "0123456789012345678"}})  // 20 are cut to 19
        EXPECT_EQ(Read(p, section, key, size), want) << section << " " << key;
    EXPECT_EQ(ReadProfileInt(p.c_str(), "disk1", "number"), 2);
    EXPECT_EQ(ReadProfileInt(p.c_str(), "Disk1", "File1"), 0);
    EXPECT_EQ(ReadProfileInt(p.c_str(), "Disk2", "Number"), 0);

    // Each read sees the file as it is now (the wizard edits it between reads).
    ResetSetupState();
    std::snprintf(g_setup.configPath, sizeof g_setup.configPath, "%s", p.c_str());
    char buf[100];
    Write("rules", "[Software]\nVersion=edited\n");
    ReadConfigString("Software", "Version", buf, sizeof buf);
    EXPECT_STREQ(buf, "edited");
    ResetSetupState();
}

// Every key of the corpus with every small buffer size: what comes back
// fits the buffer and is terminated (the sanitizers watch the reads).
TEST(Profile, CorpusStaysInsideItsBuffers) {
    for (const CorpusFile& f : ProfileCorpus()) {
        const std::string path = f.missing ? TempPath("does_not_exist") : Write("corpus_" + f.name, f.text);
        for (const CorpusKey& k : f.keys) {
            for (unsigned size = 1; size <= 48; ++size) EXPECT_LE(Read(path, k.section, k.key, size).size(), size - 1u);
            ReadProfileInt(path.c_str(), k.section.c_str(), k.key.c_str());
        }
        EXPECT_FALSE(ParseProfile(f.text.data(), f.text.size()).sections.empty());
    }
}

TEST(ProfileBadInput, MissingEmptyAndBinaryFilesGiveDefaults) {
    for (const std::string& path : {TempPath("never_written"), std::string(), Write("empty", ""), ::testing::TempDir()}) {
        EXPECT_EQ(Read(path, "Software", "Version"), "") << path;  // a directory reads as missing too
        EXPECT_EQ(ReadProfileInt(path.c_str(), "Disk", "Number"), 0) << path;
    }
    std::mt19937 rng(12345);
    std::string bytes(1 << 18, '\0');
    for (char& ch : bytes) ch = static_cast<char>(rng());
    for (const char* lead : {"", "\xef\xbb\xbf", "\xff\xfe", "\xfe\xff"}) {
        const std::string path = Write("binary", lead + bytes);
        Read(path, "Software", "Version", 100);
        Read(path, "", "", 100);
        EXPECT_FALSE(LoadProfile(path.c_str()).sections.empty());
    }
}

TEST(ProfileBadInput, HugeFileAndHugeLineAreCut) {
    // 20 MB: many sections and keys; the key looked for is the last line.
    std::string big;
    big.reserve(21u << 20);
    for (int s = 0; big.size() < (20u << 20); ++s) {
        big += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 100; ++k) big += "Key" + std::to_string(k) + "=some value of a key\r\n";
    }
    std::string path = Write("huge", big + "[Last]\r\nKey=" + std::string(100000, 'v') + "\r\n");
    EXPECT_EQ(Read(path, "Last", "Key", 20), std::string(19, 'v'));
    EXPECT_EQ(Read(path, "Section7", "Key99", 200), "some value of a key");
    EXPECT_EQ(ReadProfileInt(path.c_str(), "Last", "Key"), 0);
    // One line of 100,000 characters as a name and as a value.
    const std::string k(100000, 'k');
    path = Write("longline", "[S]\n" + k + "=" + std::string(100000, '7') + "\nk=" + std::string(100000, '9') + "\n");
    EXPECT_EQ(Read(path, "S", k, 180), std::string(179, '7'));
    EXPECT_EQ(Read(path, "S", "k", 200), std::string(199, '9'));
    // Integers are read from the first 29 characters: 10^29 - 1, low 32 bits.
    EXPECT_EQ(ReadProfileInt(path.c_str(), "S", "k"), -1610612737);
    for (const char* name : {"huge", "longline"}) std::remove(TempPath(name).c_str());
}
