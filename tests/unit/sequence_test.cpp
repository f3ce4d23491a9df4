#include <gtest/gtest.h>

#include "app/Sequence.h"

// Every row of the decision table, over the platform ids a version query can
// report (0 Win32s, 1 Windows 95 family, 2 NT family) and a few programmer
// types outside 0 and 1.
TEST(DecideSequence, EveryRowOfTheTable) {
    for (uint32_t platform : {0u, 1u, 2u, 3u}) {
        SequenceDecision usb = DecideSequence(1, platform);
        EXPECT_EQ(usb.driverStep, DriverStep::usbDriver) << platform;
        EXPECT_EQ(usb.completionPageId, 139u);
        EXPECT_EQ(usb.finalAction, FinalActionKind::startOrOpen);

        SequenceDecision kernel = DecideSequence(0, platform);
        if (platform == 2) {
            EXPECT_EQ(kernel.driverStep, DriverStep::kernelService);
            EXPECT_EQ(kernel.completionPageId, 141u);
            EXPECT_EQ(kernel.finalAction, FinalActionKind::restartIfChosen);
        } else {
            EXPECT_EQ(kernel.driverStep, DriverStep::none) << platform;
            EXPECT_EQ(kernel.completionPageId, 139u);
            EXPECT_EQ(kernel.finalAction, FinalActionKind::startOrOpen);
        }

        for (int32_t other : {2, -1, 7, INT32_MIN, INT32_MAX}) {
            SequenceDecision d = DecideSequence(other, platform);
            EXPECT_EQ(d.driverStep, DriverStep::none) << other << " " << platform;
            EXPECT_EQ(d.completionPageId, 139u);
            EXPECT_EQ(d.finalAction, FinalActionKind::startOrOpen);
        }
    }
}

TEST(SequenceResults, OnlyInstallAndOkGoOn) {
    EXPECT_TRUE(WizardLetsInstall(12325));
    for (int r : {1, 2, 0, -1, 12324}) EXPECT_FALSE(WizardLetsInstall(r)) << r;
    EXPECT_TRUE(CopyingFinished(1));
    for (int r : {2, 0, -1, 12325}) EXPECT_FALSE(CopyingFinished(r)) << r;
}
