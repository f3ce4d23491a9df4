// The installation sequence from the first wizard to the final action, as
// one function over the steps it runs. The setup runs it with the real
// dialogs and system steps (CSetupApp::InitInstance); tests run it with
// steps of their own. Portable: the steps are an interface.
#pragma once

class ISetupSteps {
public:
    virtual ~ISetupSteps() = default;
    // The first wizard run (four pages); its modal result.
    virtual int RunWizard() = 0;
    // The progress dialog's modal run; its result.
    virtual int RunProgress() = 0;
    virtual void DeleteListedFiles() = 0;
    virtual void InstallUsbDriver() = 0;
    virtual void RegisterKernelService() = 0;
    // The second wizard run in finish mode with the one completion page
    // (IDD_PAGE_COMPLETE or IDD_PAGE_RESTART); its result is not examined.
    virtual void RunCompletion(unsigned pageId) = 0;
    virtual void CopyLanguageLibrary() = 0;
    virtual void CreateShortcuts() = 0;
    virtual void RunFinalAction() = 0;
};

// Runs the steps after start-up. The wizard must end with its Install result
// and the progress dialog with its OK result, or nothing after them runs.
// Reads [Programmer] Type into g_setup.programmerType after copying and
// decides from it and g_setup.platformId which driver step and completion
// page follow.
void RunInstallSequence(ISetupSteps& steps);
