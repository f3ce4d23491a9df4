// The framework's dialogs, the wizard frame and the setup's pages with
// their real templates, driven by control ids, clicks and keys from a second
// thread while the frame runs modally on the test's.
#include "win/support/WinTest.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "fw/App.h"
#include "fw/Exception.h"
#include "wizard/AgreementPage.h"
#include "wizard/CompletePages.h"
#include "wizard/DestinationPage.h"
#include "wizard/FolderPicker.h"
#include "wizard/LanguagePage.h"
#include "wizard/PageIds.h"
#include "wizard/WelcomePage.h"

using namespace wt;

namespace {

INT_PTR RunFrame(CWizardDlg& frame, std::initializer_list<CWizardPage*> pages, const std::function<void(HWND)>& fn) {
    for (CWizardPage* p : pages) frame.AppendPage(p, p->pageId);
    return Drive([&] { return frame.DoModal(); }, [&] {
        HWND dlg = ui::WaitForDialogWithControl(IDC_WIZ_INSTALL);
        if (!dlg) return ADD_FAILURE() << "the wizard did not appear", void();
        fn(dlg);
    });
}
INT_PTR Wizard(std::initializer_list<CWizardPage*> pages, const std::function<void(HWND)>& fn, BOOL installOnLast = TRUE) {
    CWizardDlg frame;
    frame.installOnLastPage = installOnLast;
    return RunFrame(frame, pages, fn);
}

// Waits until the frame's current page (its visible child) has the control.
HWND WaitPage(HWND frame, int controlId) {
    return ui::WaitFor([&]() -> HWND {
        for (HWND c = GetWindow(frame, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (IsWindowVisible(c) && GetDlgItem(c, controlId)) return c;
        return nullptr;
    });
}
// A click that opens no modal window, returning once it has been handled;
// Press is the mouse-like one (check boxes, automatic radio buttons).
void ClickSync(HWND root, int id) {
    HWND c = ui::FindControl(root, id);
    SendMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c));
}
void PressSync(HWND root, int id) { SendMessageA(ui::FindControl(root, id), BM_CLICK, 0, 0); }
HWND NextTo(HWND dlg, int id) { return ClickSync(dlg, IDC_WIZ_NEXT), WaitPage(dlg, id); }
HWND BackTo(HWND dlg, int id) { return ClickSync(dlg, IDC_WIZ_BACK), WaitPage(dlg, id); }
void CancelWizard(HWND dlg) {
    ui::Click(dlg, IDCANCEL);
    EXPECT_NE(ui::Answer("Exit installation?", IDYES), "");
}

// The runs as on a Chinese PC name its code page in SETUP_EXPECT_ACP.
void ExpectCodePageAsked() {
    if (const char* acp = std::getenv("SETUP_EXPECT_ACP")) {
        EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(acp)));
    }
}
// A picture of the window when SETUP_SCREENSHOTS asks for them, in code
// page 1252, or in code page N for names ending in "-cpN".
void Picture(HWND w, const char* name) {
    const std::string dir = ui::ScreenshotDir();
    const char* cp = std::strstr(name, "-cp");
    if (dir.empty() || GetACP() != (cp ? static_cast<UINT>(std::atoi(cp + 3)) : 1252u)) return;
    EXPECT_TRUE(ui::ScreenshotWindow(w, dir + "/" + name + ".png")) << name;
}

// ---- the framework

HICON MessageBoxIcon(HWND box) {
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (auto icon = reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0))) return icon;
    return nullptr;
}

// A dialog whose Install button throws what the test chose.
struct ThrowingDialog : CDialog {
    ThrowingDialog() : CDialog(IDD_WIZARD) {}
    std::atomic<int> kind{0};
    BOOL OnCommand(UINT id, UINT code, HWND control) override {
        if (id != IDC_WIZ_INSTALL) return CDialog::OnCommand(id, code, control);
        if (kind == 1) throw CFileException(CFileException::open, ERROR_FILE_NOT_FOUND, "C:\\medium\\main.zip");
        if (kind == 2) throw std::runtime_error("plain failure");
        throw 42;
    }
};

}  // namespace

// The caption is the executable's name; an OK box warns, a question keeps
// the icon it asks for.
TEST(FrameworkMessageBox, CaptionAndIcon) {
    EXPECT_EQ(AppName(), "win_wizard_test");
    for (UINT type : {UINT(MB_OK), UINT(MB_YESNO | MB_ICONQUESTION)}) {
        std::string caption;
        HICON icon = nullptr;
        EXPECT_EQ(Drive([&] { return AppMessageBox("Something to say.", type); }, [&] {
            HWND box = ui::WaitForMessageBox("Something to say.");
            caption = ui::WindowText(box);
            icon = MessageBoxIcon(box);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(type == MB_OK ? IDOK : IDNO, BN_CLICKED), 0);
        }), type == MB_OK ? IDOK : IDNO);
        EXPECT_EQ(caption, "win_wizard_test");
        EXPECT_EQ(icon, LoadIcon(nullptr, type == MB_OK ? IDI_EXCLAMATION : IDI_QUESTION));
    }
}

// Exceptions are stopped at the dialog procedure: each is shown with the
// stop icon and the dialog goes on.
TEST(FrameworkDialog, ExceptionsAreShownAndTheDialogGoesOn) {
    ThrowingDialog dlg;
    std::vector<std::string> texts;
    EXPECT_EQ(Drive([&] { return dlg.DoModal(); }, [&] {
        HWND d = ui::WaitForDialogWithControl(IDC_WIZ_INSTALL);
        for (const char* part : {"main.zip", "plain failure", "Internal application error."}) {
            ++dlg.kind;
            ui::Click(d, IDC_WIZ_INSTALL);
            HWND box = ui::WaitForMessageBox(part);
            ASSERT_NE(box, nullptr) << part;
            texts.push_back(ui::MessageBoxText(box));
            EXPECT_EQ(MessageBoxIcon(box), LoadIcon(nullptr, IDI_HAND)) << part;
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            ui::WaitGone(box);
        }
        EXPECT_TRUE(IsWindowVisible(d));
        ui::Click(d, IDCANCEL);
    }), IDCANCEL);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_NE(texts[0].find("C:\\medium\\main.zip"), std::string::npos) << texts[0];
    EXPECT_EQ(texts[1], "plain failure");
    EXPECT_EQ(texts[2], "Internal application error.");
}

