// The progress dialog (template 129): copies and unpacks every archive of
// every disk (bar 0..20 %), then writes every record of every pack file
// (bar 20..100 %). The work runs on the user-interface thread in short
// steps, scheduled by two private messages and timer 2, so that painting
// and the Cancel button get through between them. The work of one archive
// and of one record lives in engine/InstallSteps.h.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "config/Sizes.h"
#include "engine/PackFile.h"
#include "fw/Dialog.h"

#define WM_ARCHIVE_STEP (WM_USER + 2)
#define WM_PACK_STEP (WM_USER + 3)

class CProgressDlg : public CDialog {
public:
    explicit CProgressDlg(HWND parent = nullptr);
    ~CProgressDlg() override;

    enum { kStepTimer = 2, kRecordsPerYield = 40, kYieldAfterMs = 30 };

    int phase = 0;              // 0 archives, 1 packs
    bool packsPending = true;   // the pack phase has not been set up yet
    int diskCount = 0;          // [Disk] Number
    int itemCount = 0;          // archives on the current disk (0: not read) / the pack's header count
    bool running = true;        // the step timer may start the next archive step
    int currentDisk = 1;
    int currentArchive = 1;
    int archivePercent = 0;
    char packPath[sizes::kPath] = {};
    char packDestDir[sizes::kFolder] = {};
    int recordsDone = 0;
    int lastPercent = 20;
    int recordsSinceYield = 0;
    int packCount = 0;
    int packIndex = 0;          // packs opened so far
    int packBase = 0;
    int packShare = 0;
    bool finished = false;
    CPackReader packFile;
    std::unique_ptr<char[]> readBuffer;
    std::unique_ptr<char[]> writeBuffer;
    HWND progressBar = nullptr;  // control 1009

    // The pause after each archive and the wait after the last one. Tests
    // of other behaviour may shorten them; the setup never does.
    UINT archivePauseMs = 1000;
    DWORD lastArchiveWaitMs = 2000;

    void OnArchiveStep();
    void OnPackStep();
    void OnStepTimer();
    void OpenNextPack();
    void FinishPacks();
    void SetUpPackPhase();

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR id) override;
    BOOL OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;

private:
    void ShowPercent(int percent);
    // Shows a message (OK, exclamation icon), then the cancel question.
    void Fail(const char* text);
    void Fail(const std::string& text) { Fail(text.c_str()); }
    void ClosePack(bool deleteIt);

    DWORD lastYieldTick_ = 0;  // when the pack phase last paused through the timer
    std::string packProblem_;  // why the current pack could not be opened, if known
};
