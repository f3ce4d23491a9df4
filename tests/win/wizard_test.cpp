// The wizard frame, the setup's pages and the folder picker, driven from a
// second thread while the dialog runs modally on the test's.
#include "win/support/WinTest.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

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
        ASSERT_NE(dlg, nullptr);
        fn(dlg);
    });
}

// A picture when SETUP_SCREENSHOTS asks, in code page 1252 or N for "-cpN".
void Picture(HWND w, const char* name) {
    const std::string dir = ui::ScreenshotDir();
    const char* cp = std::strstr(name, "-cp");
    if (dir.empty() || GetACP() != (cp ? static_cast<UINT>(std::atoi(cp + 3)) : 1252u)) return;
    EXPECT_TRUE(ui::ScreenshotWindow(w, dir + "/" + name + ".png")) << name;
}

// ---- the frame, with pages whose hooks log their calls and answer as set

std::mutex g_lock;
std::string g_log, g_hook;  // the hook ("p1.Leave") that answers g_answer
int g_answer = 0;
std::string Take() {
    std::lock_guard<std::mutex> lock(g_lock);
    return std::exchange(g_log, {});
}

class TestPage : public CWizardPage {
public:
    TestPage(UINT id, const char* name) : CWizardPage(id), name_(name) {}
    bool Visible() const { return m_hWnd && IsWindowVisible(m_hWnd); }
    BOOL OnPageCreated() override { return Log("Created", TRUE); }
    void OnPageClosing() override { Log("Closing", 0); }
    BOOL CanLeavePage() override { return Log("Leave", TRUE); }
    void OnPageShown() override { Log("Shown", 0); }
    BOOL CanCancelSetup() override { return Log("Cancel", TRUE); }
    int GetBackTarget() override { return Log("Back", 0); }
    int GetNextTarget() override { return Log("Next", 0); }
    BOOL CommitPage() override { return Log("Commit", TRUE); }

private:
    int Log(const char* hook, int answer) {
        std::lock_guard<std::mutex> lock(g_lock);
        const std::string key = name_ + "." + hook;
        g_log += key + " ";
        return key == g_hook ? g_answer : answer;
    }
    std::string name_;
};

// The frame notes the last command it handled: Act waits for posted input.
struct TestFrame : CWizardDlg {
    std::atomic<int> lastCommand{0};
    BOOL OnCommand(UINT id, UINT code, HWND control) override {
        const BOOL r = CWizardDlg::OnCommand(id, code, control);
        lastCommand = static_cast<int>(id);
        return r;
    }
};

// A step of a walk: a button clicked or another action, with one hook
// answering as set; then the page shown, Back, Next and Install enabled (B,
// N, I) or not (-), and the hooks called.
enum { kEnter = 1000, kOk, kCancelYes, kCancelNo, kEnableInstall };
struct Step { int action; TestPage* shown; const char *state, *log, *hook = ""; int answer = 0; };

class WizardFrame : public ::testing::Test {
protected:
    Scratch s;
    TestFrame frame;
    HWND dlg = nullptr;
    TestPage p1{136, "p1"}, p2{137, "p2"}, p3{138, "p3"}, p4{139, "p4"};

