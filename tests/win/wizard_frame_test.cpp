// The wizard frame with real windows: pages of the real templates, driven by
// control ids from a second thread as a user would, while the frame runs
// modally on the test's main thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "app/SetupState.h"
#include "win/support/UiDriver.h"
#include "wizard/Wizard.h"

namespace {

// What the hooks did, in order, as "page:Hook" (thread-safe).
class EventLog {
public:
    void Add(const std::string& e) {
        std::lock_guard<std::mutex> lock(m_);
        events_.push_back(e);
    }
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> lock(m_);
        std::vector<std::string> out;
        out.swap(events_);
        return out;
    }

private:
    std::mutex m_;
    std::vector<std::string> events_;
};

using Events = std::vector<std::string>;

// A page whose hooks log their calls and answer as the test sets them.
class TestPage : public CWizardPage {
public:
    TestPage(UINT id, const char* name, EventLog& log) : CWizardPage(id), name_(name), log_(log) {}

    // What the hooks answer.
    std::atomic<int> createResult{TRUE}, leaveResult{TRUE}, cancelResult{TRUE}, commitResult{TRUE};
    std::atomic<int> backTarget{0}, nextTarget{0};
    std::atomic<bool> enableInstallWhenShown{false};

    BOOL OnPageCreated() override {
        Log("OnPageCreated");
        return createResult;
    }
    void OnPageClosing() override { Log("OnPageClosing"); }
    BOOL CanLeavePage() override {
        Log("CanLeavePage");
        return leaveResult;
    }
    void OnPageShown() override {
        Log("OnPageShown");
        if (enableInstallWhenShown) wizard->SetInstallEnabled(TRUE);
    }
    BOOL CanCancelSetup() override {
        Log("CanCancelSetup");
        return cancelResult;
    }
    int GetBackTarget() override {
        Log("GetBackTarget");
        return backTarget;
    }
    int GetNextTarget() override {
        Log("GetNextTarget");
        return nextTarget;
    }
    BOOL CommitPage() override {
        Log("CommitPage");
        return commitResult;
    }
    bool Visible() const { return m_hWnd && IsWindowVisible(m_hWnd); }

private:
    void Log(const char* hook) { log_.Add(name_ + ":" + hook); }
    std::string name_;
    EventLog& log_;
};

constexpr UINT WM_TEST_ABORT = WM_APP + 77;
constexpr UINT WM_TEST_SYNC = WM_APP + 78;

// The setup's frame, counting the commands it has finished, so that the
// driver can wait for a click to be handled; and an emergency exit for a
// driver that gave up.
class TestFrame : public CWizardDlg {
public:
    std::atomic<int> commandsDone{0};
    std::atomic<int> syncs{0};

protected:
    BOOL OnCommand(UINT id, UINT code, HWND control) override {
        BOOL r = CWizardDlg::OnCommand(id, code, control);
        ++commandsDone;
        return r;
    }
    BOOL OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR& result) override {
        if (msg == WM_TEST_SYNC) ++syncs;
        if (msg != WM_TEST_ABORT) return FALSE;
        EndDialog(-77);
        result = TRUE;
        return TRUE;
    }
};

struct Buttons {
    bool back, next, install;
    bool operator==(const Buttons& o) const { return back == o.back && next == o.next && install == o.install; }
};
std::ostream& operator<<(std::ostream& os, const Buttons& b) {
    return os << "{back " << b.back << ", next " << b.next << ", install " << b.install << "}";
}

// Drives one modal run of a frame.
class Session {
public:
    explicit Session(TestFrame& frame) : frame_(frame) {}

