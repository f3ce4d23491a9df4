// The application object: runs the whole installation in InitInstance.
#pragma once
#include "fw/App.h"

class CSetupApp : public CWinApp {
public:
    CSetupApp() = default;
    // Runs the sequence from start-up to the final action; always FALSE, so
    // the process ends when the sequence is over.
    BOOL InitInstance() override;
};

// Start-up: platform id, source folder (made the current directory) and
// configuration path. Part of InitInstance, callable by tests.
void InitSetupStateFromModule();