    INT_PTR Run(std::initializer_list<CWizardPage*> pages, const std::function<void()>& fn) {
        Take();
        return RunFrame(frame, pages, [&](HWND d) {
            dlg = d;
            fn();
        });
    }
    void Act(int action) {
        const bool cancel = action == kCancelYes || action == kCancelNo;
        if (action == kEnter) ui::Key(dlg, VK_RETURN);
        else if (action == kOk) PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        else if (action == kEnableInstall) frame.SetInstallEnabled(TRUE);
        else ui::Click(dlg, cancel ? IDCANCEL : action);
        if (cancel) { EXPECT_NE(ui::Answer("Exit installation?", action == kCancelYes ? IDYES : IDNO), ""); }
        constexpr int kSync = 0x7FFF;
        frame.lastCommand = 0;
        PostMessageA(dlg, WM_COMMAND, kSync, 0);
        for (int i = 0; i < 500 && frame.lastCommand != kSync && IsWindow(dlg); ++i) Sleep(10);
    }
    std::string State() {
        std::string s;
        for (auto [id, c] : {std::pair{IDC_WIZ_BACK, 'B'}, {IDC_WIZ_NEXT, 'N'}, {IDC_WIZ_INSTALL, 'I'}})
            s += ui::ControlEnabled(dlg, id) ? c : '-';
        return s;
    }
    static void SetAnswer(const char* hook, int answer) {
        std::lock_guard<std::mutex> lock(g_lock);
        g_hook = hook;
        g_answer = answer;
    }
    void Walk(std::initializer_list<Step> steps) {
        for (const Step& st : steps) {
            SetAnswer(st.hook, st.answer);
            Act(st.action);
            SetAnswer("", 0);
            const auto n = &st - steps.begin();
            EXPECT_TRUE(st.shown->Visible()) << "step " << n;
            EXPECT_EQ(State(), st.state) << "step " << n;
            EXPECT_EQ(Take(), st.log) << "step " << n;
        }
    }
};

}  // namespace

// Four pages, Install left to them: the target codes (-1 stays, an unknown id
// does nothing, a page id jumps there, 0 takes the neighbour), pages made once,
// every veto leaving the frame as it was, Enter and OK pressing only the
// enabled default button; Install commits every made page, then all close.
TEST_F(WizardFrame, WalkWithTargetsVetoesAndKeys) {
    frame.installOnLastPage = FALSE;
    EXPECT_EQ(Run({&p1, &p2, &p3, &p4}, [&] {
        EXPECT_EQ(Take(), "p1.Created p1.Shown ");
        EXPECT_EQ(GetDlgCtrlID(ui::FocusOf(dlg)), IDC_WIZ_NEXT);
        Walk({
            {IDC_WIZ_NEXT, &p1, "-N-", "p1.Next p2.Created p1.Leave ", "p1.Leave", FALSE},  // made, not shown
            {kEnter, &p2, "BN-", "p1.Next p1.Leave p2.Shown "},
            {IDC_WIZ_NEXT, &p2, "BN-", "p2.Next ", "p2.Next", -1},
            {IDC_WIZ_NEXT, &p2, "BN-", "p2.Next ", "p2.Next", 999},
            {IDC_WIZ_NEXT, &p2, "BN-", "p2.Next p2.Leave p2.Shown ", "p2.Next", 137},
            {IDC_WIZ_NEXT, &p4, "B--", "p2.Next p4.Created p2.Leave p4.Shown ", "p2.Next", 139},  // over p3
            {IDC_WIZ_BACK, &p4, "B--", "p4.Back ", "p4.Back", -1},
            {IDC_WIZ_BACK, &p2, "BN-", "p4.Back p4.Leave p2.Shown ", "p4.Back", 137},
            {kOk, &p2, "BN-", "p2.Next p3.Created ", "p3.Created", FALSE},  // made, refuses to be shown
            {IDC_WIZ_NEXT, &p3, "BN-", "p2.Next p2.Leave p3.Shown "},
            {IDC_WIZ_BACK, &p4, "BN-", "p3.Back p3.Leave p4.Shown ", "p3.Back", 139},
            {IDC_WIZ_BACK, &p3, "BN-", "p4.Back p4.Leave p3.Shown "},
            {IDC_WIZ_BACK, &p1, "-N-", "p3.Back p3.Leave p1.Shown ", "p3.Back", 136},
            {kEnter, &p4, "B--", "p1.Next p1.Leave p4.Shown ", "p1.Next", 139},
        });
        EXPECT_EQ(GetDlgCtrlID(ui::FocusOf(dlg)), IDC_DONE_RUN);  // the page's own choice
        Walk({
            {kEnter, &p4, "B--", ""},  // Next and Install disabled
            {kOk, &p4, "B--", ""},
            {kEnableInstall, &p4, "B-I", ""},
            {IDC_WIZ_INSTALL, &p4, "B-I", "p4.Leave ", "p4.Leave", FALSE},
            {IDC_WIZ_INSTALL, &p4, "B-I", "p4.Leave p1.Commit p2.Commit ", "p2.Commit", FALSE},
            {kCancelYes, &p4, "B-I", "p1.Cancel p2.Cancel ", "p2.Cancel", FALSE},
            {kCancelNo, &p4, "B-I", ""},  // No asks nothing of the pages
        });
        Act(kEnter);
    }), IDC_WIZ_INSTALL);
    EXPECT_EQ(Take(), "p4.Leave p1.Commit p2.Commit p3.Commit p4.Commit p1.Leave p1.Closing p2.Leave p2.Closing "
                      "p3.Leave p3.Closing p4.Leave p4.Closing ");
    EXPECT_FALSE(p1.created || p4.created);
}

