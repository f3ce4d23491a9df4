// The configuration reader on bad input, under the sanitizers; the Windows
// tests compare its rules with the system's reader on the same corpus.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "common/ProfileCorpus.h"
#include "common/TestFiles.h"
#include "config/Profile.h"
#include "config/SetupState.h"

namespace {

std::string TempPath(const std::string& name) { return ::testing::TempDir() + "profile_" + name + ".ini"; }
std::string Write(const std::string& name, const std::string& bytes) { return testfs::WriteBytes(TempPath(name), bytes), TempPath(name); }
std::string Read(const std::string& path, const std::string& section, const std::string& key, unsigned size = 20) {
    std::vector<char> buf(size + 8, '\x7f');
    const unsigned n = ReadProfileString(path.c_str(), section.c_str(), key.c_str(), buf.data(), size);
    EXPECT_EQ(n, std::strlen(buf.data()));
    EXPECT_EQ(buf[size], '\x7f') << "wrote past the buffer";
    return buf.data();
}

}  // namespace

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

// A missing, empty or folder path reads as nothing; each read sees the file
// as it is now (the wizard edits it between reads).
TEST(Profile, MissingFilesGiveDefaultsAndEachReadSeesTheFileAsItIsNow) {
    for (const std::string& path : {TempPath("never_written"), std::string(), Write("empty", ""), ::testing::TempDir()}) {
        EXPECT_EQ(Read(path, "Software", "Version"), "") << path;
        EXPECT_EQ(ReadProfileInt(path.c_str(), "Disk", "Number"), 0) << path;
    }
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

TEST(Profile, HugeFileAndHugeLineAreCut) {
    // 2 MB: many sections and keys; the key looked for is the last line.
    std::string big;
    for (int s = 0; big.size() < (2u << 20); ++s) {
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
    for (const char* name : {"huge", "longline"}) std::remove(TempPath(name).c_str());
}
