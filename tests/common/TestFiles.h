// Files for portable tests: scratch folders, whole files, filler data, raw pack and ZIP bytes.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <zlib.h>

namespace testfs {

namespace fs = std::filesystem;

// Removes a folder with its read-only files too (Windows keeps those).
inline void RemoveAll(const fs::path& dir) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(dir, ec);
}

// A fresh folder under the temporary folder, named after the running test.
struct TempDir {
    fs::path path;
    TempDir() {
        static int n = 0;
        const auto* t = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() / ("setuptest-" + std::to_string(n++) + "-" + (t ? t->name() : "global"));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { RemoveAll(path); }
    std::string operator/(const std::string& s) const { return (path / s).string(); }
};

inline std::string ReadBytes(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline bool WriteBytes(const std::string& p, const std::string& data) {
    std::ofstream f(p, std::ios::binary);
    return f && f.write(data.data(), static_cast<std::streamsize>(data.size())) && f.flush();
}

// n random bytes (they do not compress), the same for the same seed.
inline std::string Random(size_t n, unsigned seed) {
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(g());
    return s;
}

// The path of a file under tests/data (under Wine, Z: is the Unix root).
inline std::string TestData(const std::string& rel) {
#ifdef SETUP_TEST_DATA
    std::string p = std::string(SETUP_TEST_DATA) + "/" + rel;
#else
    std::string p = std::string(SETUP_SOURCE_DIR) + "/tests/data/" + rel;
#endif
#ifdef _WIN32
    if (p[0] == '/') p = "Z:" + p;
#endif
    return p;
}

// The rows of a data file under tests/data (a failure when it has none): fields parted by '|',
// with C's escapes \\ \r \n \t \xNN; blank lines and '#' comments skipped.
inline std::vector<std::vector<std::string>> DataRows(const std::string& rel) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(ReadBytes(TestData(rel)));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        rows.emplace_back(1);
        for (size_t i = 0; i < line.size(); ++i) {
            std::string& field = rows.back().back();
            const char c = line[i];
            if (c == '|') rows.back().emplace_back();
            else if (c != '\\' || i + 1 == line.size()) field += c;
            else if (line[++i] != 'x') field += line[i] == 'r' ? '\r' : line[i] == 'n' ? '\n' : line[i] == 't' ? '\t' : line[i];
            else {
                field += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                i += 2;
            }
        }
    }
    EXPECT_FALSE(rows.empty()) << rel;
    return rows;
}

// A DOS date and time (seconds in two-second steps, as stored).
constexpr uint32_t DosTime(int y, int mo, int d, int h, int mi, int s) {
    return static_cast<uint32_t>(y - 1980) << 25 | static_cast<uint32_t>(mo << 21 | d << 16 | h << 11 | mi << 5 | s / 2);
}

inline std::string Le(uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}

// A pack's header and one record, as the pack phase reads them.
inline std::string PackHeader(int count) { return Le(0, 2) + Le(static_cast<uint32_t>(count), 2); }
inline std::string PackRecord(const std::string& name, const std::string& data, uint32_t dosTime = 0) {
    return name + '\0' + Le(static_cast<uint32_t>(data.size()), 4) + Le(dosTime, 4) + data;
}

// A ZIP archive with one stored entry, with a wrong CRC-32 if badCrc; attributes are MS-DOS's.
inline std::string StoredZip(const std::string& name, const std::string& data, bool badCrc = false,
                             uint32_t dosTime = DosTime(2021, 6, 6, 13, 25, 58), uint32_t attributes = 0x20) {
    const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                                     static_cast<uInt>(data.size()))) ^ (badCrc ? 0x5A5A5A5Au : 0);
    const uint32_t size = static_cast<uint32_t>(data.size()), nameSize = static_cast<uint32_t>(name.size());
    const std::string common = Le(10, 2) + Le(0, 4) + Le(dosTime, 4) + Le(crc, 4) + Le(size, 4) + Le(size, 4) +
                               Le(nameSize, 2) + Le(0, 2);
    const std::string local = Le(0x04034b50, 4) + common + name + data;
    const std::string central = Le(0x02014b50, 4) + Le(20, 2) + common + Le(0, 6) + Le(attributes, 4) + Le(0, 4) + name;
    return local + central + Le(0x06054b50, 4) + Le(0, 4) + Le(1, 2) + Le(1, 2) +
           Le(static_cast<uint32_t>(central.size()), 4) + Le(static_cast<uint32_t>(local.size()), 4) + Le(0, 2);
}

}  // namespace testfs
