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

#include "engine/ProgressDlg.h"

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

void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
void MakeDir(const std::string& path);

// A ZIP archive with one stored entry (deterministic). badCrc stores a
// wrong CRC-32, which the reader reports when the entry has been read.
void MakeZip(const std::string& path, const std::string& entryName, const std::string& data, bool badCrc = false,
             uint32_t dosTime = 0x52C66B3Du);

// Raw pack pieces, to build any pack, damaged ones included.
std::string PackHeader(int count);
std::string PackRecord(const std::string& name, const std::string& data, uint32_t dosTime = 0x52C66B3Du);

// Local last-write time of a file (SYSTEMTIME in local time).
bool LocalWriteTime(const std::string& path, SYSTEMTIME& st);

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
