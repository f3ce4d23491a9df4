// The language and shortcut page in the real frame: the list from
// [Language], the choices stored on Next, and the [SubDir] folders.
#include "win/support/PageTestSupport.h"
#include "wizard/AgreementPage.h"
#include "wizard/LanguagePage.h"
#include "wizard/PageIds.h"

using namespace pagetest;

namespace {
std::vector<std::string> ListEntries(HWND page) {
    std::vector<std::string> out;
    HWND combo = GetDlgItem(page, IDC_LANG_COMBO);
    LRESULT n = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char buf[64] = {0};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
        out.push_back(buf);
    }
    return out;
}

void Select(HWND page, int index) { SendDlgItemMessageA(page, IDC_LANG_COMBO, CB_SETCURSEL, index, 0); }
}  // namespace

TEST(LanguagePage, NoLanguagesListedGivesEnglishAlone) {
    Scratch s("[Language]\nNumber=0\n[Software]\nVersion=Demo Writer 2.4\n");
    lstrcpynA(g_setup.installDir, s.root.c_str(), sizeof g_setup.installDir);
    g_setup.chineseSelected = TRUE;
    g_setup.languageIndex = 5;
    CWizardDlg frame;
    CLanguagePage language;
    CAgreementPage agreement;
    RunWizard(frame, {&language, &agreement}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_LANG_COMBO);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(ListEntries(page), std::vector<std::string>{"English"});
        EXPECT_EQ(SendDlgItemMessageA(page, IDC_LANG_COMBO, CB_GETCURSEL, 0, 0), 0);
        // Both shortcut boxes start ticked (the state's initial choice).
        EXPECT_EQ(ui::CheckState(page, IDC_LANG_DESKTOP), BST_CHECKED);
        EXPECT_EQ(ui::CheckState(page, IDC_LANG_STARTMENU), BST_CHECKED);
        Picture(dlg, "language");
        ClickSync(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(WaitPage(dlg, IDC_AGREE_YES), nullptr);
        CancelWizard(dlg);
    });
    EXPECT_EQ(g_setup.languageIndex, 0);
    EXPECT_FALSE(g_setup.chineseSelected);
    EXPECT_TRUE(g_setup.desktopShortcut);
    EXPECT_TRUE(g_setup.startMenuShortcut);
    EXPECT_TRUE(SameNoCase(CurrentDir(), s.root));
}

TEST(LanguagePage, ChineseOnlyForTheBareWordAndShortcutChoicesStored) {
    Scratch s("[Language]\nNumber=4\nDescrip1=English\nDescrip2=\"  chinese \"\nDescrip3=Chinese (Traditional)\n"
              "Descrip4=ABCDEFGHIJKLMNOPQRSTUVWXYZ\n");
    lstrcpynA(g_setup.installDir, s.root.c_str(), sizeof g_setup.installDir);
    CWizardDlg frame;
    CLanguagePage language;
    CAgreementPage agreement;
    int chineseAfterSecond = -1, indexAfterSecond = -1;
    RunWizard(frame, {&language, &agreement}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_LANG_COMBO);
        ASSERT_NE(page, nullptr);
        // Not sorted, and each text cut to 19 characters.
        EXPECT_EQ(ListEntries(page), (std::vector<std::string>{"English", "  chinese ", "Chinese (Traditiona",
                                                               "ABCDEFGHIJKLMNOPQRS"}));
        Select(page, 1);
        PressSync(page, IDC_LANG_DESKTOP);  // untick
        ClickSync(dlg, IDC_WIZ_NEXT);
        ASSERT_NE(WaitPage(dlg, IDC_AGREE_YES), nullptr);
        chineseAfterSecond = g_setup.chineseSelected;
        indexAfterSecond = g_setup.languageIndex;
        EXPECT_FALSE(g_setup.desktopShortcut);
        EXPECT_TRUE(g_setup.startMenuShortcut);

        ClickSync(dlg, IDC_WIZ_BACK);
        page = WaitPage(dlg, IDC_LANG_COMBO);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(ui::CheckState(page, IDC_LANG_DESKTOP), BST_UNCHECKED);  // kept across Back
        Select(page, 2);
        PressSync(page, IDC_LANG_DESKTOP);
        PressSync(page, IDC_LANG_STARTMENU);
        ClickSync(dlg, IDC_WIZ_NEXT);
        ASSERT_NE(WaitPage(dlg, IDC_AGREE_YES), nullptr);
        CancelWizard(dlg);
    });
    EXPECT_TRUE(chineseAfterSecond);
    EXPECT_EQ(indexAfterSecond, 1);
    EXPECT_FALSE(g_setup.chineseSelected);
    EXPECT_EQ(g_setup.languageIndex, 2);
    EXPECT_TRUE(g_setup.desktopShortcut);
    EXPECT_FALSE(g_setup.startMenuShortcut);
}

