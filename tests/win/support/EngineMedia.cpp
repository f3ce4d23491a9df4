#include "win/support/EngineMedia.h"

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <thread>

#include "config/SetupState.h"
#include "engine/EngineIds.h"
#include "win/support/UiDriver.h"

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

void SetLastAccess(const std::string& path, int year) {
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = st.wDay = 1;
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    SetFileTime(h, nullptr, &ft, nullptr);
    CloseHandle(h);
}

std::string Listing(const std::string& dir) {
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do names.insert(fd.cFileName);
        while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    names.erase(".");
    names.erase("..");
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : " ") + n;
    return s;
}

INT_PTR RunNoticingMessages(RecordingProgressDlg& dlg, std::string& messages) {
    std::atomic<bool> ended{false};
    std::thread driver([&] {
        while (!ended) {
            HWND box = ui::FindMessageBox("");
            if (!box) {
                Sleep(20);
                continue;
            }
            const std::string text = ui::MessageBoxText(box);
            messages += text + "\n";
            const bool question = text == "Exit installation?";
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(question ? IDYES : IDOK, BN_CLICKED), 0);
            ui::WaitGone(box);
            // An error shown by the window layer leaves the dialog waiting
            // for Cancel; its own messages ask the question by themselves.
            if (!question && !ui::WaitForMessageBox("Exit installation?", 500))
                ui::Click(ui::FindDialogWithControl(IDC_PROGRESS_BAR), IDCANCEL);
        }
    });
    const INT_PTR r = dlg.DoModal();
    ended = true;
    driver.join();
    return r;
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
