// The welcome and destination pages in the real frame: the sentence and the
// folder from the configuration file, Next entering or creating the folder,
// and Install copying the configuration file into it.
#include "win/support/PageTestSupport.h"
#include "wizard/DestinationPage.h"
#include "wizard/LanguagePage.h"
#include "wizard/PageIds.h"
#include "wizard/WelcomePage.h"

using namespace pagetest;

namespace {
// Shows the destination page (first in a two-page wizard) and returns the
// sentence and the folder text, then cancels.
std::pair<std::string, std::string> ShownTexts(const std::string& ini, const char* picture = nullptr) {
    Scratch s(ini);
    CWizardDlg frame;
    CDestinationPage dest;
    CLanguagePage language;
    std::pair<std::string, std::string> texts;
    RunWizard(frame, {&dest, &language}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_DEST_SENTENCE);
        ASSERT_NE(page, nullptr);
        texts = {ui::ControlText(page, IDC_DEST_SENTENCE), ui::ControlText(page, IDC_DEST_FOLDER)};
        if (picture) Picture(dlg, picture);
        CancelWizard(dlg);
    });
    return texts;
}
}  // namespace

TEST(WelcomePage, ShowsItsTextsWithNavigationOfTheFirstPage) {
    Scratch s("[Software]\nVersion=Demo Writer 2.4\n");
    CWizardDlg frame;
    frame.installOnLastPage = FALSE;
    CWelcomePage welcome;
    CDestinationPage dest;
    INT_PTR r = RunWizard(frame, {&welcome, &dest}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_PAGE_TITLE);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(ui::ControlText(page, IDC_PAGE_TITLE), "Welcome to the Setup Wizard");
        EXPECT_EQ(GetDlgItem(page, IDC_DEST_SENTENCE), nullptr);
        // The heading is drawn in the page's bold title font.
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(page, IDC_PAGE_TITLE), WM_GETFONT, 0, 0));
        LOGFONTA lf = {};
        GetObjectA(font, sizeof lf, &lf);
        EXPECT_EQ(lf.lfWeight, FW_BOLD);
        EXPECT_FALSE(ui::ControlEnabled(dlg, IDC_WIZ_BACK));
        EXPECT_TRUE(ui::ControlEnabled(dlg, IDC_WIZ_NEXT));
        EXPECT_FALSE(ui::ControlEnabled(dlg, IDC_WIZ_INSTALL));
        Picture(dlg, "welcome");
        ClickSync(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        CancelWizard(dlg);
    });
    EXPECT_EQ(r, IDCANCEL);
}

TEST(DestinationPage, SentenceNamesTheProductCutTo29Characters) {
    auto named = ShownTexts("[Software]\nName=Demo Writer\nVersion=Demo Writer 2.4\n[Dir]\nDest=C:\\DemoWriter\n",
                            "destination");
    EXPECT_EQ(named.first, "Setup will install Demo Writer in the following folder.");
    EXPECT_EQ(named.second, "C:\\DemoWriter");

    auto unnamed = ShownTexts("[Software]\nVersion=1.0\n");
    EXPECT_EQ(unnamed.first, "Setup will install the program in the following folder.");
    EXPECT_EQ(unnamed.second, "");  // the template's placeholder never stays

    auto longName = ShownTexts("[Software]\nName=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\n");  // 30 characters
    EXPECT_EQ(longName.first, "Setup will install ABCDEFGHIJKLMNOPQRSTUVWXYZ012 in the following folder.");
}

// A configuration saved as UTF-8 or UTF-16 with a byte-order mark: the page
// shows what the system's profile reader delivers for the same file; on a
// Chinese PC (code page 936) that is the Chinese text itself.
TEST(DestinationPage, ByteOrderMarkedTextShownAsTheSystemReadsIt) {
    ExpectCodePageAsked();
    const std::string utf8 = "[Software]\r\nName=编程器软件\r\n[Dir]\r\nDest=C:\\编程器\\软件\r\n";
    std::string utf16 = "\xff\xfe";
    for (wchar_t w : std::wstring(L"[Software]\r\nName=编程器软件\r\n[Dir]\r\nDest=C:\\编程器\\软件\r\n"))
        utf16.append(reinterpret_cast<const char*>(&w), 2);
    for (const std::string& ini : {"\xef\xbb\xbf" + utf8, utf16}) {
        std::string name(30, '\0'), dest(180, '\0');
        {
            Scratch reference(ini);
            GetPrivateProfileStringA("Software", "Name", "", name.data(), 30, reference.config.c_str());
            GetPrivateProfileStringA("Dir", "Dest", "", dest.data(), 180, reference.config.c_str());
        }
        name.resize(std::strlen(name.c_str()));
        dest.resize(std::strlen(dest.c_str()));
        if (GetACP() == 936) {
            EXPECT_EQ(name, "\xb1\xe0\xb3\xcc\xc6\xf7\xc8\xed\xbc\xfe");
        }
        auto shown = ShownTexts(ini);
        EXPECT_EQ(shown.first, "Setup will install " + name + " in the following folder.");
        EXPECT_EQ(shown.second, dest);
    }
}