// Language entries saved as UTF-8 with a byte-order mark are listed as the
// system's profile reader delivers them (on a Chinese PC, code page 936, in
// Chinese); only the bare word selects the Chinese agreement.
TEST(LanguagePage, ByteOrderMarkedEntriesListedAsTheSystemReadsThem) {
    ExpectCodePageAsked();
    Scratch s("\xef\xbb\xbf[Language]\r\nNumber=3\r\nDescrip1=English\r\nDescrip2=简体中文\r\nDescrip3=Chinese\r\n");
    lstrcpynA(g_setup.installDir, s.root.c_str(), sizeof g_setup.installDir);
    std::vector<std::string> expected;
    for (const char* key : {"Descrip1", "Descrip2", "Descrip3"}) {
        char buf[20] = {0};
        GetPrivateProfileStringA("Language", key, "", buf, sizeof buf, s.config.c_str());
        expected.push_back(buf);
    }
    if (GetACP() == 936) {
        EXPECT_EQ(expected[1], "\xbc\xf2\xcc\xe5\xd6\xd0\xce\xc4");
    }
    CWizardDlg frame;
    CLanguagePage language;
    CAgreementPage agreement;
    int chineseForSecond = -1;
    RunWizard(frame, {&language, &agreement}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_LANG_COMBO);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(ListEntries(page), expected);
        Select(page, 1);
        Picture(dlg, "language-cp936");
        ClickSync(dlg, IDC_WIZ_NEXT);
        ASSERT_NE(WaitPage(dlg, IDC_AGREE_YES), nullptr);
        chineseForSecond = g_setup.chineseSelected;
        ClickSync(dlg, IDC_WIZ_BACK);
        page = WaitPage(dlg, IDC_LANG_COMBO);
        ASSERT_NE(page, nullptr);
        Select(page, 2);
        ClickSync(dlg, IDC_WIZ_NEXT);
        ASSERT_NE(WaitPage(dlg, IDC_AGREE_YES), nullptr);
        PressSync(dlg, IDC_AGREE_YES);
        Picture(dlg, "agreement-cp936");
        CancelWizard(dlg);
    });
    EXPECT_FALSE(chineseForSecond);
    EXPECT_TRUE(g_setup.chineseSelected);
}

TEST(LanguagePage, NegativeNumberGivesAnEmptyListAndNextStillWorks) {
    Scratch s("[Language]\nNumber=-3\n");
    lstrcpynA(g_setup.installDir, s.root.c_str(), sizeof g_setup.installDir);
    g_setup.chineseSelected = TRUE;
    CWizardDlg frame;
    CLanguagePage language;
    CAgreementPage agreement;
    RunWizard(frame, {&language, &agreement}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_LANG_COMBO);
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(ListEntries(page).empty());
        ClickSync(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(WaitPage(dlg, IDC_AGREE_YES), nullptr);
        CancelWizard(dlg);
    });
    EXPECT_EQ(g_setup.languageIndex, 0);
    EXPECT_FALSE(g_setup.chineseSelected);
}

