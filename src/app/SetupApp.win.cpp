#include "app/SetupApp.h"

#include <windows.h>

#include <cstring>
#include <memory>

#include "app/InstallSequence.h"
#include "app/Sequence.h"
#include "app/SetupInstance.h"
#include "config/SetupState.h"
#include "engine/ProgressDlg.h"
#include "system/CompletionActions.h"
#include "wizard/AgreementPage.h"
#include "wizard/CompletePages.h"
#include "wizard/DestinationPage.h"
#include "wizard/LanguagePage.h"
#include "wizard/PageIds.h"
#include "wizard/WelcomePage.h"
#include "wizard/Wizard.h"

void InitSetupStateFromModule() {
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;  // 148
    GetVersionExA(&version);
    g_setup.platformId = static_cast<Platform>(version.dwPlatformId);

    char module[260] = {0};
    GetModuleFileNameA(nullptr, module, sizeof module - 1);
    SetSourceFromModulePath(module);
    // The folder itself, even when it is too long for sourceDir.
    char* slash = std::strrchr(module, '\\');
    if (slash) *slash = 0;
    SetCurrentDirectoryA(module);
}

namespace {

// The setup's own steps: its dialogs and the system steps. Each step
// builds the objects it needs; they live until the sequence is over and go
// in reverse order of creation (members are built in declaration order and
// destroyed in reverse).
class CSetupSteps : public ISetupSteps {
public:

    int RunWizard() override {
        wizard_ = std::make_unique<CWizardDlg>();
        wizard_->installOnLastPage = FALSE;  // only the agreement page enables Install
        welcome_ = std::make_unique<CWelcomePage>();
        destination_ = std::make_unique<CDestinationPage>();
        language_ = std::make_unique<CLanguagePage>();
        agreement_ = std::make_unique<CAgreementPage>();
        wizard_->AppendPage(welcome_.get(), IDD_PAGE_WELCOME);
        wizard_->AppendPage(destination_.get(), IDD_PAGE_DESTINATION);
        wizard_->AppendPage(language_.get(), IDD_PAGE_LANGUAGE);
        wizard_->AppendPage(agreement_.get(), IDD_PAGE_AGREEMENT);
        return static_cast<int>(wizard_->DoModal());
    }
    int RunProgress() override {
        progress_ = std::make_unique<CProgressDlg>();
        return static_cast<int>(progress_->DoModal());
    }
    void DeleteListedFiles() override { ::DeleteListedFiles(); }
    void InstallUsbDriver() override { ::InstallUsbDriver(); }
    void RegisterKernelService() override { ::RegisterKernelService(); }
    void RunCompletion(unsigned pageId) override {
        finish_ = std::make_unique<CWizardDlg>();
        finish_->finishMode = TRUE;
        complete_ = std::make_unique<CCompletePage>();
        restart_ = std::make_unique<CRestartPage>();
        if (pageId == IDD_PAGE_RESTART) finish_->AppendPage(restart_.get(), IDD_PAGE_RESTART);
        else finish_->AppendPage(complete_.get(), IDD_PAGE_COMPLETE);
        finish_->DoModal();
    }
    void CopyLanguageLibrary() override { ::CopyLanguageLibrary(); }
    void CreateShortcuts() override { ::CreateShortcuts(); }
    void RunFinalAction() override {
        ::RunFinalAction(DecideSequence(g_setup.programmerType, g_setup.platformId).finalAction ==
                         FinalActionKind::restartIfChosen);
    }

private:
    std::unique_ptr<CWizardDlg> wizard_;
    std::unique_ptr<CWelcomePage> welcome_;
    std::unique_ptr<CDestinationPage> destination_;
    std::unique_ptr<CLanguagePage> language_;
    std::unique_ptr<CAgreementPage> agreement_;
    std::unique_ptr<CProgressDlg> progress_;
    std::unique_ptr<CWizardDlg> finish_;
    std::unique_ptr<CCompletePage> complete_;
    std::unique_ptr<CRestartPage> restart_;
};

}  // namespace

BOOL CSetupApp::InitInstance() {
    // A second copy (a double click on a slow medium) brings the first one's
    // window to the front and ends: two installations into one folder race.
    SetupInstanceLock oneAtATime;
    if (!oneAtATime.Held()) return FALSE;
    InitSetupStateFromModule();
    CSetupSteps steps;
    RunInstallSequence(steps);
    return FALSE;  // no message loop: the process ends here
}