    HWND Dialog() {
        if (!dlg_) dlg_ = ui::WaitForDialogWithControl(IDC_WIZ_INSTALL);
        return dlg_;
    }
    // Clicks a frame button and waits until the frame has handled it.
    bool Press(int id) {
        int before = frame_.commandsDone;
        if (!ui::Click(Dialog(), id)) return false;
        for (int i = 0; i < 500 && frame_.commandsDone == before; ++i) Sleep(10);
        return frame_.commandsDone != before;
    }
    // Clicks, then waits for the question and answers it.
    std::string PressAndAnswer(int id, int answer) {
        int before = frame_.commandsDone;
        ui::Click(Dialog(), id);
        std::string text = ui::Answer("Exit installation?", answer);
        for (int i = 0; i < 500 && frame_.commandsDone == before; ++i) Sleep(10);
        return text;
    }
    // A command posted to the frame, as the dialog manager sends it.
    bool Command(int id) {
        int before = frame_.commandsDone;
        PostMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        for (int i = 0; i < 500 && frame_.commandsDone == before; ++i) Sleep(10);
        return frame_.commandsDone != before;
    }
    // A key press, returning once the frame's thread has handled it.
    void Key(UINT vk) {
        ui::Key(Dialog(), vk);
        int before = frame_.syncs;
        PostMessageA(Dialog(), WM_TEST_SYNC, 0, 0);
        for (int i = 0; i < 500 && frame_.syncs == before; ++i) Sleep(10);
    }
    int FocusId() { return GetDlgCtrlID(ui::FocusOf(Dialog())); }
    Buttons State() {
        return {ui::ControlEnabled(Dialog(), IDC_WIZ_BACK), ui::ControlEnabled(Dialog(), IDC_WIZ_NEXT),
                ui::ControlEnabled(Dialog(), IDC_WIZ_INSTALL)};
    }
    // Ends a run that the driver could not finish.
    void Abort() {
        if (dlg_ && IsWindow(dlg_)) PostMessageA(dlg_, WM_TEST_ABORT, 0, 0);
    }

private:
    TestFrame& frame_;
    HWND dlg_ = nullptr;
};

// Runs the frame modally while fn drives it; returns the modal result.
template <class Fn>
INT_PTR RunFrame(TestFrame& frame, Fn fn) {
    Session s(frame);
    ui::Driver driver([&] {
        if (!s.Dialog()) {
            ADD_FAILURE() << "the frame did not appear";
            return;
        }
        fn(s);
        // A driver that stopped early must not leave the frame open.
        if (!ui::WaitGone(s.Dialog(), 3000)) {
            ADD_FAILURE() << "the frame is still open";
            s.Abort();
        }
    });
    INT_PTR r = frame.DoModal();
    driver.Finish();
    return r;
}

class WizardFrame : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSetupState();
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        static int n = 0;
        std::snprintf(g_setup.configPath, sizeof g_setup.configPath, "%sframe_%lu_%d.ini", tmp,
                      GetCurrentProcessId(), ++n);
        WriteConfig("[Software]\r\nVersion=Frame Test 1.0\r\n");
    }
    void TearDown() override { DeleteFileA(g_setup.configPath); }
    void WriteConfig(const char* text) {
        FILE* f = std::fopen(g_setup.configPath, "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    }

    EventLog log;
    TestPage welcome{136, "welcome", log}, destination{137, "destination", log}, language{138, "language", log},
        agreement{142, "agreement", log};
    void AppendFour(TestFrame& frame) {
        frame.AppendPage(&welcome, 136);
        frame.AppendPage(&destination, 137);
        frame.AppendPage(&language, 138);
        frame.AppendPage(&agreement, 142);
    }
};

const Buttons kFirst{false, true, false};

}  // namespace