// ---- the frame, with pages whose hooks log their calls and answer as set

namespace {

std::mutex g_logLock;
std::string g_log;
std::string Take() {
    std::lock_guard<std::mutex> lock(g_logLock);
    return std::exchange(g_log, {});
}

class TestPage : public CWizardPage {
public:
    TestPage(UINT id, const char* name) : CWizardPage(id), name_(name) {}
    std::atomic<int> createResult{TRUE}, leaveResult{TRUE}, cancelResult{TRUE}, commitResult{TRUE}, backTarget{0},
        nextTarget{0};
    bool Visible() const { return m_hWnd && IsWindowVisible(m_hWnd); }
    BOOL OnPageCreated() override { return Log("Created", createResult); }
    void OnPageClosing() override { Log("Closing", 0); }
    BOOL CanLeavePage() override { return Log("Leave", leaveResult); }
    void OnPageShown() override { Log("Shown", 0); }
    BOOL CanCancelSetup() override { return Log("Cancel", cancelResult); }
    int GetBackTarget() override { return Log("Back", backTarget); }
    int GetNextTarget() override { return Log("Next", nextTarget); }
    BOOL CommitPage() override { return Log("Commit", commitResult); }

private:
    int Log(const char* hook, int result) {
        std::lock_guard<std::mutex> lock(g_logLock);
        g_log += name_ + "." + hook + " ";
        return result;
    }
    std::string name_;
};

// The frame notes the last command it handled: Sync waits for posted input.
struct TestFrame : CWizardDlg {
    std::atomic<int> lastCommand{0};
    BOOL OnCommand(UINT id, UINT code, HWND control) override {
        const BOOL r = CWizardDlg::OnCommand(id, code, control);
        lastCommand = static_cast<int>(id);
        return r;
    }
};

class WizardFrame : public ::testing::Test {
protected:
    Scratch s{"[Software]\r\nVersion=Frame Test 1.0\r\n"};
    TestFrame frame, *cur = &frame;
    HWND dlg = nullptr;
    TestPage p1{136, "p1"}, p2{137, "p2"}, p3{138, "p3"}, p4{142, "p4"};

    INT_PTR Run(std::initializer_list<CWizardPage*> pages, const std::function<void()>& fn, TestFrame* f = nullptr) {
        cur = f ? f : &frame;
        Take();
        return RunFrame(*cur, pages, [&](HWND d) { dlg = d, fn(); });
    }
    void Sync() {
        constexpr int kSync = 0x7FFF;
        cur->lastCommand = 0;
        PostMessageA(dlg, WM_COMMAND, kSync, 0);
        for (int i = 0; i < 500 && cur->lastCommand != kSync && IsWindow(dlg); ++i) Sleep(10);
    }
    void Press(int id) { ui::Click(dlg, id), Sync(); }
    void Command(int id) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0), Sync(); }
    void Key(UINT vk) { ui::Key(dlg, vk), Sync(); }
    std::string PressAndAnswer(int id, int answer) {
        ui::Click(dlg, id);
        const std::string text = ui::Answer("Exit installation?", answer);
        return Sync(), text;
    }
    // Back, Next and Install: enabled (B, N, I) or not (-).
    std::string State() {
        std::string s;
        for (auto [id, c] : {std::pair{IDC_WIZ_BACK, 'B'}, {IDC_WIZ_NEXT, 'N'}, {IDC_WIZ_INSTALL, 'I'}})
            s += ui::ControlEnabled(dlg, id) ? c : '-';
        return s;
    }
};

}  // namespace

// Next and Back through four pages with Install left to the pages: the
// buttons' states, each page made once and kept; Install commits every
// made page in order, then every page window goes.
TEST_F(WizardFrame, ButtonStatesPagesAndCommits) {
    frame.installOnLastPage = FALSE;
    const struct {
        int button;
        TestPage* shown;
        const char* state;
    } steps[] = {{IDC_WIZ_NEXT, &p2, "BN-"}, {IDC_WIZ_NEXT, &p3, "BN-"}, {IDC_WIZ_NEXT, &p4, "B--"},
                 {IDC_WIZ_NEXT, &p4, "B--"}, {IDC_WIZ_BACK, &p3, "BN-"}, {IDC_WIZ_BACK, &p2, "BN-"},
                 {IDC_WIZ_BACK, &p1, "-N-"}, {IDC_WIZ_BACK, &p1, "-N-"}};
    EXPECT_EQ(Run({&p1, &p2, &p3, &p4}, [&] {
        EXPECT_EQ(Take(), "p1.Created p1.Shown ");
        EXPECT_EQ(State(), "-N-");
        EXPECT_EQ(ui::WindowText(dlg), "Frame Test 1.0");
        for (const auto& step : steps) {
            Press(step.button);
            EXPECT_TRUE(step.shown->Visible()) << (&step - steps);
            EXPECT_EQ(State(), step.state) << (&step - steps);
        }
        EXPECT_EQ(Take(), "p1.Next p2.Created p1.Leave p2.Shown p2.Next p3.Created p2.Leave p3.Shown p3.Next p4.Created "
                          "p3.Leave p4.Shown p4.Next p4.Back p4.Leave p3.Shown p3.Back p3.Leave p2.Shown p2.Back "
                          "p2.Leave p1.Shown p1.Back ");
        RECT page, area;  // the page sits in the frame's page area
        GetWindowRect(p1.m_hWnd, &page);
        GetWindowRect(GetDlgItem(dlg, IDC_WIZ_PAGEAREA), &area);
        EXPECT_TRUE(page.left == area.left && page.top == area.top);
        frame.SetInstallEnabled(TRUE);
        ui::Click(dlg, IDC_WIZ_INSTALL);
    }), IDC_WIZ_INSTALL);
    EXPECT_EQ(Take(), "p1.Leave p1.Commit p2.Commit p3.Commit p4.Commit p1.Leave p1.Closing p2.Leave p2.Closing "
                      "p3.Leave p3.Closing p4.Leave p4.Closing ");
    EXPECT_FALSE(p1.created || p4.created);
}

