// Our configuration reader against the system's own profile API: every key of
// the corpus, read as text with many buffer sizes and as an integer.
#include "win/support/WinTest.h"

#include <set>

#include "common/ProfileCorpus.h"
#include "config/Profile.h"

namespace {

// Where a double-byte character does not fit whole, the system leaves its
// place unwritten and still counts it; our reader ends the text before it.
// So the system's text is taken up to the first byte it did not write.
std::string SystemRead(const std::string& path, const CorpusKey& k, unsigned size) {
    std::vector<char> a(size + 16, '\x7f'), b(size + 16, '\x01');
    DWORD count = GetPrivateProfileStringA(k.section.c_str(), k.key.c_str(), "", a.data(), size, path.c_str());
    GetPrivateProfileStringA(k.section.c_str(), k.key.c_str(), "", b.data(), size, path.c_str());
    size_t len = 0;
    while (len < size && a[len] && a[len] == b[len]) ++len;
    if (a[len] != b[len]) count = static_cast<DWORD>(len);
    return std::string(a.data(), len) + " (" + std::to_string(count) + ")";
}

// The system converts ANSI text through the code page and back, which in a
// double-byte code page (936) keeps only text valid there: there only files
// with a byte-order mark and plain ASCII ones are compared.
bool ComparableHere(const CorpusFile& f) {
    CPINFO info = {};
    if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize == 1 || f.missing) return true;
    for (const char* bom : {"\xef\xbb\xbf", "\xff\xfe", "\xfe\xff"})
        if (f.text.rfind(bom, 0) == 0) return true;
    for (unsigned char c : f.text)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

// Each key's answers, a line per buffer size, compared whole.
TEST(ProfileDiff, CorpusReadsAsTheSystemReadsIt) {
    if (const char* acp = getenv("SETUP_EXPECT_ACP")) {  // the run as on a Chinese PC took effect
        EXPECT_EQ(GetACP(), static_cast<UINT>(atoi(acp)));
    }
    testfs::TempDir dir;  // each file a name of its own: the system caches profile files by name
    int files = 0;
    for (const CorpusFile& f : ProfileCorpus()) {
        const std::string path = dir / (std::to_string(++files) + "_" + f.name + ".ini");
        if (!ComparableHere(f)) continue;
        ASSERT_TRUE(f.missing || testfs::WriteBytes(path, f.text)) << path;
        for (const CorpusKey& k : f.keys) {
            const char *section = k.section.c_str(), *key = k.key.c_str();
            std::vector<char> big(70000, 0);  // the full value's length decides the interesting sizes
            const int full = static_cast<int>(GetPrivateProfileStringA(section, key, "", big.data(), 70000, path.c_str()));
            std::set<unsigned> sizes{100, 180, 200, 256, 1000, 70000};
            for (unsigned s = 1; s <= 45; ++s) sizes.insert(s);
            for (int d = -3; d <= 3; ++d) sizes.insert(static_cast<unsigned>(std::max(1, full + d)));
            const int systemInt = static_cast<int>(GetPrivateProfileIntA(section, key, 0, path.c_str()));
            std::string theirs = "integer " + std::to_string(systemInt) + "\n";
            std::string ours = "integer " + std::to_string(ReadProfileInt(path.c_str(), section, key)) + "\n";
            for (unsigned size : sizes) {
                std::vector<char> buf(size + 16, '\x7f');
                const unsigned n = ReadProfileString(path.c_str(), section, key, buf.data(), size);
                ours += std::to_string(size) + ": " + buf.data() + " (" + std::to_string(n) + ")" +
                        (buf[size] != '\x7f' ? " and past the buffer\n" : "\n");
                theirs += std::to_string(size) + ": " + SystemRead(path, k, size) + "\n";
            }
            EXPECT_EQ(ours, theirs) << f.name << " [" << k.section << "] " << k.key;
        }
    }
    EXPECT_GE(files, 40);
}
