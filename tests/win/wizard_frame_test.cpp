// The wizard frame with real windows: pages of the real templates whose hooks
// log their calls and answer as the test sets them, driven by control ids
// and keys from a second thread while the frame runs modally.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "config/SetupState.h"
#include "win/support/ScratchTree.h"
#include "win/support/UiDriver.h"
#include "wizard/Wizard.h"

namespace {

using Events = std::vector<std::string>;
std::mutex g_logLock;
Events g_log;  // "page:Hook", in call order
Events Take() {
    std::lock_guard<std::mutex> lock(g_logLock);
    return std::exchange(g_log, {});
}

class TestPage : public CWizardPage {
public:
    TestPage(UINT id, const char* name) : CWizardPage(id), name_(name) {}
    std::atomic<int> createResult{TRUE}, leaveResult{TRUE}, cancelResult{TRUE}, commitResult{TRUE};
    std::atomic<int> backTarget{0}, nextTarget{0};
    bool Visible() const { return m_hWnd && IsWindowVisible(m_hWnd); }

    BOOL OnPageCreated() override { return Log("OnPageCreated", createResult); }
    void OnPageClosing() override { Log("OnPageClosing", 0); }
    BOOL CanLeavePage() override { return Log("CanLeavePage", leaveResult); }
    void OnPageShown() override { Log("OnPageShown", 0); }
    BOOL CanCancelSetup() override { return Log("CanCancelSetup", cancelResult); }
    int GetBackTarget() override { return Log("GetBackTarget", backTarget); }
    int GetNextTarget() override { return Log("GetNextTarget", nextTarget); }
    BOOL CommitPage() override { return Log("CommitPage", commitResult); }

private:
    int Log(const char* hook, int result) {
        std::lock_guard<std::mutex> lock(g_logLock);
        g_log.push_back(name_ + ":" + hook);
        return result;
    }
    std::string name_;
};

constexpr UINT WM_TEST_SYNC = WM_APP + 78, WM_TEST_ABORT = WM_APP + 79;

// The setup's frame, counting the commands and test messages it has
// handled so that the driver can wait for each to be done, with an
// emergency exit.
class TestFrame : public CWizardDlg {
public:
    std::atomic<int> handled{0};

protected:
    BOOL OnCommand(UINT id, UINT code, HWND control) override {
        BOOL r = CWizardDlg::OnCommand(id, code, control);
        ++handled;
        return r;
    }
    BOOL OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR&) override {
        if (msg == WM_TEST_SYNC) ++handled;
        if (msg == WM_TEST_ABORT) EndDialog(-77);  // for a driver that gave up
        return msg == WM_TEST_ABORT;
    }
};

struct Buttons {
    bool back, next, install;
    bool operator==(const Buttons& o) const { return back == o.back && next == o.next && install == o.install; }
};
std::ostream& operator<<(std::ostream& os, const Buttons& b) {
    return os << "{back " << b.back << ", next " << b.next << ", install " << b.install << "}";
}
const Buttons kFirst{false, true, false}, kMiddle{true, true, false};

class WizardFrame : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSetupState();
        lstrcpynA(g_setup.configPath, (dir_ / "frame.ini").c_str(), sizeof g_setup.configPath);
        scratch::WriteFile(g_setup.configPath, "[Software]\r\nVersion=Frame Test 1.0\r\n");
        Take();
    }
    // Runs the frame modally with the pages while fn drives it; a driver that
    // stops early does not leave the frame open.
    template <class Fn>
    INT_PTR Run(std::initializer_list<TestPage*> pages, Fn fn) {
        return Run(frame, pages, fn);
    }
    template <class Fn>
    INT_PTR Run(TestFrame& f, std::initializer_list<TestPage*> pages, Fn fn) {
        cur = &f;
        for (TestPage* p : pages) f.AppendPage(p, p->pageId);
        ui::Driver driver([&] {
            dlg = ui::WaitForDialogWithControl(IDC_WIZ_INSTALL);
            if (!dlg) return ADD_FAILURE() << "the frame did not appear", void();
            fn();
            if (!ui::WaitGone(dlg, 3000)) {
                ADD_FAILURE() << "the frame is still open";
                PostMessageA(dlg, WM_TEST_ABORT, 0, 0);
            }
        });
        INT_PTR r = f.DoModal();
        driver.Finish();
        return r;
    }
    // Sends one input and waits until the frame has handled it.
    void Done(int before) {
        for (int i = 0; i < 500 && cur->handled == before; ++i) Sleep(10);
    }
    void Press(int id) {
        const int before = cur->handled;
        ui::Click(dlg, id);
        Done(before);
    }
    void Command(int id) {  // as the dialog manager sends it, with no control behind
        const int before = cur->handled;
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        Done(before);
    }
    void Key(UINT vk) {
        ui::Key(dlg, vk);
        const int before = cur->handled;
        PostMessageA(dlg, WM_TEST_SYNC, 0, 0);
        Done(before);
    }
    std::string PressAndAnswer(int id, int answer) {
        const int before = cur->handled;
        ui::Click(dlg, id);
        std::string text = ui::Answer("Exit installation?", answer);
        Done(before);
        return text;
    }
    Buttons State() {
        return {ui::ControlEnabled(dlg, IDC_WIZ_BACK), ui::ControlEnabled(dlg, IDC_WIZ_NEXT),
                ui::ControlEnabled(dlg, IDC_WIZ_INSTALL)};
    }

    scratch::Folder dir_{"frame test"};
    TestFrame frame, *cur = &frame;
    HWND dlg = nullptr;
    TestPage welcome{136, "welcome"}, destination{137, "destination"}, language{138, "language"},
        agreement{142, "agreement"};
};

}  // namespace