// Install on the last page (the default): the last page enables it, the
// first disables it; a confirmed Cancel asks only the pages made.
TEST_F(WizardFrame, InstallOnTheLastPageAndCancel) {
    EXPECT_EQ(Run({&p1, &p2, &p3}, [&] {
        Take();
        Walk({{IDC_WIZ_NEXT, &p3, "B-I", "p1.Next p3.Created p1.Leave p3.Shown ", "p1.Next", 138},
              {IDC_WIZ_BACK, &p1, "-N-", "p3.Back p3.Leave p1.Shown ", "p3.Back", 136}});
        Act(kCancelYes);
    }), IDCANCEL);
    EXPECT_EQ(Take(), "p1.Cancel p3.Cancel p1.Leave p1.Closing p3.Leave p3.Closing ");
}

namespace {

HWND Shown(CWizardPage& p) { return ui::WaitFor([&] { return IsWindowVisible(p.m_hWnd) ? p.m_hWnd : nullptr; }); }
// A mouse click that opens no modal window, returning once it has been handled.
void PressSync(HWND root, int id) { SendMessageA(ui::FindControl(root, id), BM_CLICK, 0, 0); }
// Back or Next, then the page that should show.
HWND MoveTo(HWND dlg, int button, CWizardPage& p) {
    PressSync(dlg, button);
    return Shown(p);
}
void CancelWizard(HWND dlg) {
    ui::Click(dlg, IDCANCEL);
    ui::Answer("Exit installation?", IDYES);
}

// The setup's pages in a frame; fn gets the frame and the first page's window.
struct Pages {
    CWelcomePage welcome;
    CDestinationPage dest;
    CLanguagePage language;
    CAgreementPage agreement;
    INT_PTR Run(std::initializer_list<CWizardPage*> pages, const std::function<void(HWND, HWND)>& fn,
                BOOL installOnLast = TRUE) {
        CWizardDlg frame;
        frame.installOnLastPage = installOnLast;
        return RunFrame(frame, pages, [&](HWND dlg) {
            HWND page = Shown(**pages.begin());
            ASSERT_NE(page, nullptr);
            fn(dlg, page);
        });
    }
};

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
std::string ProfileString(const std::string& file, const char* section, const char* key, DWORD size) {
    std::string buf(size, '\0');
    buf.resize(GetPrivateProfileStringA(section, key, "", buf.data(), size, file.c_str()));
    return buf;
}
// The runs as on a Chinese PC name its code page in SETUP_EXPECT_ACP.
bool ChinesePC() {
    const char* acp = std::getenv("SETUP_EXPECT_ACP");
    EXPECT_EQ(GetACP(), acp ? static_cast<UINT>(std::atoi(acp)) : GetACP());
    return GetACP() == 936;
}

}  // namespace

