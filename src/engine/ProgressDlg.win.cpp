#include "engine/ProgressDlg.h"

#include <commctrl.h>

#include "config/Messages.h"
#include "config/SetupState.h"
#include "engine/EngineIds.h"
#include "engine/ReplaceDiskDlg.h"
#include "fw/App.h"

using engine::Pace;
using engine::StepResult;

namespace {

// The bar is drawn as Windows draws the common controls of a program that
// asks for no visual styles, as this one does not: plain. Some emulators
// draw every bar with the system's visual style, scaling its pictures at
// each repaint, which under emulation costs several milliseconds a time,
// many times over in the pack phase. Windows before XP has no uxtheme.dll.
void DrawClassic(HWND control) {
    using SetTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    const HMODULE uxtheme = LoadLibraryA("uxtheme.dll");
    const auto setTheme =
        uxtheme ? reinterpret_cast<SetTheme>(reinterpret_cast<void*>(GetProcAddress(uxtheme, "SetWindowTheme")))
                : nullptr;
    if (setTheme) setTheme(control, L" ", L" ");  // no visual style has the name " "
}

}  // namespace

CProgressDlg::CProgressDlg(HWND parent, ProgressPacing pacing) : CDialog(IDD_PROGRESS, parent), pacing_(pacing) {}

CProgressDlg::~CProgressDlg() = default;

BOOL CProgressDlg::OnInitDialog() {
    engine_.Start();
    SetWindowText(g_setup.productVersion);
    progressBar_ = GetDlgItem(IDC_PROGRESS_BAR);
    DrawClassic(progressBar_);
    ::SendMessageA(progressBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ::SendMessageA(progressBar_, PBM_SETSTEP, 1, 0);
    ::SendMessageA(progressBar_, PBM_SETPOS, 0, 0);
    ::SetTimer(m_hWnd, kStepTimer, 1, nullptr);
    return TRUE;
}

BOOL CProgressDlg::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR& result) {
    result = 0;
    if (msg == WM_ARCHIVE_STEP) {
        OnArchiveStep();
        return TRUE;
    }
    if (msg == WM_PACK_STEP) {
        OnPackStep();
        return TRUE;
    }
    return FALSE;
}

void CProgressDlg::OnTimer(UINT_PTR id) {
    if (id == kStepTimer) OnStepTimer();
}

void CProgressDlg::OnStepTimer() {
    ::KillTimer(m_hWnd, kStepTimer);
    if (engine_.GetPhase() != engine::Phase::archives || running_) PostNextStep();
}

void CProgressDlg::PostNextStep() {
    switch (engine_.GetPhase()) {
    case engine::Phase::archives: ::PostMessageA(m_hWnd, WM_ARCHIVE_STEP, 0, 0); break;
    case engine::Phase::packs: ::PostMessageA(m_hWnd, WM_PACK_STEP, 0, 0); break;
    case engine::Phase::finished: break;
    }
}

void CProgressDlg::RunSteps() {
    for (;;) {
        const StepResult r = engine_.Step();
        Show(r);
        switch (r.kind) {
        case StepResult::Kind::finished: EndDialog(IDOK); return;
        case StepResult::Kind::failed: Fail(r.failure); return;
        case StepResult::Kind::needDisk:
            if (!AskForDisk(r.disk)) {
                OnCancel();
                return;
            }
            continue;  // the copy again
        case StepResult::Kind::progress: break;
        }
        switch (r.pace) {
        // A step's texts are on the screen before the next step or the wait
        // blocks the thread (posted steps come before painting): an
        // archive's names while it is copied, the bar's midway while it is
        // unpacked, the finished bar through the wait after the last.
        case Pace::now:
            Repaint();
            continue;
        case Pace::lastArchive:
            Repaint();
            ::Sleep(pacing_.lastArchiveWaitMs);
            [[fallthrough]];
        case Pace::archiveDone:
            ::SetTimer(m_hWnd, kStepTimer, pacing_.archivePauseMs, nullptr);
            running_ = true;
            return;
        case Pace::packReady: PostNextStep(); return;
        case Pace::recordDone: PaceRecords(); return;
        }
    }
}

void CProgressDlg::Show(const StepResult& r) {
    const bool record = r.kind == StepResult::Kind::progress && r.pace == Pace::recordDone;
    if (r.dest) keptDest_ = r.dest;
    if (r.percent >= 0) keptPercent_ = r.percent;
    if (r.source) SetDlgItemText(IDC_PROGRESS_SOURCE, r.source->c_str());
    if (!record) ShowKept();  // a record's wait for PaceRecords, which decides when to repaint
}

void CProgressDlg::ShowKept() {
    if (keptDest_) SetDlgItemText(IDC_PROGRESS_DEST, keptDest_->c_str());
    if (keptPercent_ >= 0) ShowPercent(keptPercent_);
    keptDest_.reset();
    keptPercent_ = -1;
}

// Pauses through the timer after every 40th record, and at once when input
// is waiting, so that Cancel never waits long: a timer message comes only
// after pending input and painting. In between, the window gets the kept
// line and bar position and is repainted in place once 100 ms have passed,
// which costs no timer round (ten pictures a second: a repaint takes about
// 15 ms under emulation, a file of a pack often less than 1 ms).
void CProgressDlg::PaceRecords() {
    recordsSinceYield_ += 1;
    if (recordsSinceYield_ >= kRecordsPerYield || HIWORD(::GetQueueStatus(QS_INPUT)) != 0) {
        recordsSinceYield_ = 0;
        ShowKept();
        ::SetTimer(m_hWnd, kStepTimer, 1, nullptr);
        return;
    }
    const DWORD now = ::GetTickCount();
    if (now - lastPaintTick_ >= kPaintAfterMs) {
        lastPaintTick_ = now;
        ShowKept();
        Repaint();
    }
    PostNextStep();
}

void CProgressDlg::Repaint() { ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

bool CProgressDlg::AskForDisk(int disk) {
    CReplaceDiskDlg prompt(m_hWnd);
    prompt.SetDisk(disk, g_setup.sourceDir);
    ::MessageBeep(MB_ICONEXCLAMATION);
    const INT_PTR r = prompt.DoModal();
    return r != IDCANCEL && r != -1;
}

void CProgressDlg::ShowPercent(int percent) {
    ::SendMessageA(progressBar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    char text[16];
    wsprintfA(text, "%d%%", percent);
    SetDlgItemText(IDC_PROGRESS_PERCENT, text);
}

void CProgressDlg::Fail(const engine::Failure& failure) {
    AppMessageBox(engine::FailureMessage(failure).c_str(), MB_OK | MB_ICONEXCLAMATION, m_hWnd);
    OnCancel();
}

void CProgressDlg::OnCancel() {
    ::KillTimer(m_hWnd, kStepTimer);
    running_ = false;
    if (AppMessageBox(kExitQuestion, MB_YESNO | MB_ICONQUESTION, m_hWnd) == IDYES) {
        EndDialog(IDCANCEL);
        return;
    }
    engine_.Retry();
    PostNextStep();
}