// Next and Back through four pages with Install left to the pages: the
// buttons' states, each page window made once and kept; Install commits
// every created page in order, then every page window goes.
TEST_F(WizardFrame, ButtonStatesPagesAndCommits) {
    frame.installOnLastPage = FALSE;
    const struct {
        int button;
        TestPage* shown;
        Buttons state;
    } steps[] = {
        {IDC_WIZ_NEXT, &destination, kMiddle},       {IDC_WIZ_NEXT, &language, kMiddle},
        {IDC_WIZ_NEXT, &agreement, {true, false, false}}, {IDC_WIZ_NEXT, &agreement, {true, false, false}},
        {IDC_WIZ_BACK, &language, kMiddle},          {IDC_WIZ_BACK, &destination, kMiddle},
        {IDC_WIZ_BACK, &welcome, kFirst},            {IDC_WIZ_BACK, &welcome, kFirst},
    };
    INT_PTR r = Run({&welcome, &destination, &language, &agreement}, [&] {
        EXPECT_EQ(Take(), (Events{"welcome:OnPageCreated", "welcome:OnPageShown"}));
        EXPECT_EQ(State(), kFirst);
        EXPECT_EQ(ui::WindowText(dlg), "Frame Test 1.0");
        for (const auto& s : steps) {
            Press(s.button);
            EXPECT_TRUE(s.shown->Visible()) << s.button;
            EXPECT_EQ(State(), s.state);
        }
        EXPECT_EQ(Take(), (Events{"welcome:GetNextTarget", "destination:OnPageCreated", "welcome:CanLeavePage",
                                  "destination:OnPageShown", "destination:GetNextTarget", "language:OnPageCreated",
                                  "destination:CanLeavePage", "language:OnPageShown", "language:GetNextTarget",
                                  "agreement:OnPageCreated", "language:CanLeavePage", "agreement:OnPageShown",
                                  "agreement:GetNextTarget", "agreement:GetBackTarget", "agreement:CanLeavePage",
                                  "language:OnPageShown", "language:GetBackTarget", "language:CanLeavePage",
                                  "destination:OnPageShown", "destination:GetBackTarget", "destination:CanLeavePage",
                                  "welcome:OnPageShown", "welcome:GetBackTarget"}));
        RECT page, area;  // the page sits in the frame's page area
        GetWindowRect(welcome.m_hWnd, &page);
        GetWindowRect(GetDlgItem(dlg, IDC_WIZ_PAGEAREA), &area);
        EXPECT_TRUE(page.left == area.left && page.top == area.top);
        frame.SetInstallEnabled(TRUE);
        Press(IDC_WIZ_INSTALL);
    });
    EXPECT_EQ(r, IDC_WIZ_INSTALL);
    EXPECT_EQ(Take(), (Events{"welcome:CanLeavePage", "welcome:CommitPage", "destination:CommitPage",
                              "language:CommitPage", "agreement:CommitPage", "welcome:CanLeavePage",
                              "welcome:OnPageClosing", "destination:CanLeavePage", "destination:OnPageClosing",
                              "language:CanLeavePage", "language:OnPageClosing", "agreement:CanLeavePage",
                              "agreement:OnPageClosing"}));
    EXPECT_FALSE(welcome.created || agreement.created);
}

