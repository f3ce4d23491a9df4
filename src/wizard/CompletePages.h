// The completion run's pages: one of them is shown in the finish-mode
// frame, and stores the user's choice when Finish is pressed.
#pragma once
#include "wizard/Wizard.h"

// Offers to start the installed program (runAfterSetup).
class CCompletePage : public CWizardPage {
public:
    explicit CCompletePage(HWND parent = nullptr);
    BOOL CommitPage() override;

    HWND titleLabel = nullptr;  // 1004

protected:
    BOOL OnInitDialog() override;
};

// Asks whether to restart the computer now (restartNow).
class CRestartPage : public CWizardPage {
public:
    explicit CRestartPage(HWND parent = nullptr);
    BOOL CommitPage() override;
    // Leaving through the cancel path is never a request to restart.
    BOOL CanCancelSetup() override;

    HWND titleLabel = nullptr;  // 1004

protected:
    BOOL OnInitDialog() override;
};