// With Install on the last page (the default) the last page enables it; a
// single page has it from the start either way.
TEST_F(WizardFrame, InstallOnTheLastPage) {
    Run({&p1, &p2}, [&] {
        Press(IDC_WIZ_NEXT);
        EXPECT_EQ(State(), "B-I");
        Press(IDC_WIZ_BACK);
        EXPECT_EQ(State(), "-N-");
        PressAndAnswer(IDCANCEL, IDYES);
    });
    for (BOOL onLast : {TRUE, FALSE}) {
        TestFrame one;
        one.installOnLastPage = onLast;
        TestPage only(136, "only");
        Run({&only}, [&] {
            EXPECT_EQ(State(), "--I") << onLast;
            PressAndAnswer(IDCANCEL, IDYES);
        }, &one);
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
        const char* state;
    } steps[] = {
        {&p1, true, -1, &p1, "-N-"},  {&p1, true, 999, &p1, "-N-"},  {&p1, true, 138, &p3, "BN-"},
        {&p3, true, 138, &p3, "BN-"}, {&p3, false, -1, &p3, "BN-"},  {&p3, false, 0, &p2, "BN-"},
        {&p2, false, 142, &p4, "BN-"}, {&p4, false, 136, &p1, "-N-"},
    };
    EXPECT_EQ(Run({&p1, &p2, &p3, &p4}, [&] {
        for (const auto& step : steps) {
            (step.next ? step.page->nextTarget : step.page->backTarget) = step.target;
            Press(step.next ? IDC_WIZ_NEXT : IDC_WIZ_BACK);
            EXPECT_TRUE(step.shown->Visible()) << step.target;
            EXPECT_EQ(State(), step.state) << step.target;
            EXPECT_TRUE(step.target != 138 || !p2.created);  // jumped over, never made
        }
        PressAndAnswer(IDCANCEL, IDYES);
    }), IDCANCEL);
}

// Every veto leaves the frame as it was: a page that will not be left, a
// new page that will not be shown yet, Install refused by the current page
// or a commit, Cancel answered No or refused by a page.
TEST_F(WizardFrame, VetoesLeaveTheFrameAsItWas) {
    frame.installOnLastPage = FALSE;
    EXPECT_EQ(Run({&p1, &p2, &p3, &p4}, [&] {
        p1.leaveResult = FALSE;  // the new page is made but not shown
        Press(IDC_WIZ_NEXT);
        EXPECT_TRUE(p1.Visible() && p2.created && !p2.Visible());
        EXPECT_EQ(State(), "-N-");
        p1.leaveResult = TRUE;
        p3.createResult = FALSE;  // made, refuses to be shown the first time
        Press(IDC_WIZ_NEXT);
        Press(IDC_WIZ_NEXT);
        EXPECT_TRUE(p2.Visible() && p3.m_hWnd && !p3.Visible());
        HWND made = p3.m_hWnd;
        Press(IDC_WIZ_NEXT);  // shown now, without being made again
        EXPECT_TRUE(p3.Visible());
        EXPECT_EQ(p3.m_hWnd, made);
        frame.SetInstallEnabled(TRUE);
        Take();

        p3.leaveResult = FALSE;
        Press(IDC_WIZ_INSTALL);
        EXPECT_EQ(Take(), "p3.Leave ");
        p3.leaveResult = TRUE;
        p2.commitResult = FALSE;  // stops the commits after it
        Press(IDC_WIZ_INSTALL);
        EXPECT_EQ(Take(), "p3.Leave p1.Commit p2.Commit ");
        p2.cancelResult = FALSE;
        EXPECT_EQ(PressAndAnswer(IDCANCEL, IDYES), "Exit installation?");
        EXPECT_EQ(Take(), "p1.Cancel p2.Cancel ");
        EXPECT_EQ(PressAndAnswer(IDCANCEL, IDNO), "Exit installation?");  // No asks nothing of the pages
        EXPECT_EQ(Take(), "");
        EXPECT_TRUE(p3.Visible());
        EXPECT_EQ(State(), "BNI");
        p2.cancelResult = TRUE;
        PressAndAnswer(IDCANCEL, IDYES);
    }), IDCANCEL);
    // Only the pages made are asked; nothing is committed.
    EXPECT_EQ(Take(), "p1.Cancel p2.Cancel p3.Cancel p1.Leave p1.Closing p2.Leave p2.Closing p3.Leave p3.Closing ");
}

