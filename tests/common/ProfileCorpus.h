// Awkward configuration files and the keys to read from them (tests/data/profile:
// a file each, keys.txt names the keys): the Windows test compares our reader
// with the system's on them, the native test runs the same reads under the sanitizers.
#pragma once
#include <sstream>

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
    std::istringstream lines(testfs::ReadBytes(testfs::TestData("profile/keys.txt")));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t a = line.find('|'), b = line.find('|', a + 1);
        if (c.empty() || c.back().name != line.substr(0, a)) {
            const std::string path = testfs::TestData("profile/" + line.substr(0, a) + ".ini");
            c.push_back({line.substr(0, a), testfs::ReadBytes(path), !std::ifstream(path).good(), {}});
        }
        c.back().keys.push_back({testfs::Unescape(line.substr(a + 1, b - a - 1)), testfs::Unescape(line.substr(b + 1))});
    }
    return c;
}
