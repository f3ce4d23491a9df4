#include "fw/Dialog.h"

#include <vector>

#include "fw/App.h"
#include "fw/Exception.h"

std::string CWnd::GetDlgItemText(int id) const {
    HWND item = GetDlgItem(id);
    int len = item ? GetWindowTextLengthA(item) : 0;
    std::vector<char> buf(static_cast<size_t>(len) + 1, 0);
    if (item) GetWindowTextA(item, buf.data(), len + 1);
    return buf.data();
}

CDialog::CDialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
    // A modeless dialog still open when its object goes: its window goes too.
    if (m_hWnd && !modal_ && IsWindow(m_hWnd)) {
        SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
    }
    m_hWnd = nullptr;
}

INT_PTR CDialog::DoModal() {
    modal_ = true;
    INT_PTR r = DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(templateId_), parent_, DialogProc,
                                reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return r;
}

BOOL CDialog::Create(HWND parent) {
    modal_ = false;
    parent_ = parent;
    HWND h = CreateDialogParamA(AppInstance(), MAKEINTRESOURCEA(templateId_), parent, DialogProc,
                                reinterpret_cast<LPARAM>(this));
    return h != nullptr;
}

BOOL CDialog::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CDialog::EndDialog(INT_PTR result) {
    if (m_hWnd) ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnCommand(UINT id, UINT code, HWND) {
    if (code != BN_CLICKED) return FALSE;
    if (id == IDOK) {
        OnOK();
        return TRUE;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

// A modal dialog's template gives no position: it is centred over its
// visible owner, or else on the screen's work area.
void CDialog::CenterOnOwner(HWND hwnd) {
    RECT area;
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &area);
    else SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT r;
    GetWindowRect(hwnd, &r);
    int x = area.left + ((area.right - area.left) - (r.right - r.left)) / 2;
    int y = area.top + ((area.bottom - area.top) - (r.bottom - r.top)) / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::ReportException(const char* text) { AppMessageBox(text, MB_OK | MB_ICONSTOP); }

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lp);
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    // Exceptions never cross into the system's code: they are shown here and
    // the message is done.
    try {
        return self->Dispatch(msg, wp, lp);
    } catch (const CException& e) {
        ReportException(e.GetErrorMessage().c_str());
    } catch (const std::exception& e) {
        ReportException(e.what());
    } catch (...) {
        ReportException("Internal application error.");
    }
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        if (modal_) CenterOnOwner(m_hWnd);
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wp));
        return TRUE;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        HBRUSH b = OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), msg - WM_CTLCOLORMSGBOX);
        return reinterpret_cast<INT_PTR>(b);
    }
    case WM_SHOWWINDOW:
        OnShowWindow(static_cast<BOOL>(wp), static_cast<UINT>(lp));
        return FALSE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_NCDESTROY:
        SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        m_hWnd = nullptr;
        return FALSE;
    default: {
        INT_PTR result = 0;
        if (OnMessage(msg, wp, lp, result)) return result;
        return FALSE;
    }
    }
}