// With Install on the last page (the default) the last page enables it; a
// single page has it from the start (also when left to the pages: the
// template enables it).
TEST_F(WizardFrame, InstallOnTheLastPage) {
    Run({&welcome, &destination}, [&] {
        Press(IDC_WIZ_NEXT);
        EXPECT_EQ(State(), (Buttons{true, false, true}));
        Press(IDC_WIZ_BACK);
        EXPECT_EQ(State(), kFirst);
        PressAndAnswer(IDCANCEL, IDYES);
    });
    for (BOOL onLast : {TRUE, FALSE}) {
        TestFrame one;
        one.installOnLastPage = onLast;
        TestPage only(136, "only");
        Run(one, {&only}, [&] {
            EXPECT_EQ(State(), (Buttons{false, false, true})) << onLast;
            PressAndAnswer(IDCANCEL, IDYES);
        });
    }
}

// What GetNextTarget and GetBackTarget answer: -1 stays, an unknown id does
// nothing, a page id jumps there (its own id shows it again), 0 takes the
// neighbour in the list; Back may jump forward and follows Back's rules.
TEST_F(WizardFrame, TargetCodes) {
    const struct {
        TestPage* page;
        bool next;
        int target;
        TestPage* shown;
        Buttons state;
    } steps[] = {
        {&welcome, true, -1, &welcome, kFirst},         {&welcome, true, 999, &welcome, kFirst},
        {&welcome, true, 138, &language, kMiddle},      {&language, true, 138, &language, kMiddle},
        {&language, false, -1, &language, kMiddle},     {&language, false, 0, &destination, kMiddle},
        {&destination, false, 142, &agreement, kMiddle}, {&agreement, false, 136, &welcome, kFirst},
    };
    INT_PTR r = Run({&welcome, &destination, &language, &agreement}, [&] {
        for (const auto& s : steps) {
            (s.next ? s.page->nextTarget : s.page->backTarget) = s.target;
            Press(s.next ? IDC_WIZ_NEXT : IDC_WIZ_BACK);
            EXPECT_TRUE(s.shown->Visible()) << s.target;
            EXPECT_EQ(State(), s.state) << s.target;
            if (s.target == 138) {  // jumped over, never made
                EXPECT_FALSE(destination.created);
            }
        }
        PressAndAnswer(IDCANCEL, IDYES);
    });
    EXPECT_EQ(r, IDCANCEL);
}

// Every veto leaves the frame as it was: a page that will not be left, a
// new page that will not be shown yet, Install refused by the current page
// or a commit, Cancel answered No or refused by a page.
TEST_F(WizardFrame, VetoesLeaveTheFrameAsItWas) {
    frame.installOnLastPage = FALSE;
    INT_PTR r = Run({&welcome, &destination, &language, &agreement}, [&] {
        welcome.leaveResult = FALSE;  // the new page is made but not shown
        Press(IDC_WIZ_NEXT);
        EXPECT_TRUE(welcome.Visible() && destination.created && !destination.Visible());
        EXPECT_EQ(State(), kFirst);
        welcome.leaveResult = TRUE;
        language.createResult = FALSE;  // made, refuses to be shown the first time
        Press(IDC_WIZ_NEXT);
        Press(IDC_WIZ_NEXT);
        EXPECT_TRUE(destination.Visible() && language.m_hWnd && !language.Visible());
        HWND made = language.m_hWnd;
        Press(IDC_WIZ_NEXT);  // shown now, without being made again
        EXPECT_TRUE(language.Visible());
        EXPECT_EQ(language.m_hWnd, made);
        frame.SetInstallEnabled(TRUE);
        Take();

        language.leaveResult = FALSE;
        Press(IDC_WIZ_INSTALL);
        EXPECT_EQ(Take(), (Events{"language:CanLeavePage"}));
        language.leaveResult = TRUE;
        destination.commitResult = FALSE;  // stops the commits after it
        Press(IDC_WIZ_INSTALL);
        EXPECT_EQ(Take(), (Events{"language:CanLeavePage", "welcome:CommitPage", "destination:CommitPage"}));
        destination.cancelResult = FALSE;
        EXPECT_EQ(PressAndAnswer(IDCANCEL, IDYES), "Exit installation?");
        EXPECT_EQ(Take(), (Events{"welcome:CanCancelSetup", "destination:CanCancelSetup"}));
        EXPECT_EQ(PressAndAnswer(IDCANCEL, IDNO), "Exit installation?");  // No asks nothing of the pages
        EXPECT_EQ(Take(), Events{});
        EXPECT_TRUE(language.Visible());
        EXPECT_EQ(State(), (Buttons{true, true, true}));
        destination.cancelResult = TRUE;
        PressAndAnswer(IDCANCEL, IDYES);
    });
    EXPECT_EQ(r, IDCANCEL);
    // Only the pages made are asked; nothing is committed.
    EXPECT_EQ(Take(), (Events{"welcome:CanCancelSetup", "destination:CanCancelSetup", "language:CanCancelSetup",
                              "welcome:CanLeavePage", "welcome:OnPageClosing", "destination:CanLeavePage",
                              "destination:OnPageClosing", "language:CanLeavePage", "language:OnPageClosing"}));
}

