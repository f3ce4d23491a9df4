#include "wizard/AgreementPage.h"

#include <string>

#include "config/CodePage.h"
#include "config/SetupState.h"
#include "fw/App.h"
#include "wizard/PageIds.h"
#include "wizard/PageRules.h"

namespace {
// Brings the view back to the start of the agreement after the text was
// built. Posted, so that it comes after the box has laid the new text out.
const UINT WM_SHOW_TEXT_START = WM_APP + 1;

// The text of string resource id in the program's own string table: a
// pointer into the resource (not terminated) and its length, or n == 0. The
// table is read directly because LoadStringW only fails on the Windows 95
// family, while the resource functions work on every Windows.
const wchar_t* ResourceString(UINT id, size_t& n) {
    n = 0;
    HINSTANCE inst = AppInstance();
    HRSRC res = FindResourceA(inst, MAKEINTRESOURCEA(id / 16 + 1), MAKEINTRESOURCEA(6));  // string table block
    HGLOBAL data = res ? LoadResource(inst, res) : nullptr;
    const auto* p = static_cast<const WORD*>(data ? LockResource(data) : nullptr);
    if (!p) return nullptr;
    const WORD* end = p + SizeofResource(inst, res) / sizeof(WORD);
    // A block holds 16 strings, each a length followed by that many UTF-16 units.
    for (UINT i = 0; i < id % 16; ++i) {
        if (p >= end) return nullptr;
        p += 1 + *p;
    }
    if (p >= end || p + 1 + *p > end) return nullptr;
    n = *p;
    return reinterpret_cast<const wchar_t*>(p + 1);
}

// The text box as the dialog manager sees it: it does not want its whole
// text selected when it gets the focus (that would move the caret and the
// view to the end of the agreement, away from where the user scrolled to),
// and it does not keep Tab, Enter and Esc, which move on, press the default
// button and cancel as on the rest of the page. The box's own procedure is
// kept in its user data.
LRESULT CALLBACK AgreementBoxProc(HWND box, UINT msg, WPARAM wp, LPARAM lp) {
    const bool wide = IsWindowUnicode(box) != FALSE;
    auto previous = reinterpret_cast<WNDPROC>(wide ? GetWindowLongPtrW(box, GWLP_USERDATA)
                                                   : GetWindowLongPtrA(box, GWLP_USERDATA));
    LRESULT r = wide ? CallWindowProcW(previous, box, msg, wp, lp) : CallWindowProcA(previous, box, msg, wp, lp);
    if (msg == WM_GETDLGCODE) r &= ~static_cast<LRESULT>(DLGC_HASSETSEL | DLGC_WANTALLKEYS | DLGC_WANTTAB);
    return r;
}
}  // namespace

CAgreementPage::CAgreementPage(HWND parent) : CWizardPage(IDD_PAGE_AGREEMENT, parent) {}

BOOL CAgreementPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    MakeTextBoxWide();
    KeepViewOnFocus();
    BuildAgreementText();
    ApplyAcceptance();
    PostMessageA(m_hWnd, WM_SHOW_TEXT_START, 0, 0);
    return TRUE;
}

// The template's text box belongs to an ANSI dialog, so it would hold its
// text in the system's ANSI code page, and the Chinese agreement would be
// lost on a Western system. It is replaced by a wide-character edit box of
// the same id, styles, place, font and tab position. The Windows 95 family
// has no wide-character windows (the calls only fail there), so it keeps the
// template's box, as it does whenever the wide box cannot be made.
void CAgreementPage::MakeTextBoxWide() {
    if (g_setup.platformId == Platform::windows95) return;
    HWND old = GetDlgItem(IDC_AGREE_TEXT);
    if (!old || IsWindowUnicode(old)) return;
    RECT r;
    GetWindowRect(old, &r);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    const DWORD style = static_cast<DWORD>(GetWindowLongA(old, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(old, GWL_EXSTYLE));
    const LRESULT font = SendMessageA(old, WM_GETFONT, 0, 0);
    HWND before = GetWindow(old, GW_HWNDPREV);
    HWND wide = CreateWindowExW(exStyle, L"EDIT", L"", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_AGREE_TEXT)),
                                AppInstance(), nullptr);
    if (!wide) return;  // keep the template's box
    ::DestroyWindow(old);
    SetWindowPos(wide, before ? before : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(wide, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
}

void CAgreementPage::KeepViewOnFocus() {
    HWND box = GetDlgItem(IDC_AGREE_TEXT);
    if (!box) return;
    if (IsWindowUnicode(box)) {
        SetWindowLongPtrW(box, GWLP_USERDATA, GetWindowLongPtrW(box, GWLP_WNDPROC));
        SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AgreementBoxProc));
    } else {
        SetWindowLongPtrA(box, GWLP_USERDATA, GetWindowLongPtrA(box, GWLP_WNDPROC));
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AgreementBoxProc));
    }
}

