#include "win/support/EngineMedia.h"

#include <commctrl.h>

#include <cstdio>

#include "app/SetupState.h"
#include "engine/EngineIds.h"

namespace media {

Media::Media() {
    static int n = 0;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    root = std::string(tmp) + "engine-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n++);
    scratch::RemoveTree(root);
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
    scratch::RemoveTree(root);
}

void Media::WriteIni(const std::string& text) const { WriteFile(install + "\\morlan.ini", text); }

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