// Finish mode shows only Finish; the title bar's close box still asks, and
// No keeps the page. The caption is read again for each frame; pages paint
// black on white with their heading font.
TEST_F(WizardFrame, FinishModeCaptionAndPaint) {
    for (const char* version : {"Programmer 2.0 edited", ""}) {
        scratch::WriteFile(g_setup.configPath, std::string("[software]\r\nversion = ") + version + "\r\n");
        TestFrame finish;
        finish.finishMode = TRUE;
        TestPage complete(139, "complete");
        finish.AppendPage(&complete, 139);
        std::string caption;
        ui::Driver driver([&] {
            HWND d = ui::WaitForDialogWithControl(IDC_WIZ_INSTALL);
            caption = ui::WindowText(d);
            EXPECT_EQ(ui::ControlText(d, IDC_WIZ_INSTALL), "Finish");
            EXPECT_TRUE(ui::ControlVisible(d, IDC_WIZ_INSTALL) && ui::ControlEnabled(d, IDC_WIZ_INSTALL));
            for (int id : {int(IDC_WIZ_BACK), int(IDC_WIZ_NEXT), IDCANCEL}) EXPECT_FALSE(ui::ControlVisible(d, id)) << id;
            HDC dc = GetDC(complete.m_hWnd);
            for (UINT msg : {WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT, WM_CTLCOLORBTN, WM_CTLCOLORDLG}) {
                LOGBRUSH lb = {};
                GetObjectA(reinterpret_cast<HBRUSH>(SendMessageA(complete.m_hWnd, msg, reinterpret_cast<WPARAM>(dc), 0)),
                           sizeof lb, &lb);
                EXPECT_EQ(lb.lbColor, RGB(255, 255, 255)) << msg;
            }
            EXPECT_TRUE(GetTextColor(dc) == RGB(0, 0, 0) && GetBkColor(dc) == RGB(255, 255, 255));
            ReleaseDC(complete.m_hWnd, dc);
            LOGFONTA lf = {};
            GetObjectA(complete.titleFont.Get(), sizeof lf, &lf);
            EXPECT_TRUE(lf.lfHeight == -16 && lf.lfWeight == 700 && std::string(lf.lfFaceName) == "MS Sans Serif");
            Take();
            PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0);
            EXPECT_EQ(ui::Answer("Exit installation?", IDNO), "Exit installation?");
            EXPECT_TRUE(complete.Visible());
            ui::Click(d, IDC_WIZ_INSTALL);
        });
        EXPECT_EQ(finish.DoModal(), IDC_WIZ_INSTALL);
        driver.Finish();
        EXPECT_EQ(caption, version);
        EXPECT_STREQ(g_setup.productVersion, version);
        const Events e = Take();
        ASSERT_GE(e.size(), 2u);
        EXPECT_EQ(Events(e.begin(), e.begin() + 2), (Events{"complete:CanLeavePage", "complete:CommitPage"}));
    }
}

// Enter presses the default button: Next, or Install on the last page, and
// nothing while it is disabled. The standard OK command does the same and
// never ends the run by itself. The focus starts on the default button.
TEST_F(WizardFrame, EnterPressesTheEnabledDefaultButton) {
    frame.installOnLastPage = FALSE;
    TestPage last(139, "last");  // the focus lands on its check box
    INT_PTR r = Run({&welcome, &destination, &language, &last}, [&] {
        EXPECT_EQ(GetDlgCtrlID(ui::FocusOf(dlg)), IDC_WIZ_NEXT);
        Key(VK_RETURN);
        EXPECT_TRUE(destination.Visible());
        Command(IDOK);
        EXPECT_TRUE(language.Visible());
        Key(VK_RETURN);
        EXPECT_TRUE(last.Visible());
        EXPECT_EQ(GetDlgCtrlID(ui::FocusOf(dlg)), 1015);
        Take();
        Key(VK_RETURN);  // Next and Install both disabled
        Command(IDOK);
        EXPECT_TRUE(last.Visible());
        EXPECT_EQ(Take(), Events{});
        frame.SetInstallEnabled(TRUE);
        Key(VK_RETURN);
    });
    EXPECT_EQ(r, IDC_WIZ_INSTALL);
    const Events e = Take();
    ASSERT_GE(e.size(), 2u);
    EXPECT_EQ(Events(e.begin(), e.begin() + 2), (Events{"last:CanLeavePage", "welcome:CommitPage"}));
}
