#include <gtest/gtest.h>
#include <windows.h>

#include "fw/File.h"

TEST(CFileWin, DenyWriteSharingAndErrorsNameTheFile) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string path = std::string(tmp) + "cfile_test.bin";
    {
        CFile f(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        f.Write("hello", 5);
        f.Close();
    }
    CFile r(path.c_str(), CFile::modeRead | CFile::shareDenyWrite);
    char buf[8] = {};
    EXPECT_EQ(r.Read(buf, sizeof buf), 5u);
    // While it is open with deny-write sharing nobody may write it.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    r.Close();
    DeleteFileA(path.c_str());
    try {
        CFile missing((path + ".none").c_str(), CFile::modeRead);
        FAIL() << "opened a missing file";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.osError, ERROR_FILE_NOT_FOUND);
        EXPECT_NE(e.GetErrorMessage().find("cfile_test.bin.none"), std::string::npos);
    }
}
