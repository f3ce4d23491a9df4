// The welcome, destination, language and completion pages.
#include <cstring>
#include <string>
#include <vector>

#include "config/Paths.h"
#include "config/SetupState.h"
#include "config/Sizes.h"
#include "fw/App.h"
#include "fw/File.h"
#include "wizard/CompletePages.h"
#include "wizard/DestinationPage.h"
#include "wizard/FolderPicker.h"
#include "wizard/LanguagePage.h"
#include "wizard/PageIds.h"
#include "wizard/PageRules.h"
#include "wizard/WelcomePage.h"

namespace {
void SetTitleFont(HWND label, const UniqueFont& font) {
    if (label) SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
}
}  // namespace

// ---------------------------------------------------------------- welcome

CWelcomePage::CWelcomePage(HWND parent) : CWizardPage(IDD_PAGE_WELCOME, parent) {}

BOOL CWelcomePage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    titleLabel = GetDlgItem(IDC_PAGE_TITLE);
    SetTitleFont(titleLabel, titleFont);
    return TRUE;
}

// ---------------------------------------------------------------- destination

CDestinationPage::CDestinationPage(HWND parent) : CWizardPage(IDD_PAGE_DESTINATION, parent) {}

BOOL CDestinationPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    titleLabel = GetDlgItem(IDC_PAGE_TITLE);
    folderLabel = GetDlgItem(IDC_DEST_FOLDER);
    SetTitleFont(titleLabel, titleFont);

    char name[sizes::kSoftwareName] = {0};
    ReadConfigString("Software", "Name", name, sizeof name);
    SetDlgItemText(IDC_DEST_SENTENCE, DestinationSentence(name).c_str());

    // [Dir] Dest is read with a 180-byte buffer straight into installDir.
    static_assert(sizeof g_setup.installDir >= 180);
    ReadConfigString("Dir", "Dest", g_setup.installDir, sizes::kFolder);
    SetDlgItemText(IDC_DEST_FOLDER, g_setup.installDir);
    return TRUE;
}

BOOL CDestinationPage::OnCommand(UINT id, UINT code, HWND control) {
    if (id == IDC_DEST_BROWSE && code == BN_CLICKED) {
        OnBrowse();
        return TRUE;
    }
    return CWizardPage::OnCommand(id, code, control);
}

void CDestinationPage::OnBrowse() {
    const std::string initial = GetDlgItemText(IDC_DEST_FOLDER);
    CFolderPicker picker("Setup", "Please select...", initial.c_str(), nullptr);
    if (picker.Run() == 1) SetDlgItemText(IDC_DEST_FOLDER, picker.GetPath().c_str());
    // The keyboard focus was the frame's to give away while the picker was
    // open: it comes back to Browse.
    HWND browse = GetDlgItem(IDC_DEST_BROWSE);
    if (HWND frame = GetParent(m_hWnd); frame && browse)
        SendMessageA(frame, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(browse), TRUE);
}

static_assert(CDestinationPage::kMaxFolderLength + sizeof "\\morlan.ini" == sizeof g_setup.configPath);