// The name and [Dir] Dest as the system reads them (byte-order marks, a
// Chinese PC). Next enters an existing folder or creates one level; a missing
// parent or a folder too long is refused, nothing made. Install copies the
// configuration over an earlier read-only copy, leaving it writable, and uses
// it from then on; a failed copy keeps the wizard; run from the installation
// folder (in other letter case) nothing is copied.
TEST(DestinationPage, ShownTextsNextAndTheConfigurationCopy) {
    const bool chinesePC = ChinesePC();
    const std::wstring text = L"[Software]\r\nName=编程器软件\r\n[Dir]\r\nDest=C:\\编程器\\软件\r\n";
    const std::string utf8 = "\xef\xbb\xbf[Software]\r\nName=编程器软件\r\n[Dir]\r\nDest=C:\\编程器\\软件\r\n",
                      utf16 = "\xff\xfe" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2),
                      plain = "[Software]\nName=Demo\n";
    const struct {
        const char *folder, *refusal;  // folder "F": the longest that fits, "G": one character more
        int before;  // 1: the folder exists, 2: with an earlier copy, 3: with a folder in the copy's place
        std::string ini;
        const char* name;  // nullptr: as the system reads it
    } rows[] = {
        {"existing", nullptr, 2, "[Software]\nVersion=1.0\n", "the program"},  // the template's placeholder goes
        {"fresh", nullptr, 0, utf8, nullptr},
        {"no\\such", "Error Directory", 0, "[Software]\nName=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\n", nullptr},
        {"G", "is too long", 0, plain, nullptr},
        {"F", nullptr, 0, utf16, nullptr},
        {"busy", "Error Copy File", 3, plain, nullptr},
        {"media", nullptr, 1, plain, nullptr},
    };
    for (const auto& row : rows) {
        Scratch s(row.ini);
        const std::string name = row.name ? row.name : ProfileString(s.config, "Software", "Name", 30);
        const std::string dest = ProfileString(s.config, "Dir", "Dest", 180);
        if (chinesePC && !row.name && dest.size()) { EXPECT_EQ(name, "\xb1\xe0\xb3\xcc\xc6\xf7\xc8\xed\xbc\xfe"); }
        const std::string fits = s / std::string(187 - s.path.string().size(), 'f');
        const std::string target = *row.folder == 'F' ? fits : *row.folder == 'G' ? fits + "g" : s / row.folder,
                          copy = target + "\\morlan.ini";
        const bool atNext = row.refusal && row.before == 0, self = row.before == 1;
        if (row.before >= 2) MakeDir(target);
        if (row.before == 2) Write(copy, "[Dir]\nDest=C:\\Earlier\n");
        if (row.before == 3) MakeDir(copy);
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
        SetFileAttributesA(s.config.c_str(), FILE_ATTRIBUTE_READONLY);
        if (self) CharUpperA(g_setup.configPath);
        const std::string config = g_setup.configPath;  // as the setup was started
        Pages p;
        const INT_PTR r = p.Run({&p.dest, &p.language}, [&](HWND dlg, HWND page) {
            EXPECT_EQ(ui::ControlText(page, IDC_DEST_SENTENCE), "Setup will install " + name + " in the following folder.");
            EXPECT_EQ(ui::ControlText(page, IDC_DEST_FOLDER), dest);
            if (&row == rows) Picture(dlg, "destination");
            ui::SetText(page, IDC_DEST_FOLDER, target.c_str());  // as the folder picker leaves it
            ui::Click(dlg, IDC_WIZ_NEXT);
            if (atNext) {  // a folder too long is named in full
                EXPECT_NE(ui::Answer(row.refusal, IDOK).find(*row.folder == 'G' ? target : row.refusal), std::string::npos);
            }
            EXPECT_NE(Shown(atNext ? static_cast<CWizardPage&>(p.dest) : p.language), nullptr);
            EXPECT_EQ(p.language.created, !atNext);
            if (atNext) return CancelWizard(dlg);
            ui::Click(dlg, IDC_WIZ_INSTALL);
            if (!row.refusal) return;
            EXPECT_EQ(ui::Answer(row.refusal, IDOK), row.refusal);
            EXPECT_NE(Shown(p.language), nullptr);
            CancelWizard(dlg);
        });
        EXPECT_EQ(r, row.refusal ? INT_PTR(IDCANCEL) : INT_PTR(IDC_WIZ_INSTALL)) << row.folder;
        EXPECT_EQ(std::string(g_setup.installDir) == target, *row.folder != 'G') << row.folder;
        EXPECT_EQ(IsDir(target), !atNext) << row.folder;
        EXPECT_FALSE(Exists(s / "no") || (*row.folder == 'G' && Exists(fits)));
        EXPECT_TRUE(SameNoCase(CurrentDir(), row.before ? target : s.media)) << CurrentDir();
        EXPECT_EQ(std::string(g_setup.configPath), row.refusal || self ? config : copy);
        if (row.refusal || self) continue;
        EXPECT_EQ(Read(copy), row.ini) << row.folder;
        EXPECT_EQ(GetFileAttributesA(copy.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM), 0u) << row.folder;
    }
}

