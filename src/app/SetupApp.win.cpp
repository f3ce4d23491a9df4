#include "app/SetupApp.h"

#include <windows.h>

#include <cstring>
#include <memory>

#include "app/Paths.h"
#include "app/Sequence.h"
#include "app/SetupState.h"
#include "engine/ProgressDlg.h"
#include "wizard/AgreementPage.h"
#include "wizard/CompletePages.h"
#include "wizard/DestinationPage.h"
#include "wizard/LanguagePage.h"
#include "wizard/WelcomePage.h"
#include "wizard/Wizard.h"

void InitSetupStateFromModule() {
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;  // 148
    GetVersionExA(&version);
    g_setup.platformId = version.dwPlatformId;

    char module[260] = {0};
    GetModuleFileNameA(nullptr, module, sizeof module - 1);
    char* slash = std::strrchr(module, '\\');
    if (slash) *slash = 0;  // A:\SETUP.EXE gives "A:"
    SetCurrentDirectoryA(module);
    // The folder may have at most 188 characters so that "\morlan.ini"
    // fits; a longer one leaves configPath empty (every read gives its
    // default) rather than naming a cut path.
    if (!JoinPath(g_setup.sourceDir, sizeof g_setup.sourceDir, {module}) ||
        !JoinPath(g_setup.configPath, sizeof g_setup.configPath, {module, "\\morlan.ini"})) {
        g_setup.configPath[0] = 0;
    }
}

BOOL CSetupApp::InitInstance() {
    InitSetupStateFromModule();

    // Objects of the sequence live until InitInstance returns and are
    // destroyed in reverse order of creation.
    CWizardDlg wizard;
    wizard.installOnLastPage = FALSE;
    CWelcomePage welcome;
    CDestinationPage destination;
    CLanguagePage language;
    CAgreementPage agreement;
    wizard.AppendPage(&welcome, 136);
    wizard.AppendPage(&destination, 137);
    wizard.AppendPage(&language, 138);
    wizard.AppendPage(&agreement, 142);
    if (!WizardLetsInstall(static_cast<int>(wizard.DoModal()))) return FALSE;

    std::unique_ptr<CProgressDlg> progress = std::make_unique<CProgressDlg>();
    if (!CopyingFinished(static_cast<int>(progress->DoModal()))) return FALSE;

    DeleteListedFiles();

    CWizardDlg finish;
    finish.finishMode = TRUE;
    g_setup.programmerType = ReadConfigInt("Programmer", "Type");
    CCompletePage complete;
    CRestartPage restart;

    const SequenceDecision decision = DecideSequence(g_setup.programmerType, g_setup.platformId);
    switch (decision.driverStep) {
    case DriverStep::usbDriver:
        InstallUsbDriver();
        break;
    case DriverStep::kernelService:
        RegisterKernelService();
        break;
    case DriverStep::none:
        break;
    }
    if (decision.completionPageId == 141) finish.AppendPage(&restart, 141);
    else finish.AppendPage(&complete, 139);
    finish.DoModal();  // Finish or cancel: the sequence goes on either way

    CopyLanguageLibrary();
    CreateShortcuts();
    RunFinalAction();
    return FALSE;
}
