// The ZIP reader on the real Windows file system: the archive is shared for
// reading only while open, and an extracted file gets the entry's time
// (local time, as the system converts it) and attributes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/TestFiles.h"
#include "engine/ZipUnpacker.h"

namespace {

std::string DataPath(const char* name) { return testfs::HostPath(SETUP_SOURCE_DIR "/tests/data/zip/") + name; }

// Unpacks the current entry beside the archive the way the setup's archive
// phase does, and returns the output path.
std::string Unpack(CZipUnpacker& zip, const std::string& dir, ZipEntryInfo& info) {
    zip.GetCurrentEntryInfo(&info, nullptr, 0);
    std::vector<char> name(info.nameLength + 1);
    zip.GetCurrentEntryInfo(nullptr, name.data(), static_cast<unsigned>(name.size()));
    std::string out = dir + "\\" + name.data();
    SetFileAttributesA(out.c_str(), FILE_ATTRIBUTE_NORMAL);
    CFile file(out.c_str(), CFile::modeCreate | CFile::modeWrite);
    zip.OpenCurrentEntry();
    char buffer[1024];
    unsigned got;
    do {
        got = zip.ReadCurrentEntry(buffer, sizeof buffer);
        if (got) file.Write(buffer, got);
    } while (got == sizeof buffer);
    zip.ApplyEntryStatus(file, info);
    return out;
}

}  // namespace

TEST(ZipWin, ArchiveIsSharedForReadingOnlyWhileOpen) {
    testfs::TempDir dir;
    const std::string copy = dir / "shared.zip";
    ASSERT_TRUE(CopyFileA(DataPath("deflated.zip").c_str(), copy.c_str(), FALSE));
    {
        CZipUnpacker zip(copy);
        for (DWORD access : {DWORD(GENERIC_WRITE), DWORD(GENERIC_READ)}) {  // another writer is kept out, a reader is not
            HANDLE h = CreateFileA(copy.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            EXPECT_EQ(h == INVALID_HANDLE_VALUE, access == GENERIC_WRITE) << access;
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
        EXPECT_FALSE(DeleteFileA(copy.c_str()));
        zip.CloseArchive();
    }
    EXPECT_TRUE(DeleteFileA(copy.c_str())) << "the archive stayed open";
}

TEST(ZipWin, ExtractedFileGetsTheEntryTimeAndAttributes) {
    testfs::TempDir temp;
    const std::string dir = temp.path.string();
    CZipUnpacker zip(DataPath("streamed.zip"));
    ZipEntryInfo info;
    std::string text = Unpack(zip, dir, info);
    ASSERT_TRUE(zip.GoToNextEntry());
    std::string bin = Unpack(zip, dir, info);  // stored with attributes 0x21
    zip.CloseArchive();

    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA(text.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(data.nFileSizeLow, 79203u);
    ASSERT_TRUE(GetFileAttributesExA(bin.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(data.nFileSizeLow, 20000u);
    FILETIME local;
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToLocalFileTime(&data.ftLastWriteTime, &local));
    ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
    EXPECT_EQ(std::vector<int>({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond}),
              std::vector<int>({2001, 2, 3, 4, 5, 58}));

    // Unpacked again over the read-only file: the setup clears it first.
    CZipUnpacker again(DataPath("streamed.zip"));
    ASSERT_TRUE(again.GoToNextEntry());
    EXPECT_NO_THROW(Unpack(again, dir, info));
    again.CloseArchive();
    SetFileAttributesA(bin.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The file object under the reader keeps the high half of positions and
// lengths past 4 GiB (the file is sparse).
TEST(ZipWin, FilePositionsBeyondFourGiB) {
    testfs::TempDir dir;
    const std::string path = dir / "big.bin";
    const uint64_t beyond = (5ull << 30) + 3;
    CFile f(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    EXPECT_EQ(f.Seek(static_cast<int64_t>(beyond), CFile::begin), beyond);
    f.Write("x", 1);
    EXPECT_EQ(f.GetLength(), beyond + 1);
    EXPECT_EQ(f.Seek(-2, CFile::end), beyond - 1);
    EXPECT_EQ(f.Seek(1, CFile::current), beyond);
    char c = 0;
    EXPECT_EQ(f.Read(&c, 1), 1u);
    EXPECT_EQ(c, 'x');
    EXPECT_THROW(f.Seek(-static_cast<int64_t>(beyond) - 10, CFile::current), CFileException);
}
