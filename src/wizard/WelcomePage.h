// PLACEHOLDER page: shows template 136 (a placeholder template) and keeps
// every hook at its default. The real page is built by a later change.
#pragma once
#include "wizard/Wizard.h"

class CWelcomePage : public CWizardPage {
public:
    explicit CWelcomePage(HWND parent = nullptr) : CWizardPage(136, parent) {}
};
