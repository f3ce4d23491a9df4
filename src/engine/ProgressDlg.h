// The progress dialog (template 129): shows the install engine's run. The
// engine copies and unpacks the archives and writes the pack records; the
// dialog schedules its steps on the user-interface thread (two private
// messages and timer 2, so that painting and the Cancel button get through
// between them), keeps the pauses, shows the texts and the bar, asks for
// disks and asks "Exit installation?" after Cancel and after every failure.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "engine/InstallEngine.h"
#include "fw/Dialog.h"

#define WM_ARCHIVE_STEP (WM_USER + 2)
#define WM_PACK_STEP (WM_USER + 3)

// The pause after each archive and the wait after the last one. Tests of
// other behaviour may shorten them; the setup never does.
struct ProgressPacing {
    UINT archivePauseMs = 1000;
    DWORD lastArchiveWaitMs = 2000;
};

class CProgressDlg : public CDialog {
public:
    explicit CProgressDlg(HWND parent = nullptr, ProgressPacing pacing = {});
    ~CProgressDlg() override;

    // Begins with the pack phase (tests and benchmarks of that phase).
    void StartAtPacks() { engine_.StartAtPacks(); }

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR id) override;
    BOOL OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;

private:
    enum { kStepTimer = 2, kRecordsPerYield = 40, kPaintAfterMs = 100 };

    void OnArchiveStep() { RunSteps(); }
    void OnPackStep() { RunSteps(); }
    void OnStepTimer();
    // Runs engine steps until one schedules the next or ends the run.
    void RunSteps();
    void PostNextStep();
    // The next record at once, or after a pause through the timer.
    void PaceRecords();
    // The disk prompt for disk `disk`; false when the user cancelled it.
    bool AskForDisk(int disk);
    void ShowPercent(int percent);
    // Puts a step's texts and bar position into the controls; a written
    // record's destination and position are kept for PaceRecords to show.
    void Show(const engine::StepResult& r);
    // Puts what Show kept into the controls.
    void ShowKept();
    // Paints what changed now, within a step.
    void Repaint();
    // Shows the failure's message (OK, exclamation icon), then the question.
    void Fail(const engine::Failure& failure);

    engine::CInstallEngine engine_;
    ProgressPacing pacing_;
    HWND progressBar_ = nullptr;  // control 1009
    bool running_ = true;         // the step timer may start the next archive step
    int recordsSinceYield_ = 0;
    DWORD lastPaintTick_ = 0;     // when the pack phase last repainted the window
    // A record's destination line and bar position not shown yet: every
    // change of the controls costs a repaint, which under emulation takes
    // longer than writing a small file.
    std::optional<std::string> keptDest_;
    int keptPercent_ = -1;
};