// Finish mode shows only Finish; the title bar's close box still asks, and
// No keeps the page. The caption is read again for each frame.
TEST_F(WizardFrame, FinishModeAndCaption) {
    for (const char* version : {"Programmer 2.0 edited", ""}) {
        Write(g_setup.configPath, std::string("[software]\r\nversion = ") + version + "\r\n");
        TestFrame finish;
        finish.finishMode = TRUE;
        TestPage complete(139, "p");
        std::string caption;
        EXPECT_EQ(Run({&complete}, [&] {
            caption = ui::WindowText(dlg);
            EXPECT_EQ(ui::ControlText(dlg, IDC_WIZ_INSTALL), "Finish");
            EXPECT_TRUE(ui::ControlVisible(dlg, IDC_WIZ_INSTALL) && ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
            for (int id : {int(IDC_WIZ_BACK), int(IDC_WIZ_NEXT), IDCANCEL}) EXPECT_FALSE(ui::ControlVisible(dlg, id)) << id;
            PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
            EXPECT_EQ(ui::Answer("Exit installation?", IDNO), "Exit installation?");
            EXPECT_TRUE(complete.Visible());
            Take();
            ui::Click(dlg, IDC_WIZ_INSTALL);
        }, &finish), IDC_WIZ_INSTALL);
        EXPECT_EQ(caption, version);
        EXPECT_STREQ(g_setup.productVersion, version);
        EXPECT_EQ(Take().rfind("p.Leave p.Commit ", 0), 0u);
    }
}

// Enter presses the default button: Next, or Install on the last page, and
// nothing while it is disabled. The standard OK command does the same and
// never ends the run by itself. The focus starts on the default button.
TEST_F(WizardFrame, EnterPressesTheEnabledDefaultButton) {
    frame.installOnLastPage = FALSE;
    TestPage last(139, "last");  // the focus lands on its check box
    EXPECT_EQ(Run({&p1, &p2, &p3, &last}, [&] {
        EXPECT_EQ(GetDlgCtrlID(ui::FocusOf(dlg)), IDC_WIZ_NEXT);
        Key(VK_RETURN);
        EXPECT_TRUE(p2.Visible());
        Command(IDOK);
        EXPECT_TRUE(p3.Visible());
        Key(VK_RETURN);
        EXPECT_TRUE(last.Visible());
        EXPECT_EQ(GetDlgCtrlID(ui::FocusOf(dlg)), IDC_DONE_RUN);
        Take();
        Key(VK_RETURN);  // Next and Install both disabled
        Command(IDOK);
        EXPECT_TRUE(last.Visible());
        EXPECT_EQ(Take(), "");
        frame.SetInstallEnabled(TRUE);
        ui::Key(dlg, VK_RETURN);
    }), IDC_WIZ_INSTALL);
    EXPECT_EQ(Take().rfind("last.Leave p1.Commit ", 0), 0u);
}

// ---- the pages

namespace {

// The destination page before the language page; fn gets frame and page.
void Destination(const std::function<void(HWND, HWND, CLanguagePage&)>& fn) {
    CDestinationPage dest;
    CLanguagePage language;
    Wizard({&dest, &language}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_DEST_SENTENCE);
        ASSERT_NE(page, nullptr);
        fn(dlg, page, language);
    });
}
// The sentence and the folder that the destination page shows.
std::pair<std::string, std::string> ShownTexts(const std::string& ini, const char* picture = nullptr) {
    Scratch s(ini);
    std::pair<std::string, std::string> texts;
    Destination([&](HWND dlg, HWND page, CLanguagePage&) {
        texts = {ui::ControlText(page, IDC_DEST_SENTENCE), ui::ControlText(page, IDC_DEST_FOLDER)};
        if (picture) Picture(dlg, picture);
        CancelWizard(dlg);
    });
    return texts;
}
// The language page before the agreement page.
void Language(const std::function<void(HWND, HWND, CAgreementPage&)>& fn) {
    CLanguagePage language;
    CAgreementPage agreement;
    Wizard({&language, &agreement}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_LANG_COMBO);
        ASSERT_NE(page, nullptr);
        fn(dlg, page, agreement);
    });
}
std::vector<std::string> ListEntries(HWND page) {
    std::vector<std::string> out;
    for (LRESULT i = 0, n = SendDlgItemMessageA(page, IDC_LANG_COMBO, CB_GETCOUNT, 0, 0); i < n; ++i) {
        char buf[64] = {0};
        SendDlgItemMessageA(page, IDC_LANG_COMBO, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
        out.push_back(buf);
    }
    return out;
}
void Select(HWND page, int index) { SendDlgItemMessageA(page, IDC_LANG_COMBO, CB_SETCURSEL, index, 0); }

}  // namespace

TEST(DestinationPage, SentenceNamesTheProductCutTo29Characters) {
    const struct {
        const char *ini, *sentence, *folder;
    } cases[] = {
        {"[Software]\nVersion=1.0\n", "the program", ""},  // the template's placeholder never stays
        {"[Software]\nName=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\n", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012", ""},
    };
    for (const auto& c : cases) {
        auto shown = ShownTexts(c.ini, &c == cases ? "destination" : nullptr);
        EXPECT_EQ(shown.first, std::string("Setup will install ") + c.sentence + " in the following folder.");
        EXPECT_EQ(shown.second, c.folder);
    }
}

// A configuration saved as UTF-8 or UTF-16 with a byte-order mark: the page
// shows what the system's profile reader delivers for the same file; on a
// Chinese PC (code page 936) that is the Chinese text itself.
TEST(DestinationPage, ByteOrderMarkedTextShownAsTheSystemReadsIt) {
    ExpectCodePageAsked();
    const std::wstring text = L"[Software]\r\nName=编程器软件\r\n[Dir]\r\nDest=C:\\编程器\\软件\r\n";
    std::string utf8(text.size() * 3, '\0'), utf16 = "\xff\xfe";
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, nullptr));
    utf16.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    for (const std::string& ini : {"\xef\xbb\xbf" + utf8, utf16}) {
        char name[30] = {0}, dest[180] = {0};
        {
            Scratch reference(ini);
            GetPrivateProfileStringA("Software", "Name", "", name, sizeof name, reference.config.c_str());
            GetPrivateProfileStringA("Dir", "Dest", "", dest, sizeof dest, reference.config.c_str());
        }
        if (GetACP() == 936) {
            EXPECT_STREQ(name, "\xb1\xe0\xb3\xcc\xc6\xf7\xc8\xed\xbc\xfe");
        }
        auto shown = ShownTexts(ini);
        EXPECT_EQ(shown.first, "Setup will install " + std::string(name) + " in the following folder.");
        EXPECT_EQ(shown.second, dest);
    }
}

// Next enters an existing folder, creates one missing level (without
// entering it), and refuses a missing parent with "Error Directory": the
// page stays and nothing is made.
TEST(DestinationPage, NextEntersOrCreatesOneLevelOnly) {
    for (auto [rel, exists, ok] : {std::tuple{"existing", true, true}, {"fresh", false, true}, {"no\\such", false, false}}) {
        Scratch s;
        const std::string target = s / rel;
        if (exists) MakeDir(target);
        s.Ini("[Dir]\nDest=" + target + "\n");
        Destination([&](HWND dlg, HWND, CLanguagePage& language) {
            ui::Click(dlg, IDC_WIZ_NEXT);
            if (!ok) {
                EXPECT_EQ(ui::Answer("Error Directory", IDOK), "Error Directory");
            }
            EXPECT_NE(WaitPage(dlg, ok ? IDC_LANG_COMBO : IDC_DEST_SENTENCE), nullptr);
            EXPECT_EQ(language.created, ok);
            CancelWizard(dlg);
        });
        EXPECT_EQ(std::string(g_setup.installDir), target);
        EXPECT_EQ(IsDir(target), ok);
        EXPECT_FALSE(Exists(s / "no"));
        EXPECT_TRUE(SameNoCase(CurrentDir(), exists ? target : s.media)) << CurrentDir();
    }
}