bool CDestinationPage::TakeFolder() {
    // The whole text: a longer folder than the setup can hold is refused,
    // never cut to another folder's name.
    const std::string folder = GetDlgItemText(IDC_DEST_FOLDER);
    if (folder.size() > kMaxFolderLength) {
        const std::string text = FolderTooLongText(folder.c_str(), kMaxFolderLength);
        AppMessageBox(text.c_str(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    std::memcpy(g_setup.installDir, folder.c_str(), folder.size() + 1);
    if (SetCurrentDirectoryA(g_setup.installDir) || CreateDirectoryA(g_setup.installDir, nullptr)) return true;
    AppMessageBox("Error Directory", MB_OK | MB_ICONEXCLAMATION);
    return false;
}

namespace {
const char kCopyFailed[] = "Error Copy File";
}  // namespace

BOOL CDestinationPage::CommitPage() {
    // The copy's name must fit configPath whole: a cut name would make every
    // later step read some other file. A folder too long for it is refused
    // like a failed copy.
    char target[sizeof g_setup.configPath];
    if (!JoinPath(target, sizeof target, {g_setup.installDir, "\\morlan.ini"})) {
        AppMessageBox(kCopyFailed, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (!SamePathNoCase(g_setup.configPath, target)) {
        const uint32_t oldAttributes = CFile::ClearForReplace(target);
        if (!CopyFileA(g_setup.configPath, target, FALSE)) {
            if (oldAttributes) CFile::SetAttributes(target, oldAttributes);
            AppMessageBox(kCopyFailed, MB_OK | MB_ICONEXCLAMATION);
            return FALSE;
        }
        std::memcpy(g_setup.configPath, target, sizeof target);
    }
    // A medium's file is often read-only, and CopyFile keeps the attribute.
    DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(target, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return TRUE;
}

// ---------------------------------------------------------------- language

CLanguagePage::CLanguagePage(HWND parent) : CWizardPage(IDD_PAGE_LANGUAGE, parent) {}

BOOL CLanguagePage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    languageCombo = GetDlgItem(IDC_LANG_COMBO);
    titleLabel = GetDlgItem(IDC_LANG_TITLE);
    shortcutLabel = GetDlgItem(IDC_LANG_SHORTCUT_TITLE);
    SetTitleFont(titleLabel, titleFont);
    SetTitleFont(shortcutLabel, titleFont);

    SendDlgItemMessage(IDC_LANG_DESKTOP, BM_SETCHECK, g_setup.desktopShortcut ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessage(IDC_LANG_STARTMENU, BM_SETCHECK, g_setup.startMenuShortcut ? BST_CHECKED : BST_UNCHECKED);

    const int number = ReadConfigInt("Language", "Number");
    if (number == 0) {
        SendMessageA(languageCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("English"));
    } else {
        const int count = NumberedEntryCount(number);
        for (int i = 1; i <= count; ++i) {
            char key[16];
            char text[sizes::kName] = {0};
            FormatIndexedName(key, sizeof key, "Descrip", i);
            ReadConfigString("Language", key, text, sizeof text);
            SendMessageA(languageCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
    }
    SendMessageA(languageCombo, CB_SETCURSEL, 0, 0);
    return TRUE;
}

void CLanguagePage::StoreChoices() {
    LRESULT selected = SendMessageA(languageCombo, CB_GETCURSEL, 0, 0);
    g_setup.languageIndex = selected == CB_ERR ? 0 : static_cast<int32_t>(selected);

    // An empty list (a negative [Language] Number) has no entry to read: its
    // text counts as empty.
    std::string entry;
    LRESULT len = SendMessageA(languageCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(g_setup.languageIndex), 0);
    if (len != CB_ERR && len >= 0) {
        std::vector<char> buf(static_cast<size_t>(len) + 1, 0);
        if (SendMessageA(languageCombo, CB_GETLBTEXT, static_cast<WPARAM>(g_setup.languageIndex),
                         reinterpret_cast<LPARAM>(buf.data())) != CB_ERR)
            entry = buf.data();
    }
    g_setup.chineseSelected = IsChineseEntry(entry.c_str());
    g_setup.desktopShortcut = SendDlgItemMessage(IDC_LANG_DESKTOP, BM_GETCHECK) == BST_CHECKED;
    g_setup.startMenuShortcut = SendDlgItemMessage(IDC_LANG_STARTMENU, BM_GETCHECK) == BST_CHECKED;
}

bool CLanguagePage::CreateSubfolders() {
    const int count = NumberedEntryCount(ReadConfigInt("SubDir", "Number"));
    SetCurrentDirectoryA(g_setup.installDir);
    for (int i = 1; i <= count; ++i) {
        char key[12];
        char name[sizes::kName] = {0};
        FormatIndexedName(key, sizeof key, "Dir", i);
        ReadConfigString("SubDir", key, name, sizeof name);
        // A subfolder stays inside the installation folder and is a real
        // folder: a name that leaves it or names a device is refused like
        // one that cannot be created, and the message names it (an empty
        // name simply cannot be created).
        const bool refused = name[0] && !IsSafeRelativeName(name);
        if (!refused && name[0]) {
            if (SetCurrentDirectoryA(name)) {
                SetCurrentDirectoryA(g_setup.installDir);
                continue;
            }
            if (CreateDirectoryA(name, nullptr)) continue;
        }
        const std::string text = std::string("Create subdirectory error.") +
                                 (refused ? "\n\n" + InvalidNameText(name, "SubDir") : std::string());
        AppMessageBox(text.c_str(), MB_OK);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- completion

CCompletePage::CCompletePage(HWND parent) : CWizardPage(IDD_PAGE_COMPLETE, parent) {}

BOOL CCompletePage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    titleLabel = GetDlgItem(IDC_DONE_TITLE);
    SetTitleFont(titleLabel, titleFont);
    SendDlgItemMessage(IDC_DONE_RUN, BM_SETCHECK, g_setup.runAfterSetup ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

BOOL CCompletePage::CommitPage() {
    g_setup.runAfterSetup = SendDlgItemMessage(IDC_DONE_RUN, BM_GETCHECK) == BST_CHECKED;
    return TRUE;
}

CRestartPage::CRestartPage(HWND parent) : CWizardPage(IDD_PAGE_RESTART, parent) {}

BOOL CRestartPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    titleLabel = GetDlgItem(IDC_DONE_TITLE);
    SetTitleFont(titleLabel, titleFont);
    SendDlgItemMessage(IDC_DONE_RESTART_YES, BM_SETCHECK, g_setup.restartNow ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

BOOL CRestartPage::CanCancelSetup() {
    g_setup.restartNow = false;
    return TRUE;
}

BOOL CRestartPage::CommitPage() {
    g_setup.restartNow = SendDlgItemMessage(IDC_DONE_RESTART_YES, BM_GETCHECK) == BST_CHECKED;
    return TRUE;
}
