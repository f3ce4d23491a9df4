#include "app/SetupApp.h"

#include <windows.h>

#include <cstring>
#include <memory>

#include "app/InstallSequence.h"
#include "config/SetupState.h"
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
    SetSourceFromModulePath(module);
    // The folder itself, even when it is too long for sourceDir.
    char* slash = std::strrchr(module, '\\');
    if (slash) *slash = 0;
    SetCurrentDirectoryA(module);
}

namespace {

// The setup's own steps: its dialogs and CSetupApp's operations. Each step
// builds the objects it needs; they live until the sequence is over and go
// in reverse order of creation (members are built in declaration order and
// destroyed in reverse).
class CSetupSteps : public ISetupSteps {
public:
    explicit CSetupSteps(CSetupApp& app) : app_(app) {}

    int RunWizard() override {
        wizard_ = std::make_unique<CWizardDlg>();
        wizard_->installOnLastPage = FALSE;  // only the agreement page enables Install
        welcome_ = std::make_unique<CWelcomePage>();
        destination_ = std::make_unique<CDestinationPage>();
        language_ = std::make_unique<CLanguagePage>();
        agreement_ = std::make_unique<CAgreementPage>();
        wizard_->AppendPage(welcome_.get(), 136);
        wizard_->AppendPage(destination_.get(), 137);
        wizard_->AppendPage(language_.get(), 138);
        wizard_->AppendPage(agreement_.get(), 142);
        return static_cast<int>(wizard_->DoModal());
    }
    int RunProgress() override {
        progress_ = std::make_unique<CProgressDlg>();
        return static_cast<int>(progress_->DoModal());
    }
    void DeleteListedFiles() override { app_.DeleteListedFiles(); }
    void InstallUsbDriver() override { app_.InstallUsbDriver(); }
    void RegisterKernelService() override { app_.RegisterKernelService(); }
    void RunCompletion(unsigned pageId) override {
        finish_ = std::make_unique<CWizardDlg>();
        finish_->finishMode = TRUE;
        complete_ = std::make_unique<CCompletePage>();
        restart_ = std::make_unique<CRestartPage>();
        if (pageId == 141) finish_->AppendPage(restart_.get(), 141);
        else finish_->AppendPage(complete_.get(), 139);
        finish_->DoModal();
    }
    void CopyLanguageLibrary() override { app_.CopyLanguageLibrary(); }
    void CreateShortcuts() override { app_.CreateShortcuts(); }
    void RunFinalAction() override { app_.RunFinalAction(); }

private:
    CSetupApp& app_;
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
    InitSetupStateFromModule();
    CSetupSteps steps(*this);
    RunInstallSequence(steps);
    return FALSE;  // no message loop: the process ends here
}
