#include "win/support/EngineMedia.h"

#include <commctrl.h>
#include <zlib.h>

#include <cstdio>

#include "app/SetupState.h"
#include "engine/EngineIds.h"

namespace media {

namespace {

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n = fd.cFileName;
            if (n == "." || n == "..") continue;
            std::string p = dir + "\\" + n;
            SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(p);
            else
                DeleteFileA(p.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

void Put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

}  // namespace

Media::Media() {
    static int n = 0;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    root = std::string(tmp) + "engine-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n++);
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    source = root + "\\medium";
    install = root + "\\inst";
    CreateDirectoryA(source.c_str(), nullptr);
    CreateDirectoryA(install.c_str(), nullptr);
    ResetSetupState();
    lstrcpynA(g_setup.sourceDir, source.c_str(), sizeof g_setup.sourceDir);
    lstrcpynA(g_setup.installDir, install.c_str(), sizeof g_setup.installDir);
    lstrcpynA(g_setup.configPath, (install + "\\morlan.ini").c_str(), sizeof g_setup.configPath);
    lstrcpynA(g_setup.productVersion, "Programmer Software 1.0", sizeof g_setup.productVersion);
}

Media::~Media() {
    SetCurrentDirectoryA("C:\\");
    RemoveTree(root);
}

void Media::WriteIni(const std::string& text) const { WriteFile(install + "\\morlan.ini", text); }

void WriteFile(const std::string& path, const std::string& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

std::string ReadFile(const std::string& path) {
    std::string s;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeDir(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

void MakeZip(const std::string& path, const std::string& entryName, const std::string& data, bool badCrc,
             uint32_t dosTime) {
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    if (badCrc) crc ^= 0x5A5A5A5Au;
    const uint32_t size = static_cast<uint32_t>(data.size());
    std::string z;
    Put32(z, 0x04034b50);
    Put16(z, 10);
    Put16(z, 0);
    Put16(z, 0);  // stored
    Put32(z, dosTime);
    Put32(z, crc);
    Put32(z, size);
    Put32(z, size);
    Put16(z, static_cast<uint32_t>(entryName.size()));
    Put16(z, 0);
    z += entryName;
    z += data;
    const uint32_t dirOffset = static_cast<uint32_t>(z.size());
    Put32(z, 0x02014b50);
    Put16(z, 20);
    Put16(z, 10);
    Put16(z, 0);
    Put16(z, 0);
    Put32(z, dosTime);
    Put32(z, crc);
    Put32(z, size);
    Put32(z, size);
    Put16(z, static_cast<uint32_t>(entryName.size()));
    Put16(z, 0);
    Put16(z, 0);
    Put16(z, 0);
    Put16(z, 0);
    Put32(z, 0x20);  // archive attribute
    Put32(z, 0);
    z += entryName;
    const uint32_t dirSize = static_cast<uint32_t>(z.size()) - dirOffset;
    Put32(z, 0x06054b50);
    Put16(z, 0);
    Put16(z, 0);
    Put16(z, 1);
    Put16(z, 1);
    Put32(z, dirSize);
    Put32(z, dirOffset);
    Put16(z, 0);
    WriteFile(path, z);
}

std::string PackHeader(int count) {
    std::string s;
    Put16(s, 0);
    Put16(s, static_cast<uint32_t>(count) & 0xFFFF);
    return s;
}

std::string PackRecord(const std::string& name, const std::string& data, uint32_t dosTime) {
    std::string s = name;
    s.push_back('\0');
    Put32(s, static_cast<uint32_t>(data.size()));
    Put32(s, dosTime);
    return s + data;
}

bool LocalWriteTime(const std::string& path, SYSTEMTIME& st) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return false;
    FILETIME local;
    return FileTimeToLocalFileTime(&d.ftLastWriteTime, &local) && FileTimeToSystemTime(&local, &st);
}

std::vector<int> RecordingProgressDlg::Positions() const {
    std::vector<int> v;
    for (const Sample& s : samples) v.push_back(s.position);
    return v;
}

BOOL RecordingProgressDlg::OnInitDialog() {
    BOOL r = CProgressDlg::OnInitDialog();
    HWND bar = GetDlgItem(IDC_PROGRESS_BAR);
    SetPropA(bar, "RecordingProgressDlg", this);
    oldProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProgressDlg::BarProc)));
    samples.clear();  // the initial position 0 is not a step's
    return r;
}

LRESULT CALLBACK RecordingProgressDlg::BarProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<RecordingProgressDlg*>(GetPropA(w, "RecordingProgressDlg"));
    if (msg == PBM_SETPOS && self) {
        self->samples.push_back({static_cast<int>(wp), static_cast<ULONGLONG>(GetTickCount())});
        if (self->onPosition) self->onPosition(static_cast<int>(wp));
    }
    if (msg == WM_NCDESTROY) RemovePropA(w, "RecordingProgressDlg");
    return CallWindowProcA(self ? self->oldProc_ : DefWindowProcA, w, msg, wp, lp);
}

Watchdog::Watchdog(DWORD ms) : ms_(ms) {
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &Watchdog::Run, this, 0, nullptr);
}

Watchdog::~Watchdog() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
}

DWORD WINAPI Watchdog::Run(void* p) {
    auto* self = static_cast<Watchdog*>(p);
    if (WaitForSingleObject(self->stop_, self->ms_) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "watchdog: test hung for %lu ms\n", static_cast<unsigned long>(self->ms_));
        std::fflush(stderr);
        ExitProcess(3);
    }
    return 0;
}

HWND FindDiskPrompt() {
    HWND w = FindWindowA("#32770", "Replace Disk");
    return (w && IsWindowVisible(w)) ? w : nullptr;
}

}  // namespace media
