// The wizard frame and its page protocol. CWizardDlg, the setup's frame
// (template 102), owns the ordered page list (not the pages), shows and
// hides pages in the area of one frame control, and runs Back, Next,
// Install and Cancel; its caption comes from the configuration file, and in
// finish mode only Finish stays. Every page derives from CWizardPage and
// takes part through eight hooks.
//
// Keyboard: the pages are control parents inside the frame, so Tab and
// Shift+Tab walk the current page's tab stops and then the frame's enabled
// buttons. Enter presses the frame's default button (Next while it is
// enabled, else Install or Finish), and nothing while that button is
// disabled; Esc is Cancel.
#pragma once
#include <windows.h>

#include <list>

#include "fw/Dialog.h"
#include "fw/Handles.h"
#include "wizard/PageIds.h"

class CWizardDlg;

class CWizardPage : public CDialog {
public:
    explicit CWizardPage(UINT templateId, HWND parent = nullptr);
    ~CWizardPage() override;

    // The eight hooks, in slot order.
    virtual BOOL OnPageCreated() { return TRUE; }
    virtual void OnPageClosing() {}
    virtual BOOL CanLeavePage() { return TRUE; }
    virtual void OnPageShown() {}
    virtual BOOL CanCancelSetup() { return TRUE; }
    virtual int GetBackTarget() { return 0; }
    virtual int GetNextTarget() { return 0; }
    virtual BOOL CommitPage() { return TRUE; }

    // The control that gets the keyboard focus when the page is shown;
    // nullptr leaves it to the frame's default button.
    virtual HWND InitialFocus() { return nullptr; }

    UniqueFont titleFont;
    UniqueBrush backBrush;
    CWizardDlg* wizard = nullptr;
    BOOL created = FALSE;
    BOOL shown = FALSE;
    UINT pageId;

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override {}  // a cancel command reaching a page is ignored
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;
};

class CWizardDlg : public CDialog {
public:
    explicit CWizardDlg(HWND parent = nullptr);
    ~CWizardDlg() override;

    void AppendPage(CWizardPage* page, UINT templateId);
    CWizardPage* FindPageById(UINT id) const;
    CWizardPage* FirstPage() const { return pages.front(); }
    CWizardPage* LastPage() const { return pages.back(); }
    CWizardPage* CurrentPage() const;
    BOOL ShowPage(CWizardPage* page);
    BOOL LeaveCurrentPage();
    BOOL ClosePage(CWizardPage* page);
    BOOL ShowFirstPage();
    void SetInstallEnabled(BOOL enable) { EnableControl(IDC_WIZ_INSTALL, enable); }
    void SetBackEnabled(BOOL enable) { EnableControl(IDC_WIZ_BACK, enable); }
    void SetNextEnabled(BOOL enable) { EnableControl(IDC_WIZ_NEXT, enable); }
    // The button that Enter presses: Next while it is shown and enabled,
    // otherwise Install (captioned Finish in finish mode).
    UINT DefaultButton() const;
    // Puts the keyboard focus on the current page's preferred control, or
    // on the default button, or on the first tab stop.
    void FocusCurrentPage();

    BOOL installOnLastPage = TRUE;
    // The second run, with the one completion page: only the Install button
    // stays, captioned Finish.
    BOOL finishMode = FALSE;
    std::list<CWizardPage*> pages;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;
    void UpdateDefaultButton();
    void OnInstallButton();
    void OnBackButton();
    void OnNextButton();

private:
    void EnableControl(UINT id, BOOL enable);
    CWizardPage* Neighbour(CWizardPage* page, bool next) const;
};

