// Smoke test of the framework and the support driver: a one-page frame in
// finish mode ends with the Install command's id when Finish is clicked.
#include <gtest/gtest.h>

#include "app/SetupState.h"
#include "win/support/UiDriver.h"
#include "wizard/Wizard.h"

TEST(FrameSmoke, FinishEndsWithInstallId) {
    ResetSetupState();
    CWizardDlg frame;
    frame.finishMode = TRUE;
    CWizardPage page(139);
    frame.AppendPage(&page, 139);
    std::string finishText;
    bool backVisible = true;
    ui::Driver driver([&] {
        HWND dlg = ui::WaitForDialogWithControl(IDC_WIZ_INSTALL);
        ASSERT_NE(dlg, nullptr);
        finishText = ui::ControlText(dlg, IDC_WIZ_INSTALL);
        backVisible = ui::ControlVisible(dlg, IDC_WIZ_BACK);
        ui::Click(dlg, IDC_WIZ_INSTALL);
    });
    INT_PTR r = frame.DoModal();
    driver.Finish();
    EXPECT_EQ(r, IDC_WIZ_INSTALL);
    EXPECT_EQ(finishText, "Finish");
    EXPECT_FALSE(backVisible);
}