// Install copies the (read-only) configuration file over an earlier,
// read-only and system copy, leaving it writable, and names it from then on;
// a failed copy keeps the wizard open; setup run from the installation
// folder (in other letter case) copies nothing, which would have failed.
TEST(DestinationPage, InstallCopiesTheConfigurationFile) {
    for (const std::string target : {"inst", "missing", "media"}) {
        Scratch s;
        const std::string ini = "[Dir]\nDest=" + (s / target) + "\n[Software]\nName=Demo\n", copy = s / target + "\\morlan.ini";
        const bool fails = target == "missing", self = target == "media";
        if (target == "inst") {
            Write(copy, "[Dir]\nDest=C:\\Earlier\n");
            SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
        }
        s.Ini(ini);
        SetFileAttributesA(s.config.c_str(), FILE_ATTRIBUTE_READONLY);
        std::string upper = s.config;
        CharUpperA(upper.data());
        if (self) Set(g_setup.configPath, upper);
        CDestinationPage dest;  // one page: Install is enabled at once
        const INT_PTR r = Wizard({&dest}, [&](HWND dlg) {
            ASSERT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
            ui::Click(dlg, IDC_WIZ_INSTALL);
            if (!fails) return;
            EXPECT_EQ(ui::Answer("Error Copy File", IDOK), "Error Copy File");
            EXPECT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
            CancelWizard(dlg);
        });
        EXPECT_EQ(r, fails ? INT_PTR(IDCANCEL) : INT_PTR(IDC_WIZ_INSTALL)) << target;
        EXPECT_EQ(std::string(g_setup.configPath), fails ? s.config : self ? upper : copy);
        if (fails) continue;
        EXPECT_EQ(Read(copy), ini) << target;
        EXPECT_EQ(GetFileAttributesA(copy.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM), 0u) << target;
    }
}

