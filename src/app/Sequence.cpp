#include "app/Sequence.h"

SequenceDecision DecideSequence(int32_t programmerType, uint32_t platformId) {
    if (programmerType == 1) return {DriverStep::usbDriver, 139, FinalActionKind::startOrOpen};
    if (programmerType == 0 && platformId == kPlatformNT)
        return {DriverStep::kernelService, 141, FinalActionKind::restartIfChosen};
    return {DriverStep::none, 139, FinalActionKind::startOrOpen};
}
