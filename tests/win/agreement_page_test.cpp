// The agreement page in the first wizard run: Yes/No and Install, the text
// in the chosen language, and Install after a return to the welcome page.
#include "win/support/PageTestSupport.h"
#include "wizard/AgreementPage.h"
#include "wizard/DestinationPage.h"
#include "wizard/LanguagePage.h"
#include "wizard/PageIds.h"
#include "wizard/WelcomePage.h"

using namespace pagetest;

namespace {
void ExpectAnswer(HWND dlg, HWND page, bool yes) {
    EXPECT_EQ(ui::CheckState(page, IDC_AGREE_YES), yes ? BST_CHECKED : BST_UNCHECKED);
    EXPECT_EQ(ui::CheckState(page, IDC_AGREE_NO), yes ? BST_UNCHECKED : BST_CHECKED);
    EXPECT_EQ(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL), yes);
}

HWND NextTo(HWND dlg, int id) {
    ClickSync(dlg, IDC_WIZ_NEXT);
    return WaitPage(dlg, id);
}
HWND BackTo(HWND dlg, int id) {
    ClickSync(dlg, IDC_WIZ_BACK);
    return WaitPage(dlg, id);
}
}  // namespace

TEST(AgreementPage, AnswerLanguageAndInstallThroughTheWholeFirstRun) {
    Scratch s("");
    const std::string inst = s.Path("inst");
    CreateDirectoryA(inst.c_str(), nullptr);
    WriteText(s.config, "[Dir]\nDest=" + inst + "\n[Language]\nNumber=2\nDescrip1=English\nDescrip2=Chinese\n[Software]\nVersion=Demo Writer 2.4\n");
    CWizardDlg frame;
    frame.installOnLastPage = FALSE;
    CWelcomePage welcome;
    CDestinationPage dest;
    CLanguagePage language;
    CAgreementPage agreement;
    INT_PTR r = RunWizard(frame, {&welcome, &dest, &language, &agreement}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_PAGE_TITLE);
        for (int id : {IDC_DEST_SENTENCE, IDC_LANG_COMBO, IDC_AGREE_YES}) page = NextTo(dlg, id);
        ASSERT_NE(page, nullptr);

        // First display: No, Install and Next off; the English text with
        // every line break as CR LF and the strings joined in order.
        ExpectAnswer(dlg, page, false);
        EXPECT_FALSE(ui::ControlEnabled(dlg, IDC_WIZ_NEXT));
        const std::wstring english = ui::ControlTextW(page, IDC_AGREE_TEXT);
        EXPECT_EQ(english.rfind(L"SOFTWARE LICENCE AGREEMENT\r\n\r\nPlease read", 0), 0u);
        EXPECT_LT(english.find(L"1. DEFINITIONS\r\n"), english.find(L"10. GENERAL\r\n"));
        for (size_t i = 0; i < english.size(); ++i)
            ASSERT_TRUE(english[i] != L'\n' || (i > 0 && english[i - 1] == L'\r')) << "bare LF at " << i;
        // The reader starts at the top of the agreement.
        EXPECT_NE(ui::WaitFor([&]() -> HWND {
            return SendDlgItemMessageW(page, IDC_AGREE_TEXT, EM_GETFIRSTVISIBLELINE, 0, 0) == 0 ? page : nullptr;
        }), nullptr);
        Picture(dlg, "agreement");

        // The focus starts in the text. Coming back into it after scrolling,
        // by a click or through the dialog manager (Tab), keeps the place.
        HWND box = GetDlgItem(page, IDC_AGREE_TEXT);
        EXPECT_EQ(ui::FocusOf(dlg), box);
        for (bool click : {true, false}) {
            SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dlg, IDCANCEL)), TRUE);
            SendMessageW(box, EM_LINESCROLL, 0, 8);
            const LRESULT line = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
            ASSERT_GT(line, 0);
            if (click) {
                PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
                PostMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
            } else {
                SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
            }
            EXPECT_NE(ui::WaitFor([&] { return ui::FocusOf(dlg) == box ? box : nullptr; }), nullptr);
            EXPECT_EQ(ui::WaitFor([&]() -> HWND {
                          return SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0) != line ? box : nullptr;
                      }, 500), nullptr) << "click " << click;
        }

        for (auto [id, yes] : {std::pair{IDC_AGREE_YES, true}, {IDC_AGREE_YES, true}, {IDC_AGREE_NO, false},
                               {IDC_AGREE_YES, true}}) {
            ClickSync(page, id);
            ExpectAnswer(dlg, page, yes);
        }

        // Back to the language page: Install stays enabled. Choose Chinese
        // and come back: the text is rebuilt, the answer kept.
        HWND langPage = BackTo(dlg, IDC_LANG_COMBO);
        ASSERT_NE(langPage, nullptr);
        EXPECT_TRUE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        SendDlgItemMessageA(langPage, IDC_LANG_COMBO, CB_SETCURSEL, 1, 0);
        page = NextTo(dlg, IDC_AGREE_YES);
        ASSERT_NE(page, nullptr);
        const std::wstring chinese = ui::ControlTextW(page, IDC_AGREE_TEXT);
        EXPECT_EQ(chinese.rfind(L"\x8f6f\x4ef6\x8bb8\x53ef\x534f\x8bae\r\n\r\n", 0), 0u);  // the heading
        EXPECT_EQ(chinese.find(L"LICENCE"), std::wstring::npos);
        ExpectAnswer(dlg, page, true);
        Picture(dlg, "agreement-chinese");

        // Back to the welcome page: Install off, and still off on return
        // although Yes is still marked, until Yes is clicked again.
        for (int id : {IDC_LANG_COMBO, IDC_DEST_SENTENCE, IDC_PAGE_TITLE}) BackTo(dlg, id);
        EXPECT_FALSE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        for (int id : {IDC_DEST_SENTENCE, IDC_LANG_COMBO, IDC_AGREE_YES}) page = NextTo(dlg, id);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(ui::CheckState(page, IDC_AGREE_YES), BST_CHECKED);
        EXPECT_FALSE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        ClickSync(page, IDC_AGREE_YES);
        EXPECT_TRUE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        ui::Click(dlg, IDC_WIZ_INSTALL);
    });
    EXPECT_EQ(r, IDC_WIZ_INSTALL);
    EXPECT_EQ(agreement.accepted, 1);
    EXPECT_TRUE(g_setup.chineseSelected);
    EXPECT_EQ(std::string(g_setup.configPath), inst + "\\morlan.ini");  // the destination page committed
}