// The first run of the setup: four pages, Install only by a page's doing.
TEST_F(WizardFrame, ButtonStatesThroughTheFirstRun) {
    TestFrame frame;
    frame.installOnLastPage = FALSE;
    AppendFour(frame);
    agreement.enableInstallWhenShown = true;
    INT_PTR r = RunFrame(frame, [&](Session& s) {
        EXPECT_EQ(s.State(), kFirst);
        EXPECT_TRUE(welcome.Visible());
        EXPECT_EQ(ui::WindowText(s.Dialog()), "Frame Test 1.0");
        log.Take();

        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));  // to a middle page: Back on, the rest unchanged
        EXPECT_EQ(s.State(), (Buttons{true, true, false}));
        EXPECT_TRUE(destination.Visible());
        EXPECT_FALSE(welcome.Visible());
        EXPECT_EQ(log.Take(), (Events{"welcome:GetNextTarget", "destination:OnPageCreated", "welcome:CanLeavePage",
                                      "destination:OnPageShown"}));
        // The page sits in the frame's page area.
        RECT pr, ar;
        GetWindowRect(destination.m_hWnd, &pr);
        GetWindowRect(GetDlgItem(s.Dialog(), IDC_WIZ_PAGEAREA), &ar);
        EXPECT_EQ(pr.left, ar.left);
        EXPECT_EQ(pr.top, ar.top);

        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));  // the last page: Next off; its page enables Install
        EXPECT_TRUE(agreement.Visible());
        EXPECT_EQ(s.State(), (Buttons{true, false, true}));
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));  // Next on the last page does nothing
        EXPECT_TRUE(agreement.Visible());

        ASSERT_TRUE(s.Press(IDC_WIZ_BACK));  // back to a middle page: Install stays on
        EXPECT_TRUE(language.Visible());
        EXPECT_EQ(s.State(), (Buttons{true, true, true}));
        ASSERT_TRUE(s.Press(IDC_WIZ_BACK));
        EXPECT_EQ(s.State(), (Buttons{true, true, true}));
        log.Take();
        ASSERT_TRUE(s.Press(IDC_WIZ_BACK));  // the first page: Back and Install off
        EXPECT_TRUE(welcome.Visible());
        EXPECT_EQ(s.State(), kFirst);
        // The page window was kept: it is shown again, not created again.
        EXPECT_EQ(log.Take(), (Events{"destination:GetBackTarget", "destination:CanLeavePage", "welcome:OnPageShown"}));
        ASSERT_TRUE(s.Press(IDC_WIZ_BACK));  // Back on the first page does nothing
        EXPECT_TRUE(welcome.Visible());
        EXPECT_EQ(log.Take(), (Events{"welcome:GetBackTarget"}));

        // Install (enabled by hand here) commits every created page in order.
        EnableWindow(GetDlgItem(s.Dialog(), IDC_WIZ_INSTALL), TRUE);
        s.Press(IDC_WIZ_INSTALL);
    });
    EXPECT_EQ(r, IDC_WIZ_INSTALL);
    Events e = log.Take();
    Events expectedStart{"welcome:CanLeavePage", "welcome:CommitPage", "destination:CommitPage",
                         "language:CommitPage", "agreement:CommitPage"};
    ASSERT_GE(e.size(), expectedStart.size());
    EXPECT_EQ(Events(e.begin(), e.begin() + 5), expectedStart);
    // Then the frame's window goes, and every page window with it.
    EXPECT_EQ(Events(e.begin() + 5, e.end()),
              (Events{"welcome:CanLeavePage", "welcome:OnPageClosing", "destination:CanLeavePage",
                      "destination:OnPageClosing", "language:CanLeavePage", "language:OnPageClosing",
                      "agreement:CanLeavePage", "agreement:OnPageClosing"}));
    EXPECT_FALSE(welcome.created);
    EXPECT_FALSE(agreement.created);
}

TEST_F(WizardFrame, InstallOnLastPageAndOnePageFrames) {
    {
        TestFrame frame;  // installOnLastPage TRUE: the last page enables Install
        frame.AppendPage(&welcome, 136);
        frame.AppendPage(&destination, 137);
        RunFrame(frame, [&](Session& s) {
            EXPECT_EQ(s.State(), kFirst);
            ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));
            EXPECT_EQ(s.State(), (Buttons{true, false, true}));
            ASSERT_TRUE(s.Press(IDC_WIZ_BACK));
            EXPECT_EQ(s.State(), kFirst);
            s.PressAndAnswer(IDCANCEL, IDYES);
        });
    }
    {
        TestFrame frame;  // one page: Next off, Install on
        TestPage only(136, "only", log);
        frame.AppendPage(&only, 136);
        RunFrame(frame, [&](Session& s) {
            EXPECT_EQ(s.State(), (Buttons{false, false, true}));
            s.PressAndAnswer(IDCANCEL, IDYES);
        });
    }
    {
        TestFrame frame;  // one page, Install left as the template has it (enabled)
        frame.installOnLastPage = FALSE;
        TestPage only(136, "only", log);
        frame.AppendPage(&only, 136);
        RunFrame(frame, [&](Session& s) {
            EXPECT_EQ(s.State(), (Buttons{false, false, true}));
            s.PressAndAnswer(IDCANCEL, IDYES);
        });
    }
}

