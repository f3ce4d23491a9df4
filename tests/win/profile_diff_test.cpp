// Our configuration reader against the system's own profile API on the same
// files: every key of the corpus, read as text with many buffer sizes and as
// an integer, must give the same answer both ways.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/ProfileCorpus.h"
#include "config/Profile.h"

namespace {

std::string Escape(const std::string& s) {
    std::string out;
    for (unsigned char ch : s) {
        if (ch >= 0x20 && ch < 0x7f && ch != '\\') {
            out += static_cast<char>(ch);
        } else {
            char buf[8];
            wsprintfA(buf, "\\x%02x", ch);
            out += buf;
        }
    }
    return out;
}

// Each file gets a name of its own in this run: the system caches profile
// files by name and would otherwise answer from an older file.
std::string CorpusPath(const std::string& name) {
    static const std::string dir = [] {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        std::ostringstream d;
        d << tmp << "profdiff_" << GetCurrentProcessId() << "_" << GetTickCount();
        CreateDirectoryA(d.str().c_str(), nullptr);
        return d.str();
    }();
    static int counter = 0;
    std::ostringstream p;
    p << dir << "\\" << ++counter << "_" << name << ".ini";
    return p.str();
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

struct Counts {
    int files = 0, keys = 0, stringReads = 0, intReads = 0, skipped = 0;
};

// The system's read into a buffer of size bytes: the text and the count it
// returns. Where a double-byte character does not fit whole, the system
// leaves its place unwritten (the buffer keeps what it held there) and
// still counts it; our reader ends the text before it. So the text is taken
// up to the first byte the system did not write, and then counted as such.
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
// that is valid there, so the comparison there takes files with a
// byte-order mark and plain ASCII files.
bool ComparableHere(const CorpusFile& f) {
    CPINFO info = {};
    if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize == 1 || f.missing) return true;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(f.text.data());
    const size_t n = f.text.size();
    if ((n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) ||
        (n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))))
        return true;
    for (size_t i = 0; i < n; ++i)
        if (p[i] >= 0x80) return false;
    return true;
}

// Compares every key of one file; returns the differences found.
std::vector<std::string> CompareFile(const CorpusFile& f, Counts& counts) {
    std::vector<std::string> diffs;
    std::string path = CorpusPath(f.name);
    if (!f.missing && !WriteBytes(path, f.text)) return {"cannot write " + path};
    ++counts.files;
    for (const CorpusKey& k : f.keys) {
        ++counts.keys;
        const std::string where = f.name + " [" + Escape(k.section) + "] " + Escape(k.key);
        // The full value's length decides which buffer sizes are interesting.
        std::vector<char> big(70000, 0);
        DWORD fullLen = GetPrivateProfileStringA(k.section.c_str(), k.key.c_str(), "", big.data(),
                                                 static_cast<DWORD>(big.size()), path.c_str());
        if (getenv("PROFDIFF_SHOW")) std::printf("%s = \"%s\"\n", where.c_str(), Escape(big.data()).c_str());
        std::set<unsigned> sizes;
        for (unsigned s = 1; s <= 45; ++s) sizes.insert(s);
        for (int d = -3; d <= 3; ++d)
            if (static_cast<int>(fullLen) + d >= 1) sizes.insert(static_cast<unsigned>(static_cast<int>(fullLen) + d));
        for (unsigned s : {100u, 180u, 200u, 256u, 1000u, 70000u}) sizes.insert(s);
        int keyDiffs = 0;
        for (unsigned size : sizes) {
            ++counts.stringReads;
            std::vector<char> ours(size + 16, '\x7f');
            DWORD tn = 0;
            std::string ts = SystemRead(path, k, size, tn);
            unsigned on = ReadProfileString(path.c_str(), k.section.c_str(), k.key.c_str(), ours.data(), size);
            std::string os(ours.data());
            if ((ts != os || tn != on) && keyDiffs++ < 2) {
                std::ostringstream m;
                m << where << " size " << size << ": system \"" << Escape(ts) << "\" (" << tn << "), ours \""
                  << Escape(os) << "\" (" << on << ")";
                diffs.push_back(m.str());
            }
            // Nothing may be written beyond the buffer.
            if (ours[size] != '\x7f') diffs.push_back(where + ": our reader wrote past the buffer");
        }
        ++counts.intReads;
        int ti = static_cast<int>(GetPrivateProfileIntA(k.section.c_str(), k.key.c_str(), 0, path.c_str()));
        int oi = ReadProfileInt(path.c_str(), k.section.c_str(), k.key.c_str());
        if (ti != oi) {
            std::ostringstream m;
            m << where << " integer: system " << ti << ", ours " << oi;
            diffs.push_back(m.str());
        }
    }
    if (!f.missing) DeleteFileA(path.c_str());
    return diffs;
}

}  // namespace

TEST(ProfileDiff, CorpusReadsAsTheSystemReadsIt) {
    std::vector<CorpusFile> corpus = ProfileCorpus();
    ASSERT_GE(corpus.size(), 40u);
    Counts counts;
    std::vector<std::string> all;
    for (const CorpusFile& f : corpus) {
        if (!ComparableHere(f)) {
            ++counts.skipped;
            continue;
        }
        std::vector<std::string> d = CompareFile(f, counts);
        all.insert(all.end(), d.begin(), d.end());
    }
    std::printf("compared %d files (%d ANSI files with other bytes than ASCII left out), %d keys, %d text reads, "
                "%d integer reads; code page %u\n",
                counts.files, counts.skipped, counts.keys, counts.stringReads, counts.intReads, GetACP());
    // Run again with LANG=zh_CN.UTF-8 by CTest: make sure that took effect.
    if (const char* acp = getenv("SETUP_EXPECT_ACP")) {
        EXPECT_EQ(GetACP(), static_cast<UINT>(atoi(acp)));
    }
    std::ostringstream report;
    for (size_t i = 0; i < all.size() && i < 400; ++i) report << all[i] << "\n";
    EXPECT_TRUE(all.empty()) << all.size() << " differences:\n" << report.str();
}

// A file changed between two reads is read anew by both readers.
TEST(ProfileDiff, EditsBetweenReadsAreSeen) {
    std::string path = CorpusPath("edited");
    ASSERT_TRUE(WriteBytes(path, "[S]\nk=first\n"));
    char buf[32];
    ReadProfileString(path.c_str(), "S", "k", buf, sizeof buf);
    EXPECT_STREQ(buf, "first");
    Sleep(20);
    ASSERT_TRUE(WriteBytes(path, "[S]\nk=second, longer\n"));
    ReadProfileString(path.c_str(), "S", "k", buf, sizeof buf);
    EXPECT_STREQ(buf, "second, longer");
    DeleteFileA(path.c_str());
}