// No languages: English alone, or an empty list for a negative number. Next
// stores the choices and makes the [SubDir] folders in the installation
// folder (now the current one); a missing parent, an empty name, or a name
// that leaves the folder or names a device: the message, and the page stays.
TEST(LanguagePage, EmptyListsAndSubfolders) {
    const struct {
        const char *ini, *error, *absent;
        std::vector<std::string> entries = {"English"};
    } cases[] = {
        {"[Language]\nNumber=0\n", nullptr, nullptr},
        {"[Language]\nNumber=-3\n", nullptr, nullptr, {}},
        {"[SubDir]\nNumber=3\nDir1=one\nDir2=two\\three\nDir3=four\n", "Create subdirectory error.", "four"},
        {"[SubDir]\nNumber=2\nDir1=one\n", "Create subdirectory error.", nullptr},
        {"[SubDir]\nNumber=1\nDir1=..\\outside\n",
         "Create subdirectory error.\n\nInvalid name \"..\\outside\" in [SubDir] of morlan.ini.", "..\\outside"},
        {"[SubDir]\nNumber=2\nDir1=one\nDir2=one\\Aux.d\n",
         "Create subdirectory error.\n\nInvalid name \"one\\Aux.d\" in [SubDir] of morlan.ini.", nullptr},
    };
    for (const auto& c : cases) {
        Scratch s(c.ini);
        g_setup.chineseSelected = true;
        g_setup.languageIndex = 5;
        Pages p;
        p.Run({&p.language, &p.agreement}, [&](HWND dlg, HWND page) {
            EXPECT_EQ(ListEntries(page), c.entries);
            EXPECT_EQ(SendDlgItemMessageA(page, IDC_LANG_COMBO, CB_GETCURSEL, 0, 0), c.entries.empty() ? CB_ERR : 0);
            if (&c == cases) Picture(dlg, "language");
            PressSync(page, IDC_LANG_STARTMENU);
            ui::Click(dlg, IDC_WIZ_NEXT);
            if (c.error) { EXPECT_EQ(ui::Answer("Create subdirectory", IDOK), c.error); }
            EXPECT_NE(Shown(c.error ? static_cast<CWizardPage&>(p.language) : p.agreement), nullptr);
            EXPECT_EQ(p.agreement.created, !c.error);
            CancelWizard(dlg);
        });
        EXPECT_TRUE(g_setup.languageIndex == 0 && !g_setup.chineseSelected) << c.ini;
        EXPECT_TRUE(g_setup.desktopShortcut && !g_setup.startMenuShortcut);
        EXPECT_TRUE(SameNoCase(CurrentDir(), s.inst)) << CurrentDir();
        EXPECT_EQ(IsDir(s.inst + "\\one"), std::strstr(c.ini, "Dir1=one") != nullptr) << c.ini;
        EXPECT_FALSE(c.absent && Exists(s.inst + "\\" + c.absent));
    }
}

