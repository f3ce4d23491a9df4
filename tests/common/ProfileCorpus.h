// Awkward configuration files and the keys to read (tests/data/profile, keys.txt): the Windows test
// compares our reader with the system's on them (the files also seed the profile fuzz target).
#pragma once
#include "common/TestFiles.h"

struct CorpusKey {
    std::string section, key;
};

struct CorpusFile {
    std::string name, text;  // a label (part of the file name), the bytes
    bool missing = false;    // keys.txt names it, but there is no such file
    std::vector<CorpusKey> keys;
};

inline std::vector<CorpusFile> ProfileCorpus() {
    std::vector<CorpusFile> c;
    for (const auto& row : testfs::DataRows("profile/keys.txt")) {  // file|section|key
        if (c.empty() || c.back().name != row.at(0)) {
            const std::string path = testfs::TestData("profile/" + row[0] + ".ini");
            c.push_back({row[0], testfs::ReadBytes(path), !std::ifstream(path).good(), {}});
        }
        c.back().keys.push_back({row.at(1), row.at(2)});
    }
    return c;
}
