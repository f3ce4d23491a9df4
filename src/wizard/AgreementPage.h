// The licence agreement page: the agreement in the chosen language and a
// Yes/No answer. Install is enabled exactly while the answer is Yes.
#pragma once
#include "wizard/Wizard.h"

class CAgreementPage : public CWizardPage {
public:
    explicit CAgreementPage(HWND parent = nullptr);

    // Fills the text box with the agreement strings of the current language.
    void BuildAgreementText();
    // Sets both radio buttons and the frame's Install button from accepted.
    void ApplyAcceptance();
    // The agreement text, so that the keyboard can scroll it at once.
    HWND InitialFocus() override;

    int accepted = 0;      // 1 while Yes is selected
    int textLanguage = 0;  // chineseSelected when the text was last built

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    void OnShowWindow(BOOL show, UINT status) override;
    BOOL OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;
    void OnYes();
    void OnNo();

private:
    void MakeTextBoxWide();
    void KeepViewOnFocus();
    UniqueFont chineseFont_;
};
