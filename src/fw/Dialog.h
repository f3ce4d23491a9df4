// Window and dialog classes: a dialog made from a template, run modally
// (DoModal) or created modeless as a child (Create). One static dialog
// procedure keeps `this` and dispatches to typed virtual handlers; subclasses
// bind commands to named handler operations in OnCommand.
#pragma once
#include <windows.h>

#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void SetDlgItemText(int id, const char* text) const { ::SetDlgItemTextA(m_hWnd, id, text); }
    std::string GetDlgItemText(int id) const;
    UINT GetDlgItemText(int id, char* buffer, int size) const {
        return ::GetDlgItemTextA(m_hWnd, id, buffer, size);
    }
    LRESULT SendDlgItemMessage(int id, UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::SendDlgItemMessageA(m_hWnd, id, msg, wp, lp);
    }
    void SetWindowText(const char* text) const { ::SetWindowTextA(m_hWnd, text); }

    HWND m_hWnd = nullptr;
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally; returns the value given to EndDialog, or -1
    // when the template cannot be loaded.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless as a window owned by (or, for a child
    // template, inside) parent. Returns FALSE when it cannot be created.
    BOOL Create(HWND parent);
    BOOL DestroyWindow();
    void EndDialog(INT_PTR result);

    UINT TemplateId() const { return templateId_; }
    HWND Parent() const { return parent_; }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // WM_COMMAND. The default sends IDOK and IDCANCEL to OnOK and OnCancel.
    // Return TRUE when the command was handled.
    virtual BOOL OnCommand(UINT id, UINT code, HWND control);
    virtual void OnTimer(UINT_PTR /*id*/) {}
    // WM_CTLCOLOR* (kind is a CTLCOLOR_* value). Return a brush to paint
    // with, or nullptr for the system's default.
    virtual HBRUSH OnCtlColor(HDC /*dc*/, HWND /*control*/, UINT /*kind*/) { return nullptr; }
    virtual void OnShowWindow(BOOL /*show*/, UINT /*status*/) {}
    virtual void OnDestroy() {}
    // Any other message (private messages among them). Return TRUE when
    // handled, with the dialog procedure's result in result.
    virtual BOOL OnMessage(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, INT_PTR& /*result*/) { return FALSE; }

    // Shows an exception that reached the dialog procedure (overridable for
    // tests); the default is a stop-icon message box with its text.
    static void ReportException(const char* text);
    static void CenterOnOwner(HWND hwnd);

    UINT templateId_;
    HWND parent_;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    bool modal_ = false;
};
