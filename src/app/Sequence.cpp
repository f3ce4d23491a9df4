#include "app/Sequence.h"

#include "wizard/PageIds.h"

SequenceDecision DecideSequence(int32_t programmerType, uint32_t platformId) {
    if (programmerType == 1) return {DriverStep::usbDriver, IDD_PAGE_COMPLETE, FinalActionKind::startOrOpen};
    if (programmerType == 0 && platformId == kPlatformNT)
        return {DriverStep::kernelService, IDD_PAGE_RESTART, FinalActionKind::restartIfChosen};
    return {DriverStep::none, IDD_PAGE_COMPLETE, FinalActionKind::startOrOpen};
}
