// The application object: runs the whole installation in InitInstance.
#pragma once
#include "fw/App.h"

class CSetupApp : public CWinApp {
public:
    CSetupApp() = default;
    // Runs the sequence from start-up to the final action; always FALSE, so
    // the process ends when the sequence is over.
    BOOL InitInstance() override;

    // The steps after copying; each reads SetupState and the configuration
    // file and reports its own failures.
    void DeleteListedFiles();
    void CopyLanguageLibrary();
    void RunFinalAction();
    void CreateShortcuts();
    void RegisterKernelService();
    void InstallUsbDriver();
    // Parts of the USB step: remove a device's enumeration key (a path below
    // HKEY_LOCAL_MACHINE) with the driver keys of its instances, and remove
    // the direct subkeys of an open key.
    void DeleteDeviceKeys(const char* deviceKey);
    void DeleteSubkeys(HKEY key);
};

// Start-up: platform id, source folder (made the current directory) and
// configuration path. Part of InitInstance, callable by tests.
void InitSetupStateFromModule();