TEST(LanguagePage, SubfoldersCreatedInOrderInsideTheInstallationFolder) {
    Scratch s("[SubDir]\nNumber=4\nDir1=data\nDir2=bin\nDir3=bin\\drivers\nDir4=doc\n");
    const std::string inst = s.Path("inst");
    CreateDirectoryA(inst.c_str(), nullptr);
    CreateDirectoryA((inst + "\\data").c_str(), nullptr);
    WriteText(inst + "\\data\\keep.txt", "kept");
    lstrcpynA(g_setup.installDir, inst.c_str(), sizeof g_setup.installDir);
    CWizardDlg frame;
    CLanguagePage language;
    CAgreementPage agreement;
    RunWizard(frame, {&language, &agreement}, [&](HWND dlg) {
        ASSERT_NE(WaitPage(dlg, IDC_LANG_COMBO), nullptr);
        ClickSync(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(WaitPage(dlg, IDC_AGREE_YES), nullptr);
        // Again after Back: everything is found in place, no message.
        ClickSync(dlg, IDC_WIZ_BACK);
        ASSERT_NE(WaitPage(dlg, IDC_LANG_COMBO), nullptr);
        ClickSync(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(WaitPage(dlg, IDC_AGREE_YES), nullptr);
        CancelWizard(dlg);
    });
    for (const char* d : {"data", "bin", "bin\\drivers", "doc"}) EXPECT_TRUE(IsDir(inst + "\\" + d)) << d;
    EXPECT_EQ(ReadText(inst + "\\data\\keep.txt"), "kept");
    EXPECT_TRUE(SameNoCase(CurrentDir(), inst));
}

TEST(LanguagePage, SubfolderErrorsKeepThePage) {
    struct Case {
        const char* ini;
        const char* mustNotExist;
        const char* refusedName;  // named in the message
    } cases[] = {
        {"[SubDir]\nNumber=3\nDir1=one\nDir2=two\\three\nDir3=four\n", "four", nullptr},  // missing parent level
        {"[SubDir]\nNumber=2\nDir1=one\n", nullptr, nullptr},                             // Dir2 absent: empty name
        {"[SubDir]\nNumber=1\nDir1=..\\outside\n", "..\\outside", "..\\outside"},         // would leave the folder
        {"[SubDir]\nNumber=2\nDir1=one\nDir2=one\\Aux.d\n", nullptr, "one\\Aux.d"},        // a device
    };
    for (const Case& c : cases) {
        Scratch s(c.ini);
        const std::string inst = s.Path("inst");
        CreateDirectoryA(inst.c_str(), nullptr);
        lstrcpynA(g_setup.installDir, inst.c_str(), sizeof g_setup.installDir);
        CWizardDlg frame;
        CLanguagePage language;
        CAgreementPage agreement;
        RunWizard(frame, {&language, &agreement}, [&](HWND dlg) {
            HWND page = WaitPage(dlg, IDC_LANG_COMBO);
            ASSERT_NE(page, nullptr);
            PressSync(page, IDC_LANG_STARTMENU);
            ui::Click(dlg, IDC_WIZ_NEXT);
            const std::string expected = c.refusedName ? std::string("Create subdirectory error.\n\nInvalid name \"") +
                                                             c.refusedName + "\" in [SubDir] of morlan.ini."
                                                       : "Create subdirectory error.";
            EXPECT_EQ(ui::Answer("Create subdirectory error.", IDOK), expected) << c.ini;
            EXPECT_NE(WaitPage(dlg, IDC_LANG_COMBO), nullptr);
            EXPECT_FALSE(agreement.created);
            CancelWizard(dlg);
        });
        EXPECT_TRUE(IsDir(inst + "\\one") || c.mustNotExist) << c.ini;
        if (c.mustNotExist) {
            EXPECT_FALSE(Exists(inst + "\\" + c.mustNotExist)) << c.ini;
        }
        EXPECT_FALSE(g_setup.startMenuShortcut);  // the choices were stored before the failure
    }
}
