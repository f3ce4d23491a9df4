// Files for portable tests: a scratch folder removed afterwards, whole-file
// read and write, filler data, and raw pack bytes (to build any pack,
// damaged ones included).
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testfs {

namespace fs = std::filesystem;

// A fresh folder under the temporary folder, named after the running test.
struct TempDir {
    fs::path path;
    TempDir() {
        static int n = 0;
        const auto* t = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() /
               ("setuptest-" + std::to_string(n++) + "-" + (t ? t->name() : "global"));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& s) const { return (path / s).string(); }
};

inline std::string ReadBytes(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline void WriteBytes(const std::string& p, const std::string& data) {
    std::ofstream(p, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// n bytes that do not compress to nothing and differ by seed.
inline std::string Pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 8)) & 0xFF);
    return s;
}

// A Unix path as the program under test sees it (Wine maps the root to Z:).
inline std::string HostPath(std::string p) {
#ifdef _WIN32
    if (!p.empty() && p[0] == '/') p = "Z:" + p;
#endif
    return p;
}

// A DOS date and time (seconds in two-second steps, as stored).
constexpr uint32_t DosTime(int y, int mo, int d, int h, int mi, int s) {
    return static_cast<uint32_t>(y - 1980) << 25 | static_cast<uint32_t>(mo << 21 | d << 16 | h << 11 | mi << 5 | s / 2);
}

inline std::string PackHeader(int count) {
    return std::string{0, 0, static_cast<char>(count & 0xFF), static_cast<char>((count >> 8) & 0xFF)};
}

inline std::string PackRecord(const std::string& name, const std::string& data, uint32_t dosTime = 0) {
    std::string r = name;
    r.push_back('\0');
    for (uint32_t v : {static_cast<uint32_t>(data.size()), dosTime})
        for (int i = 0; i < 4; ++i) r.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return r + data;
}

}  // namespace testfs