// A folder longer than the setup can hold with the configuration file's
// name is refused on Next before anything is created, its cut name too;
// the longest one that fits is taken.
TEST(DestinationPage, NextRefusesAFolderTooLongForTheSetup) {
    Scratch s;
    const std::string fits = s / std::string(187 - s.path.string().size(), 'f'), tooLong = fits + "g";
    Destination([&](HWND dlg, HWND page, CLanguagePage& language) {
        ui::SetText(page, IDC_DEST_FOLDER, tooLong.c_str());  // as the folder picker leaves it
        ui::Click(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(ui::Answer("is too long", IDOK).find(tooLong), std::string::npos);
        EXPECT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        EXPECT_FALSE(language.created || Exists(fits) || Exists(tooLong));
        ui::SetText(page, IDC_DEST_FOLDER, fits.c_str());
        EXPECT_NE(NextTo(dlg, IDC_LANG_COMBO), nullptr);
        CancelWizard(dlg);
    });
    EXPECT_TRUE(IsDir(fits));
    EXPECT_EQ(std::string(g_setup.installDir), fits);
}

// No languages listed gives English alone, a negative number an empty list;
// Next stores the first entry, not Chinese, and both boxes as they start,
// ticked; the installation folder becomes the current one.
TEST(LanguagePage, NoLanguagesListedGivesEnglishAloneOrNothing) {
    for (auto [number, entries] : {std::pair{"0", std::vector<std::string>{"English"}}, {"-3", {}}}) {
        Scratch s(std::string("[Language]\nNumber=") + number + "\n");
        g_setup.chineseSelected = TRUE;
        g_setup.languageIndex = 5;
        Language([&](HWND dlg, HWND page, CAgreementPage&) {
            EXPECT_EQ(ListEntries(page), entries);
            EXPECT_EQ(SendDlgItemMessageA(page, IDC_LANG_COMBO, CB_GETCURSEL, 0, 0), entries.empty() ? CB_ERR : 0);
            EXPECT_TRUE(ui::CheckState(page, IDC_LANG_DESKTOP) == BST_CHECKED &&
                        ui::CheckState(page, IDC_LANG_STARTMENU) == BST_CHECKED);
            if (!entries.empty()) Picture(dlg, "language");
            EXPECT_NE(NextTo(dlg, IDC_AGREE_YES), nullptr);
            CancelWizard(dlg);
        });
        EXPECT_EQ(g_setup.languageIndex, 0);
        EXPECT_FALSE(g_setup.chineseSelected);
        EXPECT_TRUE(g_setup.desktopShortcut && g_setup.startMenuShortcut);
        EXPECT_TRUE(SameNoCase(CurrentDir(), s.inst));
    }
}

// The list is not sorted, each text cut to 19 characters; only the bare
// word selects Chinese; the choices are stored on Next and kept across Back.
TEST(LanguagePage, ChineseOnlyForTheBareWordAndShortcutChoicesStored) {
    Scratch s("[Language]\nNumber=4\nDescrip1=English\nDescrip2=\"  chinese \"\nDescrip3=Chinese (Traditional)\n"
              "Descrip4=ABCDEFGHIJKLMNOPQRSTUVWXYZ\n");
    int chineseAfterSecond = -1, indexAfterSecond = -1;
    Language([&](HWND dlg, HWND page, CAgreementPage&) {
        EXPECT_EQ(ListEntries(page),
                  (std::vector<std::string>{"English", "  chinese ", "Chinese (Traditiona", "ABCDEFGHIJKLMNOPQRS"}));
        Select(page, 1);
        PressSync(page, IDC_LANG_DESKTOP);  // untick
        ASSERT_NE(NextTo(dlg, IDC_AGREE_YES), nullptr);
        chineseAfterSecond = g_setup.chineseSelected;
        indexAfterSecond = g_setup.languageIndex;
        EXPECT_FALSE(g_setup.desktopShortcut);
        EXPECT_TRUE(g_setup.startMenuShortcut);
        ASSERT_EQ(BackTo(dlg, IDC_LANG_COMBO), page);
        EXPECT_EQ(ui::CheckState(page, IDC_LANG_DESKTOP), BST_UNCHECKED);
        Select(page, 2);
        PressSync(page, IDC_LANG_DESKTOP);
        PressSync(page, IDC_LANG_STARTMENU);
        ASSERT_NE(NextTo(dlg, IDC_AGREE_YES), nullptr);
        CancelWizard(dlg);
    });
    EXPECT_TRUE(chineseAfterSecond);
    EXPECT_EQ(indexAfterSecond, 1);
    EXPECT_FALSE(g_setup.chineseSelected);
    EXPECT_EQ(g_setup.languageIndex, 2);
    EXPECT_TRUE(g_setup.desktopShortcut);
    EXPECT_FALSE(g_setup.startMenuShortcut);
}

// Entries saved as UTF-8 with a byte-order mark are listed as the system's
// profile reader delivers them (on a Chinese PC, code page 936, in
// Chinese); only the bare word selects the Chinese agreement.
TEST(LanguagePage, ByteOrderMarkedEntriesListedAsTheSystemReadsThem) {
    ExpectCodePageAsked();
    Scratch s("\xef\xbb\xbf[Language]\r\nNumber=3\r\nDescrip1=English\r\nDescrip2=简体中文\r\nDescrip3=Chinese\r\n");
    std::vector<std::string> expected;
    for (const char* key : {"Descrip1", "Descrip2", "Descrip3"}) {
        char buf[20] = {0};
        GetPrivateProfileStringA("Language", key, "", buf, sizeof buf, s.config.c_str());
        expected.push_back(buf);
    }
    if (GetACP() == 936) {
        EXPECT_EQ(expected[1], "\xbc\xf2\xcc\xe5\xd6\xd0\xce\xc4");
    }
    int chineseForSecond = -1;
    Language([&](HWND dlg, HWND page, CAgreementPage&) {
        EXPECT_EQ(ListEntries(page), expected);
        Select(page, 1);
        Picture(dlg, "language-cp936");
        ASSERT_NE(NextTo(dlg, IDC_AGREE_YES), nullptr);
        chineseForSecond = g_setup.chineseSelected;
        ASSERT_EQ(BackTo(dlg, IDC_LANG_COMBO), page);
        Select(page, 2);
        ASSERT_NE(NextTo(dlg, IDC_AGREE_YES), nullptr);
        PressSync(dlg, IDC_AGREE_YES);
        Picture(dlg, "agreement-cp936");
        CancelWizard(dlg);
    });
    EXPECT_FALSE(chineseForSecond);
    EXPECT_TRUE(g_setup.chineseSelected);
}

// A missing parent level, an empty name, a name that leaves the folder or
// names a device: the message (naming a refused name), and the page stays;
// the choices were stored before.
TEST(LanguagePage, SubfolderErrorsKeepThePage) {
    const struct {
        const char *ini, *mustNotExist, *refusedName;
    } cases[] = {
        {"[SubDir]\nNumber=3\nDir1=one\nDir2=two\\three\nDir3=four\n", "four", nullptr},
        {"[SubDir]\nNumber=2\nDir1=one\n", nullptr, nullptr},
        {"[SubDir]\nNumber=1\nDir1=..\\outside\n", "..\\outside", "..\\outside"},
        {"[SubDir]\nNumber=2\nDir1=one\nDir2=one\\Aux.d\n", nullptr, "one\\Aux.d"},
    };
    for (const auto& c : cases) {
        Scratch s(c.ini);
        Language([&](HWND dlg, HWND page, CAgreementPage& agreement) {
            PressSync(page, IDC_LANG_STARTMENU);
            ui::Click(dlg, IDC_WIZ_NEXT);
            EXPECT_EQ(ui::Answer("Create subdirectory error.", IDOK),
                      "Create subdirectory error." + (c.refusedName ? std::string("\n\nInvalid name \"") + c.refusedName +
                                                                          "\" in [SubDir] of morlan.ini." : ""));
            EXPECT_NE(WaitPage(dlg, IDC_LANG_COMBO), nullptr);
            EXPECT_FALSE(agreement.created);
            CancelWizard(dlg);
        });
        EXPECT_TRUE(c.mustNotExist ? !Exists(s.inst + "\\" + c.mustNotExist) : IsDir(s.inst + "\\one")) << c.ini;
        EXPECT_FALSE(g_setup.startMenuShortcut);
    }
}

// The first run through every page: on the agreement page the text in the
// chosen language, the reader's place kept, and Install after a return to
// the welcome page.
TEST(AgreementPage, AnswerLanguageAndInstallThroughTheWholeFirstRun) {
    Scratch s;
    s.Ini("[Dir]\nDest=" + s.inst + "\n[Language]\nNumber=2\nDescrip1=English\nDescrip2=Chinese\n"
          "[Software]\nVersion=Demo Writer 2.4\n");
    CWelcomePage welcome;
    CDestinationPage dest;
    CLanguagePage language;
    CAgreementPage agreement;
    EXPECT_EQ(Wizard({&welcome, &dest, &language, &agreement}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_PAGE_TITLE);
        Picture(dlg, "welcome");
        for (int id : {IDC_DEST_SENTENCE, IDC_LANG_COMBO, IDC_AGREE_YES}) page = NextTo(dlg, id);
        ASSERT_NE(page, nullptr);

        // The English text with every line break as CR LF and the strings
        // joined in order.
        const std::wstring english = ui::ControlTextW(page, IDC_AGREE_TEXT);
        EXPECT_EQ(english.rfind(L"SOFTWARE LICENCE AGREEMENT\r\n\r\nPlease read", 0), 0u);
        EXPECT_LT(english.find(L"1. DEFINITIONS\r\n"), english.find(L"10. GENERAL\r\n"));
        for (size_t i = 0; i < english.size(); ++i)
            ASSERT_TRUE(english[i] != L'\n' || (i > 0 && english[i - 1] == L'\r')) << "bare LF at " << i;
        HWND box = GetDlgItem(page, IDC_AGREE_TEXT);
        auto firstLine = [&] { return SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0); };
        EXPECT_NE(ui::WaitFor([&] { return firstLine() == 0 ? box : nullptr; }), nullptr);  // the top
        Picture(dlg, "agreement");

        // The focus starts in the text. Coming back into it after scrolling,
        // by a click or through the dialog manager (Tab), keeps the place.
        EXPECT_EQ(ui::FocusOf(dlg), box);
        for (bool click : {true, false}) {
            SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dlg, IDCANCEL)), TRUE);
            SendMessageW(box, EM_LINESCROLL, 0, 8);
            const LRESULT line = firstLine();
            ASSERT_GT(line, 0);
            if (click) {
                PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
                PostMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
            } else {
                SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
            }
            EXPECT_NE(ui::WaitFor([&] { return ui::FocusOf(dlg) == box ? box : nullptr; }), nullptr);
            EXPECT_EQ(ui::WaitFor([&] { return firstLine() != line ? box : nullptr; }, 500), nullptr) << click;
        }
        ClickSync(page, IDC_AGREE_YES);

        // Back to the language page: Install stays enabled. Choose Chinese
        // and come back: the text is rebuilt, the answer kept.
        HWND langPage = BackTo(dlg, IDC_LANG_COMBO);
        ASSERT_NE(langPage, nullptr);
        EXPECT_TRUE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        Select(langPage, 1);
        ASSERT_EQ(NextTo(dlg, IDC_AGREE_YES), page);
        const std::wstring chinese = ui::ControlTextW(page, IDC_AGREE_TEXT);
        EXPECT_EQ(chinese.rfind(L"\x8f6f\x4ef6\x8bb8\x53ef\x534f\x8bae\r\n\r\n", 0), 0u);  // the heading
        EXPECT_EQ(chinese.find(L"LICENCE"), std::wstring::npos);
        EXPECT_TRUE(ui::CheckState(page, IDC_AGREE_YES) == BST_CHECKED && ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        Picture(dlg, "agreement-chinese");

        // Back to the welcome page: Install off, and still off on return
        // although Yes is still marked, until Yes is clicked again.
        for (int id : {IDC_LANG_COMBO, IDC_DEST_SENTENCE, IDC_PAGE_TITLE}) BackTo(dlg, id);
        EXPECT_FALSE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        for (int id : {IDC_DEST_SENTENCE, IDC_LANG_COMBO, IDC_AGREE_YES}) NextTo(dlg, id);
        EXPECT_EQ(ui::CheckState(page, IDC_AGREE_YES), BST_CHECKED);
        EXPECT_FALSE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        ClickSync(page, IDC_AGREE_YES);
        EXPECT_TRUE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        ui::Click(dlg, IDC_WIZ_INSTALL);
    }, FALSE), IDC_WIZ_INSTALL);
    EXPECT_EQ(agreement.accepted, 1);
    EXPECT_TRUE(g_setup.chineseSelected);
    EXPECT_EQ(std::string(g_setup.configPath), s.inst + "\\morlan.ini");  // the destination page committed
}

