// Our configuration reader against the system's own profile API on the same
// files: every key of the corpus, read as text with many buffer sizes and as
// an integer, must give the same answer both ways.
#include "win/support/WinTest.h"

#include <set>

#include "common/ProfileCorpus.h"
#include "config/Profile.h"

namespace {

std::string Escape(const std::string& s) {
    std::string out;
    char buf[8];
    for (unsigned char ch : s)
        out += ch >= 0x20 && ch < 0x7f && ch != '\\' ? std::string(1, static_cast<char>(ch))
                                                     : (wsprintfA(buf, "\\x%02x", ch), buf);
    return out;
}

// Where a double-byte character does not fit whole, the system leaves its
// place unwritten (the buffer keeps what it held) and still counts it; our
// reader ends the text before it. So the system's text is taken up to the
// first byte it did not write, and counted as such.
std::string SystemRead(const std::string& path, const CorpusKey& k, unsigned size, DWORD& count) {
    std::vector<char> a(size + 16, '\x7f'), b(size + 16, '\x01');
    count = GetPrivateProfileStringA(k.section.c_str(), k.key.c_str(), "", a.data(), size, path.c_str());
    GetPrivateProfileStringA(k.section.c_str(), k.key.c_str(), "", b.data(), size, path.c_str());
    size_t len = 0;
    while (len < size && a[len] && a[len] == b[len]) ++len;
    if (a[len] != b[len]) count = static_cast<DWORD>(len);
    return std::string(a.data(), len);
}

// ANSI text is read byte for byte, while the system converts it through the
// code page and back; in a double-byte code page (936) that keeps only text
// valid there, so there the files compared are those with a byte-order mark
// and plain ASCII ones.
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

TEST(ProfileDiff, CorpusReadsAsTheSystemReadsIt) {
    if (const char* acp = getenv("SETUP_EXPECT_ACP")) {  // the run as on a Chinese PC took effect
        EXPECT_EQ(GetACP(), static_cast<UINT>(atoi(acp)));
    }
    testfs::TempDir dir;  // each file a name of its own: the system caches profile files by name
    int files = 0, skipped = 0, keys = 0, reads = 0;
    std::vector<std::string> diffs;
    for (const CorpusFile& f : ProfileCorpus()) {
        if (!ComparableHere(f)) {
            ++skipped;
            continue;
        }
        const std::string path = dir / (std::to_string(++files) + "_" + f.name + ".ini");
        ASSERT_TRUE(f.missing || testfs::WriteBytes(path, f.text)) << path;
        for (const CorpusKey& k : f.keys) {
            ++keys;
            const std::string where = f.name + " [" + Escape(k.section) + "] " + Escape(k.key);
            std::vector<char> big(70000, 0);  // the full value's length decides the interesting sizes
            const int full = static_cast<int>(GetPrivateProfileStringA(k.section.c_str(), k.key.c_str(), "", big.data(),
                                                                       static_cast<DWORD>(big.size()), path.c_str()));
            std::set<unsigned> sizes{100, 180, 200, 256, 1000, 70000};
            for (unsigned s = 1; s <= 45; ++s) sizes.insert(s);
            for (int d = -3; d <= 3; ++d) sizes.insert(static_cast<unsigned>(std::max(1, full + d)));
            int keyDiffs = 0;
            for (unsigned size : sizes) {
                ++reads;
                DWORD theirs = 0;
                const std::string text = SystemRead(path, k, size, theirs);
                std::vector<char> ours(size + 16, '\x7f');
                const unsigned n = ReadProfileString(path.c_str(), k.section.c_str(), k.key.c_str(), ours.data(), size);
                if ((text != ours.data() || theirs != n) && keyDiffs++ < 2)
                    diffs.push_back(where + " size " + std::to_string(size) + ": system \"" + Escape(text) + "\" (" +
                                    std::to_string(theirs) + "), ours \"" + Escape(ours.data()) + "\" (" +
                                    std::to_string(n) + ")");
                if (ours[size] != '\x7f') diffs.push_back(where + ": our reader wrote past the buffer");
            }
            const int system = static_cast<int>(GetPrivateProfileIntA(k.section.c_str(), k.key.c_str(), 0, path.c_str()));
            const int ours = ReadProfileInt(path.c_str(), k.section.c_str(), k.key.c_str());
            if (system != ours) diffs.push_back(where + " integer: system " + std::to_string(system) + ", ours " + std::to_string(ours));
        }
    }
    EXPECT_GE(files + skipped, 40);
    std::printf("compared %d files (%d ANSI files with other bytes than ASCII left out), %d keys, %d text reads; "
                "code page %u\n", files, skipped, keys, reads, GetACP());
    std::string report;
    for (size_t i = 0; i < diffs.size() && i < 400; ++i) report += diffs[i] + "\n";
    EXPECT_TRUE(diffs.empty()) << diffs.size() << " differences:\n" << report;
}