TEST_F(WizardFrame, TargetCodes) {
    TestFrame frame;
    AppendFour(frame);
    INT_PTR r = RunFrame(frame, [&](Session& s) {
        log.Take();
        welcome.nextTarget = -1;  // stay, no hook beyond the target's
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));
        EXPECT_TRUE(welcome.Visible());
        EXPECT_EQ(s.State(), kFirst);
        EXPECT_EQ(log.Take(), (Events{"welcome:GetNextTarget"}));

        welcome.nextTarget = 999;  // names no page: nothing happens
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));
        EXPECT_TRUE(welcome.Visible());
        EXPECT_EQ(log.Take(), (Events{"welcome:GetNextTarget"}));

        welcome.nextTarget = 138;  // a page id: jump over the destination page
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));
        EXPECT_TRUE(language.Visible());
        EXPECT_FALSE(destination.created);
        EXPECT_EQ(s.State(), (Buttons{true, true, false}));
        log.Take();

        language.nextTarget = 138;  // its own id: hidden and shown again
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));
        EXPECT_TRUE(language.Visible());
        EXPECT_EQ(log.Take(), (Events{"language:GetNextTarget", "language:CanLeavePage", "language:OnPageShown"}));

        language.backTarget = -1;
        ASSERT_TRUE(s.Press(IDC_WIZ_BACK));
        EXPECT_TRUE(language.Visible());
        language.backTarget = 0;  // the page before it in the list, never shown so far
        ASSERT_TRUE(s.Press(IDC_WIZ_BACK));
        EXPECT_TRUE(destination.Visible());
        EXPECT_EQ(s.State(), (Buttons{true, true, false}));
        destination.backTarget = 142;  // Back may jump forward, to the last page
        ASSERT_TRUE(s.Press(IDC_WIZ_BACK));
        EXPECT_TRUE(agreement.Visible());
        EXPECT_EQ(s.State(), (Buttons{true, true, false}));  // Back's rules: Next on
        agreement.backTarget = 136;
        ASSERT_TRUE(s.Press(IDC_WIZ_BACK));
        EXPECT_TRUE(welcome.Visible());
        EXPECT_EQ(s.State(), kFirst);
        s.PressAndAnswer(IDCANCEL, IDYES);
    });
    EXPECT_EQ(r, IDCANCEL);
}

TEST_F(WizardFrame, VetoesLeaveTheFrameAsItWas) {
    TestFrame frame;
    frame.installOnLastPage = FALSE;
    AppendFour(frame);
    INT_PTR r = RunFrame(frame, [&](Session& s) {
        welcome.leaveResult = FALSE;  // the new page is made but the current one stays
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));
        EXPECT_TRUE(welcome.Visible());
        EXPECT_TRUE(destination.created);
        EXPECT_FALSE(destination.Visible());
        EXPECT_EQ(s.State(), kFirst);
        welcome.leaveResult = TRUE;
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));
        EXPECT_TRUE(language.Visible());
        EnableWindow(GetDlgItem(s.Dialog(), IDC_WIZ_INSTALL), TRUE);
        log.Take();

        language.leaveResult = FALSE;  // Install refused by the current page: nothing committed
        ASSERT_TRUE(s.Press(IDC_WIZ_INSTALL));
        EXPECT_EQ(log.Take(), (Events{"language:CanLeavePage"}));
        EXPECT_TRUE(language.Visible());
        language.leaveResult = TRUE;

        destination.commitResult = FALSE;  // a refusing page stops the commits after it
        ASSERT_TRUE(s.Press(IDC_WIZ_INSTALL));
        EXPECT_EQ(log.Take(), (Events{"language:CanLeavePage", "welcome:CommitPage", "destination:CommitPage"}));
        EXPECT_TRUE(language.Visible());
        EXPECT_EQ(s.State(), (Buttons{true, true, true}));

        destination.cancelResult = FALSE;  // Cancel confirmed but refused by a page
        EXPECT_EQ(s.PressAndAnswer(IDCANCEL, IDYES), "Exit installation?");
        EXPECT_EQ(log.Take(), (Events{"welcome:CanCancelSetup", "destination:CanCancelSetup"}));
        EXPECT_TRUE(language.Visible());

        EXPECT_EQ(s.PressAndAnswer(IDCANCEL, IDNO), "Exit installation?");  // No: nothing is asked of the pages
        EXPECT_EQ(log.Take(), Events{});
        EXPECT_TRUE(language.Visible());

        destination.cancelResult = TRUE;  // Yes with every page agreeing: ends with IDCANCEL, nothing committed
        s.PressAndAnswer(IDCANCEL, IDYES);
    });
    EXPECT_EQ(r, IDCANCEL);
    Events e = log.Take();
    ASSERT_GE(e.size(), 3u);
    // The last page was never created, so it is not asked.
    EXPECT_EQ(Events(e.begin(), e.begin() + 3),
              (Events{"welcome:CanCancelSetup", "destination:CanCancelSetup", "language:CanCancelSetup"}));
    for (const std::string& ev : e) {
        EXPECT_EQ(ev.find("CommitPage"), std::string::npos) << ev;
        EXPECT_NE(ev.rfind("agreement:", 0), 0u) << ev;
    }
}