// The Windows 95 family has no wide-character windows: there the text is in
// an ANSI box, in the system's code page; the NT family keeps the wide box.
TEST(AgreementPage, AnsiTextBoxOnTheWindows95Family) {
    Scratch s("[Language]\nNumber=1\nDescrip1=English\n");
    std::wstring english;
    const uint32_t savedPlatform = g_setup.platformId;
    for (uint32_t platform : {2u, 1u}) {
        g_setup.platformId = platform;
        CAgreementPage agreement;
        Wizard({&agreement}, [&](HWND dlg) {
            HWND page = WaitPage(dlg, IDC_AGREE_YES);
            ASSERT_NE(page, nullptr);
            EXPECT_EQ(IsWindowUnicode(GetDlgItem(page, IDC_AGREE_TEXT)) != FALSE, platform == 2) << platform;
            if (platform == 2) english = ui::ControlTextW(page, IDC_AGREE_TEXT);
            std::string ansi(english.size() * 2 + 1, '\0');
            ansi.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, english.c_str(), -1, &ansi[0],
                                                                static_cast<int>(ansi.size()), nullptr, nullptr)) - 1);
            ASSERT_GT(ansi.size(), 1000u);
            EXPECT_EQ(ui::ControlText(page, IDC_AGREE_TEXT), ansi) << platform;
            CancelWizard(dlg);
        });
    }
    g_setup.platformId = savedPlatform;
}

// The completion run's pages in the finish-mode frame: what Finish stores,
// and what the cancel path leaves.
TEST(CompletePages, FinishStoresTheChoiceAndCancelNeverDoes) {
    Scratch s("[Software]\nVersion=Demo Writer 2.4\n");
    const struct {
        bool restart;  // the restart page, else the run-the-program page
        BOOL before;
        std::initializer_list<int> press;
        bool cancel;
        BOOL after;
        const char* picture;
    } rows[] = {
        {false, TRUE, {IDC_DONE_RUN}, false, FALSE, nullptr},  // the box starts from the stored value
        {false, FALSE, {IDC_DONE_RUN}, true, FALSE, "complete"},
        {true, TRUE, {IDC_DONE_RESTART_NO, IDC_DONE_RESTART_YES}, false, TRUE, nullptr},
        {true, TRUE, {}, true, FALSE, "restart"},  // a confirmed exit never restarts
        {true, TRUE, {IDC_DONE_RESTART_NO}, true, FALSE, nullptr},
    };
    for (const auto& row : rows) {
        BOOL& stored = row.restart ? g_setup.restartNow : g_setup.runAfterSetup;
        stored = row.before;
        CWizardDlg frame;
        frame.finishMode = TRUE;
        CCompletePage complete;
        CRestartPage restart;
        const INT_PTR r = RunFrame(frame, {row.restart ? static_cast<CWizardPage*>(&restart) : &complete}, [&](HWND dlg) {
            HWND p = WaitPage(dlg, IDC_DONE_TITLE);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(ui::ControlText(p, IDC_DONE_TITLE), "Setup Complete");
            if (row.picture) Picture(dlg, row.picture);
            for (int id : row.press) PressSync(p, id);
            if (row.restart) {  // the radio buttons exclude each other
                EXPECT_NE(ui::CheckState(p, IDC_DONE_RESTART_YES), ui::CheckState(p, IDC_DONE_RESTART_NO));
            }
            if (!row.cancel) ui::Click(dlg, IDC_WIZ_INSTALL);
            if (row.cancel) {
                PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // the close box / Esc
                EXPECT_NE(ui::Answer("Exit installation?", IDYES), "");
            }
        });
        EXPECT_EQ(r, row.cancel ? INT_PTR(IDCANCEL) : INT_PTR(IDC_WIZ_INSTALL));
        EXPECT_EQ(stored, row.after) << "row " << (&row - rows);
    }
}

