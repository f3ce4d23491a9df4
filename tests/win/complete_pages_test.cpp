// The completion run's pages in the finish-mode frame: what Finish (clicked
// or pressed with Enter) stores, and what the cancel path leaves.
#include "PageTestSupport.h"
#include "wizard/CompletePages.h"
#include "wizard/PageIds.h"

using namespace pagetest;

namespace {
enum End { clickFinish, enterKey, cancelPath };

// Runs one page in finish mode; press lists buttons to press first; end
// chooses how the run ends: Finish clicked, Enter, or the close box's cancel
// path.
template <typename Page>
INT_PTR RunFinish(std::initializer_list<int> press, End end, const char* picture = nullptr) {
    CWizardDlg frame;
    frame.finishMode = TRUE;
    Page page;
    return RunWizard(frame, {&page}, [&](HWND dlg) {
        HWND p = WaitPage(dlg, IDC_DONE_TITLE);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(ui::ControlText(p, IDC_DONE_TITLE), "Setup Complete");
        if (picture) Picture(dlg, picture);
        for (int id : press) PressSync(p, id);
        if (end == clickFinish) {
            ui::Click(dlg, IDC_WIZ_INSTALL);
        } else if (end == enterKey) {
            ui::Key(dlg, VK_RETURN);
        } else {
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // the close box / Esc
            EXPECT_NE(ui::Answer("Exit installation?", IDYES), "");
        }
    });
}
}  // namespace

TEST(CompletePage, FinishStoresTheRunChoice) {
    Scratch s("[Software]\nVersion=Demo Writer 2.4\n");
    EXPECT_EQ(RunFinish<CCompletePage>({}, clickFinish, "complete"), IDC_WIZ_INSTALL);
    EXPECT_FALSE(g_setup.runAfterSetup);
    EXPECT_EQ(RunFinish<CCompletePage>({IDC_DONE_RUN}, clickFinish), IDC_WIZ_INSTALL);
    EXPECT_TRUE(g_setup.runAfterSetup);
    // The box starts from the stored value: pressing it now unticks it.
    EXPECT_EQ(RunFinish<CCompletePage>({IDC_DONE_RUN}, clickFinish), IDC_WIZ_INSTALL);
    EXPECT_FALSE(g_setup.runAfterSetup);
    // Enter is Finish, wherever the focus is (here on the box just ticked).
    EXPECT_EQ(RunFinish<CCompletePage>({IDC_DONE_RUN}, enterKey), IDC_WIZ_INSTALL);
    EXPECT_TRUE(g_setup.runAfterSetup);
}

TEST(CompletePage, CancelPathLeavesTheChoiceUnchanged) {
    Scratch s("[Software]\nVersion=Demo Writer 2.4\n");
    EXPECT_EQ(RunFinish<CCompletePage>({IDC_DONE_RUN}, cancelPath), IDCANCEL);
    EXPECT_FALSE(g_setup.runAfterSetup);
}

TEST(RestartPage, YesPreselectedAndFinishStoresTheChoice) {
    Scratch s("[Software]\nVersion=Demo Writer 2.4\n");
    EXPECT_EQ(RunFinish<CRestartPage>({}, clickFinish, "restart"), IDC_WIZ_INSTALL);
    EXPECT_TRUE(g_setup.restartNow);
    EXPECT_EQ(RunFinish<CRestartPage>({IDC_DONE_RESTART_NO}, clickFinish), IDC_WIZ_INSTALL);
    EXPECT_FALSE(g_setup.restartNow);
    g_setup.restartNow = TRUE;
    EXPECT_EQ(RunFinish<CRestartPage>({IDC_DONE_RESTART_NO, IDC_DONE_RESTART_YES}, clickFinish), IDC_WIZ_INSTALL);
    EXPECT_TRUE(g_setup.restartNow);
    EXPECT_EQ(RunFinish<CRestartPage>({IDC_DONE_RESTART_NO}, enterKey), IDC_WIZ_INSTALL);
    EXPECT_FALSE(g_setup.restartNow);
}

// A confirmed exit never restarts, whatever was selected.
TEST(RestartPage, RadioButtonsExcludeEachOtherAndCancelNeverRestarts) {
    Scratch s("[Software]\nVersion=Demo Writer 2.4\n");
    CWizardDlg frame;
    frame.finishMode = TRUE;
    CRestartPage page;
    INT_PTR r = RunWizard(frame, {&page}, [&](HWND dlg) {
        HWND p = WaitPage(dlg, IDC_DONE_RESTART_YES);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(ui::CheckState(p, IDC_DONE_RESTART_YES), BST_CHECKED);
        EXPECT_EQ(ui::CheckState(p, IDC_DONE_RESTART_NO), BST_UNCHECKED);
        PressSync(p, IDC_DONE_RESTART_NO);
        EXPECT_EQ(ui::CheckState(p, IDC_DONE_RESTART_YES), BST_UNCHECKED);
        EXPECT_EQ(ui::CheckState(p, IDC_DONE_RESTART_NO), BST_CHECKED);
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_NE(ui::Answer("Exit installation?", IDYES), "");
    });
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_FALSE(g_setup.restartNow);
    g_setup.restartNow = TRUE;
    EXPECT_EQ(RunFinish<CRestartPage>({}, cancelPath), IDCANCEL);
    EXPECT_FALSE(g_setup.restartNow);
}