TEST(DestinationPage, NextEntersAnExistingFolder) {
    Scratch s("");
    const std::string target = s.Path("existing");
    CreateDirectoryA(target.c_str(), nullptr);
    WriteText(s.config, "[Dir]\nDest=" + target + "\n");
    CWizardDlg frame;
    CDestinationPage dest;
    CLanguagePage language;
    RunWizard(frame, {&dest, &language}, [&](HWND dlg) {
        ASSERT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        ClickSync(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(WaitPage(dlg, IDC_LANG_COMBO), nullptr);
        EXPECT_TRUE(SameNoCase(CurrentDir(), target)) << CurrentDir();
        CancelWizard(dlg);
    });
    EXPECT_EQ(std::string(g_setup.installDir), target);
}

TEST(DestinationPage, NextCreatesOneMissingLevelOnly) {
    Scratch s("");
    const std::string oneLevel = s.Path("fresh");
    WriteText(s.config, "[Dir]\nDest=" + oneLevel + "\n");
    CWizardDlg frame;
    CDestinationPage dest;
    CLanguagePage language;
    RunWizard(frame, {&dest, &language}, [&](HWND dlg) {
        ASSERT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        ClickSync(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(WaitPage(dlg, IDC_LANG_COMBO), nullptr);
        CancelWizard(dlg);
    });
    EXPECT_TRUE(IsDir(oneLevel));
    EXPECT_TRUE(SameNoCase(CurrentDir(), s.media));  // created, not entered

    // A missing parent: "Error Directory", the page stays, nothing is made.
    Scratch t("");
    const std::string twoLevels = t.Path("no\\such");
    WriteText(t.config, "[Dir]\nDest=" + twoLevels + "\n");
    CWizardDlg frame2;
    CDestinationPage dest2;
    CLanguagePage language2;
    RunWizard(frame2, {&dest2, &language2}, [&](HWND dlg) {
        ASSERT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        ui::Click(dlg, IDC_WIZ_NEXT);
        EXPECT_EQ(ui::Answer("Error Directory", IDOK), "Error Directory");
        EXPECT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        EXPECT_FALSE(language2.created);
        CancelWizard(dlg);
    });
    EXPECT_FALSE(Exists(t.Path("no")));
    EXPECT_EQ(std::string(g_setup.installDir), twoLevels);
}

TEST(DestinationPage, InstallCopiesConfigurationAndClearsReadOnly) {
    Scratch s("");
    const std::string target = s.Path("inst");
    CreateDirectoryA(target.c_str(), nullptr);
    const std::string ini = "[Dir]\nDest=" + target + "\n[Software]\nName=Demo\n";
    WriteText(s.config, ini);
    SetFileAttributesA(s.config.c_str(), FILE_ATTRIBUTE_READONLY);  // as on a CD
    const std::string copy = target + "\\morlan.ini";
    WriteText(copy, "[Dir]\nDest=C:\\Earlier\n");  // an earlier installation's, since made system
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    CWizardDlg frame;  // one page: Install is enabled at once
    CDestinationPage dest;
    INT_PTR r = RunWizard(frame, {&dest}, [&](HWND dlg) {
        ASSERT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        ui::Click(dlg, IDC_WIZ_INSTALL);
    });
    EXPECT_EQ(r, IDC_WIZ_INSTALL);
    EXPECT_EQ(ReadText(copy), ini);
    EXPECT_EQ(std::string(g_setup.configPath), copy);
    EXPECT_EQ(GetFileAttributesA(copy.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM), 0u);
}

TEST(DestinationPage, FailedCopyKeepsTheWizardOpen) {
    Scratch s("");
    WriteText(s.config, "[Dir]\nDest=" + s.Path("missing") + "\n");  // no such folder: the copy fails
    CWizardDlg frame;
    CDestinationPage dest;
    INT_PTR r = RunWizard(frame, {&dest}, [&](HWND dlg) {
        ASSERT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        ui::Click(dlg, IDC_WIZ_INSTALL);
        EXPECT_EQ(ui::Answer("Error Copy File", IDOK), "Error Copy File");
        EXPECT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        CancelWizard(dlg);
    });
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_EQ(std::string(g_setup.configPath), s.config);
}

TEST(DestinationPage, NoCopyWhenSetupRunsFromTheInstallationFolder) {
    Scratch s("");
    // The configuration file already lies in the destination (other case).
    std::string upper = s.media;
    CharUpperA(upper.data());
    const std::string ini = "[Dir]\nDest=" + s.media + "\n";
    WriteText(s.config, ini);
    SetFileAttributesA(s.config.c_str(), FILE_ATTRIBUTE_READONLY);
    lstrcpynA(g_setup.configPath, (upper + "\\MORLAN.INI").c_str(), sizeof g_setup.configPath);
    CWizardDlg frame;
    CDestinationPage dest;
    INT_PTR r = RunWizard(frame, {&dest}, [&](HWND dlg) {
        ASSERT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        ui::Click(dlg, IDC_WIZ_INSTALL);
    });
    EXPECT_EQ(r, IDC_WIZ_INSTALL);  // copying a file onto itself would have failed
    EXPECT_EQ(std::string(g_setup.configPath), upper + "\\MORLAN.INI");
    EXPECT_EQ(ReadText(s.config), ini);
    EXPECT_EQ(GetFileAttributesA(s.config.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST(DestinationPage, BrowseChoiceIsShownAndTakenOnNext) {
    Scratch s("");
    WriteText(s.config, "[Dir]\nDest=" + s.Path("first") + "\n");
    const std::string chosen = s.Path("picked\\deeper");
    CWizardDlg frame;
    CDestinationPage dest;
    CLanguagePage language;
    RunWizard(frame, {&dest, &language}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_DEST_SENTENCE);
        ASSERT_NE(page, nullptr);
        // Browse cancelled: nothing changes.
        ui::Click(page, IDC_DEST_BROWSE);
        HWND picker = ui::WaitForDialogWithControl(IDC_PICKER_PATH);
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(ui::WindowText(picker), "Setup");
        EXPECT_EQ(ui::ControlText(picker, IDC_PICKER_PATH), s.Path("first"));
        ui::Click(picker, IDCANCEL);
        ui::WaitGone(picker);
        EXPECT_EQ(ui::ControlText(page, IDC_DEST_FOLDER), s.Path("first"));
        // Browse to a new two-level folder, created by the picker.
        ui::Click(page, IDC_DEST_BROWSE);
        picker = ui::WaitForDialogWithControl(IDC_PICKER_PATH);
        ASSERT_NE(picker, nullptr);
        ui::SetText(picker, IDC_PICKER_PATH, chosen.c_str());
        ui::Click(picker, IDOK);
        EXPECT_NE(ui::Answer("does not exist", IDYES), "");
        ui::WaitGone(picker);
        ui::WaitFor([&]() -> HWND { return ui::ControlText(page, IDC_DEST_FOLDER) == chosen ? page : nullptr; });
        EXPECT_EQ(ui::ControlText(page, IDC_DEST_FOLDER), chosen);
        EXPECT_NE(std::string(g_setup.installDir), chosen);  // only Next takes it
        ClickSync(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(WaitPage(dlg, IDC_LANG_COMBO), nullptr);
        CancelWizard(dlg);
    });
    EXPECT_EQ(std::string(g_setup.installDir), chosen);
    EXPECT_TRUE(IsDir(chosen));
}

// A folder longer than the setup can hold with the configuration file's
// name is refused on Next before anything is created, its cut name too;
// the longest one that fits is taken.
TEST(DestinationPage, NextRefusesAFolderTooLongForTheSetup) {
    Scratch s("");
    const std::string fits = s.Path("") + std::string(188 - s.Path("").size(), 'f');
    const std::string tooLong = fits + "g";
    CWizardDlg frame;
    CDestinationPage dest;
    CLanguagePage language;
    RunWizard(frame, {&dest, &language}, [&](HWND dlg) {
        HWND page = WaitPage(dlg, IDC_DEST_SENTENCE);
        ASSERT_NE(page, nullptr);
        ui::SetText(page, IDC_DEST_FOLDER, tooLong.c_str());  // as the folder picker leaves it
        ui::Click(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(ui::Answer("is too long", IDOK).find(tooLong), std::string::npos);
        EXPECT_NE(WaitPage(dlg, IDC_DEST_SENTENCE), nullptr);
        EXPECT_FALSE(language.created);
        EXPECT_FALSE(Exists(fits));
        EXPECT_FALSE(Exists(tooLong));
        ui::SetText(page, IDC_DEST_FOLDER, fits.c_str());
        ClickSync(dlg, IDC_WIZ_NEXT);
        EXPECT_NE(WaitPage(dlg, IDC_LANG_COMBO), nullptr);
        CancelWizard(dlg);
    });
    EXPECT_TRUE(IsDir(fits));
    EXPECT_EQ(std::string(g_setup.installDir), fits);
}