// ---- the folder picker on the shell's real browse dialog

namespace {
int Picker(CFolderPicker& picker, const std::function<void(HWND)>& fn) {
    return Drive([&] { return picker.Run(); }, [&] {
        HWND dlg = ui::WaitForDialogWithControl(IDC_PICKER_PATH);
        if (!dlg) return ADD_FAILURE() << "the browse dialog did not appear", void();
        fn(dlg);
    });
}
bool OkEnabled(HWND dlg) { return IsWindowEnabled(GetDlgItem(dlg, IDOK)) != FALSE; }
}  // namespace

// The path box above the tree, as wide as it; a new three-level path is
// created only when the question is answered Yes.
TEST(FolderPicker, OpensOnTheInitialFolderAndCreatesAThreeLevelPath) {
    Scratch s;
    const std::string target = s / "new1\\new2\\new3";
    CFolderPicker picker("Setup", "Please select...", s.media.c_str(), nullptr);
    EXPECT_EQ(Picker(picker, [&](HWND dlg) {
        EXPECT_FALSE(ui::ControlVisible(dlg, IDC_PICKER_STATUS));
        RECT box, tree;
        GetWindowRect(GetDlgItem(dlg, IDC_PICKER_PATH), &box);
        GetWindowRect(GetDlgItem(dlg, IDC_PICKER_TREE), &tree);
        EXPECT_TRUE(box.left == tree.left && box.right == tree.right && box.bottom == tree.top - 4 &&
                    box.top == tree.top - 27);
        Picture(dlg, "folder-picker");
        ui::SetText(dlg, IDC_PICKER_PATH, target.c_str());
        for (int answer : {IDNO, IDYES}) {
            ui::Click(dlg, IDOK);
            EXPECT_EQ(ui::Answer("does not exist", answer),
                      "The folder:\n\n" + target + "\n\ndoes not exist. Do you want the folder to be created?");
            EXPECT_TRUE(answer == IDYES || (!Exists(s / "new1") && IsWindowVisible(dlg)));
        }
    }), 1);
    EXPECT_EQ(picker.GetPath(), target);
}

// Which paths are invalid is the rules' own test; here: the message, the
// dialog staying with the focus in the path box, nothing made, a text over
// 259 characters refused whole, not cut; no level is made below a file.
TEST(FolderPicker, InvalidPathsAreReportedAndTheDialogStays) {
    Scratch s;
    const std::string root = s.path.string(), tooLong = root + "\\" + std::string(300 - root.size(), 'x');
    CFolderPicker picker(nullptr, "Please select...", "", nullptr);
    EXPECT_EQ(Picker(picker, [&](HWND dlg) {
        EXPECT_EQ(ui::ControlText(dlg, IDC_PICKER_PATH), "");  // an empty start folder
        EXPECT_TRUE(OkEnabled(dlg));
        for (const std::string& path : {std::string(), std::string("C:"), root + "\\abc\\", tooLong}) {
            if (!path.empty()) ui::SetText(dlg, IDC_PICKER_PATH, path.c_str());
            ui::Click(dlg, IDOK);
            EXPECT_EQ(ui::Answer("is invalid", IDOK), "The folder:\n\n" + path + "\n\nis invalid. Please reenter.");
            EXPECT_TRUE(IsWindowVisible(dlg));
            EXPECT_NE(ui::WaitFor([&] { return ui::FocusOf(dlg) == GetDlgItem(dlg, IDC_PICKER_PATH) ? dlg : nullptr; }),
                      nullptr) << path;
        }
        ui::Click(dlg, IDCANCEL);
    }), -1);
    EXPECT_FALSE(Exists(root + "\\abc") || Exists(root + "\\" + std::string(259 - root.size() - 1, 'x')));
    EXPECT_EQ(CheckFolderPath((s.config + "\\sub").c_str(), FALSE), kFolderNotCreated);
}

TEST(FolderPicker, TreeSelectionReplacesTheBoxAndAnEmptyBoxDisablesOk) {
    Scratch s;
    const std::string missing = s / "not\\yet";
    CFolderPicker picker("Setup", "Please select...", missing.c_str(), nullptr);
    EXPECT_EQ(Picker(picker, [&](HWND dlg) {
        EXPECT_EQ(ui::ControlText(dlg, IDC_PICKER_PATH), missing);  // shown as given
        SendMessageA(dlg, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(s.media.c_str()));
        EXPECT_TRUE(SameNoCase(ui::ControlText(dlg, IDC_PICKER_PATH), s.media)) << ui::ControlText(dlg, IDC_PICKER_PATH);
        EXPECT_TRUE(OkEnabled(dlg));
        for (const char* text : {"", "C"}) {
            ui::SetText(dlg, IDC_PICKER_PATH, text);
            EXPECT_EQ(OkEnabled(dlg), *text != 0) << text;
        }
        ui::SetText(dlg, IDC_PICKER_PATH, s.media.c_str());
        ui::Click(dlg, IDOK);  // an existing folder: no question
    }), 1);
    EXPECT_EQ(picker.GetPath(), s.media);
    EXPECT_FALSE(Exists(s / "not"));
}