// Entries unsorted and cut, as the system reads them; only the bare word
// selects the Chinese agreement; the choices are stored on Next, kept on Back.
TEST(LanguagePage, EntriesAsTheSystemReadsThemAndChoicesStored) {
    const bool chinesePC = ChinesePC();
    Scratch s("\xef\xbb\xbf[Language]\r\nNumber=5\r\nDescrip1=English\r\nDescrip2=简体中文\r\nDescrip3=Chinese\r\n"
              "Descrip4=\"  chinese \"\r\nDescrip5=Chinese (Traditional)\r\n");
    std::vector<std::string> expected;
    for (const char* key : {"Descrip1", "Descrip2", "Descrip3", "Descrip4", "Descrip5"})
        expected.push_back(ProfileString(s.config, "Language", key, 20));
    if (chinesePC) { EXPECT_EQ(expected[1], "\xbc\xf2\xcc\xe5\xd6\xd0\xce\xc4"); }
    Pages p;
    p.Run({&p.language, &p.agreement}, [&](HWND dlg, HWND page) {
        EXPECT_EQ(ListEntries(page), expected);
        Select(page, 1);
        Picture(dlg, "language-cp936");
        PressSync(page, IDC_LANG_DESKTOP);  // untick
        for (auto [index, chinese] : {std::pair{1, FALSE}, {3, TRUE}, {4, FALSE}, {2, TRUE}}) {
            Select(page, index);
            ASSERT_NE(MoveTo(dlg, IDC_WIZ_NEXT, p.agreement), nullptr);
            EXPECT_EQ(g_setup.chineseSelected, chinese) << index;
            EXPECT_TRUE(g_setup.languageIndex == index && !g_setup.desktopShortcut && g_setup.startMenuShortcut);
            if (index == 2) break;
            ASSERT_EQ(MoveTo(dlg, IDC_WIZ_BACK, p.language), page);
            EXPECT_EQ(ui::CheckState(page, IDC_LANG_DESKTOP), BST_UNCHECKED);
        }
        PressSync(dlg, IDC_AGREE_YES);
        Picture(dlg, "agreement-cp936");
        CancelWizard(dlg);
    });
}

// The first run through every page: the agreement in the chosen language,
// the reader's place kept, and Install after a return to the welcome page.
TEST(AgreementPage, AnswerLanguageAndInstallThroughTheWholeFirstRun) {
    Scratch s;
    s.Ini("[Dir]\nDest=" + s.inst + "\n[Language]\nNumber=2\nDescrip1=English\nDescrip2=Chinese\n"
          "[Software]\nVersion=Demo Writer 2.4\n");
    Pages p;
    EXPECT_EQ(p.Run({&p.welcome, &p.dest, &p.language, &p.agreement}, [&](HWND dlg, HWND) {
        Picture(dlg, "welcome");
        CWizardPage* const road[] = {&p.welcome, &p.dest, &p.language, &p.agreement};
        HWND page = nullptr;
        for (int i = 1; i < 4; ++i) page = MoveTo(dlg, IDC_WIZ_NEXT, *road[i]);
        ASSERT_NE(page, nullptr);

        // The English strings joined in order, every line break CR LF.
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
            if (click) PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
            if (click) PostMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
            else SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
            EXPECT_NE(ui::WaitFor([&] { return ui::FocusOf(dlg) == box ? box : nullptr; }), nullptr);
            EXPECT_EQ(ui::WaitFor([&] { return firstLine() != line ? box : nullptr; }, 500), nullptr) << click;
        }
        PressSync(page, IDC_AGREE_YES);

        // Chinese chosen on the language page: the text rebuilt, the answer kept.
        Select(MoveTo(dlg, IDC_WIZ_BACK, p.language), 1);
        EXPECT_TRUE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        ASSERT_EQ(MoveTo(dlg, IDC_WIZ_NEXT, p.agreement), page);
        const std::wstring chinese = ui::ControlTextW(page, IDC_AGREE_TEXT);
        EXPECT_EQ(chinese.rfind(L"\x8f6f\x4ef6\x8bb8\x53ef\x534f\x8bae\r\n\r\n", 0), 0u);  // the heading
        EXPECT_EQ(chinese.find(L"LICENCE"), std::wstring::npos);
        EXPECT_TRUE(ui::CheckState(page, IDC_AGREE_YES) == BST_CHECKED && ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        Picture(dlg, "agreement-chinese");

        // From the welcome page: Install off until Yes is clicked again.
        for (int i = 2; i >= 0; --i) MoveTo(dlg, IDC_WIZ_BACK, *road[i]);
        EXPECT_FALSE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        for (int i = 1; i < 4; ++i) MoveTo(dlg, IDC_WIZ_NEXT, *road[i]);
        EXPECT_EQ(ui::CheckState(page, IDC_AGREE_YES), BST_CHECKED);
        EXPECT_FALSE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        PressSync(page, IDC_AGREE_YES);
        EXPECT_TRUE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        ui::Click(dlg, IDC_WIZ_INSTALL);
    }, FALSE), IDC_WIZ_INSTALL);
    EXPECT_TRUE(p.agreement.accepted && g_setup.chineseSelected);
    EXPECT_EQ(std::string(g_setup.configPath), s.inst + "\\morlan.ini");  // the destination page committed
}