HWND CAgreementPage::InitialFocus() { return GetDlgItem(IDC_AGREE_TEXT); }

void CAgreementPage::BuildAgreementText() {
    textLanguage = g_setup.chineseSelected;
    const bool chinese = textLanguage != 0;
    const UINT first = chinese ? IDS_AGREEMENT_ZH_FIRST : IDS_AGREEMENT_EN_FIRST;
    const UINT count = chinese ? IDS_AGREEMENT_ZH_COUNT : IDS_AGREEMENT_EN_COUNT;

    std::wstring text;
    for (UINT id = first; id < first + count; ++id) {
        size_t n = 0;
        const wchar_t* s = ResourceString(id, n);
        if (n > 0 && s) AppendWithCrLf(text, s, n);
    }

    HWND box = GetDlgItem(IDC_AGREE_TEXT);
    if (!box) return;
    // The dialog's font has no Chinese characters; a font of the Chinese
    // character set makes the system pick one that has them.
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    if (chinese) {
        if (!chineseFont_) {
            LOGFONTA lf = {};
            if (font) GetObjectA(font, sizeof lf, &lf);
            if (lf.lfHeight == 0) lf.lfHeight = -12;
            lf.lfWeight = FW_NORMAL;
            lf.lfCharSet = GB2312_CHARSET;
            lstrcpynA(lf.lfFaceName, "SimSun", LF_FACESIZE);
            chineseFont_.Reset(CreateFontIndirectA(&lf));
        }
        if (chineseFont_) font = chineseFont_.Get();
    }
    SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // An ANSI box gets the text in the system's code page: characters that
    // it lacks become its default character, the rest stays readable.
    if (!IsWindowUnicode(box) || !::SetWindowTextW(box, text.c_str()))
        ::SetWindowTextA(box, Utf16ToAnsi(std::u16string(text.begin(), text.end()), 0).c_str());
    PostMessageA(m_hWnd, WM_SHOW_TEXT_START, 0, 0);
}

void CAgreementPage::ApplyAcceptance() {
    SendDlgItemMessage(IDC_AGREE_YES, BM_SETCHECK, accepted ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessage(IDC_AGREE_NO, BM_SETCHECK, accepted ? BST_UNCHECKED : BST_CHECKED);
    // The frame is the page's parent window; while the page is being created
    // it is reached only that way.
    if (wizard) {
        wizard->SetInstallEnabled(accepted ? TRUE : FALSE);
    } else if (HWND frame = GetParent(m_hWnd)) {
        HWND install = ::GetDlgItem(frame, IDC_WIZ_INSTALL);
        if (install) EnableWindow(install, accepted ? TRUE : FALSE);
    }
}

BOOL CAgreementPage::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR& result) {
    if (msg != WM_SHOW_TEXT_START) return FALSE;
    HWND box = GetDlgItem(IDC_AGREE_TEXT);
    SendMessageA(box, EM_SETSEL, 0, 0);
    SendMessageA(box, EM_SCROLLCARET, 0, 0);
    result = TRUE;
    return TRUE;
}

BOOL CAgreementPage::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED && id == IDC_AGREE_YES) {
        OnYes();
        return TRUE;
    }
    if (code == BN_CLICKED && id == IDC_AGREE_NO) {
        OnNo();
        return TRUE;
    }
    return CWizardPage::OnCommand(id, code, control);
}

void CAgreementPage::OnYes() {
    accepted = 1;
    ApplyAcceptance();
}

void CAgreementPage::OnNo() {
    accepted = 0;
    ApplyAcceptance();
}

void CAgreementPage::OnShowWindow(BOOL show, UINT status) {
    CWizardPage::OnShowWindow(show, status);
    if (show && textLanguage != g_setup.chineseSelected) BuildAgreementText();
}
