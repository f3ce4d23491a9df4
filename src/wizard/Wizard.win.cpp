#include "wizard/Wizard.h"

#include "config/SetupState.h"
#include "config/Messages.h"
#include "fw/App.h"

// ---------------------------------------------------------------- page

CWizardPage::CWizardPage(UINT templateId, HWND parent) : CDialog(templateId, parent), pageId(templateId) {}

CWizardPage::~CWizardPage() = default;

BOOL CWizardPage::OnInitDialog() {
    CDialog::OnInitDialog();
    titleFont.Reset(CreateFontA(-16, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
    backBrush.Reset(CreateSolidBrush(RGB(255, 255, 255)));
    return TRUE;
}

HBRUSH CWizardPage::OnCtlColor(HDC dc, HWND, UINT kind) {
    switch (kind) {
    case CTLCOLOR_EDIT:
    case CTLCOLOR_LISTBOX:
    case CTLCOLOR_BTN:
    case CTLCOLOR_SCROLLBAR:
    case CTLCOLOR_STATIC:
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        break;
    default:
        break;
    }
    return backBrush.Get();
}

// ---------------------------------------------------------------- frame

namespace {
// A control that can take the focus. Only the window's own style bits are
// read: while the frame is being initialised it is not visible yet.
bool CanFocus(HWND w) {
    if (!w) return false;
    const LONG style = GetWindowLongA(w, GWL_STYLE);
    return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}
}  // namespace

CWizardDlg::CWizardDlg(HWND parent) : CDialog(IDD_WIZARD, parent) {}

CWizardDlg::~CWizardDlg() = default;  // the list's nodes go; the pages stay

void CWizardDlg::AppendPage(CWizardPage* page, UINT templateId) {
    page->pageId = templateId;
    pages.push_back(page);
}

CWizardPage* CWizardDlg::FindPageById(UINT id) const {
    for (CWizardPage* p : pages)
        if (p->pageId == id) return p;
    return nullptr;
}

CWizardPage* CWizardDlg::CurrentPage() const {
    for (CWizardPage* p : pages)
        if (p->shown) return p;
    return nullptr;
}

void CWizardDlg::EnableControl(UINT id, BOOL enable) {
    HWND item = GetDlgItem(static_cast<int>(id));
    if (item) EnableWindow(item, enable);
    UpdateDefaultButton();
}

UINT CWizardDlg::DefaultButton() const {
    return CanFocus(GetDlgItem(IDC_WIZ_NEXT)) ? IDC_WIZ_NEXT : IDC_WIZ_INSTALL;
}

// The dialog manager presses the default button on Enter, and only while it
// is enabled.
void CWizardDlg::UpdateDefaultButton() {
    if (m_hWnd) SendMessageA(m_hWnd, DM_SETDEFID, DefaultButton(), 0);
}

void CWizardDlg::FocusCurrentPage() {
    CWizardPage* page = CurrentPage();
    HWND target = page ? page->InitialFocus() : nullptr;
    if (!CanFocus(target)) target = GetDlgItem(static_cast<int>(DefaultButton()));
    if (!CanFocus(target)) target = GetNextDlgTabItem(m_hWnd, nullptr, FALSE);
    // Through the dialog manager, so that the default button's frame follows.
    if (target) SendMessageA(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

CWizardPage* CWizardDlg::Neighbour(CWizardPage* page, bool next) const {
    for (auto it = pages.begin(); it != pages.end(); ++it) {
        if (*it != page) continue;
        if (next) {
            ++it;
            return it == pages.end() ? nullptr : *it;
        }
        return it == pages.begin() ? nullptr : *std::prev(it);
    }
    return nullptr;
}

BOOL CWizardDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    ShowFirstPage();
    ReadConfigString("Software", "Version", g_setup.productVersion, sizeof g_setup.productVersion);
    SetWindowText(g_setup.productVersion);
    if (finishMode) {
        ShowWindow(GetDlgItem(IDC_WIZ_BACK), SW_HIDE);
        ShowWindow(GetDlgItem(IDC_WIZ_NEXT), SW_HIDE);
        ShowWindow(GetDlgItem(IDCANCEL), SW_HIDE);
        SetDlgItemText(IDC_WIZ_INSTALL, "Finish");
    }
    UpdateDefaultButton();
    FocusCurrentPage();
    return FALSE;  // the focus is set
}

BOOL CWizardDlg::ShowFirstPage() {
    CWizardPage* first = FirstPage();
    if (!LeaveCurrentPage()) return FALSE;
    SetBackEnabled(FALSE);
    if (pages.size() > 1) {
        SetInstallEnabled(FALSE);
        SetNextEnabled(TRUE);
    } else {
        if (installOnLastPage) SetInstallEnabled(TRUE);
        SetNextEnabled(FALSE);
    }
    return ShowPage(first);
}

BOOL CWizardDlg::ShowPage(CWizardPage* page) {
    if (!page->created) {
        if (!page->Create(m_hWnd)) return FALSE;
        page->created = TRUE;
        page->wizard = this;
        // First among the frame's children: Tab visits the page's controls
        // before the frame's buttons.
        SetWindowPos(page->m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (!page->OnPageCreated()) return FALSE;
    }
    if (!LeaveCurrentPage()) return FALSE;
    RECT r = {0, 0, 0, 0};
    HWND area = GetDlgItem(IDC_WIZ_PAGEAREA);
    if (area) {
        GetWindowRect(area, &r);
        ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&r));
    }
    SetWindowPos(page->m_hWnd, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EnableWindow(page->m_hWnd, TRUE);
    ShowWindow(page->m_hWnd, SW_SHOW);
    InvalidateRect(page->m_hWnd, nullptr, TRUE);
    UpdateWindow(page->m_hWnd);
    page->OnPageShown();
    page->shown = TRUE;
    return TRUE;
}

BOOL CWizardDlg::LeaveCurrentPage() {
    CWizardPage* current = CurrentPage();
    if (!current) return TRUE;
    if (!current->CanLeavePage()) return FALSE;
    ShowWindow(current->m_hWnd, SW_HIDE);
    current->shown = FALSE;
    return TRUE;
}

BOOL CWizardDlg::ClosePage(CWizardPage* page) {
    if (!page->created) return TRUE;
    if (!page->CanLeavePage()) return FALSE;
    page->OnPageClosing();
    page->DestroyWindow();
    page->created = FALSE;
    return TRUE;
}

BOOL CWizardDlg::OnCommand(UINT id, UINT code, HWND control) {
    // Enter on a focused push button of a page (Browse) reaches the frame,
    // the dialog that runs the keyboard: it belongs to the page.
    if (control && IsWindow(control) && GetParent(control) != m_hWnd && IsChild(m_hWnd, control)) {
        SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
        return TRUE;
    }
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_WIZ_INSTALL:
            OnInstallButton();
            return TRUE;
        case IDC_WIZ_BACK:
            OnBackButton();
            return TRUE;
        case IDC_WIZ_NEXT:
            OnNextButton();
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::OnCommand(id, code, control);
}

void CWizardDlg::OnNextButton() {
    CWizardPage* p = CurrentPage();
    if (!p) return;  // no current page: nothing to do
    int t = p->GetNextTarget();
    CWizardPage* target;
    if (t == -1) return;
    if (t == 0) target = Neighbour(p, true);
    else target = FindPageById(static_cast<UINT>(t));
    if (!target) return;
    if (!ShowPage(target)) return;
    if (target == LastPage()) {
        SetNextEnabled(FALSE);
        if (installOnLastPage) SetInstallEnabled(TRUE);
    }
    SetBackEnabled(TRUE);
    FocusCurrentPage();
}

void CWizardDlg::OnBackButton() {
    CWizardPage* p = CurrentPage();
    if (!p) return;
    int t = p->GetBackTarget();
    CWizardPage* target;
    if (t == -1) return;
    if (t == 0) target = Neighbour(p, false);
    else target = FindPageById(static_cast<UINT>(t));
    if (!target) return;
    if (!ShowPage(target)) return;
    if (target == FirstPage()) {
        SetBackEnabled(FALSE);
        SetInstallEnabled(FALSE);
    }
    SetNextEnabled(TRUE);
    FocusCurrentPage();
}

void CWizardDlg::OnInstallButton() {
    CWizardPage* p = CurrentPage();
    if (!p) return;
    if (!p->CanLeavePage()) return;
    for (CWizardPage* page : pages)
        if (page->created && !page->CommitPage()) return;
    EndDialog(IDC_WIZ_INSTALL);
}

// The standard OK command (Enter where no default button is known) never
// ends the wizard by itself: it presses the default button, as Enter does,
// and does nothing while that button is disabled.
void CWizardDlg::OnOK() {
    const UINT id = DefaultButton();
    HWND button = GetDlgItem(static_cast<int>(id));
    if (CanFocus(button)) OnCommand(id, BN_CLICKED, button);
}

void CWizardDlg::OnCancel() {
    if (AppMessageBox(kExitQuestion, MB_YESNO | MB_ICONQUESTION, m_hWnd) != IDYES) return;
    for (CWizardPage* page : pages)
        if (page->created && !page->CanCancelSetup()) return;
    EndDialog(IDCANCEL);
}

void CWizardDlg::OnDestroy() {
    for (CWizardPage* page : pages) ClosePage(page);
}