// The Windows 95 family has no wide-character windows: there the whole text
// is in an ANSI box.
TEST(AgreementPage, AnsiTextBoxOnTheWindows95Family) {
    Scratch s("[Language]\nNumber=1\nDescrip1=English\n");
    g_setup.platformId = Platform::windows95;
    Pages p;
    p.Run({&p.agreement}, [&](HWND dlg, HWND page) {
        EXPECT_FALSE(IsWindowUnicode(GetDlgItem(page, IDC_AGREE_TEXT)));
        const std::string text = ui::ControlText(page, IDC_AGREE_TEXT);
        EXPECT_EQ(text.rfind("SOFTWARE LICENCE AGREEMENT\r\n\r\nPlease read", 0), 0u);
        EXPECT_NE(text.find("10. GENERAL\r\n"), std::string::npos);
        CancelWizard(dlg);
    });
}

// The completion pages: only Finish shows, enabled either way. Finish stores
// the choice; the close box asks, No keeps the page, a confirmed exit stores nothing.
TEST(CompletePages, FinishModeStoresTheChoiceAndCancelNeverDoes) {
    Scratch s;
    const struct {
        bool restart;  // the restart page, else the run-the-program page
        bool before;   // the choice stored before, and after
        std::initializer_list<int> press;
        bool cancel;
        bool after;
        const char* picture;
    } rows[] = {
        {false, true, {IDC_DONE_RUN}, false, false, nullptr},  // the box starts as stored
        {false, false, {IDC_DONE_RUN}, true, false, "complete"},
        {true, true, {IDC_DONE_RESTART_NO, IDC_DONE_RESTART_YES}, false, true, nullptr},
        {true, true, {}, true, false, "restart"},  // Yes marked: a confirmed exit never restarts
    };
    for (const auto& row : rows) {
        bool& stored = row.restart ? g_setup.restartNow : g_setup.runAfterSetup;
        stored = row.before;
        CWizardDlg frame;
        frame.finishMode = TRUE;
        frame.installOnLastPage = row.restart;
        CCompletePage complete;
        CRestartPage restart;
        const INT_PTR r = RunFrame(frame, {row.restart ? static_cast<CWizardPage*>(&restart) : &complete}, [&](HWND dlg) {
            HWND p = Shown(*frame.pages.front());
            ASSERT_NE(p, nullptr);
            EXPECT_TRUE(ui::ControlVisible(dlg, IDC_WIZ_INSTALL) && ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
            for (int id : {int(IDC_WIZ_BACK), int(IDC_WIZ_NEXT), IDCANCEL}) EXPECT_FALSE(ui::ControlVisible(dlg, id)) << id;
            if (row.picture) Picture(dlg, row.picture);
            for (int id : row.press) PressSync(p, id);
            PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
            EXPECT_EQ(ui::Answer("Exit installation?", row.cancel ? IDYES : IDNO), "Exit installation?");
            if (!row.cancel) ui::Click(dlg, IDC_WIZ_INSTALL);
        });
        EXPECT_EQ(r, row.cancel ? INT_PTR(IDCANCEL) : INT_PTR(IDC_WIZ_INSTALL));
        EXPECT_EQ(stored, row.after) << "row " << (&row - rows);
    }
}

// The folder picker on the shell's browse dialog. Invalid paths: the message,
// the focus back in the path box, nothing made, a text over 259 characters
// refused whole. A folder chosen in the tree replaces the box's text. A new
// path answered No is not made; an existing folder is taken without a
// question. No level is made below a file.
TEST(FolderPicker, InvalidNewAndExistingFolders) {
    Scratch s;
    const std::string root = s.path.string(), tooLong = root + "\\" + std::string(300 - root.size(), 'x');
    const std::string target = s / "new1\\new2\\new3";
    CFolderPicker picker("Setup", "Please select...", s.media.c_str(), nullptr);
    EXPECT_EQ(Drive([&] { return picker.Run(); }, [&] {
        HWND dlg = ui::WaitForDialogWithControl(IDC_PICKER_PATH);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(ui::ControlText(dlg, IDC_PICKER_PATH), s.media);
        Picture(dlg, "folder-picker");
        for (const std::string& path : {std::string(), std::string("C:"), root + "\\abc\\", tooLong}) {
            ui::SetText(dlg, IDC_PICKER_PATH, path.c_str());
            ui::Click(dlg, IDOK);
            EXPECT_EQ(ui::Answer("is invalid", IDOK), "The folder:\n\n" + path + "\n\nis invalid. Please reenter.");
            EXPECT_TRUE(IsWindowVisible(dlg));
            EXPECT_NE(ui::WaitFor([&] { return ui::FocusOf(dlg) == GetDlgItem(dlg, IDC_PICKER_PATH) ? dlg : nullptr; }),
                      nullptr) << path;
        }
        // Wine's folder tree was seen, about once in five runs, to leave a
        // selection request untaken: the request is made again each second.
        DWORD asked = 0, since = GetTickCount();
        EXPECT_NE(ui::WaitFor([&] {
            if (SameNoCase(ui::ControlText(dlg, IDC_PICKER_PATH), s.inst)) return dlg;
            if (GetTickCount() - asked >= 1000) {
                SendMessageA(dlg, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(s.inst.c_str()));
                asked = GetTickCount();
            }
            return HWND(nullptr);
        }, 20000), nullptr) << ui::ControlText(dlg, IDC_PICKER_PATH);
        if (GetTickCount() - since > 1500) std::printf("the tree took the selection after %lu ms\n", GetTickCount() - since);
        ui::SetText(dlg, IDC_PICKER_PATH, target.c_str());
        ui::Click(dlg, IDOK);
        EXPECT_EQ(ui::Answer("does not exist", IDNO),
                  "The folder:\n\n" + target + "\n\ndoes not exist. Do you want the folder to be created?");
        EXPECT_TRUE(!Exists(s / "new1") && IsWindowVisible(dlg));
        ui::SetText(dlg, IDC_PICKER_PATH, s.media.c_str());
        ui::Click(dlg, IDOK);
    }), 1);
    EXPECT_EQ(picker.GetPath(), s.media);
    EXPECT_FALSE(Exists(root + "\\abc") || Exists(root + "\\" + std::string(259 - root.size() - 1, 'x')));
    EXPECT_EQ(CheckFolderPath((s.config + "\\sub").c_str(), FALSE), kFolderNotCreated);
}
