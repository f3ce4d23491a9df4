// The decision table of the installation sequence: which driver step runs,
// which completion page is shown and which final action follows, from the
// programmer type and the platform id alone.
#pragma once
#include <cstdint>

#include "config/SetupState.h"
#include "wizard/PageIds.h"

enum class DriverStep { none, usbDriver, kernelService };
enum class FinalActionKind {
    restartIfChosen,  // restart page: restart when restartNow, else nothing
    startOrOpen,      // completion page: start the program or open its folder
};

struct SequenceDecision {
    DriverStep driverStep;
    unsigned completionPageId;  // IDD_PAGE_COMPLETE or IDD_PAGE_RESTART
    FinalActionKind finalAction;
};

SequenceDecision DecideSequence(ProgrammerType programmerType, Platform platformId);

// What the sequence does with a modal result.
constexpr int kWizardInstallResult = IDC_WIZ_INSTALL;  // the Install button's id
constexpr int kProgressDoneResult = 1;       // IDOK
inline bool WizardLetsInstall(int result) { return result == kWizardInstallResult; }
inline bool CopyingFinished(int result) { return result == kProgressDoneResult; }