TEST_F(WizardFrame, PageThatRefusesToBeShownAfterCreation) {
    TestFrame frame;
    AppendFour(frame);
    destination.createResult = FALSE;
    RunFrame(frame, [&](Session& s) {
        log.Take();
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));
        EXPECT_TRUE(welcome.Visible());
        EXPECT_TRUE(destination.m_hWnd != nullptr);  // its window stays created
        EXPECT_FALSE(destination.Visible());
        EXPECT_EQ(s.State(), kFirst);
        EXPECT_EQ(log.Take(), (Events{"welcome:GetNextTarget", "destination:OnPageCreated"}));
        HWND first = destination.m_hWnd;
        ASSERT_TRUE(s.Press(IDC_WIZ_NEXT));  // shown now, without being created again
        EXPECT_TRUE(destination.Visible());
        EXPECT_EQ(destination.m_hWnd, first);
        EXPECT_EQ(log.Take(), (Events{"welcome:GetNextTarget", "welcome:CanLeavePage", "destination:OnPageShown"}));
        EXPECT_EQ(s.State(), (Buttons{true, true, false}));
        s.PressAndAnswer(IDCANCEL, IDYES);
    });
}

TEST_F(WizardFrame, FinishModeKeepsOnlyFinishButTheCloseBoxStillAsks) {
    TestFrame frame;
    frame.finishMode = TRUE;
    TestPage complete(139, "complete", log);
    frame.AppendPage(&complete, 139);
    INT_PTR r = RunFrame(frame, [&](Session& s) {
        HWND d = s.Dialog();
        EXPECT_EQ(ui::ControlText(d, IDC_WIZ_INSTALL), "Finish");
        EXPECT_TRUE(ui::ControlVisible(d, IDC_WIZ_INSTALL));
        EXPECT_TRUE(ui::ControlEnabled(d, IDC_WIZ_INSTALL));
        for (int id : {int(IDC_WIZ_BACK), int(IDC_WIZ_NEXT), IDCANCEL}) EXPECT_FALSE(ui::ControlVisible(d, id)) << id;
        EXPECT_TRUE(complete.Visible());
        log.Take();
        // The title bar's close box: the question still comes; No keeps the page.
        int before = frame.commandsDone;
        PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(ui::Answer("Exit installation?", IDNO), "Exit installation?");
        for (int i = 0; i < 300 && frame.commandsDone == before; ++i) Sleep(10);
        EXPECT_TRUE(complete.Visible());
        EXPECT_EQ(log.Take(), Events{});
        s.Press(IDC_WIZ_INSTALL);
    });
    EXPECT_EQ(r, IDC_WIZ_INSTALL);
    Events e = log.Take();
    ASSERT_GE(e.size(), 2u);
    EXPECT_EQ(Events(e.begin(), e.begin() + 2), (Events{"complete:CanLeavePage", "complete:CommitPage"}));
}

