// PLACEHOLDER page: shows template 142 (a placeholder template) and keeps
// every hook at its default. The real page is built by a later change.
#pragma once
#include "wizard/Wizard.h"

class CAgreementPage : public CWizardPage {
public:
    explicit CAgreementPage(HWND parent = nullptr) : CWizardPage(142, parent) {}
};
