#include "app/Sequence.h"

#include "wizard/PageIds.h"

SequenceDecision DecideSequence(ProgrammerType programmerType, Platform platformId) {
    if (programmerType == ProgrammerType::usbDriver)
        return {DriverStep::usbDriver, IDD_PAGE_COMPLETE, FinalActionKind::startOrOpen};
    if (programmerType == ProgrammerType::kernelDriver && platformId == Platform::nt)
        return {DriverStep::kernelService, IDD_PAGE_RESTART, FinalActionKind::restartIfChosen};
    return {DriverStep::none, IDD_PAGE_COMPLETE, FinalActionKind::startOrOpen};
}
