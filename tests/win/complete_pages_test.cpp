// The completion run's pages in the finish-mode frame: what Finish (clicked
// or pressed with Enter) stores, and what the cancel path leaves.
#include "win/support/PageTestSupport.h"
#include "wizard/CompletePages.h"
#include "wizard/PageIds.h"

using namespace pagetest;

TEST(CompletePages, FinishStoresTheChoiceAndCancelNeverDoes) {
    Scratch s("[Software]\nVersion=Demo Writer 2.4\n");
    enum End { finish, enter, cancel };
    const struct {
        bool restart;  // the restart page, else the run-the-program page
        BOOL before;
        std::initializer_list<int> press;
        End end;
        BOOL after;
        const char* picture;
    } rows[] = {
        {false, FALSE, {}, finish, FALSE, "complete"},
        {false, FALSE, {IDC_DONE_RUN}, finish, TRUE, nullptr},
        {false, TRUE, {IDC_DONE_RUN}, finish, FALSE, nullptr},  // the box starts from the stored value
        {false, FALSE, {IDC_DONE_RUN}, enter, TRUE, nullptr},   // Enter is Finish, the focus on the box
        {false, FALSE, {IDC_DONE_RUN}, cancel, FALSE, nullptr},
        {true, TRUE, {}, finish, TRUE, "restart"},  // Yes preselected, as the state starts
        {true, TRUE, {IDC_DONE_RESTART_NO}, finish, FALSE, nullptr},
        {true, TRUE, {IDC_DONE_RESTART_NO, IDC_DONE_RESTART_YES}, finish, TRUE, nullptr},
        {true, TRUE, {IDC_DONE_RESTART_NO}, enter, FALSE, nullptr},
        {true, TRUE, {}, cancel, FALSE, nullptr},  // a confirmed exit never restarts
        {true, TRUE, {IDC_DONE_RESTART_NO}, cancel, FALSE, nullptr},
    };
    for (const auto& row : rows) {
        BOOL& stored = row.restart ? g_setup.restartNow : g_setup.runAfterSetup;
        stored = row.before;
        CWizardDlg frame;
        frame.finishMode = TRUE;
        CCompletePage complete;
        CRestartPage restart;
        CWizardPage* page = row.restart ? static_cast<CWizardPage*>(&restart) : &complete;
        INT_PTR r = RunWizard(frame, {page}, [&](HWND dlg) {
            HWND p = WaitPage(dlg, IDC_DONE_TITLE);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(ui::ControlText(p, IDC_DONE_TITLE), "Setup Complete");
            if (row.picture) Picture(dlg, row.picture);
            for (int id : row.press) PressSync(p, id);
            if (row.restart) {  // the radio buttons exclude each other
                EXPECT_NE(ui::CheckState(p, IDC_DONE_RESTART_YES), ui::CheckState(p, IDC_DONE_RESTART_NO));
            }
            if (row.end == finish) ui::Click(dlg, IDC_WIZ_INSTALL);
            if (row.end == enter) ui::Key(dlg, VK_RETURN);
            if (row.end == cancel) {
                PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // the close box / Esc
                EXPECT_NE(ui::Answer("Exit installation?", IDYES), "");
            }
        });
        EXPECT_EQ(r, row.end == cancel ? INT_PTR(IDCANCEL) : INT_PTR(IDC_WIZ_INSTALL));
        EXPECT_EQ(stored, row.after) << "restart " << row.restart << ", row " << (&row - rows);
    }
}
