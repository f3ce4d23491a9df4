#include "app/InstallSequence.h"

#include "app/Sequence.h"
#include "config/SetupState.h"

void RunInstallSequence(ISetupSteps& steps) {
    // The wizard: every created page has committed when it ends with
    // Install, which includes switching configPath to the copy.
    if (!WizardLetsInstall(steps.RunWizard())) return;
    // Copying: a cancel leaves whatever was copied.
    if (!CopyingFinished(steps.RunProgress())) return;

    steps.DeleteListedFiles();
    g_setup.programmerType = static_cast<ProgrammerType>(ReadConfigInt("Programmer", "Type"));
    const SequenceDecision decision = DecideSequence(g_setup.programmerType, g_setup.platformId);
    switch (decision.driverStep) {
    case DriverStep::usbDriver:
        steps.InstallUsbDriver();
        break;
    case DriverStep::kernelService:
        steps.RegisterKernelService();
        break;
    case DriverStep::none:
        break;
    }
    steps.RunCompletion(decision.completionPageId);  // Finish or cancel: the sequence goes on
    steps.CopyLanguageLibrary();
    steps.CreateShortcuts();
    steps.RunFinalAction();
}
