// Test media for the installation engine: a source folder (the "disk") and
// an installation folder under %TEMP%, morlan.ini, small ZIP archives and
// pack files made on the spot, and a progress dialog that records every
// bar position it shows.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/TestFiles.h"
#include "engine/ProgressDlg.h"
#include "win/support/ScratchTree.h"

namespace media {

// A fresh folder tree under %TEMP% that is removed afterwards. Sets
// g_setup.sourceDir, installDir and configPath (installDir\morlan.ini).
struct Media {
    Media();
    ~Media();
    std::string root, source, install;
    std::string Src(const std::string& rel) const { return source + "\\" + rel; }
    std::string Dst(const std::string& rel) const { return install + "\\" + rel; }
    void WriteIni(const std::string& text) const;
};

inline void WriteFile(const std::string& path, const std::string& data) { testfs::WriteBytes(path, data); }
inline std::string ReadFile(const std::string& path) { return testfs::ReadBytes(path); }  // "" when missing
using scratch::Exists;
inline void MakeDir(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

// A ZIP archive with one stored entry (see testfs::StoredZip).
inline void MakeZip(const std::string& path, const std::string& entryName, const std::string& data, bool badCrc = false,
                    uint32_t dosTime = testfs::DosTime(2021, 6, 6, 13, 25, 58), uint32_t attributes = FILE_ATTRIBUTE_ARCHIVE) {
    WriteFile(path, testfs::StoredZip(entryName, data, badCrc, dosTime, attributes));
}
using testfs::PackHeader;
using testfs::PackRecord;

// Gives a file a last-access time on 1 January of the year.
void SetLastAccess(const std::string& path, int year);
// The names in a folder, sorted and separated by blanks.
std::string Listing(const std::string& dir);

// A progress dialog that records every bar position it is given (and when),
// on the dialog's own thread, and calls onPosition right then.
class RecordingProgressDlg : public CProgressDlg {
public:
    struct Sample {
        int position;
        ULONGLONG tick;
    };
    std::vector<Sample> samples;
    std::function<void(int)> onPosition;
    std::vector<int> Positions() const;

protected:
    BOOL OnInitDialog() override;

private:
    static LRESULT CALLBACK BarProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    WNDPROC oldProc_ = nullptr;
};

// Runs the dialog. Every message box that comes up is noted in messages
// (one line each) and answered, leaving the installation at the question,
// so that a test that expects none ends.
INT_PTR RunNoticingMessages(RecordingProgressDlg& dlg, std::string& messages);

// Ends the process with a failure if a test hangs (a dialog that never
// closes, a message box nobody answers).
class Watchdog {
public:
    explicit Watchdog(DWORD ms);
    ~Watchdog();

private:
    HANDLE stop_;
    HANDLE thread_;
    DWORD ms_;
    static DWORD WINAPI Run(void* self);
};

// The disk prompt, when shown ("Replace Disk" caption).
HWND FindDiskPrompt();

}  // namespace media