TEST_F(WizardFrame, CaptionIsReadAgainForEachFrame) {
    for (const char* version : {"Programmer 1.0", "Programmer 2.0 edited", ""}) {
        std::string text = std::string("[software]\r\nversion = ") + version + "\r\n";
        WriteConfig(text.c_str());
        TestFrame frame;
        frame.finishMode = TRUE;
        TestPage page(139, "page", log);
        frame.AppendPage(&page, 139);
        std::string caption = "not read";
        RunFrame(frame, [&](Session& s) {
            caption = ui::WindowText(s.Dialog());
            s.Press(IDC_WIZ_INSTALL);
        });
        EXPECT_EQ(caption, version);
        EXPECT_STREQ(g_setup.productVersion, version);
    }
}

// Enter presses the default button: Next, or Install on the last page, and
// nothing while it is disabled. The standard OK command does the same and
// never ends the run by itself. The focus starts on the default button.
TEST_F(WizardFrame, EnterPressesTheEnabledDefaultButton) {
    TestFrame frame;
    frame.installOnLastPage = FALSE;
    TestPage last(139, "last", log);  // the focus lands on its check box
    frame.AppendPage(&welcome, 136);
    frame.AppendPage(&destination, 137);
    frame.AppendPage(&language, 138);
    frame.AppendPage(&last, 139);
    INT_PTR r = RunFrame(frame, [&](Session& s) {
        EXPECT_EQ(s.FocusId(), IDC_WIZ_NEXT);
        s.Key(VK_RETURN);
        EXPECT_TRUE(destination.Visible());
        ASSERT_TRUE(s.Command(IDOK));
        EXPECT_TRUE(language.Visible());
        s.Key(VK_RETURN);
        EXPECT_TRUE(last.Visible());
        EXPECT_EQ(s.FocusId(), 1015);
        log.Take();
        s.Key(VK_RETURN);  // Next and Install both disabled
        ASSERT_TRUE(s.Command(IDOK));
        EXPECT_TRUE(last.Visible());
        EXPECT_EQ(log.Take(), Events{});
        frame.SetInstallEnabled(TRUE);
        s.Key(VK_RETURN);
    });
    EXPECT_EQ(r, IDC_WIZ_INSTALL);
    Events e = log.Take();
    ASSERT_GE(e.size(), 2u);
    EXPECT_EQ(Events(e.begin(), e.begin() + 2), (Events{"last:CanLeavePage", "welcome:CommitPage"}));
}

// Pages paint black on white and carry their heading font.
TEST_F(WizardFrame, PagesPaintBlackOnWhite) {
    TestFrame frame;
    frame.finishMode = TRUE;
    frame.AppendPage(&welcome, 136);
    RunFrame(frame, [&](Session& s) {
        HDC dc = GetDC(welcome.m_hWnd);
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkColor(dc, RGB(4, 5, 6));
        for (UINT msg : {WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT, WM_CTLCOLORBTN, WM_CTLCOLORDLG}) {
            auto brush = reinterpret_cast<HBRUSH>(SendMessageA(welcome.m_hWnd, msg, reinterpret_cast<WPARAM>(dc),
                                                               reinterpret_cast<LPARAM>(welcome.m_hWnd)));
            LOGBRUSH lb = {};
            ASSERT_EQ(GetObjectA(brush, sizeof lb, &lb), static_cast<int>(sizeof lb)) << msg;
            EXPECT_EQ(lb.lbColor, RGB(255, 255, 255));
        }
        EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
        EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
        ReleaseDC(welcome.m_hWnd, dc);
        LOGFONTA lf = {};
        ASSERT_EQ(GetObjectA(welcome.titleFont.Get(), sizeof lf, &lf), static_cast<int>(sizeof lf));
        EXPECT_EQ(lf.lfHeight, -16);
        EXPECT_EQ(lf.lfWeight, 700);
        EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");
        s.Press(IDC_WIZ_INSTALL);
    });
}
